#include "platform/ui/Label.h"

#include <cmath>
#include <typeinfo>

#include "platform/ui/detail/Setters.h"

namespace platform::ui {

UILabel::UILabel(const CGRect& frame) : UIView(frame) {
    setUserInteractionEnabled(false);
    setOpaque(false);
}

void UILabel::setText(const std::string& t) {
    if (text_ == t) return;
    text_ = t;
    // The font fitted the old text; the layout held is let go of when
    // another text is laid out, or now when none will be.
    fitted_.font.pointSize = 0;
    if (text_.empty()) layout_.clear();
    setNeedsDisplay();
}
void UILabel::setFont(const UIFont& f) {
    if (font_ == f) return;
    font_ = f;
    fitted_.font.pointSize = 0;
    setNeedsDisplay();
}
void UILabel::setTextColor(const UIColor& c) {
    KAV_SET_AND_REDRAW(textColor_, c);
}
void UILabel::setHighlightedTextColor(std::optional<UIColor> c) {
    KAV_SET_AND_REDRAW(highlightedTextColor_, c);
}
void UILabel::setHighlighted(bool h) {
    KAV_SET_AND_REDRAW(highlighted_, h);
}
void UILabel::setEnabled(bool e) {
    KAV_SET_AND_REDRAW(enabled_, e);
}
void UILabel::setTextAlignment(NSTextAlignment a) {
    KAV_SET_AND_REDRAW(alignment_, a);
}
void UILabel::setNumberOfLines(long n) {
    KAV_SET_AND_REDRAW(numberOfLines_, n);
}
void UILabel::setLineBreakMode(NSLineBreakMode m) {
    KAV_SET_AND_REDRAW(lineBreakMode_, m);
}
void UILabel::setAdjustsFontSizeToFitWidth(bool a) {
    KAV_SET_AND_REDRAW(adjustsFontSizeToFitWidth_, a);
}
void UILabel::setMinimumScaleFactor(CGFloat f) {
    KAV_SET_AND_REDRAW(minimumScaleFactor_, f);
}

UIFont UILabel::fittedFont() const {
    if (!adjustsFontSizeToFitWidth_ || numberOfLines_ != 1 || text_.empty()) return font_;
    const double least =
        std::max(1.0, font_.pointSize * (minimumScaleFactor_ > 0 ? minimumScaleFactor_ : 1));
    return fontFitting(bounds().size.width, least);
}

UIFont UILabel::fontFitting(CGFloat width, CGFloat least) const {
    if (fitted_.font.pointSize > 0 && fitted_.width == width && fitted_.least == least)
        return fitted_.font;
    UIFont font = NSStringFittingFont(text_, font_, least, width);
    fitted_ = {width, least, font};
    return font;
}

CGRect UILabel::textInk(const CGRect& rect, const TextStyle& s) {
    return NSStringInkInRect(text_, rect, s, &layout_);
}

void UILabel::drawText(const CGRect& rect, const TextStyle& s) {
    if (auto* ctx = UIGraphicsGetCurrentContext()) ctx->drawText(text_, rect, s, &layout_);
}

TextStyle UILabel::style(const UIFont& font) const {
    TextStyle s;
    s.font = font;
    s.color = textColor_;
    if (highlighted_ && highlightedTextColor_) s.color = *highlightedTextColor_;
    if (!enabled_) s.color.alpha *= 0.5;
    s.alignment = alignment_;
    s.lineBreakMode = lineBreakMode_;
    s.numberOfLines = numberOfLines_;
    s.centerVertically = true;
    return s;
}

CGRect UILabel::textRectForBounds(const CGRect& b, long lines) const {
    TextStyle s = style();
    s.numberOfLines = lines;
    CGSize used = NSStringBoundingSize(text_, b.size, s);
    return {b.origin, used};
}

void UILabel::drawTextInRect(const CGRect& rect) {
    drawText(rect, style());
}

void UILabel::drawRect(CGRect) {
    if (text_.empty()) return;
    drawTextInRect(bounds());
}

bool UILabel::drawingInk(CALayer&, CGRect& ink) {
    if (typeid(*this) != typeid(UILabel)) return false;
    ink = text_.empty() ? CGRectNull : textInk(bounds(), style());
    return true;
}

CGSize UILabel::sizeThatFits(CGSize size) const {
    if (text_.empty()) return CGSizeZero;
    TextStyle s = style();
    s.font = font_;
    CGSize limit = numberOfLines_ == 1 ? CGSize{0, 0} : CGSize{size.width, 0};
    CGSize used = NSStringBoundingSize(text_, limit, s);
    if (numberOfLines_ > 1)
        used.height = std::min(used.height, numberOfLines_ * font_.lineHeight());
    return {std::ceil(used.width), std::ceil(used.height)};
}

}  // namespace platform::ui
