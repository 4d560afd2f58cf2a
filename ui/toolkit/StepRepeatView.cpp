#include "ui/toolkit/StepRepeatView.h"

#include "platform/ui/LongPressGestureRecognizer.h"
#include "ui/toolkit/KAVTheme.h"

using namespace platform::ui;

StepRepeatView::StepRepeatView(const CGRect& frame) : UIView(frame) {}

StepRepeatView::~StepRepeatView() = default;

void StepRepeatView::addStepButton(const CGRect& frame, const std::string& text, long tag) {
    auto button = limitPriceBtnWithFrame(frame, text, tag);
    std::weak_ptr<StepRepeatView> weak = weakSelf<StepRepeatView>();
    auto press = std::make_shared<UILongPressGestureRecognizer>([weak](UIGestureRecognizer& g) {
        if (auto self = weak.lock()) self->btnLong(g);
    });
    press->minimumPressDuration = kLongPressDuration;
    button->addGestureRecognizer(press);
    addSubview(button);
}

std::shared_ptr<UIButton> StepRepeatView::limitPriceBtnWithFrame(const CGRect& frame,
                                                                 const std::string& Text,
                                                                 long Tag) {
    auto button = std::make_shared<UIButton>(frame);
    button->setBackgroundColor(kavtheme::inputBackground());
    button->setTitle(Text, UIControlStateNormal);
    button->setTitleColor(kavtheme::primaryText(), UIControlStateNormal);
    button->layer().setBorderColor(kavtheme::dimText());
    button->layer().setBorderWidth(1);
    button->setTag(Tag);
    button->addTarget(weakSelf<StepRepeatView>(), &StepRepeatView::buttonPressed,
                      UIControlEventTouchUpInside);
    return button;
}

void StepRepeatView::btnLong(UIGestureRecognizer& recognizer) {
    switch (recognizer.state()) {
        case UIGestureRecognizerState::Began: {
            // The button by its tag among the view's own subviews, so a tag of
            // the view itself cannot shadow it.
            UIView* pressed = recognizer.view();
            if (!pressed) break;
            for (const auto& sub : subviews()) {
                if (sub->tag() != pressed->tag()) continue;
                if (auto button = std::dynamic_pointer_cast<UIButton>(sub)) {
                    startSpeed(kRepeatInterval, button);
                    break;
                }
            }
            break;
        }
        case UIGestureRecognizerState::Ended:
        case UIGestureRecognizerState::Cancelled:
        case UIGestureRecognizerState::Failed:
            stopSpeed();
            break;
        default:
            break;
    }
}

void StepRepeatView::startSpeed(double interval, const std::shared_ptr<UIButton>& Sender) {
    speedButton_ = Sender;
    std::weak_ptr<StepRepeatView> weak = weakSelf<StepRepeatView>();
    // Assigning over the old handle ends a repetition still running.
    speedTimer_ = platform::Timer::schedule(interval, true, [weak] {
        if (auto self = weak.lock()) self->speedChangePrice();
    });
    speedChangePrice();
}

void StepRepeatView::speedChangePrice() {
    // Whoever hears of the press may drop the view meanwhile.
    auto keep = sharedSelf<StepRepeatView>();
    auto button = speedButton_.lock();
    if (!button) {
        stopSpeed();
        return;
    }
    buttonPressed(button.get());
}

void StepRepeatView::stopSpeed() {
    speedTimer_.invalidate();
    speedButton_.reset();
}

void StepRepeatView::willMoveToWindow(UIWindow* newWindow) {
    UIView::willMoveToWindow(newWindow);
    if (!newWindow) stopSpeed();
}
