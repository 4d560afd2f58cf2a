#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include "platform/RunLoop.h"
#include "platform/ui/GestureRecognizer.h"

namespace platform::ui {

// Recognised when the required number of taps ends without the finger moving
// more than 10 points. A tap that begins on a control (button, switch...)
// inside the recogniser's view is left to the control.
class UITapGestureRecognizer : public UIGestureRecognizer {
  public:
    using UIGestureRecognizer::UIGestureRecognizer;
    long numberOfTapsRequired = 1;
    long numberOfTouchesRequired = 1;

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;

  private:
    CGPoint start_{};
    long taps_ = 0;
    platform::Timer tapTimeout_;
};

}  // namespace platform::ui
