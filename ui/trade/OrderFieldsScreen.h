#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/TextField.h"
#include "ui/toolkit/BaseViewController.h"
#include "ui/toolkit/KAVKeyboardControls.h"

class ViewLimitPriceInput;
struct MODSymbolInfo;

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

    // A price input of the symbol (order price, take-profit or stop-loss):
    // the symbol's decimals, steps from its ask while the field holds no
    // number, the field on the decimal pad reporting to this screen.
    std::shared_ptr<ViewLimitPriceInput> makePriceInput(const platform::ui::CGRect& frame,
                                                        const MODSymbolInfo* symbol,
                                                        const std::string& title, long tag,
                                                        int style,
                                                        platform::ui::CGFloat fieldWidth);
    // The bounds a stop-loss and a take-profit of the side must respect at
    // `price`, in the two inputs' titles; nothing when the service has none.
    void showLimitBounds(const std::string& symbolCode, float price, const std::string& bsCode,
                         ViewLimitPriceInput* stopLose, ViewLimitPriceInput* takeProfit);

    // The bar over the screen's fields, made with them.
    std::shared_ptr<KAVKeyboardControls> keyboardControls_;
};
