#pragma once

#include <cstdint>
#include <string>

// One pending (limit or stop) order; cached under its order code.
struct MODLimitBill {
    int32_t accId = 0;
    std::string orderCode;
    std::string symbolCode;
    int32_t symbolId = 0;
};
