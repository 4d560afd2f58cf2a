#include "ui/trade/ViewMarketPricePosition.h"

#include <strings.h>

#include "platform/Strings.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/TriangleView.h"
#include "ui/trade/LSConvert.h"

using namespace platform::ui;

namespace {

// The buys are shown for "b" in either case.
bool isBuySide(const std::string& code) {
    return strcasecmp(code.c_str(), "b") == 0;
}

}  // namespace

ViewMarketPricePosition::ViewMarketPricePosition(const CGRect& frame,
                                                 std::shared_ptr<MODHoldPosition> BillInfo,
                                                 std::shared_ptr<MODSymbolInfo> SymbolInfo,
                                                 const std::string& BSCode)
    : UIView(frame),
      modSymbolInfo_(std::move(SymbolInfo)),
      modHoldPosition_(std::move(BillInfo)),
      bsCode_(BSCode) {
    makeView();
}

void ViewMarketPricePosition::makeView() {
    const CGFloat W = frame().size.width;
    const CGFloat H = frame().size.height;

    auto blue = std::make_shared<UIView>(CGRectMake(0, 0, W / 2, H));
    blue->setBackgroundColor(kavtheme::accent());
    addSubview(blue);

    auto panel = std::make_shared<UIView>(CGRectMake(W / 2 - 30, 0, W / 2 + 29, H));
    panel->setBackgroundColor(kavtheme::panelBackground());
    addSubview(panel);
    const CGRect p = panel->frame();

    auto caption = std::make_shared<UILabel>(CGRectMake(p.origin.x, 0, p.size.width, 30));
    caption->setText("浮动盈亏");
    caption->setTextAlignment(NSTextAlignment::Center);
    caption->setTextColor(kavtheme::primaryText());
    caption->setBackgroundColor(kavtheme::inputBackground());
    addSubview(caption);

    lblDynProfit_ = std::make_shared<UILabel>(CGRectMake(p.origin.x, H - 30, p.size.width, 30));
    lblDynProfit_->setTextAlignment(NSTextAlignment::Center);
    lblDynProfit_->setFont(UIFont::systemFontOfSize(22));
    lblDynProfit_->setBackgroundColor(UIColor::clearColor());
    lblDynProfit_->setAdjustsFontSizeToFitWidth(true);
    lblDynProfit_->setMinimumScaleFactor(0.6);
    if (modHoldPosition_)
        showDynProfit(isBuySide(bsCode_) ? modHoldPosition_->dpBuy : modHoldPosition_->dpSell);
    addSubview(lblDynProfit_);

    lblInfo_ = std::make_shared<UILabel>(CGRectMake(7, 4, 120, 22));
    lblInfo_->setTextColor(UIColor::blackColor());
    lblInfo_->setBackgroundColor(UIColor::clearColor());
    addSubview(lblInfo_);

    lblPrice_ = std::make_shared<UILabel>(CGRectMake(5, H - 40, W / 2 - 30, 40));
    lblPrice_->setTextColor(UIColor::blackColor());
    lblPrice_->setBackgroundColor(UIColor::clearColor());
    addSubview(lblPrice_);

    auto wedge = std::make_shared<TriangleView>(CGRectMake(W / 2 - 30, 0, 20, H));
    wedge->setColor(kavtheme::accent());
    addSubview(wedge);

    auto border = std::make_shared<UIView>(CGRectMake(0, 0, W - 1, H));
    border->setBackgroundColor(UIColor::clearColor());
    border->layer().setBorderColor(kavtheme::accent());
    border->layer().setBorderWidth(1);
    border->setUserInteractionEnabled(false);
    addSubview(border);

    updateWithSymbolInfo(modSymbolInfo_.get(), bsCode_);
}

void ViewMarketPricePosition::updateWithSymbolInfo(const MODSymbolInfo*,
                                                   const std::string& BSCode) {
    bsCode_ = BSCode;
    const bool buys = isBuySide(BSCode);
    // The buys close by selling, at the bid; the sells by buying, at the ask.
    lblInfo_->setText(buys ? "平仓卖" : "平仓买");
    if (!modSymbolInfo_) {
        lblPrice_->setText(std::string());
        return;
    }
    const double price = buys ? modSymbolInfo_->bid : modSymbolInfo_->ask;
    lblPrice_->setText(
        KAStringUtils::notRounding(lsconvert::decimal(price), modSymbolInfo_->decimal));
}

void ViewMarketPricePosition::updateWithPrice(float, float DynProfit, const std::string& BSCode) {
    showDynProfit(static_cast<double>(DynProfit));
    updateWithSymbolInfo(modSymbolInfo_.get(), BSCode);
}

void ViewMarketPricePosition::showDynProfit(double profit) {
    // Red only for a gain; a loss and zero are green.
    lblDynProfit_->setTextColor(profit > 0 ? kavtheme::rise() : kavtheme::fall());
    lblDynProfit_->setText(platform::stringf("%0.2f", profit));
}
