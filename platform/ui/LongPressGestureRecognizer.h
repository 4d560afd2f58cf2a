#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include "platform/RunLoop.h"
#include "platform/ui/GestureRecognizer.h"

namespace platform::ui {

// Began after the finger has stayed down `minimumPressDuration` seconds
// without moving more than `allowableMovement` points; Changed on movement
// after that, Ended on lift.
class UILongPressGestureRecognizer : public UIGestureRecognizer {
  public:
    using UIGestureRecognizer::UIGestureRecognizer;
    double minimumPressDuration = 0.5;
    CGFloat allowableMovement = 10;
    size_t numberOfTouchesRequired = 1;

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;

  private:
    CGPoint start_{};
    platform::Timer timer_;
};

}  // namespace platform::ui
