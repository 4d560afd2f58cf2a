#include "ui/trade/ViewLimitPrice.h"

#include <algorithm>
#include <cmath>

#include "platform/Strings.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/PricePanelKit.h"

using namespace platform::ui;

ViewLimitPrice::ViewLimitPrice(const CGRect& frame, std::shared_ptr<MODSymbolInfo> GoodsInfo)
    : UIView(frame), modSymbolInfo_(std::move(GoodsInfo)) {
    makeView();
}

void ViewLimitPrice::makeView() {
    const CGFloat W = frame().size.width;
    const CGFloat H = frame().size.height;
    pricepanel::addBlueHalf(*this);

    lblLimit_ = std::make_shared<UILabel>(CGRectMake(W / 2 - 30, 0, W / 2 + 29, H / 2));
    lblLimit_->setBackgroundColor(kavtheme::inputBackground());
    lblLimit_->setTextAlignment(NSTextAlignment::Center);
    lblLimit_->setTextColor(kavtheme::primaryText());
    addSubview(lblLimit_);

    lblStop_ = std::make_shared<UILabel>(CGRectMake(W / 2 - 30, H / 2, W / 2 + 29, H / 2));
    lblStop_->setBackgroundColor(kavtheme::screenBackground());
    lblStop_->setTextAlignment(NSTextAlignment::Center);
    lblStop_->setTextColor(kavtheme::primaryText());
    addSubview(lblStop_);

    lblBS_ = pricepanel::addCaption(*this, 40);
    lblPrice_ = pricepanel::addPrice(*this);
    pricepanel::addEdges(*this);

    bsCode_ = "b";
    redraw();
}

void ViewLimitPrice::updateWithGoodsInfo(std::shared_ptr<MODSymbolInfo> GoodsInfo,
                                         const std::string& BsCode) {
    modSymbolInfo_ = std::move(GoodsInfo);
    bsCode_ = BsCode;
    redraw();
}

void ViewLimitPrice::setLimitLabel(const std::string& text) {
    lblLimitText_ = text;
    redraw();
}

void ViewLimitPrice::setStopLabel(const std::string& text) {
    lblStopText_ = text;
    redraw();
}

void ViewLimitPrice::redraw() {
    const bool buy = bsCode_ == "b";
    lblBS_->setText(buy ? "买价" : "卖价");
    if (!modSymbolInfo_) {
        lblPrice_->setText(std::string());
        lblLimit_->setText(std::string());
        lblStop_->setText(std::string());
        return;
    }
    const int N = std::clamp(modSymbolInfo_->decimal, 0, KAStringUtils::kMaxDecimals);
    const double F = std::pow(10.0, N);
    const double L = modSymbolInfo_->pointLimit;
    const double price = buy ? modSymbolInfo_->ask : modSymbolInfo_->bid;
    lblPrice_->setText(KAStringUtils::notRounding(lsconvert::price(price, N), N));
    // Computed in double, kept and shown in single precision.
    const float limit = static_cast<float>(buy ? (F * price - L) / F : (F * price + L) / F);
    const float stop = static_cast<float>(buy ? (F * price + L) / F : (F * price - L) / F);
    priceLimit_ = limit;
    priceStop_ = stop;
    const char* limitSign = buy ? "<" : ">";
    const char* stopSign = buy ? ">" : "<";
    lblLimit_->setText(platform::stringf("%s %s %0.*f", lblLimitText_.c_str(), limitSign, N,
                                         static_cast<double>(limit)));
    lblStop_->setText(platform::stringf("%s %s %0.*f", lblStopText_.c_str(), stopSign, N,
                                        static_cast<double>(stop)));
}
