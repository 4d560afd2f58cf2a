// A channel against the simulated dealer: login and proxy login by hand, a
// list query enciphered, then the dealer drops the connection and the
// channel reopens and passes its token check.
#include <gtest/gtest.h>

#include "Core/Biz/IBiz.h"
#include "Core/KAVBizSDK.h"
#include "tests/Core/ServiceTestSupport.h"
#include "tests/Core/SimLogin.h"
#include "tests/support/DealerSim.h"
#include "tests/support/TestSupport.h"

using namespace kavtest;

TEST(ChannelAgainstDealer, QueriesEncipheredThenReopensAndPassesItsTokenCheck) {
    const size_t baseTimers = platform::RunLoop::main().timerCount();
    VirtualTime time;
    DealerSim sim;
    auto delegate = std::make_shared<RecordingDelegate>();
    auto sdk = std::make_shared<KAVBizSDK>();
    sdk->setDelegate(delegate);

    const std::string sid = simLogin(time, *sdk, sim, "1001");
    ASSERT_FALSE(sid.empty());

    auto trade = sdk->createWSWithKey(KAVBizSDK::kWSTrader, 0, 10);
    ASSERT_TRUE(openSimChannel(time, *sdk, *trade, sim.serviceUrl(SimService::Trade)));
    EXPECT_EQ(delegate->statuses, (std::vector<int>{1, 2, 1, 2}));
    simProxyLogin(time, *trade, sid, "1001");
    ASSERT_FALSE(trade->TOKEN().empty());

    // The list query goes out enciphered and its reply comes back parsed.
    const auto query = [&] {
        std::vector<std::string> ids;
        std::string failure;
        auto biz = std::make_shared<AccountIdsBiz>(trade);
        biz->loadDataWithSID(sid, "1001", [&](const std::vector<std::string>& r) { ids = r; },
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
    EXPECT_TRUE(time.runUntil([&] { return platform::RunLoop::main().timerCount() == baseTimers; }));
}
