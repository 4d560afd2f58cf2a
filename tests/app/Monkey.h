#pragma once

// A monkey: the whole application, launched with its real delegate against
// the simulated dealer, used by a seeded pseudo-random sequence of a user's
// actions (taps on what shows, odd typing, drags, pinches, long presses,
// turns, shakes, the clock moved on) while the dealer pushes quotes,
// bulletins, new symbol rules, dropped connections and refused requests.
// After each step it checks what a person could always do: close the alert
// on top, outwait the progress overlay; at the end it walks back to a screen
// of the root (the login form, or the drawer's centre with nothing over it)
// with the taps a person would use. Every action goes through the script
// runner, so the screen settles between steps as at a person's pace. A seed
// makes the same choices, but the dealer's answers arrive in real time, so
// two runs of a seed may meet other screens after a while.
//
// The sanitizers stop the program at their first report: with `trace` set
// the monkey writes each action to standard error before it acts, so the
// last line names the action that faulted.

#include <cxxabi.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/LoginViewController.h"
#include "app/MainDrawerViewController.h"
#include "app/ScriptRunner.h"
#include "platform/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/Device.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Responder.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"
#include "tests/support/DealerSim.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVAlertViewStack.h"
#include "ui/toolkit/KAVDrawerController.h"
#include "ui/toolkit/KAVProgressHUD.h"

namespace kavtest {

// Aborts the program when a step has not ended within `limit` seconds of
// real time (a hang: a loop that never returns to the monkey), after writing
// the step that hung.
class MonkeyWatchdog {
  public:
    explicit MonkeyWatchdog(double limit) : limit_(limit), thread_([this] { watch(); }) {}
    ~MonkeyWatchdog() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    void beginStep(const std::string& what) {
        std::lock_guard lock(mutex_);
        step_ = what;
        started_ = std::chrono::steady_clock::now();
        ++steps_;
    }

  private:
    void watch() {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            const uint64_t seen = steps_;
            const auto started = started_;
            wake_.wait_for(lock, std::chrono::seconds(1));
            if (stop_ || seen != steps_ || seen == 0) continue;
            const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - started;
            if (spent.count() > limit_) {
                std::fprintf(stderr, "monkey: step hung for %.0f s: %s\n", spent.count(),
                             step_.c_str());
                std::abort();
            }
        }
    }

    double limit_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    uint64_t steps_ = 0;
    std::string step_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::thread thread_;
};

class Monkey {
  public:
    Monkey(DealerSim& sim, uint64_t seed, bool trace)
        : sim_(sim), random_(seed), seed_(seed), trace_(trace), runner_(out_, {}, nullptr) {}

    // The faults seen so far, one line each (empty: none).
    const std::vector<std::string>& faults() const { return faults_; }
    // The last actions, oldest first.
    std::string history() const {
        std::ostringstream all;
        for (const auto& line : history_)
            all << line << "\n";
        return all.str();
    }

    // Runs `steps` random actions, checking after each.
    void run(int steps, MonkeyWatchdog* watchdog = nullptr) {
        watchdog_ = watchdog;
        for (step_ = 0; step_ < steps && faults_.empty(); ++step_) {
            act();
            if (step_ == dumpAt_) {
                std::fprintf(stderr, "%s", platform::ui::UIDriver::dumpViewTree().c_str());
                const auto png =
                    std::filesystem::temp_directory_path() /
                    ("monkey-" + std::to_string(seed_) + "-" + std::to_string(step_) + ".png");
                platform::ui::UIDriver::renderPNG(png, 1);
                std::fprintf(stderr, "monkey: the screen is in %s\n", png.c_str());
            }
            check();
        }
    }

    // Writes the view tree and a picture of the screen after that step (a
    // run's failure seen again).
    void dumpAfter(int step) { dumpAt_ = step; }

    // Walks back to a root screen as a person would: alerts closed with a
    // button, the keyboard put away, the device upright, the back buttons
    // and the drawer's centre tapped. A fault when it cannot be reached.
    void walkHome() {
        for (int tries = 0; tries < 40; ++tries) {
            script("wait 2");
            if (atHome()) return;
            escapeOnce();
        }
        script("wait 5");
        if (!atHome())
            fault("no way back to a root screen:\n" + platform::ui::UIDriver::dumpViewTree());
    }

  private:
    using UIView = platform::ui::UIView;
    using UIDriver = platform::ui::UIDriver;

    // ---- the dice ----
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    double between(double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(random_);
    }
    bool chance(double p) { return between(0, 1) < p; }
    template <typename T>
    const T& pick(const std::vector<T>& items) {
        return items[static_cast<size_t>(below(static_cast<int>(items.size())))];
    }

    // ---- acting ----
    void note(const std::string& what) {
        std::ostringstream line;
        line << "seed " << seed_ << " step " << step_ << ": " << what;
        history_.push_back(line.str());
        if (watchdog_) watchdog_->beginStep(line.str());
        if (history_.size() > 60) history_.erase(history_.begin());
        if (trace_) {
            std::fprintf(stderr, "%s\n", line.str().c_str());
            std::fflush(stderr);
        }
    }
    // Runs a script line; a refusal (covered, nothing takes the keys) is a
    // person's miss, not a fault.
    void script(const std::string& line) {
        note(line);
        out_.str({});
        runner_.runLine(line);
        if (trace_) {
            std::fprintf(stderr, "  %s  %s\n", out_.str().c_str(), whereAmI().c_str());
            std::fflush(stderr);
        }
    }
    // The front screen, the interface's turn and the key window's frame.
    static std::string whereAmI() {
        auto* window = platform::ui::UIWindow::keyWindow();
        if (!window || !window->rootViewController()) return "no key window";
        platform::ui::UIViewController* top = window->rootViewController().get();
        for (;;) {
            if (top->presentedViewController())
                top = top->presentedViewController();
            else if (auto* drawer = dynamic_cast<KAVDrawerController*>(top);
                     drawer && drawer->centerViewController())
                top = drawer->centerViewController().get();
            else if (auto* stack = dynamic_cast<platform::ui::UINavigationController*>(top);
                     stack && stack->topViewController())
                top = stack->topViewController();
            else
                break;
        }
        int status = 0;
        char* name = abi::__cxa_demangle(typeid(*top).name(), nullptr, nullptr, &status);
        std::ostringstream where;
        const auto f = window->frame();
        where << "[" << (name ? name : typeid(*top).name()) << " turn="
              << static_cast<int>(
                     platform::ui::UIApplication::sharedApplication().statusBarOrientation())
              << " key window " << f.origin.x << "," << f.origin.y << " " << f.size.width << "x"
              << f.size.height << "]";
        std::free(name);
        return where.str();
    }
    static std::string quoted(const std::string& text) {
        std::string out = "\"";
        for (char c : text) {
            if (c == '"') out += "\\\"";
            // Through the line's own escape and then the typing's.
            else if (c == '\\')
                out += "\\\\\\\\";
            else if (c == '\b')
                out += "\\b";
            else if (c == '\n')
                out += "\\n";
            else
                out += c;
        }
        return out + "\"";
    }
    static std::string number(double v) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.1f", v);
        return buffer;
    }

    // The visible views a finger may want: controls, table rows, views with
    // gestures, text fields; front-most window last.
    std::vector<UIView*> touchables() {
        platform::ui::UIScreenRenderer::layoutWindows();
        std::vector<UIView*> out;
        for (auto* window : platform::ui::UIWindow::visibleWindows())
            UIDriver::forEachView(window, [&](UIView* v) {
                if (!UIDriver::isVisible(v) || !v->isUserInteractionEnabled()) return;
                if (dynamic_cast<platform::ui::UIControl*>(v) ||
                    dynamic_cast<platform::ui::UITableViewCell*>(v) ||
                    dynamic_cast<platform::ui::UITextView*>(v) || !v->gestureRecognizers().empty())
                    out.push_back(v);
            });
        return out;
    }
    // A point of the screen as the key window shows it.
    platform::ui::CGPoint randomScreenPoint() {
        auto* window = platform::ui::UIWindow::keyWindow();
        if (!window) return {160, 284};
        const auto b = window->bounds();
        return UIDriver::screenPointOf(window,
                                       {between(b.origin.x + 1, b.origin.x + b.size.width - 1),
                                        between(b.origin.y + 1, b.origin.y + b.size.height - 1)});
    }
    // A point inside the view (a segment, a slider's place, a row's button).
    platform::ui::CGPoint pointIn(const UIView* v) {
        const auto b = v->bounds();
        if (chance(0.5)) return UIDriver::screenCenterOf(v);
        return UIDriver::screenPointOf(v, {b.origin.x + b.size.width * between(0.05, 0.95),
                                           b.origin.y + b.size.height * between(0.05, 0.95)});
    }
    bool onScreen(platform::ui::CGPoint p) { return UIDriver::whyNotReached(p).empty(); }
    std::string at(platform::ui::CGPoint p) { return number(p.x) + " " + number(p.y); }

    void tapSomething() {
        auto views = touchables();
        for (int tries = 0; tries < 6 && !views.empty(); ++tries) {
            // The front-most views are the likelier ones, as a person taps
            // what is on top.
            const size_t index =
                chance(0.3) ? views.size() - 1 -
                                  static_cast<size_t>(
                                      below(static_cast<int>(std::min<size_t>(views.size(), 8))))
                            : static_cast<size_t>(below(static_cast<int>(views.size())));
            auto p = pointIn(views[index]);
            if (!onScreen(p)) continue;
            script("tap-at " + at(p));
            return;
        }
        script("tap-at " + at(randomScreenPoint()));
    }

    std::string oddText() {
        static const std::vector<std::string> samples = {
            "",
            "0",
            "1",
            "-1",
            "--1",
            "1.2.3",
            "..",
            ".",
            "-.",
            "+1",
            "1e308",
            "1e-308",
            "0.000000000001",
            "99999999999999999999999999999999999999999",
            "-0",
            "00012",
            "1,5",
            " 12 ",
            "١٢٣",
            "１２３",
            "NaN",
            "inf",
            "-inf",
            "0x1F",
            "12a",
            "\xE2\x80\x8B",
            "中文密码",
            "é",
            "e\xCC\x81",
            "\xF0\x9F\x98\x80",
            "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7",
            "\xF0\x9F\x87\xA8\xF0\x9F\x87\xB3",
            "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",
            "\"",
            "\\",
            "%s%n%d",
            "' OR 1=1 --",
            "<b>x</b>",
            "\b",
            "\b\b\b\b\b\b\b\b",
            "\n",
            "a\nb",
            "1001",
            "123456"};
        switch (below(5)) {
            case 0:
                return pick(samples);
            case 1: {  // digits with points and minus signs
                std::string s;
                const int n = 1 + below(14);
                for (int i = 0; i < n; ++i)
                    s += "0123456789..--"[below(14)];
                return s;
            }
            case 2: {  // long
                std::string s;
                const int n = 50 + below(chance(0.3) ? 3000 : 300);
                for (int i = 0; i < n; ++i)
                    s += chance(0.1) ? pick(samples)
                                     : std::string(1, static_cast<char>('0' + below(10)));
                return s;
            }
            case 3: {  // deletes and retypes
                std::string s(static_cast<size_t>(1 + below(30)), '\b');
                return s + pick(samples);
            }
            default: {
                std::string s;
                const int n = 1 + below(6);
                for (int i = 0; i < n; ++i)
                    s += pick(samples);
                return s;
            }
        }
    }

    void typeSomething() {
        auto* taker = platform::ui::UIResponder::currentFirstResponder();
        if (!taker || !taker->acceptsTextInput()) {
            // A field first, as a person taps before typing.
            std::vector<UIView*> fields;
            for (auto* v : touchables())
                if (dynamic_cast<platform::ui::UITextField*>(v) ||
                    dynamic_cast<platform::ui::UITextView*>(v))
                    fields.push_back(v);
            if (fields.empty()) return tapSomething();
            auto p = UIDriver::screenCenterOf(pick(fields));
            if (!onScreen(p)) return tapSomething();
            script("tap-at " + at(p));
        }
        script("type " + quoted(oddText()));
        if (chance(0.3)) script(chance(0.5) ? "tap Done" : "type \"\\n\"");
    }

    void dealerEvent() {
        static const std::vector<std::string> symbols = {"EURUSD", "USDJPY", "XAUUSD", "US30"};
        static const std::vector<SimService> services = {SimService::Login, SimService::Trade,
                                                         SimService::Quote, SimService::Message,
                                                         SimService::History};
        static const std::vector<std::string> events = {"*",    "2001", "2002", "2003", "2005",
                                                        "2023", "2027", "3001", "3003", "3005"};
        const auto& symbol = pick(symbols);
        try {
            switch (below(10)) {
                case 0:
                case 1:
                case 2: {
                    const int n = 1 + below(5);
                    note("dealer tick " + std::to_string(n));
                    sim_.tick(n);
                    break;
                }
                case 3: {
                    auto quote = sim_.quotes()[symbol];
                    double price = quote.contains("price") && quote["price"].is_number()
                                       ? quote["price"].get<double>()
                                       : 1.0;
                    price *= chance(0.8) ? between(0.98, 1.02) : between(0.2, 5);
                    note("dealer quote " + symbol + " " + std::to_string(price));
                    sim_.setQuote(symbol, price);
                    break;
                }
                case 4: {
                    note("dealer bulletin");
                    sim_.addBulletin(oddText(), oddText());
                    break;
                }
                case 5: {
                    const auto s = pick(services);
                    note(std::string("dealer closes ") + simServiceName(s));
                    if (chance(0.5))
                        sim_.closeConnections(s);
                    else
                        sim_.resetConnections(s);
                    break;
                }
                case 6: {
                    const auto& event = pick(events);
                    note("dealer fails " + event);
                    sim_.fail(event, pick(std::vector<std::string>{"9999", "3104", "10003", "1"}),
                              oddText(), 1 + below(3));
                    break;
                }
                case 7: {
                    const auto& event = pick(events);
                    note("dealer delays " + event);
                    sim_.delayReply(event, 100 + below(4000), 1 + below(3));
                    break;
                }
                case 8: {
                    note("dealer redefines " + symbol);
                    SimJson changes;
                    changes["minTradeQuantity"] = 1 + below(3);
                    changes["maxTradeQuantity"] = 1 + below(100);
                    changes["maxPointOffset"] = below(50);
                    sim_.redefineSymbol(symbol, changes);
                    break;
                }
                default: {
                    note("dealer invalidates tokens");
                    sim_.invalidateTokens();
                    break;
                }
            }
        } catch (const std::exception& e) {
            // A control call the dealer refused (a symbol rule it will not
            // take): nothing happened at the dealer.
            note(std::string("dealer refused: ") + e.what());
        }
    }

    // At the login form a person mostly logs in again (the demo account),
    // else the monkey would spend most of its steps there once a session
    // ended.
    bool logInAgain() {
        auto* window = platform::ui::UIWindow::keyWindow();
        auto root = window ? window->rootViewController() : nullptr;
        if (!root || root->presentedViewController() || topAlert() || KAVProgressHUD::isVisible())
            return false;
        if (!dynamic_cast<LoginViewController*>(root.get())) return false;
        if (!chance(0.3)) return false;
        std::string erase;
        for (int i = 0; i < 80; ++i)
            erase += "\\b";
        script("tap-tag 7001");
        script("type \"" + erase + "1001\"");
        script("tap-tag 7002");
        script("type \"" + erase + "123456\"");
        script("tap Done");
        script("tap 登录");
        return true;
    }

    void act() {
        if (logInAgain()) return;
        const int roll = below(100);
        if (roll < 40)
            tapSomething();
        else if (roll < 55)
            typeSomething();
        else if (roll < 63) {
            auto a = randomScreenPoint();
            auto b = chance(0.7) ? platform::ui::CGPointMake(a.x, a.y + between(-300, 300))
                                 : randomScreenPoint();
            if (!onScreen(b)) b = a;
            script("drag " + at(a) + " " + at(b) + " " + number(between(0.05, 1)));
        } else if (roll < 65) {
            auto c = randomScreenPoint();
            script("pinch " + at(c) + " " + number(between(10, 150)) + " " +
                   number(between(10, 150)));
        } else if (roll < 68) {
            script("long-press " + at(randomScreenPoint()) + " " + number(between(0.3, 2)));
        } else if (roll < 72) {
            script("rotate " + pick(std::vector<std::string>{"portrait", "left", "right"}));
        } else if (roll < 74) {
            script("shake");
        } else if (roll < 82) {
            const double s = chance(0.8) ? between(0.1, 3) : between(10, 90);
            script("wait " + number(s));
        } else if (roll < 95) {
            dealerEvent();
        } else {
            escapeOnce();
        }
    }

    // ---- what must always hold ----
    void fault(const std::string& what) {
        std::ostringstream line;
        line << "seed " << seed_ << " step " << step_ << ": " << what;
        faults_.push_back(line.str());
    }

    // The top alert, when one shows.
    static KAVAlertView* topAlert() {
        const auto& alerts = KAVAlertViewStack::sharedInstance().alertViews();
        for (auto it = alerts.rbegin(); it != alerts.rend(); ++it)
            if ((*it)->isViewLoaded() && UIDriver::isVisible((*it)->view())) return it->get();
        return nullptr;
    }

    void check() {
        platform::ui::UIScreenRenderer::layoutWindows();
        if (!UIDriver::isSettled()) return;
        // An alert on top can always be closed with one of its buttons.
        if (auto* alert = topAlert()) {
            bool closable = false;
            for (const auto& button : alert->buttons())
                if (UIDriver::isVisible(button.get()) && button->isEnabled() &&
                    UIDriver::whyNotReached(UIDriver::screenCenterOf(button.get()), button.get())
                        .empty())
                    closable = true;
            // Or a tap beside its box, when it takes one: at a corner of
            // the screen.
            if (!closable && alert->tap() && alert->tap()->isEnabled() && alert->backgroundView()) {
                const auto size = platform::ui::UIScreenRenderer::screenSize();
                for (auto corner :
                     {platform::ui::CGPointMake(2, 2), platform::ui::CGPointMake(size.width - 2, 2),
                      platform::ui::CGPointMake(2, size.height - 2),
                      platform::ui::CGPointMake(size.width - 2, size.height - 2)})
                    if (UIDriver::whyNotReached(corner, alert->backgroundView()).empty())
                        closable = true;
            }
            if (!closable) fault("an alert nobody can close:\n" + UIDriver::dumpViewTree());
        }
        // The device upright, the interface upright too (an alert on top
        // keeps it as it stands until it closes).
        if (!topAlert() &&
            platform::ui::UIDevice::currentDevice().orientation() ==
                platform::ui::UIDeviceOrientation::Portrait &&
            platform::ui::UIApplication::sharedApplication().statusBarOrientation() !=
                platform::ui::UIInterfaceOrientation::Portrait)
            fault("the interface stays sideways with the device upright: " + whereAmI());
        // The overlay that holds every touch ends: at the latest with the
        // longest time-out of a request and its alert.
        const double now = platform::RunLoop::main().clock().now();
        if (KAVProgressHUD::isVisible()) {
            if (hudSince_ < 0) hudSince_ = now;
            if (now - hudSince_ > 300)
                fault("the progress overlay has stood for " + number(now - hudSince_) + " s:\n" +
                      UIDriver::dumpViewTree());
        } else {
            hudSince_ = -1;
        }
    }

    // A root screen with nothing over it.
    bool atHome() {
        if (topAlert() || KAVProgressHUD::isVisible()) return false;
        auto* window = platform::ui::UIWindow::keyWindow();
        if (!window) return false;
        auto root = window->rootViewController();
        if (!root || root->presentedViewController()) return false;
        if (auto* drawer = dynamic_cast<KAVDrawerController*>(root.get())) {
            if (drawer->openSide() != DrawerSideNone) return false;
            auto* stack = dynamic_cast<platform::ui::UINavigationController*>(
                drawer->centerViewController().get());
            if (stack && stack->viewControllers().size() > 1) return false;
            if (stack && stack->topViewController() &&
                stack->topViewController()->presentedViewController())
                return false;
        }
        return true;
    }

    // One step a person takes to go back.
    void escapeOnce() {
        if (platform::ui::UIDevice::currentDevice().orientation() !=
            platform::ui::UIDeviceOrientation::Portrait)
            return script("rotate portrait");
        if (auto* alert = topAlert()) {
            if (chance(0.2)) return script("tap-at 2 2");
            if (!alert->buttons().empty()) {
                auto* button = alert
                                   ->buttons()[static_cast<size_t>(
                                       below(static_cast<int>(alert->buttons().size())))]
                                   .get();
                return script("tap-at " + at(UIDriver::screenCenterOf(button)));
            }
        }
        if (KAVProgressHUD::isVisible()) return script("wait 5");
        auto* taker = platform::ui::UIResponder::currentFirstResponder();
        if (taker && taker->acceptsTextInput()) {
            if (UIDriver::viewWithText("Done")) return script("tap Done");
        }
        // The back button: the left item of the front-most navigation bar.
        platform::ui::UIView* back = nullptr;
        for (auto* window : platform::ui::UIWindow::visibleWindows())
            UIDriver::forEachView(window, [&](UIView* v) {
                auto* bar = dynamic_cast<platform::ui::UINavigationBar*>(v);
                if (bar && UIDriver::isVisible(bar) && bar->leftItemView() &&
                    UIDriver::isVisible(bar->leftItemView()))
                    back = bar->leftItemView();
            });
        auto* window = platform::ui::UIWindow::keyWindow();
        auto root = window ? window->rootViewController() : nullptr;
        auto* drawer = dynamic_cast<KAVDrawerController*>(root.get());
        if (drawer && drawer->openSide() != DrawerSideNone && !root->presentedViewController()) {
            // A tap on the centre screen's edge that shows closes the drawer.
            auto* centre =
                drawer->centerViewController() ? drawer->centerViewController()->view() : nullptr;
            if (centre) {
                // Its part that still shows beside the open drawer.
                const auto b = centre->bounds();
                for (int i = 1; i < 20; ++i) {
                    const double x = b.origin.x + b.size.width * (i % 2 ? i : 20 - i) / 20;
                    const auto p =
                        UIDriver::screenPointOf(centre, {x, b.origin.y + b.size.height / 2});
                    if (UIDriver::whyNotReached(p, centre).empty())
                        return script("tap-at " + at(p));
                }
            }
        }
        if (back && chance(0.85)) return script("tap-at " + at(UIDriver::screenCenterOf(back)));
        tapSomething();
    }

    DealerSim& sim_;
    std::mt19937_64 random_;
    uint64_t seed_;
    bool trace_;
    std::ostringstream out_;
    ScriptRunner runner_;
    int step_ = 0;
    int dumpAt_ = -1;
    MonkeyWatchdog* watchdog_ = nullptr;
    double hudSince_ = -1;
    std::vector<std::string> history_;
    std::vector<std::string> faults_;
};

}  // namespace kavtest
