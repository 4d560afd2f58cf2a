// A channel against the simulated dealer: login and proxy login by hand, a
// list query enciphered, then the dealer drops the connection and the
// channel reopens and passes its token check.
#include <gtest/gtest.h>

#include "Core/Biz/IBiz.h"
#include "Core/SDK/KAVBizSDK.h"
#include "tests/support/DealerLogin.h"
#include "tests/support/ServiceTestSupport.h"
#include "tests/support/DealerSim.h"
#include "tests/support/TestSupport.h"

using namespace kavtest;

namespace {

// Sends the package and waits (real time, bounded) for its reply's data.
platform::Json request(VirtualTime& time, webSocket& channel, KAVPackage package) {
    std::optional<platform::Json> data;
    std::string failure;
    channel.send(
        package, [&](const KAVPackage& reply) { data = reply.kavData(); },
        [&](const std::string& code, const std::string& message) {
            failure = code + " " + message;
        });
    EXPECT_TRUE(time.runUntil([&] { return data || !failure.empty(); })) << package.event();
    EXPECT_EQ(failure, "");
    return data.value_or(platform::Json::object());
}

bool openChannel(VirtualTime& time, KAVBizSDK& sdk, webSocket& channel, const std::string& url) {
    bool opened = false;
    channel.open(
        url, [&] { opened = true; }, sdk.pushBlock());
    return time.runUntil([&] { return opened; });
}

}  // namespace

TEST(ChannelAgainstDealer, QueriesEncipheredThenReopensAndPassesItsTokenCheck) {
    const size_t baseTimers = platform::RunLoop::main().timerCount();
    VirtualTime time;
    DealerSim sim;
    auto delegate = std::make_shared<RecordingDelegate>();
    auto sdk = std::make_shared<KAVBizSDK>();
    sdk->setDelegate(delegate);

    auto login = sdk->createWSWithKey(KAVBizSDK::kWSLogin, 0, 10);
    ASSERT_TRUE(openChannel(time, *sdk, *login, sim.loginUrl()));
    KAVPackage hello = IBiz::makePackage("1003");
    hello.addValue("1001", "uid");
    hello.addValue("123456", "pwd");
    hello.addValue("", "vcode");
    hello.addValue("1", "userType");
    const std::string sid = platform::jsonString(request(time, *login, hello), "sid");
    ASSERT_FALSE(sid.empty());
    login->close();

    auto trade = sdk->createWSWithKey(KAVBizSDK::kWSTrader, 0, 10);
    ASSERT_TRUE(openChannel(time, *sdk, *trade, sim.serviceUrl(SimService::Trade)));
    EXPECT_EQ(delegate->statuses, (std::vector<int>{1, 2, 1, 2}));
    trade->setSID(sid);
    trade->setUID("1001");
    trade->setPWD("123456");
    KAVPackage proxy = IBiz::makePackage("1005");
    for (const auto& [key, value] :
         std::vector<std::pair<std::string, std::string>>{{"sid", sid},
                                                          {"uid", "1001"},
                                                          {"userId", "1001"},
                                                          {"pwd", "123456"},
                                                          {"vcode", ""},
                                                          {"userType", "1"}})
        proxy.addValue(value, key);
    trade->setTOKEN(platform::jsonString(request(time, *trade, proxy), "token"));
    ASSERT_FALSE(trade->TOKEN().empty());

    // The list query goes out enciphered and its reply comes back parsed.
    const auto query = [&] {
        std::vector<std::string> ids;
        std::string failure;
        auto biz = std::make_shared<AccountIdsBiz>(trade);
        biz->loadDataWithSID(
            sid, "1001", [&](const std::vector<std::string>& r) { ids = r; },
            [&](const std::string& code, const std::string& m) { failure = code + " " + m; });
        EXPECT_TRUE(time.runUntil([&] { return !ids.empty() || !failure.empty(); }));
        EXPECT_EQ(failure, "");
        return ids;
    };
    EXPECT_EQ(query(), std::vector<std::string>{"1001"});
    const auto queries = sim.packages(SimService::Trade, "2001");
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_TRUE(queries[0].enciphered);
    EXPECT_EQ(queries[0].error, "");

    // The dealer drops the connection; five seconds later the channel is
    // back and its token passes.
    delegate->statuses.clear();
    sim.closeConnections(SimService::Trade, 1001, "restart");
    ASSERT_TRUE(time.runUntil([&] { return delegate->saw(4); }));
    EXPECT_EQ(trade->Status(), webSocket::kStatusClosed);
    time.advance(5);
    ASSERT_TRUE(time.runUntil([&] { return delegate->saw(9) || delegate->saw(10); }));
    EXPECT_EQ(delegate->statuses, (std::vector<int>{4, 1, 2, 8, 9}));
    const auto checks = sim.packages(SimService::Trade, "2019");
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_TRUE(checks[0].enciphered);
    EXPECT_EQ(checks[0].data("token"), trade->TOKEN());
    EXPECT_EQ(checks[0].error, "");
    EXPECT_EQ(query(), std::vector<std::string>{"1001"});

    // Once the tokens are invalidated, the next reopen is refused for good.
    sim.invalidateTokens("1001");
    delegate->statuses.clear();
    sim.closeConnections(SimService::Trade);
    ASSERT_TRUE(time.runUntil([&] { return delegate->saw(4); }));
    time.advance(5);
    ASSERT_TRUE(time.runUntil([&] { return delegate->saw(10); }));
    EXPECT_EQ(delegate->statuses, (std::vector<int>{4, 1, 2, 8, 10}));
    EXPECT_EQ(trade->Status(), webSocket::kStatusClosed);

    // Nothing of the session is left on the run loop once it is dropped.
    sdk.reset();
    trade.reset();
    login.reset();
    EXPECT_TRUE(
        time.runUntil([&] { return platform::RunLoop::main().timerCount() == baseTimers; }));
}

// With the shortest time-out a setting allows, a dealer that refuses the
// reopens for a while is ridden out as with any other: the refused attempts
// are retried, and none is reported as an open time-out, which ends the
// session.
TEST(ChannelAgainstDealer, RefusedReopensAreRetriedWithoutAnOpenTimeOut) {
    VirtualTime time;
    DealerSim sim;
    auto delegate = std::make_shared<RecordingDelegate>();
    auto sdk = std::make_shared<KAVBizSDK>();
    sdk->setTimeOut(5);
    ASSERT_TRUE(logInAtDealer(time, *sdk, sim));
    sdk->setDelegate(delegate);
    const auto trade = sdk->channelNamed(KAVBizSDK::kWSTrader);
    ASSERT_TRUE(trade);

    sim.refuseConnections(SimService::Trade, 2);
    sim.closeConnections(SimService::Trade, 1001, "restart");
    ASSERT_TRUE(time.runUntil([&] { return delegate->saw(4); }));
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        time.advance(5);
        // Refused: the attempt has ended and the next one is scheduled.
        ASSERT_TRUE(time.runUntil([&] { return trade->reopenScheduled(); }));
    }
    time.advance(5);
    ASSERT_TRUE(time.runUntil([&] { return delegate->saw(9) || delegate->saw(10); }));
    EXPECT_FALSE(delegate->saw(3));
    EXPECT_TRUE(delegate->saw(9));
    EXPECT_EQ(trade->Status(), webSocket::kStatusOpen);
}
