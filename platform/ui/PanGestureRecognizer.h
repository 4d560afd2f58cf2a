#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <cstdint>

#include "platform/RunLoop.h"
#include "platform/ui/GestureRecognizer.h"

namespace platform::ui {

// Began once the touches have moved 10 points; translation and velocity
// (points per second, over the last 0.1 s of movement) in any view.
class UIPanGestureRecognizer : public UIGestureRecognizer {
  public:
    using UIGestureRecognizer::UIGestureRecognizer;
    size_t minimumNumberOfTouches = 1;
    size_t maximumNumberOfTouches = SIZE_MAX;

    CGPoint translationInView(const UIView* view) const;
    void setTranslation(CGPoint translation, const UIView* view);
    CGPoint velocityInView(const UIView* view) const;

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;

  private:
    struct Sample {
        double time;
        CGPoint point;
    };
    CGPoint start_{};  // window coordinates
    CGPoint offset_{};
    std::vector<Sample> samples_;
};

}  // namespace platform::ui
