#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/Decimal.h"
#include "platform/ui/TextField.h"
#include "platform/ui/View.h"

// What a NumberInputView tells the screen around it. The view calls every
// one of them, so a delegate implements all three.
class NumberInputViewDelegate {
  public:
    virtual ~NumberInputViewDelegate() = default;
    virtual void textFieldDidBeginEditing(platform::ui::UITextField* textField) = 0;
    // Editing ended and the text was taken in as the value.
    virtual void textFieldDidEndEditing(platform::ui::UITextField* textField) = 0;
    // A step was asked for (0 up, 1 down), whether or not it was applied.
    virtual void buttonDidPressed(int down) = 0;
};

// A decimal number field of the order screens (quantity, price deviation):
// the value stays between a minimum and a maximum and keeps at most the
// decimals of its step. Only digits and one point can be typed; what was
// typed is read when editing ends (empty or unreadable text counts as 0),
// held to the bounds and rounded to the step's decimals. The screen puts its
// step buttons into the view with the tags 2000 (down) and 2001 (up) and
// sends their taps to viewPressed.
class NumberInputView : public platform::ui::UIView, public platform::ui::UITextFieldDelegate {
  public:
    using Decimal = platform::Decimal;

    static constexpr long kTagTextField = 1000;
    static constexpr long kTagStepDown = 2000;
    static constexpr long kTagStepUp = 2001;
    static constexpr int kPressedUp = 0;
    static constexpr int kPressedDown = 1;
    // A maximum of -1 stands for this one.
    static Decimal largestValue() { return Decimal::fromInteger(9999999); }

    // Each number may be left out: value 0, step 1, maximum 9999999, minimum 0.
    explicit NumberInputView(const platform::ui::CGRect& frame,
                             std::optional<Decimal> value = std::nullopt,
                             std::optional<Decimal> increase = std::nullopt,
                             std::optional<Decimal> maxValue = std::nullopt,
                             std::optional<Decimal> minValue = std::nullopt);

    // A step down (tag 2000) or up (tag 2001); other senders do nothing.
    void viewPressed(platform::ui::UIView* sender);

    const Decimal& value() const { return value_; }
    // Stores and shows the value (zero shows as the empty text).
    void setValue(const Decimal& value);
    const Decimal& increase() const { return increase_; }
    // The step; titles the step buttons with it and rounds the value to its
    // decimals.
    void setIncrease(const Decimal& increase);
    const Decimal& maxValue() const { return maxValue_; }
    void setMaxValue(const Decimal& maxValue);
    const Decimal& minValue() const { return minValue_; }
    void setMinValue(const Decimal& minValue);

    const std::shared_ptr<platform::ui::UITextField>& textField() const { return textField_; }
    void setTextField(std::shared_ptr<platform::ui::UITextField> field) {
        textField_ = std::move(field);
    }
    std::weak_ptr<NumberInputViewDelegate> delegate;

    // The typing filter: digits, and one point after at least one digit.
    bool textFieldShouldChangeCharactersInRange(platform::ui::UITextField* textField,
                                                platform::ui::NSRange range,
                                                const std::string& replacement) override;
    void textFieldDidBeginEditing(platform::ui::UITextField* textField) override;
    // Takes the text in as the value.
    void textFieldDidEndEditing(platform::ui::UITextField* textField) override;

  private:
    void makeView();

    Decimal value_;
    Decimal increase_ = Decimal::fromInteger(1);
    Decimal maxValue_ = largestValue();
    Decimal minValue_;
    std::shared_ptr<platform::ui::UITextField> textField_;
};
