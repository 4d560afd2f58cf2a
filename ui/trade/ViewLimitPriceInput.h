#pragma once

#include <memory>
#include <string>

#include "platform/ui/Label.h"
#include "ui/toolkit/StepRepeatView.h"
#include "ui/toolkit/UIKAVTextField.h"
#include "ui/trade/LimitPriceChangeDelegate.h"

// A titled price field of the pending-order and ticket screens with "-" and
// "+" buttons that step the price by one point of the symbol (10 to the
// minus its decimals). A step from an empty field (or one that holds no
// number) starts from the reference price `orderPrice`; a step that would
// reach 0 or less is refused and changes nothing. Held for 0.8 s a button
// repeats its step at once and then every 0.05 s until the finger lifts, the
// press is cancelled or the view leaves its window. Each step taken is told
// to the delegate.
//
// Styles: 0 the buttons right of the field, 1 the field centred between
// them, 2 the buttons under the field (the stacked inputs of the ticket
// screen); any other style builds nothing.
class ViewLimitPriceInput : public StepRepeatView {
  public:
    static constexpr long kTagMinus = 1005;
    static constexpr long kTagPlus = 1006;

    ViewLimitPriceInput(const CGRect& frame, int Decimal, const std::string& Title, int InputStyle,
                        CGFloat FieldWidth);
    ~ViewLimitPriceInput() override;

    // The reference price and the title, which shows it after the text
    // ("止损价 < " and the price with the symbol's decimals).
    void updateWithPrice(float price, const std::string& Title);

    // One step of the "-" (1005) or "+" (1006) button; other senders do nothing.
    void buttonPressed(platform::ui::UIControl* sender) override;

    const std::shared_ptr<UIKAVTextField>& textField() const { return textField_; }
    void setTextField(std::shared_ptr<UIKAVTextField> field) { textField_ = std::move(field); }
    platform::ui::UILabel* titleLabel() const { return lblTitle_.get(); }
    float orderPrice() const { return orderPrice_; }
    void setOrderPrice(float price) { orderPrice_ = price; }
    int decimal() const { return decimal_; }
    // The decimals of another symbol, for the steps and prices from now on.
    void setDecimal(int Decimal);
    // The price written with the symbol's decimals.
    std::string formatPrice(double price) const;

    std::weak_ptr<LimitPriceChangeDelegate> limitPriceChangeDelegate;

  private:
    std::shared_ptr<platform::ui::UILabel> lblTitle_;
    int decimal_ = 0;
    std::shared_ptr<UIKAVTextField> textField_;
    float orderPrice_ = 0;
};
