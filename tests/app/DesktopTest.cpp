// The application in its desktop window under a real X server (Xvfb),
// against the simulated dealer: the test logs in with the mouse and the
// keyboard (xdotool), waits for the quotation board, and reads the board's
// rows back from screenshots of the X display.
//
// This runs a separate program on a real display, so it waits on real time,
// by polling with deadlines; each deadline is generous for a slow machine,
// and each wait ends as soon as the screen shows what it waits for.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/Files.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/ScreenRenderer.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/XScreen.h"
#include "ui/trade/QuotationCell.h"

using namespace kavtest;
using namespace platform::ui;
using Clock = std::chrono::steady_clock;

namespace {


// A child process with its own environment additions, ended (SIGTERM, then
// SIGKILL) when the object goes.
class Child {
  public:
    // `env` adds to (or replaces in) this process's environment; `keepFd`
    // stays open in the child under its own number. Everything the child
    // needs is prepared before the fork: the test process has threads.
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env,
          const std::filesystem::path& log, int keepFd = -1) {
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            const std::string name = entry.substr(0, entry.find('='));
            const bool replaced = std::any_of(env.begin(), env.end(), [&](const std::string& v) {
                return v.compare(0, name.size() + 1, name + "=") == 0;
            });
            if (!replaced) environment.push_back(entry);
        }
        environment.insert(environment.end(), env.begin(), env.end());
        std::vector<char*> args, envp;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (const auto& e : environment)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        pid_ = fork();
        if (pid_ == 0) {
            if (out >= 0) {
                dup2(out, 1);
                dup2(out, 2);
            }
            if (keepFd >= 0) fcntl(keepFd, F_SETFD, 0);
            execve(args[0], args.data(), envp.data());
            _exit(127);
        }
        if (out >= 0) close(out);
    }
    ~Child() { stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    bool running() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == 0) return true;
        pid_ = -1;
        return false;
    }
    // Ends it as a user closing it would; its exit status (-1 when it had to
    // be killed or was already gone).
    int stop(double graceSeconds = 20) {
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        const auto deadline = Clock::now() + std::chrono::duration<double>(graceSeconds);
        int status = 0;
        while (Clock::now() < deadline) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
    }

  private:
    pid_t pid_ = -1;
};

// Polls until the predicate holds or the seconds have passed.
bool pollUntil(const std::function<bool()>& predicate, double seconds) {
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
        if (predicate()) return true;
        if (Clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The last lines of a log, for a failure message.
std::string tail(const std::filesystem::path& path, size_t lines = 25) {
    const std::string text = readFile(path);
    size_t at = text.size();
    for (size_t n = 0; n <= lines && at != std::string::npos && at > 0; ++n)
        at = text.rfind('\n', at - 1);
    return text.substr(at == std::string::npos ? 0 : at);
}

// A command's standard output; empty when it failed.
std::string capture(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {};
    std::string out;
    char buffer[512];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    return pclose(pipe) == 0 ? out : std::string();
}

// Where a view of the headless application lies, in points.
struct Place {
    CGPoint center{};
    bool found = false;
};

// The text field of an input row (the row itself when it is one).
UIView* fieldIn(UIView* row) {
    if (!row || dynamic_cast<UITextField*>(row)) return row;
    UIView* field = nullptr;
    UIDriver::forEachView(row, [&](UIView* v) {
        if (!field && dynamic_cast<UITextField*>(v)) field = v;
    });
    return field;
}

class DesktopTest : public AppTest {
  protected:
    void TearDown() override {
        app_.reset();
        x_.reset();
        xvfb_.reset();
        AppTest::TearDown();
    }

    // Starts an X server on a display number it picks itself.
    void startX(const std::string& screen = "800x1200x24") {
        auto xvfb = platform::files::programOnPath("Xvfb");
        ASSERT_TRUE(xvfb) << "Xvfb is missing: run scripts/install-deps.sh";
        ASSERT_TRUE(xdotool_ = platform::files::programOnPath("xdotool"))
            << "xdotool is missing: run scripts/install-deps.sh";
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        fcntl(fds[1], F_SETFD, FD_CLOEXEC);
        xvfb_ = std::make_unique<Child>(
            std::vector<std::string>{*xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                     screen, "-nolisten", "tcp"},
            std::vector<std::string>{}, data.path() / "xvfb.log", fds[1]);
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        ASSERT_FALSE(number.empty()) << tail(data.path() / "xvfb.log");
        display_ = ":" + number;
        x_ = XScreen::open(display_);
        ASSERT_TRUE(x_) << display_;
    }

    // Where the login screen puts its account and password fields, the
    // keyboard bar's Done and its login button, each at the moment a user
    // reaches for it: the form moves with the keyboard (0.2 s) as a field is
    // tapped, and back when Done puts the keyboard away. The same screen,
    // laid out headless in this process, walked through the same way.
    void measureLoginForm() {
        launchToLogin();
        auto measure = [&](UIView* view, Place& place) {
            UIScreenRenderer::layoutWindows();
            ASSERT_TRUE(view) << UIDriver::dumpViewTree();
            place.center = UIDriver::screenCenterOf(view);
            place.found = true;
        };
        auto step = [&](UIView* view) {
            UIDriver::tap(view);
            time.advance(0.3);
        };
        UIScreenRenderer::layoutWindows();
        UIView* account = fieldIn(UIDriver::viewWithTag(LoginViewController::kTagAccount));
        measure(account, account_);
        step(account);
        UIView* password = fieldIn(UIDriver::viewWithTag(LoginViewController::kTagPassword));
        measure(password, password_);
        step(password);
        UIView* done = UIDriver::viewWithText("Done");
        measure(done, done_);
        step(done);
        measure(UIDriver::viewWithTag(LoginViewController::kTagLogin), login_);
    }

    // Starts the window and waits for it; it opens at `scale` pixels a point.
    void startApplication(double scale = 2) {
        // The X and rendering libraries under the window keep a few blocks
        // to the end that the leak checker cannot trace (their frames carry
        // no frame pointers); the program's own leaks are checked by every
        // in-process test. Other sanitizer checks stay on.
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::string asanOptions = std::string("ASAN_OPTIONS=") +
                                        (asan && *asan ? std::string(asan) + ":" : "") +
                                        "detect_leaks=0";
        app_ = std::make_unique<Child>(
            std::vector<std::string>{(binDir() / "kav-trader").string(), "--window"},
            std::vector<std::string>{"DISPLAY=" + display_, "SDL_VIDEODRIVER=x11",
                                     "SDL_AUDIODRIVER=dummy", asanOptions,
                                     "KAV_DEALER_SERVICE=" + sim.dealerUrl(),
                                     "KAV_DATA_DIR=" + (data.path() / "window-data").string()},
            data.path() / "kav-trader.log");
        std::string found;
        ASSERT_TRUE(pollUntil(
            [&] {
                found = xdo("search --name '^KAV Trader$'");
                return !found.empty() || !app_->running();
            },
            60))
            << tail(data.path() / "kav-trader.log");
        ASSERT_FALSE(found.empty()) << tail(data.path() / "kav-trader.log");
        windowId_ = std::strtoul(found.c_str(), nullptr, 10);
        auto frame = x_->frameOf(windowId_);
        ASSERT_TRUE(frame);
        frame_ = *frame;
        scale_ = scale;
        ASSERT_EQ(frame_.width, 320 * scale_);
        ASSERT_EQ(frame_.height, 568 * scale_);
    }


    // The login button at its place with the keyboard away.
    bool formAtRest() {
        auto shot = screenshot();
        return shot &&
               pixelsNear(shot, CGRectMake(login_.center.x - 100, login_.center.y - 10, 200, 20),
                          39, 140, 192) > 1000;
    }
    std::string picture() { return UIImagePNGRepresentation(screenshot()); }
    // Waits until the window stands still: alike over half a second, longer
    // than the keyboard's move.
    void settle() {
        std::string last;
        int alike = 0;
        pollUntil(
            [&] {
                const std::string now = picture();
                alike = !now.empty() && now == last ? alike + 1 : 0;
                last = now;
                return alike >= 5;
            },
            15);
    }
    // Each click waits until the window has answered it (the caret, the
    // keyboard, the form's move) and then stands still: on a loaded machine
    // the answer may start late, and pictures alike before it prove nothing.
    void clickAndSettle(CGPoint point) {
        const std::string before = picture();
        click(point);
        pollUntil([&] { return picture() != before; }, 15);
        settle();
    }
    void clickAndSettle(const Place& place) { clickAndSettle(place.center); }
    // A key (xdotool's name for it), and the window's answer.
    void press(const std::string& key) {
        xdo("key " + key);
        settle();
    }

    // Times the window's main thread has gone to sleep and woken since it
    // started: every wait in the run loop's idle wait ends in one.
    long mainThreadWakeUps() {
        const std::string status = readFile("/proc/" + std::to_string(app_->pid()) + "/task/" +
                                            std::to_string(app_->pid()) + "/status");
        const std::string name = "\nvoluntary_ctxt_switches:";
        const size_t at = status.find(name);
        if (at == std::string::npos) return -1;
        return std::strtol(status.c_str() + at + name.size(), nullptr, 10);
    }
    // Wake-ups a second of the idle window over a few seconds of real time.
    double idleWakeUpsASecond(double seconds = 3) {
        const long before = mainThreadWakeUps();
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const long after = mainThreadWakeUps();
        const double span = std::chrono::duration<double>(Clock::now() - start).count();
        if (before < 0 || after < 0) return -1;
        return static_cast<double>(after - before) / span;
    }

    // xdotool on the test's display; its output.
    std::string xdo(const std::string& arguments) {
        return capture("DISPLAY=" + display_ + " " + *xdotool_ + " " + arguments + " 2>/dev/null");
    }
    // A click of the left button at a point of the window (in points).
    void click(CGPoint point) {
        const int x = frame_.x + static_cast<int>(point.x * scale_);
        const int y = frame_.y + static_cast<int>(point.y * scale_);
        xdo("mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 1");
    }
    void typeKeys(const std::string& text) { xdo("type --delay 60 '" + text + "'"); }

    // The window's pixels as the X server shows them.
    UIImagePtr screenshot(const std::string& name = "") {
        auto shot = x_->capture(frame_, scale_);
        if (!name.empty()) kavtest::writeScreenshot(shot, name);
        return shot;
    }

    // Pixels of a rectangle (points) near a colour (0..255).
    int pixelsNear(const UIImagePtr& shot, CGRect rect, int r, int g, int b) {
        int count = 0;
        for (int y = static_cast<int>(rect.origin.y * scale_);
             y < static_cast<int>(CGRectGetMaxY(rect) * scale_); ++y)
            for (int x = static_cast<int>(rect.origin.x * scale_);
                 x < static_cast<int>(CGRectGetMaxX(rect) * scale_); ++x) {
                const UIColor p = shot->pixelAt(x, y);
                if (std::fabs(p.red * 255 - r) + std::fabs(p.green * 255 - g) +
                        std::fabs(p.blue * 255 - b) <
                    40)
                    ++count;
            }
        return count;
    }

    // Where row i of the board lies on screen, under the bars.
    static CGRect boardRow(size_t i) {
        const double top = kStatusBarHeight + UINavigationBar::kHeight;
        return CGRectMake(0, top + QuotationCell::kRowHeight * static_cast<double>(i), 320,
                          QuotationCell::kRowHeight);
    }
    // The two price columns of a row.
    static CGRect pricesOf(CGRect row) {
        const double third = 320.0 / 3;
        return CGRectMake(third + 33, row.origin.y + 9, 320 - third - 33, 31);
    }
    // Whether the screenshot shows the board's rows: a separator line along
    // the bottom of each of the n rows, white names and grey prices in each,
    // and nothing below the last.
    bool showsBoardRows(const UIImagePtr& shot, size_t n) {
        if (!shot) return false;
        for (size_t i = 0; i < n; ++i) {
            const CGRect row = boardRow(i);
            const CGRect line = CGRectMake(0, CGRectGetMaxY(row) - 0.5, 320, 0.5);
            if (pixelsNear(shot, line, 111, 118, 138) < 500) return false;
            const CGRect name = CGRectMake(15, row.origin.y + 21, 100, 19);
            if (pixelsNear(shot, name, 255, 255, 255) < 40) return false;
        }
        return pixelsNear(shot, CGRectMake(0, CGRectGetMaxY(boardRow(n)) - 0.5, 320, 0.5), 111, 118,
                          138) == 0;
    }

    std::optional<std::string> xdotool_;
    std::unique_ptr<Child> xvfb_;
    std::unique_ptr<Child> app_;
    std::string display_;
    std::unique_ptr<XScreen> x_;
    XWindowFrame frame_;
    unsigned long windowId_ = 0;
    double scale_ = 2;
    Place account_, password_, done_, login_;
};

TEST_F(DesktopTest, LogsInWithMouseAndKeysAndShowsTheBoardsRows) {
    measureLoginForm();
    startX();
    startApplication();

    // The login form shows once the built-in dealer has been looked up.
    ASSERT_TRUE(pollUntil([&] { return formAtRest(); }, 60)) << tail(data.path() / "kav-trader.log");
    clickAndSettle(account_);
    typeKeys("1001");
    settle();
    clickAndSettle(password_);
    typeKeys("123456");
    settle();
    screenshot("desktop-login-typed");
    clickAndSettle(done_);
    ASSERT_TRUE(pollUntil([&] { return formAtRest(); }, 15)) << "the keyboard stays up after Done";
    settle();
    click(login_.center);

    // The board: one row per symbol of the dealer, in the dealer's order.
    const size_t symbols = sim.quotes().size();
    ASSERT_EQ(symbols, 4u);
    UIImagePtr board;
    ASSERT_TRUE(pollUntil(
        [&] {
            board = screenshot();
            return showsBoardRows(board, symbols);
        },
        90))
        << tail(data.path() / "kav-trader.log");
    screenshot("desktop-board");
    const auto logins = sim.packages(SimService::Login, "1003");
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].data("uid"), "1001");
    EXPECT_EQ(logins[0].data("pwd"), "123456");

    // The dealer moves the first symbol up and the second down: their rows,
    // and only theirs, turn red and green.
    sim.setQuote("EURUSD", 1.2);
    sim.setQuote("USDJPY", 140);
    ASSERT_TRUE(pollUntil(
        [&] {
            board = screenshot();
            return board && pixelsNear(board, pricesOf(boardRow(0)), 187, 46, 36) > 300 &&
                   pixelsNear(board, pricesOf(boardRow(1)), 111, 255, 27) > 300;
        },
        30));
    screenshot("desktop-board-moved");
    EXPECT_EQ(pixelsNear(board, pricesOf(boardRow(0)), 111, 255, 27), 0);
    EXPECT_EQ(pixelsNear(board, pricesOf(boardRow(1)), 187, 46, 36), 0);
    for (size_t i : {2u, 3u}) {
        EXPECT_EQ(pixelsNear(board, pricesOf(boardRow(i)), 187, 46, 36), 0) << i;
        EXPECT_EQ(pixelsNear(board, pricesOf(boardRow(i)), 111, 255, 27), 0) << i;
        EXPECT_GT(pixelsNear(board, pricesOf(boardRow(i)), 160, 160, 160), 300) << i;
    }
    EXPECT_TRUE(showsBoardRows(board, symbols));

    // Closed as a user closes it: the program ends cleanly.
    EXPECT_EQ(app_->stop(), 0) << tail(data.path() / "kav-trader.log");
}

TEST_F(DesktopTest, FitsALaptopDisplayKeepsItsLayoutWhenResizedAndAnswersTheKeyboard) {
    measureLoginForm();
    // The way on to the deviation setting's editor, walked headless: the
    // user button of the board's bar, the account centre's settings row, the
    // deviation row, its field.
    logIn();
    Place settingsRow, deviationRow, deviationField;
    const CGPoint userButton{298, 42};
    const auto measure = [&](const std::string& text, Place& place) {
        UIScreenRenderer::layoutWindows();
        UIView* view = UIDriver::viewWithText(text);
        ASSERT_TRUE(view) << text << "\n" << UIDriver::dumpViewTree();
        place.center = UIDriver::screenCenterOf(view);
        place.found = true;
    };
    run("wait 1\ntap-at 298 42\nwait 1\n");
    ASSERT_NO_FATAL_FAILURE(measure("系统设置", settingsRow));
    run("tap 系统设置\nwait 1\n");
    ASSERT_NO_FATAL_FAILURE(measure("默认允许偏离点差", deviationRow));
    run("tap 默认允许偏离点差\nwait 1\n");
    {
        UIScreenRenderer::layoutWindows();
        UITextField* field = nullptr;
        for (auto* f : UIDriver::viewsOfType<UITextField>())
            if (!field && UIDriver::isVisible(f)) field = f;
        ASSERT_TRUE(field) << UIDriver::dumpViewTree();
        EXPECT_EQ(field->keyboardType, UIKeyboardType::NumberPad);
        deviationField.center = UIDriver::screenCenterOf(field);
    }
    const size_t loginsBefore = sim.packages(SimService::Login, "1003").size();

    // A laptop's display: 1136 pixels at scale 2 are more than its 800
    // (less the title bar), so the window opens at scale 1, all on screen.
    startX("1280x800x24");
    startApplication(1);
    EXPECT_GE(frame_.x, 0);
    EXPECT_GE(frame_.y, 0);
    EXPECT_LE(frame_.x + frame_.width, 1280);
    EXPECT_LE(frame_.y + frame_.height, 800);
    ASSERT_TRUE(pollUntil([&] { return formAtRest(); }, 60)) << tail(data.path() / "kav-trader.log");
    screenshot("desktop-laptop-login");
    settle();
    // Idle on the login screen it sleeps: at most a wake-up a second.
    const double loginIdle = idleWakeUpsASecond();
    std::printf("idle login screen: %.2f wake-ups a second\n", loginIdle);
    EXPECT_GE(loginIdle, 0);
    EXPECT_LE(loginIdle, 1.0);

    // Moved up and made a quarter larger by the user: the same layout at
    // scale 1.25, and the clicks land where the fields and buttons are drawn.
    xdo("windowmove " + std::to_string(windowId_) + " 100 40");
    xdo("windowsize " + std::to_string(windowId_) + " 400 710");
    ASSERT_TRUE(pollUntil(
        [&] {
            auto frame = x_->frameOf(windowId_);
            return frame && frame->width == 400 && frame->height == 710 && frame->y == 40;
        },
        15));
    frame_ = *x_->frameOf(windowId_);
    scale_ = 1.25;
    ASSERT_TRUE(pollUntil([&] { return formAtRest(); }, 15)) << "the layout moved on resize";
    settle();
    screenshot("desktop-resized-login");

    // Tab goes from the account to the password, Shift+Tab back; typing
    // follows the field each reached.
    clickAndSettle(account_);
    typeKeys("10");
    press("Tab");
    typeKeys("123456");
    press("shift+Tab");
    typeKeys("01");
    settle();
    screenshot("desktop-tabbed");
    // Escape ends editing: the keyboard goes and the login button is back.
    press("Escape");
    const bool escaped = pollUntil([&] { return formAtRest(); }, 15);
    screenshot("desktop-escaped");
    ASSERT_TRUE(escaped) << "Escape left the keyboard up";
    settle();
    click(login_.center);
    ASSERT_TRUE(pollUntil(
        [&] { return sim.packages(SimService::Login, "1003").size() > loginsBefore; }, 60))
        << tail(data.path() / "kav-trader.log");
    const auto login = sim.packages(SimService::Login, "1003").back();
    EXPECT_EQ(login.data("uid"), "1001");
    EXPECT_EQ(login.data("pwd"), "123456");

    // The board, its names drawn; with no quote moving the window sleeps.
    ASSERT_TRUE(pollUntil(
        [&] {
            auto shot = screenshot();
            return shot && pixelsNear(shot, CGRectMake(15, boardRow(0).origin.y + 21, 100, 19),
                                      255, 255, 255) > 20;
        },
        60))
        << tail(data.path() / "kav-trader.log");
    settle();
    const double boardIdle = idleWakeUpsASecond();
    std::printf("idle board: %.2f wake-ups a second\n", boardIdle);
    EXPECT_GE(boardIdle, 0);
    EXPECT_LE(boardIdle, 1.0);

    // The deviation setting's number pad: letters typed are ignored, the
    // digits land.
    clickAndSettle(userButton);
    clickAndSettle(settingsRow);
    clickAndSettle(deviationRow);
    clickAndSettle(deviationField);
    press("BackSpace");
    typeKeys("a1b2c");
    settle();
    screenshot("desktop-deviation-typed");
    press("Escape");
    EXPECT_EQ(app_->stop(), 0) << tail(data.path() / "kav-trader.log");
    const std::string defaults =
        readFile(data.path() / "window-data" / "Preferences" / "defaults.json");
    EXPECT_NE(defaults.find(R"("key_2007": "12")"), std::string::npos) << defaults;
}

}  // namespace
