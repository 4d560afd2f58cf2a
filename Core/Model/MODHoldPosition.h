#pragma once

#include <cstdint>
#include <string>

// The net position of one symbol; cached under the symbol code.
struct MODHoldPosition {
    int32_t accId = 0;
    std::string symbolCode;
    int32_t symbolId = 0;
};
