#pragma once

#include <optional>

#include "platform/ui/Control.h"
#include "platform/ui/Touch.h"

namespace platform::ui {

// A value between a minimum and a maximum, chosen by dragging the thumb or
// touching the track; every change while dragging sends value-changed (only
// the last when not continuous). setValue in code sends nothing.
class UISlider : public UIControl {
  public:
    explicit UISlider(const CGRect& frame = CGRectZero);
    float value() const { return value_; }
    void setValue(float v, bool animated = false);
    float minimumValue() const { return min_; }
    void setMinimumValue(float v);
    float maximumValue() const { return max_; }
    void setMaximumValue(float v);
    bool continuous = true;
    std::optional<UIColor> minimumTrackTintColor;
    std::optional<UIColor> maximumTrackTintColor;
    std::optional<UIColor> thumbTintColor;
    // Where a point of the track maps to.
    float valueForPoint(CGPoint p) const;
    bool beginTrackingWithTouch(UITouch* touch, UIEvent* event) override;
    bool continueTrackingWithTouch(UITouch* touch, UIEvent* event) override;
    void endTrackingWithTouch(UITouch* touch, UIEvent* event) override;
    void drawRect(CGRect rect) override;

  private:
    void track(UITouch* touch);
    float value_ = 0, min_ = 0, max_ = 1;
    bool changedWhileTracking_ = false;
};

}  // namespace platform::ui
