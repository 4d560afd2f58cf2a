#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Decimal.h"
#include "platform/ui/Color.h"

// One row of the quotation board, filled from the symbol's record.
struct LSQuotation {
    bool hasPosition = false;        // an open ticket of the symbol existed at the load
    bool hasLimit = false;           // a pending order of the symbol existed at the load
    int32_t upOrDown = 0;            // last tick: above 0 up, 0 unchanged, below 0 down
    std::optional<double> lastTime;  // time of the last quote; nothing when unreadable
    std::string symbolCode;          // the row's key
    std::string symbolName;
    int32_t spread = 0;  // points
    platform::Decimal bid;
    platform::Decimal ask;
    platform::Decimal dailyHighest;
    platform::Decimal dailyLowest;
    int32_t decimal = 0;  // decimals of the prices
    // The colour of the last move that was not flat, kept by the cell; none
    // until the row is first shown.
    std::optional<platform::ui::UIColor> lastColor;
};
