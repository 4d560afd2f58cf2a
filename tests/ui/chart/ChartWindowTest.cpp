// The chart view's configuration, its window of visible bars and its value
// mappings, without touches.
#include <gtest/gtest.h>

#include "tests/ui/chart/ChartTestSupport.h"
#include "ui/chart/MODRGBA.h"

using namespace charttest;
using namespace platform::ui;

namespace {

constexpr int64_t T = kDayStart;

TEST(ChartConfig, DefaultChartIsAMinuteLineWithThePriceAxisAndTimeAxisRoom) {
    Stage<> s;
    auto& chart = *s.chart;
    const auto& c = *chart.config();
    EXPECT_EQ(c.chartType, MODChartConfig::kChartLine);
    EXPECT_TRUE(chart.isChartLine());
    EXPECT_FALSE(chart.hasIndicatorPane());
    EXPECT_EQ(chart.verticalAxisPadding(), 30);
    EXPECT_EQ(chart.timeAxisPadding(), 20);
    EXPECT_EQ(chart.drawingOrigin(), (CGPoint{5, 5}));
    EXPECT_EQ(c.yAxiss.objectForKey("master")->heightPercent, 1.0);
    EXPECT_EQ(c.yAxiss.objectForKey("index")->heightPercent, 0);
    EXPECT_EQ(c.Series.count(), 8u);
    EXPECT_EQ(c.Series.objectForKey("MA30"), nullptr);  // computed, never drawn
    // Captions take their series' colours; the candle caption its own grey.
    EXPECT_EQ(chart.captionTable().at("MA10")->textColor, UIColor::rgb255(0, 200, 0));
    EXPECT_EQ(chart.captionTable().at("Candlestick")->textColor, UIColor::colorWithWhite(0.7, 0.8));
    EXPECT_EQ(chart.captionTable().at("MACD_HG")->text, "MACD(12,26,9)");
    // The activity indicator shows until the first bars come.
    auto* activity = chart.viewWithTag(KAVChartView::kTagActivity);
    ASSERT_NE(activity, nullptr);
    EXPECT_FALSE(activity->isHidden());
    s.chart->setData(MODChartList{}, symbol(T, T + 600));
    EXPECT_TRUE(activity->isHidden());
}

TEST(ChartConfig, AChartWithItsOwnConfigurationBuildsNoDefault) {
    auto own = std::make_shared<MODChartConfig>();
    own->chartType = MODChartConfig::kChartKLine;
    own->borderPadding = 8;
    Stage<> s({{0, 0}, {320, 284}}, {320, 568}, own);
    EXPECT_EQ(s.chart->config(), own);
    EXPECT_TRUE(s.chart->hasIndicatorPane());
    EXPECT_EQ(s.chart->verticalAxisPadding(), 0);
    EXPECT_EQ(s.chart->timeAxisPadding(), 0);
    EXPECT_EQ(s.chart->drawingOrigin(), (CGPoint{8, 8}));
    EXPECT_EQ(s.chart->config()->Series.count(), 0u);
    // It still takes bars and draws them without a single axis or series.
    s.chart->setData(walk(50), symbol(T, T + 3600));
    EXPECT_EQ(s.chart->endIndex(), 50);
    s.render();
}

TEST(ChartConfig, ColoursSplitIntoComponentsHeldToTheUnitRange) {
    const auto white = MODRGBA::withColor(UIColor::whiteColor());
    EXPECT_EQ(white.red, 1);
    EXPECT_EQ(white.gree, 1);
    EXPECT_EQ(white.blue, 1);
    const auto grey = MODRGBA::withColor(UIColor::colorWithWhite(0.3, 0.5));
    EXPECT_EQ(grey.red, grey.gree);
    EXPECT_EQ(grey.gree, grey.blue);
    EXPECT_DOUBLE_EQ(grey.alpha, 0.5);
    const auto none = MODRGBA::withColor(std::nullopt);
    EXPECT_EQ(none.alpha, 0);
    EXPECT_EQ(none.red + none.gree + none.blue, 0);
    // A component written as 255 on the unit scale counts as full.
    const auto full = MODRGBA::withColor(UIColor::colorWithRed(200 / 255.0, 200 / 255.0, 255, 1));
    EXPECT_EQ(full.blue, 1);
    EXPECT_NEAR(full.red, 200 / 255.0, 1e-12);
}

// The K-line chart of the market-order screen's portrait panel.
struct KLine : Stage<> {
    explicit KLine(CGRect frame = {{0, 0}, {320, 284}}) {
        tapTag(KAVChartView::kTagKLineButton);
        chart->setFrame(frame);
    }
};

TEST(ChartWindow, VisibleCountFollowsTheWidthAndTheWindowEndsAtTheNewestBar) {
    KLine s;
    auto& chart = *s.chart;
    // W = 320 - 2 * 5 - 30 = 280; (280 - 2) / (2 + 4) = 46 bars.
    EXPECT_EQ(chart.chartWidth(), 280);
    EXPECT_EQ(chart.chartHeight(), 284 - 10 - 20);
    chart.setData(walk(300), symbol(T, T + 86400));
    EXPECT_EQ(chart.visableCount(), 46);
    EXPECT_EQ(chart.endIndex(), 300);
    EXPECT_EQ(chart.startIndex(), 254);
    ASSERT_TRUE(chart.indicatorList("MA5"));
    EXPECT_EQ(chart.indicatorList("MACD")->size(), 300u);
    // Fewer bars than fit: the whole array.
    chart.setData(walk(20), symbol(T, T + 86400));
    EXPECT_EQ(chart.startIndex(), 0);
    EXPECT_EQ(chart.endIndex(), 20);
    // No array keeps what is shown.
    const auto held = chart.chartData();
    chart.setData(std::nullopt, nullptr);
    EXPECT_EQ(chart.chartData(), held);
    EXPECT_EQ(chart.endIndex(), 20);
}

TEST(ChartWindow, NarrowViewsAndZeroBarStepsShowOneBarAndReadNothingOutside) {
    // Narrower than one bar.
    KLine narrow({{0, 0}, {43, 120}});
    narrow.chart->setData(walk(40), symbol(T, T + 3600));
    EXPECT_EQ(narrow.chart->visableCount(), 1);
    EXPECT_EQ(narrow.chart->startIndex(), 39);
    EXPECT_EQ(narrow.chart->endIndex(), 40);
    narrow.render();

    // Gap plus width 0.
    auto own = MODChartConfig::defaultConfig();
    own->chartType = MODChartConfig::kChartKLine;
    own->pointPaddingDef = own->pointPadding = 0;
    own->pointWidthDef = own->pointWidth = 0;
    Stage<> flat({{0, 0}, {320, 284}}, {320, 568}, own);
    flat.chart->setData(walk(40), symbol(T, T + 3600));
    EXPECT_EQ(flat.chart->visableCount(), 1);
    EXPECT_EQ(flat.chart->endIndex() - flat.chart->startIndex(), 1);
    flat.render();
    EXPECT_EQ(flat.chart->pointToIndex({100, 100}), -1);

    // An empty bar list in K-line mode: nothing is read, the frame is drawn.
    KLine empty;
    empty.chart->setData(MODChartList{}, symbol(T, T + 3600));
    EXPECT_EQ(empty.chart->endIndex(), 0);
    auto img = empty.render();
    // The head strip is there, no price label beside it.
    EXPECT_GT(img->pixelAt(100, 10).red, 30 / 255.0 + 0.01);
}

TEST(ChartWindow, PriceMappingPutsMaxUnderTheHeadMinAtTheBottomAndInvertsExactly) {
    KLine s;
    auto& chart = *s.chart;
    chart.setData(walk(100), symbol(T, T + 86400));
    chart.layoutPanes();
    const auto& master = *chart.config()->yAxiss.objectForKey("master");
    const auto& index = *chart.config()->yAxiss.objectForKey("index");
    // Panes: 70 % and 30 % - 5 of H = 254, the second 5 below the first.
    EXPECT_DOUBLE_EQ(master.height, 254 * 0.7);
    EXPECT_DOUBLE_EQ(index.origin.y, 5 + 254 * 0.7 + 5);
    EXPECT_DOUBLE_EQ(index.height, 254 * 0.3 - 5);
    EXPECT_EQ(master.maxValue, chart.priceRange().max);
    EXPECT_EQ(index.minValue, chart.indexRange().min);
    EXPECT_DOUBLE_EQ(chart.valueToPointY(master, master.maxValue), 5 + 20);
    EXPECT_DOUBLE_EQ(chart.valueToPointY(master, master.minValue), 5 + master.height);
    for (double y : {25.0, 60.5, 100.0, master.height + 5}) {
        const double v = chart.pointToValueY(master, y);
        EXPECT_NEAR(chart.valueToPointY(master, v), y, 1e-9) << y;
    }
    const double mid = (master.maxValue + master.minValue) / 2;
    EXPECT_NEAR(chart.pointToValueY(master, chart.valueToPointY(master, mid)), mid, 1e-9);

    // A flat range: everything in the middle of the band, no grid.
    MODAxis flat = master;
    flat.maxValue = flat.minValue = 7;
    EXPECT_DOUBLE_EQ(chart.valueToPointY(flat, 7), 5 + 20 + (flat.height - 20) / 2);
    EXPECT_DOUBLE_EQ(chart.valueToPointY(flat, 100), chart.valueToPointY(flat, 7));
    EXPECT_EQ(chart.pointToValueY(flat, 40), 7);
    EXPECT_TRUE(chart.calculateGridLine(flat, 4).empty());

    // Four grid values from the minimum, the step in single precision.
    const auto grid = chart.calculateGridLine(master, 4);
    ASSERT_EQ(grid.size(), 4u);
    EXPECT_EQ(grid[0].Value, master.minValue);
    const float step = static_cast<float>((master.maxValue - master.minValue) / 4);
    EXPECT_EQ(grid[3].Value, master.minValue + 3 * step);
    EXPECT_DOUBLE_EQ(grid[2].Point, chart.valueToPointY(master, grid[2].Value));
    EXPECT_TRUE(chart.calculateGridLine(master, 0).empty());
}

TEST(ChartWindow, TheBarUnderAPointIsTheOneDrawnThere) {
    KLine s;
    auto& chart = *s.chart;
    chart.setData(walk(100), symbol(T, T + 86400));
    chart.layoutPanes();
    const double width = chart.config()->pointWidth;
    const double step = chart.config()->pointPadding + width;
    for (int i : {chart.startIndex(), chart.startIndex() + 1, 77, chart.endIndex() - 1}) {
        const double left = chart.barLeft(i);
        EXPECT_EQ(chart.pointToIndex({left, 50}), i);
        EXPECT_EQ(chart.pointToIndex({left + width / 2, 200}), i);  // any pane
        EXPECT_EQ(chart.pointToIndex({left + step - 0.01, 50}), i);
    }
    EXPECT_EQ(chart.pointToIndex({chart.barLeft(chart.startIndex()) - 0.5, 50}), -1);
    EXPECT_EQ(chart.pointToIndex({chart.barLeft(chart.endIndex()) + 1, 50}), -1);
}

TEST(ChartWindow, MinuteModeSpreadsTheSessionOverTheWidth) {
    Stage<> s;
    auto& chart = *s.chart;
    auto bars = walk(90, 11, T);
    chart.setData(bars, symbol(T, T + 240 * 60));
    ASSERT_TRUE(chart.minuteLine());
    EXPECT_EQ(chart.minuteLine()->size(), 90u);
    EXPECT_EQ(chart.startIndex(), 0);
    EXPECT_EQ(chart.endIndex(), 90);
    chart.layoutPanes();
    EXPECT_DOUBLE_EQ(chart.config()->pointPadding, 0);
    EXPECT_DOUBLE_EQ(chart.config()->pointWidth, 280.0 / 240);
    EXPECT_EQ(chart.pointToIndex({chart.barLeft(45) + 0.1, 100}), 45);
    // The range covers every close of the line.
    double hi = bars[0]->priceClose, lo = hi;
    for (const auto& b : bars)
        hi = std::max(hi, b->priceClose), lo = std::min(lo, b->priceClose);
    EXPECT_EQ(chart.priceRange(), (kavchart::Range{hi, lo}));
    // An empty bar list keeps the line; only the frame is drawn.
    chart.setData(MODChartList{}, symbol(T, T + 240 * 60));
    EXPECT_EQ(chart.minuteLine()->size(), 90u);
    EXPECT_EQ(chart.endIndex(), 0);
    s.render();
}

}  // namespace
