// Deposits and withdrawals through the service object, logged in to the
// simulated dealer; the parsing of a list of movements.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Core/Biz/BizDWAmount.h"
#include "Core/Funs.h"
#include "Core/SDK/KAVBizSDK.h"
#include "tests/support/ServiceTestSupport.h"
#include "tests/support/DealerSim.h"
#include "tests/support/TestSupport.h"

using namespace kavtest;

namespace {

// What one request reported.
struct Outcome : Reported {
    bool succeeded = false;

    KAVDoneBlock success() {
        return [this] {
            succeeded = true;
            ++calls;
        };
    }
};

TEST(Deposit, MovementsGoOutWithTwoDecimalsAndTheDealerBooksThem) {
    VirtualTime time;
    DealerSim sim;
    auto sdk = std::make_shared<KAVBizSDK>();
    Outcome login;
    sdk->loginWithUserId("1001", "123456", "", {sim.realLoginUrl()}, login.success(),
                         login.failure());
    ASSERT_TRUE(time.runUntil([&] { return login.calls > 0; }));
    ASSERT_TRUE(login.succeeded) << login.code << " " << login.message;

    const auto balance = [&] {
        return platform::jsonDouble(sim.desk("1001")["accounts"][0], "amMarginRemain");
    };
    const auto send = [&](int32_t accId, double amount, const std::string& type,
                          const std::string& memo = "") {
        Outcome outcome;
        sdk->DWWithAccID(accId, amount, type, memo, outcome.success(), outcome.failure());
        EXPECT_TRUE(time.runUntil([&] { return outcome.calls > 0; }));
        return outcome;
    };
    const double start = balance();

    const std::string memo = "工资 \"June\" & bonus";
    const std::string today = Funs::getToDay().substr(0, 10);
    const Outcome deposited = send(1001, 1.5, "1", memo);
    EXPECT_TRUE(deposited.succeeded) << deposited.code << " " << deposited.message;
    EXPECT_DOUBLE_EQ(balance(), start + 1.5);
    const auto sent = sim.packages(SimService::Trade, "2035");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].error, "");
    EXPECT_TRUE(sent[0].enciphered);
    EXPECT_EQ(sent[0].data("uid"), "1001");
    EXPECT_EQ(sent[0].data("action"), "1");
    EXPECT_EQ(sent[0].child("accId"), "1001");
    EXPECT_EQ(sent[0].child("amChange"), "1.50");
    EXPECT_EQ(sent[0].child("amType"), "1");
    EXPECT_EQ(sent[0].child("memo"), memo);
    EXPECT_EQ(sent[0].child("userId"), "1001");
    EXPECT_EQ(sent[0].child("changeDate").value_or("").substr(0, 10), today);

    EXPECT_TRUE(send(1001, 100, "2").succeeded);
    EXPECT_EQ(sim.packages(SimService::Trade, "2035").back().child("amChange"), "100.00");
    EXPECT_DOUBLE_EQ(balance(), start - 98.5);

    // Refusals reach the caller as the dealer gave them and book nothing.
    const Outcome tooMuch = send(1001, 1e9, "2");
    EXPECT_EQ(tooMuch.code, "3104");
    EXPECT_EQ(tooMuch.message, "可用资金不足");
    const Outcome otherAccount = send(7, 10, "1");
    EXPECT_EQ(otherAccount.code, "3111");
    EXPECT_EQ(sim.packages(SimService::Trade, "2035").back().child("accId"), "7");
    EXPECT_DOUBLE_EQ(balance(), start - 98.5);
    sdk->stopConnect();
}

TEST(Deposit, TheServiceObjectNeedsAnOpenTradingChannel) {
    auto sdk = std::make_shared<KAVBizSDK>();
    Outcome none;
    sdk->DWWithAccID(1001, 1.5, "1", "", none.success(), none.failure());
    EXPECT_EQ(none.calls, 1) << "at once";
    EXPECT_EQ(none.code, "10002");
    EXPECT_EQ(none.message, "网关服务尚未初始化");

    sdk->createWSWithKey(KAVBizSDK::kWSTrader, 0, 10);
    Outcome closed;
    sdk->DWWithAccID(1001, 1.5, "1", "", closed.success(), closed.failure());
    EXPECT_EQ(closed.calls, 1);
    EXPECT_EQ(closed.code, "10003");
    sdk->DWWithAccID(1001, 1.5, "1", "", nullptr, nullptr);  // no blocks: nothing to tell
}

TEST(Deposit, AListOfMovementsIsReadInOrder) {
    BizDWAmount biz(nullptr);
    EXPECT_TRUE(biz.pushData(nullptr).empty());
    // Elements that are not objects are no movements.
    const auto children = platform::Json::parse(R"([
        {"accId":"7","amChange":"1.50","amType":"1","changeDate":"2026-01-05 17:00:00","memo":"m","userId":"u"},
        42, "x", null, [],
        {"accId":8,"amChange":2,"amType":2}])");
    const auto list = biz.pushData(&children);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->accId, 7);
    EXPECT_DOUBLE_EQ(list[0]->amChange, 1.5);
    EXPECT_EQ(list[0]->changeDate, "2026-01-05 17:00:00");
    EXPECT_EQ(list[0]->userId, "u");
    EXPECT_EQ(list[1]->accId, 8);
    EXPECT_EQ(list[1]->amType, "2");
    EXPECT_EQ(list[1]->memo, "");
}

}  // namespace
