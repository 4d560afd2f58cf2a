// The quotation board under quote pushes: a logged-in service object with 50
// symbols fed by hand, the board in its navigation stack on a 320 x 568
// window, and every push going the whole way (the dealer's text parsed, the
// symbol updated, the push posted on the event bus, the row converted, the
// row on screen reloaded). The screen is drawn after every package twice
// over: as the window draws it (the changed areas composited into the frame
// it keeps) and in full. Prints figures; not a test.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Core/SDK/KAVBizSDK.h"
#include "bench/BenchConnection.h"
#include "platform/Clock.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/Strings.h"
#include "platform/ui/Application.h"
#include "platform/ui/Driver.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/Text.h"
#include "platform/ui/Window.h"
#include "ui/services/BroadcastManager.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/toolkit/KAVDrawerController.h"
#include "ui/trade/QuotationViewController.h"

using platform::Json;
using namespace platform::ui;

namespace {

constexpr int kSymbols = 50;

using kavbench::BenchConnection;

// Re-broadcasts quote pushes on the event bus, as the application delegate does.
struct BusDelegate : WSPushMessage {
    void onQuotedReceived(const MODList<MODSymbolInfo>& l) override {
        auto message = std::make_shared<MoMessage>();
        message->obj = l;
        BroadcastManager::postMessage(message, kActionReceiveTradeQuotation);
    }
    void onHoldBillChange(const MODList<MODHoldBill>&) override {}
    void onHoldPositionChange(const MODList<MODHoldPosition>&) override {}
    void onAccountChange(const MODList<MODUserAccount>&) override {}
    void onLimitBillChange(const MODList<MODLimitBill>&) override {}
};

std::string packageText(const std::string& event, const std::string& msgOrder, Json children) {
    Json p = {{"event", event},
              {"token", ""},
              {"msgOrder", msgOrder},
              {"retCode", "0"},
              {"message", ""},
              {"encrypt", "0"},
              {"data", {{"children", std::move(children)}}}};
    return p.dump();
}

std::string code(int i) {
    return platform::stringf("SYM%02d", i);
}

Json quoteRecord(int i, int step) {
    const std::string price = platform::stringf("%.5f", 1.1 + i * 0.01 + (step % 7) * 0.0001);
    return Json{{"symbolCode", code(i)},
                {"symbolId", std::to_string(i + 1)},
                {"bid", price},
                {"ask", price},
                {"priceCurrent", price},
                {"priceHighest", "2.0"},
                {"priceLowest", "1.0"},
                {"dailyHight", "2.0"},
                {"dailyLow", "1.0"},
                {"upOrDown", "1"},
                {"lastTime", "2026-01-05 10:00:00"}};
}

// What holds the board's navigation stack on the window: the stack alone,
// or the drawer container the application puts it in (a menu at its left),
// closed or open.
enum class Holder { Stack, Drawer, OpenDrawer };

// A service object logged in by hand with 50 symbols, and the board on screen.
struct Stage {
    explicit Stage(Holder holder = Holder::Stack) {
        sdk->setConnectionFactory([this](const std::string&) {
            connections.push_back(std::make_shared<BenchConnection>());
            return connections.back();
        });
        sdk->setDelegate(delegate);
        auto trader = sdk->createWSWithKey(KAVBizSDK::kWSTrader, 1, 10);
        trader->open("ws://bench/trade", {}, sdk->pushBlock());
        trade = connections.back();
        trade->fireOpen();
        const auto answer = [&](Json children) {
            KAVPackage request;
            request.fromJSON(trade->sent);
            trade->fireText(KAVWebSocketMessage::text(
                packageText("x", std::to_string(request.msgOrder()), std::move(children))));
        };
        sdk->queryAccountOnSuccess({}, {});
        answer(Json::array(
            {Json{{"accId", "1001"}, {"amMarginRemain", "100000"}, {"currencyCode", "USD"}}}));
        Json symbols = Json::array();
        for (int i = 0; i < kSymbols; ++i)
            symbols.push_back(Json{{"symbolCode", code(i)},
                                   {"symbolId", std::to_string(i + 1)},
                                   {"symbolName", "商品" + std::to_string(i)},
                                   {"accId", "1001"},
                                   {"decimal", "5"},
                                   {"pointAsk", "10"},
                                   {"pointBid", "10"},
                                   {"symbolType", "1"},
                                   {"tradeModel", "1"},
                                   {"unit", "100000"},
                                   {"ask", "1.10010"},
                                   {"bid", "1.09990"}});
        sdk->querySymbolOnSuccess({}, {});
        answer(std::move(symbols));

        board = std::make_shared<QuotationViewController>();
        board->setContext({sdk, std::make_shared<sysDB>()});
        window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
        auto stack = std::make_shared<BaseNavigationController>(board);
        if (holder == Holder::Stack) {
            window->setRootViewController(stack);
        } else {
            drawer =
                KAVDrawerController::create(stack, std::make_shared<UIViewController>(), nullptr);
            window->setRootViewController(drawer);
        }
        window->makeKeyAndVisible();
        if (holder == Holder::OpenDrawer) drawer->openDrawerSide(DrawerSideLeft, false, nullptr);
        // The marks' queries.
        answer(Json::array());
        answer(Json::array());
        board->viewDidAppear(false);  // listens from here
        UIScreenRenderer::layoutWindows();
        platform::RunLoop::main().drain();
    }
    ~Stage() {
        board->viewDidDisappear(false);
        window->setRootViewController(nullptr);
        sdk->stopConnect();
        platform::RunLoop::main().drain();
    }
    void push(const std::string& text) { trade->fireText(KAVWebSocketMessage::text(text)); }

    std::shared_ptr<KAVBizSDK> sdk = std::make_shared<KAVBizSDK>();
    std::shared_ptr<BusDelegate> delegate = std::make_shared<BusDelegate>();
    std::vector<std::shared_ptr<BenchConnection>> connections;
    std::shared_ptr<BenchConnection> trade;
    std::shared_ptr<QuotationViewController> board;
    std::shared_ptr<KAVDrawerController> drawer;
    std::shared_ptr<UIWindow> window;
};

// Two pushes of symbol i, taken in turn: each moves its row's price.
std::vector<std::string> pushesBackAndForth(int i) {
    return {packageText("4002", "0", Json::array({quoteRecord(i, 1)})),
            packageText("4002", "0", Json::array({quoteRecord(i, 2)}))};
}

// Whether the row of symbol i shows one of the pushed prices.
bool reached(Stage& stage, int i) {
    auto row = stage.board->lsQuotationWithSymbolCode(code(i));
    const double bid = row ? row->bid.toDouble() : 0;
    // The bid lies 10 points under the pushed price (steps 1 and 2).
    const double base = 1.1 + i * 0.01;
    return std::fabs(bid - base) < 1e-9 || std::fabs(bid - base - 0.0001) < 1e-9;
}

// One push of one symbol on screen, its row reloaded and laid out (no drawing).
void BM_PushToVisibleRow(benchmark::State& state) {
    platform::LogCapture quiet;
    Stage stage;
    const std::vector<std::string> texts = pushesBackAndForth(0);
    size_t i = 0;
    for (auto _ : state) {
        stage.push(texts[i++ & 1]);
        UIScreenRenderer::layoutWindows();
    }
    if (!reached(stage, 0)) state.SkipWithError("the pushes did not reach the row");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PushToVisibleRow);

// One push of one symbol off screen: the row model only.
void BM_PushToHiddenRow(benchmark::State& state) {
    platform::LogCapture quiet;
    Stage stage;
    const std::vector<std::string> texts = pushesBackAndForth(kSymbols - 1);
    size_t i = 0;
    for (auto _ : state) {
        stage.push(texts[i++ & 1]);
        UIScreenRenderer::layoutWindows();
    }
    if (!reached(stage, kSymbols - 1)) state.SkipWithError("the pushes did not reach the row");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PushToHiddenRow);

// Packages of `perPackage` quotes that push all 50 symbols 14 times over.
std::vector<std::string> pushTexts(int perPackage) {
    std::vector<std::string> texts;
    for (int step = 0; step < 14; ++step)
        for (int first = 0; first < kSymbols; first += perPackage) {
            Json records = Json::array();
            for (int i = first; i < first + perPackage && i < kSymbols; ++i)
                records.push_back(quoteRecord(i, step));
            texts.push_back(packageText("4002", "0", std::move(records)));
        }
    return texts;
}

// The frame the desktop window keeps between composites, at its scale.
struct KeptFrame {
    CGFloat kScale = 1;
    CGSize size = UIScreenRenderer::screenSize();
    cairo_surface_t* surface = nullptr;
    explicit KeptFrame(CGFloat scale = 1) : kScale(scale) {
        surface =
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(size.width * kScale),
                                       static_cast<int>(size.height * kScale));
        UIScreenRenderer::setNeedsDisplayScreen();
    }
    ~KeptFrame() { cairo_surface_destroy(surface); }
    UIScreenRenderer::Frame composite() {
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, kScale, kScale);
        auto frame = UIScreenRenderer::composite(cr, size, kScale);
        cairo_destroy(cr);
        return frame;
    }
};

// Pushes of all 50 symbols, `range(0)` quotes per package, with the frame
// the window draws after every package: only the areas that changed,
// composited into the frame kept from the last one. Quote updates absorbed
// per second, and the share of the screen drawn.
void BM_PushesWhileCompositing(benchmark::State& state) {
    platform::LogCapture quiet;
    Stage stage;
    const int perPackage = static_cast<int>(state.range(0));
    const std::vector<std::string> texts = pushTexts(perPackage);
    KeptFrame frame;
    frame.composite();  // the first frame is the whole screen
    size_t i = 0;
    double drawn = 0;
    size_t layers = 0;
    const size_t lookUps = text::blockLookUps(), steps = text::blockSteps();
    for (auto _ : state) {
        stage.push(texts[i++ % texts.size()]);
        const auto f = frame.composite();
        for (const CGRect& r : f.damage)
            drawn += r.size.width * r.size.height;
        layers += f.layersDrawn;
    }
    // Every package moves prices on screen: a frame without damage means
    // the pushes never reached it.
    if (drawn == 0) state.SkipWithError("the pushes did not reach the screen");
    const double iterations = static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * perPackage);
    state.counters["quotes/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * perPackage), benchmark::Counter::kIsRate);
    state.counters["drawn%"] = 100.0 * drawn / iterations / (frame.size.width * frame.size.height);
    state.counters["layers"] = static_cast<double>(layers) / iterations;
    // Kept layouts looked up a frame, and the entries looked at.
    state.counters["lookUps"] = static_cast<double>(text::blockLookUps() - lookUps) / iterations;
    state.counters["steps"] = static_cast<double>(text::blockSteps() - steps) / iterations;
}
BENCHMARK(BM_PushesWhileCompositing)
    ->ArgName("perPackage")
    ->Arg(1)
    ->Arg(50)
    ->Unit(benchmark::kMicrosecond);

// Pushes of all 50 symbols in packages of 50, `range(0)` packages between
// two frames (at 200 packages a second and 60 frames, about three): the
// rows on screen are laid out and drawn once a frame, whatever number of
// quotes reached them.
void BM_PackagesBetweenFrames(benchmark::State& state) {
    platform::LogCapture quiet;
    Stage stage;
    const int perFrame = static_cast<int>(state.range(0));
    const std::vector<std::string> texts = pushTexts(kSymbols);
    KeptFrame frame;
    frame.composite();  // the first frame is the whole screen
    size_t i = 0;
    double drawn = 0;
    for (auto _ : state) {
        for (int k = 0; k < perFrame; ++k)
            stage.push(texts[i++ % texts.size()]);
        const auto f = frame.composite();
        for (const CGRect& r : f.damage)
            drawn += r.size.width * r.size.height;
    }
    if (drawn == 0) state.SkipWithError("the pushes did not reach the screen");
    state.SetItemsProcessed(state.iterations() * perFrame * kSymbols);
    state.counters["quotes/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * perFrame * kSymbols),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PackagesBetweenFrames)
    ->ArgName("packages")
    ->Arg(1)
    ->Arg(3)
    ->Unit(benchmark::kMicrosecond);

// The same pushes with the whole screen drawn afresh after every package:
// what a frame would cost without the changed areas.
void BM_PushesWhileRedrawing(benchmark::State& state) {
    platform::LogCapture quiet;
    Stage stage;
    const int perPackage = static_cast<int>(state.range(0));
    const std::vector<std::string> texts = pushTexts(perPackage);
    size_t i = 0;
    for (auto _ : state) {
        stage.push(texts[i++ % texts.size()]);
        benchmark::DoNotOptimize(UIDriver::renderImage(1));
    }
    state.SetItemsProcessed(state.iterations() * perPackage);
    state.counters["quotes/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * perPackage), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PushesWhileRedrawing)
    ->ArgName("perPackage")
    ->Arg(1)
    ->Arg(50)
    ->Unit(benchmark::kMicrosecond);

// One row of the board changes and the window draws the frame (at scale 2,
// a laptop's or a desktop's), with the board's stack alone on the window
// (0), in the application's drawer container, closed (1), and with its menu
// open beside the board (2). The container's shadow is blurred once and
// kept: a changed row costs about what it costs without the container.
void oneChangedRow(benchmark::State& state, Holder holder, CGFloat scale) {
    platform::LogCapture quiet;
    Stage stage(holder);
    if (holder != Holder::Stack && !stage.drawer) {
        state.SkipWithError("no drawer container");
        return;
    }
    platform::RunLoop::main().drain();
    const std::vector<std::string> texts = pushesBackAndForth(0);
    KeptFrame frame(scale);
    frame.composite();  // the first frame is the whole screen
    size_t i = 0;
    double drawn = 0;
    size_t layers = 0;
    for (auto _ : state) {
        stage.push(texts[i++ & 1]);
        const auto f = frame.composite();
        for (const CGRect& r : f.damage)
            drawn += r.size.width * r.size.height;
        layers += f.layersDrawn;
    }
    if (drawn == 0 || !reached(stage, 0)) state.SkipWithError("the row did not change on screen");
    const double iterations = static_cast<double>(state.iterations());
    state.counters["drawn%"] = 100.0 * drawn / iterations / (frame.size.width * frame.size.height);
    state.counters["layers"] = static_cast<double>(layers) / iterations;
}
void BM_OneChangedRow(benchmark::State& state) {
    oneChangedRow(state, static_cast<Holder>(state.range(0)), 2);
}
BENCHMARK(BM_OneChangedRow)
    ->ArgName("holder")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMicrosecond);

// The same at one pixel a point, the stack alone: the row's arrow, which
// turns at every change, is a picture scaled to half its pixels, recorded
// rather than drawn straight.
void BM_OneChangedRowAtOnePixelAPoint(benchmark::State& state) {
    oneChangedRow(state, Holder::Stack, 1);
}
BENCHMARK(BM_OneChangedRowAtOnePixelAPoint)->Unit(benchmark::kMicrosecond);

// The window draws a quote's frame a tenth of a second after the last one,
// other programs having run on its core meanwhile: what the frame touches is
// fetched from memory afresh, and costs several times what it costs in the
// loops above, where everything stays in the caches. The caches of one core
// (2 MiB here) are emptied before every push, and only what follows the push
// in the window's wake-up is timed.
void emptyCaches() {
    static std::vector<unsigned char> junk(4u << 20);
    for (size_t i = 0; i < junk.size(); i += 64)
        junk[i] = static_cast<unsigned char>(junk[i] + 1);
    benchmark::ClobberMemory();
}

// The timed step on its own, so that a profiler or cache simulator can be
// told to count it alone (valgrind --toggle-collect).
[[gnu::noinline]] void layOutAfterPush() {
    UIScreenRenderer::layoutWindows();
}
[[gnu::noinline]] UIScreenRenderer::Frame compositeAfterPush(KeptFrame& frame) {
    return frame.composite();
}

// One push of one symbol on screen, then the layout pass that reloads its
// row (what the window does at each quote and the headless application
// never does).
void BM_LayoutOfAPushColdCaches(benchmark::State& state) {
    platform::LogCapture quiet;
    Stage stage;
    const std::vector<std::string> texts = pushesBackAndForth(0);
    size_t i = 0;
    // The first pushes set what every later one finds set (the row's time,
    // its name): not what a quote costs, and not counted.
    for (int warm = 0; warm < 4; ++warm) {
        stage.push(texts[i++ & 1]);
        UIScreenRenderer::layoutWindows();
    }
    for (auto _ : state) {
        state.PauseTiming();
        emptyCaches();
        stage.push(texts[i++ & 1]);
        state.ResumeTiming();
        layOutAfterPush();
    }
    if (!reached(stage, 0)) state.SkipWithError("the pushes did not reach the row");
}
BENCHMARK(BM_LayoutOfAPushColdCaches)->Unit(benchmark::kMicrosecond)->MinTime(0.2);

// The same push and the whole frame the window composites for it (layout,
// the changed areas measured and drawn), at scale 2 on the board's stack.
void BM_FrameOfAPushColdCaches(benchmark::State& state) {
    platform::LogCapture quiet;
    Stage stage;
    const std::vector<std::string> texts = pushesBackAndForth(0);
    KeptFrame frame(2);
    frame.composite();
    size_t i = 0;
    for (int warm = 0; warm < 4; ++warm) {
        stage.push(texts[i++ & 1]);
        frame.composite();
    }
    double drawn = 0;
    for (auto _ : state) {
        state.PauseTiming();
        emptyCaches();
        stage.push(texts[i++ & 1]);
        state.ResumeTiming();
        const auto f = compositeAfterPush(frame);
        for (const CGRect& r : f.damage)
            drawn += r.size.width * r.size.height;
    }
    if (drawn == 0 || !reached(stage, 0)) state.SkipWithError("the row did not change on screen");
}
BENCHMARK(BM_FrameOfAPushColdCaches)->Unit(benchmark::kMicrosecond)->MinTime(0.2);

}  // namespace

BENCHMARK_MAIN();
