#pragma once

#include <memory>
#include <string>

#include "Core/Model/MODCloseBill.h"
#include "ui/trade/CloseOutCell.h"
#include "ui/trade/LSCloseOut.h"
#include "ui/trade/TradeListViewController.h"

// The tickets closed today, one row each, under a header with the day's
// closed profit in the colour of its sign. Queried afresh on every
// appearance; a pushed close the list does not show (a ticket closed in
// parts has one close per part, all with the ticket's code) is appended and
// its profit added to the day's; a listed close is never changed.
class CloseOutViewController : public TradeListViewController<LSCloseOut, MODCloseBill> {
  public:
    static constexpr const char* kTitle = "平仓单";
    static constexpr long kTagTotal = 1001;
    static constexpr double kHeaderHeight = 40;

    void makeView() override;

    std::shared_ptr<LSCloseOut> lsCloseOutWithOrderCode(const std::string& orderCode) const {
        return rowWithKey(orderCode);
    }
    void updateLSCloseOut(LSCloseOut& closeOut, const MODCloseBill& record);
    void updateCloseOutWithMods(const MODList<MODCloseBill>& closeBills);
    void updateWithMods(const MODList<MODCloseBill>& closeBills) override {
        updateCloseOutWithMods(closeBills);
    }
    // The sum of the closed profit of the listed tickets.
    double totalProfit() const { return totalProfit_; }

  protected:
    std::string listTitle() const override;
    std::string actionName() const override { return kActionReceiveCloseBillChange; }
    std::string cellIdentifier() const override { return CloseOutCell::kIdentifier; }
    std::string rowKey(const LSCloseOut& row) const override { return row.orderCode; }
    std::string recordKey(const MODCloseBill& record) const override { return record.orderCode; }
    void updateRow(LSCloseOut& row, const MODCloseBill& record) override {
        updateLSCloseOut(row, record);
    }
    UITableViewCellPtr makeCell(const std::string& identifier) override;
    void showCell(UITableViewCell& cell, LSCloseOut& row) override;
    double rowHeight(const LSCloseOut& row) const override;
    void query(RecordsBlock onSuccess, KAVFailureBlock onFailure) override;
    bool updatesKnownRecords() const override { return false; }
    bool hasAccordionRows() const override { return true; }
    void didAppendRow(const LSCloseOut& row) override;
    void didLoadRows() override;
    void didMerge() override;

  private:
    // The total label: the day's closed profit in the colour of its sign.
    void showTotal();

    double totalProfit_ = 0;
};
