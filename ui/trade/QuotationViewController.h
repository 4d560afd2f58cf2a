#pragma once

#include <string>
#include <unordered_map>

#include "Core/Model/MODHoldBill.h"
#include "Core/Model/MODLimitBill.h"
#include "Core/Model/MODSymbolInfo.h"
#include "ui/trade/LSQuotation.h"
#include "ui/trade/TradeListViewController.h"

// The quotation board: one row per tradable symbol with its live bid and
// ask, the day's high and low, the spread, the time and direction of the
// last quote, and a clock on symbols that had pending orders at the load.
// The rows are made once, when the view loads; quote pushes change them in
// place and reload only the rows on screen. A tap opens the market-order
// screen of the symbol.
class QuotationViewController : public TradeListViewController<LSQuotation, MODSymbolInfo> {
  public:
    static constexpr const char* kTitle = "行情";

    // Whether the board lists the symbol: no trade model, or one that reads 1.
    static bool isShownOnBoard(const MODSymbolInfo& symbol);

    // The rows of the symbols, then their marks from the open tickets and
    // the pending orders.
    void initData() override;
    std::shared_ptr<LSQuotation> lsQuotationWithSymbolCode(const std::string& symbolCode) const;
    // The quote fields of the row from the record (not the marks, not the
    // colour of the last move).
    void updateLSQuotation(LSQuotation& quotation, const MODSymbolInfo& symbol);
    // The mark of an open ticket / of a pending order of the row's symbol.
    void updateLSQuotation(LSQuotation& quotation, const MODList<MODHoldBill>& holdBills);
    void updateLSQuotation(LSQuotation& quotation, const MODList<MODLimitBill>& limitBills);
    // Quote pushes: rows converted again; the changed rows that are on
    // screen reload without animation.
    void updateQuotaWithMods(const MODList<MODSymbolInfo>& symbols);
    void updateWithMods(const MODList<MODSymbolInfo>& symbols) override {
        updateQuotaWithMods(symbols);
    }

  protected:
    std::string listTitle() const override { return kTitle; }
    std::string actionName() const override { return kActionReceiveTradeQuotation; }
    std::string cellIdentifier() const override;
    std::string rowKey(const LSQuotation& row) const override { return row.symbolCode; }
    std::string recordKey(const MODSymbolInfo& record) const override { return record.symbolCode; }
    void updateRow(LSQuotation& row, const MODSymbolInfo& record) override {
        updateLSQuotation(row, record);
    }
    UITableViewCellPtr makeCell(const std::string& identifier) override;
    void showCell(UITableViewCell& cell, LSQuotation& row) override;
    double rowHeight(const LSQuotation& row) const override;
    bool reloadsOnAppear() const override { return false; }
    // Opens the market-order screen of the tapped symbol.
    void didSelectRowWithKey(const std::string& symbolCode) override;

  private:
    void queryLimitBills(uint64_t load);

    // Row index by symbol code; the rows never change after the load.
    std::unordered_map<std::string, size_t> rowIndex_;
};
