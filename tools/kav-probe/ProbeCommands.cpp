#include "tools/kav-probe/ProbeCommands.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <initializer_list>

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
    for (const auto& record : records)
        lines.push_back(printer(*record));
    return lines;
}

// "ok" with no record lines, for the order actions (their replies carry none).
KAVDoneBlock doneWithoutLines(Probe& p) {
    return [done = p.succeed()] { done({}); };
}

// Why a list of arguments is unusable: each argument's check in turn, with
// the optional ones checked only when given.
using ArgumentCheck = std::string (*)(const std::string&);
std::string checkEach(const std::vector<std::string>& args,
                      std::initializer_list<ArgumentCheck> checks) {
    size_t i = 0;
    for (const ArgumentCheck check : checks) {
        if (i >= args.size()) break;
        if (check) {
            if (std::string why = check(args[i]); !why.empty()) return why;
        }
        ++i;
    }
    return {};
}
std::string isNumber(const std::string& text) {
    return numberValue(text) ? std::string() : "not a number: " + text;
}
std::string isInteger(const std::string& text) {
    const auto v = integerValue(text);
    return v && *v >= INT32_MIN && *v <= INT32_MAX ? std::string() : "not a whole number: " + text;
}
std::string isSide(const std::string& text) {
    return text == "b" || text == "s" ? std::string() : "the side is b or s, not " + text;
}

double number(const std::vector<std::string>& args, size_t i, double otherwise = 0) {
    return i < args.size() ? numberValue(args[i]).value_or(otherwise) : otherwise;
}
int32_t integer(const std::vector<std::string>& args, size_t i, int32_t otherwise) {
    return i < args.size() ? static_cast<int32_t>(integerValue(args[i]).value_or(otherwise))
                           : otherwise;
}

// The deviation the probe accepts when none is given: the symbol's largest.
int32_t defaultDeviation(KAVBizSDK& sdk, const std::string& symbolCode) {
    const auto symbol = sdk.getSymbolWith(symbolCode);
    return symbol ? symbol->maxPointOffset : 0;
}

// buy / sell SYMBOL QTY [DEVIATION] [SL] [TP] at the current ask / bid.
void marketOpen(Probe& p, const std::vector<std::string>& a, const std::string& bsCode) {
    const auto symbol = p.sdk().getSymbolWith(a[0]);
    const double price = symbol ? (bsCode == "b" ? symbol->ask : symbol->bid) : 0;
    p.sdk().marketOpenWithSymbol(a[0], number(a, 1), bsCode, price,
                                 integer(a, 2, defaultDeviation(p.sdk(), a[0])), number(a, 3),
                                 number(a, 4), "", doneWithoutLines(p), p.fail());
}

// Runs `then` with the freshly queried ticket of that number (null when
// there is none), unless the command has been given up on meanwhile: a late
// answer must not send an order. A failed query fails the command.
void withTicket(Probe& p, const std::string& orderCode,
                std::function<void(std::shared_ptr<MODHoldBill>)> then) {
    p.sdk().queryHoldBillOnSuccess(
        [&sdk = p.sdk(), alive = p.stillRunning(), orderCode,
         then = std::move(then)](const MODList<MODHoldBill>&) {
            if (alive()) then(sdk.getHoldBillWith(orderCode));
        },
        p.fail());
}
void withPending(Probe& p, const std::string& orderCode,
                 std::function<void(std::shared_ptr<MODLimitBill>)> then) {
    p.sdk().queryLimitBillOnSuccess(
        [&sdk = p.sdk(), alive = p.stillRunning(), orderCode,
         then = std::move(then)](const MODList<MODLimitBill>&) {
            if (alive()) then(sdk.getLimitBillWith(orderCode));
        },
        p.fail());
}

// A query whose records print one line each.
template <typename Record>
using QueryCall = void (KAVBizSDK::*)(std::function<void(const MODList<Record>&)>, KAVFailureBlock);
template <typename Record>
void listQuery(Probe& p, QueryCall<Record> query, std::string (*printer)(const Record&)) {
    ((p.sdk()).*query)([done = p.succeed(), printer](
                           const MODList<Record>& records) { done(linesOf(records, printer)); },
                       p.fail());
}

}  // namespace

std::optional<long long> integerValue(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE) return std::nullopt;
    return v;
}

std::optional<double> numberValue(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v)) return std::nullopt;
    return v;
}

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
             p.sdk().logout();
             p.succeed()({});
         }},
        {"password", "OLD NEW TYPE", 3,
         [](const std::vector<std::string>& a) { return checkEach(a, {nullptr, nullptr, isInteger}); },
         [](Probe& p, const std::vector<std::string>& a) {
             p.sdk().passwordChange(a[1], integer(a, 2, 1), a[0], doneWithoutLines(p), p.fail());
         }},
        {"buy", "SYMBOL QTY [DEVIATION] [SL] [TP]", 2,
         [](const std::vector<std::string>& a) { return checkEach(a, {nullptr, isNumber, isInteger, isNumber, isNumber}); },
         [](Probe& p, const std::vector<std::string>& a) { marketOpen(p, a, "b"); }, true, 3},
        {"sell", "SYMBOL QTY [DEVIATION] [SL] [TP]", 2,
         [](const std::vector<std::string>& a) { return checkEach(a, {nullptr, isNumber, isInteger, isNumber, isNumber}); },
         [](Probe& p, const std::vector<std::string>& a) { marketOpen(p, a, "s"); }, true, 3},
        {"close", "TICKET QTY", 2, [](const std::vector<std::string>& a) { return checkEach(a, {nullptr, isNumber}); },
         [](Probe& p, const std::vector<std::string>& a) {
             withTicket(p, a[0], [&p, qty = number(a, 1)](std::shared_ptr<MODHoldBill> ticket) {
                 const int32_t deviation = ticket ? defaultDeviation(p.sdk(), ticket->symbolCode) : 0;
                 p.sdk().marketCloseWithOrder(ticket, qty, deviation, 0, "", doneWithoutLines(p), p.fail());
             });
         }},
        {"close-symbol", "SYMBOL b|s QTY", 3,
         [](const std::vector<std::string>& a) { return checkEach(a, {nullptr, isSide, isNumber}); },
         [](Probe& p, const std::vector<std::string>& a) {
             p.sdk().marketCloseWithSymbol(a[0], number(a, 2), a[1], defaultDeviation(p.sdk(), a[0]), 0, "",
                                           doneWithoutLines(p), p.fail());
         }},
        {"limit", "SYMBOL b|s PRICE QTY [SL] [TP]", 4,
         [](const std::vector<std::string>& a) {
             return checkEach(a, {nullptr, isSide, isNumber, isNumber, isNumber, isNumber});
         },
         [](Probe& p, const std::vector<std::string>& a) {
             p.sdk().limitOpenWithSymbol(a[0], number(a, 3), a[1], number(a, 2), number(a, 4), number(a, 5), "0", "",
                                         doneWithoutLines(p), p.fail());
         },
         true, 2},
        {"modify", "TICKET SL TP", 3,
         [](const std::vector<std::string>& a) { return checkEach(a, {nullptr, isNumber, isNumber}); },
         [](Probe& p, const std::vector<std::string>& a) {
             // A ticket, or else a pending order, of that number.
             const auto modify = [&p, a](const std::string& symbolCode) {
                 p.sdk().modifyOrderWithSymbol(symbolCode, number(a, 1), number(a, 2), a[0], "", doneWithoutLines(p),
                                               p.fail());
             };
             withTicket(p, a[0], [&p, a, modify](std::shared_ptr<MODHoldBill> ticket) {
                 if (ticket) return modify(ticket->symbolCode);
                 withPending(p, a[0], [modify](std::shared_ptr<MODLimitBill> order) {
                     modify(order ? order->symbolCode : std::string());
                 });
             });
         }},
        {"cancel", "ORDER", 1, noArguments,
         [](Probe& p, const std::vector<std::string>& a) {
             withPending(p, a[0], [&p](std::shared_ptr<MODLimitBill> order) {
                 p.sdk().cancelOrderWithOrder(order, "", doneWithoutLines(p), p.fail());
             });
         }},
        {"tickets", "", 0, noArguments,
         [](Probe& p, const std::vector<std::string>&) {
             listQuery<MODHoldBill>(p, &KAVBizSDK::queryHoldBillOnSuccess, ticketLine);
         }},
        {"positions", "", 0, noArguments,
         [](Probe& p, const std::vector<std::string>&) {
             listQuery<MODHoldPosition>(p, &KAVBizSDK::queryHoldPositionOnSuccess, positionLine);
         }},
        {"pending", "", 0, noArguments,
         [](Probe& p, const std::vector<std::string>&) {
             listQuery<MODLimitBill>(p, &KAVBizSDK::queryLimitBillOnSuccess, pendingLine);
         }},
        {"closed", "", 0, noArguments,
         [](Probe& p, const std::vector<std::string>&) {
             listQuery<MODCloseBill>(p, &KAVBizSDK::queryCloseBillOnSuccess, closedLine);
         }},
        {"bulletins", "", 0, noArguments,
         [](Probe& p, const std::vector<std::string>&) {
             listQuery<MODBulletin>(p, &KAVBizSDK::queryBulletinOnSuccess, bulletinLine);
         }},
        {"history", "SYMBOL PERIOD [COUNT]", 2,
         [](const std::vector<std::string>& a) { return checkEach(a, {nullptr, isInteger, isInteger}); },
         [](Probe& p, const std::vector<std::string>& a) {
             // The last 50 bars unless told otherwise.
             p.sdk().hisQuotedWithSymbol(
                 a[0], integer(a, 1, 0), integer(a, 2, -50), 0, "", "",
                 [done = p.succeed()](const MODList<MODSymbolInfo>& bars) { done(linesOf(bars, barLine)); }, p.fail());
         },
         true, 1},
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
