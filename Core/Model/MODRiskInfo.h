#pragma once

#include <cstdint>

// One risk notice of an account.
struct MODRiskInfo {
    int32_t accId = 0;
};
