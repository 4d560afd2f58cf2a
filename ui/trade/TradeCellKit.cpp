#include "ui/trade/TradeCellKit.h"

#include <cmath>

#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIImageTintColor.h"

using namespace platform::ui;

namespace cellkit {

std::shared_ptr<UILabel> makeLabel(CGFloat size, const UIColor& colour, NSTextAlignment alignment,
                                   const UIColor& background) {
    auto label = std::make_shared<UILabel>();
    label->setFont(UIFont::systemFontOfSize(size));
    label->setTextColor(colour);
    label->setBackgroundColor(background);
    label->setTextAlignment(alignment);
    // Long figures shrink rather than lose their last digits.
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.6);
    return label;
}

UIImagePtr expandIcon() {
    // Every cell shows the same arrow: tinted once (main thread only).
    static UIImagePtr icon =
        UIImageTintColor::imageWithTintColor(kavtheme::accent(), "detail_Icon");
    return icon;
}

void placeExpandIcon(UIImageView& icon, const CGRect& frame, bool expanded) {
    // A frame means nothing under a turn: placed upright, then turned.
    icon.setTransform(CGAffineTransformIdentity);
    icon.setFrame(frame);
    if (expanded) icon.setTransform(CGAffineTransformMakeRotation(M_PI / 2));
}

std::shared_ptr<UIView> makeSeparator() {
    auto line = std::make_shared<UIView>();
    line->setBackgroundColor(kavtheme::separator());
    return line;
}

int decimalsOf(const MODSymbolInfo* symbol) {
    return symbol ? symbol->decimal : 0;
}

std::string price(const platform::Decimal& value, const MODSymbolInfo* symbol) {
    return KAStringUtils::notRounding(value, decimalsOf(symbol));
}

UIColor colourForSign(const platform::Decimal& value) {
    return kavtheme::forSign(value.isNaN() ? 0 : value.sign());
}

}  // namespace cellkit
