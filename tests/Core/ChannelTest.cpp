// The service channel on a fake connection and the virtual clock: sending
// and matching, time-outs, heartbeat, reopen and token check, and the
// faults the channel must not have.
#include <gtest/gtest.h>

#include "Core/Funs.h"
#include "Core/KAVCrypt.h"
#include "Core/webSocket.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "tests/support/FakeConnection.h"
#include "tests/support/TestSupport.h"

using platform::Json;
using platform::stringf;

namespace {

struct Outcome {
    int successes = 0;
    std::vector<std::pair<std::string, std::string>> failures;
    std::vector<std::string> replies;  // strData of each reply
};

class ChannelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        baseTimers = platform::RunLoop::main().timerCount();
        ch->setName("wsTrader");
        ch->setAES_KEY(KAVCrypt::kPackageKey);
        ch->setAES_IV(KAVCrypt::kPackageIV);
        ch->setConnectionFactory(net.factory());
    }

    void openChannel() {
        ch->open(
            "ws://dealer/trade", [this] { ++opens; },
            [this](webSocket& channel, const KAVPackage& p) {
                EXPECT_EQ(&channel, ch.get());
                if (p.event() == webSocket::kStatusEvent) {
                    statuses.push_back(
                        static_cast<int>(platform::jsonInteger(p.getValue("actCode"))));
                } else {
                    pushes.push_back(p);
                }
            });
    }
    void openAndConnect() {
        openChannel();
        net.last().fireOpen();
    }

    // Opens, takes a token, loses the connection and opens again: the token
    // check is under way.
    void reopenWithToken() {
        openAndConnect();
        ch->setTOKEN("T1");
        net.last().fireClose();
        time.advance(5);
        net.last().fireOpen();
        statuses.clear();
    }

    // Sends a list query and records its outcome.
    int32_t query(Outcome& out, const std::string& event = "2001") {
        KAVPackage p;
        p.setEvent(event);
        p.addValue("S1", "sid");
        p.addValue("1001", "uid");
        p.addValue("4", "action");
        ch->send(
            p,
            [&out](const KAVPackage& reply) {
                ++out.successes;
                out.replies.push_back(reply.strData());
            },
            [&out](const std::string& code, const std::string& message) {
                out.failures.emplace_back(code, message);
            });
        return p.msgOrder();
    }

    // The i-th text the channel sent on the current connection, deciphered.
    std::string sentText(size_t i) {
        const std::string& raw = net.last().sent.at(i);
        return ch->DataDecode() == 0
                   ? KAVCrypt::decrypt(raw, KAVCrypt::kPackageKey, KAVCrypt::kPackageIV)
                         .value_or("?")
                   : raw;
    }

    static std::string replyText(const std::string& order, const std::string& retCode,
                                 const std::string& message = "") {
        return stringf(
            R"({"event":"2002","token":"","msgOrder":%s,"retCode":"%s","message":"%s","encrypt":"1","data":{"children":[]}})",
            order.c_str(), retCode.c_str(), message.c_str());
    }
    static std::string reply(int32_t order, const std::string& retCode = "0",
                             const std::string& message = "") {
        return replyText(stringf("\"%d\"", order), retCode, message);
    }

    kavtest::VirtualTime time;
    kavtest::FakeNetwork net;
    platform::LogCapture logs;
    size_t baseTimers = 0;
    std::shared_ptr<webSocket> ch = std::make_shared<webSocket>();
    int opens = 0;
    std::vector<int> statuses;
    std::vector<KAVPackage> pushes;
};

}  // namespace

TEST_F(ChannelTest, OpensSendsEncipheredAndMatchesRepliesByOrder) {
    openChannel();
    EXPECT_EQ(statuses, std::vector<int>{1});
    EXPECT_EQ(ch->Status(), webSocket::kStatusConnecting);
    ASSERT_EQ(net.count(), 1u);
    EXPECT_EQ(net.last().url, "ws://dealer/trade");
    EXPECT_TRUE(net.last().opened);

    net.last().fireOpen();
    EXPECT_EQ(statuses, (std::vector<int>{1, 2}));
    EXPECT_EQ(ch->Status(), webSocket::kStatusOpen);
    EXPECT_EQ(opens, 1);

    Outcome a, b;
    const int32_t first = query(a);
    const int32_t second = query(b, "2009");
    EXPECT_NE(first, second);
    ASSERT_EQ(net.last().sent.size(), 2u);
    EXPECT_NE(net.last().sent[0].front(), '{');  // enciphered
    EXPECT_EQ(
        sentText(0),
        stringf(
            R"({"event":"2001","token" : "","msgOrder":"%d","encrypt":"1","data":{"sid": "S1","uid": "1001","action": "4"}})",
            first));
    EXPECT_EQ(ch->pendingCount(), 2u);

    // Replies in the other order, one as a JSON number, one enciphered.
    net.last().fireText(
        KAVCrypt::encrypt(reply(second), KAVCrypt::kPackageKey, KAVCrypt::kPackageIV));
    EXPECT_EQ(b.successes, 1);
    EXPECT_EQ(a.successes, 0);
    net.last().fireText(replyText(std::to_string(first), "0"));
    EXPECT_EQ(a.successes, 1);
    EXPECT_TRUE(a.failures.empty());
    EXPECT_EQ(ch->pendingCount(), 0u);
    EXPECT_TRUE(pushes.empty());

    // A plain channel sends plain text and still deciphers what it gets.
    ch->setDataDecode(1);
    Outcome c;
    const int32_t third = query(c);
    EXPECT_EQ(net.last().sent.back().front(), '{');
    net.last().fireText(
        KAVCrypt::encrypt(reply(third), KAVCrypt::kPackageKey, KAVCrypt::kPackageIV));
    EXPECT_EQ(c.successes, 1);
}

TEST_F(ChannelTest, ConnectedIsReportedBeforeTheChannelCountsAsOpen) {
    // What a receiver of "connected" sees: the channel not yet open, so a
    // request it sends from there is refused and nothing goes out.
    std::vector<int32_t> statusDuringReport;
    Outcome fromReport;
    ch->open(
        "ws://dealer/trade", [this] { ++opens; },
        [&](webSocket& channel, const KAVPackage& p) {
            if (platform::jsonInteger(p.getValue("actCode")) != webSocket::kNetConnected) return;
            statusDuringReport.push_back(channel.Status());
            EXPECT_EQ(opens, 0);
            query(fromReport);
        });
    net.last().fireOpen();
    EXPECT_EQ(statusDuringReport, std::vector<int32_t>{webSocket::kStatusConnecting});
    ASSERT_EQ(fromReport.failures.size(), 1u);
    EXPECT_EQ(fromReport.failures[0].first, "10003");
    EXPECT_TRUE(net.last().sent.empty());
    // Then it is open, the open block has run, and the open time-out is off.
    EXPECT_EQ(ch->Status(), webSocket::kStatusOpen);
    EXPECT_EQ(opens, 1);
    time.advance(60);
    EXPECT_EQ(ch->Status(), webSocket::kStatusOpen);
    EXPECT_EQ(net.count(), 1u);
}

TEST_F(ChannelTest, RefusalsReachOnlyTheFailureBlockUnchanged) {
    openAndConnect();
    Outcome a, b;
    const int32_t first = query(a);
    const int32_t second = query(b);
    net.last().fireText(reply(first, "3104", "可用保证金不足"));
    net.last().fireText(reply(second, ""));
    EXPECT_EQ(a.successes, 0);
    ASSERT_EQ(a.failures.size(), 1u);
    EXPECT_EQ(a.failures[0], std::make_pair(std::string("3104"), std::string("可用保证金不足")));
    ASSERT_EQ(b.failures.size(), 1u);
    EXPECT_EQ(b.failures[0].first, "");
}

TEST_F(ChannelTest, SendingWhileNotOpenFailsAtOnce) {
    Outcome before;
    query(before);
    openChannel();
    Outcome connecting;
    query(connecting);
    for (const auto& out : {before, connecting}) {
        ASSERT_EQ(out.failures.size(), 1u);
        EXPECT_EQ(out.failures[0],
                  std::make_pair(std::string("10003"), std::string("通讯组件未就绪")));
    }
    EXPECT_TRUE(net.last().sent.empty());
    EXPECT_EQ(ch->pendingCount(), 0u);

    // A connection that refuses the text (it has just died) fails the
    // request now instead of at its time-out.
    net.last().fireOpen();
    net.last().refuseSends = true;
    Outcome refused;
    query(refused);
    ASSERT_EQ(refused.failures.size(), 1u);
    EXPECT_EQ(refused.failures[0].first, "10003");
    EXPECT_EQ(ch->pendingCount(), 0u);
}

TEST_F(ChannelTest, TimedOutRequestFailsAndItsLateReplyIsAPush) {
    openAndConnect();
    ch->setTimeOut(7);
    Outcome out;
    const int32_t order = query(out);
    time.advance(6.9);
    EXPECT_TRUE(out.failures.empty());
    time.advance(0.1);
    ASSERT_EQ(out.failures.size(), 1u);
    EXPECT_EQ(out.failures[0], std::make_pair(std::string("sys_1006"), std::string("请求超时")));
    EXPECT_TRUE(logs.contains("请求超时"));

    EXPECT_FALSE(logs.contains("超时后到达的应答"));
    net.last().fireText(reply(order, "3104", "可用保证金不足"));
    EXPECT_EQ(out.successes, 0);
    ASSERT_EQ(pushes.size(), 1u);
    EXPECT_EQ(pushes[0].msgOrder(), order);
    // It is traced as the late reply it is, with what it said.
    EXPECT_TRUE(logs.contains(stringf(
        "wsTrader - 超时后到达的应答：请求 2001，应答 2002，retCode 3104，msgOrder %d", order)));
    // Once: the same number again is no late reply, and neither is a push.
    net.last().fireText(reply(order));
    net.last().fireText(reply(0));
    EXPECT_EQ(pushes.size(), 3u);
    EXPECT_EQ(logs.count("超时后到达的应答"), 1u);
}

TEST_F(ChannelTest, ShortBadAndCompressedTexts) {
    openAndConnect();
    net.last().fireText("{}");
    EXPECT_TRUE(pushes.empty());
    net.last().fireText("{ }");
    ASSERT_EQ(pushes.size(), 1u);
    EXPECT_EQ(pushes[0].event(), "");

    // A broken envelope is dropped with a log line.
    net.last().fireText("bm90IGEgcGFja2FnZQ==");
    net.last().fireText("@@@ not base64");
    EXPECT_EQ(pushes.size(), 1u);
    EXPECT_EQ(logs.count("无法解密的数据已丢弃"), 2u);

    // The compressed protocol wraps a line as the only child of a quote
    // package, quote marks and all; braces are parsed as JSON.
    ch->setWSProtocol(1);
    const std::string line = R"(0,1767603600,x,EUR"USD,1.1,0,1.2,1.0,1.05,1.3,0.9,500)";
    net.last().fireText(line);
    ASSERT_EQ(pushes.size(), 2u);
    EXPECT_EQ(pushes[1].event(), "4002");
    EXPECT_EQ(*pushes[1].getValue("children"), Json::array({line}));
    net.last().fireText(R"({"event":"4004"})");
    ASSERT_EQ(pushes.size(), 3u);
    EXPECT_EQ(pushes[2].event(), "4004");
}

TEST_F(ChannelTest, ATextReceivedWhileAnotherIsDeliveredLeavesThatOneWhole) {
    // Received texts are parsed into one kept package; a handler that makes
    // the channel receive again must not have the package it reads
    // overwritten or emptied under it.
    std::vector<std::string> seen;
    ch->open("ws://dealer/trade", {}, [&](webSocket&, const KAVPackage& p) {
        if (p.event() == webSocket::kStatusEvent) return;
        if (p.event() == "4002")
            net.last().fireText(R"({"event":"4004","message":"inner","data":{"b":"2"}})");
        const Json* a = p.getValue("a");
        const Json* b = p.getValue("b");
        seen.push_back(p.event() + "/" + p.message() + "/" + (a ? a->dump() : "-") + "/" +
                       (b ? b->dump() : "-") + "/" + p.strData());
    });
    net.last().fireOpen();
    const std::string outer = R"({"event":"4002","message":"outer","data":{"a":"1"}})";
    net.last().fireText(outer);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], R"(4004/inner/-/"2"/{"event":"4004","message":"inner","data":{"b":"2"}})");
    EXPECT_EQ(seen[1], "4002/outer/\"1\"/-/" + outer);

    // The next text is read alone: nothing of the ones before stays.
    net.last().fireText(R"({"event":"4008"})");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2], R"(4008//-/-/{"event":"4008"})");
}

TEST_F(ChannelTest, APushBlockThatReopensOrClosesItsChannelRunsToItsEnd) {
    // The block is called where it lies, with no hold taken on it for each
    // package; one that replaces itself or closes the channel must still
    // read what it captured (under the sanitizers a freed block is caught).
    std::vector<std::string> seen;
    auto tag = std::make_shared<std::string>("first");
    ch->open("ws://dealer/trade", {}, [&, tag](webSocket& channel, const KAVPackage& p) {
        if (p.event() == webSocket::kStatusEvent) return;
        auto again = std::make_shared<std::string>("second");
        channel.open("ws://dealer/again", {}, [&, again](webSocket& c, const KAVPackage& q) {
            if (q.event() == webSocket::kStatusEvent) return;
            c.close();
            seen.push_back(*again + " " + q.event());
        });
        seen.push_back(*tag + " " + p.event());
    });
    tag.reset();
    net.last().fireOpen();
    net.last().fireText(R"({"event":"4002"})");
    ASSERT_EQ(net.count(), 2u);
    EXPECT_EQ(net.last().url, "ws://dealer/again");
    net.last().fireOpen();
    net.last().fireText(R"({"event":"4004"})");
    net.last().fireText(R"({"event":"4008"})");  // closed: heard by nobody
    EXPECT_EQ(seen, (std::vector<std::string>{"first 4002", "second 4004"}));
    EXPECT_EQ(ch->Status(), webSocket::kStatusClosed);
}

TEST_F(ChannelTest, DebugChannelLogsEveryReceivedText) {
    openAndConnect();
    net.last().fireText(R"({"event":"4008"})");
    EXPECT_FALSE(logs.contains("接收数据："));
    ch->setDebug();
    net.last().fireText(R"({"event":"4008"})");
    EXPECT_TRUE(logs.contains(R"(接收数据：{"event":"4008"})"));
    // A compressed quote line is logged as the quote package it becomes.
    ch->setWSProtocol(1);
    net.last().fireText("0,1767603600,EURUSD,1.1");
    EXPECT_TRUE(logs.contains(
        R"(接收数据：{"event" : "4002","data" : { "children" : ["0,1767603600,EURUSD,1.1"]}})"));
}

TEST_F(ChannelTest, HeartbeatFollowsEverySendWhileOpen) {
    openAndConnect();
    auto& c = net.last();
    Outcome out;
    query(out);
    time.advance(59.9);
    EXPECT_EQ(c.sent.size(), 1u);
    time.advance(0.1);
    ASSERT_EQ(c.sent.size(), 2u);
    EXPECT_EQ(c.sent[1], "");  // an empty text, never enciphered
    time.advance(60);
    EXPECT_EQ(c.sent.size(), 3u);

    // heartBeat(false) stops it; heartBeat(true) sends one now.
    ch->heartBeat(false);
    time.advance(120);
    EXPECT_EQ(c.sent.size(), 3u);
    ch->heartBeat(true);
    EXPECT_EQ(c.sent.size(), 4u);

    // After the connection is lost the due heartbeat sends nothing and the
    // chain stops.
    c.fireClose();
    time.advance(4);
    time.advance(60);
    EXPECT_EQ(c.sent.size(), 4u);
    ch->heartBeat(true);  // not open: nothing
    EXPECT_EQ(c.sent.size(), 4u);
}

TEST_F(ChannelTest, ReopensFiveSecondsAfterACloseAndChecksItsToken) {
    int checks = 0;
    std::function<void()> pass;
    KAVFailureBlock fail;
    ch->setTokenCheck(
        [&](webSocket& channel, std::function<void()> onSuccess, KAVFailureBlock onFailure) {
            EXPECT_EQ(&channel, ch.get());
            ++checks;
            pass = std::move(onSuccess);
            fail = std::move(onFailure);
        });
    openAndConnect();
    ch->setTOKEN("T1");
    statuses.clear();

    net.last().fireClose(1001, "going away");
    EXPECT_EQ(statuses, std::vector<int>{4});
    EXPECT_EQ(ch->Status(), webSocket::kStatusClosed);
    EXPECT_TRUE(logs.contains("code:1001 - going away"));
    time.advance(4.9);
    EXPECT_EQ(net.count(), 1u);
    time.advance(0.1);
    ASSERT_EQ(net.count(), 2u);
    EXPECT_EQ(net.last().url, "ws://dealer/trade");
    EXPECT_EQ(statuses, (std::vector<int>{4, 1}));

    // The reopened channel with a token checks it instead of running its
    // open block again.
    net.last().fireOpen();
    EXPECT_EQ(statuses, (std::vector<int>{4, 1, 2, 8}));
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(opens, 1);
    pass();
    EXPECT_EQ(statuses, (std::vector<int>{4, 1, 2, 8, 9}));
    EXPECT_TRUE(logs.contains("wsTrader - TOKEN 校验成功"));
    EXPECT_EQ(ch->Status(), webSocket::kStatusOpen);

    // A failing attempt is retried every 5 s.
    net.last().fireClose();
    time.advance(5);
    net.last().fireFail();
    time.advance(5);
    EXPECT_EQ(net.count(), 4u);
}

TEST_F(ChannelTest, AChannelReopenedByItsCloseReportKeepsItsNewConnection) {
    // Whoever hears "网络已关闭" may open the channel again at once; the
    // reopen the lost connection would have made is then not due, and must
    // not drop the new connection five seconds later.
    const auto record = [this](webSocket&, const KAVPackage& p) {
        if (p.event() == webSocket::kStatusEvent)
            statuses.push_back(static_cast<int>(platform::jsonInteger(p.getValue("actCode"))));
    };
    ch->open("ws://dealer/trade", {}, [&](webSocket& channel, const KAVPackage& p) {
        record(channel, p);
        if (p.event() == webSocket::kStatusEvent && statuses.back() == webSocket::kNetClosed)
            channel.open("ws://dealer/trade", {}, record);
    });
    net.last().fireOpen();
    net.last().fireClose();
    ASSERT_EQ(net.count(), 2u);
    EXPECT_FALSE(ch->reopenScheduled());
    net.last().fireOpen();
    time.advance(30);
    EXPECT_EQ(net.count(), 2u);
    EXPECT_FALSE(net.last().closed);
    EXPECT_EQ(ch->Status(), webSocket::kStatusOpen);
    EXPECT_EQ(statuses, (std::vector<int>{1, 2, 4, 1, 2}));
}

TEST_F(ChannelTest, RefusedTokenClosesTheChannelForGood) {
    KAVFailureBlock fail;
    ch->setTokenCheck([&](webSocket&, std::function<void()>, KAVFailureBlock onFailure) {
        fail = std::move(onFailure);
    });
    reopenWithToken();
    ASSERT_TRUE(fail);
    fail("1", "wsTrader - CheckToken -  TOKEN校验失败：token refused");
    EXPECT_EQ(statuses, std::vector<int>{10});
    EXPECT_TRUE(logs.contains("wsTrader - TOKEN 校验失败"));
    EXPECT_TRUE(logs.contains("wsTrader - 关闭连接 - ws://dealer/trade"));
    EXPECT_TRUE(net.last().closed);
    EXPECT_EQ(ch->Status(), webSocket::kStatusClosed);
    time.advance(60);
    EXPECT_EQ(net.count(), 2u);
    EXPECT_EQ(statuses, std::vector<int>{10});
}

TEST_F(ChannelTest, AChannelReopenedByTheRefusalReportIsNotClosedAfterwards) {
    KAVFailureBlock fail;
    ch->setTokenCheck([&](webSocket&, std::function<void()>, KAVFailureBlock onFailure) {
        fail = std::move(onFailure);
    });
    reopenWithToken();
    ASSERT_TRUE(fail);
    // The receiver of "TOKEN 校验失败" logs in afresh on the same channel.
    int reopenedOpens = 0;
    ch->open("ws://dealer/trade", {}, [&](webSocket& channel, const KAVPackage& p) {
        if (p.event() != webSocket::kStatusEvent) return;
        const int code = static_cast<int>(platform::jsonInteger(p.getValue("actCode")));
        statuses.push_back(code);
        if (code == webSocket::kNetTokenFailed) {
            channel.setTOKEN("");
            channel.open("ws://dealer/trade", [&] { ++reopenedOpens; }, {});
        }
    });
    net.last().fireOpen();  // the token check of this connection is refused
    ASSERT_TRUE(fail);
    fail("1", "token refused");
    ASSERT_EQ(net.count(), 4u);
    EXPECT_FALSE(net.last().closed);
    net.last().fireOpen();
    EXPECT_EQ(reopenedOpens, 1);
    EXPECT_EQ(ch->Status(), webSocket::kStatusOpen);
}

TEST_F(ChannelTest, UnansweredTokenCheckReopensInsteadOfGivingUp) {
    std::vector<KAVFailureBlock> fails;
    ch->setTokenCheck([&](webSocket&, std::function<void()>, KAVFailureBlock onFailure) {
        fails.push_back(onFailure);
    });
    reopenWithToken();

    fails.back()("sys_1006", "wsTrader - CheckToken -  TOKEN校验失败：请求超时");
    EXPECT_TRUE(statuses.empty());  // no status 10: the token was not refused
    EXPECT_TRUE(net.last().closed);
    Outcome out;
    query(out);
    EXPECT_EQ(out.failures.at(0).first, "10003");
    time.advance(5);
    ASSERT_EQ(net.count(), 3u);
    net.last().fireOpen();
    ASSERT_EQ(fails.size(), 2u);

    // A late answer for the connection that was dropped changes nothing.
    fails[0]("1", "late refusal");
    EXPECT_EQ(ch->Status(), webSocket::kStatusOpen);
    fails[1]("10003", "not ready");
    time.advance(5);
    EXPECT_EQ(net.count(), 4u);
}

TEST_F(ChannelTest, OpenTimeOutReportsAbortsTheAttemptAndRetries) {
    ch->setTimeOut(8);
    openChannel();
    time.advance(7.9);
    EXPECT_EQ(statuses, std::vector<int>{1});
    time.advance(0.1);
    EXPECT_EQ(statuses, (std::vector<int>{1, 3}));
    EXPECT_TRUE(net.last().closed);
    EXPECT_FALSE(net.last().listened());
    time.advance(5);
    ASSERT_EQ(net.count(), 2u);
    EXPECT_EQ(statuses, (std::vector<int>{1, 3, 1}));
    net.last().fireOpen();
    EXPECT_EQ(opens, 1);
    time.advance(30);  // the open stopped the time-out
    EXPECT_EQ(statuses, (std::vector<int>{1, 3, 1, 2}));
}

// An attempt that ends, refused or closed, is over: its open time-out must
// not fire afterwards and report a stall that never happened (the session
// would end on it). At the shortest time-out the next attempt starts only
// after that time-out would have run out.
TEST_F(ChannelTest, AnAttemptThatFailedOrClosedReportsNoOpenTimeOut) {
    ch->setTimeOut(5);
    openAndConnect();
    net.last().fireClose();
    time.advance(5);
    ASSERT_EQ(net.count(), 2u);
    time.advance(0.5);
    net.last().fireFail();  // refused
    time.advance(5);
    ASSERT_EQ(net.count(), 3u);
    time.advance(0.5);
    net.last().fireClose(1001, "Stream end encountered");  // dropped before the upgrade
    time.advance(5);
    ASSERT_EQ(net.count(), 4u);
    EXPECT_EQ(statuses, (std::vector<int>{1, 2, 4, 1, 1, 4, 1}));
    // An attempt that stalls still times out.
    time.advance(5);
    EXPECT_EQ(statuses, (std::vector<int>{1, 2, 4, 1, 1, 4, 1, 3}));
}

TEST_F(ChannelTest, SocketFailureMarksTheChannelNotOpenAndReportsNothing) {
    openAndConnect();
    statuses.clear();
    net.last().fireFail();
    EXPECT_TRUE(statuses.empty());
    EXPECT_EQ(ch->Status(), webSocket::kStatusClosed);
    Outcome out;
    query(out);
    ASSERT_EQ(out.failures.size(), 1u);
    EXPECT_EQ(out.failures[0].first, "10003");
    time.advance(5);
    EXPECT_EQ(net.count(), 2u);
    EXPECT_EQ(statuses, std::vector<int>{1});
}

TEST_F(ChannelTest, ClosedOnPurposeNeverReopensNorReports) {
    // Closed while a reopen is pending.
    openAndConnect();
    net.last().fireClose();
    EXPECT_TRUE(ch->reopenScheduled());
    ch->close();
    EXPECT_FALSE(ch->reopenScheduled());
    time.advance(30);
    EXPECT_EQ(net.count(), 1u);

    // Closed while open: the connection's own close is not passed on.
    auto other = std::make_shared<webSocket>();
    other->setConnectionFactory(net.factory());
    std::vector<std::string> events;
    other->open("ws://dealer/msg", {},
                [&](webSocket&, const KAVPackage& p) { events.push_back(p.event()); });
    auto& c = net.last();
    c.fireOpen();
    events.clear();
    other->close();
    EXPECT_TRUE(c.closed);
    c.fireClose();
    c.fireText(R"({"event":"4008"})");
    time.advance(30);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(net.count(), 2u);
    EXPECT_EQ(other->Status(), webSocket::kStatusClosed);

    // Afterwards sends fail at once.
    Outcome late;
    query(late);
    EXPECT_EQ(late.failures.at(0).first, "10003");
}

TEST_F(ChannelTest, CloseLeavesPendingRequestsToTheirTimeOut) {
    openAndConnect();
    Outcome out;
    query(out);
    ch->close();
    EXPECT_TRUE(out.failures.empty());
    time.advance(10);
    ASSERT_EQ(out.failures.size(), 1u);
    EXPECT_EQ(out.failures[0].first, "sys_1006");
}

TEST_F(ChannelTest, DestroyedChannelCancelsItsTimersAndFailsItsRequestsAtOnce) {
    openAndConnect();
    Outcome out;
    query(out);
    net.last().fireClose();  // reopen pending, request pending, heartbeat armed
    auto connection = net.made.back();
    EXPECT_GT(platform::RunLoop::main().timerCount(), baseTimers);
    ch.reset();
    EXPECT_EQ(platform::RunLoop::main().timerCount(), baseTimers);
    // The request it was waiting for ends at once, as its time-out would
    // have ended it, and on the main run loop rather than inside the reset.
    EXPECT_TRUE(out.failures.empty());
    time.drain();
    ASSERT_EQ(out.failures.size(), 1u);
    EXPECT_EQ(out.failures[0], std::make_pair(std::string("sys_1006"), std::string("请求超时")));
    time.advance(120);
    EXPECT_EQ(out.failures.size(), 1u);
    EXPECT_EQ(net.count(), 1u);

    // A channel destroyed while connected closes its connection.
    auto again = std::make_shared<webSocket>();
    again->setConnectionFactory(net.factory());
    again->open("ws://dealer/quote", {}, {});
    net.last().fireOpen();
    again.reset();
    EXPECT_TRUE(net.last().closed);
}

TEST_F(ChannelTest, ReusedOrderFailsTheOlderRequestFirst) {
    openAndConnect();
    Outcome older, newer;
    const int32_t order = query(older);
    Funs::setMessageOrder(order - 1);  // as after a full turn of the counter
    std::vector<std::string> sequence;
    KAVPackage p;
    p.setEvent("2003");
    ch->send(
        p, [&](const KAVPackage&) { sequence.push_back("newer ok"); },
        [&](const std::string& code, const std::string&) { sequence.push_back("newer " + code); });
    EXPECT_EQ(p.msgOrder(), order);
    ASSERT_EQ(older.failures.size(), 1u);
    EXPECT_EQ(older.failures[0], std::make_pair(std::string("sys_1006"), std::string("请求超时")));
    EXPECT_EQ(ch->pendingCount(), 1u);

    net.last().fireText(reply(order));
    EXPECT_EQ(sequence, std::vector<std::string>{"newer ok"});
    EXPECT_EQ(older.successes, 0);
}
