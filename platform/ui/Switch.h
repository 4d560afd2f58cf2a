#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <optional>
#include <string>

#include "platform/ui/Control.h"
#include "platform/ui/Touch.h"

namespace platform::ui {

// On/off switch (51 x 31). A tap flips it and sends value-changed; setOn in
// code sends nothing.
class UISwitch : public UIControl {
  public:
    explicit UISwitch(const CGRect& frame = CGRectZero);
    bool isOn() const { return on_; }
    void setOn(bool on, bool animated = false);
    std::optional<UIColor> onTintColor;
    std::optional<UIColor> thumbTintColor;
    void endTrackingWithTouch(UITouch* touch, UIEvent* event) override;
    CGSize sizeThatFits(CGSize) const override { return {51, 31}; }
    void drawRect(CGRect rect) override;

  private:
    bool on_ = false;
};

}  // namespace platform::ui
