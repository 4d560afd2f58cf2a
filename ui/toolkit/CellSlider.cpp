#include "ui/toolkit/CellSlider.h"

#include "platform/Strings.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVTheme.h"

using namespace platform::ui;

CellSlider::CellSlider(const std::string& title, int Tag, const std::string& Value,
                       int32_t MinValue, int32_t MaxValue)
    : SettingCell(title, Tag, Value), minValue_(MinValue), maxValue_(MaxValue) {
    makeView();
}

void CellSlider::makeView() {
    valueLabel_ = std::make_shared<UILabel>(CGRectMake(0, 0, 60, 20));
    valueLabel_->setTag(kTagValue);
    valueLabel_->setTextColor(kavtheme::primaryText());
    valueLabel_->setTextAlignment(NSTextAlignment::Center);
    valueLabel_->setBackgroundColor(UIColor::clearColor());
    valueLabel_->setText(platform::stringf("%s 秒", Value_.c_str()));
    contentView()->addSubview(valueLabel_);

    slider_ = std::make_shared<UISlider>(CGRectMake(0, 0, bounds().size.width / 2 - 20, 20));
    slider_->setMinimumValue(static_cast<float>(minValue_));
    slider_->setMaximumValue(static_cast<float>(maxValue_));
    // The thumb stands where the stored value is read by the session (a
    // hand-edited " 15" is 15 seconds).
    slider_->setValue(static_cast<float>(sysDB::integerOfText(Value_)));
    slider_->setTintColor(kavtheme::accent());
    slider_->addTarget(weakSelf<CellSlider>(), &CellSlider::onSliderChange,
                       UIControlEventValueChanged);
    contentView()->addSubview(slider_);
    layoutSubviews();
}

void CellSlider::onSliderChange(UIControl*) {
    const double seconds = slider_->value();
    valueLabel_->setText(platform::stringf("%0.0f 秒", seconds));
    Value_ = platform::stringf("%0.0f", seconds);
    report(Value_);
}

void CellSlider::layoutSubviews() {
    SettingCell::layoutSubviews();
    const CGRect b = bounds();
    valueLabel_->setCenter(CGPointMake(CGRectGetMidX(b) - 40, CGRectGetMidY(b)));
    CGRect s = slider_->frame();
    s.size.width = b.size.width / 2 - 20;
    slider_->setFrame(s);
    slider_->setCenter(
        CGPointMake(CGRectGetMidX(b) + (b.size.width - s.size.width - 30) / 2, CGRectGetMidY(b)));
}
