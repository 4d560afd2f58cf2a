#include "platform/ui/PanGestureRecognizer.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/detail/TouchMath.h"

namespace platform::ui {

namespace {
constexpr double kPanThreshold = 10;
constexpr double kVelocityWindow = 0.1;
}  // namespace

using detail::centroid;
using detail::isDown;
using detail::vectorInView;

void UIPanGestureRecognizer::touchesBegan(const UITouchSet& t, UIEvent* e) {
    CGPoint before = centroid(touches_, start_);
    const bool had = !touches_.empty();
    UIGestureRecognizer::touchesBegan(t, e);
    CGPoint after = centroid(touches_, before);
    if (!had) {
        start_ = after;
        samples_ = {{platform::clock().now(), after}};
    } else {
        // Another finger moves the centroid: keep the translation continuous.
        start_.x += after.x - before.x;
        start_.y += after.y - before.y;
    }
    if (numberOfTouches() > maximumNumberOfTouches && state() == UIGestureRecognizerState::Possible)
        setState(UIGestureRecognizerState::Failed);
}

void UIPanGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent*) {
    const double now = platform::clock().now();
    CGPoint c = centroid(touches_, start_);
    samples_.push_back({now, c});
    while (samples_.size() > 2 && now - samples_[1].time > kVelocityWindow)
        samples_.erase(samples_.begin());
    if (state() == UIGestureRecognizerState::Possible) {
        const size_t n = numberOfTouches();
        if (n >= minimumNumberOfTouches && n <= maximumNumberOfTouches &&
            std::hypot(c.x - start_.x, c.y - start_.y) >= kPanThreshold && mayBegin())
            setState(UIGestureRecognizerState::Began);
    } else if (isActive()) {
        setState(UIGestureRecognizerState::Changed);
    }
}

void UIPanGestureRecognizer::touchesEnded(const UITouchSet& ended, UIEvent*) {
    if (std::any_of(touches_.begin(), touches_.end(), isDown)) {
        // A finger lifted while others stay: the centre of the touches moves
        // to theirs, which must not move the pan (as for a finger put down).
        CGPoint before{};
        size_t n = 0;
        for (const auto& t : touches_) {
            if (!isDown(t) && std::find(ended.begin(), ended.end(), t) == ended.end()) continue;
            before.x += t->location_.x;
            before.y += t->location_.y;
            ++n;
        }
        if (n) {
            const CGPoint after = centroid(touches_, start_);
            const CGPoint shift{after.x - before.x / n, after.y - before.y / n};
            start_.x += shift.x;
            start_.y += shift.y;
            for (auto& sample : samples_) {
                sample.point.x += shift.x;
                sample.point.y += shift.y;
            }
        }
        if (isActive() && numberOfTouches() < minimumNumberOfTouches)
            setState(UIGestureRecognizerState::Ended);
        return;
    }
    const double now = platform::clock().now();
    samples_.push_back({now, lastCentroid_});
    while (samples_.size() > 2 && now - samples_[1].time > kVelocityWindow)
        samples_.erase(samples_.begin());
    setState(isActive() ? UIGestureRecognizerState::Ended : UIGestureRecognizerState::Failed);
}

void UIPanGestureRecognizer::touchesCancelled(const UITouchSet&, UIEvent*) {
    setState(isActive() ? UIGestureRecognizerState::Cancelled : UIGestureRecognizerState::Failed);
}

CGPoint UIPanGestureRecognizer::translationInView(const UIView* view) const {
    CGPoint c = touches_.empty() ? lastCentroid_ : centroid(touches_, lastCentroid_);
    return vectorInView({c.x - start_.x, c.y - start_.y}, view);
}

void UIPanGestureRecognizer::setTranslation(CGPoint t, const UIView* view) {
    CGPoint c = touches_.empty() ? lastCentroid_ : centroid(touches_, lastCentroid_);
    CGPoint w = t;
    if (view) {
        CGPoint a = view->convertPointToView({0, 0}, nullptr);
        CGPoint b = view->convertPointToView(t, nullptr);
        w = {b.x - a.x, b.y - a.y};
    }
    start_ = {c.x - w.x, c.y - w.y};
}

CGPoint UIPanGestureRecognizer::velocityInView(const UIView* view) const {
    if (samples_.size() < 2) return {0, 0};
    const auto& a = samples_.front();
    const auto& b = samples_.back();
    const double dt = b.time - a.time;
    if (dt <= 0) return {0, 0};
    return vectorInView({(b.point.x - a.point.x) / dt, (b.point.y - a.point.y) / dt}, view);
}

void UIPanGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    samples_.clear();
}

}  // namespace platform::ui
