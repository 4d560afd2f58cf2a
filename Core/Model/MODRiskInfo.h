#pragma once

#include <cstdint>
#include <string>

// One risk notice of an account: its ratio has passed the warning or the
// cut line.
struct MODRiskInfo {
    int32_t accId = 0;
    std::string notifyType;  // "1" warning line, "2" cut line (server's text)
    std::string riskType;    // as in MODUserAccount
    double netValue = 0;
    double usedMargin = 0;
    double riskValue = 0;
    double threshold = 0;
};
