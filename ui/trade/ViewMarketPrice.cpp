#include "ui/trade/ViewMarketPrice.h"

#include "platform/Strings.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/KAVTheme.h"
#include "ui/toolkit/TriangleView.h"
#include "ui/trade/LSConvert.h"

using namespace platform::ui;

ViewMarketPrice::ViewMarketPrice(const CGRect& frame, std::shared_ptr<MODHoldBill> BillInfo,
                                 std::shared_ptr<MODSymbolInfo> GoodsInfo,
                                 std::shared_ptr<sysDB> SysDB)
    : UIView(frame),
      modSymbolInfo_(std::move(GoodsInfo)),
      modHoldBill_(std::move(BillInfo)),
      sysdb_(std::move(SysDB)) {
    makeView();
}

void ViewMarketPrice::makeView() {
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
    showDynProfit(modHoldBill_ ? modHoldBill_->dynProfit : 0);
    addSubview(lblDynProfit_);

    const bool buyTicket = modHoldBill_ && modHoldBill_->bsCode == "b";
    const std::string direction = buyTicket ? "平仓卖" : "平仓买";
    lblDirection_ = std::make_shared<UILabel>(CGRectMake(7, 4, 120, 22));
    lblDirection_->setText(sysdb_ ? sysdb_->getLabelWithKey(direction, direction) : direction);
    lblDirection_->setTextColor(UIColor::blackColor());
    lblDirection_->setBackgroundColor(UIColor::clearColor());
    addSubview(lblDirection_);

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

    updateWithGoodsInfo(modSymbolInfo_.get(), modHoldBill_ ? modHoldBill_->bsCode : std::string());
}

void ViewMarketPrice::updateWithGoodsInfo(const MODSymbolInfo*, const std::string& BsCode) {
    // The panel's own record, whatever the caller passes.
    if (!modSymbolInfo_) {
        lblPrice_->setText(std::string());
        return;
    }
    showPrice(BsCode == "b" ? modSymbolInfo_->bid : modSymbolInfo_->ask);
}

void ViewMarketPrice::updateWithPrice(float price, float DynProfit) {
    // Both arrive narrowed to single precision; "%f" of the widened value.
    showDynProfit(static_cast<double>(DynProfit));
    if (!modSymbolInfo_) return;
    lblPrice_->setText(KAStringUtils::notRoundingWithFloat(price, modSymbolInfo_->decimal));
}

void ViewMarketPrice::showPrice(double price) {
    lblPrice_->setText(
        KAStringUtils::notRounding(lsconvert::decimal(price), modSymbolInfo_->decimal));
}

void ViewMarketPrice::showDynProfit(double profit) {
    // Red only for a gain; a loss and zero are green.
    lblDynProfit_->setTextColor(profit > 0 ? kavtheme::rise() : kavtheme::fall());
    lblDynProfit_->setText(platform::stringf("%0.2f", profit));
}
