#pragma once

#include <memory>
#include <string>

#include "Core/Model/MODHoldBill.h"
#include "Core/Model/MODSymbolInfo.h"
#include "platform/NotificationCenter.h"
#include "platform/ui/TextField.h"
#include "ui/services/BroadcastManager.h"
#include "ui/trade/HoldOrderScreen.h"
#include "ui/trade/LimitPriceChangeDelegate.h"

class sysDB;

// Changes the stop-loss and take-profit of one open ticket: the ticket, the
// live close price and floating profit, and two price inputs filled with
// the ticket's current prices, each captioned with the bound a new price
// must respect at the current mark price (which moves with the ticket's
// pushes). An empty input means none. Pushed from the close screen; a
// successful change closes both screens.
class ModifyHoldBillViewController : public HoldOrderScreen, public LimitPriceChangeDelegate {
  public:
    static constexpr long kTagPricePanel = 3004;
    static constexpr long kTagTakeProfit = 3002;
    static constexpr long kTagStopLose = 3003;
    static constexpr long kTagConfirm = 1003;
    static constexpr const char* kTitle = "修改单据";

    // initWithHoldInfo:
    explicit ModifyHoldBillViewController(std::shared_ptr<MODHoldBill> holdInfo);
    ~ModifyHoldBillViewController() override;

    void onReciveBroadcast(const MoMessage& message);
    // The confirm step: checks the prices, then the order road.
    void modifyHoldBill();
    // The submit step.
    void makeOrder();
    // Sets the two bound captions for the mark price.
    void limitPriceChange(float price) override;

    // The two prices to send (0: none), or why they cannot be sent.
    struct Prices {
        double stopLose = 0;
        double takeProfit = 0;
        std::string refusal;
    };
    Prices readPrices() const;

    const std::shared_ptr<MODHoldBill>& holdBill() const { return modHoldBill_; }

  private:
    void makeView() override;
    void initListen() override;
    void removeListen() override;
    void confirmPressed() override { modifyHoldBill(); }
    // Back to the close screen it was pushed over.
    void goBack() override;

    std::shared_ptr<MODHoldBill> modHoldBill_;
    bool ticketClosed_ = false;  // a push said the ticket closed in full
    std::shared_ptr<MODSymbolInfo> modSymbolInfo_;
    platform::ObserverToken holdListen_;
};
