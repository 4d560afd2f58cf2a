#include "ui/toolkit/CellSwitch.h"

#include "ui/toolkit/KAVTheme.h"

using namespace platform::ui;

CellSwitch::CellSwitch(const std::string& title, int Tag, const std::string& Value)
    : SettingCell(title, Tag, Value) {
    makeView();
}

void CellSwitch::makeView() {
    switch_ = std::make_shared<UISwitch>();
    switch_->sizeToFit();
    switch_->setTintColor(kavtheme::accent());
    switch_->onTintColor = kavtheme::accent();
    switch_->thumbTintColor = kavtheme::primaryText();
    switch_->layer().setCornerRadius(8);
    switch_->setOn(Value_ == "1");
    switch_->addTarget(weakSelf<CellSwitch>(), &CellSwitch::onSwitchChange,
                       UIControlEventValueChanged);
    contentView()->addSubview(switch_);
    layoutSubviews();
}

void CellSwitch::onSwitchChange(UIControl*) {
    // Built as a string first: GCC 12 misreads assigning one of two literals (-Wrestrict).
    Value_ = std::string(switch_->isOn() ? "1" : "0");
    report(Value_);
}

void CellSwitch::layoutSubviews() {
    SettingCell::layoutSubviews();
    const CGRect b = bounds();
    const CGFloat width = switch_->frame().size.width;
    switch_->setCenter(
        CGPointMake(CGRectGetMidX(b) + (b.size.width - width - 30) / 2, CGRectGetMidY(b)));
}
