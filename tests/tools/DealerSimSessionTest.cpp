// A whole session against the simulated dealer, driven by a small client that
// speaks the trading client's wire format.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "tests/tools/SimSession.h"

using kavtest::DealerSim;
using kavtest::SimService;
using namespace simtest;

namespace {

double num(const Json& v) {
    EXPECT_TRUE(v.is_string()) << "expected a string, got " << v.dump();
    return v.is_string() ? std::stod(v.get<std::string>()) : v.get<double>();
}

void expectKeys(const Json& record, std::initializer_list<const char*> keys) {
    for (const char* k : keys)
        EXPECT_TRUE(record.contains(k)) << "missing \"" << k << "\" in " << record.dump();
}

// The dealer's usual rendering: every record value is a JSON string.
void expectAllStrings(const Json& records) {
    for (const Json& r : records)
        for (const auto& [k, v] : r.items())
            EXPECT_TRUE(v.is_string()) << k << " is " << v.dump();
}

}  // namespace

TEST(DealerSimSession, LoginChainNamesTheServicesAndHandsOutOneTokenPerChannel) {
    DealerSim sim;
    Session s = logIn(sim);
    const Json& d = s.loginReply["data"];
    EXPECT_EQ(s.loginReply["event"], "1004");
    EXPECT_EQ(d["tradeproxy"], sim.serviceUrl(SimService::Trade));
    EXPECT_EQ(d["quotedproxy"], sim.serviceUrl(SimService::Quote));
    EXPECT_EQ(d["messageProxy"], sim.serviceUrl(SimService::Message));
    EXPECT_EQ(d["hisQuoted"], sim.serviceUrl(SimService::History));
    EXPECT_FALSE(d.contains("new_quotedproxy"));
    std::set<std::string> distinct;
    for (const auto& [name, token] : s.tokens)
        distinct.insert(token);
    EXPECT_EQ(distinct.size(), 4u);

    // The login and proxy-login packages arrived enciphered on the enciphering services.
    auto logins = sim.packages(SimService::Login, "1003");
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_TRUE(logins[0].enciphered);
    EXPECT_EQ(logins[0].data("uid"), "1001");
    EXPECT_TRUE(logins[0].error.empty());
    auto proxies = sim.packages(std::nullopt, "1005");
    ASSERT_EQ(proxies.size(), 4u);
    for (const auto& p : proxies)
        EXPECT_EQ(p.enciphered, p.service == "trade" || p.service == "msg") << p.service;

    // Replies follow the service's configuration: enciphered on trade, plain on quotes.
    Json r = s.trade->request("2001", s.list());
    EXPECT_TRUE(s.trade->lastWasEnciphered());
    r = s.quote->request(
        "2019", {{"sid", s.sid}, {"uid", "1001"}, {"pwd", "123456"}, {"token", s.tokens["quote"]}},
        {}, {}, false);
    EXPECT_FALSE(s.quote->lastWasEnciphered());
    EXPECT_EQ(r["retCode"], "0");

    EXPECT_EQ(loginRequest(sim, "1001", "wrong")["retCode"], "1001");
    SimClient other(sim.serviceUrl(SimService::Trade), sim.key());
    EXPECT_EQ(proxyLogin(other, "Snot-a-session", "1001", "123456", true)["retCode"], "1002");
}

TEST(DealerSimSession, QueriesAnswerEveryRecordKeyTheClientReads) {
    DealerSim sim;
    Session s = logIn(sim);

    Json accounts = children(s.trade->request("2001", s.list()));
    ASSERT_EQ(accounts.size(), 1u);
    expectKeys(accounts[0], {"accCode",
                             "seatsCode",
                             "accId",
                             "payId",
                             "orgId",
                             "dealerId",
                             "exchangeId",
                             "amWithdrawable",
                             "amMarginFree",
                             "amMarginFreezed",
                             "amMarginRemain",
                             "amMarginUsed",
                             "amDailyCloseProfit",
                             "amPreBalance",
                             "amDailyCharge",
                             "amDailyInterest",
                             "amDailySProfit",
                             "netValue",
                             "profitClose",
                             "profitDyn",
                             "risk",
                             "riskType",
                             "riskCustomWarning",
                             "riskCustomCut",
                             "currencyCode",
                             "tradeMarketName"});
    expectAllStrings(accounts);
    EXPECT_EQ(accounts[0]["accId"], "1001");
    EXPECT_EQ(accounts[0]["amMarginRemain"], "100000");
    EXPECT_EQ(accounts[0]["riskType"], "2");

    Json symbols = children(s.trade->request("2009", s.list()));
    ASSERT_EQ(symbols.size(), 4u);
    std::map<std::string, std::string> decimals;
    const std::regex dateForm(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})");
    for (const Json& sym : symbols) {
        expectKeys(sym, {"accId",
                         "ask",
                         "bid",
                         "decimal",
                         "isTrade",
                         "maxPointOffset",
                         "maxTradeQuantity",
                         "minTradeQuantity",
                         "moveRate",
                         "pointAsk",
                         "pointBid",
                         "pointLimit",
                         "pointStopLose",
                         "pointTakeProfit",
                         "priceClose",
                         "priceCurrent",
                         "priceHighest",
                         "priceLowest",
                         "priceOpen",
                         "quantityStep",
                         "symbolCode",
                         "symbolCurrency",
                         "symbolId",
                         "symbolName",
                         "symbolType",
                         "tradeMarketId",
                         "tradeMarketName",
                         "tradeModel",
                         "traderAccess",
                         "tradeBillType",
                         "deliveryModel",
                         "dailyLimitUp",
                         "dailyLimitDown",
                         "quantityMax",
                         "unit",
                         "date",
                         "beginTradeTime",
                         "endTradeTime"});
        EXPECT_EQ(sym["accId"], "1001");
        decimals[sym["symbolCode"]] = sym["decimal"];
        EXPECT_TRUE(std::regex_match(sym["beginTradeTime"].get<std::string>(), dateForm));
        // The quote's bid and ask follow from the current price and the point offsets.
        const double f = std::pow(10.0, num(sym["decimal"]));
        EXPECT_NEAR(num(sym["ask"]), num(sym["priceCurrent"]) + num(sym["pointAsk"]) / f, 0.5 / f);
        EXPECT_NEAR(num(sym["bid"]), num(sym["priceCurrent"]) - num(sym["pointBid"]) / f, 0.5 / f);
    }
    expectAllStrings(symbols);
    EXPECT_EQ(decimals, (std::map<std::string, std::string>{
                            {"EURUSD", "5"}, {"USDJPY", "3"}, {"XAUUSD", "2"}, {"US30", "1"}}));

    Json rates = children(s.trade->request("2029", s.list()));
    ASSERT_FALSE(rates.empty());
    expectKeys(rates[0], {"currencyBase", "currencyExchange", "exchangeRate"});

    for (const char* empty : {"2003", "2005", "2027", "2007"})
        EXPECT_TRUE(children(s.trade->request(empty, s.list())).empty()) << empty;

    Json bulletins = children(s.msg->request("2013", s.list()));
    ASSERT_EQ(bulletins.size(), 3u);
    expectKeys(bulletins[0], {"contentId", "title", "content", "date"});

    // A query on the wrong service or without a session is refused.
    EXPECT_EQ(s.msg->request("2001", s.list())["retCode"], "9002");
    EXPECT_EQ(
        s.trade->request("2001", {{"sid", "S0"}, {"uid", "1001"}, {"action", "4"}})["retCode"],
        "9001");
}

TEST(DealerSimSession, MarketOrderFillsAtTheAskAndCloseBooksTheProfit) {
    DealerSim sim;
    Session s = logIn(sim);
    sim.setBid("EURUSD", 1.09990);  // ask 1.10010

    Json r = order(s, "3001", {{"bsCode", "b"}, {"orderQuantity", "2"}, {"orderPrice", "1.10010"}});
    ASSERT_EQ(r["retCode"], "0") << r.dump();
    EXPECT_EQ(r["event"], "3002");
    Json ticket = s.trade->nextPush("4016")["data"]["children"][0];
    EXPECT_EQ(ticket["bsCode"], "b");
    EXPECT_EQ(ticket["quantityHold"], "2");
    EXPECT_DOUBLE_EQ(num(ticket["priceOpen"]), 1.1001);
    EXPECT_EQ(ticket["marginUsed"], "2000");
    expectKeys(ticket, {"symbolCode", "chargeInterest", "profitSettl", "marginUsed", "openDate",
                        "chargeOpen", "bsCode", "priceStopLose", "priceTakeProfit", "priceHold",
                        "orderCode", "accId", "quantityHold", "symbolId", "priceOpen"});
    Json position = s.trade->nextPush("4022")["data"]["children"][0];
    EXPECT_EQ(position["quantityBuy"], "2");
    EXPECT_DOUBLE_EQ(num(position["moneyBuy"]), 220020.0);
    EXPECT_EQ(s.trade->nextPush("4008")["data"]["children"][0]["amMarginUsed"], "2000");

    // 80 points up on two lots of 100000: 160 of floating profit.
    sim.setBid("EURUSD", 1.10090);
    Json account = sim.desk("1001")["accounts"][0];
    EXPECT_DOUBLE_EQ(num(account["profitDyn"]), 160.0);
    EXPECT_DOUBLE_EQ(num(account["netValue"]), 100160.0);

    const std::string code = ticket["orderCode"];
    r = order(s, "3003",
              {{"orderType", "2"},
               {"bsCode", "s"},
               {"orderCodeRe", code},
               {"orderQuantity", "2"},
               {"orderPrice", "1.10090"}});
    ASSERT_EQ(r["retCode"], "0") << r.dump();
    EXPECT_EQ(s.trade->nextPush("4016")["data"]["children"][0]["quantityHold"], "0");
    Json closed = s.trade->nextPush("4020")["data"]["children"][0];
    EXPECT_EQ(closed["orderCode"], code);
    EXPECT_EQ(closed["bsCode"], "s");
    EXPECT_EQ(closed["closeType"], "1");
    EXPECT_DOUBLE_EQ(num(closed["profitClose"]), 160.0);
    EXPECT_DOUBLE_EQ(num(closed["priceClose"]), 1.1009);
    EXPECT_EQ(s.trade->nextPush("4022")["data"]["children"][0]["quantityBuy"], "0");
    EXPECT_EQ(s.trade->nextPush("4008")["data"]["children"][0]["amMarginRemain"], "100160");

    EXPECT_TRUE(children(s.trade->request("2003", s.list())).empty());
    Json closedList = children(s.trade->request("2007", s.list()));
    ASSERT_EQ(closedList.size(), 1u);
    expectKeys(closedList[0],
               {"accId",         "bsCode",       "chargeClose",   "chargeInterest",  "chargeOpen",
                "closeDate",     "closeType",    "openDate",      "orderCode",       "priceClose",
                "priceHold",     "priceOpen",    "priceStopLose", "priceTakeProfit", "profitClose",
                "quantityClose", "quantityHold", "symbolId",      "symbolCode",      "symbolName"});
}

TEST(DealerSimSession, PendingOrdersFillWhenThePriceCrossesAndCanBeChangedOrCancelled) {
    DealerSim sim;
    Session s = logIn(sim);
    sim.setBid("EURUSD", 1.09990);

    // A buy below the ask waits for the ask to come down to it (limit).
    Json r = order(s, "3005", {{"orderType", "3"}, {"bsCode", "b"}, {"orderPrice", "1.09900"}});
    ASSERT_EQ(r["retCode"], "0") << r.dump();
    Json placed = s.trade->nextPush("4018")["data"]["children"][0];
    EXPECT_EQ(placed["quantityOrder"], "1");
    expectKeys(placed, {"accId", "bsCode", "limitType", "marginFreezed", "memo", "openDate",
                        "orderCode", "orderPrice", "priceStopLose", "priceTakeProfit",
                        "quantityComplete", "quantityOrder", "symbolCode", "symbolId", "validDate",
                        "validDateType", "symbolName"});
    EXPECT_EQ(s.trade->nextPush("4008")["data"]["children"][0]["amMarginFreezed"], "1000");
    ASSERT_EQ(children(s.trade->request("2005", s.list())).size(), 1u);

    // Its stop-loss and take-profit can change while it waits.
    r = order(s, "3011",
              {{"orderType", "3011"},
               {"bsCode", ""},
               {"orderCode", placed["orderCode"]},
               {"priceStopLose", "1.09500"},
               {"priceTakeProfit", "1.10500"}});
    ASSERT_EQ(r["retCode"], "0") << r.dump();
    EXPECT_DOUBLE_EQ(num(s.trade->nextPush("4018")["data"]["children"][0]["priceStopLose"]), 1.095);

    sim.setAsk("EURUSD", 1.09950);
    EXPECT_EQ(sim.desk("1001")["orders"].size(), 1u);
    sim.setAsk("EURUSD", 1.09900);
    Json filled = s.trade->nextPush("4018")["data"]["children"][0];
    EXPECT_EQ(filled["orderCode"], placed["orderCode"]);
    EXPECT_EQ(filled["quantityOrder"], "0");
    Json ticket = s.trade->nextPush("4016")["data"]["children"][0];
    EXPECT_DOUBLE_EQ(num(ticket["priceOpen"]), 1.099);  // a limit order fills at its own price
    EXPECT_DOUBLE_EQ(num(ticket["priceStopLose"]), 1.095);

    // A sell below the bid waits for the market to fall through it (stop) and fills at the market.
    r = order(
        s, "3005",
        {{"orderType", "4"}, {"bsCode", "s"}, {"orderPrice", "1.09500"}, {"orderQuantity", "3"}});
    ASSERT_EQ(r["retCode"], "0") << r.dump();
    sim.setBid("EURUSD", 1.09480);
    auto desk = sim.desk("1001");
    EXPECT_TRUE(desk["orders"].empty());
    ASSERT_EQ(desk["tickets"].size(), 1u);  // the buy was stopped out at 1.09480 meanwhile
    EXPECT_EQ(desk["tickets"][0]["bsCode"], "s");
    EXPECT_DOUBLE_EQ(num(desk["tickets"][0]["priceOpen"]), 1.0948);

    // Cancelling frees the frozen margin.
    r = order(s, "3005", {{"orderType", "4"}, {"bsCode", "b"}, {"orderPrice", "1.11000"}});
    ASSERT_EQ(r["retCode"], "0");
    const std::string code = sim.desk("1001")["orders"][0]["orderCode"];
    r = order(s, "3009", {{"orderType", "6"}, {"bsCode", ""}, {"orderCode", code}});
    ASSERT_EQ(r["retCode"], "0") << r.dump();
    EXPECT_TRUE(sim.desk("1001")["orders"].empty());
    EXPECT_EQ(sim.desk("1001")["accounts"][0]["amMarginFreezed"], "0");
    EXPECT_EQ(order(s, "3009", {{"orderType", "6"}, {"orderCode", code}})["retCode"], "3107");
}

TEST(DealerSimSession, StopLossAndTakeProfitCloseTicketsAtTheMarket) {
    DealerSim sim;
    Session s = logIn(sim);
    sim.setBid("EURUSD", 1.09990);
    // Too close to the fill price (the least distance is 30 points).
    EXPECT_EQ(
        order(s, "3001", {{"orderPrice", "1.10010"}, {"priceStopLose", "1.09990"}})["retCode"],
        "3105");
    EXPECT_EQ(
        order(s, "3001", {{"orderPrice", "1.10010"}, {"priceTakeProfit", "1.10020"}})["retCode"],
        "3106");
    EXPECT_TRUE(sim.desk("1001")["tickets"].empty());

    ASSERT_EQ(
        order(s, "3001", {{"orderPrice", "1.10010"}, {"priceTakeProfit", "1.10200"}})["retCode"],
        "0");
    ASSERT_EQ(
        order(s, "3001", {{"orderPrice", "1.10010"}, {"priceStopLose", "1.09900"}})["retCode"],
        "0");
    sim.setBid("EURUSD", 1.10200);
    Json take = s.trade->nextPush("4020")["data"]["children"][0];
    EXPECT_EQ(take["closeType"], "3");
    EXPECT_DOUBLE_EQ(num(take["profitClose"]), 190.0);
    sim.setBid("EURUSD", 1.09900);
    Json stop = s.trade->nextPush("4020")["data"]["children"][0];
    EXPECT_EQ(stop["closeType"], "2");
    EXPECT_DOUBLE_EQ(num(stop["profitClose"]), -110.0);
    EXPECT_TRUE(sim.desk("1001")["tickets"].empty());
}

TEST(DealerSimSession, RefusedOrdersChangeNothing) {
    DealerSim sim;
    Session s = logIn(sim);
    sim.setBid("EURUSD", 1.09990);
    EXPECT_EQ(order(s, "3001", {{"orderPrice", "1.10000"}, {"pointOffset", "5"}})["retCode"],
              "3103");
    EXPECT_EQ(order(s, "3001", {{"orderPrice", "1.10000"}, {"pointOffset", "10"}})["retCode"], "0");
    EXPECT_EQ(order(s, "3001", {{"orderPrice", "1.10010"}, {"orderQuantity", "0"}})["retCode"],
              "3102");
    EXPECT_EQ(order(s, "3001", {{"orderPrice", "1.10010"}, {"orderQuantity", "51"}})["retCode"],
              "3102");
    EXPECT_EQ(order(s, "3001", {{"orderPrice", "1.10010"}, {"symbolCode", "GBPUSD"}})["retCode"],
              "3101");
    EXPECT_EQ(order(s, "3001", {{"orderPrice", "1.10010"}, {"bsCode", "x"}})["retCode"], "3110");
    // 50 lots need 50000 of the 99000 or so still free; a second 50 do not fit.
    EXPECT_EQ(order(s, "3001", {{"orderPrice", "1.10010"}, {"orderQuantity", "50"}})["retCode"],
              "0");
    EXPECT_EQ(order(s, "3001", {{"orderPrice", "1.10010"}, {"orderQuantity", "50"}})["retCode"],
              "3104");
    EXPECT_EQ(order(s, "3005", {{"orderType", "3"}, {"orderPrice", "1.09990"}})["retCode"], "3108");
    const std::string first = sim.desk("1001")["tickets"][0]["orderCode"];
    EXPECT_EQ(order(s, "3003",
                    {{"orderType", "2"},
                     {"bsCode", "b"},
                     {"orderCodeRe", first},
                     {"orderPrice", "1.0999"}})["retCode"],
              "3110");
    EXPECT_EQ(order(s, "3003",
                    {{"orderType", "2"},
                     {"bsCode", "s"},
                     {"orderCodeRe", first},
                     {"orderQuantity", "2"},
                     {"orderPrice", "1.0999"}})["retCode"],
              "3109");
    EXPECT_EQ(order(s, "3003",
                    {{"orderType", "2"},
                     {"bsCode", "s"},
                     {"orderCodeRe", "42"},
                     {"orderPrice", "1.0999"}})["retCode"],
              "3107");
    // An order whose kind does not match its request is malformed.
    EXPECT_EQ(order(s, "3001", {{"orderType", "2"}, {"orderPrice", "1.10010"}})["retCode"], "9003");
    EXPECT_EQ(sim.desk("1001")["tickets"].size(), 2u);
}

// A price no symbol can have is refused for what it is: neither turned into
// points that overflow (1e29), nor taken for a price too near the market (0).
TEST(DealerSimSession, PricesOutsideTheSymbolsRangeAreRefusedAsSuch) {
    DealerSim sim;
    Session s = logIn(sim);
    sim.setBid("EURUSD", 1.09990);  // ask 1.10010
    for (const char* bad : {"1e29", "0", "-1.1", "0.000001", "20000000000"}) {
        Json r = order(s, "3005", {{"orderType", "3"}, {"orderPrice", bad}});
        EXPECT_EQ(r["retCode"], "3112") << bad;
        EXPECT_EQ(r["message"], "价格超出商品范围") << bad;
        EXPECT_EQ(order(s, "3001", {{"orderPrice", bad}, {"pointOffset", "50"}})["retCode"], "3112")
            << bad;
    }
    // Stop-loss and take-profit: 0 is none, anything else must be a price.
    EXPECT_EQ(order(s, "3005", {{"orderType", "3"}, {"orderPrice", "1.09000"},
                                {"priceStopLose", "1e29"}})["retCode"],
              "3112");
    EXPECT_EQ(order(s, "3001", {{"orderPrice", "1.10010"}, {"priceTakeProfit", "-1e29"}})["retCode"],
              "3112");
    // A deviation beyond any price allows any fill, without overflowing.
    Json opened = order(s, "3001", {{"orderPrice", "1.5"}, {"pointOffset", "1e29"}});
    ASSERT_EQ(opened["retCode"], "0") << opened.dump();
    const std::string ticket = opened["data"]["orderCode"];
    EXPECT_EQ(order(s, "3011", {{"orderType", "3011"}, {"bsCode", ""}, {"orderCode", ticket},
                                {"priceStopLose", "1e29"}, {"priceTakeProfit", "0"}})["retCode"],
              "3112");
    EXPECT_EQ(order(s, "3003", {{"orderType", "2"}, {"bsCode", "s"}, {"orderCodeRe", ticket},
                                {"orderPrice", "1e29"}, {"pointOffset", "5"}})["retCode"],
              "3112");
    EXPECT_EQ(order(s, "2039", {{"orderType", "2"}, {"bsCode", "s"}, {"orderPrice", "1e29"},
                                {"pointOffset", "5"}})["retCode"],
              "3112");
    // Still a pending order at a real price too near the market is what it was.
    EXPECT_EQ(order(s, "3005", {{"orderType", "3"}, {"orderPrice", "1.09990"}})["retCode"], "3108");
    EXPECT_EQ(sim.desk("1001")["tickets"].size(), 1u);
    EXPECT_TRUE(sim.desk("1001")["orders"].empty());
}

TEST(DealerSimSession, CloseBySymbolClosesTheOldestTicketsFirst) {
    DealerSim sim;
    Session s = logIn(sim);
    sim.setBid("XAUUSD", 1999.75);  // ask 2000.25
    ASSERT_EQ(
        order(s, "3001",
              {{"symbolCode", "XAUUSD"}, {"symbolId", "3"}, {"orderPrice", "2000.25"}})["retCode"],
        "0");
    ASSERT_EQ(order(s, "3001",
                    {{"symbolCode", "XAUUSD"},
                     {"symbolId", "3"},
                     {"orderPrice", "2000.25"},
                     {"orderQuantity", "2"}})["retCode"],
              "0");
    const std::string second = sim.desk("1001")["tickets"][1]["orderCode"];
    Json r = order(s, "2039",
                   {{"orderType", "2"},
                    {"symbolCode", "XAUUSD"},
                    {"symbolId", "3"},
                    {"bsCode", "s"},
                    {"orderQuantity", "2"},
                    {"orderPrice", "1999.75"},
                    {"cutType", "1"}});
    ASSERT_EQ(r["retCode"], "0") << r.dump();
    Json tickets = sim.desk("1001")["tickets"];
    ASSERT_EQ(tickets.size(), 1u);
    EXPECT_EQ(tickets[0]["orderCode"], second);
    EXPECT_EQ(tickets[0]["quantityHold"], "1");
    Json closed = sim.desk("1001")["closed"];
    ASSERT_EQ(closed.size(), 2u);
    EXPECT_EQ(closed[0]["closeType"], "4");
    EXPECT_DOUBLE_EQ(num(closed[0]["profitClose"]), -50.0);  // the spread of one lot of 100 ounces
}

TEST(DealerSimSession, ProfitsOfForeignCurrencySymbolsAreConvertedAtTheRate) {
    DealerSim sim;
    Session s = logIn(sim);
    sim.setBid("USDJPY", 149.990);
    ASSERT_EQ(
        order(s, "3001",
              {{"symbolCode", "USDJPY"}, {"symbolId", "2"}, {"orderPrice", "150.010"}})["retCode"],
        "0");
    sim.setRate("JPY", "USD", 0.0066);
    Json rate = s.trade->nextPush("4024")["data"]["children"][0];
    EXPECT_EQ(rate["currencyBase"], "JPY");
    sim.setBid("USDJPY", 150.110);  // 0.1 yen on 100000: 10000 yen
    const std::string code = sim.desk("1001")["tickets"][0]["orderCode"];
    ASSERT_EQ(order(s, "3003",
                    {{"orderType", "2"},
                     {"symbolCode", "USDJPY"},
                     {"bsCode", "s"},
                     {"orderCodeRe", code},
                     {"orderPrice", "150.110"}})["retCode"],
              "0");
    EXPECT_DOUBLE_EQ(num(sim.desk("1001")["closed"][0]["profitClose"]), 66.0);
}

TEST(DealerSimSession, RiskLinesSendNoticesAndTheCutLineClosesEverything) {
    DealerSim sim;
    Session s = logIn(sim, "1002");  // used margin / net value; warning 0.5, cut 1.0
    sim.setBid("EURUSD", 1.09990);
    ASSERT_EQ(
        order(s, "3001",
              {{"accId", "1002"}, {"orderQuantity", "24"}, {"orderPrice", "1.10010"}})["retCode"],
        "0");
    sim.setBid("EURUSD", 1.09930);  // net 48080: ratio 0.499
    sim.setBid("EURUSD", 1.09900);  // net 47360: ratio 0.507
    Json warn = s.trade->nextPush("4030")["data"]["children"][0];
    EXPECT_EQ(warn["notifyType"], "1");
    EXPECT_EQ(warn["riskType"], "1");
    EXPECT_DOUBLE_EQ(num(warn["threshold"]), 0.5);
    expectKeys(warn, {"accId", "notifyType", "riskType", "netValue", "usedMargin", "riskValue",
                      "threshold"});
    sim.setBid("EURUSD", 1.08900);  // net 23360: past the cut line
    Json cut = s.trade->nextPush("4032")["data"]["children"][0];
    EXPECT_EQ(cut["notifyType"], "2");
    Json closed = s.trade->nextPush("4020")["data"]["children"][0];
    EXPECT_EQ(closed["closeType"], "5");
    EXPECT_TRUE(sim.desk("1002")["tickets"].empty());
    EXPECT_DOUBLE_EQ(num(sim.desk("1002")["accounts"][0]["amMarginRemain"]), 50000.0 - 26640.0);
}

TEST(DealerSimSession, DepositAndPasswordChange) {
    DealerSim sim;
    Session s = logIn(sim);
    auto deposit = [&](const char* type, const char* amount) {
        return s.trade->request("2035", s.action1(),
                                {{"accId", "1001"},
                                 {"amChange", amount},
                                 {"amType", type},
                                 {"changeDate", "2024-01-02 03:04:05"},
                                 {"memo", ""},
                                 {"userId", "1001"}});
    };
    ASSERT_EQ(deposit("1", "500.00")["retCode"], "0");
    EXPECT_EQ(s.trade->nextPush("4008")["data"]["children"][0]["amMarginRemain"], "100500");
    EXPECT_EQ(deposit("2", "200000.00")["retCode"], "3104");
    EXPECT_EQ(deposit("1", "-5.00")["retCode"], "3111");

    auto change = [&](const char* oldPwd, const char* newPwd) {
        return s.trade->request(
            "1009", s.action1(),
            {{"pwdType", "1"}, {"newPWD", newPwd}, {"oldPWD", oldPwd}, {"userId", "1001"}});
    };
    EXPECT_EQ(change("bad", "654321")["retCode"], "1003");
    ASSERT_EQ(change("123456", "654321")["retCode"], "0");
    EXPECT_EQ(loginRequest(sim, "1001", "123456")["retCode"], "1001");
    EXPECT_EQ(loginRequest(sim, "1001", "654321")["retCode"], "0");
}

TEST(DealerSimSession, QuotePushesAndHistoryBarsAgree) {
    DealerSim sim;
    Session s = logIn(sim);
    Json quotes = sim.tick(3);
    for (int i = 0; i < 3; ++i) {
        Json push = s.quote->nextPush("4002");
        EXPECT_EQ(push["retCode"], "0");
        ASSERT_EQ(push["data"]["children"].size(), 4u);
        expectKeys(push["data"]["children"][0],
                   {"symbolCode", "priceCurrent", "priceHighest", "priceLowest", "dailyHight",
                    "dailyLow", "lastTime"});
        if (i == 2) {
            EXPECT_EQ(push["data"]["children"][0]["priceCurrent"],
                      quotes["EURUSD"]["priceCurrent"]);
        }
    }

    auto bars = [&](const char* period, const char* count) {
        Json r = s.history->request(
            "2023", s.list(), {},
            {{"symbolCode", "EURUSD"}, {"barCount", count}, {"period", period}, {"time", ""}},
            false);
        EXPECT_EQ(r["retCode"], "0") << r.dump();
        std::vector<std::vector<std::string>> rows;
        for (const Json& c : children(r)) {
            std::vector<std::string> f;
            std::string row = c["row"];
            for (size_t pos; (pos = row.find(',')) != std::string::npos; row.erase(0, pos + 1))
                f.push_back(row.substr(0, pos));
            f.push_back(row);
            EXPECT_EQ(f.size(), 6u);
            rows.push_back(f);
        }
        return rows;
    };
    auto m1 = bars("4", "-1000");
    ASSERT_EQ(m1.size(), 1000u);
    EXPECT_LT(std::stoll(m1[0][0]), std::stoll(m1[999][0]));  // oldest first
    EXPECT_EQ(std::stoll(m1[999][0]) % 60, 0);
    EXPECT_DOUBLE_EQ(std::stod(m1[999][5]),
                     std::stod(quotes["EURUSD"]["priceCurrent"].get<std::string>()));

    // The newest five-minute bar is made of the newest one-minute bars.
    auto m5 = bars("5", "-10");
    ASSERT_EQ(m5.size(), 10u);
    const long long start = std::stoll(m5[9][0]);
    double high = 0, low = 1e9;
    std::string open;
    for (const auto& b : m1) {
        if (std::stoll(b[0]) < start) continue;
        if (open.empty()) open = b[2];
        high = std::max(high, std::stod(b[3]));
        low = std::min(low, std::stod(b[4]));
    }
    EXPECT_EQ(m5[9][2], open);
    EXPECT_DOUBLE_EQ(std::stod(m5[9][3]), high);
    EXPECT_DOUBLE_EQ(std::stod(m5[9][4]), low);
    EXPECT_EQ(m5[9][5], m1[999][5]);
    auto d1 = bars("9", "-1000");
    EXPECT_GT(d1.size(), 300u);
    EXPECT_EQ(d1.back()[5], m1[999][5]);
    EXPECT_EQ(bars("7", "-5").size(), 5u);

    Json refused = s.history->request(
        "2023", s.list(), {},
        {{"symbolCode", "EURUSD"}, {"barCount", "-10"}, {"period", "6"}, {"time", ""}}, false);
    EXPECT_EQ(refused["retCode"], "3201");
}

TEST(DealerSimSession, TokenCheckRebindsAReopenedConnectionUntilTokensAreInvalidated) {
    DealerSim sim;
    Session s = logIn(sim);
    SimClient reopened(sim.serviceUrl(SimService::Trade), sim.key());
    Pairs check = {
        {"sid", s.sid}, {"uid", "1001"}, {"pwd", "123456"}, {"token", s.tokens["trade"]}};
    Json r = reopened.request("2019", check);
    EXPECT_EQ(r["retCode"], "0");
    EXPECT_EQ(r["event"], "2020");
    // The reopened connection gets the session's pushes again.
    sim.setBid("EURUSD", 1.09990);
    ASSERT_EQ(order(s, "3001", {{"orderPrice", "1.10010"}})["retCode"], "0");
    EXPECT_EQ(reopened.nextPush("4016")["data"]["children"][0]["quantityHold"], "1");
    // A token of another service does not pass.
    Pairs wrongService = check;
    wrongService[3].second = s.tokens["quote"];
    EXPECT_EQ(SimClient(sim.serviceUrl(SimService::Trade), sim.key())
                  .request("2019", wrongService)["retCode"],
              "1005");

    EXPECT_EQ(sim.invalidateTokens(), 4);
    SimClient again(sim.serviceUrl(SimService::Trade), sim.key());
    EXPECT_EQ(again.request("2019", check)["retCode"], "1005");
}

TEST(DealerSimSession, MalformedPackagesAreRecordedAndRefused) {
    DealerSim sim;
    Session s = logIn(sim);
    const std::string head =
        R"({"event":"2001","token" : "","msgOrder":"77","encrypt":"1","data":)";
    auto refusedWith = [&](const std::string& text, const std::string& errorPart) {
        s.trade->sendText(s.trade->encipher(text));
        auto r = s.trade->next();
        ASSERT_TRUE(r) << "no answer to " << text;
        EXPECT_EQ((*r)["retCode"], "9003") << text;
        EXPECT_EQ((*r)["msgOrder"], "77");
        auto got = sim.packages(SimService::Trade);
        EXPECT_NE(got.back().error.find(errorPart), std::string::npos) << got.back().error;
    };
    refusedWith(head + R"({"sid": 5, "uid": "1001", "action": "4"}})", "not a string");
    refusedWith(head + R"({"sid": "x"}, "extra": "1"})", "unexpected member");
    refusedWith(head + R"({"sid": "x", "children": [{"a": "1"}, {"b": "2"}]}})", "children");
    refusedWith(head + R"({"uid": "1001", "action": "4"}})",
                "");  // no sid: a refusal, not a format error
    EXPECT_EQ(sim.packages(SimService::Trade).back().error, "");
    refusedWith(R"({"event":"2001","token" : "","msgOrder":"77","encrypt":"1","data":{"sid": "x"})"
                R"(,"msgOrder2":"1"})",
                "unexpected member");
    EXPECT_EQ(order(s, "3001", {{"orderPrice", "1.1"}}).value("retCode", ""),
              "3103");  // well-formed

    // Text that is not JSON, or not a valid envelope, gets no answer but is recorded.
    s.trade->sendText("{not json");
    s.trade->sendText("@@@@");
    s.trade->sendText(s.trade->encipher(
        R"({"event":"9999","token" : "","msgOrder":"78","encrypt":"1","data":{}})"));
    auto next = s.trade->next();
    ASSERT_TRUE(next);
    Json unknown = *next;
    EXPECT_EQ(unknown["msgOrder"], "78");  // the first two were never answered
    EXPECT_EQ(unknown["retCode"], "9002");
    auto got = sim.packages(SimService::Trade);
    ASSERT_GE(got.size(), 3u);
    EXPECT_NE(got[got.size() - 3].error.find("not JSON"), std::string::npos);
    EXPECT_NE(got[got.size() - 2].error.find("cannot decipher"), std::string::npos);
}

TEST(DealerSimSession, HeartbeatsAreCountedAndNeverAnswered) {
    DealerSim sim;
    Session s = logIn(sim);
    s.trade->sendText("");
    s.trade->sendText("");
    s.quote->sendText("");
    EXPECT_TRUE(sim.waitForHeartbeats(SimService::Trade, 2));
    EXPECT_TRUE(sim.waitForHeartbeats(SimService::Quote, 1));
    EXPECT_EQ(sim.heartbeats(SimService::Message), 0);
    // The next thing on the connection is the reply to a later request.
    EXPECT_EQ(s.trade->request("2001", s.list())["event"], "2002");
    EXPECT_TRUE(sim.packages(SimService::Trade, "").size() >= 2u);
}
