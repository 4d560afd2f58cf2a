#include "ui/toolkit/CellTextField.h"

#include <algorithm>

#include "platform/Log.h"
#include "platform/ui/TableView.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/UIViewAdditions.h"

using namespace platform::ui;

namespace {

void slideTop(const UIViewPtr& view, CGFloat top) {
    std::weak_ptr<UIView> weak = view;
    UIView::animateWithDuration(CellTextField::kSlideDuration, [weak, top] {
        if (auto v = weak.lock()) UIViewAdditions::setTop(*v, top);
    });
}

}  // namespace

CellTextField::CellTextField(const std::string& title, int Tag, const std::string& Value)
    : SettingCell(title, Tag, Value) {
    makeView();
}

void CellTextField::makeView() {
    setAccessoryType(UITableViewCellAccessoryType::None);
    const CGRect b = bounds();
    txtField_ =
        std::make_shared<UIKAVTextField>(CGRectMake(b.size.width / 2, 0, b.size.width / 2, 30), 10);
    txtField_->clearButtonMode = UITextFieldViewMode::WhileEditing;
    txtField_->setTextColor(kavtheme::primaryText());
    txtField_->setBackgroundColor(kavtheme::inputBackground());
    txtField_->layer().setCornerRadius(5);
    txtField_->setTextAlignment(NSTextAlignment::Left);
    txtField_->setText(Value_);
    txtField_->delegate = weakSelf<UITextFieldDelegate>();
    txtField_->addTarget(weakSelf<CellTextField>(), &CellTextField::onTextFieldValueChange,
                         UIControlEventEditingChanged);
    contentView()->addSubview(txtField_);
    layoutSubviews();
}

void CellTextField::onTextFieldValueChange(UIControl*) {
    Value_ = txtField_->text();
    if (delegate.expired()) return;
    platform::log("onTextFieldValueChange");
    report(Value_);
}

bool CellTextField::textFieldShouldChangeCharactersInRange(UITextField* field, NSRange,
                                                           const std::string& replacement) {
    if (!field || field->keyboardType != UIKeyboardType::NumberPad) return true;
    return std::all_of(replacement.begin(), replacement.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

bool CellTextField::textFieldShouldReturn(UITextField* field) {
    if (field) field->resignFirstResponder();
    // Only a form the keyboard pushed up goes back. A table is never pushed
    // (see textFieldDidBeginEditing): its top is where its screen put it,
    // below the bars, and sliding it to 0 would hide its rows under them.
    auto above = superview();
    if (above && !dynamic_cast<UITableView*>(above.get()) && above->frame().origin.y != 0)
        slideTop(above, 0);
    return true;
}

void CellTextField::textFieldDidBeginEditing(UITextField* field) {
    auto above = superview();
    UIView* container = field ? field->superviewRaw() : nullptr;
    if (!above || !container) return;
    const CGFloat containerTop = container->frame().origin.y;
    const CGFloat half = above->frame().size.height / 2;
    if (containerTop > half) slideTop(above, half - containerTop - 40);
}

void CellTextField::textFieldDidEndEditing(UITextField*) {}

void CellTextField::layoutSubviews() {
    SettingCell::layoutSubviews();
    const CGRect b = bounds();
    CGRect f = txtField_->frame();
    f.size.width = b.size.width / 2;
    txtField_->setFrame(f);
    txtField_->setCenter(CGPointMake(CGRectGetMidX(b) + f.size.width / 2 - 10, CGRectGetMidY(b)));
}
