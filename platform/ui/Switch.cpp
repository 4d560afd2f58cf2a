#include "platform/ui/Switch.h"
#include "platform/ui/Touch.h"

namespace platform::ui {

UISwitch::UISwitch(const CGRect& frame)
    : UIControl(CGRectMake(frame.origin.x, frame.origin.y, 51, 31)) {
    setOpaque(false);
}

void UISwitch::setOn(bool on, bool) {
    if (on == on_) return;
    on_ = on;
    setNeedsDisplay();
}

void UISwitch::endTrackingWithTouch(UITouch* touch, UIEvent* event) {
    if (!CGRectContainsPoint(CGRectInset(bounds(), -20, -20), touch->locationInView(this))) return;
    setOn(!on_, true);
    sendActionsForControlEvents(UIControlEventValueChanged, event);
}

void UISwitch::drawRect(CGRect) {
    auto* c = UIGraphicsGetCurrentContext();
    if (!c) return;
    const CGRect b = CGRectMake(0.5, 0.5, 50, 30);
    auto track = UIBezierPath::bezierPathWithRoundedRect(b, 15);
    c->setFillColor(on_ ? onTintColor.value_or(UIColor::rgb255(76, 217, 100))
                        : UIColor::whiteColor());
    c->fillPath(track);
    c->setStrokeColor(on_ ? onTintColor.value_or(UIColor::rgb255(76, 217, 100))
                          : tintColor().colorWithAlphaComponent(0.4));
    c->strokePath(track);
    const double x = on_ ? 21 : 1;
    c->setShadowWithColor({0, 1}, 2, UIColor::colorWithWhite(0, 0.3));
    c->setFillColor(thumbTintColor.value_or(UIColor::whiteColor()));
    c->fillEllipseInRect(CGRectMake(x, 1, 29, 29));
    c->clearShadow();
    if (!isEnabled()) {
        c->setFillColor(UIColor::colorWithWhite(1, 0.5));
        c->fillPath(track);
    }
}

}  // namespace platform::ui
