// The login chain against the simulated dealer: the order of its requests
// and status reports, one result per login, each stage's failure, the open
// guards on the virtual clock, compressed quotes, and logins that replace
// one another.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/Log.h"
#include "tests/support/DealerSim.h"
#include "tests/support/ServiceTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace kavtest;

namespace {

// Records every call in one list, so that the order across kinds shows.
struct LoginDelegate : WSPushMessage {
    void onNetworkStatus(int32_t status) override {
        events.push_back("status " + std::to_string(status));
        statuses.push_back(status);
    }
    void onLogin() override { events.push_back("onLogin"); }
    void onQuotedReceived(const MODList<MODSymbolInfo>& symbols) override {
        for (const auto& s : symbols)
            quoted.push_back(s->symbolCode);
    }
    std::vector<std::string> events;
    std::vector<int> statuses;
    std::vector<std::string> quoted;
};

class LoginChainTest : public ::testing::Test {
  protected:
    void SetUp() override { sdk->setDelegate(delegate); }

    DealerSim& dealer(bool compressed = false) {
        DealerSimOptions options;
        options.compressed = compressed;
        sim = std::make_unique<DealerSim>(options);
        return *sim;
    }
    void login(const std::string& password = "123456", const std::string& vcode = "") {
        sdk->loginWithUserId(
            "1001", password, vcode, {sim->realLoginUrl()},
            [this] {
                ++successes;
                delegate->events.push_back("success");
            },
            [this](const std::string& code, const std::string& message) {
                failures.emplace_back(code, message);
            });
    }
    bool waitForResult() {
        return time.runUntil([&] { return successes + failures.size() > 0; });
    }
    std::vector<std::string> sent(std::optional<SimService> service = std::nullopt,
                                  const std::string& event = "") {
        std::vector<std::string> out;
        for (const auto& p : sim->packages(service, event)) {
            EXPECT_EQ(p.error, "") << p.text;
            out.push_back(p.service + " " + p.event);
        }
        return out;
    }

    VirtualTime time;
    platform::LogCapture logs;
    std::unique_ptr<DealerSim> sim;
    std::shared_ptr<LoginDelegate> delegate = std::make_shared<LoginDelegate>();
    std::shared_ptr<KAVBizSDK> sdk = std::make_shared<KAVBizSDK>();
    int successes = 0;
    std::vector<std::pair<std::string, std::string>> failures;
};

using Failure = std::pair<std::string, std::string>;

}  // namespace

TEST_F(LoginChainTest, LogsInToEveryServiceInOrderAndFillsTheCaches) {
    dealer();
    login("123456", "V7");
    ASSERT_TRUE(waitForResult());
    EXPECT_EQ(failures, std::vector<Failure>{});
    EXPECT_EQ(successes, 1);

    EXPECT_EQ(sent(),
              (std::vector<std::string>{"login 1003", "trade 1005", "trade 2001", "trade 2009",
                                        "trade 2029", "quote 1005", "msg 1005", "history 1005"}));
    for (const auto& p : sim->packages()) {
        EXPECT_EQ(p.enciphered, p.service == "login" || p.service == "trade" || p.service == "msg")
            << p.service;
        if (p.event == "1003" || p.event == "1005") {
            EXPECT_EQ(p.data("vcode"), "V7") << p.service;
        }
    }
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{"status 5", "status 1", "onLogin", "status 2",  // login
                                        "status 1", "status 2",                         // trading
                                        "status 1", "status 2",                         // quotes
                                        "status 1", "status 2",                         // messages
                                        "status 1", "status 2",                         // history
                                        "status 6", "success"}));

    // Each service holds its own token; the login service is closed.
    std::set<std::string> tokens;
    for (const char* name :
         {KAVBizSDK::kWSTrader, KAVBizSDK::kWSQuoted, KAVBizSDK::kWSMSG, KAVBizSDK::kWSHisQuoted}) {
        const auto channel = sdk->channelNamed(name);
        ASSERT_NE(channel, nullptr) << name;
        EXPECT_EQ(channel->Status(), webSocket::kStatusOpen) << name;
        EXPECT_EQ(channel->UID(), "1001");
        tokens.insert(channel->TOKEN());
    }
    EXPECT_EQ(tokens.size(), 4u);
    EXPECT_EQ(tokens.count(""), 0u);
    EXPECT_EQ(sdk->channelNamed(KAVBizSDK::kWSLogin)->Status(), webSocket::kStatusClosed);

    const auto accounts = sdk->getAccounts();
    ASSERT_EQ(accounts.size(), 1u);
    EXPECT_EQ(accounts[0]->accId, 1001);
    EXPECT_EQ(accounts[0]->riskType, "2");
    std::vector<std::string> codes;
    for (const auto& s : sdk->getSymbolsWith(-1)) {
        codes.push_back(s->symbolCode);
        EXPECT_EQ(s->accCurrency, "USD");
    }
    EXPECT_EQ(codes, (std::vector<std::string>{"EURUSD", "USDJPY", "XAUUSD", "US30"}));
    EXPECT_EQ(sdk->getSymbolWithId(2)->symbolCode, "USDJPY");
    EXPECT_NEAR(sdk->getExchangeRateWith("JPY", "USD"), 0.00666667, 1e-12);
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("USD", "EUR"), 1.0);

    // Quotes now reach the cached symbols.
    const auto quotes = sim->tick(1, "EURUSD");
    ASSERT_TRUE(time.runUntil([&] { return !delegate->quoted.empty(); }));
    EXPECT_EQ(delegate->quoted, std::vector<std::string>{"EURUSD"});
    const auto eurusd = sdk->getSymbolWith("EURUSD");
    EXPECT_NEAR(eurusd->bid, std::stod(quotes["EURUSD"]["bid"].get<std::string>()), 1e-9);
    EXPECT_NEAR(eurusd->ask, std::stod(quotes["EURUSD"]["ask"].get<std::string>()), 1e-9);
}

namespace {

struct StageCase {
    const char* name;
    const char* event;
    SimService service;
    const char* prefix;
};

void PrintTo(const StageCase& c, std::ostream* os) {
    *os << c.name;
}

class LoginStageFailure : public LoginChainTest, public ::testing::WithParamInterface<StageCase> {};

}  // namespace

TEST_P(LoginStageFailure, ReportsOnceWithTheStagePrefix) {
    const StageCase& c = GetParam();
    SimFault fault;
    fault.event = c.event;
    fault.service = c.service;
    fault.retCode = "7777";
    fault.message = "模拟故障";
    dealer().addFault(fault);
    login();
    ASSERT_TRUE(waitForResult());
    // Whatever time-outs were still to come, nothing more is reported.
    time.advance(30);
    EXPECT_EQ(failures, (std::vector<Failure>{{"7777", std::string(c.prefix) + "模拟故障"}}));
    EXPECT_EQ(successes, 0);
    EXPECT_EQ(std::count(delegate->statuses.begin(), delegate->statuses.end(), 6), 0);
    // The failing request went out once, and the chain went no further.
    EXPECT_EQ(sent(c.service, c.event).size(), 1u);
    if (c.service != SimService::History) {
        EXPECT_TRUE(sent(SimService::History).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stages, LoginStageFailure,
    ::testing::Values(StageCase{"Login", "1003", SimService::Login, "MA-"},
                      StageCase{"Trading", "1005", SimService::Trade, "TR-"},
                      StageCase{"Accounts", "2001", SimService::Trade, "QA-"},
                      StageCase{"Symbols", "2009", SimService::Trade, "QS-"},
                      StageCase{"Rates", "2029", SimService::Trade, "QC-"},
                      StageCase{"Quotes", "1005", SimService::Quote, ""},
                      StageCase{"Messages", "1005", SimService::Message, "MS-"},
                      StageCase{"History", "1005", SimService::History, "HS-"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoginChainTest, CompressedQuotesNeedNoQuoteLogin) {
    dealer(true);
    login();
    ASSERT_TRUE(waitForResult());
    EXPECT_EQ(successes, 1);
    EXPECT_EQ(sent(),
              (std::vector<std::string>{"login 1003", "trade 1005", "trade 2001", "trade 2009",
                                        "trade 2029", "msg 1005", "history 1005"}));
    const auto quotes = sdk->channelNamed(KAVBizSDK::kWSQuoted);
    EXPECT_EQ(quotes->WSProtocol(), 1);
    EXPECT_EQ(quotes->TOKEN(), "");
    // The compressed service's own status reports stay away from the delegate.
    EXPECT_EQ(delegate->statuses, (std::vector<int>{5, 1, 2, 1, 2, 1, 2, 1, 2, 6}));

    // Its lines arrive as quotes of the cached symbols.
    const auto stepped = sim->tick(1, "USDJPY");
    ASSERT_TRUE(time.runUntil([&] { return !delegate->quoted.empty(); }));
    EXPECT_EQ(delegate->quoted, std::vector<std::string>{"USDJPY"});
    EXPECT_NEAR(sdk->getSymbolWith("USDJPY")->priceCurrent,
                std::stod(stepped["USDJPY"]["priceCurrent"].get<std::string>()), 1e-9);
}

namespace {

struct GuardCase {
    const char* name;
    SimService service;
    const char* channel;
    bool refuse = false;  // the service refuses connections instead of stalling the handshake
};

void PrintTo(const GuardCase& c, std::ostream* os) {
    *os << c.name;
}

class LoginOpenGuard : public LoginChainTest, public ::testing::WithParamInterface<GuardCase> {};

}  // namespace

TEST_P(LoginOpenGuard, FiresAfterTenSecondsAndTheLateChannelClosesItself) {
    const GuardCase& c = GetParam();
    DealerSim& d = dealer(c.service == SimService::CompressedQuote);
    if (c.refuse) {
        d.refuseConnections(c.service, -1);
    } else {
        d.stallHandshakes(c.service, -1);
    }
    sdk->setTimeOut(30);  // the guard does not follow the channels' time-out
    login();
    ASSERT_TRUE(time.runUntil([&] { return sdk->channelNamed(c.channel) != nullptr; }));
    time.advance(9.9);
    EXPECT_TRUE(failures.empty());
    time.advance(0.1);
    EXPECT_EQ(failures, (std::vector<Failure>{{"", ""}}));

    // The channel keeps trying on its own; once it gets through, its login
    // is over, so it closes itself and logs in to nothing. An attempt still
    // on its way when the faults end is answered over the network, and only
    // then is the next one timed: the clock moves a second at a time.
    sim->clearFaults();
    const std::string closing = std::string(c.channel) + " - 关闭连接";
    bool closed = false;
    for (int second = 0; second < 40 && !closed; ++second) {
        time.advance(1);
        closed = time.runUntil([&] { return logs.contains(closing); }, 0.1);
    }
    ASSERT_TRUE(closed);
    EXPECT_EQ(sdk->channelNamed(c.channel)->Status(), webSocket::kStatusClosed);
    EXPECT_TRUE(sent(c.service).empty());
    if (c.service != SimService::History) {
        EXPECT_TRUE(sent(SimService::Message).empty());
    }
    EXPECT_EQ(failures.size(), 1u);
    EXPECT_EQ(successes, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Stages, LoginOpenGuard,
    ::testing::Values(GuardCase{"Login", SimService::Login, KAVBizSDK::kWSLogin},
                      GuardCase{"LoginRefused", SimService::Login, KAVBizSDK::kWSLogin, true},
                      GuardCase{"Trading", SimService::Trade, KAVBizSDK::kWSTrader},
                      GuardCase{"Quotes", SimService::Quote, KAVBizSDK::kWSQuoted},
                      GuardCase{"CompressedQuotes", SimService::CompressedQuote,
                                KAVBizSDK::kWSQuoted},
                      GuardCase{"Messages", SimService::Message, KAVBizSDK::kWSMSG},
                      GuardCase{"MessagesRefused", SimService::Message, KAVBizSDK::kWSMSG, true},
                      GuardCase{"History", SimService::History, KAVBizSDK::kWSHisQuoted}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LoginChainTest, ALoginReplyWithoutItsDataFailsAtOnce) {
    // Success, but no session and no addresses: there is nowhere to go on to.
    dealer().replyData("1003", SimJson::object());
    login();
    ASSERT_TRUE(waitForResult());
    EXPECT_EQ(failures, (std::vector<Failure>{{"1", "MA-登录应答无法读取"}}));
    EXPECT_EQ(sdk->channelNamed(KAVBizSDK::kWSTrader), nullptr);
    EXPECT_EQ(sdk->channelNamed(KAVBizSDK::kWSLogin)->Status(), webSocket::kStatusClosed);
    time.advance(30);
    EXPECT_EQ(failures.size(), 1u);

    // An empty compressed quote address is no address: the JSON quote service serves.
    sim->replyData("1003", SimJson{{"new_quotedproxy", ""}}, true);
    failures.clear();
    login();
    ASSERT_TRUE(waitForResult());
    EXPECT_EQ(failures, std::vector<Failure>{});
    EXPECT_EQ(sdk->channelNamed(KAVBizSDK::kWSQuoted)->WSProtocol(), 0);
    EXPECT_EQ(sent(SimService::Quote, "1005").size(), 1u);
}

TEST_F(LoginChainTest, NoHistoryAddressFailsTheLogin) {
    dealer().omitHistoryAddress(true);
    login();
    ASSERT_TRUE(waitForResult());
    time.advance(30);
    EXPECT_EQ(failures, (std::vector<Failure>{{"1", "历史行情服务地址无效"}}));
    EXPECT_TRUE(logs.contains("历史行情服务地址无效"));
    EXPECT_EQ(sdk->channelNamed(KAVBizSDK::kWSHisQuoted), nullptr);
    EXPECT_EQ(std::count(delegate->statuses.begin(), delegate->statuses.end(), 6), 0);
}

TEST_F(LoginChainTest, NoLoginAddressFailsAtOnce) {
    for (const std::vector<std::string>& urls :
         {std::vector<std::string>{}, std::vector<std::string>{""}}) {
        std::vector<Failure> got;
        sdk->loginWithUserId(
            "1001", "123456", "", urls, [] { FAIL(); },
            [&](const std::string& code, const std::string& message) {
                got.emplace_back(code, message);
            });
        EXPECT_EQ(got, (std::vector<Failure>{{"1", "MA-登录服务地址无效"}}));
    }
    EXPECT_TRUE(delegate->events.empty());
    EXPECT_EQ(sdk->channelNamed(KAVBizSDK::kWSLogin), nullptr);
}

TEST_F(LoginChainTest, AReplacedLoginReportsNothingAndDoesNotDisturbItsSuccessor) {
    dealer().dropReply("2001");
    // The first login waits for an account reply that never comes.
    login();
    ASSERT_TRUE(time.runUntil([&] {
        const auto trader = sdk->channelNamed(KAVBizSDK::kWSTrader);
        return trader && !trader->TOKEN().empty() && trader->pendingCount() == 1;
    }));
    const auto firstTrader = sdk->channelNamed(KAVBizSDK::kWSTrader);
    time.advance(6);

    // A second login replaces it and stops at its symbol query (held).
    sim->holdReply("2009");
    int secondSuccesses = 0;
    std::vector<Failure> secondFailures;
    sdk->loginWithUserId(
        "1001", "123456", "", {sim->realLoginUrl()}, [&] { ++secondSuccesses; },
        [&](const std::string& c, const std::string& m) { secondFailures.emplace_back(c, m); });
    // Its accounts are in: the symbol query is out.
    ASSERT_TRUE(time.runUntil([&] {
        const auto trader = sdk->channelNamed(KAVBizSDK::kWSTrader);
        return trader != firstTrader && !sdk->getAccounts().empty() && trader->pendingCount() == 1;
    }));

    // The first login's account query times out now: it must reach no one.
    time.advance(5);
    EXPECT_TRUE(failures.empty());
    EXPECT_TRUE(secondFailures.empty());

    ASSERT_EQ(sim->waitForPackages("2009", 1).size(), 1u);  // and held there
    sim->releaseHeld();
    ASSERT_TRUE(time.runUntil([&] { return secondSuccesses + secondFailures.size() > 0; }));
    EXPECT_EQ(secondSuccesses, 1);
    EXPECT_TRUE(secondFailures.empty());
    EXPECT_EQ(successes, 0);
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(sent(SimService::Trade, "2001").size(), 2u);
}
