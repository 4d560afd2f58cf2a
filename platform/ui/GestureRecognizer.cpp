#include "platform/ui/GestureRecognizer.h"

#include <algorithm>

#include "platform/ui/Touch.h"
#include "platform/ui/View.h"
#include "platform/ui/detail/TouchMath.h"

namespace platform::ui {

using detail::centroid;
using detail::isDown;

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

}  // namespace platform::ui
