#pragma once

#include <cstdint>
#include <string>

// One tradable symbol: its trading rules and its live quote. Cached by the
// service object under its code and under its id; quotes change the cached
// record in place.
struct MODSymbolInfo {
    int32_t accId = 0;         // the trading account the symbol belongs to
    std::string symbolCode;    // main key of the symbol cache
    int32_t symbolId = 0;      // second key of the symbol cache
};
