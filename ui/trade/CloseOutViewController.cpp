#include "ui/trade/CloseOutViewController.h"

#include <algorithm>

#include "Core/SDK/KAVBizSDK.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/OrderScreenKit.h"
#include "ui/trade/TradeCellKit.h"

using namespace platform::ui;

std::string CloseOutViewController::listTitle() const {
    return sysdb() ? sysdb()->getLabelWithKey(kTitle, kTitle) : std::string(kTitle);
}

void CloseOutViewController::makeView() {
    TradeListViewController::makeView();
    UIView* v = view();
    const CGRect bounds = v->bounds();
    const CGFloat top = orderkit::barsHeight(*this);
    // Under the bars: the header, then the table; the list places them itself.
    automaticallyAdjustsScrollViewInsets = false;
    auto content =
        std::make_shared<UIView>(CGRectMake(0, top, bounds.size.width, bounds.size.height - top));
    content->setBackgroundColor(kavtheme::panelBackground());
    content->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                 UIViewAutoresizingFlexibleHeight);
    v->insertSubviewAtIndex(content, 0);

    auto header = std::make_shared<UIView>(CGRectMake(0, 0, bounds.size.width, kHeaderHeight));
    header->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    auto total = std::make_shared<UILabel>(CGRectMake(10, 10, bounds.size.width - 20, 20));
    total->setTag(kTagTotal);
    total->setFont(UIFont::systemFontOfSize(20));
    total->setTextColor(UIColor::whiteColor());
    total->setBackgroundColor(UIColor::clearColor());
    const std::string caption = "累计平仓盈亏: ";
    total->setText(sysdb() ? sysdb()->getLabelWithKey(caption, caption) : caption);
    header->addSubview(total);
    auto line = std::make_shared<UIView>(CGRectMake(0, kHeaderHeight - 1, bounds.size.width, 1));
    line->setBackgroundColor(kavtheme::accent());
    line->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    header->addSubview(line);
    content->addSubview(header);

    if (UITableView* table = tableView()) {
        auto keep = table->sharedSelf<UITableView>();
        content->addSubview(keep);
        table->setFrame(CGRectMake(0, kHeaderHeight, bounds.size.width,
                                   bounds.size.height - top - kHeaderHeight));
    }
}

double CloseOutViewController::rowHeight(const LSCloseOut& row) const {
    return row.isExpanded ? CloseOutCell::kExpandedRowHeight : CloseOutCell::kRowHeight;
}

UITableViewCellPtr CloseOutViewController::makeCell(const std::string& identifier) {
    return std::make_shared<CloseOutCell>(UITableViewCellStyle::Default, identifier, context());
}

void CloseOutViewController::showCell(UITableViewCell& cell, LSCloseOut& row) {
    auto* closeOut = dynamic_cast<CloseOutCell*>(&cell);
    if (!closeOut) return;
    const auto symbol = bizSDK() ? bizSDK()->getSymbolWith(row.symbolCode) : nullptr;
    closeOut->displayCellWithLSCloseOut(row, symbol.get());
}

void CloseOutViewController::updateLSCloseOut(LSCloseOut& closeOut, const MODCloseBill& record) {
    // Prices in as many decimals as their symbol's, when it has more than six.
    const int decimals = lsconvert::decimalsOf(bizSDK().get(), record.symbolCode);
    closeOut.orderCode = record.orderCode;
    closeOut.orderCodeRe = record.orderCodeRe;
    closeOut.symbolCode = record.symbolCode;
    closeOut.bsCode = record.bsCode;
    closeOut.chargeClose = lsconvert::decimal(record.chargeClose);
    closeOut.chargeOpen = lsconvert::decimal(record.chargeOpen);
    closeOut.closeDate = lsconvert::date(record.closeDate);
    closeOut.openDate = lsconvert::date(record.openDate);
    closeOut.priceOpen = lsconvert::price(record.priceOpen, decimals);
    closeOut.priceClose = lsconvert::price(record.priceClose, decimals);
    closeOut.priceHold = lsconvert::price(record.priceHold, decimals);
    closeOut.profitClose = lsconvert::decimal(record.profitClose);
    closeOut.profitCloseTotal = lsconvert::decimal(record.profitCloseTotal);
    closeOut.quantityClose = lsconvert::decimal(record.quantityClose);
    closeOut.quantityHold = lsconvert::decimal(record.quantityHold);
}

void CloseOutViewController::query(RecordsBlock onSuccess, KAVFailureBlock onFailure) {
    bizSDK()->queryCloseBillOnSuccess(std::move(onSuccess), std::move(onFailure));
}

void CloseOutViewController::didLoadRows() {
    // The answer's tickets alone.
    totalProfit_ = 0;
    for (const auto& row : rows_)
        totalProfit_ += row->profitClose.isNaN() ? 0 : row->profitClose.toDouble();
    showTotal();
}

void CloseOutViewController::updateCloseOutWithMods(const MODList<MODCloseBill>& closeBills) {
    // The dealer gives every close of a ticket the ticket's code, so a
    // partial close and the close of the rest share it: a pushed close is
    // known only when the same close (code, time, quantity and price) is
    // listed, and the day's total is the sum of every close. Two closes of
    // one ticket in one second at one price differ in what was held.
    const auto sameClose = [](const LSCloseOut& a, const LSCloseOut& b) {
        return a.orderCode == b.orderCode && a.closeDate == b.closeDate &&
               a.quantityClose == b.quantityClose && a.priceClose == b.priceClose &&
               a.quantityHold == b.quantityHold;
    };
    for (const auto& record : closeBills) {
        if (!record) continue;
        auto row = std::make_shared<LSCloseOut>();
        updateLSCloseOut(*row, *record);
        if (std::any_of(rows_.begin(), rows_.end(), [&](const std::shared_ptr<LSCloseOut>& listed) {
                return sameClose(*listed, *row);
            }))
            continue;
        rows_.push_back(row);
        didAppendRow(*row);
    }
    didMerge();
}

void CloseOutViewController::didAppendRow(const LSCloseOut& row) {
    totalProfit_ += row.profitClose.isNaN() ? 0 : row.profitClose.toDouble();
}

void CloseOutViewController::didMerge() {
    showTotal();
    tableView()->reloadData();
}

void CloseOutViewController::showTotal() {
    auto total = view()->viewWithTag<UILabel>(kTagTotal);
    if (!total) return;
    const platform::Decimal sum = lsconvert::decimal(totalProfit_);
    total->setText("当日盈亏 : " + KAStringUtils::notRounding(sum, 2));
    total->setTextColor(cellkit::colourForSign(sum));
}
