#include "platform/ui/Gesture.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Control.h"
#include "platform/ui/View.h"

namespace platform::ui {

namespace {
constexpr double kTapSlop = 10;
constexpr double kPanThreshold = 10;
constexpr double kPinchThreshold = 5;
constexpr double kVelocityWindow = 0.1;
constexpr double kMultiTapInterval = 0.35;

bool isDown(const UITouchPtr& t) {
    return t->phase != UITouchPhase::Ended && t->phase != UITouchPhase::Cancelled;
}

CGPoint centroid(const UITouchSet& touches, CGPoint fallback) {
    double x = 0, y = 0;
    size_t n = 0;
    for (auto& t : touches) {
        if (!isDown(t) && touches.size() > 1) continue;
        x += t->location_.x;
        y += t->location_.y;
        ++n;
    }
    if (n == 0) {
        for (auto& t : touches)
            x += t->location_.x, y += t->location_.y, ++n;
    }
    return n ? CGPoint{x / n, y / n} : fallback;
}

// A window-space vector expressed in a view's coordinates.
CGPoint vectorInView(CGPoint v, const UIView* view) {
    if (!view) return v;
    CGPoint a = view->convertPointFromView({0, 0}, nullptr);
    CGPoint b = view->convertPointFromView(v, nullptr);
    return {b.x - a.x, b.y - a.y};
}
}  // namespace

UIGestureRecognizer::UIGestureRecognizer(Action action) {
    if (action) actions_.push_back(std::move(action));
}

UIGestureRecognizer::~UIGestureRecognizer() = default;

void UIGestureRecognizer::addTarget(Action action) {
    if (action) actions_.push_back(std::move(action));
}

void UIGestureRecognizer::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    if (!enabled) {
        if (isActive())
            setState(UIGestureRecognizerState::Cancelled);
        else if (state_ == UIGestureRecognizerState::Possible && !touches_.empty())
            setState(UIGestureRecognizerState::Failed);
        enabled_ = false;
        reset();
    } else {
        enabled_ = true;
    }
}

void UIGestureRecognizer::track(const UITouchSet& touches) {
    for (auto& t : touches)
        if (std::find(touches_.begin(), touches_.end(), t) == touches_.end()) touches_.push_back(t);
    lastCentroid_ = centroid(touches_, lastCentroid_);
}

void UIGestureRecognizer::untrack(const UITouch* touch) {
    touches_.erase(
        std::remove_if(touches_.begin(), touches_.end(), [&](auto& t) { return t.get() == touch; }),
        touches_.end());
}

size_t UIGestureRecognizer::numberOfTouches() const {
    return static_cast<size_t>(std::count_if(touches_.begin(), touches_.end(), isDown));
}

CGPoint UIGestureRecognizer::locationInView(const UIView* view) const {
    CGPoint c = touches_.empty() ? lastCentroid_ : centroid(touches_, lastCentroid_);
    return view ? view->convertPointFromView(c, nullptr) : c;
}

CGPoint UIGestureRecognizer::locationOfTouch(size_t index, const UIView* view) const {
    if (index >= touches_.size()) return locationInView(view);
    CGPoint p = touches_[index]->location_;
    return view ? view->convertPointFromView(p, nullptr) : p;
}

bool UIGestureRecognizer::canRecognizeTogether(UIGestureRecognizer* other) {
    if (auto d = delegate.lock();
        d && d->gestureRecognizerShouldRecognizeSimultaneouslyWith(this, other))
        return true;
    if (auto d = other->delegate.lock();
        d && d->gestureRecognizerShouldRecognizeSimultaneouslyWith(other, this))
        return true;
    return false;
}

bool UIGestureRecognizer::mayBegin() {
    if (auto d = delegate.lock(); d && !d->gestureRecognizerShouldBegin(this)) {
        setState(UIGestureRecognizerState::Failed);
        return false;
    }
    for (auto& t : touches_) {
        for (auto& w : t->recognizers_) {
            auto other = w.lock();
            if (!other || other.get() == this) continue;
            if (other->isActive() && !canRecognizeTogether(other.get())) {
                setState(UIGestureRecognizerState::Failed);
                return false;
            }
        }
    }
    return true;
}

void UIGestureRecognizer::setState(UIGestureRecognizerState s) {
    if (s == state_ && s != UIGestureRecognizerState::Changed) return;
    auto keep = weak_from_this().lock();
    const auto previous = state_;
    state_ = s;
    if (!touches_.empty()) lastCentroid_ = centroid(touches_, lastCentroid_);
    const bool recognizing =
        s == UIGestureRecognizerState::Began ||
        (s == UIGestureRecognizerState::Ended && previous == UIGestureRecognizerState::Possible);
    if (recognizing) {
        // Recognisers that may not run together with this one fail; the view
        // loses the touches.
        auto touches = touches_;
        for (auto& t : touches) {
            for (auto& w : std::vector<std::weak_ptr<UIGestureRecognizer>>(t->recognizers_)) {
                auto other = w.lock();
                if (!other || other.get() == this) continue;
                if (other->state() == UIGestureRecognizerState::Possible &&
                    !canRecognizeTogether(other.get()))
                    other->setState(UIGestureRecognizerState::Failed);
            }
            if (cancelsTouchesInView && !t->cancelledForView_) {
                t->cancelledForView_ = true;
                if (t->deliveredToView_) {
                    t->deliveredToView_ = false;
                    if (UIView* v = t->view()) v->touchesCancelled({t}, nullptr);
                }
            }
        }
    }
    if (s == UIGestureRecognizerState::Failed || s == UIGestureRecognizerState::Possible) return;
    auto actions = actions_;
    for (auto& a : actions)
        a(*this);
}

void UIGestureRecognizer::touchesBegan(const UITouchSet& t, UIEvent*) {
    track(t);
}
void UIGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent*) {}
void UIGestureRecognizer::touchesEnded(const UITouchSet&, UIEvent*) {}
void UIGestureRecognizer::touchesCancelled(const UITouchSet&, UIEvent*) {
    setState(isActive() ? UIGestureRecognizerState::Cancelled : UIGestureRecognizerState::Failed);
}

void UIGestureRecognizer::reset() {
    if (!touches_.empty()) lastCentroid_ = centroid(touches_, lastCentroid_);
    touches_.clear();
    state_ = UIGestureRecognizerState::Possible;
}

// ---- tap ----------------------------------------------------------------

void UITapGestureRecognizer::touchesBegan(const UITouchSet& t, UIEvent* e) {
    UIGestureRecognizer::touchesBegan(t, e);
    tapTimeout_.invalidate();
    if (static_cast<long>(numberOfTouches()) > numberOfTouchesRequired) {
        setState(UIGestureRecognizerState::Failed);
        return;
    }
    start_ = centroid(touches_, start_);
}

void UITapGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent*) {
    CGPoint c = centroid(touches_, start_);
    if (std::hypot(c.x - start_.x, c.y - start_.y) > kTapSlop)
        setState(UIGestureRecognizerState::Failed);
}

void UITapGestureRecognizer::touchesEnded(const UITouchSet&, UIEvent*) {
    if (std::any_of(touches_.begin(), touches_.end(), isDown)) return;
    if (static_cast<long>(touches_.size()) < numberOfTouchesRequired) {
        setState(UIGestureRecognizerState::Failed);
        return;
    }
    ++taps_;
    if (taps_ < numberOfTapsRequired) {
        std::weak_ptr<UIGestureRecognizer> weak = weak_from_this();
        tapTimeout_ = platform::Timer::schedule(kMultiTapInterval, false, [weak] {
            auto self = weak.lock();
            if (!self || self->state() != UIGestureRecognizerState::Possible) return;
            self->setState(UIGestureRecognizerState::Failed);
            self->reset();
        });
        return;
    }
    // A tap on a control inside the view belongs to the control.
    for (auto& t : touches_) {
        auto* control = dynamic_cast<UIControl*>(t->view());
        if (control && control != view() && control->isEnabled() &&
            control->isDescendantOfView(view())) {
            setState(UIGestureRecognizerState::Failed);
            return;
        }
    }
    if (mayBegin()) setState(UIGestureRecognizerState::Recognized);
}

void UITapGestureRecognizer::touchesCancelled(const UITouchSet&, UIEvent*) {
    setState(UIGestureRecognizerState::Failed);
}

void UITapGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    taps_ = 0;
    tapTimeout_.invalidate();
}

// ---- pan ----------------------------------------------------------------

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

void UIPanGestureRecognizer::touchesEnded(const UITouchSet&, UIEvent*) {
    if (std::any_of(touches_.begin(), touches_.end(), isDown)) {
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

// ---- pinch --------------------------------------------------------------

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

// ---- long press ---------------------------------------------------------

void UILongPressGestureRecognizer::touchesBegan(const UITouchSet& t, UIEvent* e) {
    UIGestureRecognizer::touchesBegan(t, e);
    if (state() != UIGestureRecognizerState::Possible) return;
    if (numberOfTouches() > numberOfTouchesRequired) {
        timer_.invalidate();
        setState(UIGestureRecognizerState::Failed);
        return;
    }
    if (numberOfTouches() == numberOfTouchesRequired) {
        start_ = centroid(touches_, start_);
        std::weak_ptr<UIGestureRecognizer> weak = weak_from_this();
        timer_ = platform::Timer::schedule(minimumPressDuration, false, [weak] {
            auto self = weak.lock();
            if (!self || self->state() != UIGestureRecognizerState::Possible || !self->isEnabled())
                return;
            auto* press = static_cast<UILongPressGestureRecognizer*>(self.get());
            if (press->mayBegin()) press->setState(UIGestureRecognizerState::Began);
        });
    }
}

void UILongPressGestureRecognizer::touchesMoved(const UITouchSet&, UIEvent*) {
    CGPoint c = centroid(touches_, start_);
    if (state() == UIGestureRecognizerState::Possible) {
        if (std::hypot(c.x - start_.x, c.y - start_.y) > allowableMovement) {
            timer_.invalidate();
            setState(UIGestureRecognizerState::Failed);
        }
    } else if (isActive()) {
        setState(UIGestureRecognizerState::Changed);
    }
}

void UILongPressGestureRecognizer::touchesEnded(const UITouchSet&, UIEvent*) {
    timer_.invalidate();
    setState(isActive() ? UIGestureRecognizerState::Ended : UIGestureRecognizerState::Failed);
}

void UILongPressGestureRecognizer::touchesCancelled(const UITouchSet&, UIEvent*) {
    timer_.invalidate();
    setState(isActive() ? UIGestureRecognizerState::Cancelled : UIGestureRecognizerState::Failed);
}

void UILongPressGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    timer_.invalidate();
}

}  // namespace platform::ui
