#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/TextField.h"
#include "ui/toolkit/BaseViewController.h"
#include "ui/toolkit/KAVKeyboardControls.h"

// An order screen with fields to type into: the delegate of its fields and
// of their keyboard bar. Editing a field, or stepping to another with the
// bar's arrows, lifts the view so that the field stands above the keyboard
// bar; Done ends the editing and puts the view back.
class OrderFieldsScreen : public BaseViewController,
                          public platform::ui::UITextFieldDelegate,
                          public KAVKeyboardControlsDelegate {
  public:
    void textFieldDidBeginEditing(platform::ui::UITextField* textField) override;
    void keyboardControls(KAVKeyboardControls* controls, platform::ui::UIView* field,
                          int32_t direction) override;
    void keyboardControlsDonePressed(KAVKeyboardControls* controls) override;

  protected:
    // The caption as the dealer names it.
    std::string label(const std::string& caption) const;

    // The bar over the screen's fields, made with them.
    std::shared_ptr<KAVKeyboardControls> keyboardControls_;
};
