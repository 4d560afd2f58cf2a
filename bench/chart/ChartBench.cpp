// Figures for the chart's hot paths: a frame of 300 candles with the moving
// averages and MACD laid out and drawn at scale 2; one pan step (window
// moved by a touch, ranges rescanned, frame drawn again); the indicators of
// 1,000 bars computed afresh, alone and through setData.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "platform/RunLoop.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/Window.h"
#include "ui/chart/KAVChartView.h"

using namespace platform::ui;

namespace {

constexpr int64_t kStart = 1767571200;
constexpr int kCandles = 300;
constexpr double kScale = 2;
// Wide enough for 300 bars of the default step (2 + 4): border 5 each side,
// 30 for the price labels, 2 before the first bar.
constexpr double kWidth = 2 * 5 + 30 + 2 + kCandles * 6;
constexpr double kHeight = 315;

MODChartList walk(size_t count) {
    std::mt19937_64 rng(42);
    std::normal_distribution<double> move(0, 1.5);
    std::uniform_real_distribution<double> wick(0.1, 1.2);
    MODChartList bars;
    double price = 2000;
    for (size_t i = 0; i < count; ++i) {
        auto b = std::make_shared<MODKAVCahrtData>();
        b->timeValue = kStart + static_cast<int64_t>(i) * 60;
        b->priceOpen = price;
        b->priceClose = price + move(rng);
        b->priceHigh = std::max(b->priceOpen, b->priceClose) + wick(rng);
        b->priceLow = std::min(b->priceOpen, b->priceClose) - wick(rng);
        price = b->priceClose;
        bars.push_back(std::move(b));
    }
    return bars;
}

std::shared_ptr<MODSymbolInfo> gold() {
    auto s = std::make_shared<MODSymbolInfo>();
    s->symbolCode = "XAUUSD";
    s->decimal = 2;
    s->beginTime = kStart;
    s->endTime = kStart + 86400 - 60;
    return s;
}

// A K-line chart of `bars` bars, 300 of them in view, in a visible window.
struct Scene {
    std::shared_ptr<UIWindow> window =
        std::make_shared<UIWindow>(CGRectMake(0, 0, kWidth, kHeight));
    std::shared_ptr<KAVChartView> chart =
        std::make_shared<KAVChartView>(CGRectMake(0, 0, kWidth, kHeight));
    cairo_surface_t* surface = cairo_image_surface_create(
        CAIRO_FORMAT_ARGB32, static_cast<int>(kWidth* kScale), static_cast<int>(kHeight* kScale));

    explicit Scene(size_t bars) {
        chart->setBackgroundColor(UIColor::grey255(30));
        window->addSubview(chart);
        window->makeKeyAndVisible();
        chart->onButtonClick(chart->viewWithTag<UIControl>(KAVChartView::kTagKLineButton).get());
        chart->setDecimal(2);
        chart->setData(walk(bars), gold());
    }
    ~Scene() { cairo_surface_destroy(surface); }

    // One frame of the chart: the layout of its panes and all its drawing.
    void draw() {
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, kScale, kScale);
        cairo_set_source_rgb(cr, 30 / 255.0, 30 / 255.0, 30 / 255.0);
        cairo_paint(cr);
        {
            Canvas canvas(cr);
            UIGraphicsPushContext(&canvas);
            chart->drawRect(chart->bounds());
            UIGraphicsPopContext();
        }
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
};

void BM_Draw300CandlesWithMAAndMACD(benchmark::State& state) {
    Scene scene(kCandles);
    if (scene.chart->endIndex() - scene.chart->startIndex() != kCandles) {
        state.SkipWithError("not 300 candles in view");
        return;
    }
    for (auto _ : state)
        scene.draw();
    state.counters["candles"] = kCandles;
}
BENCHMARK(BM_Draw300CandlesWithMAAndMACD)->Unit(benchmark::kMillisecond);

// A finger held on the chart moves 10 points right, then left, and so on:
// every move is one change event of the pan, one bar older or newer.
void BM_PanStepAndRedraw(benchmark::State& state) {
    Scene scene(1000);
    const int id = 7;
    double x = 200;
    TouchInput::touchDown(id, {x, 100});
    TouchInput::touchMove(id, {x += 20, 100});  // the pan begins
    TouchInput::touchMove(id, {x += 10, 100});  // one bar away from the newest
    const int start = scene.chart->startIndex();
    int step = 0;
    for (auto _ : state) {
        x += (step++ % 2 == 0) ? -10 : 10;
        TouchInput::touchMove(id, {x, 100});
        scene.draw();
    }
    TouchInput::touchUp(id, {x, 100});
    if (std::abs(scene.chart->startIndex() - start) > 1) state.SkipWithError("window did not step");
}
BENCHMARK(BM_PanStepAndRedraw)->Unit(benchmark::kMillisecond);

void BM_PanStepWithoutDrawing(benchmark::State& state) {
    Scene scene(1000);
    const int id = 8;
    double x = 200;
    TouchInput::touchDown(id, {x, 100});
    TouchInput::touchMove(id, {x += 20, 100});
    TouchInput::touchMove(id, {x += 10, 100});
    int step = 0;
    for (auto _ : state) {
        x += (step++ % 2 == 0) ? -10 : 10;
        TouchInput::touchMove(id, {x, 100});
    }
    TouchInput::touchUp(id, {x, 100});
}
BENCHMARK(BM_PanStepWithoutDrawing)->Unit(benchmark::kMicrosecond);

void BM_Indicators1000Bars(benchmark::State& state) {
    const auto bars = walk(1000);
    for (auto _ : state) {
        auto table = kavchart::calculateAVG(bars);
        benchmark::DoNotOptimize(table);
    }
}
BENCHMARK(BM_Indicators1000Bars)->Unit(benchmark::kMicrosecond);

void BM_SetData1000Bars(benchmark::State& state) {
    Scene scene(10);
    const auto bars = walk(1000);
    const auto symbol = gold();
    for (auto _ : state)
        scene.chart->setData(bars, symbol);
}
BENCHMARK(BM_SetData1000Bars)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    platform::RunLoop::main().adoptCurrentThread();
    if (const char* dir = std::getenv("KAV_SCREENSHOTS"); dir && *dir) {
        Scene scene(kCandles);
        scene.draw();
        cairo_surface_write_to_png(scene.surface,
                                   (std::string(dir) + "/bench-chart-300.png").c_str());
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
