#include "tools/kav-probe/ProbeCommands.h"

#include <cmath>
#include <cstdlib>

#include "tools/kav-probe/Probe.h"
#include "tools/kav-probe/ProbeLines.h"

namespace kavprobe {

namespace {

std::string noArguments(const std::vector<std::string>&) {
    return {};
}

// The record lines of a list, one printer per record.
template <typename List, typename Printer>
std::vector<std::string> linesOf(const List& records, Printer printer) {
    std::vector<std::string> lines;
    lines.reserve(records.size());
    for (const auto& record : records) lines.push_back(printer(*record));
    return lines;
}

}  // namespace

double secondsValue(const std::string& text) {
    if (text.empty()) return -1;
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(seconds) || seconds <= 0 || seconds > 1e6) return -1;
    return seconds;
}

const std::vector<Command>& commands() {
    static const std::vector<Command> table = {
        {"symbols", "", 0, noArguments,
         [](Probe& p, const std::vector<std::string>&) {
             p.sdk().querySymbolOnSuccess(
                 [done = p.succeed()](const MODList<MODSymbolInfo>& symbols) { done(linesOf(symbols, symbolLine)); },
                 p.fail());
         }},
        {"accounts", "", 0, noArguments,
         [](Probe& p, const std::vector<std::string>&) {
             p.sdk().queryAccountOnSuccess(
                 [done = p.succeed()](const MODList<MODUserAccount>& accounts) {
                     done(linesOf(accounts, accountLine));
                 },
                 p.fail());
         }},
        {"rates", "", 0, noArguments,
         [](Probe& p, const std::vector<std::string>&) {
             p.sdk().queryCERInfoOnSuccess(
                 [done = p.succeed()](const MODList<MODCERInfo>& rates) { done(linesOf(rates, rateLine)); }, p.fail());
         }},
        {"watch", "SECONDS", 1,
         [](const std::vector<std::string>& args) {
             return secondsValue(args[0]) > 0 ? std::string() : "watch needs a positive number of seconds";
         },
         [](Probe& p, const std::vector<std::string>& args) {
             // Pushes print as they come; the command only waits.
             p.commandTimer() = platform::Timer::schedule(secondsValue(args[0]), false,
                                                          [done = p.succeed()] { done({}); });
         },
         false},
        {"logout", "", 0, noArguments,
         [](Probe& p, const std::vector<std::string>&) {
             p.sdk().stopConnect();
             p.succeed()({});
         }},
    };
    return table;
}

const Command* findCommand(const std::string& name) {
    for (const Command& c : commands()) {
        if (name == c.name) return &c;
    }
    return nullptr;
}

}  // namespace kavprobe
