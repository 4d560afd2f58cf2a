// The chart's labels are drawn whole inside the view: the price labels of
// long prices at the right edge and the two times at the bottom, in portrait
// and landscape, minute line and candlesticks; the cross line's time label at
// either end of the bars. Read back from the pixels at scale 2: the ink of a
// label must be as wide as the ink of its text drawn alone.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "platform/ui/Canvas.h"
#include "platform/ui/Image.h"
#include "platform/ui/TouchInput.h"
#include "tests/ui/chart/ChartTestSupport.h"
#include "ui/services/sysDB.h"

using namespace charttest;
using namespace platform::ui;

namespace {

constexpr double kScale = 2;

// Columns (pixels) holding a matching pixel in the rows top..bottom (points),
// between the x from and to (points).
struct Span {
    int left = INT_MAX, right = -1;
    int width() const { return right < left ? 0 : right - left + 1; }
};

template <typename Match>
Span spanOf(const UIImage& img, double top, double bottom, double from, double to, Match match) {
    Span s;
    const int x0 = std::max(0, static_cast<int>(from * kScale));
    const int x1 = std::min(img.pixelWidth(), static_cast<int>(to * kScale));
    const int y0 = std::max(0, static_cast<int>(top * kScale));
    const int y1 = std::min(img.pixelHeight(), static_cast<int>(bottom * kScale));
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (match(img.pixelAt(x, y))) {
                s.left = std::min(s.left, x);
                s.right = std::max(s.right, x);
            }
    return s;
}

// Light grey or white on the dark background: label text, not the olive
// frame, the faint grid or the coloured series.
bool textInk(const UIColor& p) {
    return p.red > 0.35 && std::fabs(p.red - p.green) < 0.08 && std::fabs(p.red - p.blue) < 0.08;
}

// The yellow behind the cross line's labels.
bool labelBackground(const UIColor& p) {
    return p.red > 0.6 && p.green > 0.6 && p.blue < 0.3;
}

const UIFont& labelFont() {
    static const UIFont font = UIFont::systemFontOfSize(10);
    return font;
}

// The ink width (pixels) of the text drawn alone in the axis label colour.
int inkWidth(const std::string& text) {
    UIGraphicsBeginImageContextWithOptions({200, 20}, true, kScale);
    Canvas* c = UIGraphicsGetCurrentContext();
    c->setFillColor(UIColor::grey255(30));
    c->fillRect({{0, 0}, {200, 20}});
    c->drawTextAtPoint(text, {10, 2}, labelFont(), UIColor::colorWithWhite(0.7, 0.8));
    const auto img = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return spanOf(*img, 0, 20, 0, 200, textInk).width();
}

// A gentle wave of bars about `price` whose grid values take every digit.
MODChartList barsAbout(double price) {
    MODChartList bars;
    for (int i = 0; i < 200; ++i) {
        const double v = price * (1 + 0.002 * std::sin(i / 10.0));
        bars.push_back(bar(T + 60 * i, v, v * 1.0004, v * 0.9996, v * (1 + 0.0002 * (i % 3 - 1))));
    }
    return bars;
}

struct Layout {
    const char* name;
    bool kline;
    CGRect frame;
    CGSize window;
    bool landscape;
};

const Layout kLayouts[] = {
    {"portrait-minute", false, {{0, 0}, {320, 284}}, {320, 568}, false},
    {"portrait-kline", true, {{0, 0}, {320, 284}}, {320, 568}, false},
    {"landscape-minute", false, {{0, 5}, {568, 315}}, {568, 320}, true},
    {"landscape-kline", true, {{0, 5}, {568, 315}}, {568, 320}, true},
};

struct Price {
    double value;
    int decimals;
};

// Gold, the euro and the index: "2006.06", "1.10410", "38002.0" long.
const Price kPrices[] = {{2006.06, 2}, {1.1041, 5}, {38002.0, 1}};

TEST(ChartLabels, LongPricesAndTheTimesStayWholeInsideTheViewInEveryLayout) {
    for (const Layout& layout : kLayouts) {
        for (const Price& price : kPrices) {
            SCOPED_TRACE(std::string(layout.name) + " " +
                         sysDB::formatPrice(price.value, price.decimals));
            Stage<> s(layout.kline, layout.frame, layout.window);
            if (layout.landscape) s.chart->setToolBar(MODChartConfig::kViewLandscape);
            s.chart->setDecimal(price.decimals);
            s.chart->setData(barsAbout(price.value), symbol(T, T + 86400));
            const auto img = UIDriver::renderImage(kScale, s.window.get());
            if (price.decimals == 2) s.shot(std::string("chart-labels-") + layout.name);
            s.chart->layoutPanes();
            const CGFloat top = layout.frame.origin.y, V = layout.frame.size.width;

            // Every price label: all its digits inked, none beyond the view.
            const auto& master = *s.chart->config()->yAxiss.objectForKey("master");
            const auto grid = s.chart->calculateGridLine(master, 4);
            ASSERT_EQ(grid.size(), 4u);
            for (const auto& p : grid) {
                const std::string text = sysDB::formatPrice(p.Value, price.decimals);
                SCOPED_TRACE(text);
                ASSERT_EQ(text.size(), 7u);
                const Span ink =
                    spanOf(*img, top + p.Point - 10, top + p.Point + 2, V - 50, V, textInk);
                EXPECT_GE(ink.width(), inkWidth(text) - 2);
                EXPECT_LT(ink.right, static_cast<int>(V * kScale) - 1);
            }

            // The oldest time at the left, the newest at the right, clear of
            // the mode buttons in the middle.
            const auto& times = *s.chart->config()->xAxis;
            const double y = top + times.origin.y;
            int64_t oldest = T, newest = T + 86400;
            if (layout.kline) {
                oldest =
                    (*s.chart->chartData())[static_cast<size_t>(s.chart->startIndex())]->timeValue;
                newest = (*s.chart->chartData())[static_cast<size_t>(s.chart->endIndex() - 1)]
                             ->timeValue;
            }
            const Span left = spanOf(*img, y, y + 12, 0, 100, textInk);
            const Span right = spanOf(*img, y, y + 12, V - 110, V, textInk);
            EXPECT_GE(left.width(), inkWidth(sysDB::Epoch2Date(oldest, "MM-dd HH:mm")) - 2);
            EXPECT_GT(left.left, 0);
            EXPECT_GE(right.width(), inkWidth(sysDB::Epoch2Date(newest, "MM-dd HH:mm")) - 2);
            EXPECT_LT(right.right, static_cast<int>(V * kScale) - 1);
        }
    }
}

TEST(ChartLabels, TheCrossLinesTimeLabelStaysWholeAtEitherEndOfTheBars) {
    Stage<> s(true);
    s.chart->setDecimal(2);
    s.chart->setData(barsAbout(2006.06), symbol(T, T + 86400));
    const CGFloat V = s.chart->bounds().size.width;
    // The first bar's slot begins 2 points into the drawing area, the last
    // one's ends as far from its right.
    const double firstBar = s.chart->barLeft(s.chart->startIndex()) + 1;
    const double lastBar = s.chart->barLeft(s.chart->endIndex() - 1) + 1;
    for (double x : {firstBar, lastBar}) {
        SCOPED_TRACE(x);
        TouchInput::touchDown(1, {x, 100});
        s.time.advance(0.6);
        ASSERT_TRUE(s.chart->isShowingCrossLine());
        const int index = s.chart->pointToIndex({x, 100});
        ASSERT_GE(index, 0);
        const auto img = UIDriver::renderImage(kScale, s.window.get());
        s.shot(x < V / 2 ? "chart-cross-line-first-bar" : "chart-cross-line-last-bar");
        TouchInput::touchUp(1, {x, 100});

        // The yellow behind " MM-dd HH:mm " is as wide as the text, and in the view.
        const auto time = (*s.chart->chartData())[static_cast<size_t>(index)]->timeValue;
        const std::string text = " " + sysDB::Epoch2Date(time, "MM-dd HH:mm") + " ";
        const double width = sysDB::widthOfString(text, labelFont()).width * kScale;
        const double y = s.chart->drawingOrigin().y + 15;
        const Span label = spanOf(*img, y, y + 12, 0, V, labelBackground);
        EXPECT_GE(label.width(), width - 2);
        EXPECT_LT(label.right, static_cast<int>(V * kScale));
    }
}

// The blue of the "MA15" caption.
bool ma15Ink(const UIColor& p) {
    return p.blue > 0.6 && p.red < 0.5 && p.green < 0.5;
}

TEST(ChartLabels, TheCrossLinesBarCaptionIsNotDrawnOverTheCaptionsOfTheAverages) {
    // Gold with two decimals and the index with one: captions of some 40
    // characters, reaching past the middle of a portrait chart.
    for (const Price& price : {Price{2006.06, 2}, Price{38002.0, 1}}) {
        SCOPED_TRACE(price.value);
        Stage<> s(true);
        s.chart->setDecimal(price.decimals);
        s.chart->setData(barsAbout(price.value), symbol(T, T + 86400));
        const CGFloat V = s.chart->bounds().size.width;
        const double top = s.chart->drawingOrigin().y + 2, bottom = top + 12;
        const auto before = UIDriver::renderImage(kScale, s.window.get());
        ASSERT_GT(spanOf(*before, top, bottom, 0, V, ma15Ink).width(), 0);

        TouchInput::touchDown(1, {150, 100});
        s.time.advance(0.6);
        ASSERT_TRUE(s.chart->isShowingCrossLine());
        const auto img = UIDriver::renderImage(kScale, s.window.get());
        s.shot("chart-cross-line-caption-" + std::to_string(price.decimals));
        TouchInput::touchUp(1, {150, 100});
        const Span caption = spanOf(*img, top, bottom, 0, V, textInk);
        ASSERT_GT(caption.width(), 0);
        // Whatever caption of an average shows ends left of the bar's caption.
        const Span ma15 = spanOf(*img, top, bottom, 0, V, ma15Ink);
        if (ma15.width() > 0) {
            EXPECT_LT(ma15.right, caption.left);
        }
        EXPECT_GT(caption.left, 0);
    }
}

}  // namespace
