#include "ui/toolkit/KAVDrawerMenuButtonView.h"

using namespace platform::ui;

namespace {
// The bars, in shares of the view's width and height.
constexpr CGFloat kBarLeft = 0.1;
constexpr CGFloat kBarWidth = 0.8;
constexpr CGFloat kBarHeight = 0.16;
constexpr CGFloat kBarGap = 0.12;
constexpr CGFloat kBarCornerRadius = 1;
}  // namespace

KAVDrawerMenuButtonView::KAVDrawerMenuButtonView(const CGRect& frame)
    : UIButton(frame),
      menuButtonNormalColor_(UIColor::colorWithWhite(1, 0.9)),
      menuButtonHighlightedColor_(
          UIColor::colorWithRed(139 / 255.0, 135 / 255.0, 136 / 255.0, 0.9)),
      shadowNormalColor_(UIColor::colorWithWhite(0, 0.5)),
      shadowHighlightedColor_(UIColor::colorWithWhite(0, 0.2)) {
    setOpaque(false);
}

std::optional<UIColor> KAVDrawerMenuButtonView::menuButtonColorForState(unsigned state) const {
    if (state == UIControlStateNormal) return menuButtonNormalColor_;
    if (state == UIControlStateHighlighted) return menuButtonHighlightedColor_;
    return std::nullopt;
}

void KAVDrawerMenuButtonView::setMenuButtonColor(const UIColor& color, unsigned state) {
    if (state == UIControlStateNormal)
        menuButtonNormalColor_ = color;
    else if (state == UIControlStateHighlighted)
        menuButtonHighlightedColor_ = color;
    setNeedsDisplay();
}

std::optional<UIColor> KAVDrawerMenuButtonView::shadowColorForState(unsigned state) const {
    if (state == UIControlStateNormal) return shadowNormalColor_;
    if (state == UIControlStateHighlighted) return shadowHighlightedColor_;
    return std::nullopt;
}

void KAVDrawerMenuButtonView::setShadowColor(const UIColor& color, unsigned state) {
    if (state == UIControlStateNormal)
        shadowNormalColor_ = color;
    else if (state == UIControlStateHighlighted)
        shadowHighlightedColor_ = color;
    setNeedsDisplay();
}

void KAVDrawerMenuButtonView::drawRect(CGRect) {
    Canvas* ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    const CGFloat w = bounds().size.width, h = bounds().size.height;
    const auto fill = menuButtonColorForState(state());
    if (!fill) return;
    const UIColor shadow = shadowColorForState(state()).value_or(UIColor::clearColor());
    const CGFloat barHeight = h * kBarHeight, gap = h * kBarGap;
    for (int i = 0; i < 3; ++i) {
        const CGRect bar =
            CGRectMake(w * kBarLeft, i * barHeight + (i + 1) * gap, w * kBarWidth, barHeight);
        ctx->saveGState();
        ctx->setFillColor(*fill);
        ctx->setShadowWithColor({0, 1}, 0, shadow);
        ctx->fillPath(UIBezierPath::bezierPathWithRoundedRect(bar, kBarCornerRadius));
        ctx->restoreGState();
    }
}

void KAVDrawerMenuButtonView::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    UIButton::touchesBegan(touches, event);
    setNeedsDisplay();
}

void KAVDrawerMenuButtonView::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    UIButton::touchesEnded(touches, event);
    setNeedsDisplay();
}

void KAVDrawerMenuButtonView::touchesCancelled(const UITouchSet& touches, UIEvent* event) {
    UIButton::touchesCancelled(touches, event);
    setNeedsDisplay();
}

void KAVDrawerMenuButtonView::setSelected(bool selected) {
    UIButton::setSelected(selected);
    setNeedsDisplay();
}

void KAVDrawerMenuButtonView::setHighlighted(bool highlighted) {
    UIButton::setHighlighted(highlighted);
    setNeedsDisplay();
}

void KAVDrawerMenuButtonView::tintColorDidChange() {
    UIButton::tintColorDidChange();
    setNeedsDisplay();
}
