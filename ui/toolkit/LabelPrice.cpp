#include "ui/toolkit/LabelPrice.h"

#include <algorithm>

#include "ui/services/sysDB.h"

using namespace platform::ui;

namespace {

// The part of a price before its last two characters, right-aligned. Two
// prices stand side by side on the board, the large digits of the first
// reaching into the second's small part: the small part keeps that much
// clear at its left edge and shrinks its text to fit the room left (a long
// price lost its first digits under its neighbour's, or to an ellipsis).
class SmallPart : public UILabel {
  public:
    explicit SmallPart(const CGRect& frame) : UILabel(frame) {}

    void setClearLeft(CGFloat clear) {
        if (clear == clearLeft_) return;
        clearLeft_ = clear;
        setNeedsDisplay();
    }
    void drawRect(CGRect) override {
        if (text().empty()) return;
        const CGRect area = room();
        drawText(area, style(fontFitting(area.size.width, least())));
    }
    // Told as drawn, so that a new price is drawn straight onto the screen.
    bool drawingInk(CALayer&, CGRect& ink) override {
        if (text().empty()) {
            ink = CGRectNull;
        } else {
            const CGRect area = room();
            ink = textInk(area, style(fontFitting(area.size.width, least())));
        }
        return true;
    }

  private:
    static constexpr CGFloat kLeastScale = 0.5;

    CGRect room() const {
        CGRect area = bounds();
        area.origin.x += clearLeft_;
        area.size.width = std::max<CGFloat>(0, area.size.width - clearLeft_);
        return area;
    }
    CGFloat least() const { return std::max<CGFloat>(1, font().pointSize * kLeastScale); }

    CGFloat clearLeft_ = 0;
};

}  // namespace

LabelPrice::LabelPrice(const CGRect& frame) : UIView(frame) {}

LabelPrice::LabelPrice(const CGRect& frame, double Price, int Decimal, const UIColor& Color)
    : UIView(frame) {
    setPrice(Price, Decimal, Color);
}

void LabelPrice::setPrice(double Price, int Decimal, const UIColor& Color) {
    if (!lblSmall_) {
        lblSmall_ = std::make_shared<SmallPart>(CGRectMake(0, 5, 60, 35));
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

void LabelPrice::layoutSubviews() {
    UIView::layoutSubviews();
    if (!lblSmall_) return;
    // Two large digits (the widest of the large part) from the large
    // label's left edge: what reaches past this price's right edge.
    const CGFloat large =
        sysDB::widthOfString("00", lblLarge_->font()).width + lblLarge_->frame().origin.x;
    static_cast<SmallPart&>(*lblSmall_).setClearLeft(
        std::clamp<CGFloat>(large - bounds().size.width, 0, lblSmall_->frame().size.width));
}
