#pragma once

#include <cstdint>
#include <string>

// One trading (margin) account with its funds and risk; cached under
// "acc_%i" of its id. The account push and the re-pricing on quotes change
// the cached record in place. Texts the server did not send stay empty.
struct MODUserAccount {
    std::string accCode;
    std::string seatsCode;
    int32_t accId = 0;
    int32_t payId = 0;
    int32_t orgId = 0;
    int32_t dealerId = 0;
    int32_t exchangeId = 0;
    double amWithdrawable = 0;
    double amMarginFree = 0;  // remaining margin less frozen and used margin
    double amMarginFreezed = 0;
    double amMarginRemain = 0;  // balance without floating profit; base of the net value
    double amMarginUsed = 0;
    double amDailyCloseProfit = 0;
    double amPreBalance = 0;
    double amDailyCharge = 0;
    double amDailyInterest = 0;
    double amDailySProfit = 0;
    double netValue = 0;
    double profitClose = 0;
    double profitDyn = 0;          // floating profit of the open tickets
    float risk = 0;                // the risk ratio, formed as riskType says
    std::string riskType;          // "1": used margin / net value; "2": net value / used margin
    double riskCustomWarning = 0;  // warning line of the ratio
    double riskCustomCut = 0;      // cut line of the ratio
    int32_t riskLevel =
        0;  // 0 short of the warning line; 1..3 thirds of the band towards the cut line
    float riskPercent = 0;     // position between the cut line (0) and the warning line (1)
    std::string currencyCode;  // the account's currency
    std::string tradeMarketName;
};
