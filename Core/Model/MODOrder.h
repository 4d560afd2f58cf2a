#pragma once

#include <cstdint>
#include <string>

// One order request, filled by the service object's order actions and sent
// by BizOrder as the one element of the package's "children".
struct MODOrder {
    int32_t accId = 0;        // the symbol's
    std::string orderType;    // "1" open, "2" close, "3"/"4" limit/stop, "3011" modify, "6" cancel
    std::string limitType;    // not sent
    int32_t pointAsk = 0;     // the symbol's
    int32_t pointBid = 0;     // the symbol's
    std::string bsCode;       // "b", "s" or empty
    std::string orderSerial;  // not sent ("orderSerial" is always "0")
    std::string memo;
    std::string orderCode;    // the ticket or order the action refers to
    std::string orderCodeRe;  // the ticket a close-by-ticket closes
    double orderPrice = 0;
    double orderQuantity = 0;    // whole lots
    std::string orderTime;       // not sent ("orderTime" is the time of sending)
    int32_t pointOffset = 0;     // accepted price deviation, points
    double priceStopLose = 0;    // 0: none
    double priceTakeProfit = 0;  // 0: none
    double revQuantity = 0;      // passed through from the caller of a close
    std::string seatsCode;       // the symbol's
    std::string symbolCode;
    int32_t symbolId = 0;       // the symbol's
    std::string validDateType;  // "0" except for a pending order
    std::string validDate;      // always empty
    int32_t amId = 0;           // not sent ("amId" is always "0")
    int32_t cmDealerId = 0;     // not sent ("cmDealerId" is always "0")
    std::string sendType;       // not sent ("sendType" is always empty)
    std::string cutType;        // "1": close by symbol
    std::string pickInfo;       // never set
};
