#include "ui/trade/ViewMarketPrice.h"

#include "Core/CalculateUtils.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/PricePanelKit.h"

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
    pricepanel::addBlueHalf(*this);
    lblDynProfit_ = pricepanel::addProfitHalf(*this);
    // In the account currency, as the account shows its floating profit.
    pricepanel::showProfit(*lblDynProfit_, modHoldBill_ ? modHoldBill_->dynProfitPrice : 0);

    // A buy ticket, however the dealer spells its side, closes by selling.
    const bool buyTicket = modHoldBill_ && CalculateUtils::isBuyCode(modHoldBill_->bsCode);
    const std::string direction = buyTicket ? "平仓卖" : "平仓买";
    lblDirection_ = pricepanel::addCaption(*this, 120);
    lblDirection_->setText(sysdb_ ? sysdb_->getLabelWithKey(direction, direction) : direction);
    lblPrice_ = pricepanel::addPrice(*this);
    pricepanel::addEdges(*this);

    updateWithGoodsInfo(modSymbolInfo_.get(), modHoldBill_ ? modHoldBill_->bsCode : std::string());
}

void ViewMarketPrice::updateWithGoodsInfo(const MODSymbolInfo*, const std::string& BsCode) {
    // The panel's own record, whatever the caller passes.
    if (!modSymbolInfo_) {
        lblPrice_->setText(std::string());
        return;
    }
    showPrice(CalculateUtils::isBuyCode(BsCode) ? modSymbolInfo_->bid : modSymbolInfo_->ask);
}

void ViewMarketPrice::updateWithPrice(float price, float DynProfit) {
    // Both arrive narrowed to single precision; the price is written from
    // the widened value as every price of the symbol is.
    pricepanel::showProfit(*lblDynProfit_, static_cast<double>(DynProfit));
    if (!modSymbolInfo_) return;
    showPrice(static_cast<double>(price));
}

void ViewMarketPrice::showPrice(double price) {
    lblPrice_->setText(KAStringUtils::notRounding(lsconvert::price(price, modSymbolInfo_->decimal),
                                                  modSymbolInfo_->decimal));
}
