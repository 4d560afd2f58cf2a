#pragma once

// The fields a trading record (ticket, pending order, position, closed
// ticket) takes from its cached symbol.

#include <string>

#include "Core/Model/MODSymbolInfo.h"

// Copies them from the symbol; 0 and empty without one.
template <typename Record>
void takeSymbolFields(Record& r, const MODSymbolInfo* s) {
    r.accId = s ? s->accId : 0;
    r.symbolCode = s ? s->symbolCode : std::string();
    r.symbolName = s ? s->symbolName : std::string();
    if constexpr (requires { r.tradeMarketName; })
        r.tradeMarketName = s ? s->tradeMarketName : std::string();
    r.accCurrency = s ? s->accCurrency : std::string();
    r.symbolCurrency = s ? s->symbolCurrency : std::string();
}
