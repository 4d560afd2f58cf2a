// The chart view's window of visible bars and its value mappings.
#include <gtest/gtest.h>

#include "tests/ui/chart/ChartTestSupport.h"
#include "ui/chart/MODRGBA.h"

using namespace charttest;
using namespace platform::ui;

namespace {

TEST(ChartWindow, TheDefaultChartLeavesRoomForLabelsAChartOfItsOwnDoesNot) {
    Stage<> s;
    EXPECT_TRUE(s.chart->isChartLine());
    EXPECT_FALSE(s.chart->hasIndicatorPane());
    EXPECT_EQ(s.chart->chartWidth(), 320 - 2 * 5 - 30);
    EXPECT_EQ(s.chart->chartHeight(), 284 - 2 * 5 - 20);
    auto activity = s.chart->viewWithTag(KAVChartView::kTagActivity);
    EXPECT_FALSE(activity->isHidden());
    s.chart->setData(MODChartList{}, symbol(T, T + 600));
    EXPECT_TRUE(activity->isHidden());

    auto own = std::make_shared<MODChartConfig>();
    own->chartType = MODChartConfig::kChartKLine;
    own->borderPadding = 8;
    Stage<> mine(false, {{0, 0}, {320, 284}}, {320, 568}, own);
    EXPECT_EQ(mine.chart->config(), own);
    EXPECT_TRUE(mine.chart->hasIndicatorPane());
    EXPECT_EQ(mine.chart->chartWidth(), 320 - 16);
    mine.chart->setData(walk(50), symbol(T, T + 3600));  // no axis, no series: still drawn
    mine.render();

    // Colours split for drawing: a component beyond the scale counts as full.
    EXPECT_EQ(MODRGBA::withColor(UIColor::colorWithRed(0.5, 0.2, 255, 1)).blue, 1);
    EXPECT_EQ(MODRGBA::withColor(std::nullopt).alpha, 0);
}

TEST(ChartWindow, VisibleCountFollowsTheWidthAndTheWindowEndsAtTheNewestBar) {
    Stage<> s(true);
    auto& chart = *s.chart;
    chart.setData(walk(300), symbol(T, T + 86400));
    EXPECT_EQ(chart.visableCount(), (280 - 2) / (2 + 4));
    EXPECT_EQ(chart.startIndex(), 300 - 46);
    EXPECT_EQ(chart.endIndex(), 300);
    chart.setData(walk(20), symbol(T, T + 86400));  // fewer than fit: all of them
    EXPECT_EQ(chart.startIndex(), 0);
    EXPECT_EQ(chart.endIndex(), 20);
    const auto held = chart.chartData();
    chart.setData(std::nullopt, nullptr);  // no array keeps what is shown
    EXPECT_EQ(chart.chartData(), held);
}

TEST(ChartWindow, NarrowViewsZeroBarStepsAndNoBarsReadNothingOutsideTheData) {
    Stage<> narrow(true);
    narrow.chart->setFrame(CGRectMake(0, 0, 43, 120));  // narrower than one bar
    narrow.chart->setData(walk(40), symbol(T, T + 3600));
    EXPECT_EQ(narrow.chart->visableCount(), 1);
    EXPECT_EQ(narrow.chart->startIndex(), 39);
    narrow.render();

    auto zero = MODChartConfig::defaultConfig();  // gap plus width 0
    zero->chartType = MODChartConfig::kChartKLine;
    zero->pointPadding = zero->pointPaddingDef = zero->pointWidthDef = 0;
    Stage<> flat(false, {{0, 0}, {320, 284}}, {320, 568}, zero);
    flat.chart->setData(walk(40), symbol(T, T + 3600));
    EXPECT_EQ(flat.chart->endIndex() - flat.chart->startIndex(), 1);
    flat.render();
    EXPECT_EQ(flat.chart->pointToIndex({100, 100}), -1);

    // An empty bar list in K-line mode: the frame only, no label, no bar.
    Stage<> empty(true);
    empty.chart->setData(MODChartList{}, symbol(T, T + 3600));
    EXPECT_GT(empty.render()->pixelAt(100, 10).red, 31 / 255.0);  // the head strip
}

TEST(ChartWindow, PriceMappingPutsMaxUnderTheHeadMinAtTheBottomAndInvertsExactly) {
    Stage<> s(true);
    auto& chart = *s.chart;
    chart.setData(walk(100), symbol(T, T + 86400));
    chart.layoutPanes();
    const auto& master = *chart.config()->yAxiss.objectForKey("master");
    const auto& index = *chart.config()->yAxiss.objectForKey("index");
    EXPECT_DOUBLE_EQ(master.height, 254 * 0.7);
    EXPECT_DOUBLE_EQ(index.origin.y, 5 + 254 * 0.7 + 5);
    EXPECT_EQ(index.minValue, chart.indexRange().min);
    EXPECT_DOUBLE_EQ(chart.valueToPointY(master, chart.priceRange().max), 5 + 20);
    EXPECT_DOUBLE_EQ(chart.valueToPointY(master, chart.priceRange().min), 5 + master.height);
    // The cross line's label reads back the value drawn at its y.
    for (double y : {25.0, 60.5, 100.0, master.height + 5})
        EXPECT_NEAR(chart.valueToPointY(master, chart.pointToValueY(master, y)), y, 1e-9) << y;
    for (double y : {index.origin.y + 20, index.origin.y + 40.25})
        EXPECT_NEAR(chart.valueToPointY(index, chart.pointToValueY(index, y)), y, 1e-9) << y;

    MODAxis flat = master;  // every value equal: the middle of the band, no grid
    flat.maxValue = flat.minValue = 7;
    EXPECT_DOUBLE_EQ(chart.valueToPointY(flat, 100), 5 + 20 + (flat.height - 20) / 2);
    EXPECT_EQ(chart.pointToValueY(flat, 40), 7);
    EXPECT_TRUE(chart.calculateGridLine(flat, 4).empty());
    const auto grid = chart.calculateGridLine(master, 4);
    ASSERT_EQ(grid.size(), 4u);
    EXPECT_EQ(grid[0].Value, master.minValue);
    EXPECT_DOUBLE_EQ(grid[2].Point, chart.valueToPointY(master, grid[2].Value));
}

TEST(ChartWindow, TheBarUnderAPointIsTheOneDrawnThere) {
    for (bool kline : {true, false}) {
        Stage<> s(kline);
        auto& chart = *s.chart;
        chart.setData(walk(100), symbol(T, T + 240 * 60));
        chart.layoutPanes();
        const double width = chart.config()->pointWidth;
        const double step = chart.config()->pointPadding + width;
        EXPECT_DOUBLE_EQ(step, kline ? 6 : 280.0 / 240);  // minute mode: the session's minutes
        for (int i : {chart.startIndex(), chart.startIndex() + 1, 77, chart.endIndex() - 1}) {
            EXPECT_EQ(chart.pointToIndex({chart.barLeft(i), 50}), i);
            EXPECT_EQ(chart.pointToIndex({chart.barLeft(i) + width / 2, 200}), i);
            EXPECT_EQ(chart.pointToIndex({chart.barLeft(i) + step - 0.01, 50}), i);
        }
        EXPECT_EQ(chart.pointToIndex({chart.barLeft(chart.startIndex()) - 0.5, 50}), -1);
        EXPECT_EQ(chart.pointToIndex({chart.barLeft(chart.endIndex()) + 0.5, 50}), -1);
    }
}

TEST(ChartWindow, AResizedChartTakesAsManyBarsAsTheNewWidthHolds) {
    // As a turn of the phone resizes the market-order screen's chart: the
    // bars it holds must fit the new width at once, not only with the next
    // history answer, which may be slow or never come.
    Stage<> s(true, {{0, 0}, {568, 280}}, {568, 320});
    auto& chart = *s.chart;
    chart.setData(walk(300), symbol(T, T + 86400));
    ASSERT_EQ(chart.visableCount(), (528 - 2) / (2 + 4));
    const auto fits = [&chart] {
        chart.layoutPanes();
        return chart.barLeft(chart.endIndex() - 1) + chart.config()->pointWidth <=
               chart.drawingOrigin().x + chart.chartWidth();
    };
    s.window->setFrame(CGRectMake(0, 0, 320, 568));
    chart.setFrame(CGRectMake(0, 0, 320, 284));
    s.render();
    EXPECT_EQ(chart.visableCount(), (280 - 2) / (2 + 4));
    // A window at the newest bar stays there, rescanned.
    EXPECT_EQ(chart.endIndex(), 300);
    EXPECT_EQ(chart.startIndex(), 300 - 46);
    EXPECT_TRUE(fits());
    const auto& bars = *chart.chartData();
    const auto r = kavchart::scanData(bars, kavchart::calculateAVG(bars), 254, 300);
    EXPECT_EQ(chart.priceRange(), r->price);

    s.window->setFrame(CGRectMake(0, 0, 568, 320));
    chart.setFrame(CGRectMake(0, 0, 568, 280));
    s.render();
    EXPECT_EQ(chart.visableCount(), 87);
    EXPECT_EQ(chart.startIndex(), 300 - 87);
    EXPECT_EQ(chart.endIndex(), 300);
    EXPECT_TRUE(fits());
}

}  // namespace
