#include "ui/toolkit/LabelPrice.h"

#include "platform/Strings.h"
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
    // same price in the same decimals is not written again.
    if (shown_ && shown_->first == Price && shown_->second == Decimal) {
        lblSmall_->setTextColor(Color);
        lblLarge_->setTextColor(Color);
        return;
    }
    shown_.emplace(Price, Decimal);
    const std::string text = sysDB::formatPrice(Price, Decimal);
    const size_t length = platform::utf8Length(text);
    if (length < 2) {
        lblSmall_->setText("");
        lblLarge_->setText(text);
    } else {
        lblSmall_->setText(platform::utf8Prefix(text, length - 2));
        lblLarge_->setText(platform::utf8Suffix(text, 2));
    }
    lblSmall_->setTextColor(Color);
    lblLarge_->setTextColor(Color);
}
