// What the chart draws, read back from its pixels: candles in the rise and
// fall colours, MACD columns either side of the zero line, the minute line,
// the frame alone without bars. PNGs go to $KAV_SCREENSHOTS when set.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/ui/chart/ChartTestSupport.h"

using namespace charttest;
using namespace platform::ui;

namespace {

constexpr int64_t T = kDayStart;
const UIColor kRise = UIColor::rgb255(221, 51, 51);
const UIColor kFall = UIColor::rgb255(64, 142, 80);

bool near(const UIColor& a, const UIColor& b, double tol = 0.03) {
    return std::fabs(a.red - b.red) <= tol && std::fabs(a.green - b.green) <= tol &&
           std::fabs(a.blue - b.blue) <= tol;
}

// Rows in [from, to] of pixel column x that show the colour.
int rowsOf(const UIImage& img, int x, double from, double to, const UIColor& color) {
    int n = 0;
    for (int y = static_cast<int>(std::ceil(std::min(from, to)));
         y <= static_cast<int>(std::floor(std::max(from, to))); ++y)
        if (near(img.pixelAt(x, y), color)) ++n;
    return n;
}

// Bars around a slow wave, rising on even indexes and falling on odd ones,
// each body 6 wide, so both colours show and MACD swings either side of 0.
MODChartList wave(size_t count) {
    MODChartList bars;
    for (size_t i = 0; i < count; ++i) {
        const double base = 100 + 10 * std::sin(2 * M_PI * static_cast<double>(i) / 40);
        const bool rising = i % 2 == 0;
        bars.push_back(bar(T + static_cast<int64_t>(i) * 60, rising ? base - 3 : base + 3, base + 4,
                           base - 4, rising ? base + 3 : base - 3));
    }
    return bars;
}

struct KLine : Stage<> {
    KLine(CGRect frame = {{0, 0}, {320, 284}}, CGSize window = {320, 568})
        : Stage<>(frame, window) {
        tapTag(KAVChartView::kTagKLineButton);
    }
};

TEST(ChartRendering, CandlesShowInTheRiseAndFallColours) {
    KLine s;
    s.chart->setDecimal(2);
    s.chart->setData(wave(200), symbol(T, T + 86400));
    const auto img = s.render();
    s.chart->layoutPanes();
    const auto& master = *s.chart->config()->yAxiss.objectForKey("master");
    const auto& bars = *s.chart->chartData();
    int rising = 0, falling = 0;
    for (int i = s.chart->startIndex(); i < s.chart->endIndex(); ++i) {
        const auto& b = *bars[static_cast<size_t>(i)];
        const bool up = b.priceClose > b.priceOpen;
        // Pixel column inside the 4-point body; the body's own rows, less
        // its anti-aliased edges, nearly all in its colour (an average line
        // may cross it).
        const int x = static_cast<int>(s.chart->barLeft(i)) + 1;
        const double top = s.chart->valueToPointY(master, std::max(b.priceOpen, b.priceClose)) + 1;
        const double bottom =
            s.chart->valueToPointY(master, std::min(b.priceOpen, b.priceClose)) - 1;
        const int rows = static_cast<int>(bottom - top);
        ASSERT_GT(rows, 20);
        EXPECT_GE(rowsOf(*img, x, top, bottom, up ? kRise : kFall), rows * 3 / 4) << i;
        EXPECT_EQ(rowsOf(*img, x, top, bottom, up ? kFall : kRise), 0) << i;
        // The upper wick in the same colour above the body.
        const double high = s.chart->valueToPointY(master, b.priceHigh);
        const int wickX = static_cast<int>(s.chart->barLeft(i) + 2);
        int tinted = 0;
        for (int y = static_cast<int>(high) + 1; y < static_cast<int>(top) - 2; ++y) {
            const UIColor p = img->pixelAt(wickX, y);
            if (up ? p.red > p.green + 0.1 : p.green > p.red + 0.1) ++tinted;
        }
        EXPECT_GT(tinted, 0) << i;
        (up ? rising : falling)++;
    }
    EXPECT_GT(rising, 10);
    EXPECT_GT(falling, 10);
    s.shot("chart-candles-ma-macd");
}

TEST(ChartRendering, MACDColumnsRiseAboveAndFallBelowTheZeroLine) {
    KLine s;
    s.chart->setData(wave(200), symbol(T, T + 86400));
    const auto img = s.render();
    s.chart->layoutPanes();
    const auto& index = *s.chart->config()->yAxiss.objectForKey("index");
    const auto macd = s.chart->indicatorList("MACD");
    ASSERT_TRUE(macd);
    const double zero = s.chart->valueToPointY(index, 0);
    int up = 0, down = 0;
    for (int i = s.chart->startIndex(); i < s.chart->endIndex(); ++i) {
        const auto& m = *(*macd)[static_cast<size_t>(i)];
        const double d = m.dif - m.dea;
        const double y = s.chart->valueToPointY(index, d);
        if (std::fabs(y - zero) < 8) continue;  // too short to read
        // The DIF and DEA lines cross the columns: read the rows clear of them.
        const double lines[] = {s.chart->valueToPointY(index, m.dif),
                                s.chart->valueToPointY(index, m.dea)};
        const int x = static_cast<int>(s.chart->barLeft(i)) + 1;
        int clear = 0, coloured = 0;
        for (int row = static_cast<int>(std::min(y, zero)) + 2;
             row <= static_cast<int>(std::max(y, zero)) - 2; ++row) {
            if (std::fabs(row - lines[0]) < 4 || std::fabs(row - lines[1]) < 4) continue;
            ++clear;
            if (near(img->pixelAt(x, row), d > 0 ? kRise : kFall)) ++coloured;
        }
        if (clear == 0) continue;
        EXPECT_EQ(coloured, clear) << i;
        // Nothing on the other side of the zero line.
        const int beyond = static_cast<int>(d > 0 ? zero + 3 : zero - 3);
        EXPECT_FALSE(near(img->pixelAt(x, beyond), d > 0 ? kRise : kFall)) << i;
        (d > 0 ? up : down)++;
    }
    EXPECT_GT(up, 3);
    EXPECT_GT(down, 3);
}

TEST(ChartRendering, MinuteLineIsDrawnAcrossTheSessionAndStopsAtTheNewestBar) {
    Stage<> s;
    s.chart->setDecimal(2);
    // A four-hour session, bars for its first two and a half hours.
    s.chart->setData(walk(150, 9, T), symbol(T, T + 240 * 60));
    const auto img = s.render();
    s.chart->layoutPanes();
    const auto& master = *s.chart->config()->yAxiss.objectForKey("master");
    const auto line = s.chart->minuteLine();
    ASSERT_EQ(line->size(), 150u);
    auto lineAt = [&](int i) {
        const int x = static_cast<int>(s.chart->barLeft(i) + s.chart->config()->pointWidth / 2);
        const double y =
            s.chart->valueToPointY(master, (*line)[static_cast<size_t>(i)]->priceClose);
        int hits = 0;
        for (int row = static_cast<int>(y) - 3; row <= static_cast<int>(y) + 3; ++row) {
            const UIColor p = img->pixelAt(x, row);
            if (p.red > 0.35 && std::fabs(p.red - p.blue) < 0.05) ++hits;
        }
        return hits;
    };
    for (int i : {10, 60, 120, 148})
        EXPECT_GT(lineAt(i), 0) << i;
    // Nothing right of the newest bar (the 4 upper minutes have no samples).
    const int after = static_cast<int>(s.chart->barLeft(170));
    int light = 0;
    for (int y = 30; y < static_cast<int>(master.height); ++y)
        if (img->pixelAt(after, y).red > 0.35) ++light;
    EXPECT_EQ(light, 0);
    s.shot("chart-minute-line");
}

TEST(ChartRendering, WithoutBarsOnlyTheFrameIsDrawn) {
    KLine s;
    s.chart->setData(MODChartList{}, symbol(T, T + 86400));
    const auto empty = s.render();
    s.chart->setData(wave(100), symbol(T, T + 86400));
    const auto full = s.render();
    // The pane frame's yellow border shows in both; the price labels' column
    // and the plot only with bars.
    auto differs = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (!near(empty->pixelAt(x, y), full->pixelAt(x, y), 0.01)) ++n;
        return n;
    };
    EXPECT_GT(differs(286, 30, 315, 180), 20);  // labels
    EXPECT_GT(differs(10, 30, 270, 170), 500);  // candles
    const UIColor frameBorder = empty->pixelAt(5, 100);
    EXPECT_GT(frameBorder.red, frameBorder.blue + 0.05);  // yellow over grey
    EXPECT_TRUE(near(empty->pixelAt(150, 100), UIColor::grey255(30), 0.01));
}

TEST(ChartRendering, LandscapeChartAndCrossLineLabels) {
    // The market-order screen turned: the chart fills 568 x 315 below a 5-point gap.
    KLine s({{0, 5}, {568, 315}}, {568, 320});
    s.chart->setToolBar(MODChartConfig::kViewLandscape);
    s.chart->setDecimal(2);
    s.chart->setData(wave(300), symbol(T, T + 86400));
    s.render();
    s.shot("chart-landscape");
    EXPECT_EQ(s.chart->visableCount(), (568 - 10 - 30 - 2) / 6);
    TouchInput::touchDown(1, {300, 100});
    s.time.advance(0.6);
    ASSERT_TRUE(s.chart->isShowingCrossLine());
    const auto img = s.render();
    s.shot("chart-landscape-cross-line");
    // The price label sits right of the chart, yellow behind black text.
    const double W = s.chart->chartWidth();
    int yellow = 0;
    for (int x = static_cast<int>(W) + 6; x < static_cast<int>(W) + 30; ++x)
        for (int y = 95; y < 105; ++y) {
            const UIColor p = img->pixelAt(x, y);
            if (p.red > 0.6 && p.green > 0.6 && p.blue < 0.3) ++yellow;
        }
    EXPECT_GT(yellow, 50);
    TouchInput::touchUp(1, {300, 100});
}

}  // namespace
