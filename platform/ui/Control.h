#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/Touch.h"
#include "platform/ui/View.h"

namespace platform::ui {

enum UIControlEvents : unsigned {
    UIControlEventTouchDown = 1u << 0,
    UIControlEventTouchDownRepeat = 1u << 1,
    UIControlEventTouchDragInside = 1u << 2,
    UIControlEventTouchDragOutside = 1u << 3,
    UIControlEventTouchDragEnter = 1u << 4,
    UIControlEventTouchDragExit = 1u << 5,
    UIControlEventTouchUpInside = 1u << 6,
    UIControlEventTouchUpOutside = 1u << 7,
    UIControlEventTouchCancel = 1u << 8,
    UIControlEventValueChanged = 1u << 12,
    UIControlEventEditingDidBegin = 1u << 16,
    UIControlEventEditingChanged = 1u << 17,
    UIControlEventEditingDidEnd = 1u << 18,
    UIControlEventEditingDidEndOnExit = 1u << 19,
    UIControlEventAllTouchEvents = 0x00000FFFu,
    UIControlEventAllEditingEvents = 0x000F0000u,
    UIControlEventAllEvents = 0xFFFFFFFFu,
};

// State bits: normal 0, highlighted 1, disabled 2, selected 4.
enum UIControlState : unsigned {
    UIControlStateNormal = 0,
    UIControlStateHighlighted = 1u << 0,
    UIControlStateDisabled = 1u << 1,
    UIControlStateSelected = 1u << 2,
};

enum class UIControlContentHorizontalAlignment { Center, Left, Right, Fill };
enum class UIControlContentVerticalAlignment { Center, Top, Bottom, Fill };

// A view that turns touches into events sent to its targets: touch down,
// down repeat, drag inside/outside, drag enter/exit (the finger leaving or
// re-entering the control's bounds grown by 70 points), up inside/outside and
// cancel. It is highlighted while a finger that began on it stays inside.
// A disabled control takes touches but sends nothing.
class UIControl : public UIView {
  public:
    using Action = std::function<void(UIControl* sender, UIEvent* event)>;

    explicit UIControl(const CGRect& frame = CGRectZero);

    // The platform's target/action: the action runs for each of the events.
    void addTarget(Action action, unsigned controlEvents);
    // Target held weakly: a method of an object that may go away first.
    template <typename T>
    void addTarget(std::weak_ptr<T> target, void (T::*method)(UIControl* sender),
                   unsigned controlEvents) {
        addTarget(
            [target, method](UIControl* sender, UIEvent*) {
                if (auto t = target.lock()) ((*t).*method)(sender);
            },
            controlEvents);
    }
    void removeTargetsForControlEvents(unsigned controlEvents);
    void removeAllTargets() { targets_.clear(); }
    unsigned allControlEvents() const;
    void sendActionsForControlEvents(unsigned controlEvents, UIEvent* event = nullptr);

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    unsigned state() const;
    bool isTracking() const { return tracking_; }
    bool isTouchInside() const { return touchInside_; }

    UIControlContentHorizontalAlignment contentHorizontalAlignment =
        UIControlContentHorizontalAlignment::Center;
    UIControlContentVerticalAlignment contentVerticalAlignment =
        UIControlContentVerticalAlignment::Center;

    // Tracking hooks for subclasses (sliders, switches); return false to stop
    // tracking.
    virtual bool beginTrackingWithTouch(UITouch* touch, UIEvent* event);
    virtual bool continueTrackingWithTouch(UITouch* touch, UIEvent* event);
    virtual void endTrackingWithTouch(UITouch* touch, UIEvent* event);
    virtual void cancelTrackingWithEvent(UIEvent* event);

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

  protected:
    bool pointInsideForTracking(CGPoint p) const;

  private:
    struct Target {
        unsigned events;
        Action action;
    };
    std::vector<Target> targets_;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool tracking_ = false;
    bool touchInside_ = false;
    bool trackingRefused_ = false;
};

}  // namespace platform::ui
