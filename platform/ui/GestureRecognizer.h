#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/Event.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Touch.h"

namespace platform::ui {

class UIView;
class UIGestureRecognizer;

enum class UIGestureRecognizerState {
    Possible,
    Began,
    Changed,
    Ended,
    Cancelled,
    Failed,
    Recognized = Ended,
};

// Every method is optional; the defaults are the platform's.
class UIGestureRecognizerDelegate {
  public:
    virtual ~UIGestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(UIGestureRecognizer* recognizer) {
        (void)recognizer;
        return true;
    }
    virtual bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer* recognizer,
                                                     UITouch* touch) {
        (void)recognizer, (void)touch;
        return true;
    }
    virtual bool gestureRecognizerShouldRecognizeSimultaneouslyWith(UIGestureRecognizer* recognizer,
                                                                    UIGestureRecognizer* other) {
        (void)recognizer, (void)other;
        return false;
    }
};

// Turns touch sequences on a view (and its subviews) into a gesture. The
// recognisers of the touched view and of its ancestors see every touch before
// the view; once one recognises, recognisers that may not run together with
// it fail, and (with cancelsTouchesInView) the view gets touchesCancelled.
// Timing (the long press) runs on the main run loop's clock.
class UIGestureRecognizer : public std::enable_shared_from_this<UIGestureRecognizer> {
  public:
    using Action = std::function<void(UIGestureRecognizer& recognizer)>;

    explicit UIGestureRecognizer(Action action = nullptr);
    virtual ~UIGestureRecognizer();
    UIGestureRecognizer(const UIGestureRecognizer&) = delete;
    UIGestureRecognizer& operator=(const UIGestureRecognizer&) = delete;

    void addTarget(Action action);
    void removeAllTargets() { actions_.clear(); }

    UIGestureRecognizerState state() const { return state_; }
    bool isEnabled() const { return enabled_; }
    // Disabling cancels a gesture in progress (a possible one fails).
    void setEnabled(bool enabled);
    bool cancelsTouchesInView = true;
    bool delaysTouchesBegan = false;
    bool delaysTouchesEnded = false;
    std::weak_ptr<UIGestureRecognizerDelegate> delegate;

    UIView* view() const { return view_; }
    // Centroid of the touches in the view's coordinates (the last location
    // once the touches have ended).
    CGPoint locationInView(const UIView* view) const;
    CGPoint locationOfTouch(size_t index, const UIView* view) const;
    size_t numberOfTouches() const;

    // The recogniser's own rules, driven by the window.
    virtual void touchesBegan(const UITouchSet& touches, UIEvent* event);
    virtual void touchesMoved(const UITouchSet& touches, UIEvent* event);
    virtual void touchesEnded(const UITouchSet& touches, UIEvent* event);
    virtual void touchesCancelled(const UITouchSet& touches, UIEvent* event);
    // Back to Possible, forgetting the touches (after the gesture is over).
    virtual void reset();

    // Internal.
    void setState(UIGestureRecognizerState state);
    void attach(UIView* view) { view_ = view; }
    bool canRecognizeTogether(UIGestureRecognizer* other);
    bool isActive() const {
        return state_ == UIGestureRecognizerState::Began ||
               state_ == UIGestureRecognizerState::Changed;
    }
    bool isFinished() const {
        return state_ == UIGestureRecognizerState::Ended ||
               state_ == UIGestureRecognizerState::Cancelled ||
               state_ == UIGestureRecognizerState::Failed;
    }
    const UITouchSet& trackedTouches() const { return touches_; }
    void untrack(const UITouch* touch);

  protected:
    void track(const UITouchSet& touches);
    // Asks the delegate and the arbitration whether the gesture may begin;
    // fails the recogniser when not. Returns true when it may.
    bool mayBegin();
    UITouchSet touches_;
    CGPoint lastCentroid_{};

  private:
    std::vector<Action> actions_;
    UIGestureRecognizerState state_ = UIGestureRecognizerState::Possible;
    bool enabled_ = true;
    UIView* view_ = nullptr;
};

}  // namespace platform::ui
