#pragma once

#include <memory>
#include <string>

#include "platform/RunLoop.h"
#include "platform/ui/Button.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/View.h"

// A view with step buttons a finger may hold: a tap presses its button once;
// held for 0.8 s the button presses at once and then every 0.05 s until the
// finger lifts, the press is cancelled or fails, the view leaves its window
// or is destroyed. What a press does is the derived view's `buttonPressed`.
class StepRepeatView : public platform::ui::UIView {
  public:
    using CGRect = platform::ui::CGRect;
    using CGFloat = platform::ui::CGFloat;

    static constexpr double kLongPressDuration = 0.8;
    static constexpr double kRepeatInterval = 0.05;

    explicit StepRepeatView(const CGRect& frame);
    ~StepRepeatView() override;

    // One press of a step button (also each repetition of a held one).
    virtual void buttonPressed(platform::ui::UIControl* sender) = 0;

    // A step button: dark grey, titled in near white, framed in mid grey,
    // reporting its taps through buttonPressed.
    std::shared_ptr<platform::ui::UIButton> limitPriceBtnWithFrame(const CGRect& frame,
                                                                   const std::string& Text,
                                                                   long Tag);

    // The long press of a step button: Began starts the repetition, its end
    // (ended, cancelled or failed) stops it.
    void btnLong(platform::ui::UIGestureRecognizer& recognizer);
    // Presses `Sender` at once and then every `interval` seconds.
    void startSpeed(double interval, const std::shared_ptr<platform::ui::UIButton>& Sender);
    void speedChangePrice();
    // Ends the repetition; its timer is gone, not merely postponed.
    void stopSpeed();
    bool isRepeating() const { return speedTimer_.isValid(); }

    void willMoveToWindow(platform::ui::UIWindow* newWindow) override;

  protected:
    // Adds a step button that repeats while held.
    void addStepButton(const CGRect& frame, const std::string& text, long tag);

  private:
    platform::Timer speedTimer_;
    // The button the running repetition presses.
    std::weak_ptr<platform::ui::UIButton> speedButton_;
};
