#pragma once

// The net-position query (event "2027", reply "2028") and the position
// parser.

#include <memory>

#include "Core/Biz/IBiz.h"
#include "Core/Model/MODHoldPosition.h"
#include "Core/Model/MODSymbolInfo.h"
#include "Core/WSPushMessage.h"

class BizHoldPosition : public IBizOf<MODList<MODHoldPosition>> {
  public:
    explicit BizHoldPosition(const std::shared_ptr<webSocket>& ws = nullptr);

    // One new position per record of the list, in order.
    MODList<MODHoldPosition> pushData(const platform::Json* children) override;
    static std::shared_ptr<MODHoldPosition> recordWith(const platform::Json& record);

    // Prices the position with its symbol (null when not cached): the
    // symbol's ask and bid, the average prices money / (quantity x unit),
    // and per side the floating profit (buy closed at the bid, sell at the
    // ask) and that profit at `rate`. What cannot be worked out is 0.
    static void priceWithSymbol(MODHoldPosition& position, const MODSymbolInfo* symbol,
                                double rate);
};
