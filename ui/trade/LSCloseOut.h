#pragma once

#include <optional>
#include <string>

#include "platform/Decimal.h"

// One row of the closed tickets list, filled from the closed trade's record.
struct LSCloseOut {
    std::string orderCode;  // the row's key: the ticket's number
    std::string orderCodeRe;
    std::string symbolCode;
    std::string bsCode;  // the closing side: "s" closed a buy
    platform::Decimal chargeClose;
    platform::Decimal chargeOpen;
    std::optional<double> closeDate;
    std::optional<double> openDate;
    platform::Decimal priceOpen;
    platform::Decimal priceClose;
    platform::Decimal priceHold;
    platform::Decimal profitClose;
    platform::Decimal profitCloseTotal;
    platform::Decimal quantityClose;
    // Not shown: what the ticket held before this close, which tells apart
    // two closes of one ticket alike in time, quantity and price.
    platform::Decimal quantityHold;
    bool isExpanded = false;
};
