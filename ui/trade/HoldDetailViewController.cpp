#include "ui/trade/HoldDetailViewController.h"

#include "Core/SDK/KAVBizSDK.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/trade/HoldDetailCell.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/MarketCloseViewController.h"

using namespace platform::ui;

std::string HoldDetailViewController::listTitle() const {
    return sysdb() ? sysdb()->getLabelWithKey(kTitle, kTitle) : std::string(kTitle);
}

std::string HoldDetailViewController::cellIdentifier() const {
    return HoldDetailCell::kIdentifier;
}

double HoldDetailViewController::rowHeight(const LSHoldDetail&) const {
    return HoldDetailCell::kRowHeight;
}

UITableViewCellPtr HoldDetailViewController::makeCell(const std::string& identifier) {
    return std::make_shared<HoldDetailCell>(UITableViewCellStyle::Default, identifier, context());
}

void HoldDetailViewController::showCell(UITableViewCell& cell, LSHoldDetail& row) {
    auto* detail = dynamic_cast<HoldDetailCell*>(&cell);
    if (!detail) return;
    const auto symbol = bizSDK() ? bizSDK()->getSymbolWith(row.symbolCode) : nullptr;
    detail->displayCellWithLSHoldDetail(row, symbol.get());
}

void HoldDetailViewController::updateLSHoldDetail(LSHoldDetail& detail,
                                                  const MODHoldBill& holdBill) {
    // Prices in as many decimals as their symbol's, when it has more than six.
    const int decimals = lsconvert::decimalsOf(bizSDK().get(), holdBill.symbolCode);
    detail.orderCode = holdBill.orderCode;
    detail.symbolCode = holdBill.symbolCode;
    detail.symbolName = holdBill.symbolName;
    detail.priceHold = lsconvert::price(holdBill.priceHold, decimals);
    detail.priceOpen = lsconvert::price(holdBill.priceOpen, decimals);
    detail.closeoutPrice = lsconvert::price(holdBill.markPrice, decimals);
    detail.bsCode = holdBill.bsCode;
    detail.quantityHold = lsconvert::decimal(static_cast<double>(holdBill.quantityHold));
    detail.openDate = lsconvert::date(holdBill.openDate);
    detail.chargeOpen = lsconvert::decimal(holdBill.chargeOpen);
    detail.chargeInterest = lsconvert::decimal(holdBill.chargeInterest);
    detail.priceStopLose = lsconvert::price(holdBill.priceStopLose, decimals);
    detail.priceTakeProfit = lsconvert::price(holdBill.priceTakeProfit, decimals);
    // Profits in the account currency, as the account shows its floating
    // profit: the record keeps them in the symbol's, but for dynProfitPrice.
    detail.dynProfit = lsconvert::decimal(holdBill.dynProfitPrice);
    const double rate =
        bizSDK() ? bizSDK()->exchangeRateWith(holdBill.symbolCurrency, holdBill.accCurrency) : 1.0;
    detail.dynProfitTotal = lsconvert::decimal(holdBill.dynProfitTotal * rate);
}

void HoldDetailViewController::query(RecordsBlock onSuccess, KAVFailureBlock onFailure) {
    auto weak = weakSelf<HoldDetailViewController>();
    bizSDK()->queryHoldBillOnSuccess(
        [weak, onSuccess = std::move(onSuccess)](const MODList<MODHoldBill>& holdBills) {
            // Taken in by didLoadRows when this is the latest load.
            if (auto self = weak.lock()) self->answer_ = holdBills;
            onSuccess(holdBills);
            if (auto self = weak.lock()) self->answer_.clear();
        },
        std::move(onFailure));
}

void HoldDetailViewController::didLoadRows() {
    records_.clear();
    for (const auto& record : answer_)
        if (record) records_[record->orderCode] = record;
}

void HoldDetailViewController::updateHoldDetailWithMods(const MODList<MODHoldBill>& holdBills) {
    const MODList<MODHoldBill> merged = admitted(holdBills);
    for (const auto& record : merged) {
        if (isEmptied(*record))
            records_.erase(record->orderCode);
        else
            records_[record->orderCode] = record;
    }
    mergeRecords(merged);
}

std::shared_ptr<MODHoldBill> HoldDetailViewController::holdBillForRow(
    const std::string& orderCode) const {
    if (bizSDK())
        if (auto cached = bizSDK()->getHoldBillWith(orderCode)) return cached;
    const auto it = records_.find(orderCode);
    return it == records_.end() ? nullptr : it->second;
}

void HoldDetailViewController::didSelectRowWithKey(const std::string& orderCode) {
    tradelist::presentFromRoot(*this, [&] {
        auto screen = std::make_shared<MarketCloseViewController>(holdBillForRow(orderCode));
        screen->setContext(context());
        return std::make_shared<BaseNavigationController>(screen);
    });
}
