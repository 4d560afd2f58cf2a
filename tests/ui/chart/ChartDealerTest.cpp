// History bars from the simulated dealer drawn for each period, and answers
// that come too late for what the chart now shows.
#include <gtest/gtest.h>

#include "Core/SDK/KAVBizSDK.h"
#include "tests/support/DealerSim.h"
#include "tests/support/TradingTestSupport.h"
#include "tests/ui/chart/ChartTestSupport.h"
#include "ui/chart/KAVChartLoader.h"

using namespace charttest;
using namespace kavtest;

namespace {

class ChartDealer : public ::testing::Test {
  protected:
    void SetUp() override {
        Result<> login;
        sdk->loginWithUserId("1001", "123456", "", {sim.realLoginUrl()}, login.success(),
                             login.failure());
        ASSERT_TRUE(stage.time.runUntil([&] { return login.successes > 0; }));
        gold = sdk->getSymbolWith("XAUUSD");
        ASSERT_TRUE(gold);
        loader = std::make_shared<KAVChartLoader>(sdk, stage.chart);
    }
    // Waits until the chart holds other bars than `before`.
    bool newBars(const MODChartListPtr& before) {
        return stage.time.runUntil([&] { return stage.chart->chartData() != before; });
    }

    DealerSim sim;
    std::shared_ptr<KAVBizSDK> sdk = std::make_shared<KAVBizSDK>();
    Stage<> stage;
    std::shared_ptr<KAVChartLoader> loader;
    std::shared_ptr<MODSymbolInfo> gold;
};

TEST_F(ChartDealer, EveryPeriodsBarsAreLoadedAndDrawn) {
    stage.chart->setDecimal(gold->decimal);
    loader->loadChartWithPeriodType(gold, 4);  // the minute line of today's session
    ASSERT_TRUE(newBars(nullptr));
    EXPECT_EQ(stage.chart->session().begin, gold->beginTime);
    EXPECT_FALSE(stage.chart->minuteLine()->empty());
    stage.shot("chart-dealer-minute-line");

    stage.tapTag(KAVChartView::kTagKLineButton);
    // Bars at least a period apart (a day may be short by a clock change).
    for (const auto& [period, seconds] : {std::pair{4, 60}, {5, 300}, {7, 1800}, {9, 23 * 3600}}) {
        const auto before = stage.chart->chartData();
        loader->loadChartWithPeriodType(gold, period);
        ASSERT_TRUE(newBars(before)) << period;
        EXPECT_EQ(stage.chart->period(), period);
        // The last 1,000 bars, or as many as the dealer's history holds.
        const auto& bars = *stage.chart->chartData();
        ASSERT_GT(bars.size(), 100u);
        ASSERT_LE(bars.size(), 1000u);
        for (size_t i = 1; i < bars.size(); ++i)
            ASSERT_GE(bars[i]->timeValue - bars[i - 1]->timeValue, seconds) << period << " " << i;
        EXPECT_NEAR(bars.back()->priceClose, gold->priceCurrent, 1e-9) << period;
        EXPECT_EQ(stage.chart->endIndex(), static_cast<int>(bars.size()));
        EXPECT_LE(stage.chart->priceRange().min, bars.back()->priceLow);
        stage.shot("chart-dealer-period-" + std::to_string(period));
    }
}

TEST_F(ChartDealer, AnAnswerForAnotherPeriodOrSymbolThanTheLatestIsDropped) {
    const auto euro = sdk->getSymbolWith("EURUSD");
    stage.tapTag(KAVChartView::kTagKLineButton);
    // The minute bars are asked for first, the daily ones next; the minute
    // answer comes last.
    sim.holdReply("2023");
    loader->loadChartWithPeriodType(gold, 4);
    sim.waitForPackages("2023", 1, SimService::History);
    loader->loadChartWithPeriodType(gold, 9);
    ASSERT_TRUE(newBars(nullptr));
    sim.releaseHeld();
    // Asked again: once this answer is in, the held one has come and gone.
    auto shown = stage.chart->chartData();
    loader->loadChartWithPeriodType(gold, 9);
    ASSERT_TRUE(newBars(shown));
    EXPECT_EQ(stage.chart->period(), 9);
    EXPECT_GE((*stage.chart->chartData())[1]->timeValue - (*stage.chart->chartData())[0]->timeValue,
              23 * 3600);  // days (one may be short by a clock change)

    // Gold at ~2000 asked for, then euro at ~1.1: gold's late answer is dropped.
    sim.holdReply("2023");
    loader->loadChartWithPeriodType(gold, 5);
    sim.waitForPackages("2023", 4, SimService::History);
    shown = stage.chart->chartData();
    loader->loadChartWithPeriodType(euro, 5);
    ASSERT_TRUE(newBars(shown));
    sim.releaseHeld();
    shown = stage.chart->chartData();
    loader->loadChartWithPeriodType(euro, 5);
    ASSERT_TRUE(newBars(shown));
    EXPECT_EQ(stage.chart->symbol(), euro);
    EXPECT_LT(stage.chart->priceRange().max, 10);
}

TEST_F(ChartDealer, AFailedAnswerKeepsTheBarsOfItsSymbolButNeverAnotherSymbolsBars) {
    const auto euro = sdk->getSymbolWith("EURUSD");
    stage.tapTag(KAVChartView::kTagKLineButton);
    loader->loadChartWithPeriodType(gold, 4);
    ASSERT_TRUE(newBars(nullptr));
    const auto goldBars = stage.chart->chartData();
    int failures = 0;
    const auto failed = [&failures](bool drawn) { failures += drawn ? 0 : 1; };

    // Another period of the same symbol fails: the bars shown stay.
    sim.fail("2023", "1", "无数据");
    loader->loadChartWithPeriodType(gold, 9, failed);
    ASSERT_TRUE(stage.time.runUntil([&] { return failures == 1; }));
    EXPECT_EQ(stage.chart->chartData(), goldBars);

    // Another symbol fails: gold's bars must not stay under the euro's name
    // (priced and labelled as euro); the chart is left empty for the euro.
    sim.fail("2023", "1", "无数据");
    loader->loadChartWithPeriodType(euro, 4, failed);
    ASSERT_TRUE(stage.time.runUntil([&] { return failures == 2; }));
    ASSERT_TRUE(stage.chart->chartData());
    EXPECT_TRUE(stage.chart->chartData()->empty());
    EXPECT_EQ(stage.chart->symbol(), euro);
    stage.render();

    // Its bars come with the next answer.
    loader->loadChartWithPeriodType(euro, 4);
    ASSERT_TRUE(stage.time.runUntil([&] { return !stage.chart->chartData()->empty(); }));
    EXPECT_LT(stage.chart->priceRange().max, 10);
}

TEST_F(ChartDealer, AnotherSymbolsBarsGoWhenTheBarsOfTheNewOneAreAskedFor) {
    const auto euro = sdk->getSymbolWith("EURUSD");
    loader->loadChartWithPeriodType(gold, 4);
    ASSERT_TRUE(newBars(nullptr));
    const auto goldBars = stage.chart->chartData();

    // Another period of gold on its way: gold's bars stay meanwhile.
    sim.holdReply("2023");
    loader->loadChartWithPeriodType(gold, 5);
    sim.waitForPackages("2023", 2, SimService::History);
    EXPECT_EQ(stage.chart->chartData(), goldBars);
    sim.releaseHeld();
    ASSERT_TRUE(newBars(goldBars));

    // The euro's on its way: gold's bars at ~2000 must not stand under the
    // euro's name (and, at the next redraw, its five decimals) until its
    // answer comes.
    sim.holdReply("2023");
    loader->loadChartWithPeriodType(euro, 4);
    sim.waitForPackages("2023", 3, SimService::History);
    ASSERT_TRUE(stage.chart->chartData());
    EXPECT_TRUE(stage.chart->chartData()->empty());
    EXPECT_EQ(stage.chart->symbol(), euro);
    stage.render();
    sim.releaseHeld();
    ASSERT_TRUE(stage.time.runUntil([&] { return !stage.chart->chartData()->empty(); }));
    EXPECT_LT(stage.chart->priceRange().max, 10);
}

}  // namespace
