#include "Core/CalculateUtils.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "Core/Funs.h"
#include "platform/Strings.h"

using platform::Decimal;

namespace {

// Divisors and rates at or below this count as zero.
constexpr double kTiny = 0.000001;

platform::Error calculateError(long code) {
    return platform::Error(CalculateUtils::kErrorDomain, code, std::string());
}

bool isBuy(std::string_view bsCode) {
    return bsCode.size() == 1 && (bsCode[0] == 'b' || bsCode[0] == 'B');
}

// A success with no success block still tells the caller something came
// back: the failure block gets an error of code 0.
template <typename Block, typename... Values>
void succeed(const Block& onSuccess, const CalculateUtils::FailBlock& onFail, Values... values) {
    if (onSuccess) {
        onSuccess(values...);
    } else if (onFail) {
        onFail(calculateError(0));
    }
}

void fail(const CalculateUtils::FailBlock& onFail, long code) {
    if (onFail) onFail(calculateError(code));
}

}  // namespace

bool CalculateUtils::isBuyCode(std::string_view bsCode) {
    return isBuy(bsCode);
}

void CalculateUtils::dynProfitWithClosePrice(double closePrice, double openPrice, double holdPrice,
                                             double quantity, std::string_view bsCode, int32_t unit,
                                             double exchangeRate, std::string_view symbolType,
                                             const ProfitBlock& onSuccess,
                                             const FailBlock& onFail) {
    Profits p;
    const long error = dynProfit(closePrice, openPrice, holdPrice, quantity, isBuy(bsCode), unit,
                                 exchangeRate, platform::leadingInteger(symbolType), p);
    if (error != 0) return fail(onFail, error);
    succeed(onSuccess, onFail, p.total, p.hold, p.converted);
}

void CalculateUtils::riskWithType(int32_t type, double netValue, double margin, double lockMargin,
                                  double riskLimit, double closeCharge, double netQuantity,
                                  const RiskBlock& onSuccess, const FailBlock& onFail) {
    const double n = netValue, m = margin, l = lockMargin;
    double dividend = 0, divisor = 0;
    switch (type) {
        case 1:
            dividend = n, divisor = m;
            break;
        case 2:
            dividend = m, divisor = n;
            break;
        case 3:
            dividend = m - l, divisor = n - l;
            break;
        case 4:
            dividend = n - l, divisor = m - l;
            break;
        case 5:
            dividend = n, divisor = riskLimit;
            break;
        case 6:
            dividend = riskLimit, divisor = n;
            break;
        case 7:
            dividend = m - l, divisor = (n - l) - closeCharge * netQuantity;
            break;
        case 8:
            dividend = (n - l) - closeCharge * netQuantity, divisor = m - l;
            break;
        default:
            return fail(onFail, kErrorRiskType);
    }
    if (!(divisor > kTiny)) return fail(onFail, kErrorRiskDivisor);
    double ratio = dividend / divisor;
    if (type == 1) ratio = std::min(ratio, 1.0);
    succeed(onSuccess, onFail, ratio);
}

std::shared_ptr<MODLimitPrice> CalculateUtils::getLimitWithSymbol(const MODSymbolInfo& symbol,
                                                                  float price,
                                                                  std::string_view bsCode) {
    const bool buy = isBuy(bsCode);
    const double side = buy ? 1.0 : -1.0;
    // In double and in whole points: single precision loses the last digit
    // of prices above a few thousand. The price is taken to the point grid,
    // so the bounds come out at the symbol's decimals.
    const int decimal = std::clamp(symbol.decimal, 0, Funs::kMaxPriceDecimals);
    const double f = std::pow(10.0, decimal);
    const double points = std::round(static_cast<double>(price) * f);
    auto limit = std::make_shared<MODLimitPrice>();
    limit->limitPrice = price;
    limit->stopLose = static_cast<float>((points - side * symbol.pointStopLose) / f);
    limit->takeProfit = static_cast<float>((points + side * symbol.pointTakeProfit) / f);
    limit->slStr = buy ? "<" : ">";
    limit->tpStr = buy ? ">" : "<";
    return limit;
}

// ---- price bounds on decimal numbers ----------------------------------------

Decimal CalculateUtils::highOrLowPriceWithGoodsHigh(const Decimal& goodsHigh,
                                                    const Decimal& buyPtSub,
                                                    const Decimal& sellPtSub,
                                                    const Decimal& minUnit, bool isHigh) {
    const Decimal a = goodsHigh + buyPtSub * minUnit;
    const Decimal b = goodsHigh + sellPtSub * minUnit;
    if (a == b) return a;
    if (isHigh) return a > b ? a : b;
    return a < b ? a : b;
}

Decimal CalculateUtils::minLimitPriceWithQuotaType(int /*quotaType*/, bool /*isBid*/,
                                                   const Decimal& marketAskPrice,
                                                   const Decimal& limitPtSub,
                                                   const Decimal& minUnit) {
    return marketAskPrice + limitPtSub * minUnit;
}

Decimal CalculateUtils::maxLimitPriceWithQuotaType(int /*quotaType*/, bool /*isBid*/,
                                                   const Decimal& marketBidPrice,
                                                   const Decimal& limitPtSub,
                                                   const Decimal& minUnit) {
    return marketBidPrice - limitPtSub * minUnit;
}

std::optional<Decimal> CalculateUtils::limitSLPriceWithQuotaType(
    int quotaType, bool isBid, const Decimal& limitPrice, const Decimal& buyPtSub,
    const Decimal& sellPtSub, const Decimal& minUnit, const Decimal& sLPtSub) {
    if (quotaType < 0 || quotaType > 3) return std::nullopt;
    const Decimal offset = sLPtSub * minUnit;
    if (isBid) return ((limitPrice - sellPtSub * minUnit) + buyPtSub * minUnit) + offset;
    const Decimal base = (limitPrice - buyPtSub * minUnit) + sellPtSub * minUnit;
    return quotaType == 1 ? base + offset : base - offset;
}

std::optional<Decimal> CalculateUtils::limitPriceTPPriceWithQuotaType(int quotaType, bool isBid,
                                                                      const Decimal& limitPrice,
                                                                      const Decimal& tPPtSub,
                                                                      const Decimal& minUnit) {
    if (quotaType < 0 || quotaType > 3) return std::nullopt;
    const Decimal offset = tPPtSub * minUnit;
    // Quote type 1 counts the other way round.
    const bool down = quotaType == 1 ? !isBid : isBid;
    return down ? limitPrice - offset : limitPrice + offset;
}

Decimal CalculateUtils::closeoutLimitSLPriceWithQuotaType(int quotaType, bool isBid,
                                                          const Decimal& marketAskPrice,
                                                          const Decimal& marketBidPrice,
                                                          const Decimal& sLPtSub,
                                                          const Decimal& minUnit) {
    const Decimal offset = sLPtSub * minUnit;
    if (quotaType == 1) return isBid ? marketBidPrice + offset : marketAskPrice - offset;
    return isBid ? marketBidPrice - offset : marketAskPrice + offset;
}

Decimal CalculateUtils::closeoutLimitTPPriceWithQuotaType(int quotaType, bool isBid,
                                                          const Decimal& marketAskPrice,
                                                          const Decimal& marketBidPrice,
                                                          const Decimal& tPPtSub,
                                                          const Decimal& minUnit) {
    const Decimal offset = tPPtSub * minUnit;
    if (quotaType == 1) return isBid ? marketAskPrice - offset : marketBidPrice + offset;
    return isBid ? marketAskPrice + offset : marketBidPrice - offset;
}

// ---- texts -----------------------------------------------------------------

int32_t CalculateUtils::getDecimalDigits(double number) {
    const std::string text = platform::shortestDouble(number);
    const auto dot = text.find('.');
    return dot == std::string::npos ? 0 : static_cast<int32_t>(text.size() - dot - 1);
}

std::string CalculateUtils::notRounding(float value, int places) {
    // The float's own shortest text (1.239f is "1.239", not 1.2389999...),
    // so a value that prints as 0.29 is not rounded down to 0.28.
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    if (ec != std::errc()) return "NaN";
    const auto decimal = Decimal::parse(std::string_view(buf, static_cast<size_t>(end - buf)));
    if (!decimal) return "NaN";
    return decimal->rounded(places, Decimal::Rounding::Down).toString();
}

std::string CalculateUtils::bytesToAvaiUnit(int32_t bytes) {
    constexpr double kKB = 1024.0, kMB = 1048576.0, kGB = 1073741824.0;
    if (bytes < 1024) return platform::stringf("%dB", bytes);
    if (bytes < 1048576) return platform::stringf("%.1fKB", bytes / kKB);
    if (bytes < 1073741824) return platform::stringf("%.2fMB", bytes / kMB);
    return platform::stringf("%.3fGB", bytes / kGB);
}
