#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include "platform/RunLoop.h"
#include "platform/ui/GestureRecognizer.h"

namespace platform::ui {

// Two fingers: scale is the current distance over the distance when the
// gesture began; velocity in scale per second.
class UIPinchGestureRecognizer : public UIGestureRecognizer {
  public:
    using UIGestureRecognizer::UIGestureRecognizer;
    CGFloat scale = 1;
    CGFloat velocity = 0;

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;

  private:
    double distance() const;
    double startDistance_ = 0;
    double lastTime_ = 0;
};

}  // namespace platform::ui
