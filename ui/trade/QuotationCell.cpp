#include "ui/trade/QuotationCell.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Canvas.h"
#include "platform/ui/Text.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/LabelPrice.h"
#include "ui/toolkit/UIImageTintColor.h"
#include "ui/trade/LSConvert.h"

using namespace platform::ui;

namespace {

// The low and high labels stand side by side, right-aligned, their frames
// touching: each keeps a few points clear at its left edge, so that a long
// high never runs into the low beside it, and shrinks to fit what is left.
class LowHighLabel : public UILabel {
  public:
    static constexpr CGFloat kGap = 4;

    void drawRect(CGRect) override {
        if (text().empty()) return;
        const CGRect area = room();
        // Fitted once, to the room left of the gap.
        drawText(area, style(fontFitting(area.size.width)));
    }
    // Told as drawn, so that a new price is drawn straight onto the screen.
    bool drawingInk(CALayer&, CGRect& ink) override {
        if (text().empty()) {
            ink = CGRectNull;
        } else {
            const CGRect area = room();
            ink = textInk(area, style(fontFitting(area.size.width)));
        }
        return true;
    }

  private:
    CGRect room() const {
        CGRect area = bounds();
        area.origin.x += kGap;
        area.size.width = std::max<CGFloat>(0, area.size.width - kGap);
        return area;
    }
    // The largest half point size down to the minimum scale whose text fits.
    UIFont fontFitting(CGFloat width) const {
        return UILabel::fontFitting(width, std::max(1.0, font().pointSize * minimumScaleFactor()));
    }
};

std::shared_ptr<UILabel> smallLabel(NSTextAlignment alignment, bool lowHigh = false) {
    auto label = lowHigh ? std::make_shared<LowHighLabel>() : std::make_shared<UILabel>();
    label->setFont(UIFont::systemFontOfSize(14));
    label->setTextColor(kavtheme::secondaryText());
    label->setBackgroundColor(kavtheme::panelBackground());
    label->setTextAlignment(alignment);
    return label;
}

// The same number written the same way: equal and with as many decimals
// (1.10 and 1.1 are equal, but are not the same text). NaN is never the same.
bool sameDecimal(const platform::Decimal& a, const platform::Decimal& b) {
    return a.scale() == b.scale() && a == b;
}

}  // namespace

QuotationCell::QuotationCell(UITableViewCellStyle style, const std::string& reuseIdentifier,
                             const ScreenContext& context)
    : BaseTableViewCell(style, reuseIdentifier, context), moveColor_(kavtheme::flat()) {}

QuotationCell::~QuotationCell() = default;

void QuotationCell::makeViews() {
    UIView* content = contentView();
    lblTime_ = smallLabel(NSTextAlignment::Left);
    content->addSubview(lblTime_);
    imgClock_ = std::make_shared<UIImageView>(UIImage::imageNamed("clock"));
    content->addSubview(imgClock_);
    lblName_ = std::make_shared<UILabel>();
    lblName_->setTextColor(UIColor::whiteColor());
    lblName_->setBackgroundColor(kavtheme::panelBackground());
    lblName_->setFont(UIFont::fontWithName("Helvetica-Bold", 16));
    lblName_->setAdjustsFontSizeToFitWidth(true);
    lblName_->setMinimumScaleFactor(8 / UIFont::labelFontSize());
    content->addSubview(lblName_);
    lblSpread_ = smallLabel(NSTextAlignment::Left);
    content->addSubview(lblSpread_);
    imgUpOrDown_ = std::make_shared<UIImageView>();
    content->addSubview(imgUpOrDown_);
    lblLow_ = smallLabel(NSTextAlignment::Right, true);
    content->addSubview(lblLow_);
    lblHigh_ = smallLabel(NSTextAlignment::Right, true);
    content->addSubview(lblHigh_);
    // Long prices shrink rather than lose their last digits (LowHighLabel).
    for (UILabel* label : {lblLow_.get(), lblHigh_.get()}) {
        label->setAdjustsFontSizeToFitWidth(true);
        label->setMinimumScaleFactor(0.6);
    }
    separator_ = std::make_shared<UIView>();
    separator_->setBackgroundColor(kavtheme::separator());
    content->addSubview(separator_);
    setBackgroundColor(kavtheme::panelBackground());
    content->setBackgroundColor(kavtheme::panelBackground());
    spreadCaption_ = sysdb() ? sysdb()->getLabelWithKey("点差", "点差") : std::string("点差");
}

const UIImagePtr& QuotationCell::sameImage(const UIColor& colour) {
    UIImagePtr* slot = colour == kavtheme::rise()   ? &imgSameRise_
                       : colour == kavtheme::fall() ? &imgSameFall_
                                                    : &imgSameFlat_;
    if (!*slot) *slot = UIImageTintColor::imageWithTintColor(colour, "priceSame");
    return *slot;
}

UIColor QuotationCell::noteMove(LSQuotation& quotation) {
    if (quotation.upOrDown >= 1)
        quotation.lastColor = kavtheme::rise();
    else if (quotation.upOrDown < 0)
        quotation.lastColor = kavtheme::fall();
    else if (!quotation.lastColor)
        quotation.lastColor = kavtheme::flat();
    return *quotation.lastColor;
}

void QuotationCell::showCellWithLsQuotation(LSQuotation& quotation) {
    // The backgrounds are set once, with the views.
    if (!lblTime_) makeViews();

    moveColor_ = noteMove(quotation);
    const UIImagePtr* direction;
    if (quotation.upOrDown >= 1) {
        if (!imgUp_) imgUp_ = UIImageTintColor::imageWithTintColor(moveColor_, "priceUp");
        direction = &imgUp_;
    } else if (quotation.upOrDown == 0) {
        direction = &sameImage(moveColor_);
    } else {
        if (!imgDown_) imgDown_ = UIImageTintColor::imageWithTintColor(moveColor_, "priceDown");
        direction = &imgDown_;
    }
    // A quote changes a few of the row's values: the views of the others
    // are not touched (the same arrow, mark, name, time, spread, low or
    // high): at a few quotes a second each view touched is memory fetched
    // afresh.
    if (shown_.direction != direction->get()) {
        imgUpOrDown_->setImage(*direction);
        shown_.direction = direction->get();
    }
    if (!shown_.time || *shown_.time != quotation.lastTime) {
        lblTime_->setText(lsconvert::dateText(quotation.lastTime, "HH:mm:ss"));
        shown_.time = quotation.lastTime;
    }
    if (shown_.clock != quotation.hasLimit) {
        imgClock_->setHidden(!quotation.hasLimit);
        shown_.clock = quotation.hasLimit;
    }
    if (shown_.name != quotation.symbolName) {
        lblName_->setText(quotation.symbolName);
        shown_.name = quotation.symbolName;
    }
    if (!shown_.spread || *shown_.spread != quotation.spread) {
        lblSpread_->setText(spreadCaption_ + ":" + std::to_string(quotation.spread));
        shown_.spread = quotation.spread;
    }

    // The prices go through a single-precision float, as the board always
    // showed them.
    if (!shown_.prices || !sameDecimal(shown_.bid, quotation.bid)) {
        shown_.bid = quotation.bid;
        shown_.bidFloat = static_cast<float>(quotation.bid.toDouble());
    }
    if (!shown_.prices || !sameDecimal(shown_.ask, quotation.ask)) {
        shown_.ask = quotation.ask;
        shown_.askFloat = static_cast<float>(quotation.ask.toDouble());
    }
    shown_.prices = true;
    const float bid = shown_.bidFloat;
    const float ask = shown_.askFloat;
    if (!lblSell_) {
        lblSell_ = std::make_shared<LabelPrice>(CGRectZero, bid, quotation.decimal, moveColor_);
        contentView()->addSubview(lblSell_);
        lblBuy_ = std::make_shared<LabelPrice>(CGRectZero, ask, quotation.decimal, moveColor_);
        contentView()->addSubview(lblBuy_);
    } else {
        lblSell_->setPrice(bid, quotation.decimal, moveColor_);
        lblBuy_->setPrice(ask, quotation.decimal, moveColor_);
    }
    const bool sameDecimals = shown_.lowHigh && shown_.decimal == quotation.decimal;
    if (!sameDecimals || !sameDecimal(shown_.low, quotation.dailyLowest))
        lblLow_->setText("最低:" +
                         KAStringUtils::notRounding(quotation.dailyLowest, quotation.decimal));
    if (!sameDecimals || !sameDecimal(shown_.high, quotation.dailyHighest))
        lblHigh_->setText("最高:" +
                          KAStringUtils::notRounding(quotation.dailyHighest, quotation.decimal));
    shown_.low = quotation.dailyLowest;
    shown_.high = quotation.dailyHighest;
    shown_.decimal = quotation.decimal;
    shown_.lowHigh = true;
    // The views are placed once (layoutSubviews); after that a quote changes
    // no size in the row.
    if (!shown_.placed) setNeedsLayout();
}

void QuotationCell::layoutSubviews() {
    BaseTableViewCell::layoutSubviews();
    // Placed once, for the width of the first layout.
    if (!lblTime_ || !lblSell_ || shown_.placed) return;
    const CGFloat W = bounds().size.width;
    const CGFloat T = W / 3;
    const CGFloat P = (W - (T + 33)) / 2 - 10;
    lblTime_->setFrame(CGRectMake(15, 5, T, 14));
    imgClock_->setFrame(CGRectMake(CGRectGetMaxX(lblTime_->frame()) + 10, 6.5, 12, 12));
    lblName_->setFrame(CGRectMake(15, CGRectGetMaxY(lblTime_->frame()) + 2, T, 19));
    lblSpread_->setFrame(CGRectMake(15, CGRectGetMaxY(lblName_->frame()) + 2, T, 14));
    imgUpOrDown_->setFrame(CGRectMake(T + 15, 18, 18, 18));
    lblSell_->setFrame(CGRectMake(T + 33, 9, P, 31));
    lblLow_->setFrame(CGRectMake(T + 43, CGRectGetMaxY(lblSell_->frame()) + 2, P, 14));
    lblBuy_->setFrame(CGRectMake(T + 33 + P, 9, P, 31));
    lblHigh_->setFrame(
        CGRectMake(lblBuy_->frame().origin.x + 10, CGRectGetMaxY(lblBuy_->frame()) + 2, P, 14));
    separator_->setFrame(CGRectMake(0, 64.5, W, 0.5));
    shown_.placed = lblTime_->frame().size.width > 0;
}
