#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <memory>
#include <vector>

#include "platform/ui/Geometry.h"

namespace platform::ui {

class UIView;
class UIWindow;
class UIGestureRecognizer;

enum class UITouchPhase { Began, Moved, Stationary, Ended, Cancelled };

// One finger on the screen, from touch-down to lift. Locations are kept in
// window coordinates and converted on request.
class UITouch {
  public:
    UITouchPhase phase = UITouchPhase::Began;
    long tapCount = 1;
    double timestamp = 0;

    // The view the touch began in (null once it is gone) and its window.
    UIView* view() const;
    UIWindow* window() const { return window_; }
    CGPoint locationInView(const UIView* view) const;
    CGPoint previousLocationInView(const UIView* view) const;
    CGPoint locationInWindow() const { return location_; }

    // Internal (event dispatch).
    std::weak_ptr<UIView> view_;
    UIView* rawView_ = nullptr;
    UIWindow* window_ = nullptr;
    CGPoint location_{};
    CGPoint previous_{};
    std::vector<std::weak_ptr<UIGestureRecognizer>> recognizers_;
    // Set when a recognizer took the touch away from its view.
    bool cancelledForView_ = false;
    bool deliveredToView_ = false;
};

using UITouchPtr = std::shared_ptr<UITouch>;
using UITouchSet = std::vector<UITouchPtr>;

}  // namespace platform::ui
