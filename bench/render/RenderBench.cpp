// Figures for the drawing path on a full screen of 20 table-like rows (seven
// labels and a separator each) at scale 2, as the desktop window draws it:
// the first frame; a frame in which nothing changed (the goal: no work); a
// frame after one label changed; after every price changed; after a row
// moved; the layout pass; new texts of the board's kinds (a low or high
// price shrunk to fit, a time) laid out and drawn; a row's texts drawn
// again; and the memory one view and one drawn label cost.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/RunLoop.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/Window.h"

using namespace platform::ui;

namespace {

constexpr int kRows = 20;
constexpr double kRowHeight = 28.4;  // 20 rows fill the 568-point screen

struct Row {
    std::shared_ptr<UIView> view;
    std::vector<std::shared_ptr<UILabel>> labels;
};

struct Screen {
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    std::vector<Row> rows;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 1136);

    Screen() {
        window->setBackgroundColor(UIColor::grey255(40));
        for (int i = 0; i < kRows; ++i) {
            Row row;
            row.view = std::make_shared<UIView>(CGRectMake(0, i * kRowHeight, 320, kRowHeight));
            row.view->setBackgroundColor(UIColor::grey255(40));
            const double xs[] = {15, 15, 120, 120, 220, 220, 280};
            const double ys[] = {2, 15, 2, 15, 2, 15, 8};
            const char* texts[] = {"09:30:15", "欧元美元",     "1.08345", "最低:1.08120",
                                   "1.08367",  "最高:1.08544", "点差:2"};
            for (int k = 0; k < 7; ++k) {
                auto label = std::make_shared<UILabel>(CGRectMake(xs[k], ys[k], 95, 13));
                label->setFont(UIFont::systemFontOfSize(k % 2 ? 10 : 12));
                label->setTextColor(UIColor::grey255(220));
                label->setText(texts[k]);
                row.view->addSubview(label);
                row.labels.push_back(label);
            }
            auto line = std::make_shared<UIView>(CGRectMake(0, kRowHeight - 0.5, 320, 0.5));
            line->setBackgroundColor(UIColor::rgb255(111, 118, 138));
            row.view->addSubview(line);
            window->addSubview(row.view);
            rows.push_back(std::move(row));
        }
        window->makeKeyAndVisible();
    }
    ~Screen() { cairo_surface_destroy(surface); }

    // The whole screen afresh.
    void draw() {
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, 2, 2);
        UIScreenRenderer::drawScreen(cr, {320, 568});
        cairo_destroy(cr);
        cairo_surface_flush(surface);
    }
    // The next frame over the kept one, as the desktop window makes it:
    // nothing at all when nothing changed, else only what changed.
    UIScreenRenderer::Frame composite() {
        if (!UIScreenRenderer::needsFrame()) return {};
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, 2, 2);
        auto frame = UIScreenRenderer::composite(cr, {320, 568}, 2);
        cairo_destroy(cr);
        return frame;
    }
};

void BM_FirstLayoutAndDraw(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto screen = std::make_unique<Screen>();
        state.ResumeTiming();
        screen->draw();
        state.PauseTiming();
        screen.reset();
        state.ResumeTiming();
    }
    state.counters["views"] = kRows * 9 + 1;
}
BENCHMARK(BM_FirstLayoutAndDraw)->Unit(benchmark::kMillisecond);

void BM_UnchangedFrame(benchmark::State& state) {
    Screen screen;
    screen.composite();
    size_t layers = 0;
    for (auto _ : state)
        layers += screen.composite().layersDrawn;
    state.counters["layers"] =
        benchmark::Counter(double(layers), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_UnchangedFrame);

void BM_OneLabelChanged(benchmark::State& state) {
    Screen screen;
    screen.composite();
    int tick = 0;
    size_t layers = 0;
    for (auto _ : state) {
        ++tick;
        screen.rows[7].labels[2]->setText("1.0" + std::to_string(8000 + tick % 999));
        layers += screen.composite().layersDrawn;
    }
    state.counters["layers"] =
        benchmark::Counter(double(layers), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_OneLabelChanged)->Unit(benchmark::kMicrosecond);

// For comparison: the whole screen composited again after one label changed,
// as every frame was before frames kept what had not changed.
void BM_OneLabelChangedWholeScreen(benchmark::State& state) {
    Screen screen;
    screen.draw();
    int tick = 0;
    for (auto _ : state) {
        ++tick;
        screen.rows[7].labels[2]->setText("1.0" + std::to_string(8000 + tick % 999));
        screen.draw();
    }
}
BENCHMARK(BM_OneLabelChangedWholeScreen)->Unit(benchmark::kMicrosecond);

void BM_EveryPriceChanged(benchmark::State& state) {
    Screen screen;
    screen.composite();
    int tick = 0;
    const size_t lookUps = platform::ui::text::blockLookUps();
    const size_t steps = platform::ui::text::blockSteps();
    for (auto _ : state) {
        ++tick;
        for (auto& row : screen.rows)
            for (size_t k = 2; k < 6; ++k) {
                std::string price = "1.0";
                price += std::to_string(8000 + (tick + static_cast<int>(k)) % 999);
                row.labels[k]->setText(price);
            }
        screen.composite();
    }
    state.counters["lookUps"] =
        benchmark::Counter(double(platform::ui::text::blockLookUps() - lookUps),
                           benchmark::Counter::kAvgIterations);
    state.counters["steps"] = benchmark::Counter(
        double(platform::ui::text::blockSteps() - steps), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_EveryPriceChanged)->Unit(benchmark::kMillisecond);

void BM_OneRowMoved(benchmark::State& state) {
    Screen screen;
    screen.composite();
    int tick = 0;
    for (auto _ : state) {
        screen.rows[0].view->setCenter({160.0 + (++tick % 2), kRowHeight / 2});
        screen.composite();
    }
}
BENCHMARK(BM_OneRowMoved)->Unit(benchmark::kMicrosecond);

void BM_LayoutPassOnly(benchmark::State& state) {
    Screen screen;
    screen.draw();
    for (auto _ : state) {
        for (auto& row : screen.rows)
            row.view->setNeedsLayout();
        UIScreenRenderer::layoutWindows();
    }
}
BENCHMARK(BM_LayoutPassOnly)->Unit(benchmark::kMicrosecond);

// The board's kinds of new text, each one never laid out before (the layout
// cache misses, as it does for every new price): a CJK prefix with changing
// digits shrunk to fit its room, and a time; measured, then drawn.
std::string boardText(int n) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "最低:1.%05d", n % 100000);
    return buf;
}
std::string timeText(int n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", (n / 3600) % 24, (n / 60) % 60, n % 60);
    return buf;
}

void BM_NewLowHighText(benchmark::State& state) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 40);
    cairo_t* cr = cairo_create(s);
    cairo_scale(cr, 2, 2);
    static int n = 0;
    TextStyle style;
    style.numberOfLines = 1;
    style.centerVertically = true;
    const size_t made = platform::ui::text::layoutsMade();
    for (auto _ : state) {
        const std::string text = boardText(++n);
        style.font = NSStringFittingFont(text, UIFont::systemFontOfSize(12), 6, 60);
        NSStringDrawInRect(cr, text, CGRectMake(0, 0, 60, 14), style);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    state.counters["layouts"] = benchmark::Counter(double(platform::ui::text::layoutsMade() - made),
                                                   benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_NewLowHighText)->Unit(benchmark::kMicrosecond);

void BM_NewTimeText(benchmark::State& state) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 40);
    cairo_t* cr = cairo_create(s);
    cairo_scale(cr, 2, 2);
    static int n = 0;
    TextStyle style;
    style.font = UIFont::systemFontOfSize(11);
    style.numberOfLines = 1;
    style.centerVertically = true;
    // Shrink-to-fit gives the board's labels many sizes: this many in turn.
    const long sizes = state.range(0);
    const size_t made = platform::ui::text::layoutsMade();
    for (auto _ : state) {
        style.font.pointSize = 11 - 0.5 * (n % sizes);
        NSStringDrawInRect(cr, timeText(++n), CGRectMake(0, 0, 60, 14), style);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    state.counters["layouts"] = benchmark::Counter(double(platform::ui::text::layoutsMade() - made),
                                                   benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_NewTimeText)->Arg(1)->Arg(8)->Arg(16)->Unit(benchmark::kMicrosecond);

void BM_NewLowHighLabel(benchmark::State& state) {
    // A label as the board has it: shrunk to fit, drawn in its own frame.
    Screen screen;
    auto label = screen.rows[7].labels[2];
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.5);
    label->setFrame(CGRectMake(120, 15, 55, 13));
    screen.draw();
    static int n = 0;
    const size_t made = platform::ui::text::layoutsMade();
    for (auto _ : state) {
        label->setText(boardText(++n));
        benchmark::DoNotOptimize(screen.composite());
    }
    state.counters["layouts"] = benchmark::Counter(double(platform::ui::text::layoutsMade() - made),
                                                   benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_NewLowHighLabel)->Unit(benchmark::kMicrosecond);

// A row's texts, laid out already, drawn again into the frame at scale 2
// as when a neighbour's change crosses them: through Pango's renderer (0) or
// from the glyphs kept with the layout (1).
void BM_RowTextsRedrawn(benchmark::State& state) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 60);
    cairo_t* cr = cairo_create(s);
    cairo_scale(cr, 2, 2);
    const char* texts[] = {"09:30:15", "欧元美元",     "1.08345", "最低:1.08120",
                           "1.08367",  "最高:1.08544", "点差:2"};
    const double xs[] = {15, 15, 120, 120, 220, 220, 280};
    const double ys[] = {2, 15, 2, 15, 2, 15, 8};
    TextStyle style;
    style.numberOfLines = 1;
    style.centerVertically = true;
    style.color = UIColor::grey255(220);
    platform::ui::text::setKeptGlyphs(state.range(0) != 0);
    for (auto _ : state)
        for (int k = 0; k < 7; ++k) {
            style.font = UIFont::systemFontOfSize(k % 2 ? 10 : 12);
            NSStringDrawInRect(cr, texts[k], CGRectMake(xs[k], ys[k], 95, 13), style);
        }
    platform::ui::text::setKeptGlyphs(true);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
}
BENCHMARK(BM_RowTextsRedrawn)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// What a frame draws, printed once beside the timings: nothing at all when
// nothing changed, one label's area when one label changed.
void printFrameFigures() {
    Screen screen;
    screen.composite();
    const auto idle = screen.composite();
    screen.rows[7].labels[2]->setText("1.09999");
    const auto tick = screen.composite();
    double area = 0;
    for (auto& r : tick.damage)
        area += r.size.width * r.size.height;
    std::printf(
        "unchanged frame: %zu areas, %zu layers drawn; one label changed: %zu area of "
        "%.0f square points (the screen has %d), %zu layers drawn\n",
        idle.damage.size(), idle.layersDrawn, tick.damage.size(), area, 320 * 568,
        tick.layersDrawn);
}

size_t heapInUse() {
    struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

// Memory per view, measured once and printed beside the timings.
void printMemoryPerView() {
    constexpr int n = 2000;
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->makeKeyAndVisible();
    UIScreenRenderer::renderScreen(1);
    size_t before = heapInUse();
    std::vector<std::shared_ptr<UIView>> views;
    for (int i = 0; i < n; ++i) {
        views.push_back(std::make_shared<UIView>(CGRectMake(i % 300, i % 500, 10, 10)));
        window->addSubview(views.back());
    }
    size_t plain = heapInUse() - before;
    for (auto& v : views)
        v->removeFromSuperview();
    views.clear();
    before = heapInUse();
    for (int i = 0; i < n; ++i) {
        auto label = std::make_shared<UILabel>(CGRectMake(i % 300, i % 500, 95, 13));
        label->setText("1.08345");
        views.push_back(label);
        window->addSubview(label);
    }
    UIScreenRenderer::renderScreen(2);  // every label draws and keeps its drawing
    size_t labels = heapInUse() - before;
    std::printf(
        "memory per view: %.0f bytes (plain view in a window), %.0f bytes (label with its "
        "drawing)\n",
        double(plain) / n, double(labels) / n);
}

}  // namespace

// What the kept layouts cost: the cache holds the last 512 texts laid out,
// filled here with the board's kinds of text, each measured and drawn.
void printTextMemory() {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 40);
    cairo_t* cr = cairo_create(s);
    cairo_scale(cr, 2, 2);
    TextStyle style;
    style.numberOfLines = 1;
    const auto fill = [&](int from) {
        for (int i = from; i < from + 1024; ++i) {
            style.font = UIFont::systemFontOfSize(i % 2 ? 12.5 : 18);
            const std::string text = i % 2 ? boardText(i) : timeText(i);
            NSStringDrawInRect(cr, text, CGRectMake(0, 0, 95, 14), style);
        }
    };
    fill(0);  // the cache full of texts not used below
    const size_t before = heapInUse();
    fill(5000);
    const size_t direct = heapInUse();
    platform::ui::text::setKeptGlyphs(false);
    fill(10000);
    const size_t layouts = heapInUse();
    platform::ui::text::setKeptGlyphs(true);
    fill(15000);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    std::printf(
        "kept texts (512 at most): one of the board's laid out by Pango keeps %.0f bytes "
        "more than shaped alone (steady: %+.0f)\n",
        (double(layouts) - double(direct)) / 512, (double(direct) - double(before)) / 512);
}

int main(int argc, char** argv) {
    platform::RunLoop::main().adoptCurrentThread();
    if (const char* dir = std::getenv("KAV_SCREENSHOTS"); dir && *dir) {
        // The benchmarked screen, to look at.
        Screen screen;
        screen.draw();
        cairo_surface_write_to_png(screen.surface,
                                   (std::string(dir) + "/bench-render-rows.png").c_str());
    }
    printFrameFigures();
    printMemoryPerView();
    printTextMemory();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
