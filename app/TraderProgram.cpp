#include "app/TraderProgram.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <thread>

#include "app/ScriptRunner.h"
#include "platform/RunLoop.h"
#include "platform/net/NetworkThread.h"
#include "platform/ui/Display.h"

namespace kavtrader {

std::string usage() {
    return "usage: kav-trader [--window | --headless] [--scale S] [--script FILE|-] [--shots DIR]\n"
           "  --window     open the desktop window (needs a display)\n"
           "  --headless   run without a display\n"
           "  --scale S    the window's pixels a point (e.g. 1, 1.5, 2); by default\n"
           "               the largest of 2, 1 or a fraction at which it fits the display\n"
           "  --script F   drive the application with the commands of F (- reads them\n"
           "               from standard input); runs headless\n"
           "  --shots DIR  where the script's `shot` writes its pictures (default: .)\n"
           "in the window:\n"
           "  mouse button         a finger (held: a long press)\n"
           "  ctrl + mouse wheel   pinch\n"
           "  Tab / Shift+Tab      next / previous field\n"
           "  Return               the keyboard's return key\n"
           "  Escape               end editing\n"
           "  F1                   shake\n"
           "  F2                   turn between portrait and landscape\n"
           "  the window may be resized; the screen keeps its shape\n"
           "exit status: 0 done, 1 a script command failed, 2 bad arguments, an\n"
           "unreadable script or an unwritable report, 3 --window without a display\n";
}

std::variant<Options, std::string> parseArguments(const std::vector<std::string>& args) {
    Options options;
    bool window = false, headless = false, shots = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            options.help = true;
        } else if (a == "--window") {
            window = true;
        } else if (a == "--headless") {
            headless = true;
        } else if (a == "--scale") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return a + " needs a value";
            const std::string& v = args[++i];
            char* end = nullptr;
            const double k = std::strtod(v.c_str(), &end);
            // Past 4 pixels a point the phone screen fills no display.
            if (end == v.c_str() || *end || !(k >= 0.25 && k <= 4))
                return "--scale takes a number from 0.25 to 4, not " + v;
            options.scale = k;
        } else if (a == "--script" || a == "--shots") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return a + " needs a value";
            (a == "--script" ? options.script : options.shots) = args[++i];
            shots = shots || a == "--shots";
        } else {
            return "unknown argument " + a;
        }
    }
    if (window && headless) return "--window and --headless exclude each other";
    // The script drives the headless driver; a window cannot be driven by it.
    if (window && !options.script.empty()) return "--script runs headless; leave out --window";
    if (shots && options.script.empty()) return "--shots needs --script";
    options.display = window                                ? Display::Window
                      : headless || !options.script.empty() ? Display::Headless
                                                            : Display::Automatic;
    return options;
}

namespace {

// SIGINT and SIGTERM end the application the way closing it does: the main
// run loop stops and the termination callbacks run. The signals are blocked
// in every thread and taken by one thread of their own.
void stopOnSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        int signal = 0;
        if (sigwait(&set, &signal) == 0)
            platform::RunLoop::main().post([] { platform::RunLoop::main().stop(); });
    }).detach();
}

int runScript(const Options& options,
              const std::function<std::shared_ptr<platform::ui::UIApplicationDelegate>()>& make) {
    std::ifstream file;
    if (options.script != "-") {
        file.open(options.script);
        if (!file) {
            std::cerr << "kav-trader: cannot read " << options.script << "\n";
            return kExitUsage;
        }
    } else if (fcntl(STDIN_FILENO, F_GETFD) == -1) {
        // Closed: the first file the application opens would take its place
        // and be read as the script.
        std::cerr << "kav-trader: cannot read the standard input\n";
        return kExitUsage;
    }
    // The report's way out, closed: a file the application opens would
    // take its place and get the report.
    if (fcntl(STDOUT_FILENO, F_GETFD) == -1) {
        std::cerr << "kav-trader: cannot write the standard output\n";
        return kExitUsage;
    }
    // A report whose reader went away (`| head`) is a closed output like
    // any other: the write fails and the run ends with its status, where the
    // signal for it killed the program before the application could end.
    // A handler, not "ignore": the programs it starts get the default back.
    signal(SIGPIPE, [](int) {});
    std::istream& script = options.script == "-" ? std::cin : file;
    platform::RunLoop::main().adoptCurrentThread();
    auto& app = platform::ui::UIApplication::sharedApplication();
    app.launch(make());
    bool terminated = false;
    ScriptRunner runner(std::cout, options.shots, [&] {
        app.terminate();
        terminated = true;
    });
    const bool ok = runner.run(script);
    if (!terminated) app.terminate();
    // A script that could not be read to its end (a folder, a read error)
    // did not run as written, though every line read may have passed.
    // Standard input reads through C's stdin, which keeps its read errors
    // (a folder, a closed descriptor) to itself: the stream sees an end.
    if (script.bad() || (options.script == "-" && std::ferror(stdin))) {
        std::cerr << "kav-trader: cannot read " << options.script << "\n";
        return kExitUsage;
    }
    // Lines lost on their way out (a full disk): whoever reads the report
    // cannot tell what ran, though every command may have passed.
    if (!std::cout.good()) {
        std::cerr << "kav-trader: cannot write the standard output\n";
        return kExitUsage;
    }
    return ok ? kExitOk : kExitFailed;
}

int runProgram(int argc, char** argv,
               const std::function<std::shared_ptr<platform::ui::UIApplicationDelegate>()>& make) {
    std::vector<std::string> args(argv + 1, argv + argc);
    auto parsed = parseArguments(args);
    if (auto* why = std::get_if<std::string>(&parsed)) {
        std::cerr << "kav-trader: " << *why << "\n" << usage();
        return kExitUsage;
    }
    const Options options = std::get<Options>(parsed);
    if (options.help) {
        std::cout << usage();
        return kExitOk;
    }
    if (!options.script.empty()) return runScript(options, make);

    // The window comes from the display back end linked into the program,
    // when a desktop is there to show it on.
    std::unique_ptr<platform::ui::UIDisplay> display;
    if (options.display != Display::Headless) display = platform::ui::UIDisplayOpen(options.scale);
    if (options.display == Display::Window && !display) {
        std::cerr << "kav-trader: --window needs a display ($DISPLAY or $WAYLAND_DISPLAY)\n";
        return kExitNoDisplay;
    }
    stopOnSignals();
    auto& loop = platform::RunLoop::main();
    loop.adoptCurrentThread();
    auto& app = platform::ui::UIApplication::sharedApplication();
    app.launch(make());
    if (display)
        display->run();
    else
        loop.run();
    app.terminate();
    return kExitOk;
}

}  // namespace

int run(int argc, char** argv,
        const std::function<std::shared_ptr<platform::ui::UIApplicationDelegate>()>& make) {
    const int code = runProgram(argc, argv, make);
    // The application has ended and its connections are closed or abandoned:
    // the network thread sends what they handed it and ends before the exit,
    // so that no library is cleaned up under it.
    platform::net::NetworkThread::shared().stop();
    return code;
}

}  // namespace kavtrader
