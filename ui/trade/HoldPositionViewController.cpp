#include "ui/trade/HoldPositionViewController.h"

#include "Core/SDK/KAVBizSDK.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/MarketCloseSymbolViewController.h"

using namespace platform::ui;

std::string HoldPositionViewController::listTitle() const {
    return sysdb() ? sysdb()->getLabelWithKey(kTitle, kTitle) : std::string(kTitle);
}

double HoldPositionViewController::rowHeight(const LSHoldPosition& row) const {
    return row.isExpanded ? HoldPositionCell::kExpandedRowHeight : HoldPositionCell::kRowHeight;
}

UITableViewCellPtr HoldPositionViewController::makeCell(const std::string& identifier) {
    auto cell =
        std::make_shared<HoldPositionCell>(UITableViewCellStyle::Default, identifier, context());
    cell->delegate = weakSelf<HoldPositionCellDelegate>();
    return cell;
}

void HoldPositionViewController::showCell(UITableViewCell& cell, LSHoldPosition& row) {
    auto* position = dynamic_cast<HoldPositionCell*>(&cell);
    if (!position) return;
    const auto symbol = bizSDK() ? bizSDK()->getSymbolWith(row.symbolCode) : nullptr;
    position->displayCellWithLSHoldPosition(row, symbol.get());
}

void HoldPositionViewController::updateLSHoldPosition(LSHoldPosition& position,
                                                      const MODHoldPosition& record) {
    // Prices in as many decimals as their symbol's, when it has more than six.
    const int decimals = lsconvert::decimalsOf(bizSDK().get(), record.symbolCode);
    position.symbolCode = record.symbolCode;
    position.symbolName = record.symbolName;
    position.quantityBuy = lsconvert::decimal(record.quantityBuy);
    position.quantitySell = lsconvert::decimal(record.quantitySell);
    position.avgBuy = lsconvert::price(record.avgBuy, decimals);
    position.avgSell = lsconvert::price(record.avgSell, decimals);
    position.bid = lsconvert::price(record.bid, decimals);
    position.ask = lsconvert::price(record.ask, decimals);
    // Profits in the account currency, as the account shows its floating
    // profit (the record's dpBuy and dpSell are in the symbol's).
    position.dpBuy = lsconvert::decimal(record.dppBuy);
    position.dpSell = lsconvert::decimal(record.dppSell);
    position.positionPrice = lsconvert::decimal(record.quantityBuy - record.quantitySell);
    position.dynProfit = lsconvert::decimal(record.dppBuy + record.dppSell);
}

void HoldPositionViewController::query(RecordsBlock onSuccess, KAVFailureBlock onFailure) {
    auto weak = weakSelf<HoldPositionViewController>();
    bizSDK()->queryHoldPositionOnSuccess(
        [weak, onSuccess = std::move(onSuccess)](const MODList<MODHoldPosition>& positions) {
            // Taken in by didLoadRows when this is the latest load.
            if (auto self = weak.lock()) self->answer_ = positions;
            onSuccess(positions);
            if (auto self = weak.lock()) self->answer_.clear();
        },
        std::move(onFailure));
}

void HoldPositionViewController::didLoadRows() {
    records_.clear();
    for (const auto& record : answer_)
        if (record) records_[record->symbolCode] = record;
}

void HoldPositionViewController::updateHoldPositionWithMods(
    const MODList<MODHoldPosition>& positions) {
    MODList<MODHoldPosition> merged;
    merged.reserve(positions.size());
    for (const auto& record : positions) {
        if (!record) continue;
        if (isEmptied(*record)) {
            records_.erase(record->symbolCode);
            // A position the list does not show and that holds nothing stays out.
            if (!rowWithKey(record->symbolCode)) continue;
        } else {
            records_[record->symbolCode] = record;
        }
        merged.push_back(record);
    }
    TradeListViewController::updateWithMods(merged);
}

std::shared_ptr<MODHoldPosition> HoldPositionViewController::positionForRow(
    const std::string& symbolCode) const {
    if (bizSDK())
        if (auto cached = bizSDK()->getPositionWith(symbolCode)) return cached;
    const auto it = records_.find(symbolCode);
    return it == records_.end() ? nullptr : it->second;
}

void HoldPositionViewController::onCloseOutWithLSHoldPosition(const LSHoldPosition& position) {
    // After the touch: the key, not the row, which a push may replace.
    auto weak = weakSelf<HoldPositionViewController>();
    platform::dispatch::async_main([weak, symbolCode = position.symbolCode] {
        if (auto self = weak.lock()) self->presentClose(symbolCode);
    });
}

void HoldPositionViewController::presentClose(const std::string& symbolCode) {
    tradelist::presentFromRoot(*this, [&] {
        auto screen = std::make_shared<MarketCloseSymbolViewController>(positionForRow(symbolCode));
        screen->setContext(context());
        return std::make_shared<BaseNavigationController>(screen);
    });
}
