#pragma once

#include <string>

#include "platform/Decimal.h"

// One row of the net positions list: one symbol's buys and sells, filled
// from its position record.
struct LSHoldPosition {
    std::string symbolCode;  // the row's key
    std::string symbolName;
    platform::Decimal quantityBuy;
    platform::Decimal quantitySell;
    platform::Decimal avgBuy;
    platform::Decimal avgSell;
    platform::Decimal bid;
    platform::Decimal ask;
    platform::Decimal dynProfit;      // dpBuy + dpSell; profits in the account currency
    platform::Decimal positionPrice;  // the net quantity: quantityBuy - quantitySell
    platform::Decimal dpBuy;
    platform::Decimal dpSell;
    bool isExpanded = false;
};
