#pragma once

#include <cstdint>

// One trading account with its funds and risk; cached under "acc_%i" of its id.
struct MODUserAccount {
    int32_t accId = 0;
};
