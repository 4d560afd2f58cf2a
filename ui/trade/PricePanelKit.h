#pragma once

// The parts the price panels of the order screens share (ViewMarketPrice,
// ViewMarketPricePosition, ViewLimitPrice): a blue left half with a caption
// over a price, a right half, the wedge that points from the blue half into
// the right one, and the accent border around the whole. Added in this
// order: the blue half, the right half, the caption and the price, the
// edges last so that they lie over the rest.

#include <memory>

#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace pricepanel {

// The blue left half.
void addBlueHalf(platform::ui::UIView& panel);
// The grey right half with "浮动盈亏" over the floating profit; the profit's
// label, in 22-point type.
std::shared_ptr<platform::ui::UILabel> addProfitHalf(platform::ui::UIView& panel);
// The black caption at the top left of the blue half, `width` wide.
std::shared_ptr<platform::ui::UILabel> addCaption(platform::ui::UIView& panel,
                                                  platform::ui::CGFloat width);
// The black price along the bottom of the blue half.
std::shared_ptr<platform::ui::UILabel> addPrice(platform::ui::UIView& panel);
// The wedge between the halves and the accent border, which takes no touch.
void addEdges(platform::ui::UIView& panel);
// A floating profit with two decimals: red only for a gain, a loss and zero
// are green.
void showProfit(platform::ui::UILabel& label, double profit);

}  // namespace pricepanel
