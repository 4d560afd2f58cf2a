#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <map>
#include <string>
#include <vector>

#include "platform/ui/Control.h"
#include "platform/ui/Text.h"
#include "platform/ui/Touch.h"

namespace platform::ui {

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
    // Where the segment lies in the bounds (the segments share the width
    // evenly); empty for no such segment.
    CGRect rectForSegmentAtIndex(long i) const;
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

}  // namespace platform::ui
