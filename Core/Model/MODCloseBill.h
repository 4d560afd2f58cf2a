#pragma once

#include <cstdint>
#include <string>

// One closed trade (today's closed tickets). Not cached.
struct MODCloseBill {
    int32_t accId = 0;   // the symbol's after a query
    std::string bsCode;  // the closing side: "s" closes a buy ticket
    double chargeClose = 0;
    double chargeInterest = 0;
    double chargeOpen = 0;
    std::string closeDate;    // as sent
    std::string closeType;    // as sent
    std::string openDate;     // as sent
    std::string orderCode;    // the ticket's number
    std::string orderCodeRe;  // never filled
    double priceClose = 0;
    double priceHold = 0;
    double priceOpen = 0;
    double priceStopLose = 0;
    double priceTakeProfit = 0;
    double profitClose = 0;       // closed profit as the server reports it
    double profitCloseTotal = 0;  // profit against the opening price, symbol currency
    double quantityClose = 0;
    double quantityHold = 0;
    int32_t symbolId = 0;  // the link to the cached symbol
    std::string accCurrency;
    std::string symbolCurrency;
    std::string closeTime;   // never filled
    std::string openTime;    // never filled
    std::string symbolCode;  // the symbol's after a query
    std::string symbolName;  // the symbol's after a query
};
