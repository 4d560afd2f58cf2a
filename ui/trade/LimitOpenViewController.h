#pragma once

#include <memory>
#include <string>

#include "Core/Model/MODLimitBill.h"
#include "ui/trade/LSLimitOpen.h"
#include "ui/trade/LimitOpenCell.h"
#include "ui/trade/OrderFlow.h"
#include "ui/trade/TradeListViewController.h"

// The pending limit and stop orders of the account, one row each; an open
// row has the cancel button ("撤单"), which cancels the order after a
// confirmation. The add button in the navigation bar opens the new limit /
// stop order for the first symbol. Queried afresh on every appearance;
// order pushes refresh rows, drop filled and cancelled orders and append
// new ones while the list is visible. An order the list has seen gone (its
// cancel succeeded, or a push said so) never comes back from a later
// re-pricing; only a load's answer brings it back.
class LimitOpenViewController : public TradeListViewController<LSLimitOpen, MODLimitBill>,
                                public LimitOpenCellDelegate {
  public:
    static constexpr const char* kTitle = "限价单";

    void makeView() override;
    // The add button at the right of the navigation bar, in place of the
    // user button.
    void setupRightMenuButton() override;
    // The add button: the new order screen, presented once the tap is done.
    void viewPressed(platform::ui::UIBarButtonItem* sender);

    std::shared_ptr<LSLimitOpen> lsLimitOpenWithOrderCode(const std::string& orderCode) const {
        return rowWithKey(orderCode);
    }
    void updateLSLimitOpen(LSLimitOpen& order, const MODLimitBill& record);
    void updateLimitOpenWithMods(const MODList<MODLimitBill>& orders);
    // The cancel button of a row: the order road for its cancel.
    void onCancelLimitOpenWith(const LSLimitOpen& order) override;

  protected:
    std::string listTitle() const override;
    std::string actionName() const override { return kActionReceiveLimitBillChange; }
    std::string cellIdentifier() const override { return LimitOpenCell::kIdentifier; }
    std::string rowKey(const LSLimitOpen& row) const override { return row.orderCode; }
    std::string recordKey(const MODLimitBill& record) const override { return record.orderCode; }
    void updateRow(LSLimitOpen& row, const MODLimitBill& record) override {
        updateLSLimitOpen(row, record);
    }
    UITableViewCellPtr makeCell(const std::string& identifier) override;
    void showCell(UITableViewCell& cell, LSLimitOpen& row) override;
    double rowHeight(const LSLimitOpen& row) const override;
    void query(RecordsBlock onSuccess, KAVFailureBlock onFailure) override;
    bool isEmptied(const MODLimitBill& record) const override { return record.quantityOrder == 0; }
    bool keepsGoneKeys() const override { return true; }
    bool hasAccordionRows() const override { return true; }

  private:
    void presentNewOrder();
    // The row of the cancelled order leaves at once.
    void removeCancelled(const std::string& orderCode);

    OrderFlow orderFlow_;
};
