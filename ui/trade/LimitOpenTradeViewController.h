#pragma once

#include <memory>

#include "Core/Model/MODSymbolInfo.h"
#include "ui/toolkit/BaseViewController.h"
#include "ui/trade/SymbolSelectDelegate.h"

namespace platform::ui {
class UIView;
}

// The new limit / stop order screen of one symbol. For now only its frame:
// the symbol, the title, the dark background and the back button; it is
// pushed by the market-order screen (back pops it) or presented in its own
// navigation controller (back dismisses it).
class LimitOpenTradeViewController : public BaseViewController {
  public:
    static constexpr long kTagTitle = 6001;
    static constexpr long kTagBack = 1000;

    // initWithMODSymbolInfo:isModel: the symbol (null: the trading service's
    // first), and whether the screen was presented rather than pushed.
    explicit LimitOpenTradeViewController(std::shared_ptr<MODSymbolInfo> symbolInfo = nullptr,
                                          bool isModel = false);

    void viewDidLoad() override;
    void viewPressed(platform::ui::UIView* sender);

    const std::shared_ptr<MODSymbolInfo>& symbolInfo() const { return modSymbolInfo_; }
    bool isModel() const { return isModel_; }
    std::shared_ptr<SymbolSelectDelegate> symbolSelectDelegate() const {
        return symbolSelectDelegate_.lock();
    }
    void setSymbolSelectDelegate(std::weak_ptr<SymbolSelectDelegate> d) {
        symbolSelectDelegate_ = std::move(d);
    }

  private:
    std::shared_ptr<MODSymbolInfo> modSymbolInfo_;
    bool isModel_ = false;
    std::weak_ptr<SymbolSelectDelegate> symbolSelectDelegate_;
};
