// A monkey at the desktop window: a seeded sequence of what a user does to
// the window (clicks, drags held across the window's edge, other buttons,
// ctrl + wheel, keys and their repeats, typed text in Latin, Chinese and
// emoji, input-method editing, drops, resizes, minimising, hiding, focus,
// display changes, an alert coming and going), queued as SDL events and
// taken by the window's own wait on SDL's dummy driver, on the virtual clock.
// After each step it checks what a user relies on: text typed reaches the
// field once (nothing while an alert is up), a click on a button taps it
// once, no finger stays down once the button is up, and the window shows
// what the screen draws. KAV_WINDOW_MONKEY_SEED and KAV_WINDOW_MONKEY_STEPS
// run one seed long (a local tool).
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/RunLoop.h"
#include "platform/ui/Button.h"
#include "platform/ui/Device.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Image.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/Responder.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/Window.h"
#include "platform/ui/sdl-window/DesktopWindow.h"
#include "tests/platform/ui/sdl-window/SdlEvents.h"
#include "tests/platform/ui/sdl-window/XServer.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"

using namespace platform::ui;

namespace {

using kavtest::sdl::pixelsDiffering;

class WindowMonkey {
  public:
    explicit WindowMonkey(uint64_t seed) : random_(seed), seed_(seed) {
        desktop_ = std::make_unique<DesktopWindow>();
        window_ = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
        window_->setBackgroundColor(UIColor::grey255(40));
        button_ = UIButton::buttonWithType(UIButtonType::Custom);
        button_->setFrame(CGRectMake(20, 230, 280, 60));
        button_->setBackgroundColor(UIColor::rgb255(39, 140, 192));
        button_->addTarget([this](UIControl*, UIEvent*) { ++taps_; }, UIControlEventTouchUpInside);
        window_->addSubview(button_);
        plain_ = std::make_shared<UITextField>(CGRectMake(20, 100, 280, 40));
        window_->addSubview(plain_);
        pad_ = std::make_shared<UITextField>(CGRectMake(20, 160, 280, 40));
        pad_->keyboardType = UIKeyboardType::NumberPad;
        window_->addSubview(pad_);
        window_->makeKeyAndVisible();
    }
    ~WindowMonkey() {
        SDL_SetModState(KMOD_NONE);
        UIKeyboard::endEditing();
        time_.advance(1);
        if (alert_) alert_->setHidden(true);
        alert_.reset();
        window_->setHidden(true);
        window_.reset();
        desktop_.reset();
        UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
        time_.advance(1);
    }

    bool isOpen() const { return desktop_->isOpen(); }
    const std::vector<std::string>& faults() const { return faults_; }
    std::string history() const {
        std::ostringstream all;
        for (const auto& line : history_)
            all << line << "\n";
        return all.str();
    }

    void run(int steps) {
        for (step_ = 0; step_ < steps && faults_.empty(); ++step_)
            act();
        if (!faults_.empty()) return;
        // All let go: no finger down, and the window shows the screen.
        release();
        time_.advance(1);
        pinching_ = false;
        settle();
        if (TouchInput::activeTouchCount() != 0)
            fault("fingers still down after all was let go: " +
                  std::to_string(TouchInput::activeTouchCount()));
        checkPicture("at the end");
    }

    // The window closed: the application's run ends.
    void close() {
        note("close");
        SDL_Event e{};
        e.type = SDL_QUIT;
        SDL_PushEvent(&e);
        desktop_->run();
    }

  private:
    // ---- the dice ----
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }

    void note(const std::string& what) {
        std::ostringstream line;
        line << "seed " << seed_ << " step " << step_ << ": " << what;
        history_.push_back(line.str());
        if (history_.size() > 40) history_.erase(history_.begin());
    }
    void fault(const std::string& what) {
        std::ostringstream line;
        line << "seed " << seed_ << " step " << step_ << ": " << what;
        faults_.push_back(line.str());
    }

    static void settle() { kavtest::sdl::settle(); }
    static void push(SDL_Event e) { kavtest::sdl::push(e); }
    static SDL_Window* sdlWindow() { return kavtest::sdl::sdlWindow(); }
    SDL_Point pixelOf(CGPoint p) const { return kavtest::sdl::pixelOf(*desktop_, p); }
    // Anywhere, the margins and a little beyond the window's edges too.
    SDL_Point anywhere() {
        const CGRect shown = desktop_->shownArea();
        const int w = static_cast<int>(shown.origin.x * 2 + shown.size.width);
        const int h = static_cast<int>(shown.origin.y * 2 + shown.size.height);
        return {below(w + 80) - 40, below(h + 80) - 40};
    }

    void mouse(Uint32 type, Uint8 button, SDL_Point at) {
        kavtest::sdl::mouse(type, button, at, held_);
    }
    static void key(SDL_Keycode sym, Uint16 mod = KMOD_NONE, bool repeat = false) {
        kavtest::sdl::key(sym, mod, repeat, true);
    }
    static void windowEvent(Uint8 what, int data1 = 0, int data2 = 0) {
        kavtest::sdl::windowEvent(what, data1, data2);
    }

    // The field the keys go to now, as a user sees it: the one being edited,
    // unless the alert is up over it.
    UITextField* typingField() const {
        if (alert_ && !alert_->isHidden()) return nullptr;
        if (plain_->isEditing()) return plain_.get();
        if (pad_->isEditing()) return pad_.get();
        return nullptr;
    }

    void typeText(const std::string& text) {
        UITextField* field = typingField();
        const std::string plainBefore = plain_->text(), padBefore = pad_->text();
        kavtest::sdl::textInput(text);
        std::string expectPlain = plainBefore, expectPad = padBefore;
        const bool digits = text.find_first_not_of("0123456789") == std::string::npos;
        if (field == plain_.get()) expectPlain += text;
        if (field == pad_.get() && digits) expectPad += text;
        if (plain_->text() != expectPlain || pad_->text() != expectPad)
            fault("typed \"" + text + "\": the fields read \"" + plain_->text() + "\" and \"" +
                  pad_->text() + "\", not \"" + expectPlain + "\" and \"" + expectPad + "\"");
    }

    void click(CGPoint p) {
        // A held button comes up first: SDL reports no second press of it.
        release();
        const SDL_Point at = pixelOf(p);
        const int before = taps_;
        // The button taps when the click lands on it: not under the alert or
        // the keyboard, nor beside it.
        const CGPoint landed{(at.x - desktop_->shownArea().origin.x) / desktop_->scale(),
                             (at.y - desktop_->shownArea().origin.y) / desktop_->scale()};
        UIScreenRenderer::layoutWindows();
        const std::string why = UIDriver::whyNotReached(landed, button_.get());
        const CGRect b = button_->bounds();
        const CGPoint corner = UIDriver::screenPointOf(button_.get(), b.origin);
        const CGPoint far = UIDriver::screenPointOf(
            button_.get(), {b.origin.x + b.size.width, b.origin.y + b.size.height});
        const CGRect onScreen =
            CGRectInset(CGRectMake(std::min(corner.x, far.x), std::min(corner.y, far.y),
                                   std::fabs(far.x - corner.x), std::fabs(far.y - corner.y)),
                        1, 1);
        const bool reached = why.empty() && CGRectContainsPoint(onScreen, landed);
        const size_t down = TouchInput::activeTouchCount();
        mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, at);
        mouse(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, at);
        const int expected = before + (reached ? 1 : 0);
        if (taps_ != expected)
            fault("a click at " + std::to_string(at.x) + "," + std::to_string(at.y) + " (" +
                  std::to_string(landed.x) + "," + std::to_string(landed.y) + ") made " +
                  std::to_string(taps_ - before) + " taps; fingers down before: " +
                  std::to_string(down) + "; " + (reached ? "on the button" : why));
        if (TouchInput::activeTouchCount() > (pinching_ ? 2u : 0u))
            fault("a finger stays down after a click");
    }

    void release() {
        if (held_) {
            held_ = false;
            mouse(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, anywhere());
        }
        SDL_SetModState(KMOD_NONE);
    }

    void checkPicture(const std::string& when) {
        settle();
        desktop_->drawFrameIfNeeded();
        const long differing = pixelsDiffering(desktop_->shownImage(),
                                               UIScreenRenderer::renderScreen(desktop_->scale()));
        if (differing != 0)
            fault("the window shows a stale picture " + when + " (" + std::to_string(differing) +
                  " pixels)");
    }

    std::string someText() {
        static const std::vector<std::string> samples = {
            "a",
            "Z",
            "1",
            "42",
            "7",
            ".",
            " ",
            "中",
            "中文",
            "交易密码",
            "é",
            "\xF0\x9F\x98\x80",                  // an emoji
            "\xF0\x9F\x87\xA8\xF0\x9F\x87\xB3",  // a flag
            "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7",
            "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",
            "0123456789",
            "\xE2\x80\x8B"};
        return samples[static_cast<size_t>(below(static_cast<int>(samples.size())))];
    }

    void act() {
        const int roll = below(100);
        if (roll < 14) {
            // A click somewhere: the button, a field, anywhere.
            CGPoint p{};
            switch (below(4)) {
                case 0:
                    p = UIDriver::screenCenterOf(button_.get());
                    break;
                case 1:
                    p = UIDriver::screenCenterOf(plain_.get());
                    break;
                case 2:
                    p = UIDriver::screenCenterOf(pad_.get());
                    break;
                default: {
                    const CGRect shown = desktop_->shownArea();
                    const SDL_Point a = anywhere();
                    p = {(a.x - shown.origin.x) / desktop_->scale(),
                         (a.y - shown.origin.y) / desktop_->scale()};
                }
            }
            note("click " + std::to_string(p.x) + "," + std::to_string(p.y));
            click(p);
        } else if (roll < 24) {
            // The left button pressed, moved (across the window's edge too),
            // perhaps let go; other buttons between.
            const SDL_Point a = anywhere();
            if (!held_) {
                note("press at " + std::to_string(a.x) + "," + std::to_string(a.y));
                held_ = true;
                mouse(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, a);
            }
            for (int i = below(4); i > 0; --i)
                mouse(SDL_MOUSEMOTION, 0, anywhere());
            if (chance(0.2)) {
                const Uint8 other = chance(0.5) ? SDL_BUTTON_RIGHT : SDL_BUTTON_MIDDLE;
                mouse(SDL_MOUSEBUTTONDOWN, other, anywhere());
                mouse(SDL_MOUSEBUTTONUP, other, anywhere());
            }
            if (chance(0.5)) {
                note("release");
                held_ = false;
                mouse(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, anywhere());
                if (TouchInput::activeTouchCount() > (pinching_ ? 2u : 0u))
                    fault("a finger stays down after the button came up");
            }
        } else if (roll < 28) {
            note("hover");
            for (int i = 1 + below(3); i > 0; --i)
                mouse(SDL_MOUSEMOTION, 0, anywhere());
        } else if (roll < 33) {
            // Ctrl + wheel pinches; a wheel alone does nothing.
            const bool ctrl = chance(0.7);
            note(std::string(ctrl ? "ctrl+" : "") + "wheel");
            SDL_SetModState(ctrl ? KMOD_LCTRL : KMOD_NONE);
            SDL_Event e{};
            e.type = SDL_MOUSEWHEEL;
            e.wheel.y = chance(0.5) ? 1 : -1;
            if (chance(0.1)) e.wheel.y = 0;
            e.wheel.x = chance(0.2) ? 1 : 0;
            push(e);
            SDL_SetModState(KMOD_NONE);
            if (ctrl && e.wheel.y) pinching_ = true;
        } else if (roll < 48) {
            const std::string text = someText();
            note("type " + text);
            typeText(text);
        } else if (roll < 51) {
            // A long commit of an input method, in SDL's pieces of whole
            // characters.
            note("commit a long text");
            std::string text;
            for (int i = 2 + below(8); i > 0; --i)
                text += someText();
            size_t at = 0;
            while (at < text.size() && faults_.empty()) {
                size_t n = std::min<size_t>(SDL_TEXTINPUTEVENT_TEXT_SIZE - 1, text.size() - at);
                while (n > 0 && at + n < text.size() &&
                       (static_cast<unsigned char>(text[at + n]) & 0xC0) == 0x80)
                    --n;
                typeText(text.substr(at, n));
                at += n;
            }
        } else if (roll < 54) {
            note("compose");
            SDL_Event e{};
            e.type = SDL_TEXTEDITING;
            e.edit.windowID = SDL_GetWindowID(sdlWindow());
            std::strncpy(e.edit.text, chance(0.5) ? "zhong" : "中", sizeof e.edit.text - 1);
            e.edit.start = 0;
            e.edit.length = 1;
            const std::string before = plain_->text();
            push(e);
            if (plain_->text() != before) fault("a text still being composed reached the field");
        } else if (roll < 66) {
            static const std::vector<SDL_Keycode> keys = {
                SDLK_BACKSPACE, SDLK_RETURN, SDLK_KP_ENTER, SDLK_TAB,  SDLK_ESCAPE, SDLK_F1,
                SDLK_F2,        SDLK_a,      SDLK_1,        SDLK_LEFT, SDLK_DELETE, SDLK_LCTRL};
            const SDL_Keycode sym = keys[static_cast<size_t>(below(static_cast<int>(keys.size())))];
            const Uint16 mod = chance(0.2) ? KMOD_LSHIFT : KMOD_NONE;
            const bool repeat = chance(0.25);
            note(std::string("key ") + SDL_GetKeyName(sym) + (repeat ? " repeat" : ""));
            UITextField* field = typingField();
            const std::string before = field ? field->text() : "";
            const std::string plainBefore = plain_->text(), padBefore = pad_->text();
            key(sym, mod, repeat);
            if (!field && (plain_->text() != plainBefore || pad_->text() != padBefore))
                fault("a key reached a field no one was typing into");
            if (field && sym == SDLK_BACKSPACE && !before.empty() &&
                (field->text().size() >= before.size() ||
                 before.compare(0, field->text().size(), field->text()) != 0))
                fault("Backspace on \"" + before + "\" left \"" + field->text() + "\"");
        } else if (roll < 74) {
            const int w = 60 + below(1100), h = 120 + below(900);
            note("resize to " + std::to_string(w) + "x" + std::to_string(h));
            SDL_SetWindowSize(sdlWindow(), w, h);
            settle();
            checkPicture("after a resize");
        } else if (roll < 80) {
            static const std::vector<std::vector<Uint8>> sequences = {
                {SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_RESTORED, SDL_WINDOWEVENT_EXPOSED},
                {SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_FOCUS_GAINED},
                {SDL_WINDOWEVENT_LEAVE, SDL_WINDOWEVENT_ENTER},
                {SDL_WINDOWEVENT_HIDDEN, SDL_WINDOWEVENT_SHOWN, SDL_WINDOWEVENT_EXPOSED},
                {SDL_WINDOWEVENT_MAXIMIZED, SDL_WINDOWEVENT_RESTORED},
                {SDL_WINDOWEVENT_DISPLAY_CHANGED},
                {SDL_WINDOWEVENT_EXPOSED},
                {SDL_WINDOWEVENT_MOVED},
                {SDL_WINDOWEVENT_TAKE_FOCUS}};
            const auto& sequence =
                sequences[static_cast<size_t>(below(static_cast<int>(sequences.size())))];
            note("window events from " + std::to_string(sequence.front()));
            for (Uint8 what : sequence) {
                windowEvent(what);
                if (what == SDL_WINDOWEVENT_MINIMIZED || what == SDL_WINDOWEVENT_HIDDEN) {
                    // The release goes elsewhere.
                    held_ = false;
                    if (TouchInput::activeTouchCount() > (pinching_ ? 2u : 0u))
                        fault("a finger stays down in a window gone from the display");
                    if (chance(0.5)) time_.advance(0.5);
                }
            }
            checkPicture("after window events");
        } else if (roll < 82) {
            note("display event");
            SDL_Event e{};
            e.type = SDL_DISPLAYEVENT;
            e.display.event = static_cast<Uint8>(1 + below(3));
            push(e);
        } else if (roll < 85) {
            const bool file = chance(0.5);
            note(file ? "drop a file" : "drop a text");
            SDL_Event e{};
            e.type = SDL_DROPBEGIN;
            push(e);
            e.type = file ? SDL_DROPFILE : SDL_DROPTEXT;
            e.drop.file = SDL_strdup(file ? "/tmp/quotes.csv" : "EURUSD 1.08");
            push(e);
            e.type = SDL_DROPCOMPLETE;
            e.drop.file = nullptr;
            push(e);
        } else if (roll < 89) {
            // An alert comes (its own window over the form) or goes.
            if (!alert_ || alert_->isHidden()) {
                note("alert up");
                alert_ = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
                alert_->setWindowLevel(UIWindowLevelAlert);
                alert_->setBackgroundColor(UIColor::rgb255(0, 0, 0, 0.4));
                alert_->makeKeyAndVisible();
            } else {
                note("alert gone");
                alert_->setHidden(true);
                alert_.reset();
                window_->makeKeyAndVisible();
            }
            settle();
        } else if (roll < 94) {
            note("field");
            (chance(0.5) ? plain_ : pad_)->becomeFirstResponder();
        } else {
            const double s = chance(0.8) ? 0.05 * (1 + below(10)) : 2;
            note("wait " + std::to_string(s));
            time_.advance(s);
            if (s >= 0.3) pinching_ = false;
            settle();
        }
        if (chance(0.1)) time_.advance(0.35), pinching_ = false;
        if (!held_ && !pinching_ && TouchInput::activeTouchCount() != 0)
            fault("a finger is down with no button held: " +
                  std::to_string(TouchInput::activeTouchCount()));
        if (chance(0.05)) checkPicture("after " + history_.back());
    }

    kavtest::VirtualTime time_;
    std::mt19937_64 random_;
    uint64_t seed_;
    std::unique_ptr<DesktopWindow> desktop_;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UIWindow> alert_;
    std::shared_ptr<UIButton> button_;
    std::shared_ptr<UITextField> plain_, pad_;
    int taps_ = 0;
    bool held_ = false;
    bool pinching_ = false;
    int step_ = 0;
    std::vector<std::string> history_;
    std::vector<std::string> faults_;
};

class WindowMonkeySeed : public ::testing::TestWithParam<uint64_t> {
  protected:
    kavtest::ScopedEnv driver_{"SDL_VIDEODRIVER", "dummy"};
};

void runSeed(uint64_t seed, int steps) {
    WindowMonkey monkey(seed);
    ASSERT_TRUE(monkey.isOpen());
    monkey.run(steps);
    for (const auto& fault : monkey.faults())
        ADD_FAILURE() << fault << "\nlast actions:\n" << monkey.history();
    if (monkey.faults().empty()) monkey.close();
}

TEST_P(WindowMonkeySeed, LeavesNoFault) {
    if (std::getenv("KAV_WINDOW_MONKEY_STEPS")) GTEST_SKIP() << "a long run: see OneSeed";
    runSeed(GetParam(), 80);
}

INSTANTIATE_TEST_SUITE_P(FixedSeeds, WindowMonkeySeed, ::testing::Values(1, 3));

TEST_F(WindowMonkeySeed, OneSeed) {
    const char* steps = std::getenv("KAV_WINDOW_MONKEY_STEPS");
    if (!steps) GTEST_SKIP() << "KAV_WINDOW_MONKEY_STEPS not set";
    const char* seed = std::getenv("KAV_WINDOW_MONKEY_SEED");
    runSeed(seed ? std::strtoull(seed, nullptr, 10) : 1, std::atoi(steps));
}

// What the X server shows in the window against `expected` placed in `area`,
// black around it: the pixels that differ.
long differingOnServer(const UIImagePtr& shot, const UIImagePtr& expected, CGRect area) {
    if (!shot) return -1;
    const int dx = static_cast<int>(area.origin.x), dy = static_cast<int>(area.origin.y);
    const int w = std::min(expected->pixelWidth(), static_cast<int>(area.size.width));
    const int h = std::min(expected->pixelHeight(), static_cast<int>(area.size.height));
    long n = 0;
    for (int y = 0; y < shot->pixelHeight(); ++y)
        for (int x = 0; x < shot->pixelWidth(); ++x) {
            const UIColor p = shot->pixelAt(x, y);
            UIColor q = UIColor::blackColor();
            const int ex = x - dx, ey = y - dy;
            if (ex >= 0 && ey >= 0 && ex < w && ey < h) q = expected->pixelAt(ex, ey);
            if (p.red != q.red || p.green != q.green || p.blue != q.blue) ++n;
        }
    return n;
}

// On a real X server (a local tool: KAV_WINDOW_MONKEY_X_STEPS steps of
// KAV_WINDOW_MONKEY_SEED): the window resized by another client or by
// itself, hidden and shown again, minimised and restored, the screen turned,
// rows changing; after each step the server must come to show what the
// screen draws.
TEST(WindowMonkeyOnX, TheServerShowsTheScreenAfterResizesHidesAndTurns) {
    const char* stepsWanted = std::getenv("KAV_WINDOW_MONKEY_X_STEPS");
    if (!stepsWanted) GTEST_SKIP() << "KAV_WINDOW_MONKEY_X_STEPS not set";
    auto x = kavtest::XServer::start("1280x1024");
    ASSERT_TRUE(x) << "Xvfb is missing: run scripts/install-deps.sh";
    kavtest::ScopedEnv display("DISPLAY", x->display().c_str());
    kavtest::ScopedEnv driver("SDL_VIDEODRIVER", "x11");
    kavtest::VirtualTime time;
    const char* seed = std::getenv("KAV_WINDOW_MONKEY_SEED");
    std::mt19937_64 random(seed ? std::strtoull(seed, nullptr, 10) : 1);
    const auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    auto desktop = std::make_unique<DesktopWindow>(1);
    ASSERT_TRUE(desktop->isOpen());
    auto window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    window->setBackgroundColor(UIColor::grey255(30));
    std::vector<std::shared_ptr<UILabel>> rows;
    for (int i = 0; i < 12; ++i) {
        auto row = std::make_shared<UILabel>(CGRectMake(10, 40 + i * 24, 300, 20));
        row->setText("EURUSD 1.0" + std::to_string(8345 + i));
        row->setTextColor(UIColor::rgb255(60, 220, 90));
        window->addSubview(row);
        rows.push_back(row);
    }
    window->makeKeyAndVisible();
    SDL_Window* sdl = nullptr;
    for (Uint32 id = 1; id < 4096; ++id)
        if (SDL_Window* w = SDL_GetWindowFromID(id)) sdl = w;
    // At the screen's corner: the server reads back only a window whole on
    // its screen.
    SDL_SetWindowPosition(sdl, 0, 0);
    auto& loop = platform::RunLoop::main();
    const auto settle = [&] {
        for (int i = 0; i < 4; ++i)
            loop.runUntil([] { return false; }, 0.005);
    };
    std::vector<std::string> history;
    const int steps = std::atoi(stepsWanted);
    for (int step = 0; step < steps; ++step) {
        std::string what;
        switch (below(6)) {
            case 0: {
                const int w = 100 + below(1000), h = 150 + below(850);
                what =
                    "resized by another client to " + std::to_string(w) + "x" + std::to_string(h);
                x->resizeWindow("KAV Trader", w, h);
                break;
            }
            case 1: {
                const int w = 100 + below(1000), h = 150 + below(850);
                what = "resized to " + std::to_string(w) + "x" + std::to_string(h);
                SDL_SetWindowSize(sdl, w, h);
                break;
            }
            case 2:
                what = "hidden and shown";
                SDL_HideWindow(sdl);
                settle();
                if (below(2))
                    rows[static_cast<size_t>(below(12))]->setText("hidden " + std::to_string(step));
                settle();
                SDL_ShowWindow(sdl);
                break;
            case 3: {
                what = "turned";
                SDL_Event e{};
                e.type = SDL_KEYDOWN;
                e.key.keysym.sym = SDLK_F2;
                SDL_PushEvent(&e);
                break;
            }
            case 4:
                what = "minimised and restored";
                SDL_MinimizeWindow(sdl);
                settle();
                SDL_RestoreWindow(sdl);
                break;
            default:
                what = "a row changed";
                rows[static_cast<size_t>(below(12))]->setText("EURUSD 1.1" + std::to_string(step));
                break;
        }
        history.push_back(std::to_string(step) + ": " + what);
        settle();
        long differing = -1;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        do {
            settle();
            desktop->drawFrameIfNeeded();
            differing = differingOnServer(x->windowPixels("KAV Trader"),
                                          UIScreenRenderer::renderScreen(desktop->scale()),
                                          desktop->shownArea());
            if (differing == 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } while (std::chrono::steady_clock::now() < deadline);
        if (differing != 0) {
            std::string all;
            for (const auto& line : history)
                all += line + "\n";
            UIImageWritePNG(x->windowPixels("KAV Trader"), "/tmp/window-monkey-x.png");
            FAIL() << "the server shows a stale picture (" << differing << " pixels) after:\n"
                   << all;
        }
    }
    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
    time.advance(1);
    window->setHidden(true);
    window.reset();
    desktop.reset();
}

}  // namespace
