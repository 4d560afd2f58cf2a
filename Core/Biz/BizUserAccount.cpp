#include "Core/Biz/BizUserAccount.h"

#include <cmath>

#include "Core/Biz/ReplyValues.h"

using platform::Json;

BizUserAccount::BizUserAccount(const std::shared_ptr<webSocket>& ws) : IBizOf(ws, "2001", "2002") {}

MODList<MODUserAccount> BizUserAccount::pushData(const Json* children) {
    MODList<MODUserAccount> accounts;
    if (!children || !children->is_array()) return accounts;
    for (const Json& element : *children) {
        if (auto account = parseAccount(element)) accounts.push_back(std::move(account));
    }
    return accounts;
}

std::shared_ptr<MODUserAccount> BizUserAccount::parseAccount(const Json& e) {
    using namespace reply;
    if (!e.is_object()) return nullptr;
    auto a = std::make_shared<MODUserAccount>();
    a->accCode = textValue(e, "accCode");
    a->seatsCode = textValue(e, "seatsCode");
    a->accId = int32Value(e, "accId");
    a->payId = int32Value(e, "payId");
    a->orgId = int32Value(e, "orgId");
    a->dealerId = int32Value(e, "dealerId");
    a->exchangeId = int32Value(e, "exchangeId");
    a->amWithdrawable = doubleValue(e, "amWithdrawable");
    a->amMarginFreezed = doubleValue(e, "amMarginFreezed");
    a->amMarginRemain = doubleValue(e, "amMarginRemain");
    a->amMarginUsed = doubleValue(e, "amMarginUsed");
    a->amDailyCloseProfit = doubleValue(e, "amDailyCloseProfit");
    a->amPreBalance = doubleValue(e, "amPreBalance");
    a->amDailyCharge = doubleValue(e, "amDailyCharge");
    a->amDailyInterest = doubleValue(e, "amDailyInterest");
    a->amDailySProfit = doubleValue(e, "amDailySProfit");
    a->profitClose = doubleValue(e, "profitClose");
    a->profitDyn = doubleValue(e, "profitDyn");
    a->risk = floatValue(e, "risk");
    // Compared with "1" and "2"; a number sent here is kept as its text.
    a->riskType = textValue(e, "riskType");
    a->riskCustomWarning = doubleValue(e, "riskCustomWarning");
    a->riskCustomCut = doubleValue(e, "riskCustomCut");
    a->currencyCode = textValue(e, "currencyCode");
    a->tradeMarketName = textValue(e, "tradeMarketName");

    a->riskLevel = 0;
    a->riskPercent = 0;
    a->netValue = a->amMarginRemain;
    a->amMarginFree = a->amMarginRemain - (a->amMarginFreezed + a->amMarginUsed);
    if (a->riskType == "2") {
        a->risk = a->amMarginUsed == 0 ? 0.0f : toFloat(a->netValue / a->amMarginUsed);
    } else if (a->riskType == "1") {
        a->risk = a->netValue == 0 ? 0.0f : toFloat(a->amMarginUsed / a->netValue);
    }
    assessRisk(*a);
    return a;
}

void BizUserAccount::assessRisk(MODUserAccount& account) {
    const double w = account.riskCustomWarning;
    const double c = account.riskCustomCut;
    const float r = account.risk;
    // Bounds of the thirds of the band between the warning and the cut line,
    // the first next to the warning line.
    const float l1 = reply::toFloat(std::fabs((w - c) / 3 - w));
    const float l2 = reply::toFloat(std::fabs(2 * (w - c) / 3 - w));

    // Margin in use against a net value at or below 0: past any cut line,
    // though the ratio then comes out 0 or turned negative.
    const bool wipedOut = account.amMarginUsed > 0 && !(account.netValue > 0);
    int32_t level = 0;
    if ((account.riskType == "1" || account.riskType == "2") && wipedOut) {
        level = 3;
    } else if (account.riskType == "2") {
        // The ratio falls as the danger grows.
        if (r > w || r == 0) {
            level = 0;
        } else if (r >= l1) {
            level = 1;
        } else if (r >= l2) {
            level = 2;
        } else {
            level = 3;
        }
    } else if (account.riskType == "1") {
        // The ratio rises as the danger grows.
        if (r < w) {
            level = 0;
        } else if (r <= l1) {
            level = 1;
        } else if (r <= l2) {
            level = 2;
        } else {
            level = 3;
        }
    }

    const float d = reply::toFloat(w - c);
    float p = 1;
    if (static_cast<double>(d) > 0.01) {
        p = reply::toFloat((static_cast<double>(d) - (w - static_cast<double>(r))) / d);
        if (p < 0) p = 0;
        if (p > 1) p = 1;
    }
    account.riskPercent = p;
    account.riskLevel = level;
}
