#pragma once

#include <memory>
#include <string>

#include "Core/Model/MODSymbolInfo.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "ui/toolkit/BaseTableViewCell.h"
#include "ui/trade/LSLimitOpen.h"

// Told when the cancel button of a pending order row is pressed.
class LimitOpenCellDelegate {
  public:
    virtual ~LimitOpenCellDelegate() = default;
    virtual void onCancelLimitOpenWith(const LSLimitOpen& order) = 0;
};

// A row of the pending orders: symbol, side and quantity, time; the latest
// and the order price, take-profit and stop-loss; the order's kind large at
// the right. Open, a black panel under it holds the cancel button.
class LimitOpenCell : public BaseTableViewCell {
  public:
    static constexpr double kRowHeight = 65;
    static constexpr double kExpandedRowHeight = 121;
    static constexpr const char* kIdentifier = "LIMIT_OPEN_ITEM_CELL";

    LimitOpenCell(platform::ui::UITableViewCellStyle style, const std::string& reuseIdentifier,
                  const ScreenContext& context);
    ~LimitOpenCell() override;

    // Keeps the row and sets every text; prices with the symbol's decimals
    // (none without a symbol).
    void displayCellWithLSLimitOpen(const LSLimitOpen& order, const MODSymbolInfo* symbol);
    void layoutSubviews() override;
    // The cancel button: tells the delegate the row.
    void viewPressed(platform::ui::UIControl* sender);

    std::weak_ptr<LimitOpenCellDelegate> delegate;

    const LSLimitOpen& lsLimitOpen() const { return order_; }
    platform::ui::UILabel* symbolNameLabel() const { return symbolNameLabel_.get(); }
    platform::ui::UILabel* quantityOrderLabel() const { return quantityOrderLabel_.get(); }
    platform::ui::UILabel* openDateLabel() const { return openDateLabel_.get(); }
    platform::ui::UILabel* markPriceLabel() const { return markPriceLabel_.get(); }
    platform::ui::UILabel* orderPriceLabel() const { return orderPriceLabel_.get(); }
    platform::ui::UILabel* takeProfitLabel() const { return priceTakeProfit_.get(); }
    platform::ui::UILabel* stopLoseLabel() const { return priceStopLoseLabel_.get(); }
    platform::ui::UILabel* limitTypeLabel() const { return limitTypeLabel_.get(); }
    platform::ui::UIView* expandView() const { return expandView_.get(); }
    platform::ui::UIImageView* expandImageView() const { return expandImageView_.get(); }
    platform::ui::UIButton* cancelButton() const { return cancleButton_.get(); }

  private:
    void makeViews();

    std::shared_ptr<platform::ui::UILabel> symbolNameLabel_;
    std::shared_ptr<platform::ui::UILabel> quantityOrderLabel_;
    std::shared_ptr<platform::ui::UILabel> openDateLabel_;
    std::shared_ptr<platform::ui::UILabel> markPriceLabel_;
    std::shared_ptr<platform::ui::UILabel> orderPriceLabel_;
    std::shared_ptr<platform::ui::UILabel> priceTakeProfit_;
    std::shared_ptr<platform::ui::UILabel> priceStopLoseLabel_;
    std::shared_ptr<platform::ui::UILabel> limitTypeLabel_;
    std::shared_ptr<platform::ui::UIView> separatorView_;
    std::shared_ptr<platform::ui::UIView> expandView_;
    std::shared_ptr<platform::ui::UIImageView> expandImageView_;
    std::shared_ptr<platform::ui::UIButton> cancleButton_;
    LSLimitOpen order_;
};
