#pragma once

// Bars, symbols and a stage for the chart tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "Core/Model/MODSymbolInfo.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"
#include "ui/chart/KAVChartView.h"

namespace charttest {

// 2026-01-05 00:00:00 UTC, on the minute grid.
inline constexpr int64_t kDayStart = 1767571200;

inline std::shared_ptr<MODKAVCahrtData> bar(int64_t time, double open, double high, double low,
                                            double close) {
    auto b = std::make_shared<MODKAVCahrtData>();
    b->timeValue = time;
    b->priceOpen = open;
    b->priceHigh = high;
    b->priceLow = low;
    b->priceClose = close;
    return b;
}

// One bar per close, a minute apart from `start`; open = high = low = close.
inline MODChartList barsWithCloses(const std::vector<double>& closes, int64_t start = kDayStart,
                                   int64_t step = 60) {
    MODChartList bars;
    for (size_t i = 0; i < closes.size(); ++i)
        bars.push_back(bar(start + static_cast<int64_t>(i) * step, closes[i], closes[i], closes[i],
                           closes[i]));
    return bars;
}

// A seeded random walk of `count` bars with real bodies and wicks.
inline MODChartList walk(size_t count, uint64_t seed = 7, int64_t start = kDayStart,
                         int64_t step = 60, double price = 2000) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> move(0, 1.5);
    std::uniform_real_distribution<double> wick(0.1, 1.2);
    MODChartList bars;
    for (size_t i = 0; i < count; ++i) {
        const double open = price;
        const double close = open + move(rng);
        const double high = std::max(open, close) + wick(rng);
        const double low = std::min(open, close) - wick(rng);
        bars.push_back(bar(start + static_cast<int64_t>(i) * step, open, high, low, close));
        price = close;
    }
    return bars;
}

inline std::shared_ptr<MODSymbolInfo> symbol(int64_t begin, int64_t end, int decimals = 2,
                                             const std::string& code = "XAUUSD") {
    auto s = std::make_shared<MODSymbolInfo>();
    s->symbolCode = code;
    s->symbolName = code;
    s->decimal = decimals;
    s->beginTime = begin;
    s->endTime = end;
    return s;
}

// A key window of the given size on the virtual clock holding one chart
// (made with `make`, the default chart when none).
template <typename Chart = KAVChartView>
struct Stage {
    kavtest::VirtualTime time;
    std::shared_ptr<platform::ui::UIWindow> window;
    std::shared_ptr<Chart> chart;

    explicit Stage(platform::ui::CGRect chartFrame = {{0, 0}, {320, 284}},
                   platform::ui::CGSize windowSize = {320, 568},
                   std::shared_ptr<MODChartConfig> config = nullptr) {
        window = std::make_shared<platform::ui::UIWindow>(platform::ui::CGRect{{0, 0}, windowSize});
        window->setBackgroundColor(platform::ui::UIColor::grey255(30));
        chart = std::make_shared<Chart>(chartFrame, std::move(config));
        chart->setBackgroundColor(platform::ui::UIColor::grey255(30));
        window->addSubview(chart);
        window->makeKeyAndVisible();
    }
    ~Stage() { time.advance(1); }

    void tapTag(long tag) {
        auto* v = platform::ui::UIDriver::viewWithTag(tag, chart.get());
        ASSERT_NE(v, nullptr) << tag;
        platform::ui::UIDriver::tap(v);
    }
    platform::ui::UIImagePtr render() {
        return platform::ui::UIDriver::renderImage(1, window.get());
    }
    // Writes the window to $KAV_SCREENSHOTS/<name>.png when that is set.
    void shot(const std::string& name) {
        const char* dir = std::getenv("KAV_SCREENSHOTS");
        if (!dir || !*dir) return;
        std::filesystem::create_directories(dir);
        EXPECT_TRUE(platform::ui::UIDriver::renderPNG(std::filesystem::path(dir) / (name + ".png"),
                                                      2, window.get()));
    }
};

}  // namespace charttest
