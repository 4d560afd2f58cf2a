#pragma once

// The closed-ticket query (event "2007", reply "2008") and the closed-ticket
// parser.

#include <memory>

#include "Core/Biz/IBiz.h"
#include "Core/Model/MODCloseBill.h"
#include "Core/Model/MODSymbolInfo.h"
#include "Core/WSPushMessage.h"

class BizCloseBill : public IBizOf<MODList<MODCloseBill>> {
  public:
    explicit BizCloseBill(const std::shared_ptr<webSocket>& ws = nullptr);

    // One new closed ticket per record of the list, in order.
    MODList<MODCloseBill> pushData(const platform::Json* children) override;
    static std::shared_ptr<MODCloseBill> recordWith(const platform::Json& record);

    // profitCloseTotal: the profit from the opening price to the closing
    // price, in the symbol currency, of the ticket the record closed (its
    // direction is the other side of the record's bsCode); 0 when it cannot
    // be worked out (symbol null or of an unknown type).
    static void profitWithSymbol(MODCloseBill& closed, const MODSymbolInfo* symbol, double rate);
};
