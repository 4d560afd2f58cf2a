#include "platform/ui/LongPressGestureRecognizer.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/detail/TouchMath.h"

namespace platform::ui {

using detail::centroid;
using detail::isDown;

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
