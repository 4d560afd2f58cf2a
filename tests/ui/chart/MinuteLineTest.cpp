// The gap-filled minute line, including sessions and bars that are not what
// they should be.
#include <gtest/gtest.h>

#include "tests/ui/chart/ChartTestSupport.h"

using namespace charttest;
using kavchart::Session;

namespace {

std::vector<std::pair<int64_t, double>> samples(const MODChartList& line) {
    std::vector<std::pair<int64_t, double>> out;
    for (const auto& s : line) {
        EXPECT_TRUE(s->isValid);
        out.emplace_back(s->timeValue - T, s->priceClose);
    }
    return out;
}

TEST(MinuteLine, GapsCarryTheNextBarsCloseAndTheLineEndsAtTheNewestBar) {
    MODChartList bars = {bar(T + 120, 0, 0, 0, 1.5), bar(T + 180, 0, 0, 0, 2.5),
                         bar(T + 360, 0, 0, 0, 3.5)};
    const auto line = kavchart::makeMinLine(bars, Session::of(T, T + 600));
    EXPECT_EQ(
        samples(*line),
        (std::vector<std::pair<int64_t, double>>{
            {0, 1.5}, {60, 1.5}, {120, 1.5}, {180, 2.5}, {240, 3.5}, {300, 3.5}, {360, 3.5}}));
    // The bars themselves are placed; the gaps are samples of their own.
    EXPECT_EQ((*line)[2], bars[0]);
    EXPECT_EQ((*line)[6], bars[2]);
    // Yesterday's bars say nothing about today's session.
    EXPECT_TRUE(kavchart::makeMinLine(walk(30, 5, T - 86400), Session::of(T, T + 3600))->empty());
}

TEST(MinuteLine, BarsOffTheGridRepeatedOrOutOfOrderDoNotHoldUpTheLine) {
    MODChartList bars = {bar(T, 0, 0, 0, 1),       bar(T + 90, 0, 0, 0, 2),   // off the grid
                         bar(T + 120, 0, 0, 0, 3), bar(T + 120, 0, 0, 0, 4),  // repeated
                         bar(T + 60, 0, 0, 0, 5),  // older than the one before
                         bar(T + 240, 0, 0, 0, 6)};
    const auto line = kavchart::makeMinLine(bars, Session::of(T, T + 600));
    EXPECT_EQ(samples(*line), (std::vector<std::pair<int64_t, double>>{
                                  {0, 1}, {60, 2}, {120, 3}, {180, 6}, {240, 6}}));
    EXPECT_EQ((*line)[4], bars[5]);
    EXPECT_FALSE(bars[1]->isValid || bars[3]->isValid || bars[4]->isValid);
}

TEST(MinuteLine, MalformedSessionsStayShortAndNeverDivideByZero) {
    const auto bars = walk(100, 3, T);
    auto s = Session::of(T, T + 30);  // shorter than a minute
    EXPECT_EQ(s.minutes(), 1);
    EXPECT_EQ(kavchart::makeMinLine(bars, s)->size(), 1u);
    // Start 0 (a session text that did not parse): the last two days, on the grid.
    s = Session::of(0, T + 99 * 60);
    EXPECT_EQ(s.end - s.begin, Session::kMaxSeconds);
    EXPECT_EQ(s.begin % 60, 0);
    auto line = kavchart::makeMinLine(bars, s);
    EXPECT_EQ(line->size(), static_cast<size_t>((T - s.begin) / 60 + 100));
    EXPECT_EQ(line->back(), bars.back());
    s = Session::of(T + 7, T + 7 + 7 * 86400);  // a week keeps its own grid
    EXPECT_EQ((s.begin - 7) % 60, 0);
    EXPECT_EQ(s.end - s.begin, Session::kMaxSeconds);
    s = Session::of(INT64_MIN, INT64_MAX);
    EXPECT_LE(s.end - s.begin, Session::kMaxSeconds);
    EXPECT_LE(kavchart::makeMinLine(bars, s)->size(), 2u * 24 * 60 + 1);
    s = Session::of(T, T - 60);  // ends before it starts
    EXPECT_EQ(s.minutes(), 1);
    EXPECT_TRUE(kavchart::makeMinLine(bars, s)->empty());
}

TEST(MinuteLine, RangeSpansTheWholeLine) {
    const auto line = barsWithCloses({5, 7, 3, 6});
    EXPECT_EQ(*kavchart::scanDataMin(line, 2), (kavchart::Range{7, 3}));
    EXPECT_EQ(*kavchart::scanDataMin(line, 99), (kavchart::Range{7, 3}));
    EXPECT_FALSE(kavchart::scanDataMin({}, 0));
}

}  // namespace
