#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <optional>

#include "platform/ui/Control.h"
#include "platform/ui/Touch.h"

namespace platform::ui {

// A value between a minimum and a maximum, chosen by dragging the thumb or
// touching the track; every change while dragging sends value-changed (only
// the last when not continuous). setValue in code sends nothing. The 28-point
// thumb is drawn whole however low the slider is (it may stand out above and
// below the bounds), and a touch on any part of it reaches the slider.
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
    // Unset: the tint (left of the thumb), light grey (right of it), white.
    std::optional<UIColor> minimumTrackTintColor() const { return minimumTrackTint_; }
    void setMinimumTrackTintColor(std::optional<UIColor> c);
    std::optional<UIColor> maximumTrackTintColor() const { return maximumTrackTint_; }
    void setMaximumTrackTintColor(std::optional<UIColor> c);
    std::optional<UIColor> thumbTintColor() const { return thumbTint_; }
    void setThumbTintColor(std::optional<UIColor> c);
    // Where the thumb is, in the slider's coordinates.
    CGRect thumbRect() const;
    // Where a point of the track maps to.
    float valueForPoint(CGPoint p) const;
    bool beginTrackingWithTouch(UITouch* touch, UIEvent* event) override;
    bool continueTrackingWithTouch(UITouch* touch, UIEvent* event) override;
    void endTrackingWithTouch(UITouch* touch, UIEvent* event) override;
    bool pointInside(CGPoint point, UIEvent* event) const override;
    void layoutSubviews() override;
    void drawRect(CGRect rect) override;

  private:
    void track(UITouch* touch);
    void placeThumb();
    float value_ = 0, min_ = 0, max_ = 1;
    std::optional<UIColor> minimumTrackTint_;
    std::optional<UIColor> maximumTrackTint_;
    std::optional<UIColor> thumbTint_;
    // Its own view, so that it is drawn outside the slider's bounds.
    UIViewPtr thumb_;
    bool changedWhileTracking_ = false;
};

}  // namespace platform::ui
