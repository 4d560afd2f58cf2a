#include "platform/ui/Slider.h"
#include "platform/ui/Touch.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/detail/Setters.h"

namespace platform::ui {

namespace {
constexpr double kThumb = 28;
}  // namespace

UISlider::UISlider(const CGRect& frame) : UIControl(frame) {
    setOpaque(false);
    thumb_ = std::make_shared<UIView>(CGRectMake(0, 0, kThumb, kThumb));
    thumb_->setUserInteractionEnabled(false);
    thumb_->setBackgroundColor(UIColor::whiteColor());
    CALayer& look = thumb_->layer();
    look.setCornerRadius(kThumb / 2);
    look.setShadowColor(UIColor::blackColor());
    look.setShadowOpacity(0.3);
    look.setShadowOffset({0, 1});
    look.setShadowRadius(2);
    addSubview(thumb_);
    placeThumb();
}

void UISlider::setMinimumTrackTintColor(std::optional<UIColor> c) {
    KAV_SET_AND_REDRAW(minimumTrackTint_, c);
}

void UISlider::setMaximumTrackTintColor(std::optional<UIColor> c) {
    KAV_SET_AND_REDRAW(maximumTrackTint_, c);
}

void UISlider::setThumbTintColor(std::optional<UIColor> c) {
    thumbTint_ = c;
    thumb_->setBackgroundColor(c.value_or(UIColor::whiteColor()));
}

CGRect UISlider::thumbRect() const {
    const CGRect b = bounds();
    const double f = max_ > min_ ? (value_ - min_) / (max_ - min_) : 0;
    const double x = kThumb / 2 + f * (b.size.width - kThumb);
    return CGRectMake(b.origin.x + x - kThumb / 2, b.origin.y + b.size.height / 2 - kThumb / 2,
                      kThumb, kThumb);
}

void UISlider::placeThumb() {
    const CGRect r = thumbRect();
    thumb_->setCenter({CGRectGetMidX(r), CGRectGetMidY(r)});
}

void UISlider::layoutSubviews() {
    placeThumb();
}

bool UISlider::pointInside(CGPoint point, UIEvent* event) const {
    return UIControl::pointInside(point, event) || CGRectContainsPoint(thumbRect(), point);
}

void UISlider::setValue(float v, bool) {
    v = std::clamp(v, min_, max_);
    if (v == value_) return;
    value_ = v;
    setNeedsDisplay();
    placeThumb();
}

void UISlider::setMinimumValue(float v) {
    min_ = v;
    if (max_ < min_) max_ = min_;
    setValue(value_);
    setNeedsDisplay();
    placeThumb();
}

void UISlider::setMaximumValue(float v) {
    max_ = v;
    if (min_ > max_) min_ = max_;
    setValue(value_);
    setNeedsDisplay();
    placeThumb();
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
    const double x = CGRectGetMidX(thumbRect()) - b.origin.x;
    c->setFillColor(minimumTrackTint_.value_or(tintColor()));
    c->fillPath(UIBezierPath::bezierPathWithRoundedRect(CGRectMake(2, cy - 1, x - 2, 2), 1));
    c->setFillColor(maximumTrackTint_.value_or(UIColor::grey255(183)));
    c->fillPath(
        UIBezierPath::bezierPathWithRoundedRect(CGRectMake(x, cy - 1, b.size.width - 2 - x, 2), 1));
}

}  // namespace platform::ui
