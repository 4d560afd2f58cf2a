#pragma once

#include <memory>

#include "Core/Model/MODSymbolInfo.h"
#include "ui/toolkit/BaseViewController.h"

namespace platform::ui {
class UIView;
}

// The market-order screen of one symbol, opened from the quotation board
// inside a RotateNavigationController. For now only its frame: the symbol,
// the title, the dark background and the back button that closes it.
class MarketOpenViewController : public BaseViewController {
  public:
    static constexpr long kTagBack = 2000;

    // initWithMODSymbolInfo: the symbol to trade, or null for the trading
    // service's first symbol (taken when the view loads).
    explicit MarketOpenViewController(std::shared_ptr<MODSymbolInfo> symbolInfo = nullptr);

    void viewDidLoad() override;
    // Its chart may turn to landscape.
    bool shouldAutorotate() const override { return true; }

    // Buttons by tag.
    void viewPressed(platform::ui::UIView* sender);

    const std::shared_ptr<MODSymbolInfo>& symbolInfo() const { return _modSymbolInfo; }

  protected:
    // The trading service's cached record: quote pushes update it in place.
    std::shared_ptr<MODSymbolInfo> _modSymbolInfo;
};
