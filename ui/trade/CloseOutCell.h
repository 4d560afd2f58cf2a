#pragma once

#include <array>
#include <memory>
#include <string>

#include "Core/Model/MODSymbolInfo.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "ui/toolkit/BaseTableViewCell.h"
#include "ui/trade/LSCloseOut.h"

// A row of the closed tickets: the symbol and the closing time; the holding
// and closing prices, the quantity and the closed profit in the colour of
// its sign. Open, a black panel under it shows the opening time, both
// sides, the fees, the opening price and the total profit of the trade.
class CloseOutCell : public BaseTableViewCell {
  public:
    static constexpr double kRowHeight = 69;
    static constexpr double kExpandedRowHeight = 159;
    static constexpr const char* kIdentifier = "ClOSEOUT_ITEM_CELL";

    CloseOutCell(platform::ui::UITableViewCellStyle style, const std::string& reuseIdentifier,
                 const ScreenContext& context);
    ~CloseOutCell() override;

    // Sets every text and colour; the symbol gives the name and the
    // decimals of the prices (none without a symbol).
    void displayCellWithLSCloseOut(const LSCloseOut& closeOut, const MODSymbolInfo* symbol);
    void layoutSubviews() override;

    bool isExpanded() const { return isExpanded_; }
    platform::ui::UILabel* symbolNameLabel() const { return lblSymbolName_.get(); }
    platform::ui::UILabel* closeTimeLabel() const { return lblCloseTime_.get(); }
    platform::ui::UILabel* holdPriceLabel() const { return lblHoldPrice_.get(); }
    platform::ui::UILabel* closePriceLabel() const { return lblClosePrice_.get(); }
    platform::ui::UILabel* quantityLabel() const { return lblQuantity_.get(); }
    platform::ui::UILabel* profitLabel() const { return lblProfit_.get(); }
    platform::ui::UIImageView* expandIcon() const { return imgExpand_.get(); }
    platform::ui::UIView* detailView() const { return detailView_.get(); }
    // The detail panel: line l (0..3), column c (0..3: title, value,
    // title, value); the first line has one title and one value.
    platform::ui::UILabel* detailLabel(int l, int c) const {
        return detail_[static_cast<size_t>(l * 4 + c)].get();
    }

  private:
    void makeViews();
    std::string label(const std::string& caption) const;

    bool isExpanded_ = false;
    std::shared_ptr<platform::ui::UILabel> lblSymbolName_;
    std::shared_ptr<platform::ui::UILabel> lblCloseTime_;
    std::shared_ptr<platform::ui::UILabel> lblHoldPrice_;
    std::shared_ptr<platform::ui::UILabel> lblClosePrice_;
    std::shared_ptr<platform::ui::UILabel> lblQuantity_;
    std::shared_ptr<platform::ui::UILabel> lblProfit_;
    std::shared_ptr<platform::ui::UIImageView> imgExpand_;
    std::shared_ptr<platform::ui::UIView> detailView_;
    std::array<std::shared_ptr<platform::ui::UILabel>, 16> detail_;
    std::shared_ptr<platform::ui::UIView> separator_;
};
