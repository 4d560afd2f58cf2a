#pragma once

#include <cstdint>
#include <string>

// One open ticket; cached under its order code.
struct MODHoldBill {
    int32_t accId = 0;
    std::string orderCode;
    std::string symbolCode;
    int32_t symbolId = 0;
};
