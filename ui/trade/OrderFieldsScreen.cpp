#include "ui/trade/OrderFieldsScreen.h"

#include "Core/Model/MODLimitPrice.h"
#include "Core/SDK/KAVBizSDK.h"
#include "ui/services/sysDB.h"
#include "ui/trade/OrderScreenKit.h"
#include "ui/trade/ViewLimitPriceInput.h"

using namespace platform::ui;

std::string OrderFieldsScreen::label(const std::string& caption) const {
    return sysdb() ? sysdb()->getLabelWithKey(caption, caption) : caption;
}

std::shared_ptr<ViewLimitPriceInput> OrderFieldsScreen::makePriceInput(const CGRect& frame,
                                                                       const MODSymbolInfo* symbol,
                                                                       const std::string& title,
                                                                       long tag, int style,
                                                                       CGFloat fieldWidth) {
    auto input = std::make_shared<ViewLimitPriceInput>(frame, symbol ? symbol->decimal : 0, title,
                                                       style, fieldWidth);
    input->setTag(tag);
    input->setOrderPrice(symbol ? static_cast<float>(symbol->ask) : 0.0f);
    auto& field = input->textField();
    field->delegate = weakSelf<UITextFieldDelegate>();
    field->clearButtonMode = UITextFieldViewMode::Never;
    field->autocorrectionType = 1;  // no
    field->keyboardType = UIKeyboardType::DecimalPad;
    return input;
}

void OrderFieldsScreen::showLimitBounds(const std::string& symbolCode, float price,
                                        const std::string& bsCode, ViewLimitPriceInput* stopLose,
                                        ViewLimitPriceInput* takeProfit) {
    if (!bizSDK()) return;
    const auto bounds = bizSDK()->getLimitWithSymbolCode(symbolCode, price, bsCode);
    if (!bounds) return;
    if (stopLose) stopLose->updateWithPrice(bounds->stopLose, "止损价 " + bounds->slStr + " ");
    if (takeProfit)
        takeProfit->updateWithPrice(bounds->takeProfit, "止盈价 " + bounds->tpStr + " ");
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
