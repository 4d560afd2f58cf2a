#include "ui/toolkit/CellDetail.h"

#include <algorithm>

#include "ui/toolkit/KAVTheme.h"

using namespace platform::ui;

CellDetail::CellDetail(const std::string& title, int Tag, const std::string& Value)
    : SettingCell(title, Tag, Value) {
    makeView();
}

void CellDetail::makeView() {
    setAccessoryType(UITableViewCellAccessoryType::DisclosureIndicator);
    valueLabel_ = std::make_shared<UILabel>(CGRectMake(0, 0, kValueWidth, kValueHeight));
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
    const CGFloat centreX = CGRectGetMidX(b) + (b.size.width - kValueWidth - 30) / 2 - 40;
    CGRect place = CGRectMake(centreX - kValueWidth / 2, CGRectGetMidY(b) - kValueHeight / 2,
                              kValueWidth, kValueHeight);
    // A long value (a number typed key by key) must not be drawn over the
    // caption: it starts after the caption's text and is cut short at its end.
    const UILabel* title = textLabel();
    const CGFloat titleEnd =
        title->frame().origin.x +
        std::min(title->sizeThatFits(CGSizeZero).width, title->frame().size.width);
    const CGFloat left = std::max(place.origin.x, titleEnd + kGapAfterTitle);
    place.size.width = std::max<CGFloat>(0, CGRectGetMaxX(place) - left);
    place.origin.x = left;
    valueLabel_->setFrame(place);
}
