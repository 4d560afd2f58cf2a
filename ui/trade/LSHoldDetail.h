#pragma once

#include <optional>
#include <string>

#include "platform/Decimal.h"

// One row of the open tickets list, filled from the ticket's record.
struct LSHoldDetail {
    std::string orderCode;  // the row's key
    std::string symbolCode;
    std::string symbolName;
    platform::Decimal priceHold;
    platform::Decimal priceOpen;
    platform::Decimal closeoutPrice;  // the price the ticket would close at now
    std::string bsCode;               // "b" buy, "s" sell
    platform::Decimal quantityHold;
    std::optional<double> openDate;  // nothing when the record's text is unreadable
    platform::Decimal chargeOpen;
    platform::Decimal chargeInterest;
    platform::Decimal priceStopLose;    // 0: none
    platform::Decimal priceTakeProfit;  // 0: none
    platform::Decimal dynProfit;        // in the account currency
    platform::Decimal dynProfitTotal;   // with fees and interest, in the account currency
};
