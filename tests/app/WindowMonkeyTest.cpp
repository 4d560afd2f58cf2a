// The whole application in its desktop window (SDL's dummy driver), used at
// random through the window alone, against the simulated dealer: clicks on
// what shows, drags held across the window's edge, ctrl + wheel, keys and
// their repeats, typed text in Latin, Chinese and emoji, input-method
// editing, drops, resizes, minimising and restoring, focus, dealer ticks and
// the clock moved on, all as SDL events that the window's own wait takes.
// After each step no finger stays down with the button up, and now and then
// the window must show what the screen draws. The sanitizers watch the rest.
// KAV_WINDOW_MONKEY_SEED and KAV_WINDOW_MONKEY_STEPS run one seed long (a
// local tool).
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>

#include "platform/ui/Control.h"
#include "platform/ui/Device.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/sdl-window/DesktopWindow.h"
#include "tests/app/AppTestSupport.h"
#include "tests/platform/ui/sdl-window/SdlEvents.h"

using namespace kavtest;
using namespace platform::ui;

namespace {

// The shades of a line's edge where a changed area's clip cuts it may differ
// by a few levels from a whole redraw's: a stale picture differs by more.
long pixelsDiffering(const UIImagePtr& a, const UIImagePtr& b) {
    return sdl::pixelsDiffering(a, b, 0.1);
}

class WindowMonkeyApp : public AppTest {
  protected:
    void TearDown() override {
        SDL_SetModState(KMOD_NONE);
        UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
        AppTest::TearDown();
        desktop_.reset();
    }

    void runSeed(uint64_t seed, int steps) {
        random_.seed(seed);
        seed_ = seed;
        desktop_ = std::make_unique<DesktopWindow>();
        ASSERT_TRUE(desktop_->isOpen());
        launchToLogin();
        if (seed % 3 != 0) logIn();
        for (step_ = 0; step_ < steps && faults_.empty(); ++step_)
            act();
        if (faults_.empty()) {
            release();
            time.advance(1);
            settle();
            if (TouchInput::activeTouchCount() != 0)
                fault("fingers still down after all was let go");
            checkPicture("at the end");
        }
        for (const auto& f : faults_)
            ADD_FAILURE() << f << "\nlast actions:\n" << history();
        for (const auto& line : logs.lines())
            if (line.find("Event bus error") != std::string::npos ||
                line.find("Unresolved error") != std::string::npos)
                ADD_FAILURE() << "seed " << seed << ": " << line;
        // The window closed: the application's run ends.
        note("close");
        SDL_Event e{};
        e.type = SDL_QUIT;
        SDL_PushEvent(&e);
        desktop_->run();
    }

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }
    void note(const std::string& what) {
        std::ostringstream line;
        line << "seed " << seed_ << " step " << step_ << ": " << what;
        history_.push_back(line.str());
        if (history_.size() > 40) history_.erase(history_.begin());
        if (std::getenv("KAV_WINDOW_MONKEY_TRACE"))
            std::fprintf(stderr, "%s\n", line.str().c_str());
    }
    void fault(const std::string& what) {
        std::ostringstream line;
        line << "seed " << seed_ << " step " << step_ << ": " << what;
        faults_.push_back(line.str());
    }
    std::string history() const {
        std::string all;
        for (const auto& line : history_)
            all += line + "\n";
        return all;
    }

    // The window's wait takes what is queued; replies from the dealer land.
    static void settle() { sdl::settle(); }
    static void push(SDL_Event e) { sdl::push(e); }
    static SDL_Window* sdlWindow() { return sdl::sdlWindow(); }
    SDL_Point pixelOf(CGPoint p) const { return sdl::pixelOf(*desktop_, p); }
    SDL_Point anywhere() {
        const CGRect shown = desktop_->shownArea();
        const int w = static_cast<int>(shown.origin.x * 2 + shown.size.width);
        const int h = static_cast<int>(shown.origin.y * 2 + shown.size.height);
        return {below(w + 80) - 40, below(h + 80) - 40};
    }
    // A pixel on something a finger may want, else anywhere.
    SDL_Point somewhereUseful() {
        UIScreenRenderer::layoutWindows();
        std::vector<UIView*> views;
        for (auto* window : UIWindow::visibleWindows())
            UIDriver::forEachView(window, [&](UIView* v) {
                if (!UIDriver::isVisible(v) || !v->isUserInteractionEnabled()) return;
                if (dynamic_cast<UIControl*>(v) || dynamic_cast<UITableViewCell*>(v) ||
                    !v->gestureRecognizers().empty())
                    views.push_back(v);
            });
        if (views.empty() || chance(0.15)) return anywhere();
        // The front-most ones the likelier, as a person taps what is on top.
        const size_t n = views.size();
        const size_t index =
            chance(0.4)
                ? n - 1 - static_cast<size_t>(below(static_cast<int>(std::min<size_t>(n, 8))))
                : static_cast<size_t>(below(static_cast<int>(n)));
        return pixelOf(UIDriver::screenCenterOf(views[index]));
    }

    void mouse(Uint32 type, Uint8 button, SDL_Point at) { sdl::mouse(type, button, at, held_); }
    void release() {
        if (!held_) return;
        held_ = false;
        mouse(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, anywhere());
    }
    static void key(SDL_Keycode sym, bool repeat) { sdl::key(sym, KMOD_NONE, repeat, false); }
    static void windowEvent(Uint8 what) { sdl::windowEvent(what); }
    static void typeText(const std::string& text) { sdl::textInput(text); }
    void checkPicture(const std::string& when) {
        settle();
        desktop_->drawFrameIfNeeded();
        const UIImagePtr shown = desktop_->shownImage();
        const UIImagePtr drawn = UIScreenRenderer::renderScreen(desktop_->scale());
        const long differing = pixelsDiffering(shown, drawn);
        if (differing != 0 && std::getenv("KAV_WINDOW_MONKEY_TRACE")) {
            UIImageWritePNG(shown, "/tmp/window-monkey-shown.png");
            UIImageWritePNG(drawn, "/tmp/window-monkey-drawn.png");
            int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
            for (int y = 0; y < std::min(shown->pixelHeight(), drawn->pixelHeight()); ++y)
                for (int x = 0; x < std::min(shown->pixelWidth(), drawn->pixelWidth()); ++x) {
                    const UIColor p = shown->pixelAt(x, y), q = drawn->pixelAt(x, y);
                    if (p.red != q.red || p.green != q.green || p.blue != q.blue) {
                        std::fprintf(stderr, "  %d,%d shown %.3f %.3f %.3f drawn %.3f %.3f %.3f\n",
                                     x, y, p.red, p.green, p.blue, q.red, q.green, q.blue);
                        x0 = std::min(x0, x), y0 = std::min(y0, y);
                        x1 = std::max(x1, x), y1 = std::max(y1, y);
                    }
                }
            std::fprintf(stderr, "differ in %d,%d - %d,%d at scale %g\n%s", x0, y0, x1, y1,
                         desktop_->scale(), UIDriver::dumpViewTree().c_str());
        }
        if (differing != 0)
            fault("the window shows a stale picture " + when + " (" + std::to_string(differing) +
                  " pixels)");
    }
    // The clock moved on while the dealer's replies land.
    void pass(double seconds) {
        auto& loop = platform::RunLoop::main();
        for (double t = 0; t < seconds; t += 0.05) {
            loop.runUntil([] { return false; }, 0.002);
            time.advance(0.05);
        }
        settle();
    }

    void act() {
        static const std::vector<std::string> texts = {"1",
                                                       "0.5",
                                                       "100",
                                                       "a",
                                                       "中文",
                                                       "交易密码",
                                                       "\xF0\x9F\x98\x80",
                                                       "é",
                                                       " ",
                                                       "1001",
                                                       "123456",
                                                       "\xF0\x9F\x87\xA8\xF0\x9F\x87\xB3",
                                                       "-",
                                                       "."};
        const int roll = below(100);
        if (roll < 35) {
            release();
            const SDL_Point at = somewhereUseful();
            note("click " + std::to_string(at.x) + "," + std::to_string(at.y));
            mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, at);
            if (chance(0.3)) pass(0.05 * below(20));  // a long press sometimes
            mouse(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, at);
        } else if (roll < 45) {
            SDL_Point at = held_ ? anywhere() : somewhereUseful();
            note(std::string(held_ ? "drag on" : "drag from ") + std::to_string(at.x) + "," +
                 std::to_string(at.y));
            if (!held_) mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, at);
            held_ = true;
            for (int i = 1 + below(6); i > 0; --i) {
                at.x += below(121) - 60;
                at.y += below(301) - 150;
                mouse(SDL_MOUSEMOTION, 0, at);
                time.advance(0.016);
            }
            if (chance(0.6)) release();
        } else if (roll < 48) {
            note("ctrl+wheel");
            SDL_SetModState(KMOD_LCTRL);
            SDL_Event e{};
            e.type = SDL_MOUSEWHEEL;
            e.wheel.y = chance(0.5) ? 1 : -1;
            push(e);
            SDL_SetModState(KMOD_NONE);
        } else if (roll < 60) {
            const std::string& text =
                texts[static_cast<size_t>(below(static_cast<int>(texts.size())))];
            note("type " + text);
            typeText(text);
        } else if (roll < 62) {
            note("compose");
            SDL_Event e{};
            e.type = SDL_TEXTEDITING;
            std::strncpy(e.edit.text, "jiao", sizeof e.edit.text - 1);
            push(e);
        } else if (roll < 72) {
            static const std::vector<SDL_Keycode> keys = {SDLK_BACKSPACE, SDLK_RETURN, SDLK_TAB,
                                                          SDLK_ESCAPE,    SDLK_F1,     SDLK_F2,
                                                          SDLK_KP_ENTER,  SDLK_a};
            const SDL_Keycode sym = keys[static_cast<size_t>(below(static_cast<int>(keys.size())))];
            const bool repeat = chance(0.2);
            note(std::string("key ") + SDL_GetKeyName(sym) + (repeat ? " repeat" : ""));
            key(sym, repeat);
        } else if (roll < 77) {
            const int w = 80 + below(1000), h = 120 + below(800);
            note("resize to " + std::to_string(w) + "x" + std::to_string(h));
            SDL_SetWindowSize(sdlWindow(), w, h);
            settle();
            checkPicture("after a resize");
        } else if (roll < 82) {
            static const std::vector<std::vector<Uint8>> sequences = {
                {SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_RESTORED, SDL_WINDOWEVENT_EXPOSED},
                {SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_FOCUS_GAINED},
                {SDL_WINDOWEVENT_HIDDEN, SDL_WINDOWEVENT_SHOWN, SDL_WINDOWEVENT_EXPOSED},
                {SDL_WINDOWEVENT_LEAVE, SDL_WINDOWEVENT_ENTER},
                {SDL_WINDOWEVENT_DISPLAY_CHANGED}};
            const auto& sequence =
                sequences[static_cast<size_t>(below(static_cast<int>(sequences.size())))];
            note("window events from " + std::to_string(sequence.front()));
            for (Uint8 what : sequence) {
                windowEvent(what);
                if (what == SDL_WINDOWEVENT_MINIMIZED || what == SDL_WINDOWEVENT_HIDDEN) {
                    held_ = false;
                    if (chance(0.5)) pass(1);
                }
            }
            checkPicture("after window events");
        } else if (roll < 84) {
            note("drop");
            SDL_Event e{};
            e.type = SDL_DROPTEXT;
            e.drop.file = SDL_strdup("EURUSD");
            push(e);
        } else if (roll < 90) {
            note("dealer tick");
            sim.tick(1 + below(4));
            pass(0.1);
        } else {
            const double s = chance(0.8) ? 0.1 * (1 + below(10)) : 3;
            note("wait " + std::to_string(s));
            pass(s);
        }
        // The pinch's fingers lift a moment after the wheel stops.
        if (!held_) {
            pass(0.35);
            if (TouchInput::activeTouchCount() != 0)
                fault("a finger is down with no button held: " +
                      std::to_string(TouchInput::activeTouchCount()));
        }
        if (chance(0.05)) checkPicture("after " + history_.back());
    }

    std::unique_ptr<DesktopWindow> desktop_;
    ScopedEnv driver_{"SDL_VIDEODRIVER", "dummy"};
    std::mt19937_64 random_;
    uint64_t seed_ = 0;
    int step_ = 0;
    bool held_ = false;
    std::vector<std::string> history_;
    std::vector<std::string> faults_;
};

class WindowMonkeyAppSeed : public WindowMonkeyApp,
                            public ::testing::WithParamInterface<uint64_t> {};

TEST_P(WindowMonkeyAppSeed, LeavesNoFault) {
    if (std::getenv("KAV_WINDOW_MONKEY_STEPS")) GTEST_SKIP() << "a long run: see OneSeed";
    runSeed(GetParam(), 40);
}

INSTANTIATE_TEST_SUITE_P(FixedSeeds, WindowMonkeyAppSeed, ::testing::Values(2));

TEST_F(WindowMonkeyApp, OneSeed) {
    const char* steps = std::getenv("KAV_WINDOW_MONKEY_STEPS");
    if (!steps) GTEST_SKIP() << "KAV_WINDOW_MONKEY_STEPS not set";
    const char* seed = std::getenv("KAV_WINDOW_MONKEY_SEED");
    runSeed(seed ? std::strtoull(seed, nullptr, 10) : 1, std::atoi(steps));
}

}  // namespace
