#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Core/Model/MODHoldBill.h"
#include "Core/Model/MODSymbolInfo.h"
#include "platform/NotificationCenter.h"
#include "platform/ui/TextField.h"
#include "ui/services/BroadcastManager.h"
#include "ui/trade/HoldOrderScreen.h"
#include "ui/trade/OrderScreenKit.h"

class sysDB;
class ViewMarketPrice;

// Closes one open ticket at market: the ticket, the live close price and
// floating profit, the quantity to close (all of the ticket at first) and
// the price deviation, the ticket's take-profit and stop-loss, and the
// confirm button. The segment "修改单据" pushes the stop-loss / take-profit
// change of the same ticket. Opened from the open tickets list inside its
// own navigation controller; a successful close dismisses it.
class MarketCloseViewController : public HoldOrderScreen {
  public:
    static constexpr long kTagScroll = 4000;
    static constexpr long kTagSegment = 3000;
    static constexpr long kTagPricePanel = 3004;
    static constexpr long kTagQuantityCaption = orderkit::kTagCloseQuantityCaption;
    static constexpr long kTagDeviationCaption = orderkit::kTagCloseDeviationCaption;
    static constexpr long kTagQuantity = orderkit::kTagCloseQuantity;
    static constexpr long kTagDeviation = orderkit::kTagCloseDeviation;
    static constexpr long kTagConfirm = 1004;
    static constexpr const char* kMemo = "Test";

    // initWithHoldInfo: the ticket to close (null: the service no longer
    // knows it, and the close fails with the service's word).
    explicit MarketCloseViewController(std::shared_ptr<MODHoldBill> holdInfo);
    ~MarketCloseViewController() override;

    void viewValueChange(platform::ui::UIControl* sender);
    void onReciveBroadcast(const MoMessage& message);
    // The confirm step: checks the inputs, then the order road.
    void marketCloseOut();
    // The submit step.
    void marketClose();

    // What the quantity and deviation fields say, or why they cannot be sent.
    orderkit::CloseInputs readInputs() const;

    const std::shared_ptr<MODHoldBill>& holdBill() const { return modHoldBill_; }
    const std::shared_ptr<MODSymbolInfo>& symbolInfo() const { return modSymbolInfo_; }

  private:
    // The service's record of the ticket when it holds one: after the
    // tickets were loaded again, only that one follows the pushes.
    std::shared_ptr<MODHoldBill> currentTicket() const;
    void makeView() override;
    void initListen() override;
    void removeListen() override;
    void confirmPressed() override { marketCloseOut(); }
    std::string priceText(double price) const;

    std::shared_ptr<MODHoldBill> modHoldBill_;
    bool ticketClosed_ = false;  // a push said the ticket closed in full
    std::shared_ptr<MODSymbolInfo> modSymbolInfo_;
    platform::ObserverToken holdListen_;
};
