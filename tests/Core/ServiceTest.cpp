// The service object, the request base and the token check: the delegate
// call rule, the channel table, status reports, request objects without a
// channel, and the token check after a reopen on a fake connection.
#include <gtest/gtest.h>

#include <thread>

#include "Core/Biz/BizReconnect.h"
#include "Core/Biz/IBiz.h"
#include "Core/KAVCrypt.h"
#include "Core/SDK/KAVBizSDK.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "tests/support/FakeConnection.h"
#include "tests/support/ServiceTestSupport.h"
#include "tests/support/TestSupport.h"

using platform::Json;
using platform::stringf;
using namespace kavtest;

namespace {

struct EmptyDelegate : WSPushMessage {};

class ServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sdk->setConnectionFactory(net.factory());
        sdk->setDelegate(delegate);
    }

    // A trading channel opened through the service object.
    std::shared_ptr<webSocket> openTrader() {
        auto ch = sdk->createWSWithKey(KAVBizSDK::kWSTrader, 0, sdk->timeOut());
        ch->open("ws://dealer/trade", {}, sdk->pushBlock());
        net.last().fireOpen();
        return ch;
    }

    // The package the channel sent last, deciphered and parsed.
    KAVPackage lastSent() {
        const auto text =
            KAVCrypt::decrypt(net.last().sent.back(), KAVCrypt::kPackageKey, KAVCrypt::kPackageIV);
        KAVPackage p;
        EXPECT_TRUE(text && p.fromJSON(*text));
        return p;
    }
    void replyToLast(const std::string& retCode, const std::string& message = "") {
        net.last().fireText(
            stringf(R"({"event":"x","msgOrder":"%d","retCode":"%s","message":"%s","data":{}})",
                    lastSent().msgOrder(), retCode.c_str(), message.c_str()));
    }

    VirtualTime time;
    FakeNetwork net;
    platform::LogCapture logs;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<KAVBizSDK> sdk = std::make_shared<KAVBizSDK>();
};

}  // namespace

TEST(WSPushMessage, CallRuleLogsAsEachCallSiteAsks) {
    platform::LogCapture logs;
    const auto status = [](WSPushMessage& d) { d.onNetworkStatus(5); };
    const auto login = [](WSPushMessage& d) { d.onLogin(); };

    // No delegate.
    EXPECT_FALSE(notifyDelegate(nullptr, "onNetworkStatus", kWSPushStatus, status));
    EXPECT_FALSE(notifyDelegate(nullptr, "onLogin", kWSPushAlwaysLog, login));
    EXPECT_FALSE(notifyDelegate(nullptr, "onQuotedReceived", kWSPushReport, login));
    EXPECT_EQ(logs.lines(), (std::vector<std::string>{"onNetworkStatus 回调函数未定义",
                                                      "onLogin 回调函数未定义"}));

    // A delegate that implements nothing.
    logs.clear();
    auto empty = std::make_shared<EmptyDelegate>();
    EXPECT_FALSE(notifyDelegate(empty, "onNetworkStatus", kWSPushStatus, status));
    EXPECT_FALSE(notifyDelegate(empty, "onHoldBillChange", kWSPushSilent, login));
    EXPECT_FALSE(notifyDelegate(empty, "onLogin", kWSPushAlwaysLog, login));
    EXPECT_FALSE(notifyDelegate(empty, "onQuotedReceived", kWSPushReport, login));
    EXPECT_EQ(logs.lines(), (std::vector<std::string>{"onLogin 回调函数未定义",
                                                      "onQuotedReceived 回调函数未定义"}));

    // One that implements the method is called and nothing is logged.
    logs.clear();
    auto recording = std::make_shared<RecordingDelegate>();
    EXPECT_TRUE(notifyDelegate(recording, "onNetworkStatus", kWSPushStatus, status));
    EXPECT_EQ(recording->statuses, std::vector<int>{5});
    EXPECT_TRUE(logs.lines().empty());
}

TEST(WSPushMessage, NestedCallsKeepTheirOwnAnswer) {
    platform::LogCapture logs;
    // Implements onNetworkStatus, and from inside it triggers a call of a
    // method it lacks.
    struct Nesting : WSPushMessage {
        void onNetworkStatus(int32_t) override {
            inner = notifyDelegate(self.lock(), "onLogout", kWSPushAlwaysLog,
                                   [](WSPushMessage& d) { d.onLogout(); });
        }
        std::weak_ptr<WSPushMessage> self;
        bool inner = true;
    };
    auto d = std::make_shared<Nesting>();
    d->self = d;
    EXPECT_TRUE(notifyDelegate(d, "onNetworkStatus", kWSPushAlwaysLog,
                               [](WSPushMessage& x) { x.onNetworkStatus(1); }));
    EXPECT_FALSE(d->inner);
    EXPECT_EQ(logs.lines(), std::vector<std::string>{"onLogout 回调函数未定义"});
}

TEST_F(ServiceTest, DefaultsAndTheChannelTable) {
    EXPECT_EQ(sdk->ver(), "1.2.091601");
    EXPECT_EQ(sdk->timeOut(), 10);
    EXPECT_FALSE(sdk->isDebug());
    EXPECT_TRUE(sdk->accounts().empty());
    EXPECT_EQ(KAVBizSDK::makeKeyWithId(42), "key_42");
    EXPECT_EQ(KAVBizSDK::formatPrice(1.5, 2), "1.50");

    // A time-out of no seconds (a damaged setting) would end every open and
    // every request the moment it began: the one in force stays.
    for (int32_t none : {0, -5, INT32_MIN}) {
        sdk->setTimeOut(none);
        EXPECT_EQ(sdk->timeOut(), 10) << none;
    }
    sdk->setTimeOut(25);
    EXPECT_EQ(sdk->timeOut(), 25);
    auto first = sdk->createWSWithKey(KAVBizSDK::kWSTrader, 0, 25);
    EXPECT_EQ(first->Name(), "wsTrader");
    EXPECT_EQ(first->timeOut(), 25);
    EXPECT_EQ(first->AES_KEY(), "KAVTrader2015Key");
    EXPECT_EQ(first->AES_IV(), "0102030405060708");
    EXPECT_EQ(first->DataDecode(), 0);
    EXPECT_EQ(sdk->channelNamed("wsTrader"), first);
    auto plain = sdk->createWSWithKey(KAVBizSDK::kWSQuoted, 1, 25);
    EXPECT_EQ(plain->DataDecode(), 1);

    // A new channel of the same name replaces the old one, which is closed
    // for good: its connection's own close starts no reopen.
    first->open("ws://dealer/trade", {}, sdk->pushBlock());
    auto& c = net.last();
    c.fireOpen();
    auto second = sdk->createWSWithKey(KAVBizSDK::kWSTrader, 0, 25);
    EXPECT_EQ(sdk->channelNamed("wsTrader"), second);
    EXPECT_TRUE(c.closed);
    EXPECT_EQ(first->Status(), webSocket::kStatusClosed);
    delegate->statuses.clear();
    c.fireClose();
    time.advance(30);
    EXPECT_EQ(net.count(), 1u);
    EXPECT_TRUE(delegate->statuses.empty());
}

TEST_F(ServiceTest, ChannelStatusReachesTheDelegateThroughThePushRoad) {
    auto ch = openTrader();
    EXPECT_EQ(delegate->statuses, (std::vector<int>{1, 2}));

    // A server's status push passes any code; other pushes are logged.
    net.last().fireText(R"({"event":"sys_9001","retCode":"7","data":{"actCode":"11"}})");
    EXPECT_EQ(delegate->statuses.back(), 11);
    // A code beyond 32 bits does not wrap onto a small one (4294967299 is 3 + 2^32).
    net.last().fireText(R"({"event":"sys_9001","data":{"actCode":"4294967299"}})");
    EXPECT_EQ(delegate->statuses.back(), 2147483647);
    net.last().fireText(R"({"event":"9999","retCode":"0","data":{}})");
    EXPECT_TRUE(logs.contains("接收到推送消息：【wsTrader】-【9999】"));

    // Without a delegate the status goes to the log.
    sdk->setDelegate({});
    net.last().fireText(R"({"event":"sys_9001","data":{"actCode":"2"}})");
    EXPECT_TRUE(logs.contains("onNetworkStatus 回调函数未定义"));

    // A channel that outlives its service object reports to no one.
    sdk->setDelegate(delegate);
    delegate->statuses.clear();
    sdk.reset();
    net.last().fireClose();
    EXPECT_TRUE(delegate->statuses.empty());
}

TEST_F(ServiceTest, StopConnectClosesEveryChannel) {
    auto trader = openTrader();
    auto quotes = sdk->createWSWithKey(KAVBizSDK::kWSQuoted, 1, 10);
    quotes->open("ws://dealer/quote", {}, sdk->pushBlock());
    delegate->statuses.clear();
    sdk->stopConnect();
    EXPECT_EQ(trader->Status(), webSocket::kStatusClosed);
    EXPECT_EQ(quotes->Status(), webSocket::kStatusClosed);
    EXPECT_TRUE(net.made[0]->closed && net.made[1]->closed);
    time.advance(60);
    EXPECT_EQ(net.count(), 2u);
    EXPECT_TRUE(delegate->statuses.empty());
    EXPECT_EQ(sdk->channelNamed("wsQuoted"), quotes);  // still filed
}

TEST_F(ServiceTest, RequestObjectsWithoutAChannelFailAtOnce) {
    auto biz = std::make_shared<AccountIdsBiz>(nullptr);
    std::vector<std::string> failures;
    biz->loadDataWithSID(
        "S", "U", [](const std::vector<std::string>&) { FAIL(); },
        [&](const std::string& code, const std::string& message) {
            failures.push_back(code + " " + message);
        });
    EXPECT_EQ(failures, std::vector<std::string>{"10002 网关服务尚未初始化"});
    biz->loadDataWithSID("S", "U", {}, {});  // nothing to tell, nothing done

    // A channel that has gone counts as none.
    auto gone = std::make_shared<webSocket>();
    auto reconnect = std::make_shared<BizReconnect>(gone);
    gone.reset();
    reconnect->CheckTokenWithSID(
        "S", "U", "P", "T", [] { FAIL(); },
        [&](const std::string& code, const std::string&) { failures.push_back(code); });
    EXPECT_EQ(failures.back(), "10002");
    // Push parsing needs no channel.
    const Json children = Json::array({Json{{"accId", "7"}}});
    EXPECT_EQ(biz->pushData(&children), std::vector<std::string>{"7"});
}

TEST_F(ServiceTest, ListQueryRoad) {
    auto ch = openTrader();
    auto biz = std::make_shared<AccountIdsBiz>(ch);
    EXPECT_EQ(biz->requestCode(), "2001");
    EXPECT_EQ(biz->responseCode(), "2002");
    std::vector<std::string> ids;
    sdk->queryWithBiz(biz, [&](const std::vector<std::string>& r) { ids = r; }, {});
    const KAVPackage sent = lastSent();
    EXPECT_EQ(sent.event(), "2001");
    EXPECT_EQ(KAVPackage::renderData(sent.kavData()), R"({"sid": "","uid": "","action": "4"})");
    net.last().fireText(stringf(
        R"({"msgOrder":"%d","retCode":"0","data":{"children":[{"accId":"1001"},{"accId":1002}]}})",
        sent.msgOrder()));
    EXPECT_EQ(ids, (std::vector<std::string>{"1001", "1002"}));

    // Without a success block the request still goes out and its reply is
    // not parsed; a failure is handed on unchanged.
    const int parsedBefore = biz->parsed;
    biz->loadDataWithSID("S", "U", {}, {});
    replyToLast("0");
    EXPECT_EQ(biz->parsed, parsedBefore);
    std::string failure;
    biz->loadDataWithSID(
        "S", "U", {}, [&](const std::string& c, const std::string& m) { failure = c + " " + m; });
    replyToLast("2001", "无效会话");
    EXPECT_EQ(failure, "2001 无效会话");
}

TEST_F(ServiceTest, TokenCheckAfterAReopen) {
    auto ch = openTrader();
    ch->setSID("S9");
    ch->setUID("1001");
    ch->setPWD("123456");
    ch->setTOKEN("T-1");

    // Passed.
    net.last().fireClose();
    time.advance(5);
    delegate->statuses.clear();
    net.last().fireOpen();
    EXPECT_EQ(delegate->statuses, (std::vector<int>{2, 8}));
    const KAVPackage check = lastSent();
    EXPECT_EQ(check.event(), "2019");
    EXPECT_EQ(KAVPackage::renderData(check.kavData()),
              R"({"sid": "S9","uid": "1001","pwd": "123456","token": "T-1"})");
    replyToLast("0");
    EXPECT_EQ(delegate->statuses, (std::vector<int>{2, 8, 9}));

    // Unanswered: no verdict, the connection is dropped and reopened.
    net.last().fireClose();
    time.advance(5);
    net.last().fireOpen();
    delegate->statuses.clear();
    time.advance(10);
    EXPECT_TRUE(delegate->statuses.empty());
    EXPECT_TRUE(net.last().closed);
    time.advance(5);
    EXPECT_EQ(delegate->statuses, std::vector<int>{1});

    // Refused: status 10 and the channel closes for good.
    const size_t before = net.count();
    net.last().fireOpen();
    replyToLast("2020", "token invalid");
    EXPECT_EQ(delegate->statuses, (std::vector<int>{1, 2, 8, 10}));
    EXPECT_EQ(ch->Status(), webSocket::kStatusClosed);
    time.advance(60);
    EXPECT_EQ(net.count(), before);
}

TEST_F(ServiceTest, TokenCheckFailureMessage) {
    auto ch = openTrader();
    auto biz = std::make_shared<BizReconnect>(ch);
    std::vector<std::pair<std::string, std::string>> failures;
    const auto onFailure = [&](const std::string& c, const std::string& m) {
        failures.emplace_back(c, m);
    };
    biz->CheckTokenWithSID(
        "S", "U", "P", "T", [] { FAIL(); }, onFailure);
    replyToLast("2020", "token invalid");
    biz->CheckTokenWithSID(
        "S", "U", "P", "T", [] { FAIL(); }, onFailure);
    time.advance(10);
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0],
              std::make_pair(std::string("1"),
                             std::string("wsTrader - CheckToken -  TOKEN校验失败：token invalid")));
    EXPECT_EQ(failures[1],
              std::make_pair(std::string("sys_1006"),
                             std::string("wsTrader - CheckToken -  TOKEN校验失败：请求超时")));
}

#ifndef NDEBUG
// The service object is main-thread state: a call from the network thread or
// a work queue must fail where it is made, not corrupt the caches later.
TEST(ServiceObjectDeathTest, AnEntryPointCalledOffTheMainThreadStopsAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            auto sdk = std::make_shared<KAVBizSDK>();
            std::thread([&] { sdk->logout(); }).join();
        },
        "logout called off the main thread");
    // The same call on the main thread is fine.
    auto sdk = std::make_shared<KAVBizSDK>();
    sdk->logout();
}
#endif
