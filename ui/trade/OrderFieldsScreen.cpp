#include "ui/trade/OrderFieldsScreen.h"

#include "ui/services/sysDB.h"
#include "ui/trade/OrderScreenKit.h"

using namespace platform::ui;

std::string OrderFieldsScreen::label(const std::string& caption) const {
    return sysdb() ? sysdb()->getLabelWithKey(caption, caption) : caption;
}

void OrderFieldsScreen::textFieldDidBeginEditing(UITextField* textField) {
    if (keyboardControls_) keyboardControls_->setActiveField(textField);
    orderkit::shiftViewForField(view(), textField);
}

void OrderFieldsScreen::keyboardControls(KAVKeyboardControls*, UIView* field, int32_t) {
    orderkit::shiftViewForField(view(), field);
}

void OrderFieldsScreen::keyboardControlsDonePressed(KAVKeyboardControls*) {
    view()->endEditing(true);
    orderkit::unshiftView(view());
}
