#pragma once

#include "Core/WSPushMessage.h"

// The part of the service object's delegate that every screen listens to:
// each record push goes out on the event bus under its action
// (kActionReceiveTradeQuotation, ...), with the very list the service
// object delivered. The application delegate is one; a test that runs
// screens on a session of its own sets one as the service object's delegate.
// Exchange rates are taken and dropped: no screen listens for them.
class PushBusRelay : public WSPushMessage {
  public:
    void onQuotedReceived(const MODList<MODSymbolInfo>& symbols) override;
    void onAccountChange(const MODList<MODUserAccount>& accounts) override;
    void onHoldBillChange(const MODList<MODHoldBill>& tickets) override;
    void onHoldPositionChange(const MODList<MODHoldPosition>& positions) override;
    void onLimitBillChange(const MODList<MODLimitBill>& orders) override;
    // The closed-ticket list listens for these.
    void onCloseBillChange(const MODList<MODCloseBill>& closed) override;
    void onExchangeRateChange(const MODList<MODCERInfo>& rates) override;
};
