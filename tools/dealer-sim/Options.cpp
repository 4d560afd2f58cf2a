#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "tools/dealer-sim/Simulator.h"

namespace dealersim {

std::string usage() {
    return "usage: dealer-sim [--seed N] [--port-base P] [--bind ADDR] [--tls] [--tls-cert PEM "
           "--tls-key PEM]\n"
           "                  [--compressed] [--quote-rate HZ] [--data-dir D] [--key K] [--iv V] "
           "[--plain]\n"
           "                  [--history-days N] [--quiet] [--exit-with-stdin] [--help]\n";
}

std::optional<Options> parseOptions(int argc, char** argv, std::string* error, bool* help) {
    Options o;
    *help = false;
    auto fail = [&](std::string why) -> std::optional<Options> {
        *error = std::move(why);
        return std::nullopt;
    };
    auto integer = [](const std::string& s, long long lo, long long hi, long long& out) {
        if (s.empty()) return false;
        char* end = nullptr;
        errno = 0;
        out = std::strtoll(s.c_str(), &end, 10);
        return end && *end == '\0' && errno == 0 && out >= lo && out <= hi;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) return std::nullopt;
            return std::string(argv[++i]);
        };
        long long n = 0;
        if (arg == "--help" || arg == "-h") {
            *help = true;
            return o;
        } else if (arg == "--tls") {
            o.tls = true;
        } else if (arg == "--compressed") {
            o.compressed = true;
        } else if (arg == "--plain") {
            o.plain = true;
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--exit-with-stdin") {
            o.exitWithStdin = true;
        } else if (arg == "--seed" || arg == "--port-base" || arg == "--history-days") {
            auto v = value();
            if (!v) return fail(std::string(arg) + " needs a value");
            const bool ok = arg == "--seed" ? integer(*v, 0, 1LL << 62, n)
                            : arg == "--port-base"
                                ? integer(*v, 0, 65535 - 7, n) && (n == 0 || n >= 1024)
                                : integer(*v, 1, 120, n);
            if (!ok) return fail("bad value for " + std::string(arg) + ": " + *v);
            if (arg == "--seed") o.seed = static_cast<uint64_t>(n);
            if (arg == "--port-base") o.portBase = static_cast<int>(n);
            if (arg == "--history-days") o.historyDays = static_cast<int>(n);
        } else if (arg == "--quote-rate") {
            auto v = value();
            if (!v) return fail("--quote-rate needs a value");
            char* end = nullptr;
            const double hz = std::strtod(v->c_str(), &end);
            if (!end || *end != '\0' || !(hz >= 0) || hz > 1000)
                return fail("bad value for --quote-rate: " + *v);
            o.quoteRate = hz;
        } else if (arg == "--bind" || arg == "--data-dir" || arg == "--key" || arg == "--iv" ||
                   arg == "--tls-cert" || arg == "--tls-key") {
            auto v = value();
            if (!v || v->empty()) return fail(std::string(arg) + " needs a value");
            if (arg == "--bind") o.bind = *v;
            if (arg == "--data-dir") o.dataDir = *v;
            if (arg == "--key") o.key = *v;
            if (arg == "--iv") o.iv = *v;
            if (arg == "--tls-cert") o.tlsCert = *v;
            if (arg == "--tls-key") o.tlsKey = *v;
        } else {
            return fail("unknown argument: " + std::string(arg));
        }
    }
    if (o.tlsCert.empty() != o.tlsKey.empty()) return fail("--tls-cert and --tls-key go together");
    if (!o.tlsCert.empty()) o.tls = true;
    return o;
}

}  // namespace dealersim
