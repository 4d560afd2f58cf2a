#pragma once

// What the accordion cells of the trading lists (net positions, pending
// orders, closed tickets) share: their labels, the expand arrow that turns
// a quarter when the row is open, the thin separator, prices with the
// symbol's decimals and the colour of a signed figure.

#include <memory>
#include <string>

#include "Core/Model/MODSymbolInfo.h"
#include "platform/Decimal.h"
#include "platform/ui/Color.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace cellkit {

// A label of the system font of the size, in the colour, on the background.
std::shared_ptr<platform::ui::UILabel> makeLabel(platform::ui::CGFloat size,
                                                 const platform::ui::UIColor& colour,
                                                 platform::ui::NSTextAlignment alignment,
                                                 const platform::ui::UIColor& background);
// The expand arrow ("detail_Icon" in the accent colour), tinted once.
platform::ui::UIImagePtr expandIcon();
// Puts the arrow at the frame, turned a quarter when the row is open.
void placeExpandIcon(platform::ui::UIImageView& icon, const platform::ui::CGRect& frame,
                     bool expanded);
// The separator line along a cell's bottom.
std::shared_ptr<platform::ui::UIView> makeSeparator();
// The decimals of the symbol's prices; 0 when the service does not know it.
int decimalsOf(const MODSymbolInfo* symbol);
// The price rounded to the symbol's decimals.
std::string price(const platform::Decimal& value, const MODSymbolInfo* symbol);
// Red above zero, green below, grey 160 at zero.
platform::ui::UIColor colourForSign(const platform::Decimal& value);

}  // namespace cellkit
