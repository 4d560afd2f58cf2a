#include "platform/ui/Control.h"
#include "platform/ui/Touch.h"

namespace platform::ui {

namespace {
// How far a finger may leave a control and still count as inside.
constexpr double kTrackingSlop = 70;
}  // namespace

UIControl::UIControl(const CGRect& frame) : UIView(frame) {}

void UIControl::addTarget(Action action, unsigned events) {
    if (action && events) targets_.push_back({events, std::move(action)});
}

void UIControl::removeTargetsForControlEvents(unsigned events) {
    for (auto& t : targets_)
        t.events &= ~events;
    std::erase_if(targets_, [](const Target& t) { return t.events == 0; });
}

unsigned UIControl::allControlEvents() const {
    unsigned all = 0;
    for (auto& t : targets_)
        all |= t.events;
    return all;
}

void UIControl::sendActionsForControlEvents(unsigned events, UIEvent* event) {
    auto keep = sharedSelf<UIControl>();
    // Each event in the platform's order; an action may add or remove targets.
    for (unsigned bit = 0; bit < 32; ++bit) {
        const unsigned e = 1u << bit;
        if (!(events & e)) continue;
        auto targets = targets_;
        for (auto& t : targets)
            if (t.events & e) t.action(this, event);
    }
}

void UIControl::setEnabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    if (!e) highlighted_ = false;
    setNeedsDisplay();
    setNeedsLayout();
}

void UIControl::setSelected(bool s) {
    if (selected_ == s) return;
    selected_ = s;
    setNeedsDisplay();
    setNeedsLayout();
}

void UIControl::setHighlighted(bool h) {
    if (highlighted_ == h) return;
    highlighted_ = h;
    setNeedsDisplay();
    setNeedsLayout();
}

unsigned UIControl::state() const {
    unsigned s = UIControlStateNormal;
    if (highlighted_) s |= UIControlStateHighlighted;
    if (!enabled_) s |= UIControlStateDisabled;
    if (selected_) s |= UIControlStateSelected;
    return s;
}

bool UIControl::beginTrackingWithTouch(UITouch*, UIEvent*) {
    return true;
}
bool UIControl::continueTrackingWithTouch(UITouch*, UIEvent*) {
    return true;
}
void UIControl::endTrackingWithTouch(UITouch*, UIEvent*) {}
void UIControl::cancelTrackingWithEvent(UIEvent*) {}

bool UIControl::pointInsideForTracking(CGPoint p) const {
    return CGRectContainsPoint(CGRectInset(bounds(), -kTrackingSlop, -kTrackingSlop), p);
}

void UIControl::touchesBegan(const UITouchSet& touches, UIEvent* event) {
    if (!enabled_ || touches.empty()) return;
    auto keep = sharedSelf<UIControl>();
    UITouch* t = touches.front().get();
    tracking_ = true;
    touchInside_ = true;
    trackingRefused_ = false;
    setHighlighted(true);
    unsigned events = UIControlEventTouchDown;
    if (t->tapCount > 1) events |= UIControlEventTouchDownRepeat;
    if (!beginTrackingWithTouch(t, event)) trackingRefused_ = true;
    sendActionsForControlEvents(events, event);
}

void UIControl::touchesMoved(const UITouchSet& touches, UIEvent* event) {
    if (!enabled_ || !tracking_ || touches.empty()) return;
    auto keep = sharedSelf<UIControl>();
    UITouch* t = touches.front().get();
    const bool inside = pointInsideForTracking(t->locationInView(this));
    if (!trackingRefused_ && !continueTrackingWithTouch(t, event)) trackingRefused_ = true;
    unsigned events = 0;
    if (inside != touchInside_)
        events |= inside ? UIControlEventTouchDragEnter : UIControlEventTouchDragExit;
    touchInside_ = inside;
    setHighlighted(inside);
    events |= inside ? UIControlEventTouchDragInside : UIControlEventTouchDragOutside;
    sendActionsForControlEvents(events, event);
}

void UIControl::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    if (!tracking_ || touches.empty()) return;
    auto keep = sharedSelf<UIControl>();
    UITouch* t = touches.front().get();
    const bool inside = pointInsideForTracking(t->locationInView(this));
    tracking_ = false;
    touchInside_ = inside;
    setHighlighted(false);
    // Turned off under the finger, the control stops tracking as touchesMoved
    // already did: a lift must not flip a switch or pick a segment.
    if (!enabled_) {
        cancelTrackingWithEvent(event);
        return;
    }
    if (!trackingRefused_) endTrackingWithTouch(t, event);
    sendActionsForControlEvents(inside ? UIControlEventTouchUpInside : UIControlEventTouchUpOutside,
                                event);
}

void UIControl::touchesCancelled(const UITouchSet&, UIEvent* event) {
    if (!tracking_) return;
    auto keep = sharedSelf<UIControl>();
    tracking_ = false;
    touchInside_ = false;
    setHighlighted(false);
    cancelTrackingWithEvent(event);
    if (enabled_) sendActionsForControlEvents(UIControlEventTouchCancel, event);
}

}  // namespace platform::ui
