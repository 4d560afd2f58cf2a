#include "ui/toolkit/LabelPrice.h"

#include "ui/services/sysDB.h"

using namespace platform::ui;

LabelPrice::LabelPrice(const CGRect& frame) : UIView(frame) {}

LabelPrice::LabelPrice(const CGRect& frame, double Price, int Decimal, const UIColor& Color)
    : UIView(frame) {
    setPrice(Price, Decimal, Color);
}

void LabelPrice::setPrice(double Price, int Decimal, const UIColor& Color) {
    if (!lblSmall_) {
        lblSmall_ = std::make_shared<UILabel>(CGRectMake(0, 5, 60, 35));
        lblSmall_->setTextAlignment(NSTextAlignment::Right);
        lblSmall_->setFont(UIFont::systemFontOfSize(18));
        lblSmall_->setBackgroundColor(UIColor::clearColor());
        addSubview(lblSmall_);
        lblLarge_ =
            std::make_shared<UILabel>(CGRectMake(CGRectGetMaxX(lblSmall_->frame()), 0, 80, 40));
        lblLarge_->setTextAlignment(NSTextAlignment::Left);
        lblLarge_->setFont(UIFont::systemFontOfSize(28));
        lblLarge_->setBackgroundColor(UIColor::clearColor());
        addSubview(lblLarge_);
    }
    // A quote often leaves a price as it was (the other side moved): the
    // same price in the same decimals is not written again, and the same
    // colour not set again.
    if (!shownColor_ || *shownColor_ != Color) {
        lblSmall_->setTextColor(Color);
        lblLarge_->setTextColor(Color);
        shownColor_ = Color;
    }
    if (shown_ && shown_->first == Price && shown_->second == Decimal) return;
    shown_.emplace(Price, Decimal);
    const std::string text = sysDB::formatPrice(Price, Decimal);
    // The text is digits, a sign and a point (or "nan", "inf"): one byte a
    // character.
    if (text.size() < 2) {
        lblSmall_->setText(std::string());
        lblLarge_->setText(text);
    } else {
        lblSmall_->setText(text.substr(0, text.size() - 2));
        lblLarge_->setText(text.substr(text.size() - 2));
    }
}
