#pragma once

// Small operations shared by the trading service client: the process-wide
// message order, a delayed run on the main run loop, logging, date texts,
// price texts and a few trading formulas.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class Funs {
  public:
    // The next message order: 3 first, counting up to 65535, then 2, 3, ...
    // One counter for every channel and package of the process; nothing
    // resets it.
    static int32_t getMessageOrder();
    // Sets the counter (the next number is the one after it); for tests and tools.
    static void setMessageOrder(int32_t value);

    // Runs the block once on the main run loop after `seconds` (fire and
    // forget: owners that may go away keep a platform::Timer instead).
    static void delayRunWithSeconds(float seconds, std::function<void()> process);

    static void log(std::string_view text);

    // The local date and time now, "yyyy-MM-dd HH:mm:ss".
    static std::string getToDay();
    // "yyyy-MM-dd HH:mm:ss" in the local time zone to whole seconds since
    // 1970 (floored); 0 for a text that does not match.
    static int64_t Date2Epoch(std::string_view text);
    static std::string Epoch2Date(int64_t epoch);

    // The first / last n characters (code points).
    static std::string withStringLeft(std::string_view text, int n);
    static std::string withStringRight(std::string_view text, int n);

    // Fixed-point text with `decimal` digits after the point, held to 0..15.
    static std::string formatPrice(double price, int decimal);
    // The most decimals a symbol's prices are counted in: the symbol push
    // and the order screens take up to this many, and every price, point
    // and bound of the symbol is worked out at them.
    static constexpr int kMaxPriceDecimals = 10;
    // |10^d x p1 - 10^d x p2| in whole points, rounded to the nearest; d is
    // held to 0..kMaxPriceDecimals.
    static int32_t getPointWithPrice1(double p1, double p2, int decimal);
    // Risk type "2": net value / used margin; "1": used margin / net value;
    // 0 for any other type or a zero divisor.
    static double riskWith(std::string_view riskType, double usedMargin, double netValue);
    static double calculateDynProfitWith(double price, double openPrice, double quantity,
                                         std::string_view bsCode, int unit,
                                         std::string_view symbolType);
    // True below the smallest normal double.
    static bool testDB_Zero(double x);
};
