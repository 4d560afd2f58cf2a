#pragma once

#include <string>

// One exchange rate; cached under "<base>_<counter>".
struct MODCERInfo {
    std::string currencyBase;
    std::string currencyExchange;
    double exchangeRate = 0;
};
