#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "ui/toolkit/StepRepeatView.h"
#include "ui/toolkit/UIKAVTextField.h"

// Told of every press of a step button of a UIKAVInputField, one report per
// repetition while a button is held.
class UIKAVInputFieldDelegate {
  public:
    virtual ~UIKAVInputFieldDelegate() = default;
    virtual void onKAVInputButtonPress(platform::ui::UIButton* sender) = 0;
};

// A labelled input row of the login and registration forms, in six styles:
//   0  icon, blue caption and field inside a rounded blue frame
//   1  grey caption, field with a grey border
//   2  caption on a blue ground, field with a blue border
//   3  caption above an underlined field
//   4  caption above a bordered field with "-" and "+" beside it
//   5  as 4, with "-" and "+" under the field
// The step buttons of styles 4 and 5 report each tap; held for 0.8 s they
// repeat every 0.05 s until the finger lifts, the press is cancelled, the
// row leaves its window or is destroyed.
class UIKAVInputField : public StepRepeatView {
  public:
    static constexpr long kTagMinus = 1001;
    static constexpr long kTagPlus = 1002;
    static constexpr long kTagIcon = 1003;
    static constexpr CGFloat kMargin = 10;

    // The six styles above, by their numbers.
    enum class Style : int {
        IconFramed = 0,
        GreyBordered = 1,
        BlueCaption = 2,
        Underlined = 3,
        StepperBeside = 4,
        StepperBelow = 5,
    };
    // The style a number names; none for any other number.
    static std::optional<Style> styleFromNumber(int number);

    // The plain view.
    explicit UIKAVInputField(const CGRect& frame = platform::ui::CGRectZero);
    // The row of the style with the field `FieldWidth` wide.
    UIKAVInputField(const CGRect& frame, const std::string& title, Style InputStyle,
                    CGFloat FieldWidth);
    // The row of the style numbered `InputStyle`; any other number gives the
    // plain view.
    UIKAVInputField(const CGRect& frame, const std::string& title, int InputStyle,
                    CGFloat FieldWidth);
    ~UIKAVInputField() override;

    // The image of the icon of style 0; nothing on rows without one.
    void setIcon(platform::ui::UIImagePtr image);

    // Reports the press to the delegate.
    void buttonPressed(platform::ui::UIControl* sender) override;

    const std::shared_ptr<UIKAVTextField>& textField() const { return textField_; }
    void setTextField(std::shared_ptr<UIKAVTextField> field) { textField_ = std::move(field); }
    std::weak_ptr<UIKAVInputFieldDelegate> uiKavInputFielddelegate;

  private:
    void makeRow(const std::string& title, Style style, CGFloat fieldWidth);

    std::shared_ptr<UIKAVTextField> textField_;
};
