#pragma once

#include <cstdint>
#include <string>

// One open position ticket; cached by the service object under its order
// code. The query fills the symbol-derived fields and the floating profits;
// quotes re-price the cached record in place.
struct MODHoldBill {
    int32_t accId = 0;   // account id; the symbol's after a query
    std::string bsCode;  // "b" buy, "s" sell
    double chargeInterest = 0;
    double chargeOpen = 0;
    double marginUsed = 0;
    std::string openDate;        // as the server sends it
    std::string orderCode;       // ticket number; the cache key
    double priceHold = 0;        // base of dynProfit
    double priceOpen = 0;        // base of dynProfitTotal
    float quantityHold = 0;      // lots
    double priceStopLose = 0;    // 0: none
    std::string symbolCode;      // the symbol's after a query
    int32_t symbolId = 0;        // the key the symbol is looked up by
    double priceTakeProfit = 0;  // 0: none
    int32_t decimal = 0;         // not filled by the service
    // What every quote of the symbol writes, in one 32-byte block that no
    // cache line boundary cuts through: the re-pricing of many tickets
    // touches one line of each. The two profits the position sums come
    // first, side by side, where the re-pricing takes them for the sums.
    alignas(32) double dynProfitPrice = 0;  // dynProfit in the account currency
    double dynProfit = 0;       // floating profit from the holding price, symbol currency
    double markPrice = 0;       // closing price now: ask for a sell, bid otherwise
    double dynProfitTotal = 0;  // floating profit from the opening price, symbol currency
    int32_t upOrDown = 0;        // not filled by the service
    std::string symbolName;
    std::string tradeMarketName;
    std::string accCurrency;
    std::string symbolCurrency;
    double profitSettl = 0;  // settled profit of the ticket
};
