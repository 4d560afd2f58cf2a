// What the chart draws, read back from its pixels: candles and MACD columns
// in the rise and fall colours, the minute line ending at the newest bar (and
// no prices when it has no minute yet), the cross line's price label in
// landscape. PNGs go to $KAV_SCREENSHOTS.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/ui/TouchInput.h"
#include "tests/ui/chart/ChartTestSupport.h"

using namespace charttest;
using namespace platform::ui;

namespace {

const UIColor kRise = UIColor::rgb255(221, 51, 51);
const UIColor kFall = UIColor::rgb255(64, 142, 80);

bool near(const UIColor& a, const UIColor& b) {
    return std::fabs(a.red - b.red) <= 0.03 && std::fabs(a.green - b.green) <= 0.03 &&
           std::fabs(a.blue - b.blue) <= 0.03;
}

// Rows from..to of pixel column x in the colour, and how many rows there were.
std::pair<int, int> rowsOf(const UIImage& img, int x, double from, double to,
                           const UIColor& color) {
    int n = 0, rows = 0;
    for (int y = static_cast<int>(std::ceil(from)); y <= static_cast<int>(to); ++y, ++rows)
        n += near(img.pixelAt(x, y), color);
    return {n, rows};
}

// A slow wave of bars rising on even and falling on odd indexes, 6 tall, so
// both candle colours show and MACD swings either side of 0.
MODChartList wave(size_t count) {
    MODChartList bars;
    for (size_t i = 0; i < count; ++i) {
        const double base = 100 + 10 * std::sin(2 * M_PI * static_cast<double>(i) / 40);
        const double side = i % 2 == 0 ? 3 : -3;
        bars.push_back(
            bar(T + 60 * static_cast<int64_t>(i), base - side, base + 4, base - 4, base + side));
    }
    return bars;
}

TEST(ChartRendering, CandlesAndMACDColumnsInTheRiseAndFallColours) {
    Stage<> s(true);
    s.chart->setDecimal(2);
    s.chart->setData(wave(200), symbol(T, T + 86400));
    const auto img = s.render();
    s.shot("chart-candles-ma-macd");
    s.chart->layoutPanes();
    const auto& master = *s.chart->config()->yAxiss.objectForKey("master");
    const auto& index = *s.chart->config()->yAxiss.objectForKey("index");
    const auto& macd = *s.chart->indicatorList("MACD");
    const double zero = s.chart->valueToPointY(index, 0);
    int candles[2] = {}, columns[2] = {};
    for (int i = s.chart->startIndex(); i < s.chart->endIndex(); ++i) {
        const auto& b = *(*s.chart->chartData())[static_cast<size_t>(i)];
        const bool up = b.priceClose > b.priceOpen;
        const int x = static_cast<int>(s.chart->barLeft(i)) + 1;  // inside the 4-point body
        // The body in its colour (an average line may cross a few rows).
        const double top = s.chart->valueToPointY(master, std::max(b.priceOpen, b.priceClose));
        const double bottom = s.chart->valueToPointY(master, std::min(b.priceOpen, b.priceClose));
        auto [own, rows] = rowsOf(*img, x, top + 1, bottom - 1, up ? kRise : kFall);
        EXPECT_GE(own, rows * 3 / 4) << i;
        EXPECT_EQ(rowsOf(*img, x, top + 1, bottom - 1, up ? kFall : kRise).first, 0) << i;
        ++candles[up];

        // The column from the zero line to DIF - DEA, where DIF and DEA do not cross it.
        const auto& m = *macd[static_cast<size_t>(i)];
        const double d = m.dif - m.dea, y = s.chart->valueToPointY(index, d);
        if (std::fabs(y - zero) < 8) continue;
        const double lines[] = {s.chart->valueToPointY(index, m.dif),
                                s.chart->valueToPointY(index, m.dea)};
        for (int row = static_cast<int>(std::min(y, zero)) + 2;
             row <= static_cast<int>(std::max(y, zero)) - 2; ++row) {
            if (std::fabs(row - lines[0]) > 4 && std::fabs(row - lines[1]) > 4) {
                EXPECT_TRUE(near(img->pixelAt(x, row), d > 0 ? kRise : kFall)) << i << " " << row;
            }
        }
        EXPECT_FALSE(near(img->pixelAt(x, static_cast<int>(zero + (d > 0 ? 3 : -3))),
                          d > 0 ? kRise : kFall))
            << i;  // nothing on the other side of the zero line
        ++columns[d > 0];
    }
    EXPECT_GT(std::min(candles[0], candles[1]), 10);
    EXPECT_GT(std::min(columns[0], columns[1]), 3);
}

TEST(ChartRendering, EveryBarOfTheWindowHasItsMACDMarkAlsoBeforeMACDIsValid) {
    // Fewer bars than the window holds: it starts at the first bar, whose
    // MACD is not valid for the first eleven.
    Stage<> s(true);
    s.chart->setDecimal(2);
    s.chart->setData(wave(40), symbol(T, T + 86400));
    const auto img = s.render();
    s.shot("chart-macd-first-bars");
    s.chart->layoutPanes();
    ASSERT_EQ(s.chart->startIndex(), 0);
    const auto& index = *s.chart->config()->yAxiss.objectForKey("index");
    const auto& macd = *s.chart->indicatorList("MACD");
    const double zero = s.chart->valueToPointY(index, 0);
    int invalid = 0;
    for (int i = 0; i < s.chart->endIndex(); ++i) {
        invalid += !macd[static_cast<size_t>(i)]->isValid;
        // At least a 1-point mark touching the zero line, in a column's
        // colour (blended where the point falls between two rows).
        const int x = static_cast<int>(s.chart->barLeft(i)) + 1;
        bool marked = false;
        for (int row = static_cast<int>(zero) - 2; row <= static_cast<int>(zero) + 1; ++row) {
            const UIColor p = img->pixelAt(x, row);
            marked = marked || p.green - p.red > 0.1 || p.red - p.green > 0.1;
        }
        EXPECT_TRUE(marked) << i;
    }
    EXPECT_EQ(invalid, 11);
}

TEST(ChartRendering, TheMinuteLineRunsFromTheSessionStartToTheNewestBar) {
    Stage<> s;
    s.chart->setDecimal(2);
    s.chart->setData(walk(150, 9), symbol(T, T + 240 * 60));  // 150 of 240 minutes
    const auto img = s.render();
    s.shot("chart-minute-line");
    s.chart->layoutPanes();
    const auto& master = *s.chart->config()->yAxiss.objectForKey("master");
    const auto& line = *s.chart->minuteLine();
    auto lightRows = [&](int x, int from, int to) {
        int n = 0;
        for (int y = from; y <= to; ++y) {
            const UIColor p = img->pixelAt(x, y);
            n += p.red > 0.35 && std::fabs(p.red - p.blue) < 0.05;
        }
        return n;
    };
    for (int i : {0, 60, 120, 149}) {
        const double x = s.chart->barLeft(i) + s.chart->config()->pointWidth / 2;
        const double y = s.chart->valueToPointY(master, line[static_cast<size_t>(i)]->priceClose);
        EXPECT_GT(lightRows(static_cast<int>(x), static_cast<int>(y) - 3, static_cast<int>(y) + 3),
                  0)
            << i;
    }
    EXPECT_EQ(lightRows(static_cast<int>(s.chart->barLeft(170)), 30, 250), 0);
}

TEST(ChartRendering, AMinuteLineWithNoMinuteYetShowsNoPricesOfTheBarsDrawnBefore) {
    // Gold's minute line, then the euro, whose session begins after its
    // newest bar (the market opens later today): no minute to draw, and
    // gold's prices must not label the euro's axis.
    Stage<> s;
    s.chart->setDecimal(2);
    s.chart->setData(walk(300), symbol(T, T + 86400));
    // Light text in the price labels' column, above the time labels.
    const auto labelInk = [&s] {
        const auto img = s.render();
        int n = 0;
        for (int x = 262; x < 320; ++x)
            for (int y = 25; y < 255; ++y) {
                const UIColor p = img->pixelAt(x, y);
                n += p.red > 0.35 && std::fabs(p.red - p.green) < 0.08 &&
                     std::fabs(p.red - p.blue) < 0.08;
            }
        return n;
    };
    ASSERT_GT(labelInk(), 100);

    MODChartList euro;
    for (int i = 0; i < 300; ++i)
        euro.push_back(bar(T + 60 * i, 1.1, 1.1002, 1.0998, 1.1 + 0.0001 * (i % 5)));
    auto later = symbol(T + 86400, T + 2 * 86400);
    later->symbolCode = "EURUSD";
    s.chart->setDecimal(5);
    s.chart->setData(euro, later);
    ASSERT_TRUE(s.chart->minuteLine()->empty());
    EXPECT_EQ(s.chart->priceRange(), kavchart::Range{});
    EXPECT_EQ(labelInk(), 0);
    s.shot("chart-minute-line-not-begun");
    // Nor does the cross line read a price off it.
    TouchInput::touchDown(1, {150, 100});
    s.time.advance(0.6);
    ASSERT_TRUE(s.chart->isShowingCrossLine());
    const auto crossed = s.render();
    int yellow = 0;  // the cross line's label ground, right of the chart
    for (int x = 280; x < 320; ++x)
        for (int y = 90; y < 110; ++y) {
            const UIColor p = crossed->pixelAt(x, y);
            yellow += p.red > 0.6 && p.green > 0.6 && p.blue < 0.3;
        }
    EXPECT_EQ(yellow, 0);
    TouchInput::touchUp(1, {150, 100});

    // A session that ends before it begins has no minute either.
    s.chart->setData(walk(300), symbol(T, T + 86400));
    ASSERT_GT(labelInk(), 100);
    s.chart->setData(euro, symbol(T + 3600, T));
    EXPECT_EQ(s.chart->priceRange(), kavchart::Range{});
    EXPECT_EQ(labelInk(), 0);
}

TEST(ChartRendering, LandscapeCrossLineShowsItsPriceLabelInsideTheView) {
    // The market-order screen turned: the chart fills 568 x 315 below a 5-point gap.
    Stage<> s(false, {{0, 5}, {568, 315}}, {568, 320});
    s.tapTag(KAVChartView::kTagKLineButton);
    s.chart->setToolBar(MODChartConfig::kViewLandscape);
    s.chart->setDecimal(2);
    s.chart->setData(wave(300), symbol(T, T + 86400));
    EXPECT_EQ(s.chart->visableCount(), (568 - 10 - 30 - 2) / 6);
    s.shot("chart-landscape");
    TouchInput::touchDown(1, {300, 100});
    s.time.advance(0.6);
    ASSERT_TRUE(s.chart->isShowingCrossLine());
    const auto img = s.render();
    s.shot("chart-landscape-cross-line");
    int yellow = 0;  // black text on yellow, right of the chart
    for (int x = static_cast<int>(s.chart->chartWidth()) + 6; x < 568; ++x)
        for (int y = 95; y < 105; ++y) {
            const UIColor p = img->pixelAt(x, y);
            yellow += p.red > 0.6 && p.green > 0.6 && p.blue < 0.3;
        }
    EXPECT_GT(yellow, 50);
    TouchInput::touchUp(1, {300, 100});
}

}  // namespace
