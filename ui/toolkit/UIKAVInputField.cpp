#include "ui/toolkit/UIKAVInputField.h"

#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
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

UIKAVInputField::UIKAVInputField(const CGRect& frame) : StepRepeatView(frame) {}

std::optional<UIKAVInputField::Style> UIKAVInputField::styleFromNumber(int number) {
    if (number < static_cast<int>(Style::IconFramed) ||
        number > static_cast<int>(Style::StepperBelow))
        return std::nullopt;
    return static_cast<Style>(number);
}

UIKAVInputField::UIKAVInputField(const CGRect& frame, const std::string& title, Style InputStyle,
                                 CGFloat FieldWidth)
    : StepRepeatView(frame) {
    makeRow(title, InputStyle, FieldWidth);
}

UIKAVInputField::UIKAVInputField(const CGRect& frame, const std::string& title, int InputStyle,
                                 CGFloat FieldWidth)
    : StepRepeatView(frame) {
    if (const auto style = styleFromNumber(InputStyle)) makeRow(title, *style, FieldWidth);
}

void UIKAVInputField::makeRow(const std::string& title, Style style, CGFloat fieldWidth) {
    const CGFloat W = frame().size.width;
    const CGFloat H = frame().size.height;
    const CGFloat F = fieldWidth;

    std::shared_ptr<UILabel> label;
    switch (style) {
        case Style::IconFramed:
            label = makeTitle(CGRectMake(24, 0, W - F - 24, H), title, kavtheme::accent(),
                              NSTextAlignment::Center);
            break;
        case Style::GreyBordered:
            label = makeTitle(CGRectMake(0, 0, W - F, H), title, kavtheme::dimText(),
                              NSTextAlignment::Center);
            break;
        case Style::BlueCaption:
            label = makeTitle(CGRectMake(0, 0, W - F, H), title, kavtheme::secondaryText(),
                              NSTextAlignment::Center);
            label->setBackgroundColor(kavtheme::accent());
            setBorder(*label, kavtheme::accent());
            break;
        case Style::Underlined:
            label = makeTitle(CGRectMake(0, 10, W - F, H), title, kavtheme::dimText(),
                              NSTextAlignment::Left);
            break;
        case Style::StepperBeside:
        case Style::StepperBelow:
            label = makeTitle(CGRectMake(0, 0, 120, 30), title, kavtheme::primaryText(),
                              NSTextAlignment::Left);
            break;
    }
    addSubview(label);
    const CGRect l = label->frame();

    switch (style) {
        case Style::IconFramed:
            textField_ =
                std::make_shared<UIKAVTextField>(CGRectMake(CGRectGetMaxX(l), 0, F, H), kMargin);
            textField_->setTextColor(kavtheme::secondaryText());
            break;
        case Style::GreyBordered:
            textField_ =
                std::make_shared<UIKAVTextField>(CGRectMake(CGRectGetMaxX(l), 0, F, H), kMargin);
            textField_->setTextColor(kavtheme::primaryText());
            setBorder(*textField_, kavtheme::dimText());
            break;
        case Style::BlueCaption:
            textField_ =
                std::make_shared<UIKAVTextField>(CGRectMake(CGRectGetMaxX(l), 0, F, H), kMargin);
            textField_->setTextColor(kavtheme::secondaryText());
            setBorder(*textField_, kavtheme::accent());
            break;
        case Style::Underlined:
            textField_ =
                std::make_shared<UIKAVTextField>(CGRectMake(CGRectGetMaxX(l), 12, F, H), 2);
            textField_->setTextColor(kavtheme::primaryText());
            break;
        case Style::StepperBeside:
        case Style::StepperBelow:
            textField_ = std::make_shared<UIKAVTextField>(
                CGRectMake(0, CGRectGetMaxY(l) + 2, F, 30), kMargin);
            textField_->setTextColor(kavtheme::dimText());
            setBorder(*textField_, kavtheme::dimText());
            break;
    }
    addSubview(textField_);
    const CGRect f = textField_->frame();

    switch (style) {
        case Style::IconFramed: {
            auto icon = std::make_shared<UIImageView>(CGRectMake(8, 8, 24, 24));
            icon->setTag(kTagIcon);
            icon->setImage(
                UIImageTintColor::imageWithTintColor(kavtheme::accent(), "setting_icon"));
            addSubview(icon);
            setBorder(*this, kavtheme::accent());
            layer().setCornerRadius(5);
            break;
        }
        case Style::Underlined: {
            auto underline =
                std::make_shared<UIView>(CGRectMake(CGRectGetMaxX(l) - 10, H - 1, F + 10, 1));
            underline->setBackgroundColor(kavtheme::dimText());
            addSubview(underline);
            break;
        }
        case Style::StepperBeside: {
            const CGFloat R = W - F;
            addStepButton(CGRectMake(CGRectGetMaxX(f) - 1, f.origin.y, R / 2 + 1, f.size.height),
                          "-", kTagMinus);
            addStepButton(
                CGRectMake(CGRectGetMaxX(f) + R / 2 - 1, f.origin.y, R / 2, f.size.height), "+",
                kTagPlus);
            break;
        }
        case Style::StepperBelow:
            addStepButton(CGRectMake(f.origin.x, CGRectGetMaxY(f) - 1, W / 2 + 1, f.size.height),
                          "-", kTagMinus);
            addStepButton(
                CGRectMake(f.origin.x + W / 2, CGRectGetMaxY(f) - 1, W / 2, f.size.height), "+",
                kTagPlus);
            break;
        case Style::GreyBordered:
        case Style::BlueCaption:
            break;
    }
}

UIKAVInputField::~UIKAVInputField() = default;

void UIKAVInputField::setIcon(UIImagePtr image) {
    if (auto icon = viewWithTag<UIImageView>(kTagIcon)) icon->setImage(std::move(image));
}

void UIKAVInputField::buttonPressed(UIControl* sender) {
    if (auto d = uiKavInputFielddelegate.lock())
        d->onKAVInputButtonPress(dynamic_cast<UIButton*>(sender));
}
