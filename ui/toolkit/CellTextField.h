#pragma once

#include "ui/toolkit/SettingCell.h"
#include "ui/toolkit/UIKAVTextField.h"

// A setting of free text in a dark rounded field; each keystroke reports the
// whole text.
class CellTextField : public SettingCell, public platform::ui::UITextFieldDelegate {
  public:
    static constexpr double kSlideDuration = 0.3;

    CellTextField(const std::string& title, int Tag, const std::string& Value);

    const std::shared_ptr<UIKAVTextField>& txtField() const { return txtField_; }
    void setTxtField(std::shared_ptr<UIKAVTextField> field) { txtField_ = std::move(field); }

    void onTextFieldValueChange(platform::ui::UIControl* sender);

    // A field on the number pad takes digits only, whatever else is typed
    // or pasted: a setting edited there is a number.
    bool textFieldShouldChangeCharactersInRange(platform::ui::UITextField* field,
                                                platform::ui::NSRange range,
                                                const std::string& replacement) override;
    // Return closes the keyboard and slides a moved superview back.
    bool textFieldShouldReturn(platform::ui::UITextField* field) override;
    // Outside a table, a field low on its screen slides the screen up.
    void textFieldDidBeginEditing(platform::ui::UITextField* field) override;
    void textFieldDidEndEditing(platform::ui::UITextField* field) override;

    void layoutSubviews() override;

  private:
    void makeView();
    std::shared_ptr<UIKAVTextField> txtField_;
};
