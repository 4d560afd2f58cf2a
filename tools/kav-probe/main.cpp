// kav-probe: logs in to a dealer with one trading service object, runs the
// commands of its command line and prints one line per event. See README.md.

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/net/NetworkThread.h"
#include "tools/kav-probe/Probe.h"

namespace {

void printLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    auto parsed = kavprobe::parseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* why = std::get_if<std::string>(&parsed)) {
        std::fprintf(stderr, "kav-probe: %s\n%s\n", why->c_str(), kavprobe::usage().c_str());
        return kavprobe::kExitUsage;
    }
    const auto& options = std::get<kavprobe::Options>(parsed);
    if (options.help) {
        std::printf("%s\n", kavprobe::usage().c_str());
        return kavprobe::kExitOk;
    }
    // The system log goes to standard error with --debug and nowhere otherwise.
    if (!options.debug) platform::setLogSink([](const std::string&) {});

    auto& loop = platform::RunLoop::main();
    loop.adoptCurrentThread();
    int code;
    {
        kavprobe::Probe probe(options, printLine);
        probe.start();
        // The probe ends itself: every step has a deadline or a set length.
        while (!probe.finished())
            loop.runUntil([&] { return probe.finished(); }, 3600);
        code = probe.exitCode();
    }
    // Its connections are closed (or, still opening, abandoned) with it; the
    // network thread sends what they handed it, then ends before the exit,
    // so that no library is cleaned up under it.
    platform::net::NetworkThread::shared().stop();
    return code;
}
