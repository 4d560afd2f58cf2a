#pragma once

#include <memory>
#include <optional>
#include <utility>

#include "platform/ui/Color.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

// A price of the quotation board in two sizes: the last two characters of
// its text large (the digits that move), the rest small in front of them.
class LabelPrice : public platform::ui::UIView {
  public:
    explicit LabelPrice(const platform::ui::CGRect& frame = platform::ui::CGRectZero);
    LabelPrice(const platform::ui::CGRect& frame, double Price, int Decimal,
               const platform::ui::UIColor& Color);

    // Shows the price with `Decimal` decimals (held to 0..15), both parts in
    // the colour. The labels are made on the first call; later calls only
    // change texts and colours.
    void setPrice(double Price, int Decimal, const platform::ui::UIColor& Color);

    platform::ui::UILabel* lblSmall() const { return lblSmall_.get(); }
    platform::ui::UILabel* lblLarge() const { return lblLarge_.get(); }
    // The large digits may reach past the right edge into the price beside
    // this one; the small part keeps as much clear at its left, and shrinks
    // to fit what is left.
    void layoutSubviews() override;

  private:
    std::shared_ptr<platform::ui::UILabel> lblSmall_;
    std::shared_ptr<platform::ui::UILabel> lblLarge_;
    // The price and decimals the texts were written from, and their colour.
    std::optional<std::pair<double, int>> shown_;
    std::optional<platform::ui::UIColor> shownColor_;
};
