#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Control.h"
#include "platform/ui/Text.h"

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
    std::string debugText() const override { return on_ ? "on" : "off"; }

  private:
    bool on_ = false;
};

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

inline constexpr long UISegmentedControlNoSegment = -1;

// Side-by-side segments with titles. A tap on a segment selects it and sends
// value-changed when the selection changed (always, for a momentary control,
// which then shows no selection). Setting selectedSegmentIndex in code sends
// nothing.
class UISegmentedControl : public UIControl {
  public:
    explicit UISegmentedControl(const std::vector<std::string>& items = {});
    long numberOfSegments() const { return static_cast<long>(titles_.size()); }
    long selectedSegmentIndex() const { return selected_; }
    void setSelectedSegmentIndex(long index);
    bool momentary = false;
    std::string titleForSegmentAtIndex(long i) const;
    void setTitle(const std::string& title, long index);
    void insertSegmentWithTitle(const std::string& title, long index, bool animated = false);
    void removeAllSegments();
    void setEnabled(bool enabled, long segment);
    bool isEnabledForSegmentAtIndex(long segment) const;
    using UIControl::setEnabled;
    // The platform's title text attributes (font and colour) per state.
    void setTitleFont(const UIFont& font, unsigned state = UIControlStateNormal);
    UIFont titleFont(unsigned state) const;
    void endTrackingWithTouch(UITouch* touch, UIEvent* event) override;
    void drawRect(CGRect rect) override;
    std::string debugText() const override;

  private:
    long segmentAt(CGPoint p) const;
    std::vector<std::string> titles_;
    std::vector<bool> enabled_;
    std::map<unsigned, UIFont> fonts_;
    long selected_ = UISegmentedControlNoSegment;
};

enum class UIActivityIndicatorViewStyle { WhiteLarge = 0, White = 1, Gray = 2 };

// A spinner: turns while animating; hidden when stopped (unless told not to).
class UIActivityIndicatorView : public UIView {
  public:
    explicit UIActivityIndicatorView(
        UIActivityIndicatorViewStyle style = UIActivityIndicatorViewStyle::White);
    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle s);
    std::optional<UIColor> color;
    void setColor(std::optional<UIColor> c);
    bool hidesWhenStopped = true;
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }
    CGSize sizeThatFits(CGSize) const override;
    void drawRect(CGRect rect) override;

  private:
    UIActivityIndicatorViewStyle style_;
    bool animating_ = false;
};

}  // namespace platform::ui
