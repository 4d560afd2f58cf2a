#pragma once

// The open-ticket query (event "2003", reply "2004") and the ticket parser,
// which the ticket push uses too (on an object without a channel).

#include <memory>

#include "Core/Biz/IBiz.h"
#include "Core/Model/MODHoldBill.h"
#include "Core/Model/MODSymbolInfo.h"
#include "Core/WSPushMessage.h"

class BizHoldBill : public IBizOf<MODList<MODHoldBill>> {
  public:
    explicit BizHoldBill(const std::shared_ptr<webSocket>& ws = nullptr);

    // One new ticket per record of the list, in order.
    MODList<MODHoldBill> pushData(const platform::Json* children) override;
    static std::shared_ptr<MODHoldBill> recordWith(const platform::Json& record);

    // Marks the ticket against its symbol (null when not cached): mark
    // price = the ask for a sell ("s" exactly), else the bid; then the
    // floating profits at `rate`.
    static void markWithSymbol(MODHoldBill& bill, const MODSymbolInfo* symbol, double rate);
    // The floating profits at the ticket's mark price: dynProfitTotal,
    // dynProfit and dynProfitPrice. When they cannot be worked out (no
    // symbol, an unknown symbol type) dynProfit and dynProfitPrice become 0
    // and dynProfitTotal stays.
    static void applyDynProfit(MODHoldBill& bill, const MODSymbolInfo* symbol, double rate);
};
