#pragma once

#include <string>

// The stop-loss and take-profit bounds for one price and direction: the
// price moved by the symbol's smallest stop-loss distance against the
// position and by its smallest take-profit distance in its favour.
struct MODLimitPrice {
    float limitPrice = 0;  // the price the bounds are for
    float stopLose = 0;
    float takeProfit = 0;
    std::string slStr;  // "<" for a buy, ">" for a sell
    std::string tpStr;  // ">" for a buy, "<" for a sell
};
