// The trading formulas against hand-computed values.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "Core/CalculateUtils.h"

using platform::Decimal;

namespace {

// What one call of a block-based formula reported.
struct Outcome {
    int calls = 0;
    std::optional<long> error;
    double a = 0, b = 0, c = 0;
};

Outcome profit(double close, double open, double hold, double qty, const char* bs, int unit,
               double rate, const char* type) {
    Outcome o;
    CalculateUtils::dynProfitWithClosePrice(
        close, open, hold, qty, bs, unit, rate, type,
        [&](double a, double b, double c) {
            ++o.calls;
            o.a = a, o.b = b, o.c = c;
        },
        [&](const platform::Error& e) {
            ++o.calls;
            EXPECT_EQ(e.domain, "CalculateUtils");
            EXPECT_TRUE(e.localizedDescription.empty());
            o.error = e.code;
        });
    return o;
}

Outcome risk(int type, double n, double m, double l, double r = 0, double c = 0, double q = 0) {
    Outcome o;
    CalculateUtils::riskWithType(
        type, n, m, l, r, c, q,
        [&](double ratio) {
            ++o.calls;
            o.a = ratio;
        },
        [&](const platform::Error& e) {
            ++o.calls;
            o.error = e.code;
        });
    return o;
}

Decimal dec(const char* text) {
    return *Decimal::parse(text);
}

MODSymbolInfo symbolWith(int decimal, int pointStopLose, int pointTakeProfit) {
    MODSymbolInfo s;
    s.decimal = decimal;
    s.pointStopLose = pointStopLose;
    s.pointTakeProfit = pointTakeProfit;
    return s;
}

}  // namespace

TEST(CalculateUtils, ProfitOfBuyAndSellForEachSymbolType) {
    // Type 1: 2 lots of 100000, opened at 1.1000, held from 1.1020, now 1.1050.
    auto o = profit(1.1050, 1.1000, 1.1020, 2, "b", 100000, 0.5, "1");
    ASSERT_EQ(o.calls, 1);
    ASSERT_FALSE(o.error);
    EXPECT_NEAR(o.a, 1000, 1e-6);
    EXPECT_NEAR(o.b, 600, 1e-6);
    EXPECT_NEAR(o.c, 300, 1e-6);  // only the third value takes the rate
    o = profit(1.1050, 1.1000, 1.1020, 2, "s", 100000, 0.5, "1");
    EXPECT_NEAR(o.a, -1000, 1e-6);
    EXPECT_NEAR(o.b, -600, 1e-6);
    EXPECT_NEAR(o.c, -300, 1e-6);
    // The direction is compared ignoring case; anything but b is a sell.
    EXPECT_NEAR(profit(1.1050, 1.1000, 1.1020, 2, "B", 100000, 1, "1").a, 1000, 1e-6);
    EXPECT_NEAR(profit(1.1050, 1.1000, 1.1020, 2, "", 100000, 1, "1").a, -1000, 1e-6);

    // Type 2 counts in reciprocal prices: 100 x (1/4 - 1/2) = -25.
    o = profit(4.0, 2.0, 2.0, 1, "b", 100, 1, "2");
    EXPECT_DOUBLE_EQ(o.a, -25);
    EXPECT_DOUBLE_EQ(o.b, -25);
    EXPECT_DOUBLE_EQ(profit(4.0, 2.0, 2.0, 1, "s", 100, 1, "2").a, 25);

    // Type 3 computes like type 1 and needs a usable rate.
    o = profit(151.0, 150.0, 150.5, 1, "s", 1000, 0.5, "3");
    EXPECT_DOUBLE_EQ(o.a, -1000);
    EXPECT_DOUBLE_EQ(o.b, -500);
    EXPECT_DOUBLE_EQ(o.c, -250);
    EXPECT_EQ(profit(151.0, 150.0, 150.5, 1, "s", 1000, 0.0000005, "3").error, 1001);
    EXPECT_EQ(profit(151.0, 150.0, 150.5, 1, "s", 1000, 0.000001, "3").error, 1001);
    EXPECT_EQ(profit(151.0, 150.0, 150.5, 1, "s", 1000, 0, "1").error, std::nullopt);
    // A side without quantity shows no "-0".
    EXPECT_FALSE(std::signbit(profit(1.2, 1.1, 1.1, 0, "s", 100000, 1, "1").b));
}

TEST(CalculateUtils, ProfitFailures) {
    EXPECT_EQ(profit(1, 1, 1, 1, "b", 1, 1, "4").error, 1002);
    EXPECT_EQ(profit(1, 1, 1, 1, "b", 1, 1, "").error, 1002);
    // A zero price of type 2 is an error, not a division by zero.
    for (const auto& [close, open, hold] :
         {std::tuple{0.0, 2.0, 2.0}, {4.0, 0.0, 2.0}, {4.0, 2.0, 0.0}}) {
        const auto o = profit(close, open, hold, 1, "b", 100, 1, "2");
        EXPECT_EQ(o.calls, 1);
        EXPECT_EQ(o.error, CalculateUtils::kErrorZeroPrice);
    }

    // Prices no market has, and profits beyond a double: no profit, not an
    // infinite one.
    struct OutOfRange {
        double close, open, hold, quantity, rate;
    };
    for (const auto& c :
         {OutOfRange{1e304, 1.1, 1.1, 2, 1}, OutOfRange{1.1, 1.1, 1e16, 1, 1},
          OutOfRange{1.2, 1.1, 1.1, 1e305, 1}, OutOfRange{1.2, 1.1, 1.1, 1, 1e308}}) {
        const auto o = profit(c.close, c.open, c.hold, c.quantity, "b", 100000, c.rate, "1");
        EXPECT_EQ(o.calls, 1);
        EXPECT_EQ(o.error, CalculateUtils::kErrorOutOfRange) << c.close << " " << c.quantity;
    }
    EXPECT_FALSE(profit(1e15, 1e15 - 1, 1e15 - 1, 1, "b", 1, 1, "1").error);

    // A success without a success block reaches the failure block as code 0.
    std::optional<long> code;
    CalculateUtils::dynProfitWithClosePrice(2, 1, 1, 1, "b", 1, 1, "1", nullptr,
                                            [&](const platform::Error& e) { code = e.code; });
    EXPECT_EQ(code, 0);
    code.reset();
    CalculateUtils::riskWithType(2, 1, 1, 0, 0, 0, 0, nullptr,
                                 [&](const platform::Error& e) { code = e.code; });
    EXPECT_EQ(code, 0);
}

TEST(CalculateUtils, RiskOfEveryType) {
    // N 1000, M 400, L 100, R 2000, C 2, Q 50.
    const auto of = [](int type) { return risk(type, 1000, 400, 100, 2000, 2, 50); };
    EXPECT_DOUBLE_EQ(of(1).a, 1.0);  // 2.5, capped
    EXPECT_DOUBLE_EQ(risk(1, 300, 400, 0).a, 0.75);
    EXPECT_DOUBLE_EQ(of(2).a, 0.4);
    EXPECT_DOUBLE_EQ(of(3).a, 300.0 / 900.0);
    EXPECT_DOUBLE_EQ(of(4).a, 3.0);
    EXPECT_DOUBLE_EQ(of(5).a, 0.5);
    EXPECT_DOUBLE_EQ(of(6).a, 2.0);
    EXPECT_DOUBLE_EQ(of(7).a, 300.0 / 800.0);
    EXPECT_DOUBLE_EQ(of(8).a, 800.0 / 300.0);
    for (int type = 1; type <= 8; ++type)
        EXPECT_FALSE(of(type).error) << type;

    // Divisors at or below 0.000001, negative ones included.
    EXPECT_EQ(risk(3, 100, 400, 100).error, 1003);
    EXPECT_EQ(risk(1, 100, 0, 0).error, 1003);
    EXPECT_EQ(risk(2, -5, 400, 0).error, 1003);
    EXPECT_EQ(risk(5, 100, 400, 0, 0.0000009).error, 1003);
    EXPECT_EQ(risk(7, 1000, 400, 100, 0, 9, 100).error, 1003);
    EXPECT_EQ(risk(0, 1000, 400, 100).error, 1004);
    EXPECT_EQ(risk(9, 1000, 400, 100).error, 1004);
    EXPECT_EQ(risk(9, 1000, 400, 100).calls, 1);
}

TEST(CalculateUtils, StopLossAndTakeProfitBounds) {
    // Four decimals: a buy at 1.2345 with distances 30 and 50.
    auto buy = CalculateUtils::getLimitWithSymbol(symbolWith(4, 30, 50), 1.2345f, "b");
    EXPECT_EQ(buy->limitPrice, 1.2345f);
    EXPECT_EQ(buy->stopLose, 1.2315f);
    EXPECT_EQ(buy->takeProfit, 1.2395f);
    EXPECT_EQ(buy->slStr, "<");
    EXPECT_EQ(buy->tpStr, ">");
    auto sell = CalculateUtils::getLimitWithSymbol(symbolWith(4, 30, 50), 1.2345f, "s");
    EXPECT_EQ(sell->stopLose, 1.2375f);
    EXPECT_EQ(sell->takeProfit, 1.2295f);
    EXPECT_EQ(sell->slStr, ">");
    EXPECT_EQ(sell->tpStr, "<");
    EXPECT_EQ(CalculateUtils::getLimitWithSymbol(symbolWith(4, 30, 50), 1.2345f, "B")->slStr, "<");

    // Each bound is the nearest float to the price at the symbol's decimals;
    // worked out in single precision, these came out a digit off.
    struct Case {
        int decimal;
        float price;
        double stopLose, takeProfit;  // for a buy, distances 30 and 25 points
    };
    for (const Case& c : {Case{2, 2048.65f, 2048.35, 2048.90}, Case{2, 2048.09f, 2047.79, 2048.34},
                          Case{3, 128.042f, 128.012, 128.067}, Case{5, 1.00021f, 0.99991, 1.00046},
                          Case{5, 1.00049f, 1.00019, 1.00074}}) {
        const auto b =
            CalculateUtils::getLimitWithSymbol(symbolWith(c.decimal, 30, 25), c.price, "b");
        EXPECT_EQ(b->stopLose, static_cast<float>(c.stopLose)) << c.price;
        EXPECT_EQ(b->takeProfit, static_cast<float>(c.takeProfit)) << c.price;
    }
    // Sell side of a two-decimal symbol.
    const auto s = CalculateUtils::getLimitWithSymbol(symbolWith(2, 30, 25), 2048.65f, "s");
    EXPECT_EQ(s->stopLose, 2048.95f);
    EXPECT_EQ(s->takeProfit, 2048.40f);
}

TEST(CalculateUtils, DecimalPriceBounds) {
    const Decimal u = dec("0.0001");
    // goodsHigh 1.2000 with 3 and 5 points: 1.2003 and 1.2005.
    EXPECT_EQ(CalculateUtils::highOrLowPriceWithGoodsHigh(dec("1.2"), dec("3"), dec("5"), u, true),
              dec("1.2005"));
    EXPECT_EQ(CalculateUtils::highOrLowPriceWithGoodsHigh(dec("1.2"), dec("3"), dec("5"), u, false),
              dec("1.2003"));
    EXPECT_EQ(CalculateUtils::minLimitPriceWithQuotaType(9, true, dec("1.2345"), dec("20"), u),
              dec("1.2365"));
    EXPECT_EQ(CalculateUtils::maxLimitPriceWithQuotaType(9, false, dec("1.2340"), dec("20"), u),
              dec("1.2320"));

    // Stop-loss of a limit price P 1.2000, buy 2 and sell 3 points, 10 points distance.
    const auto sl = [&](int type, bool bid) {
        return CalculateUtils::limitSLPriceWithQuotaType(type, bid, dec("1.2"), dec("2"), dec("3"),
                                                         u, dec("10"));
    };
    EXPECT_EQ(sl(0, true), dec("1.2009"));   // P - 3 + 2 + 10
    EXPECT_EQ(sl(0, false), dec("1.1991"));  // P - 2 + 3 - 10
    EXPECT_EQ(sl(1, true), dec("1.2009"));
    EXPECT_EQ(sl(1, false), dec("1.2011"));  // P - 2 + 3 + 10
    EXPECT_EQ(sl(3, false), dec("1.1991"));
    EXPECT_FALSE(sl(4, true));
    EXPECT_FALSE(sl(-1, false));

    const auto tp = [&](int type, bool bid) {
        return CalculateUtils::limitPriceTPPriceWithQuotaType(type, bid, dec("1.2"), dec("10"), u);
    };
    EXPECT_EQ(tp(0, true), dec("1.199"));
    EXPECT_EQ(tp(2, false), dec("1.201"));
    EXPECT_EQ(tp(1, true), dec("1.201"));
    EXPECT_EQ(tp(1, false), dec("1.199"));
    EXPECT_FALSE(tp(5, true));

    // Ask 1.2350, bid 1.2340, 10 points.
    const auto closeSL = [&](int type, bool bid) {
        return CalculateUtils::closeoutLimitSLPriceWithQuotaType(type, bid, dec("1.235"),
                                                                 dec("1.234"), dec("10"), u);
    };
    EXPECT_EQ(closeSL(1, true), dec("1.235"));
    EXPECT_EQ(closeSL(1, false), dec("1.234"));
    EXPECT_EQ(closeSL(0, true), dec("1.233"));
    EXPECT_EQ(closeSL(7, false), dec("1.236"));
    const auto closeTP = [&](int type, bool bid) {
        return CalculateUtils::closeoutLimitTPPriceWithQuotaType(type, bid, dec("1.235"),
                                                                 dec("1.234"), dec("10"), u);
    };
    EXPECT_EQ(closeTP(1, true), dec("1.234"));
    EXPECT_EQ(closeTP(1, false), dec("1.235"));
    EXPECT_EQ(closeTP(0, true), dec("1.236"));
    EXPECT_EQ(closeTP(2, false), dec("1.233"));
}

TEST(CalculateUtils, NumberTexts) {
    EXPECT_EQ(CalculateUtils::getDecimalDigits(1.25), 2);
    EXPECT_EQ(CalculateUtils::getDecimalDigits(3), 0);
    EXPECT_EQ(CalculateUtils::getDecimalDigits(0.00001), 5);

    // Toward minus infinity, no trailing zeros.
    EXPECT_EQ(CalculateUtils::notRounding(1.239f, 2), "1.23");
    EXPECT_EQ(CalculateUtils::notRounding(2.5f, 2), "2.5");
    EXPECT_EQ(CalculateUtils::notRounding(-1.231f, 2), "-1.24");
    EXPECT_EQ(CalculateUtils::notRounding(7.0f, 3), "7");
    // The float's own digits: 0.29f is 0.28999999... in binary.
    EXPECT_EQ(CalculateUtils::notRounding(0.29f, 2), "0.29");

    EXPECT_EQ(CalculateUtils::bytesToAvaiUnit(1023), "1023B");
    EXPECT_EQ(CalculateUtils::bytesToAvaiUnit(-5), "-5B");
    EXPECT_EQ(CalculateUtils::bytesToAvaiUnit(1024), "1.0KB");
    EXPECT_EQ(CalculateUtils::bytesToAvaiUnit(1048575), "1024.0KB");
    EXPECT_EQ(CalculateUtils::bytesToAvaiUnit(1048576), "1.00MB");
    EXPECT_EQ(CalculateUtils::bytesToAvaiUnit(1073741824), "1.000GB");
}
