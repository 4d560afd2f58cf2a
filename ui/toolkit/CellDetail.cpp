#include "ui/toolkit/CellDetail.h"

#include "ui/toolkit/KAVTheme.h"

using namespace platform::ui;

CellDetail::CellDetail(const std::string& title, int Tag, const std::string& Value)
    : SettingCell(title, Tag, Value) {
    makeView();
}

void CellDetail::makeView() {
    setAccessoryType(UITableViewCellAccessoryType::DisclosureIndicator);
    valueLabel_ = std::make_shared<UILabel>(CGRectMake(0, 0, kValueWidth, 20));
    valueLabel_->setTag(kTagValue);
    valueLabel_->setTextColor(kavtheme::primaryText());
    valueLabel_->setTextAlignment(NSTextAlignment::Right);
    valueLabel_->setBackgroundColor(UIColor::clearColor());
    valueLabel_->setText(Value_);
    contentView()->addSubview(valueLabel_);
    layoutSubviews();
}

void CellDetail::setValue(const std::string& text) {
    Value_ = text;
    valueLabel_->setText(text);
}

void CellDetail::layoutSubviews() {
    SettingCell::layoutSubviews();
    // Right of the middle, clear of the arrow.
    const CGRect b = bounds();
    valueLabel_->setCenter(CGPointMake(
        CGRectGetMidX(b) + (b.size.width - kValueWidth - 30) / 2 - 40, CGRectGetMidY(b)));
}
