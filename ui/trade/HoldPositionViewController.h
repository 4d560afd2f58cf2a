#pragma once

#include <map>
#include <memory>
#include <string>

#include "Core/Model/MODHoldPosition.h"
#include "ui/trade/HoldPositionCell.h"
#include "ui/trade/LSHoldPosition.h"
#include "ui/trade/TradeListViewController.h"

// The net positions of the account, one row per symbol: the net quantity
// with its direction and the net floating profit; an open row shows both
// sides and the close button, which opens the market close of the symbol.
// Queried afresh on every appearance; position pushes refresh rows, drop
// positions with nothing left and append new ones while the list is visible.
class HoldPositionViewController : public TradeListViewController<LSHoldPosition, MODHoldPosition>,
                                   public HoldPositionCellDelegate {
  public:
    static constexpr const char* kTitle = "头寸";

    std::shared_ptr<LSHoldPosition> lsHoldPositionWithSymbolCode(
        const std::string& symbolCode) const {
        return rowWithKey(symbolCode);
    }
    void updateLSHoldPosition(LSHoldPosition& position, const MODHoldPosition& record);
    // Merges pushed positions. One that comes with both sides empty leaves
    // the list; it is not added as a row of nothing.
    void updateHoldPositionWithMods(const MODList<MODHoldPosition>& positions);
    void updateWithMods(const MODList<MODHoldPosition>& positions) override {
        updateHoldPositionWithMods(positions);
    }

    // The close button of a row: the market close of the row's symbol,
    // presented once the touch has been handled.
    void onCloseOutWithLSHoldPosition(const LSHoldPosition& position) override;
    // The position a row's close takes: the service's cached record, or the
    // one the list was given when the cache lacks it.
    std::shared_ptr<MODHoldPosition> positionForRow(const std::string& symbolCode) const;

  protected:
    std::string listTitle() const override;
    std::string actionName() const override { return kActionReceiveHoldPositionChange; }
    std::string cellIdentifier() const override { return HoldPositionCell::kIdentifier; }
    std::string rowKey(const LSHoldPosition& row) const override { return row.symbolCode; }
    std::string recordKey(const MODHoldPosition& record) const override {
        return record.symbolCode;
    }
    void updateRow(LSHoldPosition& row, const MODHoldPosition& record) override {
        updateLSHoldPosition(row, record);
    }
    UITableViewCellPtr makeCell(const std::string& identifier) override;
    void showCell(UITableViewCell& cell, LSHoldPosition& row) override;
    double rowHeight(const LSHoldPosition& row) const override;
    void query(RecordsBlock onSuccess, KAVFailureBlock onFailure) override;
    bool isEmptied(const MODHoldPosition& record) const override {
        return record.quantityBuy == 0 && record.quantitySell == 0;
    }
    bool hasAccordionRows() const override { return true; }
    void didLoadRows() override;

  private:
    void presentClose(const std::string& symbolCode);

    // The records behind the rows, by symbol code.
    std::map<std::string, std::shared_ptr<MODHoldPosition>> records_;
    // The answer of the load being taken in.
    MODList<MODHoldPosition> answer_;
};
