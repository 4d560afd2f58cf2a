// The chart through the driver: the chart-type buttons and the period
// toolbar in portrait and landscape, the delegates, pan, pinch, the cross
// line of a long press, and when the chart redraws.
#include <gtest/gtest.h>

#include "platform/Audio.h"
#include "platform/ui/Button.h"
#include "tests/ui/chart/ChartTestSupport.h"

using namespace charttest;
using namespace platform::ui;
using State = UIGestureRecognizerState;

namespace {

constexpr int64_t T = kDayStart;
const UIColor kAccent = UIColor::rgb255(39, 140, 192);
const UIColor kGrey = UIColor::grey255(60);

class CountingChart : public KAVChartView {
  public:
    using KAVChartView::KAVChartView;
    int draws = 0;
    void drawRect(CGRect rect) override {
        ++draws;
        KAVChartView::drawRect(rect);
    }
};

struct Recorder : ChartSelectDelegate, PeriodSelectDelegate {
    std::vector<int> types, periods;
    void onChartTypeSelect(int chartType) override { types.push_back(chartType); }
    void onPeriodTypeSelect(int tag) override { periods.push_back(tag); }
};

// A K-line chart of 300 bars on the market-order screen's portrait panel
// that counts its drawings.
struct KLine : Stage<CountingChart> {
    KLine() {
        tapTag(KAVChartView::kTagKLineButton);
        chart->setData(walk(300), symbol(T, T + 86400));
        render();
    }
    // Drawings since the last call.
    int redraws() {
        const int before = chart->draws;
        render();
        return chart->draws - before;
    }
    UIView* tagged(long tag) { return chart->viewWithTag(tag); }
};

TEST(ChartToolbar, TagsPlacesAndHighlightsInPortraitAndLandscape) {
    Stage<> s;
    auto* toolBar = s.chart->viewWithTag(KAVChartView::kTagToolBar);
    auto* line = s.chart->viewWithTag(KAVChartView::kTagLineButton);
    auto* kline = s.chart->viewWithTag(KAVChartView::kTagKLineButton);
    ASSERT_TRUE(toolBar && line && kline);
    // Minute mode: no toolbar, "分时" lit.
    EXPECT_TRUE(toolBar->isHidden());
    EXPECT_EQ(line->debugText(), "分时");
    EXPECT_EQ(line->backgroundColor(), kAccent);
    EXPECT_EQ(kline->backgroundColor(), kGrey);
    EXPECT_EQ(line->frame(), CGRectMake(110, 259, 50, 18));
    EXPECT_EQ(kline->frame(), CGRectMake(159, 259, 50, 18));

    s.tapTag(KAVChartView::kTagKLineButton);
    EXPECT_FALSE(toolBar->isHidden());
    EXPECT_EQ(kline->backgroundColor(), kAccent);
    EXPECT_EQ(line->backgroundColor(), kGrey);
    EXPECT_EQ(toolBar->frame(), CGRectMake(158, 5, 160, 19));
    const std::vector<std::string> titles = {"M1", "M5", "M30", "D1"};
    for (int i = 0; i < 4; ++i) {
        auto* b = toolBar->viewWithTag(KAVChartView::kTagPeriodM1 + i);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->debugText(), titles[static_cast<size_t>(i)]);
        EXPECT_EQ(b->frame(), CGRectMake(39.0 * i, 0, 40, 19));
        EXPECT_EQ(b->backgroundColor(), i == 0 ? kAccent : kGrey);
        EXPECT_EQ(b->layer().borderColor(), kAccent);
    }
    s.shot("chart-toolbar-portrait");

    s.tapTag(KAVChartView::kTagPeriodM30);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(toolBar->viewWithTag(KAVChartView::kTagPeriodM1 + i)->backgroundColor(),
                  i == 2 ? kAccent : kGrey);

    // Turned: the chart fills the landscape screen; the toolbar moves to its
    // right edge and keeps its highlight.
    s.chart->setFrame(CGRectMake(0, 5, 568, 315));
    s.chart->setToolBar(MODChartConfig::kViewLandscape);
    EXPECT_EQ(s.chart->config()->chartViewType, 16);
    EXPECT_EQ(toolBar->frame(), CGRectMake(406, 5, 160, 19));
    EXPECT_EQ(toolBar->viewWithTag(KAVChartView::kTagPeriodM30)->backgroundColor(), kAccent);
    s.chart->setData(walk(200), symbol(T, T + 86400));
    EXPECT_EQ(kline->frame(), CGRectMake(283, 290, 50, 18));
    s.chart->setFrame(CGRectMake(0, 0, 320, 284));
    s.chart->setToolBar(MODChartConfig::kViewPortrait);
    EXPECT_EQ(s.chart->config()->chartViewType, 8);
    EXPECT_EQ(toolBar->frame().origin.x, 158);
    // New bars put the buttons back at the bottom of the new size.
    s.chart->setData(walk(200), symbol(T, T + 86400));
    EXPECT_EQ(kline->frame(), CGRectMake(159, 259, 50, 18));

    s.tapTag(KAVChartView::kTagLineButton);
    EXPECT_TRUE(toolBar->isHidden());
    EXPECT_EQ(line->backgroundColor(), kAccent);
}

TEST(ChartToolbar, DelegatesHearTapsAndAreNotKeptAlive) {
    Stage<> s;
    auto recorder = std::make_shared<Recorder>();
    s.chart->setChartSelectDelegate(recorder);
    s.chart->setPeriodSelectDelegate(recorder);
    s.tapTag(KAVChartView::kTagKLineButton);
    s.tapTag(KAVChartView::kTagPeriodD1);  // the type is reported again, unchanged
    s.tapTag(KAVChartView::kTagLineButton);
    EXPECT_EQ(recorder->types, (std::vector<int>{2, 2, 1}));
    EXPECT_EQ(recorder->periods, (std::vector<int>{30004}));

    // The owner goes away without clearing them: taps still switch.
    std::weak_ptr<Recorder> gone = recorder;
    recorder.reset();
    EXPECT_TRUE(gone.expired());
    EXPECT_EQ(s.chart->chartSelectDelegate(), nullptr);
    s.tapTag(KAVChartView::kTagKLineButton);
    EXPECT_FALSE(s.chart->isChartLine());
    EXPECT_TRUE(s.chart->hasIndicatorPane());
    EXPECT_EQ(s.chart->config()->yAxiss.objectForKey("index")->heightPercent, 0.3);
    s.tapTag(KAVChartView::kTagLineButton);
    EXPECT_TRUE(s.chart->isChartLine());
    EXPECT_FALSE(s.chart->hasIndicatorPane());
}

TEST(ChartToolbar, SwitchingModesRebuildsFromTheBarsItHolds) {
    Stage<> s;
    auto bars = walk(120, 2, T);
    s.chart->setData(bars, symbol(T, T + 3600));
    EXPECT_EQ(s.chart->endIndex(), 61);  // the one-hour session, both ends included
    EXPECT_EQ(s.chart->indicatorList("MA5"), nullptr);
    s.tapTag(KAVChartView::kTagKLineButton);
    ASSERT_NE(s.chart->indicatorList("MA5"), nullptr);
    EXPECT_EQ(s.chart->endIndex(), 120);
    EXPECT_EQ(s.chart->startIndex(), 120 - 46);
    EXPECT_EQ((*s.chart->chartData())[0], bars[0]);  // the caller's bars, shared
}

TEST(ChartGestures, PanMovesTheWindowOneBarPerChangeHoweverFarTheFingerGoes) {
    KLine s;
    int changes = 0;
    s.chart->panRecognizer()->addTarget([&](UIGestureRecognizer& g) {
        if (g.state() == State::Changed) ++changes;
    });
    EXPECT_EQ(s.chart->startIndex(), 254);
    // Towards newer bars with the window at the newest: nothing, no redraw.
    UIDriver::drag({250, 100}, {50, 100}, 0.3, 5);
    EXPECT_GT(changes, 0);
    EXPECT_EQ(s.chart->endIndex(), 300);
    EXPECT_EQ(s.redraws(), 0);

    // Right by 40 points a step (almost seven bars): one bar per change.
    changes = 0;
    UIDriver::drag({20, 100}, {300, 100}, 0.3, 7);
    ASSERT_GT(changes, 0);
    EXPECT_EQ(s.chart->startIndex(), 254 - changes);
    EXPECT_EQ(s.chart->endIndex(), 300 - changes);
    EXPECT_EQ(s.redraws(), 1);
    // The ranges are those of the new window.
    const auto r =
        kavchart::scanData(*s.chart->chartData(), kavchart::calculateAVG(*s.chart->chartData()),
                           s.chart->startIndex(), s.chart->endIndex());
    EXPECT_EQ(s.chart->priceRange(), r->price);
    EXPECT_EQ(s.chart->indexRange(), r->index);

    // Back left: the window returns toward the newest bar.
    const int start = s.chart->startIndex();
    changes = 0;
    UIDriver::drag({300, 100}, {200, 100}, 0.3, 3);
    EXPECT_EQ(s.chart->startIndex(), start + changes);
}

TEST(ChartGestures, PanStopsAtTheOldestBar) {
    Stage<CountingChart> s;
    s.tapTag(KAVChartView::kTagKLineButton);
    s.chart->setData(walk(60), symbol(T, T + 86400));
    EXPECT_EQ(s.chart->startIndex(), 14);
    UIDriver::drag({10, 100}, {300, 100}, 1, 40);
    EXPECT_EQ(s.chart->startIndex(), 0);
    EXPECT_EQ(s.chart->endIndex(), 46);
    s.render();
    const int draws = s.chart->draws;
    UIDriver::drag({10, 100}, {300, 100}, 0.3, 5);
    s.render();
    EXPECT_EQ(s.chart->draws, draws);
}

TEST(ChartGestures, PinchKeepsTheBarWidthWithinThreeToTen) {
    KLine s;
    auto& c = *s.chart->config();
    EXPECT_EQ(c.pointWidthDef, 4);
    UIDriver::pinch({150, 100}, 60, 300, 0.5, 25);
    EXPECT_EQ(c.pointWidthDef, 10);
    EXPECT_EQ(c.pointWidth, 10);
    // Zooming in keeps the window's oldest bar.
    EXPECT_EQ(s.chart->visableCount(), (280 - 2) / 12);
    EXPECT_EQ(s.chart->startIndex(), 254);
    EXPECT_EQ(s.chart->endIndex(), 254 + (280 - 2) / 12);
    EXPECT_EQ(s.redraws(), 1);
    UIDriver::pinch({150, 100}, 60, 300, 0.5, 25);  // already at 10
    EXPECT_EQ(c.pointWidthDef, 10);
    EXPECT_EQ(s.redraws(), 0);

    UIDriver::pinch({150, 100}, 300, 40, 0.5, 30);
    EXPECT_EQ(c.pointWidthDef, 3);
    EXPECT_EQ(s.chart->visableCount(), (280 - 2) / 5);
    EXPECT_EQ(s.chart->endIndex() - s.chart->startIndex(), s.chart->visableCount());
    EXPECT_EQ(s.redraws(), 1);
    UIDriver::pinch({150, 100}, 300, 40, 0.5, 30);
    EXPECT_EQ(c.pointWidthDef, 3);
    EXPECT_EQ(s.redraws(), 0);
}

TEST(ChartGestures, MinuteModeIgnoresPanAndPinch) {
    Stage<CountingChart> s;
    s.chart->setData(walk(300), symbol(T, T + 86400));
    s.render();
    const int draws = s.chart->draws;
    const int start = s.chart->startIndex(), end = s.chart->endIndex();
    UIDriver::drag({20, 100}, {300, 100}, 0.3, 7);
    UIDriver::pinch({150, 100}, 60, 300, 0.5, 25);
    EXPECT_EQ(s.chart->startIndex(), start);
    EXPECT_EQ(s.chart->endIndex(), end);
    EXPECT_EQ(s.chart->config()->pointWidthDef, 4);
    s.render();
    EXPECT_EQ(s.chart->draws, draws);
}

TEST(ChartGestures, LongPressShowsTheCrossLineThatThePanMovesAndTheLiftEnds) {
    KLine s;
    platform::audio::clearRecordedPlays();
    auto* toolBar = s.tagged(KAVChartView::kTagToolBar);
    TouchInput::touchDown(1, {150, 80});
    s.time.advance(0.6);
    EXPECT_TRUE(s.chart->isShowingCrossLine());
    EXPECT_EQ(s.chart->crossPoint(), (CGPoint{150, 80}));
    EXPECT_TRUE(toolBar->isHidden());
    const auto plays = platform::audio::recordedPlays();
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0].file.filename(), "touchStart.wav");
    EXPECT_EQ(s.redraws(), 1);

    // Held and moved: the cross follows the finger, inside the drawing area only.
    TouchInput::touchMove(1, {170, 90});
    TouchInput::touchMove(1, {200, 110});
    EXPECT_EQ(s.chart->crossPoint(), (CGPoint{200, 110}));
    EXPECT_EQ(s.chart->startIndex(), 254);  // the window stays
    TouchInput::touchMove(1, {200, 280});   // below the drawing area
    EXPECT_EQ(s.chart->crossPoint(), (CGPoint{200, 110}));
    EXPECT_EQ(s.redraws(), 1);
    s.shot("chart-cross-line");

    TouchInput::touchUp(1, {200, 280});
    EXPECT_FALSE(s.chart->isShowingCrossLine());
    EXPECT_FALSE(toolBar->isHidden());
    EXPECT_EQ(s.redraws(), 1);

    // Begun outside the drawing area: no cross line, nothing to redraw.
    UIDriver::longPress({40, 275});
    EXPECT_FALSE(s.chart->isShowingCrossLine());
    EXPECT_EQ(s.redraws(), 0);
    EXPECT_EQ(platform::audio::recordedPlays().size(), 1u);
}

TEST(ChartGestures, ACancelledLongPressEndsTheCrossLineToo) {
    KLine s;
    TouchInput::touchDown(1, {150, 80});
    s.time.advance(0.6);
    ASSERT_TRUE(s.chart->isShowingCrossLine());
    TouchInput::touchCancel(1);
    EXPECT_FALSE(s.chart->isShowingCrossLine());
    EXPECT_FALSE(s.tagged(KAVChartView::kTagToolBar)->isHidden());
    // A plain pan afterwards moves the window again.
    UIDriver::drag({20, 100}, {300, 100}, 0.3, 4);
    EXPECT_LT(s.chart->startIndex(), 254);
}

TEST(ChartRedraw, OnlyNewBarsANewWindowOrModeOrTheCrossLineRedraw) {
    KLine s;
    EXPECT_EQ(s.redraws(), 0);
    // Taps that change nothing shown.
    s.tapTag(KAVChartView::kTagKLineButton);
    s.tapTag(KAVChartView::kTagPeriodM5);
    EXPECT_EQ(s.redraws(), 0);
    s.chart->setDecimal(3);
    s.chart->setPeriod(5);
    s.chart->setToolBar(MODChartConfig::kViewLandscape);
    s.chart->setData(std::nullopt, s.chart->symbol());
    EXPECT_EQ(s.redraws(), 0);
    // New bars, even the same ones again.
    s.chart->setData(*s.chart->chartData(), s.chart->symbol());
    EXPECT_EQ(s.redraws(), 1);
    // A period tap after a pan puts the window back at the newest bar.
    UIDriver::drag({20, 100}, {300, 100}, 0.3, 4);
    EXPECT_EQ(s.redraws(), 1);
    s.tapTag(KAVChartView::kTagPeriodM1);
    EXPECT_EQ(s.chart->endIndex(), 300);
    EXPECT_EQ(s.redraws(), 1);
    s.tapTag(KAVChartView::kTagLineButton);
    EXPECT_EQ(s.redraws(), 1);
}

}  // namespace
