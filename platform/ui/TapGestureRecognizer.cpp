#include "platform/ui/TapGestureRecognizer.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Control.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/detail/TouchMath.h"

namespace platform::ui {

namespace {
constexpr double kTapSlop = 10;
constexpr double kMultiTapInterval = 0.35;
}  // namespace

using detail::centroid;
using detail::isDown;

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

}  // namespace platform::ui
