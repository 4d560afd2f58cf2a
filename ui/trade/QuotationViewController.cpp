#include "ui/trade/QuotationViewController.h"

#include <algorithm>
#include <cstdlib>
#include <typeinfo>

#include "Core/SDK/KAVBizSDK.h"
#include "ui/toolkit/RotateNavigationController.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/MarketOpenViewController.h"
#include "ui/trade/QuotationCell.h"

using namespace platform::ui;

namespace {

template <typename Records>
bool holdsSymbol(const Records& records, const std::string& symbolCode) {
    return std::any_of(records.begin(), records.end(),
                       [&](const auto& r) { return r && r->symbolCode == symbolCode; });
}

}  // namespace

bool QuotationViewController::isShownOnBoard(const MODSymbolInfo& symbol) {
    if (symbol.tradeModel.empty()) return true;
    // The integer at the start of the text, as the dealer's clients read it.
    return std::strtol(symbol.tradeModel.c_str(), nullptr, 10) == 1;
}

std::string QuotationViewController::cellIdentifier() const {
    return QuotationCell::kIdentifier;
}

double QuotationViewController::rowHeight(const LSQuotation&) const {
    return QuotationCell::kRowHeight;
}

UITableViewCellPtr QuotationViewController::makeCell(const std::string& identifier) {
    return std::make_shared<QuotationCell>(UITableViewCellStyle::Default, identifier, context());
}

void QuotationViewController::showCell(UITableViewCell& cell, LSQuotation& row) {
    // A quote's row is shown in a frame that finds the caches cold: the
    // cell's own type is compared (QuotationCell has no subclasses), where a
    // cast would walk the type records of the cell's bases.
    if (typeid(cell) == typeid(QuotationCell))
        static_cast<QuotationCell&>(cell).showCellWithLsQuotation(row);
}

std::shared_ptr<LSQuotation> QuotationViewController::lsQuotationWithSymbolCode(
    const std::string& symbolCode) const {
    const auto it = rowIndex_.find(symbolCode);
    if (it == rowIndex_.end() || it->second >= rows_.size()) return nullptr;
    return rows_[it->second];
}

void QuotationViewController::updateLSQuotation(LSQuotation& quotation,
                                                const MODSymbolInfo& symbol) {
    quotation.upOrDown = symbol.upOrDown;
    quotation.lastTime = lsconvert::date(symbol.lastTime);
    quotation.symbolCode = symbol.symbolCode;
    quotation.symbolName = symbol.symbolName;
    quotation.spread = symbol.spread;
    quotation.bid = lsconvert::price(symbol.bid, symbol.decimal);
    quotation.ask = lsconvert::price(symbol.ask, symbol.decimal);
    quotation.dailyHighest = lsconvert::price(symbol.dailyHighest, symbol.decimal);
    quotation.dailyLowest = lsconvert::price(symbol.dailyLowest, symbol.decimal);
    quotation.decimal = symbol.decimal;
}

void QuotationViewController::updateLSQuotation(LSQuotation& quotation,
                                                const MODList<MODHoldBill>& holdBills) {
    quotation.hasPosition = holdsSymbol(holdBills, quotation.symbolCode);
}

void QuotationViewController::updateLSQuotation(LSQuotation& quotation,
                                                const MODList<MODLimitBill>& limitBills) {
    quotation.hasLimit = holdsSymbol(limitBills, quotation.symbolCode);
}

void QuotationViewController::initData() {
    std::vector<RowPtr> rows;
    rowIndex_.clear();
    if (bizSDK()) {
        for (const auto& symbol : bizSDK()->symbolInfos()) {
            if (!symbol || !isShownOnBoard(*symbol)) continue;
            auto row = std::make_shared<LSQuotation>();
            updateLSQuotation(*row, *symbol);
            rowIndex_.emplace(row->symbolCode, rows.size());
            rows.push_back(std::move(row));
        }
    }
    // The prices show at once; the marks follow the queries.
    replaceRows(std::move(rows));

    const uint64_t load = beginLoad();
    if (!bizSDK()) {
        failLoad(load, kKAVNotInitialised.message);
        return;
    }
    auto weak = weakSelf<QuotationViewController>();
    bizSDK()->queryHoldBillOnSuccess(
        [weak, load](const MODList<MODHoldBill>& holdBills) {
            auto self = weak.lock();
            if (!self || !self->isCurrentLoad(load)) return;
            for (const auto& row : self->rows_)
                self->updateLSQuotation(*row, holdBills);
            self->tableView()->reloadData();
            self->queryLimitBills(load);
        },
        [weak, load](const std::string&, const std::string& message) {
            if (auto self = weak.lock()) self->failLoad(load, message);
        });
}

void QuotationViewController::queryLimitBills(uint64_t load) {
    auto weak = weakSelf<QuotationViewController>();
    bizSDK()->queryLimitBillOnSuccess(
        [weak, load](const MODList<MODLimitBill>& limitBills) {
            auto self = weak.lock();
            if (!self || !self->isCurrentLoad(load)) return;
            self->endLoad(load);
            for (const auto& row : self->rows_)
                self->updateLSQuotation(*row, limitBills);
            self->tableView()->reloadData();
        },
        [weak, load](const std::string&, const std::string& message) {
            if (auto self = weak.lock()) self->failLoad(load, message);
        });
}

void QuotationViewController::updateQuotaWithMods(const MODList<MODSymbolInfo>& symbols) {
    UITableView* table = tableView();
    if (!table) return;
    std::vector<NSIndexPath> visible;  // asked once, and only when a row changed
    bool visibleKnown = false;
    std::vector<NSIndexPath> changed;
    for (const auto& symbol : symbols) {
        if (!symbol) continue;
        const auto it = rowIndex_.find(symbol->symbolCode);
        if (it == rowIndex_.end()) continue;  // not a row of the board
        LSQuotation& row = *rows_[it->second];
        updateLSQuotation(row, *symbol);
        if (!visibleKnown) {
            visible = table->indexPathsForVisibleRows();
            visibleKnown = true;
        }
        const auto path = NSIndexPath::indexPathForRow(static_cast<long>(it->second), 0);
        if (std::find(visible.begin(), visible.end(), path) == visible.end()) continue;
        // The row on screen is drawn at the next frame, with its last quote
        // only: a move followed by a flat quote before it would leave the
        // flat arrow in the colour of the move before. Its move is kept now,
        // as drawing each quote would keep it.
        QuotationCell::noteMove(row);
        if (std::find(changed.begin(), changed.end(), path) == changed.end())
            changed.push_back(path);
    }
    if (!changed.empty()) table->reloadRowsAtIndexPaths(changed, UITableViewRowAnimation::None);
}

void QuotationViewController::didSelectRowWithKey(const std::string& symbolCode) {
    tradelist::presentFromRoot(*this, [&] {
        auto symbol = bizSDK() ? bizSDK()->getSymbolWith(symbolCode) : nullptr;
        auto screen = std::make_shared<MarketOpenViewController>(std::move(symbol));
        screen->setContext(context());
        return std::make_shared<RotateNavigationController>(screen);
    });
}
