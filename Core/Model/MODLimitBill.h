#pragma once

#include <cstdint>
#include <string>

// One pending limit or stop order; cached by the service object under its
// order code.
struct MODLimitBill {
    int32_t accId = 0;      // account id; the symbol's after a query
    std::string bsCode;     // "b" buy, "s" sell
    std::string limitType;  // kind of pending order, as the server reports it
    double marginFreezed = 0;
    std::string memo;
    std::string openDate;   // as the server sends it
    std::string orderCode;  // order number; the cache key
    double orderPrice = 0;  // price at which the order is to be filled
    double priceStopLose = 0;
    double priceTakeProfit = 0;
    double quantityComplete = 0;
    double quantityOrder = 0;
    std::string validDate;
    std::string validDateType;
    std::string symbolName;  // the symbol's after a query
    std::string symbolCode;  // the symbol's after a query
    int32_t symbolId = 0;    // the key the symbol is looked up by
    std::string tradeMarketName;
    std::string accCurrency;
    std::string symbolCurrency;
    double markPrice = 0;    // market price now: ask for a sell, bid otherwise
    int32_t rangePoint = 0;  // points between markPrice and orderPrice
};
