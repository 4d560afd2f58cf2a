#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Decimal.h"

// One row of the pending orders list, filled from the order's record.
struct LSLimitOpen {
    bool isExpanded = false;
    std::string bsCode;      // "b" buy, "s" sell
    uint32_t limitType = 0;  // the order kind as the dealer reports it
    std::optional<double> openDate;
    std::string orderCode;  // the row's key
    platform::Decimal orderPrice;
    platform::Decimal priceStopLose;    // 0: none
    platform::Decimal priceTakeProfit;  // 0: none
    platform::Decimal quantityOrder;
    std::string symbolName;
    std::string symbolCode;
    platform::Decimal markPrice;  // the symbol's last price the record carries

    // The kind by name: a limit order ("止限单") is reported as 1, or as 3,
    // which is what the client itself sends for one; a stop order
    // ("停损单") as 2 or 4. Other kinds show their number.
    std::string limitTypeString() const;
};
