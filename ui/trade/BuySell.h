#pragma once

#include <cstdint>

// The side of an order. The market-order screen's confirm and submit steps
// take it (0 buy, 1 sell); the service is told its side code, "b" or "s".
enum class BuySell : int32_t {
    Buy = 0,
    Sell = 1,
};

// The side code of an order request.
constexpr const char* bsCodeFor(BuySell side) {
    switch (side) {
        case BuySell::Buy:
            return "b";
        case BuySell::Sell:
            return "s";
    }
    return "s";  // not reached: every side is named above
}
