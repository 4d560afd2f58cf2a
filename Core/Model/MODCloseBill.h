#pragma once

#include <cstdint>
#include <string>

// One closed ticket.
struct MODCloseBill {
    int32_t accId = 0;
    std::string orderCode;
    std::string symbolCode;
    int32_t symbolId = 0;
};
