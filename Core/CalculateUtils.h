#pragma once

// The trading formulas of the service client: the floating profit of a
// ticket, the risk ratios of an account, the stop-loss and take-profit
// bounds of a price, price bounds on exact decimal numbers, and a few
// number-to-text functions. Class functions only; no state.
//
// The two block-based functions call at most one of their blocks, before
// they return. Their failures are errors of the domain "CalculateUtils"
// with a code and no message.

#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Core/Model/MODLimitPrice.h"
#include "Core/Model/MODSymbolInfo.h"
#include "platform/Decimal.h"
#include "platform/Error.h"

class CalculateUtils {
  public:
    static constexpr const char* kErrorDomain = "CalculateUtils";
    // Symbol type 3 with an exchange rate not above 0.000001.
    static constexpr long kErrorRate = 1001;
    // A symbol type other than 1, 2 or 3.
    static constexpr long kErrorSymbolType = 1002;
    // The divisor of the chosen risk formula is not above 0.000001.
    static constexpr long kErrorRiskDivisor = 1003;
    // A risk type outside 1 to 8.
    static constexpr long kErrorRiskType = 1004;
    // Symbol type 2 with a zero price, which has no reciprocal.
    static constexpr long kErrorZeroPrice = 1005;
    // A price beyond kMaxPrice (or not finite), or a profit beyond what a
    // double holds: nothing any market trades at.
    static constexpr long kErrorOutOfRange = 1006;

    // Prices above this are no market's: far beyond any quote, where every
    // cent is lost to rounding and profits and their sums can overflow.
    static constexpr double kMaxPrice = 1e15;

    // (profit from the open price, profit from the hold price, the latter
    // times the exchange rate).
    using ProfitBlock = std::function<void(double total, double hold, double converted)>;
    using RiskBlock = std::function<void(double ratio)>;
    using FailBlock = std::function<void(const platform::Error& error)>;

    // The floating profit of `quantity` lots opened in direction `bsCode`
    // ("b" ignoring case is a buy, anything else a sell) and closed at
    // `closePrice`. Symbol type 1 and 3 count in price differences, type 2
    // in differences of the reciprocal prices; only the third value uses
    // the rate.
    static void dynProfitWithClosePrice(double closePrice, double openPrice, double holdPrice,
                                        double quantity, std::string_view bsCode, int32_t unit,
                                        double exchangeRate, std::string_view symbolType,
                                        const ProfitBlock& onSuccess, const FailBlock& onFail);

    // The same calculation without blocks, for the quote road that runs it
    // for every ticket of a symbol: the symbol type already read as its
    // integer, the side as buy or not. Fills the three values and returns 0,
    // or returns the error code and leaves them.
    struct Profits {
        double total = 0;      // against the open price
        double hold = 0;       // against the hold price
        double converted = 0;  // hold times the rate
    };
    static long dynProfit(double closePrice, double openPrice, double holdPrice, double quantity,
                          bool buy, int32_t unit, double exchangeRate, long long type,
                          Profits& out) {
        const double side = buy ? 1.0 : -1.0;
        if (type == 3 && !(exchangeRate > kTinyRate)) return kErrorRate;
        if (type != 1 && type != 2 && type != 3) return kErrorSymbolType;
        if (!(std::fabs(closePrice) <= kMaxPrice) || !(std::fabs(openPrice) <= kMaxPrice) ||
            !(std::fabs(holdPrice) <= kMaxPrice))
            return kErrorOutOfRange;
        if (type == 2) {
            // Profits of type 2 count in reciprocal prices; a zero price (a
            // symbol without a quote yet) has none.
            if (closePrice == 0 || openPrice == 0 || holdPrice == 0) return kErrorZeroPrice;
            closePrice = 1.0 / closePrice;
            openPrice = 1.0 / openPrice;
            holdPrice = 1.0 / holdPrice;
        }
        const double u = static_cast<double>(unit);
        // Adding 0.0 turns the -0 of a sell without quantity into 0.
        const double total = quantity * (closePrice - openPrice) * side * u + 0.0;
        const double hold = quantity * (closePrice - holdPrice) * side * u + 0.0;
        const double converted = hold * exchangeRate;
        // A quantity or a rate no account holds: no profit rather than an
        // infinite one that every sum would carry.
        if (!std::isfinite(total) || !std::isfinite(converted)) return kErrorOutOfRange;
        out = Profits{total, hold, converted};
        return 0;
    }
    // Rates at or below this count as zero.
    static constexpr double kTinyRate = 0.000001;
    // "b" ignoring case.
    static bool isBuyCode(std::string_view bsCode);

    // The risk ratio of type 1 to 8 from net value, margin, locked margin,
    // risk limit, close charge and net quantity.
    static void riskWithType(int32_t type, double netValue, double margin, double lockMargin,
                             double riskLimit, double closeCharge, double netQuantity,
                             const RiskBlock& onSuccess, const FailBlock& onFail);

    // The bounds for a stop-loss and a take-profit at `price` in direction
    // `bsCode` ("b" ignoring case is a buy), rounded to the symbol's
    // decimals.
    static std::shared_ptr<MODLimitPrice> getLimitWithSymbol(const MODSymbolInfo& symbol,
                                                             float price, std::string_view bsCode);

    // ---- price bounds on decimal numbers (offsets are points x minUnit) ----
    using Decimal = platform::Decimal;
    static Decimal highOrLowPriceWithGoodsHigh(const Decimal& goodsHigh, const Decimal& buyPtSub,
                                               const Decimal& sellPtSub, const Decimal& minUnit,
                                               bool isHigh);
    static Decimal minLimitPriceWithQuotaType(int quotaType, bool isBid,
                                              const Decimal& marketAskPrice,
                                              const Decimal& limitPtSub, const Decimal& minUnit);
    static Decimal maxLimitPriceWithQuotaType(int quotaType, bool isBid,
                                              const Decimal& marketBidPrice,
                                              const Decimal& limitPtSub, const Decimal& minUnit);
    // Nothing for a quote type outside 0 to 3.
    static std::optional<Decimal> limitSLPriceWithQuotaType(
        int quotaType, bool isBid, const Decimal& limitPrice, const Decimal& buyPtSub,
        const Decimal& sellPtSub, const Decimal& minUnit, const Decimal& sLPtSub);
    static std::optional<Decimal> limitPriceTPPriceWithQuotaType(int quotaType, bool isBid,
                                                                 const Decimal& limitPrice,
                                                                 const Decimal& tPPtSub,
                                                                 const Decimal& minUnit);
    static Decimal closeoutLimitSLPriceWithQuotaType(int quotaType, bool isBid,
                                                     const Decimal& marketAskPrice,
                                                     const Decimal& marketBidPrice,
                                                     const Decimal& sLPtSub,
                                                     const Decimal& minUnit);
    static Decimal closeoutLimitTPPriceWithQuotaType(int quotaType, bool isBid,
                                                     const Decimal& marketAskPrice,
                                                     const Decimal& marketBidPrice,
                                                     const Decimal& tPPtSub,
                                                     const Decimal& minUnit);

    // ---- texts ----
    // The number of characters after the "." of the number's shortest text.
    static int32_t getDecimalDigits(double number);
    // The value rounded toward minus infinity to `places` decimals, without
    // trailing zeros ("1.23", "2.5"). Not the string helpers' rounding,
    // which goes half away from zero.
    static std::string notRounding(float value, int places);
    // "1023B", "1.0KB", "1.00MB", "1.000GB".
    static std::string bytesToAvaiUnit(int32_t bytes);
};
