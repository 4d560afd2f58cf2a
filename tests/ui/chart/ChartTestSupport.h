#pragma once

// Bars, symbols and a window on the virtual clock for the chart tests.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>

#include "platform/ui/Driver.h"
#include "tests/support/TestSupport.h"
#include "ui/chart/KAVChartView.h"

namespace charttest {

inline constexpr int64_t kDayStart = 1767571200;  // 2026-01-05 00:00 UTC
// Short for the start of the day, which most times in the tests count from.
inline constexpr int64_t T = kDayStart;

inline std::shared_ptr<MODKAVCahrtData> bar(int64_t time, double open, double high, double low,
                                            double close) {
    return std::make_shared<MODKAVCahrtData>(MODKAVCahrtData{time, open, high, low, close});
}

// A minute apart from `start`, open = high = low = close.
inline MODChartList barsWithCloses(const std::vector<double>& closes, int64_t start = kDayStart) {
    MODChartList bars;
    for (double c : closes)
        bars.push_back(bar(start + 60 * static_cast<int64_t>(bars.size()), c, c, c, c));
    return bars;
}

// A seeded random walk of minute bars with bodies and wicks.
inline MODChartList walk(size_t count, uint64_t seed = 7, int64_t start = kDayStart) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> move(0, 1.5);
    std::uniform_real_distribution<double> wick(0.1, 1.2);
    MODChartList bars;
    for (double open = 2000; bars.size() < count;) {
        const double close = open + move(rng);
        bars.push_back(bar(start + 60 * static_cast<int64_t>(bars.size()), open,
                           std::max(open, close) + wick(rng), std::min(open, close) - wick(rng),
                           close));
        open = close;
    }
    return bars;
}

inline std::shared_ptr<MODSymbolInfo> symbol(int64_t begin, int64_t end) {
    auto s = std::make_shared<MODSymbolInfo>();
    s->symbolCode = "XAUUSD";
    s->beginTime = begin;
    s->endTime = end;
    return s;
}

// A key window on the virtual clock holding one chart (the market-order
// screen's portrait panel unless told otherwise), optionally in K-line mode.
template <typename Chart = KAVChartView>
struct Stage {
    kavtest::VirtualTime time;
    std::shared_ptr<platform::ui::UIWindow> window;
    std::shared_ptr<Chart> chart;

    explicit Stage(bool kline = false, platform::ui::CGRect frame = {{0, 0}, {320, 284}},
                   platform::ui::CGSize windowSize = {320, 568},
                   std::shared_ptr<MODChartConfig> config = nullptr) {
        window = std::make_shared<platform::ui::UIWindow>(platform::ui::CGRect{{0, 0}, windowSize});
        window->setBackgroundColor(platform::ui::UIColor::grey255(30));
        chart = std::make_shared<Chart>(frame, std::move(config));
        chart->setBackgroundColor(platform::ui::UIColor::grey255(30));
        window->addSubview(chart);
        window->makeKeyAndVisible();
        if (kline) tapTag(KAVChartView::kTagKLineButton);
    }
    ~Stage() { time.advance(1); }

    void tapTag(long tag) { platform::ui::UIDriver::tap(chart->viewWithTag(tag).get()); }
    platform::ui::UIImagePtr render() {
        return platform::ui::UIDriver::renderImage(1, window.get());
    }
    // The window to $KAV_SCREENSHOTS/<name>.png, when that is set.
    void shot(const std::string& name) {
        const char* dir = std::getenv("KAV_SCREENSHOTS");
        if (!dir || !*dir) return;
        std::filesystem::create_directories(dir);
        EXPECT_TRUE(platform::ui::UIDriver::renderPNG(std::filesystem::path(dir) / (name + ".png"),
                                                      2, window.get()));
    }
};

}  // namespace charttest
