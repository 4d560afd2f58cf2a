// The session probe: command line, line format, a whole run against the
// simulated dealer on the virtual clock, and the program's exit statuses.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "tests/support/DealerSim.h"
#include "tests/support/TestSupport.h"
#include "tools/kav-probe/Probe.h"
#include "tools/kav-probe/ProbeLines.h"

using namespace kavprobe;
using kavtest::DealerSim;

namespace {

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start <= line.size()) {
        const size_t blank = line.find(' ', start);
        words.push_back(
            line.substr(start, blank == std::string::npos ? std::string::npos : blank - start));
        if (blank == std::string::npos) break;
        start = blank + 1;
    }
    return words;
}

// Reads "kind key=value ..." back, undoing the quoting.
std::map<std::string, std::string> fieldsOf(const std::string& line) {
    std::map<std::string, std::string> fields;
    size_t i = line.find(' ');
    while (i != std::string::npos && i < line.size()) {
        ++i;
        const size_t eq = line.find('=', i);
        if (eq == std::string::npos) break;
        const std::string key = line.substr(i, eq - i);
        std::string value;
        i = eq + 1;
        if (i < line.size() && line[i] == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    const char e = line[++i];
                    value += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
                } else {
                    value += line[i];
                }
            }
            ++i;
        } else {
            const size_t end = line.find(' ', i);
            value = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? line.size() : end;
        }
        fields[key] = value;
        if (i >= line.size() || line[i] != ' ') break;
    }
    return fields;
}

std::vector<std::string> kinds(const std::vector<std::string>& lines, const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& l : lines)
        if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
}

Options parsed(const std::vector<std::string>& args) {
    auto result = parseArguments(args);
    EXPECT_TRUE(std::holds_alternative<Options>(result)) << std::get<std::string>(result);
    return std::holds_alternative<Options>(result) ? std::get<Options>(result) : Options{};
}

std::string refusal(const std::vector<std::string>& args) {
    auto result = parseArguments(args);
    return std::holds_alternative<std::string>(result) ? std::get<std::string>(result)
                                                       : "(accepted)";
}

}  // namespace

TEST(ProbeCommandLine, OptionsAndCommands) {
    const Options o = parsed({"--login", "ws://h/", "symbols", "--user", "1001", "--password", "",
                              "watch", "2.5", "--timeout", "7", "--debug", "logout"});
    EXPECT_EQ(o.loginUrl, "ws://h/");
    EXPECT_EQ(o.user, "1001");
    EXPECT_EQ(o.password, "");
    EXPECT_TRUE(o.debug);
    EXPECT_EQ(o.timeout, 7);
    ASSERT_EQ(o.steps.size(), 3u);
    EXPECT_EQ(o.steps[1].name, "watch");
    EXPECT_EQ(o.steps[1].args, std::vector<std::string>{"2.5"});
    EXPECT_TRUE(parsed({"--help"}).help);

    const std::vector<std::string> base = {"--login", "ws://h/",    "--user",
                                           "1001",    "--password", "p"};
    const auto with = [&](std::vector<std::string> more) {
        auto args = base;
        args.insert(args.end(), more.begin(), more.end());
        return refusal(args);
    };
    EXPECT_EQ(with({"dance"}), "unknown command dance");
    EXPECT_EQ(with({"--verbose"}), "unknown option --verbose");
    EXPECT_EQ(with({"watch"}), "watch needs SECONDS");
    for (const char* bad : {"0", "-1", "ten", "1e9", "nan", ""})
        EXPECT_EQ(with({"watch", bad}), "watch needs a positive number of seconds") << bad;
    EXPECT_EQ(with({"--timeout"}), "--timeout needs a positive number of seconds");
    EXPECT_EQ(refusal({"--login", "ws://h/", "--password", "p"}), "--user is required");
    EXPECT_EQ(refusal({"--login", "ws://h/", "--user", "1001"}), "--password is required");

    // The usage line lists the table.
    EXPECT_NE(usage().find("symbols | accounts | rates | watch SECONDS | logout"),
              std::string::npos)
        << usage();
}

TEST(ProbeLines, ValuesReadBackAsWritten) {
    EXPECT_EQ(value(std::string_view("EURUSD")), "EURUSD");
    EXPECT_EQ(value(std::string_view("")), "\"\"");
    EXPECT_EQ(value(std::string_view("a b")), "\"a b\"");
    EXPECT_EQ(value(std::string_view("x=\"1\"\\\n")), "\"x=\\\"1\\\"\\\\\\n\"");
    EXPECT_EQ(value(std::string_view("\x01")), "\"\\u0001\"");
    EXPECT_EQ(value(0.7f), "0.7");
    EXPECT_EQ(value(1.1), "1.1");
    EXPECT_EQ(value(int64_t{-5}), "-5");

    MODUserAccount a;
    a.accCode = "A 1=\"x\"";
    a.riskPercent = 0.7f;
    a.tradeMarketName = "";
    const auto fields = fieldsOf(accountLine(a));
    EXPECT_EQ(fields.at("accCode"), a.accCode);
    EXPECT_EQ(fields.at("riskPercent"), "0.7");
    EXPECT_EQ(fields.at("tradeMarketName"), "");
    EXPECT_EQ(fields.size(), 28u);  // every field of the record

    MODSymbolInfo s;
    s.symbolCode = "EURUSD";
    s.decimal = 5;
    s.bid = 1.1;
    s.ask = 1.10021;
    s.lastTime = "2026-01-05 10:00:00";
    EXPECT_EQ(quoteLine(s), "quote EURUSD 1.10000 1.10021 2026-01-05 10:00:00");
    EXPECT_EQ(fieldsOf(symbolLine(s)).size(), 50u);
    MODCERInfo r;
    r.currencyBase = "JPY";
    r.currencyExchange = "USD";
    r.exchangeRate = 0.00666667;
    EXPECT_EQ(rateLine(r), "rate JPY_USD 0.00666667");
    EXPECT_EQ(failLine("login", "", ""), "login fail \"\"");
    EXPECT_EQ(failLine("", "1001", "MA-账户 或密码错误"), "fail 1001 MA-账户 或密码错误");
}

namespace {

class ProbeRun : public ::testing::Test {
  protected:
    void run(std::vector<std::string> commands, double timeout = 30,
             const std::string& password = "123456") {
        std::vector<std::string> args = {"--login",   sim.realLoginUrl(),     "--user",
                                         "1001",      "--password",           password,
                                         "--timeout", std::to_string(timeout)};
        args.insert(args.end(), commands.begin(), commands.end());
        probe = std::make_unique<Probe>(parsed(args), [this](const std::string& line) {
            lines.push_back(line);
            if (line == "login ok" && onLogin) onLogin();
        });
        probe->start();
    }
    bool waitFor(const std::function<bool()>& pred) { return time.runUntil(pred); }
    size_t count(const std::string& prefix) { return kinds(lines, prefix).size(); }

    kavtest::VirtualTime time;
    DealerSim sim;
    std::vector<std::string> lines;
    std::function<void()> onLogin;
    std::unique_ptr<Probe> probe;
};

}  // namespace

TEST_F(ProbeRun, LogsInListsAndWatches) {
    run({"symbols", "accounts", "rates", "watch", "5", "logout"});
    ASSERT_TRUE(waitFor([&] { return count("ok") == 3; }));
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
              (std::vector<std::string>{"status 5", "status 1", "login started", "status 2"}));
    ASSERT_EQ(count("login ok"), 1u);
    EXPECT_EQ(lines[std::find(lines.begin(), lines.end(), "login ok") - lines.begin() - 1],
              "status 6");

    const auto symbols = kinds(lines, "symbol ");
    ASSERT_EQ(symbols.size(), 4u);
    const auto eurusd = fieldsOf(symbols[0]);
    EXPECT_EQ(eurusd.at("symbolCode"), "EURUSD");
    EXPECT_EQ(eurusd.at("decimal"), "5");
    EXPECT_EQ(eurusd.at("accCurrency"), "USD");
    EXPECT_EQ(eurusd.at("symbolName"), "欧元美元");
    const auto accounts = kinds(lines, "account ");
    ASSERT_EQ(accounts.size(), 1u);
    EXPECT_EQ(fieldsOf(accounts[0]).at("accId"), "1001");
    EXPECT_EQ(fieldsOf(accounts[0]).at("riskType"), "2");
    EXPECT_EQ(count("rate "), 3u);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "rate JPY_USD 0.00666667"), lines.end());

    // Quotes print while watching; the watch ends on the clock.
    sim.tick(1, "XAUUSD");
    ASSERT_TRUE(waitFor([&] { return count("quote ") == 1; }));
    const auto quote = split(kinds(lines, "quote ")[0]);
    ASSERT_EQ(quote.size(), 6u);  // the time holds a blank
    EXPECT_EQ(quote[1], "XAUUSD");
    EXPECT_EQ(quote[2].size() - quote[2].find('.'), 3u);  // two decimals
    time.advance(4.9);
    EXPECT_EQ(count("ok"), 3u);
    time.advance(0.1);
    ASSERT_TRUE(waitFor([&] { return probe->finished(); }));
    EXPECT_EQ(probe->exitCode(), kExitOk);
    EXPECT_EQ(lines.back(), "ok");
    EXPECT_EQ(count("ok"), 5u);

    // Nothing is printed once the probe is done.
    const size_t before = lines.size();
    sim.tick(1);
    time.advance(5);
    time.drain();
    EXPECT_EQ(lines.size(), before);
}

TEST_F(ProbeRun, FailedAndLateCommandsAreReportedOnceAndTheRunGoesOn) {
    // Faults for the commands only, armed once the login is through.
    onLogin = [&] {
        sim.fail("2001", "7777", "模拟故障");
        sim.dropReply("2009");
        sim.holdReply("2029");
    };
    run({"accounts", "symbols", "rates"}, 6);
    ASSERT_TRUE(waitFor([&] { return count("fail 7777") == 1; }));
    EXPECT_EQ(lines.back(), "fail 7777 模拟故障");
    ASSERT_EQ(sim.waitForPackages("2009", 2).size(), 2u);

    // The symbol query has no answer: the probe gives up on it and goes on.
    time.advance(6);
    EXPECT_EQ(lines.back(), "fail timeout no result within 6 s");
    ASSERT_EQ(sim.waitForPackages("2029", 2).size(), 2u);
    // Its own time-out, later, is not reported a second time.
    time.advance(4);
    EXPECT_EQ(count("fail"), 2u);

    sim.releaseHeld();
    ASSERT_TRUE(waitFor([&] { return probe->finished(); }));
    EXPECT_EQ(lines.back(), "ok");
    EXPECT_EQ(probe->exitCode(), kExitFailed);
}

namespace {

// Runs bin/kav-probe; its output (both streams) and exit status.
// Runs the probe; its output lines with the log lines (standard error) or
// without them, which may come in any order against the output.
std::pair<int, std::string> runProgram(const std::string& arguments, bool withLog = true) {
    const std::string command = (kavtest::binDir() / "kav-probe").string() + " " + arguments +
                                (withLog ? " 2>&1" : " 2>/dev/null");
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {-1, ""};
    std::string output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

}  // namespace

TEST(ProbeProgram, ExitStatuses) {
    auto [code, output] = runProgram("--user 1001 --password 123456 symbols");
    EXPECT_EQ(code, kExitUsage);
    EXPECT_NE(output.find("kav-probe: --login is required\nusage: kav-probe"), std::string::npos)
        << output;
    std::tie(code, output) = runProgram("--help");
    EXPECT_EQ(code, kExitOk);
    EXPECT_EQ(output.rfind("usage: kav-probe", 0), 0u) << output;

    DealerSim sim;
    std::tie(code, output) =
        runProgram("--login " + sim.realLoginUrl() + " --user 1001 --password 654321 accounts");
    EXPECT_EQ(code, kExitFailed);
    EXPECT_NE(output.find("login fail 1001 MA-账户或密码错误\n"), std::string::npos) << output;
    std::tie(code, output) = runProgram(
        "--login " + sim.realLoginUrl() + " --user 1001 --password 123456 accounts", false);
    EXPECT_EQ(code, kExitOk) << output;
    EXPECT_NE(output.find("\nlogin ok\naccount accCode=1001 "), std::string::npos) << output;
    EXPECT_EQ(output.substr(output.size() - 4), "\nok\n");
}

// The end of the process: the network thread may still be framing the close
// of a connection (the mask's random bytes come from OpenSSL) when main
// returns. Runs of a failed login, and of a login whose five connections are
// closed as the probe ends, many at once so that the threads interleave
// differently each time: every run ends by its own exit, with its status,
// never by a signal or a sanitizer report.
TEST(ProbeProgram, EveryRunEndsInOrderEvenWithConnectionsClosing) {
    DealerSim sim;
    const std::string program = (kavtest::binDir() / "kav-probe").string();
    const std::string url = sim.realLoginUrl();
    constexpr int kRuns = 200;
    constexpr int kAtOnce = 8;
    std::map<pid_t, bool> running;  // pid -> whether its login succeeds
    int started = 0, failedLogins = 0, goodLogins = 0;
    std::vector<std::string> abnormal;
    const auto start = [&](bool login) {
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            const char* password = login ? "123456" : "654321";
            execl(program.c_str(), program.c_str(), "--login", url.c_str(), "--user", "1001",
                  "--password", password, "accounts", static_cast<char*>(nullptr));
            _exit(127);
        }
        ASSERT_GT(pid, 0);
        running[pid] = login;
        ++started;
    };
    while (started < kRuns || !running.empty()) {
        while (started < kRuns && running.size() < kAtOnce)
            start(started % 4 == 3);  // one in four logs in
        int status = 0;
        const pid_t pid = waitpid(-1, &status, 0);
        ASSERT_GT(pid, 0) << std::strerror(errno);
        const bool login = running[pid];
        running.erase(pid);
        const int expected = login ? kExitOk : kExitFailed;
        if (!WIFEXITED(status))
            abnormal.push_back("signal " + std::to_string(WTERMSIG(status)));
        else if (WEXITSTATUS(status) != expected)
            abnormal.push_back("status " + std::to_string(WEXITSTATUS(status)));
        else
            ++(login ? goodLogins : failedLogins);
    }
    EXPECT_TRUE(abnormal.empty()) << abnormal.size() << " abnormal ends, the first: "
                                  << abnormal.front();
    EXPECT_EQ(failedLogins, kRuns * 3 / 4);
    EXPECT_EQ(goodLogins, kRuns / 4);
}

// ---- trading commands ---------------------------------------------------------

TEST(ProbeCommandLine, TradingCommandsAndTheirOptionalArguments) {
    const std::vector<std::string> base = {"--login", "ws://h/",    "--user",
                                           "1001",    "--password", "p"};
    const auto with = [&](std::vector<std::string> more) {
        auto args = base;
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    // Optional arguments are taken up to the next command or option.
    Options o = parsed(with({"buy", "EURUSD", "2", "5", "tickets", "history", "XAUUSD", "4", "-10",
                             "--debug", "limit", "EURUSD", "s", "1.2", "1", "1.25"}));
    ASSERT_EQ(o.steps.size(), 4u);
    EXPECT_EQ(o.steps[0].args, (std::vector<std::string>{"EURUSD", "2", "5"}));
    EXPECT_EQ(o.steps[1].name, "tickets");
    EXPECT_EQ(o.steps[2].args, (std::vector<std::string>{"XAUUSD", "4", "-10"}));
    EXPECT_TRUE(o.debug);
    EXPECT_EQ(o.steps[3].args, (std::vector<std::string>{"EURUSD", "s", "1.2", "1", "1.25"}));
    o = parsed(with({"sell", "EURUSD", "1", "5", "1.2", "1.0", "pending"}));
    EXPECT_EQ(o.steps[0].args.size(), 5u);
    EXPECT_EQ(o.steps[1].name, "pending");

    EXPECT_EQ(refusal(with({"buy", "EURUSD"})), "buy needs SYMBOL QTY [DEVIATION] [SL] [TP]");
    EXPECT_EQ(refusal(with({"buy", "EURUSD", "lots"})), "not a number: lots");
    EXPECT_EQ(refusal(with({"buy", "EURUSD", "1", "2.5"})), "not a whole number: 2.5");
    EXPECT_EQ(refusal(with({"close-symbol", "EURUSD", "x", "1"})), "the side is b or s, not x");
    EXPECT_EQ(refusal(with({"history", "XAUUSD", "minute"})), "not a whole number: minute");
    EXPECT_NE(
        usage().find(
            "cancel ORDER | tickets | positions | pending | closed | bulletins | history SYMBOL "
            "PERIOD [COUNT]"),
        std::string::npos)
        << usage();
}

TEST(ProbeLines, HistoryBar) {
    MODSymbolInfo bar;
    bar.symbolCode = "XAUUSD";
    bar.quotedTime = 1767600000;
    bar.priceClose = 2000.5;
    EXPECT_EQ(barLine(bar),
              "bar symbolCode=XAUUSD quotedTime=1767600000 priceOpen=0 priceHighest=0 "
              "priceLowest=0 priceClose=2000.5");
}

namespace {

// The lines a command printed: those after the previous result up to its
// own. Pushes print as they arrive, so a group also holds the push lines of
// its command or of the one before.
std::vector<std::vector<std::string>> resultsOf(const std::vector<std::string>& lines) {
    std::vector<std::vector<std::string>> results;
    std::vector<std::string> current;
    bool loggedIn = false;
    for (const auto& line : lines) {
        if (line == "login ok") {
            loggedIn = true;
            continue;
        }
        if (!loggedIn || line.rfind("status ", 0) == 0) continue;
        current.push_back(line);
        if (line == "ok" || line.rfind("fail ", 0) == 0) {
            results.push_back(std::move(current));
            current.clear();
        }
    }
    return results;
}

// A command's own lines: its record lines, which it prints all at once
// right before its result, and the result.
std::vector<std::string> own(const std::vector<std::string>& group, const std::string& kind) {
    std::vector<std::string> out;
    size_t start = group.size() - 1;
    while (start > 0 && group[start - 1].rfind(kind + " ", 0) == 0)
        --start;
    out.assign(group.begin() + static_cast<long>(start), group.end());
    return out;
}

}  // namespace

TEST_F(ProbeRun, TradesAndListsTheRecords) {
    run({"buy", "EURUSD", "2", "limit", "EURUSD", "b", "1.09", "1", "tickets", "pending",
         "positions"});
    ASSERT_TRUE(waitFor([&] { return probe->finished(); }));
    EXPECT_EQ(probe->exitCode(), kExitOk);
    auto results = resultsOf(lines);
    ASSERT_EQ(results.size(), 5u);
    EXPECT_EQ(results[0].back(), "ok");
    EXPECT_EQ(results[1].back(), "ok");
    // The order's pushes print too: the new ticket, its position and the account.
    const auto pushed = kinds(results[0], "ticket ").size() + kinds(results[1], "ticket ").size();
    EXPECT_EQ(pushed, 1u);
    EXPECT_GE(kinds(results[0], "account ").size() + kinds(results[1], "account ").size(), 1u);
    const auto tickets = own(results[2], "ticket");
    ASSERT_EQ(tickets.size(), 2u);
    const auto ticket = fieldsOf(tickets[0]);
    EXPECT_EQ(ticket.at("symbolCode"), "EURUSD");
    EXPECT_EQ(ticket.at("bsCode"), "b");
    EXPECT_EQ(ticket.at("quantityHold"), "2");
    const auto orders = own(results[3], "pending");
    ASSERT_EQ(orders.size(), 2u);
    const auto order = fieldsOf(orders[0]);
    EXPECT_EQ(order.at("orderPrice"), "1.09");
    EXPECT_EQ(order.at("limitType"), "3");
    const auto positions = own(results[4], "position");
    ASSERT_EQ(positions.size(), 2u);
    EXPECT_EQ(fieldsOf(positions[0]).at("quantityBuy"), "2");

    // A second session closes the ticket and cancels the order by number.
    lines.clear();
    run({"close",
         ticket.at("orderCode"),
         "2",
         "cancel",
         order.at("orderCode"),
         "tickets",
         "pending",
         "closed",
         "bulletins",
         "history",
         "XAUUSD",
         "4",
         "3",
         "buy",
         "EURUSD",
         "0.5",
         "close",
         "nope",
         "1",
         "cancel",
         "nope",
         "modify",
         "nope",
         "0",
         "0"});
    ASSERT_TRUE(waitFor([&] { return probe->finished(); }));
    EXPECT_EQ(probe->exitCode(), kExitFailed);
    results = resultsOf(lines);
    ASSERT_EQ(results.size(), 11u);
    EXPECT_EQ(results[0].back(), "ok");
    EXPECT_EQ(results[1].back(), "ok");
    EXPECT_EQ(own(results[2], "ticket"), std::vector<std::string>{"ok"});  // no tickets left
    EXPECT_EQ(own(results[3], "pending"),
              std::vector<std::string>{"ok"});  // no pending orders left
    const auto closed = own(results[4], "closed");
    ASSERT_EQ(closed.size(), 2u);
    EXPECT_EQ(fieldsOf(closed[0]).at("orderCode"), ticket.at("orderCode"));
    EXPECT_EQ(fieldsOf(closed[0]).at("bsCode"), "s");
    EXPECT_GE(own(results[5], "bulletin").size(), 2u);
    const auto bars = own(results[6], "bar");
    ASSERT_EQ(bars.size(), 4u);
    EXPECT_EQ(fieldsOf(bars[2]).at("symbolCode"), "XAUUSD");
    EXPECT_EQ(results[7].back(), "fail 10004 无效的单据数据");
    EXPECT_EQ(results[8].back(), "fail 10004 无效的单据数据");
    EXPECT_EQ(results[9].back(), "fail 10004 无效的单据信息");
    EXPECT_EQ(results[10].back(), "fail 10004 无效的商品代码");
    // The close and the cancel were pushed: the ticket gone, the order gone.
    const auto pushedTickets = kinds(lines, "ticket ");
    ASSERT_EQ(pushedTickets.size(), 1u);
    EXPECT_EQ(fieldsOf(pushedTickets[0]).at("quantityHold"), "0");
    EXPECT_EQ(kinds(lines, "closed ").size(), 2u);  // the push and the query
    const auto pushedOrders = kinds(lines, "pending ");
    ASSERT_EQ(pushedOrders.size(), 1u);
    EXPECT_EQ(fieldsOf(pushedOrders[0]).at("quantityOrder"), "0");
}

TEST_F(ProbeRun, ChangesThePasswordAndLogsOut) {
    run({"password", "123456", "654321", "1", "password", "wrong", "x", "1", "logout"});
    ASSERT_TRUE(waitFor([&] { return probe->finished(); }));
    EXPECT_EQ(probe->exitCode(), kExitFailed);
    const auto results = resultsOf(lines);
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[0].back(), "ok");
    EXPECT_EQ(results[1].back(), "fail 1003 原密码错误");
    EXPECT_EQ(results[2], (std::vector<std::string>{"logout", "ok"}));
    const auto changes = sim.packages(kavtest::SimService::Trade, "1009");
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].child("oldPWD"), "123456");
    EXPECT_EQ(changes[0].child("newPWD"), "654321");
    EXPECT_EQ(changes[1].child("oldPWD"), "wrong");

    // The new password is the one that logs in now.
    lines.clear();
    run({"accounts"}, 30, "654321");
    ASSERT_TRUE(waitFor([&] { return probe->finished(); }));
    EXPECT_EQ(probe->exitCode(), kExitOk);
}
