#pragma once

// The pending-order query (event "2005", reply "2006") and the pending-order
// parser.

#include <memory>

#include "Core/Biz/IBiz.h"
#include "Core/Model/MODLimitBill.h"
#include "Core/Model/MODSymbolInfo.h"
#include "Core/WSPushMessage.h"

class BizLimitBill : public IBizOf<MODList<MODLimitBill>> {
  public:
    explicit BizLimitBill(const std::shared_ptr<webSocket>& ws = nullptr);

    // One new pending order per record of the list, in order.
    MODList<MODLimitBill> pushData(const platform::Json* children) override;
    static std::shared_ptr<MODLimitBill> recordWith(const platform::Json& record);

    // Marks the order against its symbol (null when not cached): mark price
    // = the bid for a buy ("b" or "B"), else the ask; rangePoint = the
    // points between the mark price and the order price.
    static void markWithSymbol(MODLimitBill& order, const MODSymbolInfo* symbol);
};
