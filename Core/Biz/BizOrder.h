#pragma once

// An order request on the trading channel: the order record rendered as the
// one element of the package's "children", sent with the action's event
// code ("3001" market open, "2039" close by symbol, "3003" close by ticket,
// "3005" pending order, "3011" stop-loss/take-profit change, "3009" cancel).

#include <cstdint>
#include <memory>
#include <string>

#include "Core/Biz/IBiz.h"
#include "Core/Model/MODOrder.h"
#include "platform/Json.h"

class BizOrder : public IBiz {
  public:
    explicit BizOrder(const std::shared_ptr<webSocket>& ws = nullptr);

    // Builds and sends the order. The success block runs when the server
    // answers "0"; every other outcome (its refusal, "10002" without a
    // channel, "10003" with a closed one, "sys_1006") goes to the failure
    // block unchanged.
    void makeOrderWithSID(const std::string& sid, const std::string& uid, const MODOrder& order,
                          int32_t decimal, const std::string& eventCode, KAVDoneBlock onSuccess,
                          KAVFailureBlock onFailure);

    // The order object as sent: 26 keys, every value a string, prices with
    // `decimal` digits (held to 0..10), the quantity without decimals,
    // "orderTime" = `now`.
    static platform::Json orderData(const MODOrder& order, int32_t decimal, const std::string& now);
};
