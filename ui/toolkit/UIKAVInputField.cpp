#include "ui/toolkit/UIKAVInputField.h"

#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIImageTintColor.h"

using namespace platform::ui;

namespace {

std::shared_ptr<UILabel> makeTitle(const CGRect& frame, const std::string& title,
                                   const UIColor& color, NSTextAlignment alignment) {
    auto label = std::make_shared<UILabel>(frame);
    label->setText(title);
    label->setTextColor(color);
    label->setTextAlignment(alignment);
    label->setBackgroundColor(UIColor::clearColor());
    return label;
}

void setBorder(UIView& view, const UIColor& color) {
    view.layer().setBorderColor(color);
    view.layer().setBorderWidth(1);
}

}  // namespace

UIKAVInputField::UIKAVInputField(const CGRect& frame) : UIView(frame) {}

UIKAVInputField::UIKAVInputField(const CGRect& frame, const std::string& title, int InputStyle,
                                 CGFloat FieldWidth)
    : UIView(frame) {
    if (InputStyle < 0 || InputStyle > 5) return;
    const CGFloat W = frame.size.width;
    const CGFloat H = frame.size.height;
    const CGFloat F = FieldWidth;

    std::shared_ptr<UILabel> label;
    switch (InputStyle) {
        case 0:
            label = makeTitle(CGRectMake(24, 0, W - F - 24, H), title, kavtheme::accent(),
                              NSTextAlignment::Center);
            break;
        case 1:
            label = makeTitle(CGRectMake(0, 0, W - F, H), title, kavtheme::dimText(),
                              NSTextAlignment::Center);
            break;
        case 2:
            label = makeTitle(CGRectMake(0, 0, W - F, H), title, kavtheme::secondaryText(),
                              NSTextAlignment::Center);
            label->setBackgroundColor(kavtheme::accent());
            setBorder(*label, kavtheme::accent());
            break;
        case 3:
            label = makeTitle(CGRectMake(0, 10, W - F, H), title, kavtheme::dimText(),
                              NSTextAlignment::Left);
            break;
        default:  // 4 and 5
            label = makeTitle(CGRectMake(0, 0, 120, 30), title, kavtheme::primaryText(),
                              NSTextAlignment::Left);
            break;
    }
    addSubview(label);
    const CGRect l = label->frame();

    switch (InputStyle) {
        case 0:
            textField_ =
                std::make_shared<UIKAVTextField>(CGRectMake(CGRectGetMaxX(l), 0, F, H), kMargin);
            textField_->setTextColor(kavtheme::secondaryText());
            break;
        case 1:
            textField_ =
                std::make_shared<UIKAVTextField>(CGRectMake(CGRectGetMaxX(l), 0, F, H), kMargin);
            textField_->setTextColor(kavtheme::primaryText());
            setBorder(*textField_, kavtheme::dimText());
            break;
        case 2:
            textField_ =
                std::make_shared<UIKAVTextField>(CGRectMake(CGRectGetMaxX(l), 0, F, H), kMargin);
            textField_->setTextColor(kavtheme::secondaryText());
            setBorder(*textField_, kavtheme::accent());
            break;
        case 3:
            textField_ =
                std::make_shared<UIKAVTextField>(CGRectMake(CGRectGetMaxX(l), 12, F, H), 2);
            textField_->setTextColor(kavtheme::primaryText());
            break;
        default:  // 4 and 5
            textField_ = std::make_shared<UIKAVTextField>(
                CGRectMake(0, CGRectGetMaxY(l) + 2, F, 30), kMargin);
            textField_->setTextColor(kavtheme::dimText());
            setBorder(*textField_, kavtheme::dimText());
            break;
    }
    addSubview(textField_);
    const CGRect f = textField_->frame();

    switch (InputStyle) {
        case 0: {
            auto icon = std::make_shared<UIImageView>(CGRectMake(8, 8, 24, 24));
            icon->setTag(kTagIcon);
            icon->setImage(
                UIImageTintColor::imageWithTintColor(kavtheme::accent(), "setting_icon"));
            addSubview(icon);
            setBorder(*this, kavtheme::accent());
            layer().setCornerRadius(5);
            break;
        }
        case 3: {
            auto underline =
                std::make_shared<UIView>(CGRectMake(CGRectGetMaxX(l) - 10, H - 1, F + 10, 1));
            underline->setBackgroundColor(kavtheme::dimText());
            addSubview(underline);
            break;
        }
        case 4: {
            const CGFloat R = W - F;
            addStepButton(CGRectMake(CGRectGetMaxX(f) - 1, f.origin.y, R / 2 + 1, f.size.height),
                          "-", kTagMinus);
            addStepButton(
                CGRectMake(CGRectGetMaxX(f) + R / 2 - 1, f.origin.y, R / 2, f.size.height), "+",
                kTagPlus);
            break;
        }
        case 5:
            addStepButton(CGRectMake(f.origin.x, CGRectGetMaxY(f) - 1, W / 2 + 1, f.size.height),
                          "-", kTagMinus);
            addStepButton(
                CGRectMake(f.origin.x + W / 2, CGRectGetMaxY(f) - 1, W / 2, f.size.height), "+",
                kTagPlus);
            break;
        default:
            break;
    }
}

UIKAVInputField::~UIKAVInputField() = default;

void UIKAVInputField::addStepButton(const CGRect& frame, const std::string& text, long tag) {
    auto button = limitPriceBtnWithFrame(frame, text, tag);
    std::weak_ptr<UIKAVInputField> weak = weakSelf<UIKAVInputField>();
    auto press = std::make_shared<UILongPressGestureRecognizer>([weak](UIGestureRecognizer& g) {
        if (auto self = weak.lock()) self->btnLong(g);
    });
    press->minimumPressDuration = kLongPressDuration;
    button->addGestureRecognizer(press);
    addSubview(button);
}

void UIKAVInputField::setIcon(UIImagePtr image) {
    if (auto icon = viewWithTag<UIImageView>(kTagIcon)) icon->setImage(std::move(image));
}

std::shared_ptr<UIButton> UIKAVInputField::limitPriceBtnWithFrame(const CGRect& frame,
                                                                  const std::string& Text,
                                                                  long Tag) {
    auto button = std::make_shared<UIButton>(frame);
    button->setBackgroundColor(kavtheme::inputBackground());
    button->setTitle(Text, UIControlStateNormal);
    button->setTitleColor(kavtheme::primaryText(), UIControlStateNormal);
    setBorder(*button, kavtheme::dimText());
    button->setTag(Tag);
    button->addTarget(weakSelf<UIKAVInputField>(), &UIKAVInputField::buttonPressed,
                      UIControlEventTouchUpInside);
    return button;
}

void UIKAVInputField::buttonPressed(UIControl* sender) {
    if (auto d = uiKavInputFielddelegate.lock())
        d->onKAVInputButtonPress(dynamic_cast<UIButton*>(sender));
}

void UIKAVInputField::btnLong(UIGestureRecognizer& recognizer) {
    switch (recognizer.state()) {
        case UIGestureRecognizerState::Began: {
            // The button by its tag among the row's own subviews, so a tag of
            // the row itself cannot shadow it.
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

void UIKAVInputField::startSpeed(double interval, const std::shared_ptr<UIButton>& Sender) {
    speedButton_ = Sender;
    std::weak_ptr<UIKAVInputField> weak = weakSelf<UIKAVInputField>();
    // Assigning over the old handle ends a repetition still running.
    speedTimer_ = platform::Timer::schedule(interval, true, [weak] {
        if (auto self = weak.lock()) self->speedChangePrice();
    });
    speedChangePrice();
}

void UIKAVInputField::speedChangePrice() {
    // The delegate may drop the row while it handles the press.
    auto keep = sharedSelf<UIKAVInputField>();
    auto button = speedButton_.lock();
    if (!button) {
        stopSpeed();
        return;
    }
    buttonPressed(button.get());
}

void UIKAVInputField::stopSpeed() {
    speedTimer_.invalidate();
    speedButton_.reset();
}

void UIKAVInputField::willMoveToWindow(UIWindow* newWindow) {
    UIView::willMoveToWindow(newWindow);
    if (!newWindow) stopSpeed();
}
