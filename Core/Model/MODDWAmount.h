#pragma once

#include <cstdint>
#include <string>

// One deposit or withdrawal of an account.
struct MODDWAmount {
    int32_t accId = 0;
    // The kind of movement: "1" deposit, "2" withdrawal.
    std::string amType;
    std::string changeDate;
    std::string memo;
    std::string userId;
    double amChange = 0;
};
