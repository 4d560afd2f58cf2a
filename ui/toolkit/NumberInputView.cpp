#include "ui/toolkit/NumberInputView.h"

#include <algorithm>

#include "platform/ui/Button.h"
#include "ui/toolkit/KAStringUtils.h"

using namespace platform::ui;
using platform::Decimal;

namespace {

// The number a text reads as: empty and unreadable texts are 0, so the
// bounds still apply to them.
Decimal readNumber(const std::string& text) {
    auto number = Decimal::parse(text);
    return number && !number->isNaN() ? *number : Decimal();
}

bool isAsciiDigits(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

NumberInputView::NumberInputView(const CGRect& frame, std::optional<Decimal> value,
                                 std::optional<Decimal> increase, std::optional<Decimal> maxValue,
                                 std::optional<Decimal> minValue)
    : UIView(frame) {
    setValue(value.value_or(Decimal()));
    setIncrease(increase.value_or(Decimal::fromInteger(1)));
    setMaxValue(maxValue.value_or(largestValue()));
    setMinValue(minValue.value_or(Decimal()));
    makeView();
}

void NumberInputView::makeView() {
    textField_ = std::make_shared<UITextField>(
        CGRectMake(0, 0, std::max<CGFloat>(0, frame().size.width), 30));
    textField_->setTag(kTagTextField);
    textField_->setText(value_.isZero() ? std::string() : value_.toString());
    textField_->setTextColor(UIColor::whiteColor());
    textField_->setTextAlignment(NSTextAlignment::Center);
    textField_->contentVerticalAlignment = UIControlContentVerticalAlignment::Center;
    textField_->autocapitalizationType = 0;  // none
    textField_->autocorrectionType = 1;      // no
    textField_->clearButtonMode = UITextFieldViewMode::Never;
    textField_->keyboardType = UIKeyboardType::DecimalPad;
    textField_->delegate = weakSelf<UITextFieldDelegate>();
    addSubview(textField_);
}

void NumberInputView::setValue(const Decimal& value) {
    value_ = value;
    if (textField_) textField_->setText(value_.isZero() ? std::string() : value_.toString());
}

void NumberInputView::setIncrease(const Decimal& increase) {
    increase_ = increase;
    for (long tag : {kTagStepDown, kTagStepUp})
        if (auto button = viewWithTag<UIButton>(tag))
            button->setTitle(increase_.toString(), UIControlStateNormal);
    const int places = KAStringUtils::getDecimalDigits(increase_);
    if (KAStringUtils::getDecimalDigits(value_) > places)
        setValue(readNumber(KAStringUtils::notRounding(value_, places)));
}

void NumberInputView::setMaxValue(const Decimal& maxValue) {
    maxValue_ = maxValue == Decimal::fromInteger(-1) ? largestValue() : maxValue;
    if (value_ > maxValue_) setValue(maxValue_);
}

void NumberInputView::setMinValue(const Decimal& minValue) {
    minValue_ = minValue;
    if (value_ < minValue_) setValue(minValue_);
}

void NumberInputView::viewPressed(UIView* sender) {
    if (!sender) return;
    const long tag = sender->tag();
    if (tag != kTagStepDown && tag != kTagStepUp) return;
    // The delegate may drop the view while it hears of the step.
    auto keep = sharedSelf<NumberInputView>();
    // What was typed counts before the step.
    textFieldDidEndEditing(textField_.get());
    if (tag == kTagStepUp) {
        const Decimal next = value_ + increase_;
        if (next <= maxValue_) setValue(next);
    } else {
        const Decimal next = value_ - increase_;
        if (next >= minValue_) setValue(next);
    }
    if (auto d = delegate.lock())
        d->buttonDidPressed(tag == kTagStepUp ? kPressedUp : kPressedDown);
}

bool NumberInputView::textFieldShouldChangeCharactersInRange(UITextField* textField, NSRange,
                                                             const std::string& replacement) {
    if (replacement == ".") {
        const std::string& text = textField ? textField->text() : std::string();
        return !text.empty() && text.find('.') == std::string::npos;
    }
    // Only ASCII digits: digits of other scripts would not read as a number.
    return isAsciiDigits(replacement);
}

void NumberInputView::textFieldDidBeginEditing(UITextField* textField) {
    if (auto d = delegate.lock()) d->textFieldDidBeginEditing(textField);
}

void NumberInputView::textFieldDidEndEditing(UITextField* textField) {
    if (!textField) return;
    const Decimal typed = readNumber(textField->text());
    // Digits too many to hold as a number (a long paste) read as NaN: that
    // is beyond the maximum, not the empty field's 0.
    const auto parsed = Decimal::parse(textField->text());
    const bool beyondRange = parsed && parsed->isNaN();
    const bool negative = !textField->text().empty() && textField->text().front() == '-';
    if (beyondRange ? negative : typed < minValue_)
        textField->setText(minValue_.toString());
    else if (beyondRange || typed > maxValue_)
        textField->setText(maxValue_.toString());

    const int places = KAStringUtils::getDecimalDigits(increase_);
    const Decimal held = readNumber(textField->text());
    if (KAStringUtils::getDecimalDigits(held) > places)
        textField->setText(KAStringUtils::notRounding(held, places));

    setValue(readNumber(textField->text()));
    if (auto d = delegate.lock()) d->textFieldDidEndEditing(textField);
}
