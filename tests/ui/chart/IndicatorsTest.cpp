// Moving averages and MACD on hand-computed series, and the value ranges.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/ui/chart/ChartTestSupport.h"

using namespace charttest;

namespace {

const MODKAVCahrtData& at(const kavchart::IndicatorTable& t, const char* key, size_t i) {
    return *t.at(key)->at(i);
}

MODChartList ramp(int n, double first = 1, double step = 1) {
    std::vector<double> closes;
    for (int i = 0; i < n; ++i)
        closes.push_back(first + step * i);
    return barsWithCloses(closes);
}

TEST(Indicators, ARampsAveragesLagByHalfTheirPeriodAndItsDIFSettlesAtSeven) {
    const auto table = kavchart::calculateAVG(ramp(60));
    for (const auto& [key, period] :
         {std::pair{"MA5", 5}, {"MA10", 10}, {"MA15", 15}, {"MA30", 30}})
        for (size_t i = 0; i < 60; ++i) {
            const auto& s = at(table, key, i);
            EXPECT_EQ(s.isValid, i + 1 >= static_cast<size_t>(period)) << key << i;
            EXPECT_NEAR(s.priceClose, s.isValid ? i + 1 - (period - 1) / 2.0 : 0, 1e-9) << key << i;
        }
    for (size_t i = 0; i < 60; ++i) {
        const auto& s = at(table, "MACD", i);
        EXPECT_EQ(s.isValid, i >= 11) << i;
        // An exponential average of a ramp trails it by (N - 1) / 2.
        EXPECT_NEAR(s.ema12, i >= 11 ? (i + 1) - 5.5 : 0, 1e-9) << i;
        EXPECT_NEAR(s.ema26, i >= 25 ? (i + 1) - 12.5 : 0, 1e-9) << i;
        EXPECT_NEAR(s.dif, i >= 25 ? 7 : 0, 1e-9) << i;
        // DEA starts from 0 at bar 25 and closes a fifth of the gap per bar.
        EXPECT_NEAR(s.dea, i >= 25 ? 7 * (1 - std::pow(0.8, i - 24.0)) : 0, 1e-9) << i;
    }
}

TEST(Indicators, AJumpInAFlatSeriesMovesEachAverageByItsShare) {
    std::vector<double> closes(40, 10.0);
    std::fill(closes.begin() + 20, closes.end(), 20.0);
    const auto table = kavchart::calculateAVG(barsWithCloses(closes));
    EXPECT_DOUBLE_EQ(at(table, "MA5", 19).priceClose, 10);
    EXPECT_DOUBLE_EQ(at(table, "MA5", 20).priceClose, 12);
    EXPECT_DOUBLE_EQ(at(table, "MA5", 22).priceClose, 16);
    EXPECT_DOUBLE_EQ(at(table, "MA10", 24).priceClose, 15);
    EXPECT_DOUBLE_EQ(at(table, "MA30", 29).priceClose, 400.0 / 30);
    for (size_t i = 11; i < 40; ++i)  // closes 2/13 of the gap per bar after the jump
        EXPECT_NEAR(at(table, "MACD", i).ema12,
                    i < 20 ? 10 : 20 - 10 * std::pow(11.0 / 13, i - 19.0), 1e-9);
    const double ema26 = (20 * 10.0 + 6 * 20.0) / 26;  // the mean of bars 0..25
    const double dif25 = 20 - 10 * std::pow(11.0 / 13, 6) - ema26;
    EXPECT_NEAR(at(table, "MACD", 25).ema26, ema26, 1e-9);
    EXPECT_NEAR(at(table, "MACD", 25).dea, dif25 * 0.2, 1e-9);
    const double ema26b = ema26 * 25 / 27 + 2 * 20.0 / 27;
    const double dif26 = 20 - 10 * std::pow(11.0 / 13, 7) - ema26b;
    EXPECT_NEAR(at(table, "MACD", 26).dif, dif26, 1e-9);
    EXPECT_NEAR(at(table, "MACD", 26).dea, dif25 * 0.2 * 0.8 + dif26 * 0.2, 1e-9);
}

TEST(Indicators, ShortSeriesLeaveTheIndicatorsInvalidOrAtZero) {
    auto bars = ramp(4);
    auto table = kavchart::calculateAVG(bars);
    for (const char* key : {"MA5", "MA10", "MA15", "MA30", "MACD"})
        for (const auto& s : *table.at(key))
            EXPECT_FALSE(s->isValid) << key;
    EXPECT_EQ(kavchart::scanData(bars, table, 0, 4)->price, (kavchart::Range{4, 1}));

    // 20 bars: MACD valid from 11, but no DIF or DEA yet: the range is 0 to 0.
    bars = ramp(20);
    table = kavchart::calculateAVG(bars);
    EXPECT_TRUE(at(table, "MACD", 11).isValid);
    EXPECT_EQ(kavchart::scanData(bars, table, 0, 20)->index, (kavchart::Range{0, 0}));
    EXPECT_FALSE(kavchart::scanData({}, {}, 0, 0));
}

TEST(Indicators, RangesCoverTheWindowsBarsAndAveragesButNotMA30) {
    auto bars = ramp(40, 100, -1);  // falling: the averages lie above the closes
    bars[39]->priceHigh = 62;
    bars[2]->priceHigh = 500;  // outside the window
    const auto table = kavchart::calculateAVG(bars);
    auto r = kavchart::scanData(bars, table, 30, 40);
    // MA15 at bar 30 is the mean of 84..70; MA30's 84.5 does not count.
    EXPECT_DOUBLE_EQ(r->price.max, 77);
    EXPECT_DOUBLE_EQ(r->price.min, 61);
    // DIF of a falling ramp is -7; every DIF - DEA is below 0, so 0 stays the top.
    EXPECT_DOUBLE_EQ(r->index.max, 0);
    EXPECT_NEAR(r->index.min, -7, 1e-9);
    // A window past the end is held to the last bar: its low and its MA15.
    r = kavchart::scanData(bars, table, 45, 60);
    EXPECT_DOUBLE_EQ(r->price.max, 68);
    EXPECT_DOUBLE_EQ(r->price.min, 61);
}

}  // namespace
