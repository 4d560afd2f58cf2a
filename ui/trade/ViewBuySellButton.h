#pragma once

#include <memory>

#include "Core/Model/MODSymbolInfo.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

// Told which half of the price button was tapped: the sender's tag is
// ViewBuySellButton::kTagBuy or kTagSell.
class ViewBuySellDelegate {
  public:
    virtual ~ViewBuySellDelegate() = default;
    virtual void onBuySellButtonPressed(platform::ui::UIView* sender) = 0;
};

// The two-half price button of the market-order screen: the bid in the left
// half ("卖", a tap sells), the ask in the right half ("买", a tap buys),
// the spread in points between them (style 0) and a strip along the bottom
// in the colour of the last move. A half turns lighter while a finger is on
// it.
class ViewBuySellButton : public platform::ui::UIView {
  public:
    using CGRect = platform::ui::CGRect;

    static constexpr long kTagRightHalf = 2000;  // buy side
    static constexpr long kTagLeftHalf = 2001;   // sell side
    static constexpr long kTagBuy = 9000;
    static constexpr long kTagSell = 9001;
    static constexpr int kStyleWithSpread = 0;
    static constexpr int kStylePlain = 1;

    ViewBuySellButton(const CGRect& frame, std::shared_ptr<MODSymbolInfo> symbol, int style);

    // Shows the record's prices, spread and move; keeps the record.
    void updateWithMODSymbolInfo(std::shared_ptr<MODSymbolInfo> symbol);
    // The touched half lightens; a lift inside it tells the delegate.
    void viewTouchDown(platform::ui::UIView* sender);
    void onButtonClick(platform::ui::UIView* sender);
    // A finger that slid off the half before lifting: the half darkens again,
    // nothing is told.
    void onTouchAbandoned(platform::ui::UIView* sender);

    std::weak_ptr<ViewBuySellDelegate> delegate;

    const std::shared_ptr<MODSymbolInfo>& symbolInfo() const { return _modSymbolInfo; }
    platform::ui::UILabel* lblBid() const { return _lblBid.get(); }
    platform::ui::UILabel* lblAsk() const { return _lblAsk.get(); }
    // The spread box; null in the plain style.
    platform::ui::UILabel* point() const { return _point.get(); }
    platform::ui::UIView* upOrDownStrip() const { return _upOrDown.get(); }
    int viewStyle() const { return _viewSyle; }

    void layoutSubviews() override;

  private:
    void makeView();
    platform::ui::UIView* halfOf(const platform::ui::UIView* sender);

    std::shared_ptr<MODSymbolInfo> _modSymbolInfo;
    std::shared_ptr<platform::ui::UILabel> _lblBid;
    std::shared_ptr<platform::ui::UILabel> _lblAsk;
    std::shared_ptr<platform::ui::UILabel> _point;
    std::shared_ptr<platform::ui::UIView> _upOrDown;
    int _viewSyle = kStyleWithSpread;
};
