#include "app/UIKAVRiskView.h"

#include <algorithm>
#include <cmath>

#include "app/AccountScreenKit.h"
#include "platform/Strings.h"
#include "ui/toolkit/KAVTheme.h"

using namespace platform::ui;

namespace {

// The bar before the first figures arrive, and at the lowest ratios.
UIColor startRed() {
    return UIColor::rgb255(187, 46, 36);
}
UIColor safeGreen() {
    return UIColor::rgb255(112, 186, 72);
}
UIColor warnAmber() {
    return UIColor::rgb255(235, 175, 46);
}
UIColor dangerRed() {
    return UIColor::rgb255(186, 72, 72);
}

std::shared_ptr<UILabel> makeLabel(int grey, CGFloat size, NSTextAlignment alignment,
                                   const std::string& text = {}) {
    auto label = std::make_shared<UILabel>();
    label->setTextColor(UIColor::grey255(grey));
    label->setFont(UIFont::systemFontOfSize(size));
    label->setTextAlignment(alignment);
    label->setBackgroundColor(UIColor::clearColor());
    label->setText(text);
    return label;
}

UIViewPtr makeFill(const UIColor& colour) {
    auto v = std::make_shared<UIView>();
    v->setBackgroundColor(colour);
    return v;
}

}  // namespace

UIKAVRiskView::UIKAVRiskView(const CGRect& frame, int style) : UIView(frame), style_(style) {
    makeView();
}

void UIKAVRiskView::makeView() {
    setBackgroundColor(kavtheme::panelBackground());
    container_ = std::make_shared<UIView>();
    container_->setBackgroundColor(UIColor::clearColor());
    addSubview(container_);

    lblRisk_ = makeLabel(160, 26, NSTextAlignment::Center, kNoFigure);
    container_->addSubview(lblRisk_);

    track_ = makeFill(UIColor::blackColor());
    container_->addSubview(track_);
    bar_ = makeFill(startRed());
    bar_->setTag(kTagBar);
    bar_->layer().setCornerRadius(3);
    container_->addSubview(bar_);
    innerOutline_ = makeFill(UIColor::clearColor());
    innerOutline_->layer().setBorderWidth(1);
    innerOutline_->layer().setBorderColor(kavtheme::panelBackground());
    container_->addSubview(innerOutline_);
    outerOutline_ = makeFill(UIColor::clearColor());
    outerOutline_->layer().setBorderWidth(1);
    outerOutline_->layer().setBorderColor(kavtheme::inputBackground());
    container_->addSubview(outerOutline_);

    rule_ = makeFill(kavtheme::accent());
    container_->addSubview(rule_);
    netCaption_ = makeLabel(240, 16, NSTextAlignment::Left, "净值");
    container_->addSubview(netCaption_);
    lblNetValue_ = makeLabel(160, 16, NSTextAlignment::Left);
    container_->addSubview(lblNetValue_);
    divider_ = makeFill(kavtheme::accent());
    container_->addSubview(divider_);
    freeCaption_ = makeLabel(240, 16, NSTextAlignment::Left, "可用保证金");
    container_->addSubview(freeCaption_);
    lblFreeMargins_ = makeLabel(160, 16, NSTextAlignment::Left);
    container_->addSubview(lblFreeMargins_);
    bottomRule_ = makeFill(kavtheme::accent());
    container_->addSubview(bottomRule_);
    layoutSubviews();
}

void UIKAVRiskView::layoutSubviews() {
    UIView::layoutSubviews();
    const CGFloat w = bounds().size.width;
    const CGFloat h = bounds().size.height;
    container_->setFrame(CGRectMake(0, 0, w, h));

    const CGFloat band = h * kUpperBand;
    const CGFloat y0 = (band - 30) / 2;
    lblRisk_->setFrame(CGRectMake(10, y0, 120, 30));
    // The track runs from 20 right of the percentage to the panel's edge.
    riskBarWidth_ = static_cast<float>(w - (CGRectGetMaxX(lblRisk_->frame()) + 20));
    const CGFloat x = 140;
    track_->setFrame(CGRectMake(x, y0, riskBarWidth_, 20));
    bar_->setFrame(CGRectMake(x + barMargin_, y0 + barMargin_,
                              (riskBarWidth_ - 2 * barMargin_) * shownPercent_, 14));
    innerOutline_->setFrame(CGRectMake(x + 1, y0 + 1, riskBarWidth_ - 2, 18));
    outerOutline_->setFrame(CGRectMake(x, y0, riskBarWidth_, 20));

    rule_->setFrame(CGRectMake(0, band, w, 1));
    const CGFloat captionTop = CGRectGetMaxY(rule_->frame()) + 5;
    netCaption_->setFrame(CGRectMake(10, captionTop, w / 2, 16));
    lblNetValue_->setFrame(CGRectMake(10, CGRectGetMaxY(netCaption_->frame()), w / 2, 30));
    const CGFloat dividerTop = CGRectGetMaxY(rule_->frame()) + 7;
    divider_->setFrame(CGRectMake(w / 2, dividerTop, 1, h - 7 - dividerTop));
    freeCaption_->setFrame(CGRectMake(w / 2 + 12, captionTop, w / 2, 16));
    lblFreeMargins_->setFrame(
        CGRectMake(w / 2 + 12, CGRectGetMaxY(freeCaption_->frame()), w / 2, 30));
    bottomRule_->setFrame(CGRectMake(0, h - 1, w, 1));
}

void UIKAVRiskView::updataWithRisk(float risk, double netValue, double freeMargin,
                                   float riskPercent, int32_t /*riskLevel*/) {
    // Sums of absurd money from the dealer can overflow into an infinity or
    // no number at all, and the largest ratio overflows as a percentage:
    // such a figure reads "--", as before the first figures arrive, never
    // "inf" or "nan".
    const float percent = risk * 100.0f;
    lblRisk_->setText(
        std::isfinite(percent)
            ? accountkit::unsignedZero(platform::stringf("%0.0f%%", static_cast<double>(percent)))
            : std::string(kNoFigure));

    // The share comes from the server's lines; whatever it says, the bar
    // stays inside its track.
    shownPercent_ = std::isnan(riskPercent) ? 0.0f : std::clamp(riskPercent, 0.0f, 1.0f);
    CGRect f = bar_->frame();
    f.size.width = (riskBarWidth_ - 2 * barMargin_) * shownPercent_;
    bar_->setFrame(f);

    // The first bound is taken at double precision, the second at single:
    // a ratio stored as the float nearest 0.7 lies below 0.7 and is amber.
    if (static_cast<double>(risk) > 0.7) {
        bar_->setBackgroundColor(safeGreen());
    } else if (risk > 0.5f) {
        bar_->setBackgroundColor(warnAmber());
    } else {
        bar_->setBackgroundColor(dangerRed());
    }

    lblNetValue_->setText(accountkit::moneyText(netValue));
    lblFreeMargins_->setText(accountkit::moneyText(freeMargin));
}
