#pragma once

#include <cstdint>
#include <string>

// The net position of one account in one symbol: the totals of its buy side
// and its sell side. Cached by the service object under the symbol code.
struct MODHoldPosition {
    int32_t accId = 0;    // the symbol's after a query
    double moneyBuy = 0;  // average buy price = moneyBuy / (quantityBuy x unit)
    double moneySell = 0;
    double quantityBuy = 0;
    double quantitySell = 0;
    int32_t symbolId = 0;  // the link to the cached symbol
    std::string accCode;
    std::string symbolName;       // the symbol's after a query
    std::string symbolCode;       // the cache key; the symbol's after a query
    std::string tradeMarketName;  // the symbol's after a query
    double ask = 0;               // the symbol's
    double bid = 0;               // the symbol's
    double dpBuy = 0;             // floating profit of the buy side, symbol currency
    double dpSell = 0;            // floating profit of the sell side, symbol currency
    double dppBuy = 0;            // dpBuy in the account currency
    double dppSell = 0;           // dpSell in the account currency
    double avgBuy = 0;
    double avgSell = 0;
    double quantityApplication = 0;  // as sent; not used by the client
    std::string bsCode;              // as sent; not used by the client
    double marginDelivery = 0;       // never filled
    std::string accCurrency;
    std::string symbolCurrency;
};
