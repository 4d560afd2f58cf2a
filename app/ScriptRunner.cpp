#include "app/ScriptRunner.h"

#include <cmath>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <sstream>
#include <variant>

#include "platform/Files.h"
#include "platform/RunLoop.h"
#include "platform/Strings.h"
#include "platform/ui/Control.h"
#include "platform/ui/Driver.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/Window.h"

using platform::ui::CGPointMake;
using platform::ui::UIDriver;
using platform::ui::UIView;
using platform::ui::UIWindow;

namespace {

// Real time given to other threads (network, downloads) between the steps of
// a wait on a virtual clock.
constexpr double kVirtualStep = 0.05;
constexpr double kRealSlice = 0.002;

std::optional<double> number(const std::string& word) {
    if (word.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    // The whole word: a NUL byte inside it would end the number early.
    if (end != word.c_str() + word.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

// Runs the main run loop until the predicate holds or `seconds` have passed
// on its clock; the predicate's last answer.
bool runUntil(const std::function<bool()>& predicate, double seconds) {
    auto& loop = platform::RunLoop::main();
    if (!loop.virtualClock()) {
        loop.drain();
        return predicate() || loop.runUntil(predicate, seconds);
    }
    for (double waited = 0;;) {
        loop.drain();
        if (predicate()) return true;
        if (waited >= seconds) return false;
        loop.runUntil(predicate, kRealSlice);
        // The last step ends at the deadline: a whole step past it would let
        // a wait pass on what showed only after its time.
        const bool last = seconds - waited <= kVirtualStep;
        loop.advance(last ? seconds - waited : kVirtualStep);
        waited = last ? seconds : waited + kVirtualStep;
    }
}

// Lets the application settle, as a person waits for the screen to stop
// moving before the next step: runs the main run loop until what is queued
// has run and the finite animations have ended (transitions, fades, the
// keyboard), at most `ScriptRunner::kSettleLimit` seconds of its clock; then
// lays the windows out, as a display does before anything shows.
void settle() {
    // Laying out may start an animation of its own: one more round then.
    for (int round = 0; round < 2; ++round) {
        runUntil(UIDriver::isSettled, ScriptRunner::kSettleLimit / 2);
        platform::ui::UIScreenRenderer::layoutWindows();
        platform::RunLoop::main().drain();
        if (UIDriver::isSettled()) return;
    }
}

// Settles, then waits (at most `ScriptRunner::kSettleLimit` seconds of the
// run loop's clock) while a spinner turns on the screen: a list loading
// ignores taps, and a person waits for its answer before tapping a row.
void settleForTap() {
    settle();
    if (!UIDriver::isLoading()) return;
    runUntil([] { return !UIDriver::isLoading(); }, ScriptRunner::kSettleLimit);
    settle();
}

// Where a command would put its finger: a view and the screen point.
struct Target {
    UIView* view = nullptr;
    platform::ui::CGPoint point;
};

// The views that show exactly the text, front-most first: the front-most
// window first, and in it the view drawn last. The point is the centre of
// the text (a segment's title: the segment). The windows are laid out first,
// as a display does before anything shows: a table makes its cells only then.
std::vector<Target> targetsWithText(const std::string& text) {
    platform::ui::UIScreenRenderer::layoutWindows();
    std::vector<Target> out;
    auto windows = UIWindow::visibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        std::vector<Target> inWindow;
        UIDriver::forEachView(*it, [&](UIView* v) {
            if (!UIDriver::isVisible(v)) return;
            for (auto& shown : UIDriver::shownTexts(v))
                if (shown.text == text)
                    inWindow.push_back(
                        {v, UIDriver::screenPointOf(
                                v, {CGRectGetMidX(shown.rect), CGRectGetMidY(shown.rect)})});
        });
        out.insert(out.end(), inWindow.rbegin(), inWindow.rend());
    }
    return out;
}

// The visible views with the tag, front-most first, at their centres.
std::vector<Target> targetsWithTag(long tag) {
    platform::ui::UIScreenRenderer::layoutWindows();
    std::vector<Target> out;
    auto windows = UIWindow::visibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        std::vector<Target> inWindow;
        UIDriver::forEachView(*it, [&](UIView* v) {
            if (v->tag() == tag && UIDriver::isVisible(v))
                inWindow.push_back({v, UIDriver::screenCenterOf(v)});
        });
        out.insert(out.end(), inWindow.rbegin(), inWindow.rend());
    }
    return out;
}

// True when a finger at the target's point reaches the view itself (or a
// view inside it), and the view, when it is a control, is enabled.
bool takesTouches(const Target& t) {
    if (!UIDriver::whyNotReached(t.point, t.view).empty()) return false;
    UIView* hit = UIDriver::viewTouchedAt(t.point);
    if (!hit || !(hit == t.view || hit->isDescendantOfView(t.view))) return false;
    auto* control = dynamic_cast<platform::ui::UIControl*>(t.view);
    return !control || control->isEnabled();
}

// The target a person would tap: the front-most one that takes the touch,
// else the front-most one a touch reaches at all (a label in a cell), else
// none, with why the front-most one cannot be tapped.
std::variant<Target, std::string> choose(const std::vector<Target>& targets) {
    for (auto& t : targets)
        if (takesTouches(t)) return t;
    for (auto& t : targets)
        if (UIDriver::whyNotReached(t.point, t.view).empty()) return t;
    return UIDriver::whyNotReached(targets.front().point, targets.front().view);
}

// Taps the chosen target's point (off screen or covered: why not), then
// lets the application settle.
std::optional<std::string> tapOn(const std::variant<Target, std::string>& chosen) {
    if (auto* why = std::get_if<std::string>(&chosen)) return *why;
    UIDriver::tapAt(std::get<Target>(chosen).point);
    settle();
    return std::nullopt;
}

// The text `type` sends: "\b" deletes, "\n" is the return key, "\\" is one
// backslash; anything else as written.
std::string typed(const std::string& word) {
    std::string out;
    for (size_t i = 0; i < word.size(); ++i) {
        if (word[i] == '\\' && i + 1 < word.size()) {
            const char next = word[i + 1];
            if (next == 'b' || next == 'n' || next == '\\') {
                out += next == 'b' ? '\b' : next == 'n' ? '\n' : '\\';
                ++i;
                continue;
            }
        }
        out += word[i];
    }
    return out;
}

// The words of a command line and the readers of its arguments.
struct Args {
    const std::vector<std::string>& w;

    const std::string& command() const { return w[0]; }
    size_t count() const { return w.size() - 1; }
    static std::string usage(const char* form) { return std::string("usage: ") + form; }
    // The seconds argument at `index`, or `fallback` when it is not given.
    // Beyond ScriptRunner::kLongestWait the run loop's clock could not count
    // the deadline.
    std::optional<double> seconds(size_t index, double fallback) const {
        if (w.size() <= index) return fallback;
        auto value = number(w[index]);
        if (!value || *value < 0 || *value > ScriptRunner::kLongestWait) return std::nullopt;
        return value;
    }
    // Why the TEXT argument at `index` is no text a view can show: bytes of
    // another encoding or nothing at all. A check that such a text is not
    // shown (expect-no-text, wait-gone) would pass whatever the screen shows.
    std::optional<std::string> unshowable(size_t index) const {
        if (w[index].empty()) return "TEXT is empty";
        if (!platform::isValidUtf8(w[index])) return "TEXT is not UTF-8";
        return std::nullopt;
    }
    std::optional<platform::ui::CGPoint> point(size_t index) const {
        auto x = number(w[index]);
        auto y = number(w[index + 1]);
        if (!x || !y) return std::nullopt;
        return CGPointMake(*x, *y);
    }
};

// wait, wait-text, wait-gone.
std::optional<std::string> waitFor(const Args& a) {
    const auto& w = a.w;
    if (a.command() == "wait") {
        auto s = a.count() == 1 ? a.seconds(1, 0) : std::nullopt;
        if (!s) return Args::usage("wait SECONDS");
        UIDriver::advance(*s);
        return std::nullopt;
    }
    const bool gone = a.command() == "wait-gone";
    auto s =
        a.count() == 1 || a.count() == 2 ? a.seconds(2, ScriptRunner::kDefaultWait) : std::nullopt;
    if (!s) return Args::usage(gone ? "wait-gone TEXT [SECONDS]" : "wait-text TEXT [SECONDS]");
    if (auto why = a.unshowable(1)) return why;
    const std::string& text = w[1];
    const bool done = runUntil([&] { return targetsWithText(text).empty() == gone; }, *s);
    // Gone means gone for a finger too: the fade that hid the text and
    // the tear-down after it (a dimming view that still takes touches).
    if (done && gone) settle();
    if (done) return std::nullopt;
    std::ostringstream why;
    why << '"' << text << (gone ? "\" still shown after " : "\" not shown within ") << *s << " s";
    return why.str();
}

// expect-text, expect-no-text.
std::optional<std::string> expect(const Args& a) {
    const auto& w = a.w;
    const std::string& command = a.command();
    if (a.count() != 1)
        return Args::usage(command == "expect-text" ? "expect-text TEXT" : "expect-no-text TEXT");
    if (auto why = a.unshowable(1)) return why;
    const bool shown = !targetsWithText(w[1]).empty();
    if (command == "expect-text" && !shown) return "no visible view shows \"" + w[1] + "\"";
    if (command == "expect-no-text" && shown) return "a visible view shows \"" + w[1] + "\"";
    return std::nullopt;
}

// tap, tap-tag, tap-at.
std::optional<std::string> tap(const Args& a) {
    const auto& w = a.w;
    if (a.command() == "tap") {
        if (a.count() != 1) return Args::usage("tap TEXT");
        if (auto why = a.unshowable(1)) return why;
        settleForTap();
        const auto targets = targetsWithText(w[1]);
        if (targets.empty()) return "no visible view shows \"" + w[1] + "\"";
        return tapOn(choose(targets));
    }
    if (a.command() == "tap-tag") {
        auto tag = a.count() == 1 ? number(w[1]) : std::nullopt;
        // A tag is a long: a whole number beyond it is no tag any view has.
        if (!tag || *tag != std::floor(*tag) || !(*tag >= -0x1p63 && *tag < 0x1p63))
            return Args::usage("tap-tag N");
        settleForTap();
        const auto targets = targetsWithTag(static_cast<long>(*tag));
        if (targets.empty()) return "no visible view has tag " + w[1];
        return tapOn(choose(targets));
    }
    auto p = a.count() == 2 ? a.point(1) : std::nullopt;
    if (!p) return Args::usage("tap-at X Y");
    if (auto why = UIDriver::whyNotReached(*p); !why.empty()) return why;
    settleForTap();
    return tapOn(Target{nullptr, *p});
}

std::optional<std::string> type(const Args& a) {
    if (a.count() != 1) return Args::usage("type TEXT");
    // Keys give characters: bytes of another encoding would go into the
    // field as they are, a text that its drawing refuses.
    if (!platform::isValidUtf8(a.w[1])) return "TEXT is not UTF-8";
    // A field editing, and no window of a higher level (an alert) made key
    // over its own: on the phone the alert covers the keyboard (the desktop
    // window holds its keys back the same way).
    const auto takesKeys = [] {
        const auto* taker = platform::ui::UIResponder::currentFirstResponder();
        if (!taker || !taker->acceptsTextInput()) return false;
        const auto* view = dynamic_cast<const UIView*>(taker);
        const UIWindow* own = view ? view->window() : nullptr;
        const UIWindow* key = UIWindow::keyWindow();
        return !(own && key && key != own && !key->isHidden() &&
                 key->windowLevel() > own->windowLevel());
    };
    settle();
    if (!takesKeys()) return "nothing takes the keys";
    // Key by key: a key may end the editing (a return that closes the
    // keyboard), and the keys after it would reach nothing.
    const std::string keys = typed(a.w[1]);
    for (size_t i = 0; i < keys.size();) {
        if (!takesKeys()) return "nothing takes the keys";
        const auto lead = static_cast<unsigned char>(keys[i]);
        const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        UIDriver::typeText(keys.substr(i, length));
        i += length;
    }
    settle();
    return std::nullopt;
}

// Why a finger cannot be at each of the points: the first one off the
// screen, as a tap's. A finger stays on the glass; numbers far past it (a drag
// to 1e308) would make the gestures' speeds and a scrolled list's offset
// infinite, then not a number, for good.
std::optional<std::string> offScreen(std::initializer_list<platform::ui::CGPoint> points) {
    for (const auto& p : points)
        if (auto why = UIDriver::whyNotReached(p); !why.empty()) return why;
    return std::nullopt;
}

// drag, pinch, long-press: a finger's movement, on a settled screen and
// settled again after it.
std::optional<std::string> gesture(const Args& a) {
    const auto& w = a.w;
    if (a.command() == "drag") {
        auto from = a.count() == 4 || a.count() == 5 ? a.point(1) : std::nullopt;
        auto to = from ? a.point(3) : std::nullopt;
        auto s = to ? a.seconds(5, 0.3) : std::nullopt;
        if (!s) return Args::usage("drag X1 Y1 X2 Y2 [SECONDS]");
        if (auto why = offScreen({*from, *to})) return why;
        settle();
        UIDriver::drag(*from, *to, *s);
        settle();
        return std::nullopt;
    }
    if (a.command() == "pinch") {
        auto center = a.count() == 4 ? a.point(1) : std::nullopt;
        auto from = center ? number(w[3]) : std::nullopt;
        auto to = center ? number(w[4]) : std::nullopt;
        if (!from || !to || *from <= 0 || *to <= 0) return Args::usage("pinch X Y FROM TO");
        // The fingers, FROM and then TO apart, on the level of the point.
        const auto finger = [&](double apart, int side) {
            return CGPointMake(center->x + side * apart / 2, center->y);
        };
        if (auto why = offScreen({finger(*from, -1), finger(*from, 1), finger(*to, -1),
                                  finger(*to, 1)}))
            return why;
        settle();
        UIDriver::pinch(*center, *from, *to);
        settle();
        return std::nullopt;
    }
    auto p = a.count() == 2 || a.count() == 3 ? a.point(1) : std::nullopt;
    auto s = p ? a.seconds(3, 1.0) : std::nullopt;
    if (!s) return Args::usage("long-press X Y [SECONDS]");
    if (auto why = offScreen({*p})) return why;
    settle();
    UIDriver::longPress(*p, *s);
    settle();
    return std::nullopt;
}

// shake, rotate: the device moves.
std::optional<std::string> moveDevice(const Args& a) {
    if (a.command() == "shake") {
        if (a.count() != 0) return Args::usage("shake");
        settle();
        UIDriver::shake();
        settle();
        return std::nullopt;
    }
    using platform::ui::UIDeviceOrientation;
    const std::string to = a.count() == 1 ? a.w[1] : "";
    settle();
    if (to == "portrait")
        UIDriver::rotate(UIDeviceOrientation::Portrait);
    else if (to == "left")
        UIDriver::rotate(UIDeviceOrientation::LandscapeLeft);
    else if (to == "right")
        UIDriver::rotate(UIDeviceOrientation::LandscapeRight);
    else
        return Args::usage("rotate portrait|left|right");
    settle();
    return std::nullopt;
}

}  // namespace

ScriptRunner::Words ScriptRunner::split(const std::string& line) {
    Words result;
    size_t end = line.size();
    std::string word;
    bool inWord = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '#') {
            end = i;
            break;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (inWord) result.words.push_back(std::move(word));
            word.clear();
            inWord = false;
            continue;
        }
        if (c == '"') {
            inWord = true;
            size_t j = i + 1;
            for (; j < line.size() && line[j] != '"'; ++j) {
                if (line[j] == '\\' && j + 1 < line.size() &&
                    (line[j + 1] == '"' || line[j + 1] == '\\')) {
                    word += line[++j];
                } else {
                    word += line[j];
                }
            }
            if (j >= line.size()) {
                result.error = "unterminated quote";
                end = line.size();
                break;
            }
            i = j;
            continue;
        }
        inWord = true;
        word += c;
    }
    if (result.error.empty() && inWord) result.words.push_back(std::move(word));
    const std::string text = line.substr(0, end);
    const size_t first = text.find_first_not_of(" \t\r\n");
    const size_t last = text.find_last_not_of(" \t\r\n");
    result.text = first == std::string::npos ? "" : text.substr(first, last - first + 1);
    return result;
}

ScriptRunner::ScriptRunner(std::ostream& out, std::filesystem::path shots,
                           std::function<void()> onQuit)
    : out_(out), shots_(std::move(shots)), onQuit_(std::move(onQuit)) {}

bool ScriptRunner::runLine(const std::string& line) {
    const Words words = split(line);
    if (words.error.empty() && words.words.empty()) return true;
    std::optional<std::string> why =
        words.error.empty() ? execute(words.words) : std::optional<std::string>(words.error);
    if (why)
        out_ << "fail " << words.text << ": " << *why << "\n";
    else
        out_ << "ok " << words.text << "\n";
    out_.flush();
    // A report that did not reach its reader (a full disk, a closed output)
    // leaves nothing to tell what ran: the run stops as at a failure.
    return !why && out_.good();
}

bool ScriptRunner::run(std::istream& script) {
    // A line ends at a line feed, a carriage return (a script saved on an old
    // Mac) or both (Windows). The line feed after a carriage return is
    // skipped when the next line is read, not looked for at once: a driver
    // that writes a line and waits for its report would wait for ever.
    bool afterReturn = false;
    std::string line;
    for (bool first = true; !quit_; first = false) {
        line.clear();
        bool ended = false;
        bool markable = first;
        for (char c = 0; script.get(c);) {
            const bool skip = afterReturn && c == '\n';
            afterReturn = false;
            if (skip) continue;
            if (c == '\n' || c == '\r') {
                afterReturn = c == '\r';
                ended = true;
                break;
            }
            // Read no further than the longest line: a line without end (a
            // device of zeros, a file with no line ends) would take memory
            // without end.
            if (line.size() == kLongestLine) {
                const size_t start = std::min(line.find_first_not_of(" \t"), line.size());
                out_ << "fail " << platform::utf8Truncate(std::string_view(line).substr(start), 64)
                     << "...: line longer than " << kLongestLine << " bytes\n";
                out_.flush();
                return false;
            }
            line += c;
            // The byte order mark some editors begin a UTF-8 file with.
            if (markable && line.size() == 3) {
                if (line == "\xEF\xBB\xBF") line.clear();
                markable = false;
            }
        }
        // The end, or a read error the caller finds in the stream.
        if (script.bad() || (!ended && line.empty())) return true;
        if (!runLine(line)) return false;
    }
    return true;
}

std::optional<std::string> ScriptRunner::execute(const std::vector<std::string>& w) {
    const Args a{w};
    const std::string& command = a.command();
    platform::RunLoop::main().drain();

    if (command == "wait" || command == "wait-text" || command == "wait-gone") return waitFor(a);
    if (command == "expect-text" || command == "expect-no-text") return expect(a);
    if (command == "tap" || command == "tap-tag" || command == "tap-at") return tap(a);
    if (command == "type") return type(a);
    if (command == "drag" || command == "pinch" || command == "long-press") return gesture(a);
    if (command == "shake" || command == "rotate") return moveDevice(a);
    if (command == "dump") {
        if (a.count() != 0) return Args::usage("dump");
        // Laid out as a display lays out before it shows anything.
        platform::ui::UIScreenRenderer::layoutWindows();
        out_ << "dump begin\n" << UIDriver::dumpViewTree() << "dump end\n";
        return std::nullopt;
    }
    if (command == "shot") {
        if (a.count() != 1) return Args::usage("shot NAME");
        const std::string file = w[1] + ".png";
        // Names come from scripts written anywhere: a plain file name only
        // (an empty one would make a hidden ".png").
        if (w[1].empty() || !platform::files::isSafeName(file))
            return "NAME must be a plain file name";
        platform::files::makeDirectories(shots_);
        const auto path = shots_ / file;
        if (!UIDriver::renderPNG(path, kShotScale)) return "cannot write " + path.string();
        return std::nullopt;
    }
    if (command == "quit") {
        if (a.count() != 0) return Args::usage("quit");
        quit_ = true;
        if (onQuit_) onQuit_();
        return std::nullopt;
    }
    return "unknown command " + command;
}
