#pragma once

#include <memory>
#include <string>

#include "Core/Model/MODSymbolInfo.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

// The price band of the pending-order screen: at the left, on the blue half,
// the side's price (the ask for a buy, the bid for a sell); at the right two
// lines with the prices that bound the band the dealer keeps free around it,
// the symbol's limit distance (`pointLimit` points) on either side:
//   buy:  止限 < ask - L points, 停损 > ask + L points
//   sell: 止限 > bid + L points, 停损 < bid - L points
class ViewLimitPrice : public platform::ui::UIView {
  public:
    ViewLimitPrice(const platform::ui::CGRect& frame, std::shared_ptr<MODSymbolInfo> GoodsInfo);

    // Keeps the symbol and the side ("b", anything else a sell) and redraws.
    void updateWithGoodsInfo(std::shared_ptr<MODSymbolInfo> GoodsInfo, const std::string& BsCode);
    // Replace the caption words of the two bound lines and redraw.
    void setLimitLabel(const std::string& text);
    void setStopLabel(const std::string& text);

    const std::string& bsCode() const { return bsCode_; }
    double priceLimit() const { return priceLimit_; }
    double priceStop() const { return priceStop_; }
    platform::ui::UILabel* limitLabel() const { return lblLimit_.get(); }
    platform::ui::UILabel* stopLabel() const { return lblStop_.get(); }
    platform::ui::UILabel* sideLabel() const { return lblBS_.get(); }
    platform::ui::UILabel* priceLabel() const { return lblPrice_.get(); }

  private:
    void makeView();
    void redraw();

    std::shared_ptr<MODSymbolInfo> modSymbolInfo_;
    std::shared_ptr<platform::ui::UILabel> lblLimit_;
    std::shared_ptr<platform::ui::UILabel> lblStop_;
    std::shared_ptr<platform::ui::UILabel> lblBS_;
    std::shared_ptr<platform::ui::UILabel> lblPrice_;
    std::string lblLimitText_ = "止限";
    std::string lblStopText_ = "停损";
    std::string bsCode_ = "b";
    double priceLimit_ = 0;
    double priceStop_ = 0;
};
