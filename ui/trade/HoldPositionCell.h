#pragma once

#include <array>
#include <memory>
#include <string>

#include "Core/Model/MODSymbolInfo.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "ui/toolkit/BaseTableViewCell.h"
#include "ui/trade/LSHoldPosition.h"

// Told when the close button of a net position row is pressed.
class HoldPositionCellDelegate {
  public:
    virtual ~HoldPositionCellDelegate() = default;
    virtual void onCloseOutWithLSHoldPosition(const LSHoldPosition& position) { (void)position; }
};

// A row of the net positions: the symbol, the net quantity with its
// direction, the net floating profit in the colour of its sign. Open, a
// black panel under it shows both sides (prices, averages, quantities,
// profits) and the close button.
class HoldPositionCell : public BaseTableViewCell {
  public:
    static constexpr double kRowHeight = 65;
    static constexpr double kExpandedRowHeight = 188;
    static constexpr const char* kIdentifier = "HOLD_POSITION_ITEM_CELL";

    HoldPositionCell(platform::ui::UITableViewCellStyle style, const std::string& reuseIdentifier,
                     const ScreenContext& context);
    ~HoldPositionCell() override;

    // Keeps the row and sets every text and colour; prices with the
    // symbol's decimals (none without a symbol).
    void displayCellWithLSHoldPosition(const LSHoldPosition& position, const MODSymbolInfo* symbol);
    void layoutSubviews() override;
    // The close button: tells the delegate the row.
    void viewPressed(platform::ui::UIControl* sender);

    std::weak_ptr<HoldPositionCellDelegate> delegate;

    const LSHoldPosition& lsHoldPosition() const { return position_; }
    platform::ui::UILabel* symbolNameLabel() const { return lblSymbolName_.get(); }
    platform::ui::UILabel* netCaptionLabel() const { return lblNetCaption_.get(); }
    platform::ui::UILabel* directionLabel() const { return lblDirection_.get(); }
    platform::ui::UILabel* netQuantityLabel() const { return lblNetQuantity_.get(); }
    platform::ui::UILabel* profitCaptionLabel() const { return lblProfitCaption_.get(); }
    platform::ui::UILabel* netProfitLabel() const { return lblNetProfit_.get(); }
    platform::ui::UIImageView* expandIcon() const { return imgExpand_.get(); }
    platform::ui::UIView* expandView() const { return expandView_.get(); }
    // The grid of the open row: row r (0..3), column c (0..3: title,
    // value, title, value).
    platform::ui::UILabel* gridLabel(int r, int c) const {
        return grid_[static_cast<size_t>(r * 4 + c)].get();
    }
    platform::ui::UIButton* closeButton() const { return btnClose_.get(); }
    platform::ui::UIView* separatorView() const { return separator_.get(); }

  private:
    void makeViews();
    std::string label(const std::string& caption) const;

    LSHoldPosition position_;
    std::shared_ptr<platform::ui::UILabel> lblSymbolName_;
    std::shared_ptr<platform::ui::UILabel> lblNetCaption_;
    std::shared_ptr<platform::ui::UILabel> lblDirection_;
    std::shared_ptr<platform::ui::UILabel> lblNetQuantity_;
    std::shared_ptr<platform::ui::UILabel> lblProfitCaption_;
    std::shared_ptr<platform::ui::UILabel> lblNetProfit_;
    std::shared_ptr<platform::ui::UIImageView> imgExpand_;
    std::shared_ptr<platform::ui::UIView> expandView_;
    std::array<std::shared_ptr<platform::ui::UILabel>, 16> grid_;
    std::shared_ptr<platform::ui::UIButton> btnClose_;
    std::shared_ptr<platform::ui::UIView> separator_;
};
