#include "platform/ui/PinchGestureRecognizer.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/detail/TouchMath.h"

namespace platform::ui {

namespace {
constexpr double kPinchThreshold = 5;
}  // namespace

using detail::centroid;
using detail::isDown;

double UIPinchGestureRecognizer::distance() const {
    std::vector<CGPoint> pts;
    for (auto& t : touches_)
        if (isDown(t)) pts.push_back(t->location_);
    if (pts.size() < 2) return 0;
    return std::hypot(pts[0].x - pts[1].x, pts[0].y - pts[1].y);
}

void UIPinchGestureRecognizer::touchesBegan(const UITouchSet& t, UIEvent* e) {
    UIGestureRecognizer::touchesBegan(t, e);
    if (numberOfTouches() == 2 && state() == UIGestureRecognizerState::Possible) {
        startDistance_ = distance();
        lastTime_ = platform::clock().now();
    }
}

void UIPinchGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent*) {
    if (numberOfTouches() < 2 || startDistance_ <= 0) return;
    const double d = distance();
    const double now = platform::clock().now();
    const double newScale = d / startDistance_;
    if (state() == UIGestureRecognizerState::Possible) {
        if (std::fabs(d - startDistance_) > kPinchThreshold && mayBegin()) {
            velocity = 0;
            scale = newScale;
            lastTime_ = now;
            setState(UIGestureRecognizerState::Began);
        }
    } else if (isActive()) {
        velocity = now > lastTime_ ? (newScale - scale) / (now - lastTime_) : 0;
        scale = newScale;
        lastTime_ = now;
        setState(UIGestureRecognizerState::Changed);
    }
}

void UIPinchGestureRecognizer::touchesEnded(const UITouchSet&, UIEvent*) {
    if (numberOfTouches() >= 2) return;
    setState(isActive() ? UIGestureRecognizerState::Ended : UIGestureRecognizerState::Failed);
}

void UIPinchGestureRecognizer::touchesCancelled(const UITouchSet&, UIEvent*) {
    setState(isActive() ? UIGestureRecognizerState::Cancelled : UIGestureRecognizerState::Failed);
}

void UIPinchGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    scale = 1;
    velocity = 0;
    startDistance_ = 0;
}

}  // namespace platform::ui
