#pragma once

#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/ui/Application.h"

// The command line of bin/kav-trader and its run.
namespace kavtrader {

enum class Display { Automatic, Window, Headless };

struct Options {
    Display display = Display::Automatic;
    std::string script;       // empty: no script; "-": standard input
    std::string shots = ".";  // where `shot` writes
    double scale = 0;         // the window's pixels a point; 0: the largest that fits
    bool help = false;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
// --window without a display.
inline constexpr int kExitNoDisplay = 3;

std::string usage();
// The options, or why the arguments cannot be taken.
std::variant<Options, std::string> parseArguments(const std::vector<std::string>& args);

// Runs the application: in the desktop window (--window, or by default when
// a display is there) until it is closed, headless until SIGINT or SIGTERM,
// or driven by a script (headless) until the script ends. The exit status.
int run(int argc, char** argv,
        const std::function<std::shared_ptr<platform::ui::UIApplicationDelegate>()>& makeDelegate);

}  // namespace kavtrader
