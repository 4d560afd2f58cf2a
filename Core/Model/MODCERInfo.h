#pragma once

#include <cstdint>
#include <string>

// One exchange rate of a currency pair; cached under "<base>_<counter>".
struct MODCERInfo {
    std::string currencyBase;
    std::string currencyExchange;
    double exchangeRate = 0;
    int32_t exchangeRateId = 0;  // never sent
    std::string sourceCode;      // never sent
    std::string tradeDate;       // never sent
};
