#include <SDL.h>
#include <cairo.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <thread>
#include <memory>
#include <string>
#include <vector>

#include "platform/RunLoop.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Device.h"
#include "platform/ui/Display.h"
#include "platform/ui/Image.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/Window.h"
#include "platform/ui/sdl-window/DesktopWindow.h"
#include "tests/platform/ui/sdl-window/XServer.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"

using namespace platform::ui;

namespace {

// The largest difference of a colour component between two images of the
// same size (0..1).
double difference(const UIImagePtr& a, const UIImagePtr& b) {
    double worst = 0;
    for (int y = 0; y < a->pixelHeight(); y += 3)
        for (int x = 0; x < a->pixelWidth(); x += 3) {
            UIColor p = a->pixelAt(x, y), q = b->pixelAt(x, y);
            worst = std::max({worst, std::fabs(p.red - q.red), std::fabs(p.green - q.green),
                              std::fabs(p.blue - q.blue)});
        }
    return worst;
}

TEST(DesktopWindow, LinkedItIsTheDisplayAndDrawsOnlyWhatChanged) {
    kavtest::ScopedEnv driver("SDL_VIDEODRIVER", "dummy");
    kavtest::ScopedEnv display("DISPLAY", ":99");
    ASSERT_TRUE(UIDisplayBackendAvailable());
    auto opened = UIDisplayOpen(2);
    ASSERT_TRUE(opened);
    auto* desktop = dynamic_cast<DesktopWindow*>(opened.get());
    ASSERT_TRUE(desktop);

    auto window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    window->setBackgroundColor(UIColor::grey255(40));
    std::vector<std::shared_ptr<UILabel>> labels;
    for (int i = 0; i < 12; ++i) {
        auto label = std::make_shared<UILabel>(CGRectMake(20, 20 + i * 40, 200, 30));
        label->setText("1.0" + std::to_string(8345 + i));
        label->setTextColor(UIColor::whiteColor());
        window->addSubview(label);
        labels.push_back(label);
    }
    window->makeKeyAndVisible();

    ASSERT_TRUE(desktop->drawFrameIfNeeded());
    EXPECT_EQ(desktop->framesDrawn(), 1u);
    EXPECT_EQ(difference(desktop->shownImage(), UIScreenRenderer::renderScreen(2)), 0);

    // Nothing changed: no frame, no work.
    EXPECT_FALSE(desktop->drawFrameIfNeeded());
    EXPECT_EQ(desktop->framesDrawn(), 1u);

    // One label: only what it inks, inside its area, is composited and
    // uploaded.
    labels[5]->setText("1.09999");
    ASSERT_TRUE(desktop->drawFrameIfNeeded());
    EXPECT_EQ(desktop->framesDrawn(), 2u);
    ASSERT_EQ(desktop->lastFrame().damage.size(), 1u);
    EXPECT_TRUE(CGRectContainsRect(CGRectMake(20, 220, 200, 30), desktop->lastFrame().damage[0]));
    EXPECT_EQ(difference(desktop->shownImage(), UIScreenRenderer::renderScreen(2)), 0);

    window->setHidden(true);
    window.reset();
    opened.reset();
}


TEST(DesktopWindow, TheScaleIsTwoWhereTheScreenFitsElseOneElseTheFractionThatFits) {
    const CGSize phone{320, 568};
    EXPECT_EQ(DesktopWindow::fittingScale(phone, {1920, 1160}), 2);
    EXPECT_EQ(DesktopWindow::fittingScale(phone, {1920, 1135}), 1);  // 1136 high at 2
    EXPECT_EQ(DesktopWindow::fittingScale(phone, {1280, 760}), 1);
    EXPECT_DOUBLE_EQ(DesktopWindow::fittingScale(phone, {1024, 500}), 500.0 / 568);
    // Turned, the width is what runs out.
    EXPECT_DOUBLE_EQ(DesktopWindow::fittingScale({568, 320}, {500, 700}), 500.0 / 568);
}

// The desktop window on SDL's dummy driver (a 1024 x 768 display) with a
// window of the application's kind on it, on the virtual clock.
class WindowOnDummy : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop_ = std::make_unique<DesktopWindow>();
        ASSERT_TRUE(desktop_->isOpen());
        window_ = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
        window_->setBackgroundColor(UIColor::grey255(40));
        window_->makeKeyAndVisible();
    }
    void TearDown() override {
        UIKeyboard::endEditing();
        time_.advance(1);
        window_->setHidden(true);
        window_.reset();
        desktop_.reset();
    }
    void send(SDL_Event e) {
        desktop_->handleEvent(e);
        time_.advance(0.05);
    }
    void key(SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        send(e);
    }
    void type(const char* text) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        std::strncpy(e.text.text, text, sizeof e.text.text - 1);
        send(e);
    }
    // A click at a window pixel.
    void click(int x, int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEBUTTONDOWN;
        e.button.button = SDL_BUTTON_LEFT;
        e.button.x = x;
        e.button.y = y;
        send(e);
        e.type = SDL_MOUSEBUTTONUP;
        send(e);
    }
    std::shared_ptr<UITextField> field(CGRect frame) {
        auto f = std::make_shared<UITextField>(frame);
        window_->addSubview(f);
        return f;
    }

    kavtest::ScopedEnv driver_{"SDL_VIDEODRIVER", "dummy"};
    kavtest::VirtualTime time_;
    std::unique_ptr<DesktopWindow> desktop_;
    std::shared_ptr<UIWindow> window_;
};

TEST_F(WindowOnDummy, OpensAtTheScaleThatFitsAndAResizeKeepsTheShapeAndWhereTapsLand) {
    // 1136 pixels at scale 2 are more than the display's 768: scale 1.
    EXPECT_EQ(desktop_->scale(), 1);
    EXPECT_EQ(desktop_->shownArea(), CGRectMake(0, 0, 320, 568));

    auto button = UIButton::buttonWithType(UIButtonType::Custom);
    button->setFrame(CGRectMake(100, 400, 120, 40));
    button->setBackgroundColor(UIColor::rgb255(39, 140, 192));
    int taps = 0;
    button->addTarget([&](UIControl*, UIEvent*) { ++taps; }, UIControlEventTouchUpInside);
    window_->addSubview(button);

    // Wider than the screen's shape: the height decides, the screen is
    // centred and drawn at the new pixel size.
    desktop_->setWindowSize(900, 852);
    EXPECT_DOUBLE_EQ(desktop_->scale(), 852.0 / 568);
    const CGRect shown = desktop_->shownArea();
    EXPECT_EQ(shown.size.width, 480);
    EXPECT_EQ(shown.size.height, 852);
    EXPECT_EQ(shown.origin.x, (900 - 480) / 2);
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    EXPECT_EQ(desktop_->shownImage()->pixelWidth(), 480);
    EXPECT_EQ(difference(desktop_->shownImage(), UIScreenRenderer::renderScreen(1.5)), 0);

    // The button's middle, in the window's pixels.
    click(static_cast<int>(shown.origin.x + 160 * 1.5), static_cast<int>(420 * 1.5));
    EXPECT_EQ(taps, 1);
    // Beside the screen (in the black margin) a click touches nothing.
    click(10, 630);
    EXPECT_EQ(taps, 1);
}

TEST_F(WindowOnDummy, PicturesMadeWhileItRunsHaveTheWindowsPixels) {
    // A picture made at the screen's scale (a tinted arrow, a bar button's
    // drawing) is as sharp as the window draws: made at 1 and drawn at 2 it
    // would come out soft.
    const auto made = [] {
        UIGraphicsBeginImageContextWithOptions(CGSizeMake(18, 18), false, 0);
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        return image;
    };
    EXPECT_EQ(desktop_->scale(), 1);
    EXPECT_EQ(made()->pixelWidth(), 18);
    desktop_->setWindowSize(640, 1136);
    ASSERT_EQ(desktop_->scale(), 2);
    EXPECT_EQ(UIScreen::mainScreen().scale(), 2);
    EXPECT_EQ(made()->pixelWidth(), 36);
    // Between whole pixels a point, the next whole number: drawn smaller,
    // not stretched.
    desktop_->setWindowSize(480, 852);
    EXPECT_EQ(UIScreen::mainScreen().scale(), 2);
    desktop_->setWindowSize(160, 284);
    EXPECT_EQ(UIScreen::mainScreen().scale(), 1);
    // The window gone, the screen is as it found it.
    desktop_->setWindowSize(640, 1136);
    desktop_.reset();
    EXPECT_EQ(UIScreen::mainScreen().scale(), 1);
}

// Where a colour lies in an image, in points.
CGRect placeOf(const UIImagePtr& image, CGFloat scale, int r, int g, int b) {
    int x0 = INT32_MAX, y0 = INT32_MAX, x1 = -1, y1 = -1;
    for (int y = 0; y < image->pixelHeight(); ++y)
        for (int x = 0; x < image->pixelWidth(); ++x) {
            const UIColor p = image->pixelAt(x, y);
            if (std::fabs(p.red * 255 - r) + std::fabs(p.green * 255 - g) +
                    std::fabs(p.blue * 255 - b) >
                12)
                continue;
            x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
        }
    if (x1 < 0) return CGRectNull;
    return CGRectMake(x0 / scale, y0 / scale, (x1 + 1 - x0) / scale, (y1 + 1 - y0) / scale);
}

TEST_F(WindowOnDummy, ScalesOneAndAHalfAndOneDrawTheLayoutOfScaleTwo) {
    auto button = UIButton::buttonWithType(UIButtonType::Custom);
    button->setFrame(CGRectMake(30, 300, 260, 44));
    button->setBackgroundColor(UIColor::rgb255(39, 140, 192));
    window_->addSubview(button);
    auto label = std::make_shared<UILabel>(CGRectMake(40, 100, 240, 30));
    label->setText("EURUSD 1.08345");
    label->setTextColor(UIColor::rgb255(255, 255, 0));
    window_->addSubview(label);

    std::vector<std::pair<CGRect, CGRect>> places;
    for (CGFloat k : {2.0, 1.5, 1.0}) {
        desktop_->setWindowSize(static_cast<int>(320 * k), static_cast<int>(568 * k));
        ASSERT_EQ(desktop_->scale(), k);
        ASSERT_TRUE(desktop_->drawFrameIfNeeded());
        const auto shot = desktop_->shownImage();
        places.push_back({placeOf(shot, k, 39, 140, 192), placeOf(shot, k, 255, 255, 0)});
    }
    const auto near = [](CGRect a, CGRect b) {
        return std::fabs(a.origin.x - b.origin.x) <= 1 && std::fabs(a.origin.y - b.origin.y) <= 1 &&
               std::fabs(a.size.width - b.size.width) <= 1.5 &&
               std::fabs(a.size.height - b.size.height) <= 1.5;
    };
    EXPECT_EQ(places[0].first, CGRectMake(30, 300, 260, 44));
    ASSERT_FALSE(CGRectIsNull(places[0].second));
    for (size_t i = 1; i < places.size(); ++i) {
        EXPECT_TRUE(near(places[i].first, places[0].first)) << i;
        EXPECT_TRUE(near(places[i].second, places[0].second)) << i;
    }
}

// Pixels of `image` that differ from `expected` placed in `area`; outside
// it the image must be black. Exact, byte for byte.
long pixelsDiffering(const UIImagePtr& image, const UIImagePtr& expected, CGRect area) {
    const int dx = static_cast<int>(area.origin.x), dy = static_cast<int>(area.origin.y);
    const int w = std::min(expected->pixelWidth(), static_cast<int>(area.size.width));
    const int h = std::min(expected->pixelHeight(), static_cast<int>(area.size.height));
    cairo_surface_t* a = image->surface();
    cairo_surface_t* b = expected->surface();
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    const auto* pa = cairo_image_surface_get_data(a);
    const auto* pb = cairo_image_surface_get_data(b);
    const int sa = cairo_image_surface_get_stride(a), sb = cairo_image_surface_get_stride(b);
    long differing = 0;
    for (int y = 0; y < image->pixelHeight(); ++y)
        for (int x = 0; x < image->pixelWidth(); ++x) {
            uint32_t got, want = 0xff000000u;
            std::memcpy(&got, pa + static_cast<size_t>(y) * sa + x * 4, 4);
            const int ex = x - dx, ey = y - dy;
            if (ex >= 0 && ey >= 0 && ex < w && ey < h)
                std::memcpy(&want, pb + static_cast<size_t>(ey) * sb + ex * 4, 4);
            if (got != want) ++differing;
        }
    return differing;
}

TEST_F(WindowOnDummy, PutsOnlyTheChangedRowsOnTheDisplayAndShowsWhatAFullRedrawDraws) {
    // A board's rows of prices under a panel with a shadow, in a window of
    // another shape than the phone's (margins, a fractional scale).
    auto panel = std::make_shared<UIView>(CGRectMake(10, 60, 300, 440));
    panel->setBackgroundColor(UIColor::grey255(30));
    panel->layer().setShadowColor(UIColor::blackColor());
    panel->layer().setShadowOpacity(0.8);
    panel->layer().setShadowRadius(10);
    window_->addSubview(panel);
    std::vector<std::shared_ptr<UILabel>> rows;
    for (int i = 0; i < 20; ++i) {
        auto row = std::make_shared<UILabel>(CGRectMake(8, 6 + i * 21.5, 284, 20));
        row->setText("EURUSD 1.0" + std::to_string(8345 + i));
        row->setTextColor(i % 2 ? UIColor::rgb255(255, 60, 60) : UIColor::rgb255(60, 220, 90));
        panel->addSubview(row);
        rows.push_back(row);
    }
    desktop_->setWindowSize(400, 603);
    const CGFloat k = desktop_->scale();
    ASSERT_DOUBLE_EQ(k, 603.0 / 568);
    const CGRect shown = desktop_->shownArea();
    ASSERT_GT(shown.origin.x, 0);
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    const long window = 400L * 603;
    EXPECT_EQ(desktop_->pixelsShownLastFrame(), window);
    EXPECT_EQ(pixelsDiffering(desktop_->shownImage(true), UIScreenRenderer::renderScreen(k), shown),
              0);

    for (int frame = 0; frame < 24; ++frame) {
        // One row a frame, now and then two far apart.
        rows[static_cast<size_t>(frame * 7 % 20)]->setText("EURUSD 1.1" + std::to_string(frame));
        if (frame % 5 == 0)
            rows[static_cast<size_t>((frame * 3 + 11) % 20)]->setTextColor(UIColor::whiteColor());
        ASSERT_TRUE(desktop_->drawFrameIfNeeded());
        long damaged = 0;
        for (const CGRect& r : desktop_->lastFrame().damage)
            damaged += std::lround(r.size.width * k) * std::lround(r.size.height * k);
        EXPECT_GT(desktop_->pixelsShownLastFrame(), 0) << frame;
        EXPECT_LE(desktop_->pixelsShownLastFrame(), damaged + 4 * 603) << frame;
        EXPECT_LT(desktop_->pixelsShownLastFrame(), window / 8) << frame;
        ASSERT_EQ(pixelsDiffering(desktop_->shownImage(true), UIScreenRenderer::renderScreen(k),
                                  shown),
                  0)
            << frame;
    }
    EXPECT_FALSE(desktop_->drawFrameIfNeeded());

    // The display lost the window's pixels: the kept frame is put back whole,
    // nothing composited again.
    SDL_Event exposed{};
    exposed.type = SDL_WINDOWEVENT;
    exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
    desktop_->handleEvent(exposed);
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    EXPECT_EQ(desktop_->pixelsShownLastFrame(), window);
    EXPECT_TRUE(desktop_->lastFrame().damage.empty());
    EXPECT_EQ(pixelsDiffering(desktop_->shownImage(true), UIScreenRenderer::renderScreen(k), shown),
              0);
}

// The desktop window on a real X server (Xvfb), its pixels read back from
// the server.
class WindowOnXvfb : public ::testing::Test {
  protected:
    // Starts the server with `arguments` and opens the window on it at
    // scale 1, a board of prices on screen.
    void open(const std::vector<std::string>& arguments = {}) {
        x_ = kavtest::XServer::start("1280x1024", arguments);
        ASSERT_TRUE(x_) << "Xvfb is missing: run scripts/install-deps.sh";
        display_ = std::make_unique<kavtest::ScopedEnv>("DISPLAY", x_->display().c_str());
        desktop_ = std::make_unique<DesktopWindow>(1);
        ASSERT_TRUE(desktop_->isOpen());
        window_ = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
        window_->setBackgroundColor(UIColor::grey255(30));
        for (int i = 0; i < 20; ++i) {
            auto row = std::make_shared<UILabel>(CGRectMake(10, 40 + i * 24, 300, 20));
            row->setText("EURUSD 1.0" + std::to_string(8345 + i));
            row->setTextColor(i % 2 ? UIColor::rgb255(255, 60, 60) : UIColor::rgb255(60, 220, 90));
            window_->addSubview(row);
            rows_.push_back(row);
        }
        window_->makeKeyAndVisible();
    }
    void TearDown() override {
        UIScreen::mainScreen().setInterfaceOrientation(UIInterfaceOrientation::Portrait);
        if (window_) window_->setHidden(true);
        window_.reset();
        rows_.clear();
        desktop_.reset();
        display_.reset();
        x_.reset();
    }
    // What the X server shows in the window against a full redraw placed
    // where the window shows the phone screen, black around it: the pixels
    // that differ. The window's puts reach the server on their own time
    // (nothing waits for them), so this waits, bounded, for them to match.
    long differingOnServer() {
        const UIImagePtr expected = UIScreenRenderer::renderScreen(desktop_->scale());
        long differing = -1;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        do {
            const UIImagePtr shot = x_->windowPixels("KAV Trader");
            differing = shot ? pixelsDiffering(shot, expected, desktop_->shownArea()) : -1;
            if (differing == 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (std::chrono::steady_clock::now() < deadline);
        return differing;
    }
    // Changes rows (one a frame, now and then two) and checks that each
    // frame's changed pixels, and only those, reach the server.
    void changeRows(int frames) {
        const long window = static_cast<long>(desktop_->shownArea().size.width) *
                            static_cast<long>(desktop_->shownArea().size.height);
        for (int frame = 0; frame < frames; ++frame) {
            ++changes_;
            rows_[static_cast<size_t>(changes_ * 7 % 20)]->setText("EURUSD 1.1" +
                                                                   std::to_string(changes_));
            if (changes_ % 3 == 0)
                rows_[static_cast<size_t>((changes_ * 3 + 11) % 20)]->setTextColor(
                    UIColor::grey255(static_cast<int>(100 + changes_ * 13 % 150)));
            ASSERT_TRUE(desktop_->drawFrameIfNeeded());
            EXPECT_GT(desktop_->pixelsShownLastFrame(), 0) << frame;
            EXPECT_LT(desktop_->pixelsShownLastFrame(), window / 8) << frame;
            // Every other frame is checked at once, the others follow
            // straight on the one before.
            if (frame % 2) {
                ASSERT_EQ(differingOnServer(), 0) << frame;
            }
        }
    }

    std::unique_ptr<kavtest::XServer> x_;
    std::unique_ptr<kavtest::ScopedEnv> display_;
    kavtest::ScopedEnv driver_{"SDL_VIDEODRIVER", "x11"};
    std::unique_ptr<DesktopWindow> desktop_;
    std::shared_ptr<UIWindow> window_;
    std::vector<std::shared_ptr<UILabel>> rows_;
    int changes_ = 0;
};

TEST_F(WindowOnXvfb, FramesReachTheServerThroughTheSharedImageWhateverTheWindowsSizeOrShape) {
    open();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_TRUE(desktop_->showsThroughSharedImage());
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    EXPECT_EQ(differingOnServer(), 0);
    changeRows(6);

    // Another size and shape (margins, a fractional scale): a new image,
    // the whole window put again with black around the screen.
    desktop_->setWindowSize(400, 603);
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    EXPECT_GT(desktop_->shownArea().origin.x, 0);
    EXPECT_EQ(desktop_->pixelsShownLastFrame(), 400L * 603);
    EXPECT_EQ(differingOnServer(), 0);
    changeRows(4);

    // Turned and back, as the application turns its screen: the window
    // takes the other shape and the image follows.
    UIScreen::mainScreen().setInterfaceOrientation(UIInterfaceOrientation::LandscapeLeft);
    window_->setFrame(CGRectMake(0, 0, 568, 320));
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    EXPECT_GT(desktop_->shownArea().size.width, desktop_->shownArea().size.height);
    EXPECT_EQ(differingOnServer(), 0);
    UIScreen::mainScreen().setInterfaceOrientation(UIInterfaceOrientation::Portrait);
    window_->setFrame(CGRectMake(0, 0, 320, 568));
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    EXPECT_LT(desktop_->shownArea().size.width, desktop_->shownArea().size.height);
    EXPECT_EQ(differingOnServer(), 0);
    changeRows(4);

    // The display lost the window's pixels: all put back from the kept
    // frame, and frames go on from there.
    SDL_Event exposed{};
    exposed.type = SDL_WINDOWEVENT;
    exposed.window.event = SDL_WINDOWEVENT_EXPOSED;
    desktop_->handleEvent(exposed);
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    EXPECT_TRUE(desktop_->lastFrame().damage.empty());
    const UIImagePtr whole = desktop_->shownImage(true);
    EXPECT_EQ(desktop_->pixelsShownLastFrame(),
              static_cast<long>(whole->pixelWidth()) * whole->pixelHeight());
    EXPECT_EQ(differingOnServer(), 0);
    changeRows(2);
}

// Tasks posted from another thread (quotes off the network) each wake the
// idle wait, and the display, read just before the wait, is not read again
// for them; what the display sends (a new size) still comes through.
TEST_F(WindowOnXvfb, ATaskWakesTheWaitWithoutReadingTheDisplayAgain) {
    open();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    platform::RunLoop& loop = platform::RunLoop::main();
    constexpr int kTasks = 40;
    std::atomic<int> ran{0};
    const unsigned long wakes = desktop_->wakeUps();
    const unsigned long reads = desktop_->displayReads();
    // One at a time, each posted a moment after the last has run: most
    // find the wait asleep.
    std::thread poster([&] {
        for (int i = 0; i < kTasks; ++i) {
            loop.post([&ran] { ++ran; });
            while (ran.load() <= i)
                std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    EXPECT_TRUE(loop.runUntil([&] { return ran.load() == kTasks; }, 20));
    poster.join();
    const unsigned long woken = desktop_->wakeUps() - wakes;
    EXPECT_GE(woken, 10u);
    EXPECT_LE(desktop_->displayReads() - reads, woken + 4);

    SDL_Window* window = SDL_GetWindowFromID(1);
    ASSERT_NE(window, nullptr);
    const CGRect before = desktop_->shownArea();
    SDL_SetWindowSize(window, 400, 603);
    EXPECT_TRUE(loop.runUntil([&] { return desktop_->shownArea().origin.x != before.origin.x; },
                              10));
}

// Quotes coming faster than frames, each changing a row: those posted while
// a frame waits for the display's pace wait with it and run together just
// before it is drawn, instead of each waking the loop only to wait again.
TEST_F(WindowOnXvfb, TasksPostedWhileAFrameIsAwaitedRunWithItInsteadOfEachWakingTheLoop) {
    open();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    platform::RunLoop& loop = platform::RunLoop::main();
    std::atomic<bool> done{false};
    std::atomic<int> posted{0}, ran{0};
    std::thread poster([&] {
        while (!done.load()) {
            loop.post([this, &ran] {
                const int i = ran++;
                rows_[static_cast<size_t>(i % 20)]->setText("EURUSD 1.2" + std::to_string(i));
            });
            ++posted;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    const unsigned long frames = desktop_->framesDrawn();
    const unsigned long wakes = desktop_->wakeUps();
    const int ranBefore = ran.load();
    EXPECT_TRUE(loop.runUntil([&] { return desktop_->framesDrawn() >= frames + 6; }, 20));
    const unsigned long woken = desktop_->wakeUps() - wakes;
    const int handled = ran.load() - ranBefore;
    done = true;
    poster.join();
    EXPECT_TRUE(loop.runUntil([&] { return ran.load() == posted.load(); }, 10));
    // About thirty a frame; one a wake-up when each wakes the loop.
    EXPECT_GE(handled, static_cast<int>(woken) * 5 / 2)
        << handled << " tasks in " << woken << " wake-ups";
    desktop_->drawFrameIfNeeded();
    EXPECT_EQ(differingOnServer(), 0);
}

// A frame's puts (several rows apart, one a row) go to the server in one
// write and nothing is read back then: a frame is shown while the server is
// stopped. The next frame draws into the image only when the server has
// read the last: one drawn while it cannot read waits for it, and lands
// whole.
TEST_F(WindowOnXvfb, AFramesPutsGoInOneWriteAndTheNextFrameWaitsUntilTheServerHasReadThem) {
    open();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(desktop_->showsThroughSharedImage());
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    const unsigned long writes = desktop_->sharedImageWrites();
    const unsigned long reads = desktop_->sharedImageReads();
    constexpr int kFrames = 8;
    for (int frame = 0; frame < kFrames; ++frame) {
        for (int row : {2, 9, 16})
            rows_[static_cast<size_t>(row)]->setText("EURUSD 1.3" + std::to_string(frame * 3 + row));
        ASSERT_TRUE(desktop_->drawFrameIfNeeded());
        EXPECT_GE(desktop_->lastFrame().damage.size(), 3u) << frame;
    }
    EXPECT_EQ(desktop_->sharedImageWrites() - writes, static_cast<unsigned long>(kFrames));
    // The word of each frame's puts, read when the next frame needs it.
    EXPECT_LE(desktop_->sharedImageReads() - reads, static_cast<unsigned long>(kFrames));
    EXPECT_EQ(differingOnServer(), 0);

    // Stopped, the server reads nothing: a frame is put all the same (should
    // it wait for the server, it would wait until the watchman resumes it).
    std::atomic<bool> resumed{false};
    constexpr int kResumeAfterMs = 1000;
    x_->pause();
    std::thread watchman([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(kResumeAfterMs));
        resumed = true;
        x_->resume();
    });
    rows_[4]->setText("EURUSD 1.40000");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    EXPECT_FALSE(resumed.load());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    // The next frame would draw into what the server has not read yet: it
    // waits until the server is back (and has read it).
    rows_[4]->setText("EURUSD 1.41111");
    rows_[12]->setText("EURUSD 1.42222");
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    EXPECT_TRUE(resumed.load());
    watchman.join();
    EXPECT_EQ(differingOnServer(), 0);
    changeRows(2);
}

// Frames drawn for tasks (quotes changing rows) do not read SDL's
// connection: nothing has, since the last read. What the display sends still
// wakes the wait at once, and so does what an SDL call waiting for the
// server's answer read from it and queued.
TEST_F(WindowOnXvfb, FramesForTasksDoNotReadTheDisplayAndWhatItSendsStillWakesTheWait) {
    open();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    platform::RunLoop& loop = platform::RunLoop::main();
    // Settled: what the display sent on opening has been read.
    loop.runUntil([] { return false; }, 0.2);
    const auto postRows = [&](int count) {
        std::atomic<int> ran{0};
        std::thread poster([&] {
            for (int i = 0; i < count; ++i) {
                loop.post([this, &ran] {
                    const int n = ran++;
                    rows_[static_cast<size_t>(n * 7 % 20)]->setText("EURUSD 1.5" +
                                                                    std::to_string(n));
                });
                // Each after the frame of the one before.
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            }
        });
        EXPECT_TRUE(loop.runUntil([&] { return ran.load() == count; }, 20));
        poster.join();
    };
    const unsigned long frames = desktop_->framesDrawn();
    const unsigned long reads = desktop_->displayReads();
    postRows(20);
    loop.runUntil([] { return false; }, 0.05);
    // (A pump a frame would be twenty or more.)
    EXPECT_GE(desktop_->framesDrawn() - frames, 10u);
    EXPECT_LE(desktop_->displayReads() - reads, 4u);
    EXPECT_EQ(differingOnServer(), 0);

    // Another client resizes the window: the wait wakes for it.
    CGRect before = desktop_->shownArea();
    ASSERT_TRUE(x_->resizeWindow("KAV Trader", 400, 603));
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(loop.runUntil(
        [&] { return desktop_->shownArea().origin.x != before.origin.x; }, 5));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    // The news of a resize read by a round trip on SDL's connection (in a
    // task), before the wait: queued there, not in the socket the wait
    // polls, yet taken at once.
    before = desktop_->shownArea();
    ASSERT_TRUE(x_->resizeWindow("KAV Trader", 500, 700));
    loop.post([] { kavtest::XServer::roundTripOnSDLsConnection(); });
    start = std::chrono::steady_clock::now();
    EXPECT_TRUE(loop.runUntil(
        [&] { return desktop_->shownArea().size.width != before.size.width; }, 5));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    desktop_->drawFrameIfNeeded();
    EXPECT_EQ(differingOnServer(), 0);
}

TEST_F(WindowOnXvfb, WithoutSharedMemoryFramesGoThroughSDLsWindowSurface) {
    open({"-extension", "MIT-SHM"});
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_FALSE(desktop_->showsThroughSharedImage());
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    EXPECT_EQ(differingOnServer(), 0);
    changeRows(4);
    desktop_->setWindowSize(400, 603);
    ASSERT_TRUE(desktop_->drawFrameIfNeeded());
    EXPECT_EQ(differingOnServer(), 0);
    changeRows(2);
}

// A price's digits that change, at the smallest window and a fractional one:
// what a new text leaves and what it inks are drawn again, whatever pixel
// the glyphs land on at that scale.
TEST_F(WindowOnDummy, ChangedTextsAtSmallScalesShowWhatAFullRedrawDraws) {
    window_->setBackgroundColor(UIColor::grey255(30));
    std::vector<std::shared_ptr<UILabel>> prices;
    for (int i = 0; i < 6; ++i) {
        auto price = std::make_shared<UILabel>(CGRectMake(7.3 + i % 2 * 150, 40 + i * 61.7, 140, 40));
        price->setFont(UIFont::systemFontOfSize(i % 3 == 0 ? 28 : 17));
        price->setTextColor(UIColor::rgb255(255, 60, 60));
        price->setTextAlignment(i % 2 ? NSTextAlignment::Right : NSTextAlignment::Left);
        price->setText("1.0834" + std::to_string(i));
        window_->addSubview(price);
        prices.push_back(price);
    }
    const std::vector<std::string> texts = {"1.1", "11.08349", "7", "", "1.08350", "0.99999"};
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{{80, 142}, {131, 233}, {400, 603}}) {
        desktop_->setWindowSize(w, h);
        const CGFloat k = desktop_->scale();
        ASSERT_TRUE(desktop_->drawFrameIfNeeded());
        for (size_t step = 0; step < texts.size(); ++step) {
            prices[step]->setText(texts[step]);
            prices[(step + 3) % prices.size()]->setText(texts[(step + 2) % texts.size()]);
            ASSERT_TRUE(desktop_->drawFrameIfNeeded());
            ASSERT_EQ(pixelsDiffering(desktop_->shownImage(true), UIScreenRenderer::renderScreen(k),
                                      desktop_->shownArea()),
                      0)
                << w << "x" << h << " step " << step;
        }
    }
}

TEST_F(WindowOnDummy, TabShiftTabAndEscapeMoveBetweenFieldsAndTypingFollows) {
    auto account = field(CGRectMake(20, 100, 280, 40));
    auto password = field(CGRectMake(20, 160, 280, 40));
    auto other = field(CGRectMake(20, 220, 280, 40));
    other->setEnabled(false);
    account->becomeFirstResponder();
    type("1001");
    key(SDLK_TAB);
    EXPECT_TRUE(password->isEditing());
    type("123456");
    EXPECT_EQ(account->text(), "1001");
    EXPECT_EQ(password->text(), "123456");
    // The disabled field is passed over: nowhere further to go.
    key(SDLK_TAB);
    EXPECT_TRUE(password->isEditing());
    key(SDLK_TAB, KMOD_LSHIFT);
    EXPECT_TRUE(account->isEditing());
    type("9");
    EXPECT_EQ(account->text(), "10019");
    key(SDLK_ESCAPE);
    EXPECT_FALSE(account->isEditing());
    EXPECT_EQ(UIResponder::currentFirstResponder(), nullptr);
    type("x");
    EXPECT_EQ(account->text(), "10019");
}

// A field out of sight takes no Tab: a form slid off the screen to uncover
// a list under it (typing went into the form unseen, and the screen moved to
// show the field), or a row scrolled out of a clipping panel.
TEST_F(WindowOnDummy, TabPassesOverFieldsThatDoNotShow) {
    auto search = field(CGRectMake(8, 160, 250, 28));
    auto list = std::make_shared<UIView>(CGRectMake(0, 300, 320, 100));
    list->setClipsToBounds(true);
    window_->addSubview(list);
    auto scrolledAway = std::make_shared<UITextField>(CGRectMake(20, 120, 280, 40));
    list->addSubview(scrolledAway);
    auto below = field(CGRectMake(20, 480, 280, 40));
    auto form = std::make_shared<UIView>(CGRectMake(0, 568, 320, 417));
    window_->addSubview(form);
    auto account = std::make_shared<UITextField>(CGRectMake(20, 105, 280, 40));
    form->addSubview(account);

    below->becomeFirstResponder();
    key(SDLK_TAB);
    EXPECT_TRUE(below->isEditing());
    type("K");
    key(SDLK_TAB, KMOD_LSHIFT);
    EXPECT_TRUE(search->isEditing());
    key(SDLK_TAB);
    EXPECT_TRUE(below->isEditing());
    EXPECT_EQ(below->text(), "K");
    EXPECT_EQ(scrolledAway->text(), "");
    EXPECT_EQ(account->text(), "");
}

TEST_F(WindowOnDummy, APadFieldTakesOnlyWhatItsPadCouldType) {
    auto quantity = field(CGRectMake(20, 100, 280, 40));
    quantity->keyboardType = UIKeyboardType::NumberPad;
    auto price = field(CGRectMake(20, 160, 280, 40));
    price->keyboardType = UIKeyboardType::DecimalPad;
    auto name = field(CGRectMake(20, 220, 280, 40));
    quantity->becomeFirstResponder();
    for (const char* t : {"a", "b", "c", "1", "2", ".", "-", " "})
        type(t);
    EXPECT_EQ(quantity->text(), "12");
    key(SDLK_TAB);
    ASSERT_TRUE(price->isEditing());
    for (const char* t : {"x", "1", ".", "5", "e"})
        type(t);
    EXPECT_EQ(price->text(), "1.5");
    key(SDLK_TAB);
    ASSERT_TRUE(name->isEditing());
    type("Ab.1");
    EXPECT_EQ(name->text(), "Ab.1");
}

TEST_F(WindowOnDummy, KeysPressedWhileAnAlertIsUpLeaveTheFieldBehindItAlone) {
    auto account = field(CGRectMake(20, 100, 280, 40));
    auto password = field(CGRectMake(20, 160, 280, 40));
    int returns = 0;
    account->addTarget([&](UIControl*, UIEvent*) { ++returns; },
                       UIControlEventEditingDidEndOnExit);
    account->becomeFirstResponder();
    type("1001");
    // An alert of its own window over the form, as the application's alerts
    // come: on the phone it covers the keyboard.
    auto alert = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    alert->setWindowLevel(UIWindowLevelAlert);
    alert->makeKeyAndVisible();
    type("x");
    key(SDLK_BACKSPACE);
    key(SDLK_RETURN);
    key(SDLK_TAB);
    key(SDLK_ESCAPE);
    EXPECT_EQ(account->text(), "1001");
    EXPECT_EQ(returns, 0);
    EXPECT_TRUE(account->isEditing());
    // Gone, the form takes the keys again.
    alert->setHidden(true);
    window_->makeKeyAndVisible();
    type("2");
    key(SDLK_RETURN);
    EXPECT_EQ(account->text(), "10012");
    EXPECT_EQ(returns, 1);
    key(SDLK_TAB);
    EXPECT_TRUE(password->isEditing());
}

TEST_F(WindowOnDummy, AWindowGoneUnderAHeldButtonTakesNoMoreOfItsTouch) {
    auto button = UIButton::buttonWithType(UIButtonType::Custom);
    button->setFrame(CGRectMake(20, 80, 280, 80));
    int taps = 0;
    button->addTarget([&](UIControl*, UIEvent*) { ++taps; }, UIControlEventTouchUpInside);
    window_->addSubview(button);
    // An alert's window over the form; the button is pressed on it and the
    // alert closes (its fade ends) before the button comes up.
    auto alert = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    alert->setWindowLevel(UIWindowLevelAlert);
    alert->makeKeyAndVisible();
    SDL_Event press{};
    press.type = SDL_MOUSEBUTTONDOWN;
    press.button.button = SDL_BUTTON_LEFT;
    press.button.x = 100;
    press.button.y = 100;
    send(press);
    EXPECT_EQ(TouchInput::activeTouchCount(), 1u);
    alert->setHidden(true);
    alert.reset();
    window_->makeKeyAndVisible();
    SDL_Event drag{};
    drag.type = SDL_MOUSEMOTION;
    drag.motion.state = SDL_BUTTON_LMASK;
    drag.motion.x = 120;
    drag.motion.y = 110;
    send(drag);
    press.type = SDL_MOUSEBUTTONUP;
    press.button.x = 120;
    press.button.y = 110;
    send(press);
    // The finger lifted where it went down: on no window, over the button.
    EXPECT_EQ(TouchInput::activeTouchCount(), 0u);
    EXPECT_EQ(taps, 0);
    click(150, 120);
    EXPECT_EQ(taps, 1);
}

// Takes the key window's shakes first.
class ShakeCounter : public UIView {
  public:
    using UIView::UIView;
    bool canBecomeFirstResponder() const override { return true; }
    void motionBegan(UIEventSubtype, UIEvent*) override { ++shakes; }
    int shakes = 0;
};

TEST_F(WindowOnDummy, AHeldF1OrF2ShakesOrTurnsOnceNotAtTheKeysRepeat) {
    auto counter = std::make_shared<ShakeCounter>(CGRectMake(0, 0, 10, 10));
    window_->addSubview(counter);
    ASSERT_TRUE(counter->becomeFirstResponder());
    const auto held = [&](SDL_Keycode sym) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.keysym.sym = sym;
        send(e);
        // The desktop's key repeat while it stays down.
        e.key.repeat = 1;
        for (int i = 0; i < 3; ++i)
            send(e);
    };
    held(SDLK_F1);
    EXPECT_EQ(counter->shakes, 1);
    auto& device = UIDevice::currentDevice();
    ASSERT_EQ(device.orientation(), UIDeviceOrientation::Portrait);
    held(SDLK_F2);
    EXPECT_TRUE(UIDeviceOrientationIsLandscape(device.orientation()));
    held(SDLK_F2);
    EXPECT_EQ(device.orientation(), UIDeviceOrientation::Portrait);
    device.setOrientation(UIDeviceOrientation::Portrait);
    counter->resignFirstResponder();
}

// Counts what its fingers do.
class TouchCounter : public UIView {
  public:
    using UIView::UIView;
    void touchesBegan(const UITouchSet&, UIEvent*) override { ++began; }
    void touchesMoved(const UITouchSet&, UIEvent*) override { ++moved; }
    void touchesEnded(const UITouchSet&, UIEvent*) override { ++ended; }
    void touchesCancelled(const UITouchSet&, UIEvent*) override { ++cancelled; }
    int began = 0, moved = 0, ended = 0, cancelled = 0;
};

TEST_F(WindowOnDummy, AWindowMinimisedHiddenOrLosingTheFocusWithTheButtonHeldCallsTheFingerOff) {
    auto list = std::make_shared<TouchCounter>(CGRectMake(0, 60, 320, 400));
    window_->addSubview(list);
    // Focus taken by another window while the button is held (a switch of
    // windows by the keyboard, whose switcher holds the pointer): the
    // release goes there too.
    for (const Uint8 gone :
         {SDL_WINDOWEVENT_MINIMIZED, SDL_WINDOWEVENT_HIDDEN, SDL_WINDOWEVENT_FOCUS_LOST}) {
        list->began = list->moved = list->ended = list->cancelled = 0;
        SDL_Event press{};
        press.type = SDL_MOUSEBUTTONDOWN;
        press.button.button = SDL_BUTTON_LEFT;
        press.button.x = 100;
        press.button.y = 200;
        send(press);
        ASSERT_EQ(list->began, 1);
        // Minimised (or moved to another workspace) while the button is
        // held: the release goes elsewhere and never comes.
        SDL_Event window{};
        window.type = SDL_WINDOWEVENT;
        window.window.event = gone;
        send(window);
        EXPECT_EQ(list->cancelled, 1) << int(gone);
        EXPECT_EQ(TouchInput::activeTouchCount(), 0u) << int(gone);
        // Back, the pointer moves over the window with no button held (the
        // desktop still counts the button down), then clicks: the press is
        // not reported, only its release.
        SDL_Event hover{};
        hover.type = SDL_MOUSEMOTION;
        hover.motion.state = SDL_BUTTON_LMASK;
        hover.motion.x = 100;
        hover.motion.y = 300;
        send(hover);
        press.type = SDL_MOUSEBUTTONUP;
        press.button.y = 300;
        send(press);
        EXPECT_EQ(list->moved, 0) << int(gone);
        EXPECT_EQ(list->ended, 0) << int(gone);
        // The clicks after it are the list's again.
        click(100, 250);
        EXPECT_EQ(list->began, 2) << int(gone);
        EXPECT_EQ(list->ended, 1) << int(gone);
    }
}

// A file or a text dragged onto the window from the desktop comes as a name
// or text that SDL made for the receiver to free: nothing takes a drop, and
// each one was kept for good (a leak the sanitizers report at the end).
TEST_F(WindowOnDummy, AFileOrTextDroppedOnTheWindowIsLetGo) {
    const int before = SDL_GetNumAllocations();
    for (const Uint32 type : {SDL_DROPBEGIN, SDL_DROPFILE, SDL_DROPTEXT, SDL_DROPCOMPLETE}) {
        SDL_Event drop{};
        drop.type = type;
        if (type == SDL_DROPFILE) drop.drop.file = SDL_strdup("/home/user/quotes.csv");
        if (type == SDL_DROPTEXT) drop.drop.file = SDL_strdup("EURUSD 1.08");
        send(drop);
    }
    EXPECT_EQ(SDL_GetNumAllocations(), before);
}

TEST_F(WindowOnDummy, OnlyAnAnimationOnScreenPacesFrames) {
    EXPECT_LT(desktop_->waitLimit(-1), 0);
    EXPECT_EQ(desktop_->waitLimit(5), 5);
    auto spinner = std::make_shared<UIActivityIndicatorView>();
    window_->addSubview(spinner);
    spinner->startAnimating();
    EXPECT_NEAR(desktop_->waitLimit(-1), 1.0 / 60, 1e-9);
    // Taken off the screen while it still turns: nothing to draw, no frames.
    spinner->removeFromSuperview();
    EXPECT_TRUE(spinner->isAnimating());
    EXPECT_LT(desktop_->waitLimit(-1), 0);
    // In a hidden view it asks for no frames either.
    auto box = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    window_->addSubview(box);
    box->addSubview(spinner);
    EXPECT_NEAR(desktop_->waitLimit(-1), 1.0 / 60, 1e-9);
    box->setHidden(true);
    EXPECT_LT(desktop_->waitLimit(-1), 0);
    box->setHidden(false);
    spinner->stopAnimating();
    EXPECT_LT(desktop_->waitLimit(-1), 0);
}

// The run loop may let the idle wait sleep longer than an int of
// milliseconds holds (24.8 days: the next timer is an endless animation's
// end, a spinner's a billion seconds away). The wait sleeps until a task
// comes, which wakes it as any other.
TEST_F(WindowOnDummy, AWaitLongerThanAnIntOfMillisecondsSleepsUntilATaskComes) {
    platform::RunLoop& loop = platform::RunLoop::main();
    desktop_->drawFrameIfNeeded();
    std::atomic<bool> ran{false};
    const unsigned long wakes = desktop_->wakeUps();
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        loop.post([&ran] { ran = true; });
    });
    // On the virtual clock the loop may sleep as long as it is allowed to.
    EXPECT_TRUE(loop.runUntil([&] { return ran.load(); }, 30 * 86400.0));
    poster.join();
    EXPECT_LE(desktop_->wakeUps() - wakes, 5u);
}

// The keep-awake setting reaches the platform as the idle-timer switch:
// switched off, the desktop may blank and lock its screen again (SDL keeps
// the screen saver away from its start), and on again it may not.
TEST_F(WindowOnDummy, TheScreenSaverFollowsTheIdleTimerSwitch) {
    auto& app = UIApplication::sharedApplication();
    platform::RunLoop& loop = platform::RunLoop::main();
    // A turn of the run loop that sleeps in the window's wait.
    const auto turn = [&] { loop.runUntil([] { return false; }, 0.002); };
    app.setIdleTimerDisabled(true);
    turn();
    EXPECT_FALSE(SDL_IsScreenSaverEnabled());
    app.setIdleTimerDisabled(false);
    turn();
    EXPECT_TRUE(SDL_IsScreenSaverEnabled());
    app.setIdleTimerDisabled(true);
    turn();
    EXPECT_FALSE(SDL_IsScreenSaverEnabled());
    app.setIdleTimerDisabled(false);
}

TEST_F(WindowOnDummy, OpenURLHandsWebMailAndTelephoneAddressesToTheDesktopsOpener) {
    kavtest::TempDir dir;
    const auto seen = dir / "opened";
    {
        std::ofstream opener(dir / "xdg-open");
        opener << "#!/bin/sh\necho \"$1\" >> '" << seen.string() << "'\n";
    }
    std::filesystem::permissions(dir / "xdg-open", std::filesystem::perms::owner_all);
    kavtest::ScopedEnv path("PATH", dir.path().c_str());
    auto& app = UIApplication::sharedApplication();
    for (const char* url : {"https://example.com/a?b=1", "mailto:desk@example.com", "tel:12345",
                            "file:///etc/passwd", "https"})
        EXPECT_TRUE(app.openURL(url));
    const std::string expected = "https://example.com/a?b=1\nmailto:desk@example.com\ntel:12345\n";
    std::string got;
    // The opener runs on its own: its output is awaited (bounded).
    for (int i = 0; i < 100 && got.size() < expected.size(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream in(seen);
        got.assign(std::istreambuf_iterator<char>(in), {});
    }
    // Each address by its own run; the order of three parallel runs is free.
    for (const char* url : {"https://example.com/a?b=1\n", "mailto:desk@example.com\n", "tel:12345\n"})
        EXPECT_NE(got.find(url), std::string::npos) << got;
    EXPECT_EQ(got.find("file:"), std::string::npos) << got;
    EXPECT_EQ(got.find("https\n"), std::string::npos) << got;
    EXPECT_EQ(got.size(), expected.size()) << got;
}

TEST(LayerShadow, IsBlurredOnceAndKeptUntilItsShapeRadiusOrScaleChanges) {
    auto layer = std::make_shared<CALayer>();
    layer->setBounds(CGRectMake(0, 0, 200, 300));
    layer->setPosition({150, 200});
    layer->setBackgroundColor(UIColor::whiteColor());
    layer->setShadowColor(UIColor::blackColor());
    layer->setShadowOpacity(0.8);
    layer->setShadowRadius(10);
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 600, 800);
    const auto draw = [&](double scale, double dx = 0) {
        cairo_t* cr = cairo_create(s);
        cairo_scale(cr, scale, scale);
        cairo_translate(cr, dx, 0);
        layer->render(cr);
        cairo_destroy(cr);
    };
    const size_t before = shadowBlursMade();
    draw(2);
    EXPECT_EQ(shadowBlursMade(), before + 1);
    draw(2);
    draw(2, 3);  // moved by whole pixels
    layer->setShadowOpacity(0.5);
    layer->setShadowColor(UIColor::redColor());
    draw(2);
    EXPECT_EQ(shadowBlursMade(), before + 1);
    draw(1.5);
    EXPECT_EQ(shadowBlursMade(), before + 2);
    layer->setShadowRadius(4);
    draw(1.5);
    EXPECT_EQ(shadowBlursMade(), before + 3);
    layer->setBounds(CGRectMake(0, 0, 200, 310));
    draw(1.5);
    EXPECT_EQ(shadowBlursMade(), before + 4);
    layer->setShadowPath(CGPathCreateWithRect(CGRectMake(0, 0, 100, 100)));
    draw(1.5);
    draw(1.5);
    EXPECT_EQ(shadowBlursMade(), before + 5);
    cairo_surface_destroy(s);
}

}  // namespace
