// History bars from the simulated dealer drawn by the chart, for each
// period, and answers that come too late for what the chart now shows.
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
        ASSERT_TRUE(
            stage.time.runUntil([&] { return login.successes + login.failures.size() > 0; }));
        ASSERT_EQ(login.successes, 1);
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
};

TEST_F(ChartDealer, EveryPeriodsBarsAreLoadedAndDrawn) {
    const auto gold = sdk->getSymbolWith("XAUUSD");
    ASSERT_TRUE(gold);
    stage.chart->setDecimal(gold->decimal);

    // The minute line over today's session.
    loader->loadChartWithPeriodType(gold, 4);
    ASSERT_TRUE(newBars(nullptr));
    ASSERT_TRUE(stage.chart->minuteLine());
    EXPECT_EQ(stage.chart->session().begin, gold->beginTime);
    EXPECT_FALSE(stage.chart->minuteLine()->empty());
    stage.render();
    stage.shot("chart-dealer-minute-line");

    stage.tapTag(KAVChartView::kTagKLineButton);
    const std::vector<std::pair<int, int64_t>> periods = {{4, 60}, {5, 300}, {7, 1800}, {9, 86400}};
    for (const auto& [period, seconds] : periods) {
        const auto before = stage.chart->chartData();
        loader->loadChartWithPeriodType(gold, period);
        ASSERT_TRUE(newBars(before)) << period;
        EXPECT_EQ(stage.chart->period(), period);
        const auto& bars = *stage.chart->chartData();
        // The last 1,000, or as many as the dealer's history holds.
        ASSERT_GT(bars.size(), 100u) << period;
        ASSERT_LE(bars.size(), 1000u) << period;
        for (size_t i = 1; i < bars.size(); ++i)
            ASSERT_GE(bars[i]->timeValue - bars[i - 1]->timeValue, seconds) << period << " " << i;
        EXPECT_EQ(bars[bars.size() - 1]->timeValue - bars[bars.size() - 2]->timeValue, seconds);
        // The newest bar closes at the current price.
        EXPECT_NEAR(bars.back()->priceClose, gold->priceCurrent, 1e-9) << period;
        EXPECT_EQ(stage.chart->endIndex(), static_cast<int>(bars.size()));
        EXPECT_EQ(stage.chart->indicatorList("MACD")->size(), bars.size());
        EXPECT_LE(stage.chart->priceRange().min, bars.back()->priceLow);
        stage.render();
        stage.shot("chart-dealer-period-" + std::to_string(period));
    }
}

TEST_F(ChartDealer, AnAnswerForAnotherPeriodOrSymbolThanTheLatestIsDropped) {
    const auto gold = sdk->getSymbolWith("XAUUSD");
    const auto euro = sdk->getSymbolWith("EURUSD");
    ASSERT_TRUE(gold && euro);
    stage.tapTag(KAVChartView::kTagKLineButton);

    // The minute bars are asked for first, the daily ones next; the minute
    // answer comes last.
    sim.holdReply("2023");
    loader->loadChartWithPeriodType(gold, 4);
    sim.waitForPackages("2023", 1, SimService::History);
    loader->loadChartWithPeriodType(gold, 9);
    ASSERT_TRUE(newBars(nullptr));
    const auto daily = stage.chart->chartData();
    EXPECT_EQ(stage.chart->period(), 9);
    sim.releaseHeld();
    // Asked again: once this answer is in, the held one has come and gone.
    loader->loadChartWithPeriodType(gold, 9);
    ASSERT_TRUE(newBars(daily));
    EXPECT_EQ(stage.chart->period(), 9);
    const auto& bars = *stage.chart->chartData();
    EXPECT_EQ(bars[1]->timeValue - bars[0]->timeValue, 86400);

    // The same with another symbol: gold at ~2000 must not show under euro.
    sim.holdReply("2023");
    loader->loadChartWithPeriodType(gold, 5);
    sim.waitForPackages("2023", 4, SimService::History);
    loader->loadChartWithPeriodType(euro, 5);
    const auto beforeEuro = stage.chart->chartData();
    ASSERT_TRUE(newBars(beforeEuro));
    sim.releaseHeld();
    const auto euroBars = stage.chart->chartData();
    loader->loadChartWithPeriodType(euro, 5);
    ASSERT_TRUE(newBars(euroBars));
    EXPECT_EQ(stage.chart->symbol(), euro);
    EXPECT_LT(stage.chart->chartData()->back()->priceClose, 10);
    EXPECT_LT(stage.chart->priceRange().max, 10);
}

TEST_F(ChartDealer, AFailedRequestLeavesTheChartAsItWas) {
    const auto gold = sdk->getSymbolWith("XAUUSD");
    loader->loadChartWithPeriodType(gold, 4);
    ASSERT_TRUE(newBars(nullptr));
    const auto shown = stage.chart->chartData();
    loader->loadChartWithPeriodType(gold, 3);  // a period the dealer refuses
    // A request of our own behind it: once answered, the refusal is in.
    Result<MODList<MODSymbolInfo>> probe;
    sdk->hisQuotedWithSymbol("XAUUSD", 4, -1, 0, "", "", probe.success(), probe.failure());
    ASSERT_TRUE(stage.time.runUntil([&] { return probe.successes > 0; }));
    EXPECT_EQ(stage.chart->chartData(), shown);
    EXPECT_EQ(stage.chart->period(), 4);
}

}  // namespace
