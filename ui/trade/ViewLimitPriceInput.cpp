#include "ui/trade/ViewLimitPriceInput.h"

#include <algorithm>

#include "platform/Decimal.h"
#include "platform/Strings.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/trade/OrderScreenKit.h"

using namespace platform::ui;
using platform::Decimal;

ViewLimitPriceInput::ViewLimitPriceInput(const CGRect& frame, int Decimal, const std::string& Title,
                                         int InputStyle, CGFloat FieldWidth)
    : StepRepeatView(frame), decimal_(std::clamp(Decimal, 0, KAStringUtils::kMaxDecimals)) {
    if (InputStyle < 0 || InputStyle > 2) return;
    const CGFloat W = frame.size.width;
    const CGFloat FW = FieldWidth;

    lblTitle_ = std::make_shared<UILabel>(CGRectMake(0, 0, W, 22));
    lblTitle_->setFont(UIFont::systemFontOfSize(16));
    lblTitle_->setTextAlignment(NSTextAlignment::Left);
    lblTitle_->setTextColor(kavtheme::primaryText());
    lblTitle_->setBackgroundColor(UIColor::clearColor());
    lblTitle_->setText(Title);
    addSubview(lblTitle_);

    textField_ = std::make_shared<UIKAVTextField>(CGRectMake(0, 24, FW, 30), 10);
    textField_->setTextAlignment(NSTextAlignment::Center);
    textField_->keyboardType = UIKeyboardType::DecimalPad;
    textField_->setTextColor(kavtheme::dimText());
    textField_->layer().setBorderColor(kavtheme::dimText());
    textField_->layer().setBorderWidth(1);
    addSubview(textField_);

    const CGFloat side = (W - FW) / 2;
    switch (InputStyle) {
        case 0:
            addStepButton(CGRectMake(FW - 1, 24, side + 1, 30), "-", kTagMinus);
            addStepButton(CGRectMake(FW + side - 1, 24, side, 30), "+", kTagPlus);
            break;
        case 1: {
            CGRect field = textField_->frame();
            field.origin.x = side;
            textField_->setFrame(field);
            addStepButton(CGRectMake(0, 24, side + 1, 30), "-", kTagMinus);
            addStepButton(CGRectMake(FW + side - 1, 24, side, 30), "+", kTagPlus);
            break;
        }
        default:  // 2
            addStepButton(CGRectMake(0, 53, W / 2 + 1, 30), "-", kTagMinus);
            addStepButton(CGRectMake(W / 2, 53, W / 2, 30), "+", kTagPlus);
            break;
    }
}

ViewLimitPriceInput::~ViewLimitPriceInput() = default;

void ViewLimitPriceInput::setDecimal(int Decimal) {
    decimal_ = std::clamp(Decimal, 0, KAStringUtils::kMaxDecimals);
}

std::string ViewLimitPriceInput::formatPrice(double price) const {
    return platform::stringf("%0.*f", decimal_, price);
}

void ViewLimitPriceInput::updateWithPrice(float price, const std::string& Title) {
    orderPrice_ = price;
    if (lblTitle_) lblTitle_->setText(Title + formatPrice(static_cast<double>(price)));
}

void ViewLimitPriceInput::buttonPressed(UIControl* sender) {
    if (!sender || !textField_) return;
    const long tag = sender->tag();
    if (tag != kTagMinus && tag != kTagPlus) return;
    // The delegate may drop the view while it hears of the step.
    auto keep = sharedSelf<ViewLimitPriceInput>();

    // What the field holds, or the reference price when it holds no number.
    std::optional<Decimal> start = orderkit::readNumber(textField_->text());
    if (!start) start = Decimal::parse(formatPrice(static_cast<double>(orderPrice_)));
    if (!start || start->isNaN()) start = Decimal();
    const Decimal point = Decimal::parse("1e-" + std::to_string(decimal_)).value_or(Decimal());
    const Decimal next = tag == kTagPlus ? *start + point : *start - point;
    // Only a price above zero is a price; any lower step changes nothing.
    if (next.isNaN() || next.sign() <= 0) return;

    const std::string text = next.toFixed(decimal_);
    textField_->setText(text);
    if (auto d = limitPriceChangeDelegate.lock())
        d->limitPriceChange(static_cast<float>(Decimal::parse(text).value_or(next).toDouble()));
}
