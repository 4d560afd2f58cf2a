#include "tools/kav-probe/Probe.h"

#include "platform/Strings.h"
#include "tools/kav-probe/ProbeCommands.h"
#include "tools/kav-probe/ProbeLines.h"

namespace kavprobe {

// ---- command line ----------------------------------------------------------

std::string usage() {
    std::string text =
        "usage: kav-probe --login URL --user U --password P [--debug] [--timeout S] [COMMAND]...\n"
        "commands:";
    for (const Command& c : commands()) {
        text += ' ';
        text += c.name;
        if (*c.arguments) {
            text += ' ';
            text += c.arguments;
        }
        text += " |";
    }
    text.pop_back();
    text.pop_back();
    return text;
}

std::variant<Options, std::string> parseArguments(const std::vector<std::string>& args) {
    Options options;
    bool haveLogin = false, haveUser = false, havePassword = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return options;
        }
        if (arg.rfind("--", 0) == 0) {
            const auto takeValue = [&](std::string& into) -> bool {
                if (i + 1 >= args.size()) return false;
                into = args[++i];
                return true;
            };
            if (arg == "--debug") {
                options.debug = true;
            } else if (arg == "--login") {
                if (!takeValue(options.loginUrl)) return "--login needs a URL";
                haveLogin = true;
            } else if (arg == "--user") {
                if (!takeValue(options.user)) return "--user needs a user id";
                haveUser = true;
            } else if (arg == "--password") {
                if (!takeValue(options.password)) return "--password needs a password";
                havePassword = true;
            } else if (arg == "--timeout") {
                std::string text;
                if (!takeValue(text) || (options.timeout = secondsValue(text)) <= 0)
                    return "--timeout needs a positive number of seconds";
            } else {
                return "unknown option " + arg;
            }
            continue;
        }
        const Command* command = findCommand(arg);
        if (!command) return "unknown command " + arg;
        Step step{arg, {}};
        for (size_t n = 0; n < command->argumentCount; ++n) {
            if (i + 1 >= args.size()) return arg + " needs " + command->arguments;
            step.args.push_back(args[++i]);
        }
        for (size_t n = 0; n < command->optionalCount && i + 1 < args.size(); ++n) {
            const std::string& next = args[i + 1];
            if (next.rfind("--", 0) == 0 || findCommand(next)) break;
            step.args.push_back(args[++i]);
        }
        if (const std::string why = command->check(step.args); !why.empty()) return why;
        options.steps.push_back(std::move(step));
    }
    if (!haveLogin || options.loginUrl.empty()) return "--login is required";
    if (!haveUser || options.user.empty()) return "--user is required";
    if (!havePassword) return "--password is required";
    return options;
}

// ---- the delegate: one line per call --------------------------------------------

class Probe::Delegate : public WSPushMessage {
  public:
    explicit Delegate(Probe& probe) : probe_(probe) {}

    void onNetworkStatus(int32_t status) override {
        probe_.print(platform::stringf("status %d", status));
    }
    void onLogin() override { probe_.print("login started"); }
    void onLogout() override { probe_.print("logout"); }
    void onSameUserLogin() override { probe_.print("same-user-login"); }
    void onTerminal() override { probe_.print("terminal"); }
    void onNetworkUnready() override { probe_.print("network-unready"); }
    void onQuotedReceived(const MODList<MODSymbolInfo>& symbols) override {
        each(symbols, quoteLine);
    }
    void onSymbolChange(const MODList<MODSymbolInfo>& symbols) override {
        each(symbols, symbolLine);
    }
    void onAccountChange(const MODList<MODUserAccount>& accounts) override {
        each(accounts, accountLine);
    }
    void onExchangeRateChange(const MODList<MODCERInfo>& rates) override { each(rates, rateLine); }
    void onHoldBillChange(const MODList<MODHoldBill>& tickets) override {
        each(tickets, ticketLine);
    }
    void onLimitBillChange(const MODList<MODLimitBill>& orders) override {
        each(orders, pendingLine);
    }
    void onHoldPositionChange(const MODList<MODHoldPosition>& positions) override {
        each(positions, positionLine);
    }
    void onCloseBillChange(const MODList<MODCloseBill>& closed) override {
        each(closed, closedLine);
    }
    void onBulletinPush(const MODList<MODBulletin>& bulletins) override {
        each(bulletins, bulletinLine);
    }
    void onRiskChange(const std::vector<MODList<MODRiskInfo>>& risks) override {
        for (const auto& list : risks)
            each(list, riskLine);
    }

  private:
    template <typename List, typename Printer>
    void each(const List& records, Printer printer) {
        for (const auto& record : records)
            probe_.print(printer(*record));
    }

    Probe& probe_;
};

// ---- the run --------------------------------------------------------------------

Probe::Probe(Options options, LineSink sink)
    : options_(std::move(options)),
      sink_(std::move(sink)),
      sdk_(std::make_shared<KAVBizSDK>()),
      delegate_(std::make_shared<Delegate>(*this)) {
    sdk_->setDelegate(delegate_);
    sdk_->setIsDebug(options_.debug);
}

Probe::~Probe() = default;

template <typename F>
auto Probe::whileStep(F f) {
    return
        [this, weak = std::weak_ptr<int>(life_), step = step_, f = std::move(f)](auto&&... args) {
            if (weak.expired() || finished_ || step_ != step) return;
            f(std::forward<decltype(args)>(args)...);
        };
}

void Probe::print(const std::string& line) {
    if (!finished_ && sink_) sink_(line);
}

void Probe::start() {
    const std::string giveUp = platform::stringf("no result within %g s", options_.timeout);
    deadline_ = platform::Timer::schedule(options_.timeout, false, whileStep([this, giveUp] {
                                              print(failLine("login", "timeout", giveUp));
                                              finish(kExitFailed);
                                          }));
    sdk_->loginWithUserId(options_.user, options_.password, "", {options_.loginUrl},
                          whileStep([this] {
                              print("login ok");
                              endStep(true);
                          }),
                          whileStep([this](const std::string& code, const std::string& message) {
                              print(failLine("login", code, message));
                              finish(kExitFailed);
                          }));
}

std::function<void(const std::vector<std::string>&)> Probe::succeed() {
    return whileStep([this](const std::vector<std::string>& lines) {
        for (const auto& line : lines)
            print(line);
        print("ok");
        endStep(true);
    });
}

std::function<bool()> Probe::stillRunning() {
    return [this, weak = std::weak_ptr<int>(life_), step = step_] {
        return !weak.expired() && !finished_ && step_ == step;
    };
}

KAVFailureBlock Probe::fail() {
    return whileStep([this](const std::string& code, const std::string& message) {
        print(failLine("", code, message));
        endStep(false);
    });
}

void Probe::endStep(bool ok) {
    deadline_.invalidate();
    commandTimer_.invalidate();
    if (!ok) anyFailed_ = true;
    ++step_;
    // The next command starts from the run loop, not from inside the block
    // that ended this one.
    platform::RunLoop::main().post([this, weak = std::weak_ptr<int>(life_)] {
        if (!weak.expired()) runStep();
    });
}

void Probe::runStep() {
    if (finished_) return;
    if (step_ > options_.steps.size()) {
        finish(anyFailed_ ? kExitFailed : kExitOk);
        return;
    }
    const Step& step = options_.steps[step_ - 1];
    const Command* command = findCommand(step.name);
    if (command->bounded) {
        const std::string giveUp = platform::stringf("no result within %g s", options_.timeout);
        deadline_ = platform::Timer::schedule(options_.timeout, false, whileStep([this, giveUp] {
                                                  print(failLine("", "timeout", giveUp));
                                                  endStep(false);
                                              }));
    }
    command->run(*this, step.args);
}

void Probe::finish(int code) {
    if (finished_) return;
    deadline_.invalidate();
    commandTimer_.invalidate();
    exitCode_ = code;
    finished_ = true;
    // Nothing more to print: the channels go quiet.
    sdk_->stopConnect();
}

}  // namespace kavprobe
