#include "platform/ui/Slider.h"
#include "platform/ui/Touch.h"

#include <algorithm>
#include <cmath>

namespace platform::ui {

namespace {
constexpr double kThumb = 28;
}  // namespace

UISlider::UISlider(const CGRect& frame) : UIControl(frame) {
    setOpaque(false);
}

void UISlider::setValue(float v, bool) {
    v = std::clamp(v, min_, max_);
    if (v == value_) return;
    value_ = v;
    setNeedsDisplay();
}

void UISlider::setMinimumValue(float v) {
    min_ = v;
    if (max_ < min_) max_ = min_;
    setValue(value_);
}

void UISlider::setMaximumValue(float v) {
    max_ = v;
    if (min_ > max_) min_ = max_;
    setValue(value_);
}

float UISlider::valueForPoint(CGPoint p) const {
    const double room = bounds().size.width - kThumb;
    if (room <= 0 || max_ <= min_) return min_;
    const double f = std::clamp((p.x - kThumb / 2) / room, 0.0, 1.0);
    return static_cast<float>(min_ + f * (max_ - min_));
}

void UISlider::track(UITouch* touch) {
    const float v = valueForPoint(touch->locationInView(this));
    if (v == value_) return;
    setValue(v);
    changedWhileTracking_ = true;
    if (continuous) sendActionsForControlEvents(UIControlEventValueChanged);
}

bool UISlider::beginTrackingWithTouch(UITouch* touch, UIEvent*) {
    changedWhileTracking_ = false;
    track(touch);
    return true;
}

bool UISlider::continueTrackingWithTouch(UITouch* touch, UIEvent*) {
    track(touch);
    return true;
}

void UISlider::endTrackingWithTouch(UITouch* touch, UIEvent*) {
    track(touch);
    if (!continuous && changedWhileTracking_)
        sendActionsForControlEvents(UIControlEventValueChanged);
}

void UISlider::drawRect(CGRect) {
    auto* c = UIGraphicsGetCurrentContext();
    if (!c) return;
    const CGRect b = bounds();
    const double cy = b.size.height / 2;
    const double f = max_ > min_ ? (value_ - min_) / (max_ - min_) : 0;
    const double x = kThumb / 2 + f * (b.size.width - kThumb);
    c->setFillColor(minimumTrackTintColor.value_or(tintColor()));
    c->fillPath(UIBezierPath::bezierPathWithRoundedRect(CGRectMake(2, cy - 1, x - 2, 2), 1));
    c->setFillColor(maximumTrackTintColor.value_or(UIColor::grey255(183)));
    c->fillPath(
        UIBezierPath::bezierPathWithRoundedRect(CGRectMake(x, cy - 1, b.size.width - 2 - x, 2), 1));
    c->setShadowWithColor({0, 1}, 2, UIColor::colorWithWhite(0, 0.3));
    c->setFillColor(thumbTintColor.value_or(UIColor::whiteColor()));
    c->fillEllipseInRect(CGRectMake(x - kThumb / 2, cy - kThumb / 2, kThumb, kThumb));
    c->clearShadow();
}

}  // namespace platform::ui
