#pragma once

#include <memory>
#include <string>

#include "Core/Model/MODHoldPosition.h"
#include "Core/Model/MODSymbolInfo.h"
#include "platform/NotificationCenter.h"
#include "platform/ui/TextField.h"
#include "ui/services/BroadcastManager.h"
#include "ui/trade/HoldOrderScreen.h"
#include "ui/trade/OrderScreenKit.h"

class sysDB;
class ViewMarketPricePosition;

// Closes at market all or part of one side of the net position in a symbol:
// "平买" sells back the buys, "平卖" buys back the sells. It shows the side's
// quantity and average price, the price it closes at now and its floating
// profit, the quantity to close (the whole side at first) and the price
// deviation. A side without quantity cannot be chosen: when a push empties
// the side shown, the screen moves to the other side and shows it whole;
// with nothing left on either side the confirm button is disabled. Opened
// from the net positions list inside its own navigation controller; a
// successful close dismisses it.
class MarketCloseSymbolViewController : public HoldOrderScreen {
  public:
    static constexpr long kTagConfirm = 1004;
    static constexpr long kTagSide = 3000;
    static constexpr long kTagSummary = 4000;
    static constexpr long kTagPricePanel = 5000;
    static constexpr long kTagQuantityCaption = orderkit::kTagCloseQuantityCaption;
    static constexpr long kTagDeviationCaption = orderkit::kTagCloseDeviationCaption;
    static constexpr long kTagQuantity = orderkit::kTagCloseQuantity;
    static constexpr long kTagDeviation = orderkit::kTagCloseDeviation;
    // The deviation the screen starts with, whatever the setting says.
    static constexpr const char* kDeviation = "5";

    // initWithHoldInfo: the position to close (null: the service no longer
    // knows it; nothing can be closed).
    explicit MarketCloseSymbolViewController(std::shared_ptr<MODHoldPosition> holdInfo);
    ~MarketCloseSymbolViewController() override;

    void viewValueChange(platform::ui::UIControl* sender);
    // Shows the chosen side (or the other, when the chosen one holds nothing).
    void setPositionInfo();
    // The confirm step: checks the inputs, then the order road.
    void marketCloseOut();
    // The submit step.
    void marketClose();
    void onReciveBroadcast(const MoMessage& message);

    // What the quantity and deviation fields say, or why they cannot be
    // sent, and the closing order's side.
    struct CloseInputs : orderkit::CloseInputs {
        std::string bsCode;
    };
    CloseInputs readInputs() const;

    const std::shared_ptr<MODHoldPosition>& holdPosition() const { return modHoldPosition_; }
    const std::shared_ptr<MODSymbolInfo>& symbolInfo() const { return modSymbolInfo_; }
    int lastSelect() const { return lastSelect_; }

  private:
    void makeView() override;
    void initListen() override;
    void removeListen() override;
    void confirmPressed() override { marketCloseOut(); }
    // The quantity of the side (0 buys, 1 sells) of the current record.
    double quantityOf(long side) const;

    std::shared_ptr<MODHoldPosition> modHoldPosition_;
    int lastSelect_ = -1;
    std::shared_ptr<MODSymbolInfo> modSymbolInfo_;
    // The closing side the user confirmed; empty when none is waiting.
    std::string confirmedBsCode_;
    platform::ObserverToken positionListen_;
};
