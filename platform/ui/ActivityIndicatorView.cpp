#include "platform/ui/ActivityIndicatorView.h"

#include <cmath>

namespace platform::ui {

namespace {
const char* const kSpin = "spin";
}  // namespace

UIActivityIndicatorView::UIActivityIndicatorView(UIActivityIndicatorViewStyle style)
    : style_(style) {
    setOpaque(false);
    setUserInteractionEnabled(false);
    const CGSize s = sizeThatFits({});
    setFrame({{0, 0}, s});
    setHidden(true);
}

void UIActivityIndicatorView::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle s) {
    style_ = s;
    setNeedsDisplay();
}

void UIActivityIndicatorView::setColor(std::optional<UIColor> c) {
    color = c;
    setNeedsDisplay();
}

CGSize UIActivityIndicatorView::sizeThatFits(CGSize) const {
    return style_ == UIActivityIndicatorViewStyle::WhiteLarge ? CGSize{37, 37} : CGSize{20, 20};
}

void UIActivityIndicatorView::startAnimating() {
    if (animating_) return;
    animating_ = true;
    setHidden(false);
    auto spin = CABasicAnimation::animationWithKeyPath("transform.rotation");
    spin->fromValue = 0.0;
    spin->toValue = 2 * M_PI;
    spin->duration = 1.0;
    spin->repeatCount = 1e9;
    layer().addAnimation(spin, kSpin);
}

void UIActivityIndicatorView::stopAnimating() {
    if (!animating_) return;
    animating_ = false;
    layer().removeAnimationForKey(kSpin);
    if (hidesWhenStopped) setHidden(true);
}

void UIActivityIndicatorView::drawRect(CGRect) {
    auto* c = UIGraphicsGetCurrentContext();
    if (!c) return;
    const CGRect b = bounds();
    const CGPoint center{CGRectGetMidX(b), CGRectGetMidY(b)};
    const double r = std::min(b.size.width, b.size.height) / 2;
    UIColor col =
        color.value_or(style_ == UIActivityIndicatorViewStyle::Gray ? UIColor::grayColor()
                                                                    : UIColor::whiteColor());
    c->setLineWidth(r / 5);
    c->setLineCap(CGLineCap::Round);
    for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6;
        c->setStrokeColor(col.colorWithAlphaComponent(col.alpha * (0.25 + 0.75 * i / 11)));
        c->beginPath();
        c->moveToPoint(center.x + r * 0.5 * std::cos(a), center.y + r * 0.5 * std::sin(a));
        c->addLineToPoint(center.x + r * 0.9 * std::cos(a), center.y + r * 0.9 * std::sin(a));
        c->strokePath();
    }
}

}  // namespace platform::ui
