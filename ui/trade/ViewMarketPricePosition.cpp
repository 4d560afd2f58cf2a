#include "ui/trade/ViewMarketPricePosition.h"

#include <strings.h>

#include "ui/toolkit/KAStringUtils.h"
#include "ui/trade/LSConvert.h"
#include "ui/trade/PricePanelKit.h"

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
    pricepanel::addBlueHalf(*this);
    lblDynProfit_ = pricepanel::addProfitHalf(*this);
    lblDynProfit_->setAdjustsFontSizeToFitWidth(true);
    lblDynProfit_->setMinimumScaleFactor(0.6);
    if (modHoldPosition_)
        // In the account currency, as the account shows its floating profit.
        pricepanel::showProfit(*lblDynProfit_, isBuySide(bsCode_) ? modHoldPosition_->dppBuy
                                                                  : modHoldPosition_->dppSell);
    lblInfo_ = pricepanel::addCaption(*this, 120);
    lblPrice_ = pricepanel::addPrice(*this);
    pricepanel::addEdges(*this);

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
    lblPrice_->setText(KAStringUtils::notRounding(lsconvert::price(price, modSymbolInfo_->decimal),
                                                  modSymbolInfo_->decimal));
}

void ViewMarketPricePosition::updateWithPrice(float, float DynProfit, const std::string& BSCode) {
    pricepanel::showProfit(*lblDynProfit_, static_cast<double>(DynProfit));
    updateWithSymbolInfo(modSymbolInfo_.get(), BSCode);
}
