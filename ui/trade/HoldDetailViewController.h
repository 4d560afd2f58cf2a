#pragma once

#include <map>
#include <memory>
#include <string>

#include "Core/Model/MODHoldBill.h"
#include "ui/trade/LSHoldDetail.h"
#include "ui/trade/TradeListViewController.h"

// The open tickets of the account, one row each, queried afresh on every
// appearance; ticket pushes change rows in place, drop closed tickets and
// append new ones while the list is visible. A tap opens the market close
// of that ticket.
class HoldDetailViewController : public TradeListViewController<LSHoldDetail, MODHoldBill> {
  public:
    static constexpr const char* kTitle = "持仓明细";

    std::shared_ptr<LSHoldDetail> lsHoldDetailWithOrderCode(const std::string& orderCode) const {
        return rowWithKey(orderCode);
    }
    void updateLSHoldDetail(LSHoldDetail& detail, const MODHoldBill& holdBill);
    // Merges pushed tickets. A ticket that comes closed (quantity 0) leaves
    // the list and is never added again, so a late re-pricing of a ticket
    // the list has seen closed cannot bring it back.
    void updateHoldDetailWithMods(const MODList<MODHoldBill>& holdBills);
    void updateWithMods(const MODList<MODHoldBill>& holdBills) override {
        updateHoldDetailWithMods(holdBills);
    }

    // The ticket a row opens: the service's cached record, or the one the
    // list was given (a ticket known from a push the cache does not hold).
    std::shared_ptr<MODHoldBill> holdBillForRow(const std::string& orderCode) const;

  protected:
    std::string listTitle() const override;
    std::string actionName() const override { return kActionReceiveHoldBillChange; }
    std::string cellIdentifier() const override;
    std::string rowKey(const LSHoldDetail& row) const override { return row.orderCode; }
    std::string recordKey(const MODHoldBill& record) const override { return record.orderCode; }
    void updateRow(LSHoldDetail& row, const MODHoldBill& record) override {
        updateLSHoldDetail(row, record);
    }
    UITableViewCellPtr makeCell(const std::string& identifier) override;
    void showCell(UITableViewCell& cell, LSHoldDetail& row) override;
    double rowHeight(const LSHoldDetail& row) const override;
    void query(RecordsBlock onSuccess, KAVFailureBlock onFailure) override;
    bool isEmptied(const MODHoldBill& record) const override { return record.quantityHold == 0; }
    bool keepsGoneKeys() const override { return true; }
    void didLoadRows() override;
    void didSelectRowWithKey(const std::string& orderCode) override;

  private:
    // The records behind the rows, by order code.
    std::map<std::string, std::shared_ptr<MODHoldBill>> records_;
    // The answer of the load being taken in.
    MODList<MODHoldBill> answer_;
};
