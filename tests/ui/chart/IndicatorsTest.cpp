// Moving averages and MACD on hand-computed series, and the value ranges.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/ui/chart/ChartTestSupport.h"
#include "ui/chart/KAVChartIndicators.h"

using namespace charttest;
using kavchart::IndicatorTable;

namespace {

std::vector<double> ramp(int n) {
    std::vector<double> closes;
    for (int i = 0; i < n; ++i)
        closes.push_back(i + 1);
    return closes;
}

const MODKAVCahrtData& at(const IndicatorTable& t, const char* key, size_t i) {
    return *t.at(key)->at(i);
}

TEST(Indicators, MovingAveragesOfARampLagByHalfTheirPeriod) {
    const auto bars = barsWithCloses(ramp(40));
    const auto table = kavchart::calculateAVG(bars);
    for (const auto& [key, period] : std::vector<std::pair<const char*, int>>{
             {"MA5", 5}, {"MA10", 10}, {"MA15", 15}, {"MA30", 30}}) {
        ASSERT_EQ(table.at(key)->size(), bars.size()) << key;
        for (int i = 0; i < 40; ++i) {
            const auto& s = at(table, key, static_cast<size_t>(i));
            EXPECT_EQ(s.timeValue, bars[static_cast<size_t>(i)]->timeValue);
            if (i < period - 1) {
                EXPECT_FALSE(s.isValid) << key << " " << i;
                EXPECT_EQ(s.priceClose, 0) << key << " " << i;
            } else {
                EXPECT_TRUE(s.isValid) << key << " " << i;
                // Mean of the closes i-period+2 .. i+1.
                EXPECT_NEAR(s.priceClose, i + 1 - (period - 1) / 2.0, 1e-9) << key << " " << i;
            }
        }
    }
}

TEST(Indicators, MACDOfARampSettlesOnAConstantDIF) {
    const auto table = kavchart::calculateAVG(barsWithCloses(ramp(60)));
    for (size_t i = 0; i < 11; ++i) {
        const auto& s = at(table, "MACD", i);
        EXPECT_FALSE(s.isValid) << i;
        EXPECT_EQ(s.ema12 + s.ema26 + s.dif + s.dea, 0) << i;
    }
    for (size_t i = 11; i < 60; ++i) {
        const auto& s = at(table, "MACD", i);
        EXPECT_TRUE(s.isValid) << i;
        // A ramp's exponential average trails it by (N - 1) / 2.
        EXPECT_NEAR(s.ema12, (i + 1) - 5.5, 1e-9) << i;
        if (i < 25) {
            EXPECT_EQ(s.ema26, 0) << i;
            EXPECT_EQ(s.dif, 0) << i;
            EXPECT_EQ(s.dea, 0) << i;
            continue;
        }
        EXPECT_NEAR(s.ema26, (i + 1) - 12.5, 1e-9) << i;
        EXPECT_NEAR(s.dif, 7, 1e-9) << i;
        // dea starts from 0 at 25 and closes on dif by a fifth of the gap.
        EXPECT_NEAR(s.dea, 7 * (1 - std::pow(0.8, static_cast<double>(i) - 24)), 1e-9) << i;
    }
}

TEST(Indicators, AJumpInAFlatSeriesMovesEachAverageByItsShare) {
    std::vector<double> closes(40, 10.0);
    for (size_t i = 20; i < closes.size(); ++i)
        closes[i] = 20;
    const auto table = kavchart::calculateAVG(barsWithCloses(closes));
    EXPECT_DOUBLE_EQ(at(table, "MA5", 19).priceClose, 10);
    EXPECT_DOUBLE_EQ(at(table, "MA5", 20).priceClose, 12);
    EXPECT_DOUBLE_EQ(at(table, "MA5", 22).priceClose, 16);
    EXPECT_DOUBLE_EQ(at(table, "MA5", 24).priceClose, 20);
    EXPECT_DOUBLE_EQ(at(table, "MA10", 24).priceClose, 15);
    EXPECT_DOUBLE_EQ(at(table, "MA30", 29).priceClose, (20 * 10.0 + 10 * 20.0) / 30);

    // Flat before the jump: every average sits on the close, no DIF.
    EXPECT_DOUBLE_EQ(at(table, "MACD", 19).ema12, 10);
    // After it the EMA12 closes 2/13 of the remaining gap per bar.
    for (size_t i = 20; i < 40; ++i)
        EXPECT_NEAR(at(table, "MACD", i).ema12, 20 - 10 * std::pow(11.0 / 13, i - 19.0), 1e-9) << i;
    const double ema26 = (20 * 10.0 + 6 * 20.0) / 26;  // seeded by the mean of bars 0..25
    const double ema12 = 20 - 10 * std::pow(11.0 / 13, 6);
    const auto& s25 = at(table, "MACD", 25);
    EXPECT_NEAR(s25.ema26, ema26, 1e-9);
    EXPECT_NEAR(s25.dif, ema12 - ema26, 1e-9);
    EXPECT_NEAR(s25.dea, (ema12 - ema26) * 0.2, 1e-9);
    const auto& s26 = at(table, "MACD", 26);
    const double ema26b = ema26 * 25 / 27 + 2 * 20.0 / 27;
    const double ema12b = 20 - 10 * std::pow(11.0 / 13, 7);
    EXPECT_NEAR(s26.ema26, ema26b, 1e-9);
    EXPECT_NEAR(s26.dea, s25.dea * 0.8 + (ema12b - ema26b) * 0.2, 1e-9);
}

TEST(Indicators, ShortSeriesLeaveTheIndicatorsInvalidOrAtZero) {
    // Four bars: no average, no MACD.
    auto table = kavchart::calculateAVG(barsWithCloses({1, 2, 3, 4}));
    for (const char* key : {"MA5", "MA10", "MA15", "MA30", "MACD"})
        for (const auto& s : *table.at(key))
            EXPECT_FALSE(s->isValid) << key;
    auto bars = barsWithCloses({1, 2, 3, 4});
    auto ranges = kavchart::scanData(bars, table, 0, 4);
    ASSERT_TRUE(ranges);
    EXPECT_EQ(ranges->price, (kavchart::Range{4, 1}));  // from the bars alone

    // Twenty bars: MACD valid from 11 but without DIF or DEA, so the
    // indicator range stays 0 to 0.
    bars = barsWithCloses(ramp(20));
    table = kavchart::calculateAVG(bars);
    EXPECT_TRUE(at(table, "MACD", 11).isValid);
    ranges = kavchart::scanData(bars, table, 0, 20);
    EXPECT_EQ(ranges->index, (kavchart::Range{0, 0}));

    EXPECT_FALSE(kavchart::scanData({}, {}, 0, 0));
    EXPECT_TRUE(kavchart::calculateAVG({}).at("MA5")->empty());
}

TEST(Indicators, RangesCoverTheWindowsBarsAndAveragesButNotMA30) {
    // Falling closes: the averages lie above the bars, so they raise the maximum.
    std::vector<double> closes;
    for (int i = 0; i < 40; ++i)
        closes.push_back(100 - i);
    auto bars = barsWithCloses(closes);
    bars[39]->priceHigh = 62;  // the window's own high
    bars[2]->priceHigh = 500;  // outside the window
    auto table = kavchart::calculateAVG(bars);
    auto r = kavchart::scanData(bars, table, 30, 40);
    ASSERT_TRUE(r);
    // MA15 at bar 30: mean of 84..70 = 77; MA30 (mean 84.5) does not count.
    EXPECT_DOUBLE_EQ(r->price.max, 77);
    EXPECT_DOUBLE_EQ(r->price.min, 61);
    // DIF of a falling ramp is -7 and DEA heads there from 0: the range runs
    // from -7 up to the largest DIF - DEA, which is negative, so 0 stays the top.
    EXPECT_DOUBLE_EQ(r->index.max, 0);
    EXPECT_NEAR(r->index.min, -7, 1e-9);
    // A window past the end is held to the last bar: its low and its MA15
    // (mean of 75..61).
    r = kavchart::scanData(bars, table, 45, 60);
    ASSERT_TRUE(r);
    EXPECT_DOUBLE_EQ(r->price.max, 68);
    EXPECT_DOUBLE_EQ(r->price.min, 61);
}

TEST(Indicators, AveragesHoldTheirBoundsToTheData) {
    const auto bars = barsWithCloses({2, 4, 6});
    EXPECT_DOUBLE_EQ(kavchart::arrayAvg(bars, 0, 2), 4);
    EXPECT_DOUBLE_EQ(kavchart::arrayAvg(bars, 1, 1), 4);
    EXPECT_DOUBLE_EQ(kavchart::arrayAvg(bars, -5, 9), 4);
    EXPECT_DOUBLE_EQ(kavchart::arrayAvg(bars, 2, 1), 0);
    EXPECT_DOUBLE_EQ(kavchart::EMA(10, 23, 12), 10 * 11.0 / 13 + 2 * 23.0 / 13);
}

}  // namespace
