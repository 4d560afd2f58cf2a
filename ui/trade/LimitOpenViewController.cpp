#include "ui/trade/LimitOpenViewController.h"

#include <cstdlib>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/ui/Image.h"
#include "platform/ui/NavigationItem.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/toolkit/KAVDrawerBarButtonItem.h"
#include "ui/toolkit/UIImageTintColor.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/LimitOpenTradeViewController.h"

using namespace platform::ui;

std::string LimitOpenViewController::listTitle() const {
    return sysdb() ? sysdb()->getLabelWithKey(kTitle, kTitle) : std::string(kTitle);
}

void LimitOpenViewController::makeView() {
    TradeListViewController::makeView();
    setupRightMenuButton();
}

void LimitOpenViewController::setupRightMenuButton() {
    auto weak = weakSelf<LimitOpenViewController>();
    auto item = std::make_shared<KAVDrawerBarButtonItem>(
        [weak](UIBarButtonItem* sender) {
            if (auto self = weak.lock()) self->viewPressed(sender);
        },
        UIImageTintColor::imageWithTintColor(UIColor::whiteColor(), "nav_add"));
    item->setTintColor(UIColor::whiteColor());
    navigationItem().setRightBarButtonItem(item, true);
}

void LimitOpenViewController::viewPressed(UIBarButtonItem*) {
    // After the tap has been handled.
    auto weak = weakSelf<LimitOpenViewController>();
    platform::dispatch::async_main([weak] {
        if (auto self = weak.lock()) self->presentNewOrder();
    });
}

void LimitOpenViewController::presentNewOrder() {
    tradelist::presentFromRoot(*this, [&] {
        std::shared_ptr<MODSymbolInfo> first;
        if (bizSDK()) {
            const auto symbols = bizSDK()->getSymbolsWith(-1);
            if (!symbols.empty()) first = symbols.front();
        }
        auto screen = std::make_shared<LimitOpenTradeViewController>(first, true);
        screen->setContext(context());
        return std::make_shared<BaseNavigationController>(screen);
    });
}

double LimitOpenViewController::rowHeight(const LSLimitOpen& row) const {
    return row.isExpanded ? LimitOpenCell::kExpandedRowHeight : LimitOpenCell::kRowHeight;
}

UITableViewCellPtr LimitOpenViewController::makeCell(const std::string& identifier) {
    auto cell =
        std::make_shared<LimitOpenCell>(UITableViewCellStyle::Default, identifier, context());
    cell->delegate = weakSelf<LimitOpenCellDelegate>();
    return cell;
}

void LimitOpenViewController::showCell(UITableViewCell& cell, LSLimitOpen& row) {
    auto* order = dynamic_cast<LimitOpenCell*>(&cell);
    if (!order) return;
    const auto symbol = bizSDK() ? bizSDK()->getSymbolWith(row.symbolCode) : nullptr;
    order->displayCellWithLSLimitOpen(row, symbol.get());
}

void LimitOpenViewController::updateLSLimitOpen(LSLimitOpen& order, const MODLimitBill& record) {
    // Prices in as many decimals as their symbol's, when it has more than six.
    const int decimals = lsconvert::decimalsOf(bizSDK().get(), record.symbolCode);
    order.orderCode = record.orderCode;
    order.symbolCode = record.symbolCode;
    order.symbolName = record.symbolName;
    order.bsCode = record.bsCode;
    order.markPrice = lsconvert::price(record.markPrice, decimals);
    order.orderPrice = lsconvert::price(record.orderPrice, decimals);
    order.quantityOrder = lsconvert::decimal(record.quantityOrder);
    order.priceStopLose = lsconvert::price(record.priceStopLose, decimals);
    order.priceTakeProfit = lsconvert::price(record.priceTakeProfit, decimals);
    order.openDate = lsconvert::date(record.openDate);
    order.limitType = static_cast<uint32_t>(std::strtoul(record.limitType.c_str(), nullptr, 10));
}

void LimitOpenViewController::query(RecordsBlock onSuccess, KAVFailureBlock onFailure) {
    bizSDK()->queryLimitBillOnSuccess(std::move(onSuccess), std::move(onFailure));
}

void LimitOpenViewController::updateLimitOpenWithMods(const MODList<MODLimitBill>& orders) {
    TradeListViewController::updateWithMods(orders);
}

void LimitOpenViewController::onCancelLimitOpenWith(const LSLimitOpen& order) {
    auto self = sharedSelf<LimitOpenViewController>();
    const std::string orderCode = order.orderCode;
    const OrderTexts texts =
        OrderTexts::forAction(OrderAction::CancelLimit, sysdb().get(), orderCode);
    orderFlow_.confirm(texts, sysdb(), [self, texts, orderCode] {
        self->orderFlow_.submit(
            texts,
            [self, orderCode](KAVDoneBlock ok, KAVFailureBlock fail) {
                if (!self->bizSDK()) {
                    fail(kKAVNotInitialised.code, kKAVNotInitialised.message);
                    return;
                }
                self->bizSDK()->cancelOrderWithOrder(self->bizSDK()->getLimitBillWith(orderCode),
                                                     "", std::move(ok), std::move(fail));
            },
            {[self, orderCode] { self->removeCancelled(orderCode); }, nullptr, nullptr});
    });
}

void LimitOpenViewController::removeCancelled(const std::string& orderCode) {
    markGone(orderCode);
    const auto it = std::find_if(rows_.begin(), rows_.end(),
                                 [&](const RowPtr& row) { return row->orderCode == orderCode; });
    if (it == rows_.end()) return;
    rows_.erase(it);
    tableView()->reloadData();
}
