#pragma once

#include <memory>
#include <string>

#include "Core/Model/MODHoldPosition.h"
#include "Core/Model/MODSymbolInfo.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

// The price panel of the close by symbol: at the left, on the blue half,
// the price at which the shown side closes now ("平仓卖" and the bid for
// the buys, "b"; "平仓买" and the ask for the sells, "s"); at the right,
// on a grey panel, that side's floating profit, red above zero and green
// otherwise. The price always comes from the symbol's live record; the
// screen feeds it the side and the profit.
class ViewMarketPricePosition : public platform::ui::UIView {
  public:
    ViewMarketPricePosition(const platform::ui::CGRect& frame,
                            std::shared_ptr<MODHoldPosition> BillInfo,
                            std::shared_ptr<MODSymbolInfo> SymbolInfo, const std::string& BSCode);

    // Price and caption of the side from the panel's own symbol record (the
    // record given is not read: the panel's is the live one).
    void updateWithSymbolInfo(const MODSymbolInfo* SymbolInfo, const std::string& BSCode);
    // The side's profit, then its price and caption.
    void updateWithPrice(float price, float DynProfit, const std::string& BSCode);
    // The record the price is read from from now on: the service makes new
    // ones when it loads its symbols again, and the quotes move only those.
    void setSymbolInfo(std::shared_ptr<MODSymbolInfo> SymbolInfo) {
        modSymbolInfo_ = std::move(SymbolInfo);
    }

    const std::string& bsCode() const { return bsCode_; }
    platform::ui::UILabel* infoLabel() const { return lblInfo_.get(); }
    platform::ui::UILabel* dynProfitLabel() const { return lblDynProfit_.get(); }
    platform::ui::UILabel* priceLabel() const { return lblPrice_.get(); }

  private:
    void makeView();

    std::shared_ptr<MODSymbolInfo> modSymbolInfo_;
    std::shared_ptr<MODHoldPosition> modHoldPosition_;
    std::shared_ptr<platform::ui::UILabel> lblInfo_;
    std::shared_ptr<platform::ui::UILabel> lblDynProfit_;
    std::shared_ptr<platform::ui::UILabel> lblPrice_;
    std::string bsCode_;
};
