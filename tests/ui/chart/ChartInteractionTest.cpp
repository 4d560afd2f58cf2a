// The chart through the driver: the buttons and the period toolbar in
// portrait and landscape, the delegates, pan, pinch, the cross line of a long
// press, and when the chart redraws.
#include <gtest/gtest.h>

#include "platform/Audio.h"
#include "platform/ui/Button.h"
#include "platform/ui/TouchInput.h"
#include "tests/ui/chart/ChartTestSupport.h"

using namespace charttest;
using namespace platform::ui;

namespace {

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

// 300 bars in K-line mode, drawn once.
struct KLine : Stage<CountingChart> {
    int panChanges = 0;
    KLine() : Stage<CountingChart>(true) {
        chart->setData(walk(300), symbol(T, T + 86400));
        render();
        chart->panRecognizer()->addTarget([this](UIGestureRecognizer& g) {
            panChanges += g.state() == UIGestureRecognizerState::Changed;
        });
    }
    int redraws() {  // drawings since the last call
        const int before = chart->draws;
        render();
        return chart->draws - before;
    }
    std::shared_ptr<UIView> toolBar() { return chart->viewWithTag(KAVChartView::kTagToolBar); }
    // A finger drawn across the chart; the pan's change events.
    int pan(CGPoint from, CGPoint to, int steps) {
        panChanges = 0;
        UIDriver::drag(from, to, 0.3, steps);
        return panChanges;
    }
};

TEST(ChartToolbar, TagsPlacesAndHighlightsInPortraitAndLandscape) {
    Stage<> s;
    auto toolBar = s.chart->viewWithTag(KAVChartView::kTagToolBar);
    auto line = s.chart->viewWithTag<UIButton>(KAVChartView::kTagLineButton);
    auto kline = s.chart->viewWithTag<UIButton>(KAVChartView::kTagKLineButton);
    EXPECT_TRUE(toolBar->isHidden());  // minute mode
    EXPECT_EQ(line->backgroundColor(), kAccent);
    EXPECT_EQ(kline->frame(), CGRectMake(159, 259, 50, 18));

    s.tapTag(KAVChartView::kTagKLineButton);
    EXPECT_FALSE(toolBar->isHidden());
    EXPECT_EQ(kline->backgroundColor(), kAccent);
    EXPECT_EQ(line->backgroundColor(), kGrey);
    EXPECT_EQ(toolBar->frame(), CGRectMake(158, 5, 160, 19));
    const char* titles[] = {"M1", "M5", "M30", "D1"};
    for (int i = 0; i < 4; ++i) {
        auto b = toolBar->viewWithTag<UIButton>(KAVChartView::kTagPeriodM1 + i);
        EXPECT_EQ(b->debugText(), titles[i]);
        EXPECT_EQ(b->frame(), CGRectMake(39.0 * i, 0, 40, 19));
        EXPECT_EQ(b->backgroundColor(), i == 0 ? kAccent : kGrey);
    }
    s.tapTag(KAVChartView::kTagPeriodM30);
    EXPECT_EQ(toolBar->viewWithTag(KAVChartView::kTagPeriodM30)->backgroundColor(), kAccent);
    EXPECT_EQ(toolBar->viewWithTag(KAVChartView::kTagPeriodM1)->backgroundColor(), kGrey);

    // Turned to landscape: the screen's own period control stands in for
    // the toolbar, which hides and keeps its highlight; the buttons go to
    // the new bottom centre.
    s.chart->setFrame(CGRectMake(0, 40, 568, 280));
    s.chart->setToolBar(MODChartConfig::kViewLandscape);
    EXPECT_EQ(s.chart->config()->chartViewType, ChartViewType::Landscape);
    EXPECT_TRUE(toolBar->isHidden());
    EXPECT_EQ(toolBar->viewWithTag(KAVChartView::kTagPeriodM30)->backgroundColor(), kAccent);
    s.chart->layoutIfNeeded();
    EXPECT_TRUE(toolBar->isHidden());
    EXPECT_EQ(kline->frame(), CGRectMake(283, 255, 50, 18));
    // Upright again, it shows at the right edge.
    s.chart->setFrame(CGRectMake(0, 0, 320, 284));
    s.chart->setToolBar(MODChartConfig::kViewPortrait);
    EXPECT_FALSE(toolBar->isHidden());
    EXPECT_EQ(toolBar->frame().origin.x, 158);
    EXPECT_EQ(toolBar->viewWithTag(KAVChartView::kTagPeriodM30)->backgroundColor(), kAccent);
}

TEST(ChartToolbar, DelegatesHearTapsAndAreNotKeptAlive) {
    Stage<> s;
    auto recorder = std::make_shared<Recorder>();
    s.chart->setChartSelectDelegate(recorder);
    s.chart->setPeriodSelectDelegate(recorder);
    auto bars = walk(120);
    s.chart->setData(bars, symbol(T, T + 3600));
    EXPECT_EQ(s.chart->endIndex(), 61);  // the one-hour minute line, both ends
    s.tapTag(KAVChartView::kTagKLineButton);
    // The same bars, rebuilt as candles with indicators.
    EXPECT_EQ(s.chart->endIndex(), 120);
    EXPECT_EQ((*s.chart->chartData())[0], bars[0]);
    ASSERT_TRUE(s.chart->indicatorList("MACD"));
    s.tapTag(KAVChartView::kTagPeriodD1);  // the type is reported again, unchanged
    s.tapTag(KAVChartView::kTagLineButton);
    EXPECT_EQ(recorder->types, (std::vector<int>{2, 2, 1}));
    EXPECT_EQ(recorder->periods, (std::vector<int>{30004}));

    // The owner goes without clearing them: the chart does not keep it, and
    // taps still switch and light up.
    std::weak_ptr<Recorder> gone = recorder;
    recorder.reset();
    EXPECT_TRUE(gone.expired());
    s.tapTag(KAVChartView::kTagKLineButton);
    EXPECT_FALSE(s.chart->isChartLine());
    EXPECT_TRUE(s.chart->hasIndicatorPane());
    EXPECT_EQ(s.chart->viewWithTag(KAVChartView::kTagKLineButton)->backgroundColor(), kAccent);
}

TEST(ChartGestures, PanMovesOneBarPerChangeAndStopsAtEitherEnd) {
    KLine s;
    // Towards newer bars with the window at the newest: nothing, no redraw.
    EXPECT_GT(s.pan({250, 100}, {50, 100}, 5), 0);
    EXPECT_EQ(s.chart->endIndex(), 300);
    EXPECT_EQ(s.redraws(), 0);
    // Right by 40 points a step, almost seven bars: one bar per change.
    int changes = s.pan({20, 100}, {300, 100}, 7);
    EXPECT_EQ(s.chart->startIndex(), 254 - changes);
    EXPECT_EQ(s.chart->endIndex(), 300 - changes);
    EXPECT_EQ(s.redraws(), 1);
    const auto& bars = *s.chart->chartData();
    const auto r = kavchart::scanData(bars, kavchart::calculateAVG(bars), s.chart->startIndex(),
                                      s.chart->endIndex());
    EXPECT_EQ(s.chart->priceRange(), r->price);  // rescanned for the new window
    EXPECT_EQ(s.chart->indexRange(), r->index);
    const int start = s.chart->startIndex();
    changes = s.pan({300, 100}, {200, 100}, 3);
    EXPECT_EQ(s.chart->startIndex(), start + changes);
    // To the oldest bar and beyond: the window stops at 0, and redraws no more.
    s.pan({10, 100}, {300, 100}, 300);
    EXPECT_EQ(s.chart->startIndex(), 0);
    EXPECT_EQ(s.chart->endIndex(), 46);
    s.redraws();
    s.pan({10, 100}, {300, 100}, 5);
    EXPECT_EQ(s.redraws(), 0);
}

TEST(ChartGestures, PinchKeepsTheBarWidthWithinThreeToTen) {
    KLine s;
    auto& c = *s.chart->config();
    UIDriver::pinch({150, 100}, 60, 300, 0.5, 25);
    EXPECT_EQ(c.pointWidthDef, 10);
    EXPECT_EQ(s.chart->visableCount(), (280 - 2) / 12);
    EXPECT_EQ(s.chart->startIndex(), 254);  // zooming in keeps the oldest bar shown
    EXPECT_EQ(s.redraws(), 1);
    UIDriver::pinch({150, 100}, 60, 300, 0.5, 25);
    EXPECT_EQ(c.pointWidthDef, 10);
    EXPECT_EQ(s.redraws(), 0);
    UIDriver::pinch({150, 100}, 300, 40, 0.5, 30);
    EXPECT_EQ(c.pointWidthDef, 3);
    EXPECT_EQ(s.chart->visableCount(), (280 - 2) / 5);
    EXPECT_EQ(s.chart->endIndex(), 300);
    EXPECT_EQ(s.redraws(), 1);
    UIDriver::pinch({150, 100}, 300, 40, 0.5, 30);
    EXPECT_EQ(c.pointWidthDef, 3);
    EXPECT_EQ(s.redraws(), 0);

    // Minute mode: neither pan nor pinch changes anything.
    s.tapTag(KAVChartView::kTagLineButton);
    s.redraws();
    const int end = s.chart->endIndex();
    s.pan({20, 100}, {300, 100}, 7);
    UIDriver::pinch({150, 100}, 300, 40, 0.5, 30);
    EXPECT_EQ(s.chart->endIndex(), end);
    EXPECT_EQ(c.pointWidthDef, 3);
    EXPECT_EQ(s.redraws(), 0);
}

TEST(ChartGestures, LongPressShowsTheCrossLineThatThePanMovesAndTheLiftEnds) {
    KLine s;
    platform::audio::clearRecordedPlays();
    TouchInput::touchDown(1, {150, 80});
    s.time.advance(0.6);
    EXPECT_TRUE(s.chart->isShowingCrossLine());
    EXPECT_EQ(s.chart->crossPoint(), (CGPoint{150, 80}));
    EXPECT_TRUE(s.toolBar()->isHidden());
    const auto plays = platform::audio::recordedPlays();
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0].file.filename(), "touchStart.wav");
    EXPECT_EQ(s.redraws(), 1);
    // Held and moved: the cross follows the finger inside the drawing area.
    TouchInput::touchMove(1, {170, 90});
    TouchInput::touchMove(1, {200, 110});
    TouchInput::touchMove(1, {200, 280});
    EXPECT_EQ(s.chart->crossPoint(), (CGPoint{200, 110}));
    EXPECT_EQ(s.chart->startIndex(), 254);
    EXPECT_EQ(s.redraws(), 1);
    s.shot("chart-cross-line");
    TouchInput::touchUp(1, {200, 280});
    EXPECT_FALSE(s.chart->isShowingCrossLine());
    EXPECT_FALSE(s.toolBar()->isHidden());
    EXPECT_EQ(s.redraws(), 1);

    UIDriver::longPress({40, 275});  // begun outside the drawing area
    EXPECT_FALSE(s.chart->isShowingCrossLine());
    EXPECT_EQ(s.redraws(), 0);

    // A press the system cancels ends the cross line as a lift does.
    TouchInput::touchDown(1, {150, 80});
    s.time.advance(0.6);
    ASSERT_TRUE(s.chart->isShowingCrossLine());
    TouchInput::touchCancel(1);
    EXPECT_FALSE(s.chart->isShowingCrossLine());
    EXPECT_FALSE(s.toolBar()->isHidden());
    EXPECT_GT(s.pan({20, 100}, {300, 100}, 4), 0);
    EXPECT_LT(s.chart->startIndex(), 254);  // and the pan moves the window again
}

TEST(ChartRedraw, OnlyNewBarsANewWindowOrModeOrTheCrossLineRedraw) {
    KLine s;
    s.tapTag(KAVChartView::kTagKLineButton);
    s.tapTag(KAVChartView::kTagPeriodM5);
    s.chart->setDecimal(3);
    s.chart->setToolBar(MODChartConfig::kViewLandscape);
    s.chart->setData(std::nullopt, s.chart->symbol());
    EXPECT_EQ(s.redraws(), 0);
    s.chart->setData(*s.chart->chartData(), s.chart->symbol());  // the same bars, anew
    EXPECT_EQ(s.redraws(), 1);
    s.pan({20, 100}, {300, 100}, 4);
    EXPECT_EQ(s.redraws(), 1);
    s.chart->setToolBar(MODChartConfig::kViewPortrait);  // its period bar shows again
    EXPECT_EQ(s.redraws(), 0);
    s.tapTag(KAVChartView::kTagPeriodM1);  // back to the newest bars
    EXPECT_EQ(s.chart->endIndex(), 300);
    EXPECT_EQ(s.redraws(), 1);
    s.tapTag(KAVChartView::kTagLineButton);
    EXPECT_EQ(s.redraws(), 1);
}

}  // namespace
