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

#include "platform/ui/NavigationBar.h"
#include "platform/ui/ScreenRenderer.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/XScreen.h"
#include "ui/trade/QuotationCell.h"

using namespace kavtest;
using namespace platform::ui;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kWindowScale = 2;

// The program of that name on $PATH, or nothing.
std::optional<std::string> onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0)
            return dir + "/" + program;
    return std::nullopt;
}

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
    void startX() {
        auto xvfb = onPath("Xvfb");
        ASSERT_TRUE(xvfb) << "Xvfb is missing: run scripts/install-deps.sh";
        ASSERT_TRUE(xdotool_ = onPath("xdotool"))
            << "xdotool is missing: run scripts/install-deps.sh";
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        fcntl(fds[1], F_SETFD, FD_CLOEXEC);
        xvfb_ = std::make_unique<Child>(
            std::vector<std::string>{*xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                     "800x1200x24", "-nolisten", "tcp"},
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

    void startApplication() {
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
        auto frame = x_->frameOf(std::strtoul(found.c_str(), nullptr, 10));
        ASSERT_TRUE(frame);
        frame_ = *frame;
        ASSERT_EQ(frame_.width, 320 * kWindowScale);
        ASSERT_EQ(frame_.height, 568 * kWindowScale);
    }

    // xdotool on the test's display; its output.
    std::string xdo(const std::string& arguments) {
        return capture("DISPLAY=" + display_ + " " + *xdotool_ + " " + arguments + " 2>/dev/null");
    }
    // A click of the left button at a point of the window (in points).
    void click(CGPoint point) {
        const int x = frame_.x + static_cast<int>(point.x * kWindowScale);
        const int y = frame_.y + static_cast<int>(point.y * kWindowScale);
        xdo("mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 1");
    }
    void typeKeys(const std::string& text) { xdo("type --delay 60 '" + text + "'"); }

    // The window's pixels as the X server shows them.
    UIImagePtr screenshot(const std::string& name = "") {
        auto shot = x_->capture(frame_, kWindowScale);
        if (!name.empty()) kavtest::writeScreenshot(shot, name);
        return shot;
    }

    // Pixels of a rectangle (points) near a colour (0..255).
    static int pixelsNear(const UIImagePtr& shot, CGRect rect, int r, int g, int b) {
        int count = 0;
        for (int y = static_cast<int>(rect.origin.y * kWindowScale);
             y < static_cast<int>(CGRectGetMaxY(rect) * kWindowScale); ++y)
            for (int x = static_cast<int>(rect.origin.x * kWindowScale);
                 x < static_cast<int>(CGRectGetMaxX(rect) * kWindowScale); ++x) {
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
    static bool showsBoardRows(const UIImagePtr& shot, size_t n) {
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
    Place account_, password_, done_, login_;
};

TEST_F(DesktopTest, LogsInWithMouseAndKeysAndShowsTheBoardsRows) {
    measureLoginForm();
    startX();
    startApplication();

    // The login button at its place with the keyboard away.
    const auto formAtRest = [&] {
        auto shot = screenshot();
        return shot &&
               pixelsNear(shot, CGRectMake(login_.center.x - 100, login_.center.y - 10, 200, 20),
                          39, 140, 192) > 1000;
    };
    // The login form shows once the built-in dealer has been looked up.
    ASSERT_TRUE(pollUntil(formAtRest, 60)) << tail(data.path() / "kav-trader.log");
    // Each click waits until the window has answered it (the caret, the
    // keyboard, the form's move) and then stands still: on a loaded machine
    // the answer may start late, and pictures alike before it prove nothing.
    const auto picture = [&] { return UIImagePNGRepresentation(screenshot()); };
    const auto settle = [&] {
        // Still means alike over half a second, longer than the keyboard's move.
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
    };
    const auto clickAndSettle = [&](const Place& place) {
        const std::string before = picture();
        click(place.center);
        pollUntil([&] { return picture() != before; }, 15);
        settle();
    };
    clickAndSettle(account_);
    typeKeys("1001");
    settle();
    clickAndSettle(password_);
    typeKeys("123456");
    settle();
    screenshot("desktop-login-typed");
    clickAndSettle(done_);
    ASSERT_TRUE(pollUntil(formAtRest, 15)) << "the keyboard stays up after Done";
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

}  // namespace
