// A quote flood at full speed: the simulated dealer sends quote packages (or
// compressed quote lines) as fast as the client's socket takes them for a
// given time, while a logged-in service object takes them on the main run
// loop, optionally slowly (a screen that draws every quote). At the end the
// session logs out in the middle of the flood. Prints the client's peak
// memory, the quotes taken, and how long the logout took to close the quote
// connection. Not a test.
//
//   bench_flood [--seconds N] [--compressed] [--slow-us N]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "tests/support/DealerSim.h"

namespace {

// Resident memory of this process, KiB: now, or the peak ("VmHWM").
long statusKiB(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
    return -1;
}

struct Counter : WSPushMessage {
    void onQuotedReceived(const MODList<MODSymbolInfo>& symbols) override {
        quotes += symbols.size();
        if (slowMicros > 0) {
            const auto until =
                std::chrono::steady_clock::now() + std::chrono::microseconds(slowMicros);
            while (std::chrono::steady_clock::now() < until) {
            }
        }
    }
    size_t quotes = 0;
    int slowMicros = 0;
};

}  // namespace

int main(int argc, char** argv) {
    double seconds = 30;
    bool compressed = false;
    int slowMicros = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (a == "--compressed") {
            compressed = true;
        } else if (a == "--slow-us" && i + 1 < argc) {
            slowMicros = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: bench_flood [--seconds N] [--compressed] [--slow-us N]\n");
            return 2;
        }
    }
    platform::setLogSink([](const std::string&) {});
    auto& loop = platform::RunLoop::main();
    loop.adoptCurrentThread();

    kavtest::DealerSimOptions options;
    options.compressed = compressed;
    kavtest::DealerSim sim(options);
    auto sdk = std::make_shared<KAVBizSDK>();
    auto counter = std::make_shared<Counter>();
    counter->slowMicros = slowMicros;
    sdk->setDelegate(counter);
    bool loggedIn = false, failed = false;
    sdk->loginWithUserId(
        "1001", "123456", "", {sim.realLoginUrl()}, [&] { loggedIn = true; },
        [&](const std::string&, const std::string&) { failed = true; });
    if (!loop.runUntil([&] { return loggedIn || failed; }, 30) || !loggedIn) {
        std::fprintf(stderr, "bench_flood: login failed\n");
        return 1;
    }
    const long rssBefore = statusKiB("VmRSS:");

    // A sampler of the resident memory while the flood runs.
    std::atomic<bool> sampling{true};
    std::atomic<long> peak{rssBefore};
    std::thread sampler([&] {
        while (sampling) {
            const long now = statusKiB("VmRSS:");
            if (now > peak) peak = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });

    const kavtest::SimService service =
        compressed ? kavtest::SimService::CompressedQuote : kavtest::SimService::Quote;
    sim.flood(service);
    const auto start = std::chrono::steady_clock::now();
    // The logout comes from a timer of the main run loop, as a user's tap
    // would, in the middle of the flood.
    std::chrono::steady_clock::time_point logoutAt;
    platform::Timer logout = platform::Timer::schedule(seconds, false, [&] {
        logoutAt = std::chrono::steady_clock::now();
        sdk->logout();
    });
    loop.runUntil([&] { return logoutAt.time_since_epoch().count() != 0; }, seconds + 60);
    const size_t quotesTaken = counter->quotes;
    bool closed = false;
    while (!closed && std::chrono::steady_clock::now() - logoutAt < std::chrono::seconds(30)) {
        loop.runUntil([] { return false; }, 0.01);
        closed = sim.connections(service).empty();
    }
    const auto closedAt = std::chrono::steady_clock::now();
    sampling = false;
    sampler.join();
    const kavtest::SimJson state = sim.stopFlood();

    const double ran = std::chrono::duration<double>(logoutAt - start).count();
    std::printf(
        "flood of %s at full speed for %.1f s%s\n",
        compressed ? "compressed quote lines" : "quote packages", ran,
        slowMicros
            ? (", the delegate taking " + std::to_string(slowMicros) + " us per quote").c_str()
            : "");
    std::printf("dealer sent     %zu messages, %.1f MiB\n", state["sent"].get<size_t>(),
                state["bytes"].get<double>() / 1048576.0);
    std::printf("client took     %zu quotes (%.0f per second)\n", quotesTaken,
                static_cast<double>(quotesTaken) / ran);
    std::printf(
        "resident memory %.1f MiB before, %.1f MiB at most during the flood (VmHWM %.1f MiB)\n",
        rssBefore / 1024.0, peak / 1024.0, statusKiB("VmHWM:") / 1024.0);
    if (closed)
        std::printf("logout closed the quote connection in %.0f ms\n",
                    std::chrono::duration<double, std::milli>(closedAt - logoutAt).count());
    else
        std::printf("logout did NOT close the quote connection within 30 s\n");
    return closed ? 0 : 1;
}
