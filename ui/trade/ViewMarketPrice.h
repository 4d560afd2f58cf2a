#pragma once

#include <memory>

#include "Core/Model/MODHoldBill.h"
#include "Core/Model/MODSymbolInfo.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

class sysDB;

// The one-line panel of the ticket screens: at the left, on the blue half,
// the price at which the ticket would close now ("平仓卖" and the bid for a
// buy ticket, "平仓买" and the ask for a sell ticket); at the right, on a
// grey panel, the ticket's floating profit, red above zero and green
// otherwise. It listens to nothing: its screen feeds it the ticket's pushes.
class ViewMarketPrice : public platform::ui::UIView {
  public:
    // The ticket and its symbol may be missing (a ticket the service no
    // longer knows): the panel then shows no price.
    ViewMarketPrice(const platform::ui::CGRect& frame, std::shared_ptr<MODHoldBill> BillInfo,
                    std::shared_ptr<MODSymbolInfo> GoodsInfo, std::shared_ptr<sysDB> SysDB);

    // The price label from the panel's own symbol: its bid for "b" or "B", else its
    // ask. (The symbol given is the panel's; its only caller passes it.)
    void updateWithGoodsInfo(const MODSymbolInfo* GoodsInfo, const std::string& BsCode);
    // The pushed ticket's mark price and floating profit.
    void updateWithPrice(float price, float DynProfit);

    const std::shared_ptr<sysDB>& sysdb() const { return sysdb_; }
    void setSysdb(std::shared_ptr<sysDB> store) { sysdb_ = std::move(store); }

    platform::ui::UILabel* priceLabel() const { return lblPrice_.get(); }
    platform::ui::UILabel* dynProfitLabel() const { return lblDynProfit_.get(); }
    platform::ui::UILabel* directionLabel() const { return lblDirection_.get(); }

  private:
    void makeView();
    void showPrice(double price);

    std::shared_ptr<MODSymbolInfo> modSymbolInfo_;
    std::shared_ptr<MODHoldBill> modHoldBill_;
    std::shared_ptr<platform::ui::UILabel> lblDynProfit_;
    std::shared_ptr<platform::ui::UILabel> lblPrice_;
    std::shared_ptr<platform::ui::UILabel> lblDirection_;
    std::shared_ptr<sysDB> sysdb_;
};
