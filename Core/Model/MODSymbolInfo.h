#pragma once

#include <cstdint>
#include <string>

// One tradable symbol: its trading rules and its live quote. Cached by the
// service object under its code and under its id; quotes change the cached
// record in place, so a screen holding the record always sees the current
// quote. A history bar is a MODSymbolInfo too, using quotedTime and the four
// prices open/high/low/close. Texts the server did not send stay empty.
struct MODSymbolInfo {
    int32_t accId = 0;           // trading account the symbol belongs to
    double ask = 0;              // a buyer's price
    double bid = 0;              // a seller's price
    int32_t decimal = 0;         // decimals of the prices; one point is 10^-decimal
    float exchangeRate = 0;      // never filled
    std::string isClose;         // never filled
    std::string statusTrade;     // never filled
    std::string isTrade;         // whether the symbol may be traded (server's text)
    int32_t maxPointOffset = 0;  // largest price deviation of a market order, in points
    int32_t maxTradeQuantity = 0;
    int32_t minTradeQuantity = 0;
    int32_t moveRate = 0;
    int32_t pointAsk = 0;         // points added to the current price to make the ask
    int32_t pointBid = 0;         // points taken from the current price to make the bid
    int32_t pointLimit = 0;       // limit-order distance, in points
    int32_t pointStopLose = 0;    // smallest stop-loss distance, in points
    int32_t pointTakeProfit = 0;  // smallest take-profit distance, in points
    double priceClose = 0;
    double priceCurrent = 0;
    double priceHighest = 0;
    double priceLowest = 0;
    double priceOpen = 0;
    int32_t quantityStep = 0;
    std::string seatsCode;   // sent by the order requests; empty
    std::string symbolCode;  // main key of the symbol cache
    std::string symbolCurrency;
    std::string accCurrency;  // currency of the symbol's account
    int32_t symbolId = 0;     // second key of the symbol cache
    std::string symbolName;
    std::string symbolType;  // selects the profit rule
    int32_t tradeMarketId = 0;
    std::string tradeMarketName;
    std::string tradeModel;
    std::string traderAccess;
    std::string tradeBillType;
    std::string deliveryModel;
    double dailyLimitUp = 0;
    double dailyLimitDown = 0;
    int32_t quantityMax = 0;
    int32_t unit = 0;            // contract size
    int32_t spread = 0;          // |pointAsk - pointBid|
    double dailyHighest = 0;     // the day's high, kept by the quote push
    double dailyLowest = 0;      // the day's low, kept by the quote push
    int32_t upOrDown = 0;        // direction of the last price change
    std::string lastTime;        // time of the last quote, server's text
    int64_t quotedTime = 0;      // time of a history bar, seconds since 1970
    int64_t beginTime = 0;       // beginTradeTime as seconds since 1970
    int64_t endTime = 0;         // endTradeTime as seconds since 1970
    std::string beginTradeTime;  // "yyyy-MM-dd HH:mm:ss"
    std::string endTradeTime;    // "yyyy-MM-dd HH:mm:ss"
};
