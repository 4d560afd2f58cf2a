#pragma once

#include <memory>
#include <string>

#include "Core/Model/MODSymbolInfo.h"
#include "platform/ui/Label.h"
#include "ui/toolkit/BaseTableViewCell.h"
#include "ui/trade/LSHoldDetail.h"

// A row of the open tickets: symbol, side and quantity, opening time; the
// latest, hold and opening prices, take-profit and stop-loss, fees and
// interest; the floating profit large at the right in the colour of its
// sign, the total floating profit under it.
class HoldDetailCell : public BaseTableViewCell {
  public:
    static constexpr double kRowHeight = 82;
    static constexpr const char* kIdentifier = "HOLD_DETAIL_ITEM_CELL";

    HoldDetailCell(platform::ui::UITableViewCellStyle style, const std::string& reuseIdentifier,
                   const ScreenContext& context);
    ~HoldDetailCell() override;

    // Fills the cell from the row; prices with the symbol's decimals (their
    // own decimals when the service does not know the symbol).
    void displayCellWithLSHoldDetail(const LSHoldDetail& detail, const MODSymbolInfo* symbol);
    void layoutSubviews() override;

    platform::ui::UILabel* symbolNameLabel() const { return lblSymbolName_.get(); }
    platform::ui::UILabel* directionLabel() const { return lblDirection_.get(); }
    platform::ui::UILabel* openTimeLabel() const { return lblOpenTime_.get(); }
    platform::ui::UILabel* latestPriceLabel() const { return lblLatest_.get(); }
    platform::ui::UILabel* holdPriceLabel() const { return lblHold_.get(); }
    platform::ui::UILabel* takeProfitLabel() const { return lblTakeProfit_.get(); }
    platform::ui::UILabel* stopLoseLabel() const { return lblStopLose_.get(); }
    platform::ui::UILabel* feesLabel() const { return lblFees_.get(); }
    platform::ui::UILabel* dynProfitLabel() const { return lblDynProfit_.get(); }
    platform::ui::UILabel* openPriceLabel() const { return lblOpenPrice_.get(); }
    platform::ui::UILabel* interestLabel() const { return lblInterest_.get(); }
    platform::ui::UILabel* totalProfitLabel() const { return lblTotal_.get(); }

  private:
    void makeViews();
    std::string label(const std::string& caption) const;

    std::shared_ptr<platform::ui::UILabel> lblSymbolName_;
    std::shared_ptr<platform::ui::UILabel> lblDirection_;
    std::shared_ptr<platform::ui::UILabel> lblOpenTime_;
    std::shared_ptr<platform::ui::UILabel> lblLatest_;
    std::shared_ptr<platform::ui::UILabel> lblHold_;
    std::shared_ptr<platform::ui::UILabel> lblTakeProfit_;
    std::shared_ptr<platform::ui::UILabel> lblStopLose_;
    std::shared_ptr<platform::ui::UILabel> lblFees_;
    std::shared_ptr<platform::ui::UILabel> lblDynProfit_;
    std::shared_ptr<platform::ui::UILabel> lblOpenPrice_;
    std::shared_ptr<platform::ui::UILabel> lblInterest_;
    std::shared_ptr<platform::ui::UILabel> lblTotal_;
    std::shared_ptr<platform::ui::UIView> separator_;
};
