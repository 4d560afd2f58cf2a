// The gap-filled minute line over a trading session, including sessions and
// bars that are not what they should be.
#include <gtest/gtest.h>

#include "tests/ui/chart/ChartTestSupport.h"
#include "ui/chart/KAVChartIndicators.h"

using namespace charttest;
using kavchart::Session;

namespace {

constexpr int64_t T = kDayStart;

std::vector<int64_t> times(const MODChartList& line) {
    std::vector<int64_t> out;
    for (const auto& s : line)
        out.push_back(s->timeValue);
    return out;
}
std::vector<double> closes(const MODChartList& line) {
    std::vector<double> out;
    for (const auto& s : line)
        out.push_back(s->priceClose);
    return out;
}

TEST(MinuteLine, GapsCarryTheNextBarsCloseAndTheLineEndsAtTheNewestBar) {
    // Session 00:00 to 00:10; bars at 00:02, 00:03 and 00:06.
    MODChartList bars = {bar(T + 120, 1, 1, 1, 1.5), bar(T + 180, 1, 1, 1, 2.5),
                         bar(T + 360, 1, 1, 1, 3.5)};
    const auto line = kavchart::makeMinLine(bars, Session::of(T, T + 600));
    EXPECT_EQ(times(*line),
              (std::vector<int64_t>{T, T + 60, T + 120, T + 180, T + 240, T + 300, T + 360}));
    EXPECT_EQ(closes(*line), (std::vector<double>{1.5, 1.5, 1.5, 2.5, 3.5, 3.5, 3.5}));
    for (const auto& s : *line)
        EXPECT_TRUE(s->isValid);
    // The bars themselves are placed, marked valid; the gaps are new samples.
    EXPECT_EQ((*line)[2], bars[0]);
    EXPECT_EQ((*line)[6], bars[2]);
    EXPECT_NE((*line)[0], bars[0]);
    EXPECT_TRUE(bars[1]->isValid);
}

TEST(MinuteLine, BarsOffTheGridRepeatedOrOutOfOrderDoNotHoldUpTheLine) {
    MODChartList bars = {bar(T, 1, 1, 1, 1),       bar(T + 90, 1, 1, 1, 2),  // between two minutes
                         bar(T + 120, 1, 1, 1, 3),                           //
                         bar(T + 120, 1, 1, 1, 4),  // the same minute again
                         bar(T + 60, 1, 1, 1, 5),   // older than the one before
                         bar(T + 240, 1, 1, 1, 6)};
    const auto line = kavchart::makeMinLine(bars, Session::of(T, T + 600));
    EXPECT_EQ(times(*line), (std::vector<int64_t>{T, T + 60, T + 120, T + 180, T + 240}));
    // 00:01 is a gap carrying the off-grid bar's close; 00:02 is placed; the
    // repeat and the late bar are passed; 00:04 is still placed.
    EXPECT_EQ(closes(*line), (std::vector<double>{1, 2, 3, 6, 6}));
    EXPECT_EQ((*line)[2], bars[2]);
    EXPECT_EQ((*line)[4], bars[5]);
    EXPECT_FALSE(bars[1]->isValid);
    EXPECT_FALSE(bars[3]->isValid);
}

TEST(MinuteLine, MalformedSessionsStayShortAndNeverDivideByZero) {
    const auto bars = walk(100, 3, T);
    // Shorter than a minute: one sample, one minute wide.
    auto s = Session::of(T, T + 30);
    EXPECT_EQ(s.minutes(), 1);
    EXPECT_EQ(kavchart::makeMinLine(bars, s)->size(), 1u);
    // Start 0 (a session text that did not parse): cut to the last two days
    // before the end, on the same grid.
    s = Session::of(0, T + 99 * 60);
    EXPECT_EQ(s.end - s.begin, Session::kMaxSeconds);
    EXPECT_EQ(s.begin % 60, 0);
    EXPECT_EQ(s.minutes(), 2 * 24 * 60);
    auto line = kavchart::makeMinLine(bars, s);
    // Two days of minutes before the bars are back-filled, then the 100 bars.
    EXPECT_EQ(line->size(), static_cast<size_t>((T - s.begin) / 60 + 100));
    EXPECT_EQ(line->back(), bars.back());
    // A week-long session keeps its own grid when cut.
    s = Session::of(T + 7, T + 7 + 7 * 24 * 3600);
    EXPECT_EQ((s.begin - 7) % 60, 0);
    EXPECT_LE(s.end - s.begin, Session::kMaxSeconds);
    // The far ends of the time scale neither overflow nor loop.
    s = Session::of(INT64_MIN, INT64_MAX);
    EXPECT_LE(s.end - s.begin, Session::kMaxSeconds);
    EXPECT_LE(kavchart::makeMinLine(bars, s)->size(), static_cast<size_t>(2 * 24 * 60 + 1));
    // An end before the start: no line, still one minute wide.
    s = Session::of(T, T - 60);
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(s.minutes(), 1);
    EXPECT_TRUE(kavchart::makeMinLine(bars, s)->empty());
}

TEST(MinuteLine, BarsBeforeTheSessionGiveNoLineAndNoBarsGiveNothing) {
    // Yesterday's bars say nothing about today's session.
    const auto old = walk(30, 5, T - 24 * 3600);
    EXPECT_TRUE(kavchart::makeMinLine(old, Session::of(T, T + 3600))->empty());
    EXPECT_TRUE(kavchart::makeMinLine({}, Session::of(T, T + 3600))->empty());
}

TEST(MinuteLine, RangeSpansTheWholeLine) {
    auto line = barsWithCloses({5, 7, 3, 6});
    auto r = kavchart::scanDataMin(line, 2);
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, (kavchart::Range{7, 3}));
    EXPECT_EQ(*kavchart::scanDataMin(line, 99), (kavchart::Range{7, 3}));
    EXPECT_FALSE(kavchart::scanDataMin({}, 0));
}

}  // namespace
