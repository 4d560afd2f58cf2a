// The control interface: scripted faults on replies and connections, pushes
// on command and settings. Every check is ordered by the connection itself
// (a later reply proves an earlier one did not come), so nothing sleeps.
#include <gtest/gtest.h>

#include "tests/tools/SimSession.h"

using kavtest::DealerSim;
using kavtest::DealerSimOptions;
using kavtest::SimFault;
using kavtest::SimService;
using namespace simtest;

namespace {

std::string orderText(const Json& package) {
    const Json& m = package["msgOrder"];
    return m.is_string() ? m.get<std::string>() : m.dump();
}

}  // namespace

TEST(DealerSimFaults, FailRefusesTheNextRequestsAndChangesNothing) {
    DealerSim sim;
    Session s = logIn(sim);
    sim.setBid("EURUSD", 1.09990);
    sim.fail("3001", "3104", "资金不足", 2);
    for (int i = 0; i < 2; ++i) {
        Json r = order(s, "3001", {{"orderPrice", "1.10010"}});
        EXPECT_EQ(r["retCode"], "3104");
        EXPECT_EQ(r["message"], "资金不足");
    }
    EXPECT_TRUE(sim.desk("1001")["tickets"].empty());
    EXPECT_EQ(order(s, "3001", {{"orderPrice", "1.10010"}})["retCode"], "0");

    // "*" with a service matches every request of that service only, until cleared.
    SimFault f;
    f.event = "*";
    f.service = SimService::Message;
    f.retCode = "7";
    f.times = -1;
    sim.addFault(f);
    EXPECT_EQ(s.msg->request("2013", s.list())["retCode"], "7");
    EXPECT_EQ(s.msg->request("2013", s.list())["retCode"], "7");
    EXPECT_EQ(s.trade->request("2001", s.list())["retCode"], "0");
    sim.clearFaults();
    EXPECT_EQ(s.msg->request("2013", s.list())["retCode"], "0");
}

TEST(DealerSimFaults, DropAndHoldKeepTheReplyBackButTheRequestTakesEffect) {
    DealerSim sim;
    Session s = logIn(sim);
    sim.setBid("EURUSD", 1.09990);
    sim.dropReply("3001");
    const int dropped =
        s.trade->send("3001", s.action1(), orderFields({{"orderPrice", "1.10010"}}));
    Json later = s.trade->request("2003", s.list());
    ASSERT_EQ(children(later).size(), 1u);  // the order was executed
    // Its pushes came, its reply did not.
    for (auto p = s.trade->next(0); p; p = s.trade->next(0))
        EXPECT_NE(orderText(*p), std::to_string(dropped));

    sim.holdReply("2001");
    const int held = s.trade->send("2001", s.list());
    EXPECT_EQ(s.trade->request("2005", s.list())["event"], "2006");
    sim.releaseHeld();
    auto reply = s.trade->next();
    ASSERT_TRUE(reply);
    EXPECT_EQ(orderText(*reply), std::to_string(held));
    EXPECT_EQ((*reply)["event"], "2002");
}

TEST(DealerSimFaults, DelayedRepliesArriveAfterLaterOnes) {
    DealerSim sim;
    Session s = logIn(sim);
    sim.delayReply("2001", 150);
    const int delayed = s.trade->send("2001", s.list());
    EXPECT_EQ(s.trade->request("2009", s.list())["event"], "2010");
    auto reply = s.trade->next();
    ASSERT_TRUE(reply);
    EXPECT_EQ(orderText(*reply), std::to_string(delayed));
}

TEST(DealerSimFaults, TwiceWrongOrderAndNumbersChangeTheReplyItself) {
    DealerSim sim;
    Session s = logIn(sim);
    sim.answerTwice("2001");
    Json first = s.trade->request("2001", s.list());
    auto second = s.trade->next();
    ASSERT_TRUE(second);
    EXPECT_EQ(orderText(*second), orderText(first));

    sim.wrongOrder("2001", "7");
    const int asked = s.trade->send("2001", s.list());
    auto wrong = s.trade->next();
    ASSERT_TRUE(wrong);
    EXPECT_EQ(orderText(*wrong), "7");
    sim.wrongOrder("2001");
    const int asked2 = s.trade->send("2001", s.list());
    wrong = s.trade->next();
    ASSERT_TRUE(wrong);
    EXPECT_EQ(orderText(*wrong), std::to_string((asked2 + 1000) % 65536));
    EXPECT_NE(asked, 7);

    sim.numbersInReply("2001");
    Json numbers = s.trade->request("2001", s.list());
    EXPECT_TRUE(numbers["msgOrder"].is_number());
    const Json& account = numbers["data"]["children"][0];
    EXPECT_TRUE(account["amMarginRemain"].is_number());
    EXPECT_EQ(account["amMarginRemain"].get<double>(), 100000.0);
    EXPECT_TRUE(account["riskType"].is_string());  // texts stay texts
    EXPECT_TRUE(account["accCode"].is_string());
    EXPECT_TRUE(s.trade->request("2001", s.list())["msgOrder"].is_string());

    // The setting applies to every reply and push.
    sim.setNumbersAsNumbers(true);
    sim.tick(1);
    Json quote = s.quote->nextPush("4002")["data"]["children"][0];
    EXPECT_TRUE(quote["priceCurrent"].is_number());
    EXPECT_TRUE(sim.quotes()["EURUSD"]["bid"].is_number());
}

TEST(DealerSimSettings, PushesCanComeBeforeTheReplyAndALoginCanEndEarlierSessions) {
    DealerSim sim;
    Session s = logIn(sim);
    sim.setBid("EURUSD", 1.09990);
    // The events a market order brings on the trading connection, in arrival order.
    auto orderEvents = [&] {
        const int sent = s.trade->send("3001", s.action1(), orderFields({{"orderPrice", "1.10010"}}));
        std::vector<std::string> events;
        for (auto p = s.trade->next(); p; p = s.trade->next(events.size() > 3 ? 200 : 5000)) {
            const bool reply = orderText(*p) == std::to_string(sent);
            events.push_back(reply ? "reply" : (*p)["event"].get<std::string>());
        }
        return events;
    };
    EXPECT_EQ(orderEvents(), (std::vector<std::string>{"reply", "4016", "4022", "4008"}));
    sim.setPushesFirst(true);
    EXPECT_EQ(orderEvents(), (std::vector<std::string>{"4016", "4022", "4008", "reply"}));
    sim.setPushesFirst(false);

    // By default a second login leaves the first session alone.
    Session second = logIn(sim);
    EXPECT_EQ(s.trade->request("2001", s.list())["retCode"], "0");
    sim.setEndEarlierSessions(true);
    Session third = logIn(sim);
    EXPECT_EQ(s.trade->nextPush("4010")["msgOrder"], "0");
    EXPECT_EQ(second.trade->nextPush("4010")["retCode"], "0");
    EXPECT_EQ(s.trade->request("2001", s.list())["retCode"], "9001");
    EXPECT_EQ(third.trade->request("2001", third.list())["retCode"], "0");
    // Another user's login ends nobody's session.
    Session other = logIn(sim, "1002");
    EXPECT_EQ(third.trade->request("2001", third.list())["retCode"], "0");
}

TEST(DealerSimFaults, ConnectionsCanBeClosedResetRefusedAndStalled) {
    DealerSim sim;
    Session s = logIn(sim);
    EXPECT_EQ(sim.closeConnections(SimService::Quote, 1001, "maintenance"), 1);
    EXPECT_TRUE(s.quote->waitClosed());
    EXPECT_EQ(s.quote->closeCode(), 1001);

    EXPECT_EQ(sim.resetConnections(SimService::Trade), 1);
    EXPECT_TRUE(s.trade->waitClosed());
    EXPECT_EQ(s.trade->closeCode(), 0);  // no close frame: the socket was reset
    EXPECT_TRUE(sim.waitForConnections(SimService::Message, 1, true));
    EXPECT_EQ(sim.connections(SimService::Trade).size(), 0u);

    sim.refuseConnections(SimService::Trade, 2);
    EXPECT_TRUE(SimClient::tryConnect(sim.serviceUrl(SimService::Trade), 5000).has_value());
    EXPECT_TRUE(SimClient::tryConnect(sim.serviceUrl(SimService::Trade), 5000).has_value());
    EXPECT_FALSE(SimClient::tryConnect(sim.serviceUrl(SimService::Trade), 5000).has_value());

    // A stalled handshake never completes; the client's own time-out ends it.
    sim.stallHandshakes(SimService::History, 1);
    EXPECT_EQ(SimClient::tryConnect(sim.serviceUrl(SimService::History), 300),
              std::optional<std::string>("timeout"));
    EXPECT_FALSE(SimClient::tryConnect(sim.serviceUrl(SimService::History), 5000).has_value());
}

TEST(DealerSimFaults, PushesOnCommandReachTheServicesConnections) {
    DealerSim sim;
    Session s = logIn(sim);
    Session other = logIn(sim, "1002");
    EXPECT_EQ(sim.push(SimService::Trade, "4010"), 2);
    EXPECT_EQ(s.trade->nextPush("4010")["retCode"], "0");
    EXPECT_EQ(other.trade->nextPush("4010")["msgOrder"], "0");
    EXPECT_EQ(sim.push(SimService::Trade, "sys_9001", {{"actCode", "11"}}, "0", "", "1002"), 1);
    Json status = other.trade->nextPush("sys_9001");
    EXPECT_EQ(status["data"]["actCode"], "11");
    EXPECT_TRUE(other.trade->lastWasEnciphered());
    sim.push(SimService::Message, "sys_1004", kavtest::SimJson::object(), "0", "token expired");
    EXPECT_EQ(s.msg->nextPush("sys_1004")["message"], "token expired");

    // Desk pushes go to the owner's sessions only; bulletins to everyone.
    sim.addBulletin("新公告", "内容");
    Json bulletin = other.msg->nextPush("8002")["data"]["children"][0];
    EXPECT_EQ(bulletin["title"], "新公告");
    EXPECT_EQ(s.msg->nextPush("8002")["data"]["children"][0]["contentId"], "4");
    // Cleared, the list is empty and numbering starts again.
    sim.clearBulletins();
    EXPECT_TRUE(children(s.msg->request("2013", s.list())).empty());
    sim.addBulletin("重新开始", "");
    EXPECT_EQ(children(s.msg->request("2013", s.list()))[0]["contentId"], "1");
}

TEST(DealerSimFaults, LoginReplyOptions) {
    DealerSim sim;
    sim.omitHistoryAddress(true);
    Json r = loginRequest(sim, "1001", "123456");
    EXPECT_FALSE(r["data"].contains("hisQuoted"));
    EXPECT_TRUE(r["data"].contains("tradeproxy"));

    sim.setCompressed(true);
    r = loginRequest(sim, "1001", "123456");
    EXPECT_EQ(r["data"]["new_quotedproxy"], sim.serviceUrl(SimService::CompressedQuote));

    // The compressed service needs no login and sends one line per symbol.
    SimClient lines(sim.serviceUrl(SimService::CompressedQuote), sim.key());
    ASSERT_TRUE(sim.waitForConnections(SimService::CompressedQuote, 1));
    Json quotes = sim.tick(1);
    std::map<std::string, std::vector<std::string>> bySymbol;
    for (int i = 0; i < 4; ++i) {
        auto line = lines.nextText();
        ASSERT_TRUE(line);
        std::vector<std::string> f;
        std::string rest = *line;
        for (size_t pos; (pos = rest.find(',')) != std::string::npos; rest.erase(0, pos + 1))
            f.push_back(rest.substr(0, pos));
        f.push_back(rest);
        ASSERT_EQ(f.size(), 12u) << *line;
        EXPECT_EQ(f[0], "0");
        bySymbol[f[3]] = f;
    }
    ASSERT_EQ(bySymbol.size(), 4u);
    EXPECT_EQ(std::stod(bySymbol["EURUSD"][4]),
              std::stod(quotes["EURUSD"]["priceCurrent"].get<std::string>()));
    EXPECT_EQ(std::stod(bySymbol["EURUSD"][6]),
              std::stod(quotes["EURUSD"]["dailyHight"].get<std::string>()));
    EXPECT_EQ(bySymbol["US30"][4].find('.') + 2, bySymbol["US30"][4].size());  // one decimal
}

TEST(DealerSimFaults, ResetRestoresAFreshStart) {
    DealerSim sim;
    Session s = logIn(sim);
    sim.setBid("EURUSD", 1.09990);
    ASSERT_EQ(order(s, "3001", {{"orderPrice", "1.10010"}})["retCode"], "0");
    sim.fail("2001", "1", "x", -1);
    sim.setEncipher(SimService::Trade, false);
    sim.reset();
    EXPECT_TRUE(s.trade->waitClosed());
    EXPECT_TRUE(sim.desk("1001")["tickets"].empty());
    EXPECT_TRUE(sim.packages().empty());
    Session again = logIn(sim);
    EXPECT_EQ(again.trade->request("2001", again.list())["retCode"], "0");
    EXPECT_TRUE(again.trade->lastWasEnciphered());
    // The old session is gone with the reset.
    EXPECT_EQ(again.trade->request("2001", s.list())["retCode"], "9001");
}

TEST(DealerSimFaults, QuotesAreDeterministicForASeed) {
    DealerSimOptions a;
    a.seed = 7;
    DealerSim first(a), second(a);
    a.seed = 8;
    DealerSim third(a);
    const Json q1 = first.tick(25);
    const Json q2 = second.tick(25);
    const Json q3 = third.tick(25);
    for (const char* sym : {"EURUSD", "USDJPY", "XAUUSD", "US30"}) {
        EXPECT_EQ(q1[sym]["priceCurrent"], q2[sym]["priceCurrent"]) << sym;
        EXPECT_EQ(q1[sym]["priceHighest"], q2[sym]["priceHighest"]) << sym;
    }
    EXPECT_NE(q1["EURUSD"]["priceCurrent"], q3["EURUSD"]["priceCurrent"]);
    // Stepping one symbol leaves the others where they were.
    const Json only = first.tick(5, "XAUUSD");
    EXPECT_EQ(only["EURUSD"]["priceCurrent"], q1["EURUSD"]["priceCurrent"]);
    EXPECT_EQ(only["XAUUSD"]["volume"], "30");
}

TEST(DealerSimFaults, KeyAndEncipheringFollowTheConfiguration) {
    DealerSimOptions o;
    o.key = "0123456789abcdef";
    DealerSim sim(o);
    Session s = logIn(sim);  // the client side uses sim.key()
    EXPECT_TRUE(s.trade->lastWasEnciphered());

    SimClient wrongKey(sim.serviceUrl(SimService::Trade), DealerSim::kDefaultKey);
    wrongKey.send("2001", s.list());
    EXPECT_EQ(s.trade->request("2001", s.list())["retCode"], "0");  // orders the check below
    auto packages = sim.packages(SimService::Trade, "");
    bool refused = false;
    for (const auto& p : packages)
        refused = refused || p.error.find("cannot decipher") != std::string::npos;
    EXPECT_TRUE(refused);

    sim.setEncipher(SimService::Trade, false);
    s.trade->request("2001", s.list());
    EXPECT_FALSE(s.trade->lastWasEnciphered());
    // Plain requests are accepted on an enciphering service too.
    EXPECT_EQ(s.msg->request("2013", s.list(), {}, {}, false)["retCode"], "0");
    EXPECT_FALSE(sim.packages(SimService::Message, "2013").back().enciphered);
}

TEST(DealerSimFaults, TheQuoteStreamRunsAtItsRateAndStopsAtZero) {
    DealerSim sim;
    Session s = logIn(sim);
    sim.setQuoteRate(50);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(s.quote->nextPush("4002")["data"]["children"].size(), 4u);
    sim.setQuoteRate(0);
    const long long volume = std::stoll(sim.quotes()["EURUSD"]["volume"].get<std::string>());
    EXPECT_GE(volume, 3);
    // Stopped: only the hand-made step moves the price now.
    EXPECT_EQ(std::stoll(sim.tick(1)["EURUSD"]["volume"].get<std::string>()), volume + 1);

    // A rate near 0 steps at most once a day, as slowly as it asks, not flat out.
    sim.setQuoteRate(1e-300);
    const long long slow = std::stoll(sim.quotes()["EURUSD"]["volume"].get<std::string>());
    EXPECT_EQ(s.trade->request("2001", s.list())["retCode"], "0");
    EXPECT_EQ(std::stoll(sim.tick(1)["EURUSD"]["volume"].get<std::string>()), slow + 1);
}
