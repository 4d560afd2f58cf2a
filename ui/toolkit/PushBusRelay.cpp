#include "ui/toolkit/PushBusRelay.h"

#include "ui/services/BroadcastManager.h"

namespace {

template <typename T>
void post(const MODList<T>& records, const char* action) {
    auto message = std::make_shared<MoMessage>();
    message->obj = records;
    BroadcastManager::postMessage(std::move(message), action);
}

}  // namespace

void PushBusRelay::onQuotedReceived(const MODList<MODSymbolInfo>& symbols) {
    post(symbols, kActionReceiveTradeQuotation);
}

void PushBusRelay::onAccountChange(const MODList<MODUserAccount>& accounts) {
    post(accounts, kActionReceiveAccountChange);
}

void PushBusRelay::onHoldBillChange(const MODList<MODHoldBill>& tickets) {
    post(tickets, kActionReceiveHoldBillChange);
}

void PushBusRelay::onHoldPositionChange(const MODList<MODHoldPosition>& positions) {
    post(positions, kActionReceiveHoldPositionChange);
}

void PushBusRelay::onLimitBillChange(const MODList<MODLimitBill>& orders) {
    post(orders, kActionReceiveLimitBillChange);
}

void PushBusRelay::onCloseBillChange(const MODList<MODCloseBill>& closed) {
    post(closed, kActionReceiveCloseBillChange);
}

void PushBusRelay::onExchangeRateChange(const MODList<MODCERInfo>&) {}
