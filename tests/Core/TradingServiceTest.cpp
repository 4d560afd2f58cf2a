// The service object's trading queries, caches, getters and order actions on
// fake connections.
#include <gtest/gtest.h>

#include <cmath>

#include "Core/KAVBizSDK.h"
#include "tests/Core/ServiceTestSupport.h"
#include "tests/Core/TradingTestSupport.h"
#include "tests/support/TestSupport.h"

using platform::Json;
using namespace kavtest;

namespace {

// EURUSD 5 decimals (bid 1.10250, ask 1.10270), USDJPY 3 decimals of type 3
// (bid 150.000, ask 150.020), XAUUSD 2 decimals.
const Json kSymbols = Json::parse(R"([
    {"accId":"1001","symbolId":"1","symbolCode":"EURUSD","symbolName":"欧元美元","tradeMarketName":"外汇",
     "symbolCurrency":"USD","symbolType":"1","decimal":"5","unit":"100000","bid":"1.10250","ask":"1.10270",
     "pointAsk":"10","pointBid":"10","pointStopLose":"30","pointTakeProfit":"30"},
    {"accId":"1001","symbolId":"2","symbolCode":"USDJPY","symbolName":"美元日元","tradeMarketName":"外汇",
     "symbolCurrency":"JPY","symbolType":"3","decimal":"3","unit":"100000","bid":"150.000","ask":"150.020",
     "pointAsk":"10","pointBid":"10"},
    {"accId":"1001","symbolId":"3","symbolCode":"XAUUSD","symbolName":"黄金","tradeMarketName":"贵金属",
     "symbolCurrency":"USD","symbolType":"1","decimal":"2","unit":"100","bid":"2345.40","ask":"2345.90",
     "pointAsk":"25","pointBid":"25","pointStopLose":"100","pointTakeProfit":"100"}])");
const Json kRates = Json::parse(R"([{"currencyBase":"JPY","currencyExchange":"USD","exchangeRate":"0.0066"}])");

class TradingService : public ::testing::Test {
  protected:
    void SetUp() override {
        sdk->setConnectionFactory(net.factory());
        sdk->setDelegate(delegate);
    }

    // A channel of the service object, opened; its fake connection.
    FakeConnection& open(const char* name, int32_t isEncrypt = 0) {
        auto ch = sdk->createWSWithKey(name, isEncrypt, sdk->timeOut());
        ch->open(std::string("ws://dealer/") + name, {}, sdk->pushBlock());
        net.last().fireOpen();
        return net.last();
    }

    // The trading channel with account 1001 (in USD) and the symbols and
    // rates of kSymbols / kRates loaded.
    FakeConnection& openWithSymbols() {
        auto& trader = open(KAVBizSDK::kWSTrader);
        sdk->queryAccountOnSuccess({}, {});
        answerLast(trader, Json::parse(R"([{"accId":"1001","currencyCode":"USD"}])"));
        sdk->querySymbolOnSuccess({}, {});
        answerLast(trader, kSymbols);
        sdk->queryCERInfoOnSuccess({}, {});
        answerLast(trader, kRates);
        EXPECT_EQ(sdk->getSymbolsWith(-1).size(), 3u);
        trader.sent.clear();
        return trader;
    }
    // The order object of the last package sent, and its event.
    Json lastOrder(FakeConnection& trader, std::string* event = nullptr) {
        const KAVPackage p = sentPackage(trader);
        if (event) *event = p.event();
        EXPECT_EQ(p.kavData()["action"], "1");
        EXPECT_EQ(p.kavData()["children"].size(), 1u);
        return p.kavData()["children"][0];
    }

    VirtualTime time;
    FakeNetwork net;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<KAVBizSDK> sdk = std::make_shared<KAVBizSDK>();
};

const Json kTickets = Json::parse(R"([
    {"orderCode":"T1","symbolId":"1","symbolCode":"EURUSD","bsCode":"b","quantityHold":"1","priceOpen":"1.1",
     "priceHold":"1.1","accId":"1001"},
    {"orderCode":"T2","symbolId":"1","symbolCode":"EURUSD","bsCode":"s","quantityHold":"2","priceOpen":"1.1",
     "priceHold":"1.1","accId":"1001"}])");

}  // namespace

TEST_F(TradingService, QueriesKeepTheirCacheUntilTheReplyArrives) {
    auto& trader = open(KAVBizSDK::kWSTrader);
    Result<MODList<MODHoldBill>> first;
    sdk->queryHoldBillOnSuccess(first.success(), first.failure());
    const KAVPackage request = sentPackage(trader);
    EXPECT_EQ(request.event(), "2003");
    EXPECT_EQ(request.kavData()["action"], "4");
    answerLast(trader, kTickets);
    ASSERT_EQ(first.successes, 1);
    ASSERT_EQ(first.value.size(), 2u);
    // The caller gets the very records the cache holds.
    EXPECT_EQ(sdk->getHoldBillWith("T2"), first.value[1]);
    // No symbol is cached: the symbol's fields are cleared, nothing is priced.
    EXPECT_TRUE(first.value[0]->symbolCode.empty());
    EXPECT_EQ(first.value[0]->markPrice, 0);

    // A refresh that is under way, and one that fails, leave the cache as it was.
    Result<MODList<MODHoldBill>> refused;
    sdk->queryHoldBillOnSuccess(refused.success(), refused.failure());
    EXPECT_EQ(sdk->getHoldBillWith("T1"), first.value[0]);
    answer(trader, sentPackage(trader), "9999", "模拟故障");
    EXPECT_TRUE(refused.failedWith("9999", "模拟故障"));
    EXPECT_EQ(sdk->getHoldBillWith("T1"), first.value[0]);

    // A successful one replaces it as a whole.
    sdk->queryHoldBillOnSuccess({}, {});
    answerLast(trader, Json::array({kTickets[1], Json{{"orderCode", "T3"}}, Json{{"symbolId", "1"}}}));
    EXPECT_FALSE(sdk->getHoldBillWith("T1"));
    EXPECT_NE(sdk->getHoldBillWith("T2"), first.value[1]);
    EXPECT_TRUE(sdk->getHoldBillWith("T3"));
    EXPECT_FALSE(sdk->getHoldBillWith(""));  // a ticket without a number is not cached
}

TEST_F(TradingService, PendingOrdersAndPositionsAreCachedOnReply) {
    auto& trader = open(KAVBizSDK::kWSTrader);
    Result<MODList<MODLimitBill>> orders;
    sdk->queryLimitBillOnSuccess(orders.success(), orders.failure());
    EXPECT_EQ(sentPackage(trader).event(), "2005");
    answerLast(trader, Json::array({Json{{"orderCode", "L1"}, {"orderPrice", "1.2"}}, Json{{"orderCode", "L1"}}}));
    // Two records with one number: both listed, the later one cached.
    ASSERT_EQ(orders.value.size(), 2u);
    EXPECT_EQ(sdk->getLimitBillWith("L1"), orders.value[1]);

    Result<MODList<MODHoldPosition>> positions;
    sdk->queryHoldPositionOnSuccess(positions.success(), positions.failure());
    EXPECT_EQ(sentPackage(trader).event(), "2027");
    answerLast(trader, Json::array({Json{{"symbolCode", "EURUSD"}, {"symbolId", "1"}}}));
    ASSERT_EQ(positions.value.size(), 1u);
    // Its symbol is not cached: no code remains, so it cannot be cached.
    EXPECT_FALSE(sdk->getPositionWith("EURUSD"));

    Result<MODList<MODCloseBill>> closed;
    sdk->queryCloseBillOnSuccess(closed.success(), closed.failure());
    EXPECT_EQ(sentPackage(trader).event(), "2007");
    answerLast(trader, Json::array({Json{{"orderCode", "T1"}, {"profitClose", "12.5"}}}));
    ASSERT_EQ(closed.value.size(), 1u);
    EXPECT_DOUBLE_EQ(closed.value[0]->profitClose, 12.5);
}

TEST_F(TradingService, QueriesWithoutAnOpenChannel) {
    Result<MODList<MODHoldBill>> none;
    sdk->queryHoldBillOnSuccess(none.success(), none.failure());
    EXPECT_TRUE(none.failedWith("10002", "网关服务尚未初始化"));
    auto ch = sdk->createWSWithKey(KAVBizSDK::kWSTrader, 0, 10);
    Result<MODList<MODCloseBill>> closed;
    sdk->queryCloseBillOnSuccess(closed.success(), closed.failure());
    EXPECT_TRUE(closed.failedWith("10003", "通讯组件未就绪"));
}

TEST_F(TradingService, BulletinsOnTheMessageChannel) {
    open(KAVBizSDK::kWSTrader);
    auto& msg = open(KAVBizSDK::kWSMSG);
    Result<MODList<MODBulletin>> r;
    sdk->queryBulletinOnSuccess(r.success(), r.failure());
    EXPECT_EQ(sentPackage(msg).event(), "2013");
    answerLast(msg, Json::array({Json{{"contentId", "3"}, {"title", "停盘通知"}}}));
    ASSERT_EQ(r.value.size(), 1u);
    EXPECT_EQ(r.value[0]->title, "停盘通知");
}

TEST_F(TradingService, HistoryNeedsAnOpenHistoryChannel) {
    Result<MODList<MODSymbolInfo>> missing;
    sdk->hisQuotedWithSymbol("XAUUSD", 4, -1000, 0, "", "", missing.success(), missing.failure());
    EXPECT_TRUE(missing.failedWith("1", "历史行情服务未初始化"));

    auto ch = sdk->createWSWithKey(KAVBizSDK::kWSHisQuoted, 1, 10);
    Result<MODList<MODSymbolInfo>> notOpen;
    sdk->hisQuotedWithSymbol("XAUUSD", 4, -1000, 0, "", "", notOpen.success(), notOpen.failure());
    EXPECT_TRUE(notOpen.failedWith("1", "历史行情服务未就绪"));
    EXPECT_EQ(net.count(), 0u);

    ch->open("ws://dealer/history", {}, sdk->pushBlock());
    net.last().fireOpen();
    Result<MODList<MODSymbolInfo>> r;
    sdk->hisQuotedWithSymbol("XAUUSD", 4, -1000, 0, "2026-01-01", "2026-01-02", r.success(), r.failure());
    const KAVPackage sent = sentPackage(net.last());
    EXPECT_EQ(sent.event(), "2023");
    answerLast(net.last(), Json::array({Json{{"row", "1,d,2,3,1,2.5"}}}));
    ASSERT_EQ(r.value.size(), 1u);
    EXPECT_EQ(r.value[0]->symbolCode, "XAUUSD");
}

TEST_F(TradingService, OrdersRefusedBeforeSending) {
    auto& trader = open(KAVBizSDK::kWSTrader);
    const auto refused = [](auto&& call, const char* code, const char* message) {
        Result<> r;
        call(r);
        EXPECT_TRUE(r.failedWith(code, message)) << (r.failures.empty() ? "no failure" : r.failures[0].second);
    };
    // Symbols not cached: nothing goes out at price 0 for symbol id 0.
    refused([&](Result<>& r) { sdk->marketOpenWithSymbol("EURUSD", 1, "b", 1.1, 5, 0, 0, "", r.success(), r.failure()); },
            "10004", "无效的商品代码");
    refused([&](Result<>& r) { sdk->marketCloseWithSymbol("EURUSD", 1, "s", 5, 0, "", r.success(), r.failure()); },
            "10004", "无效的商品代码");
    auto ticket = std::make_shared<MODHoldBill>();
    ticket->symbolCode = "EURUSD";
    refused([&](Result<>& r) { sdk->marketCloseWithOrder(ticket, 1, 5, 0, "", r.success(), r.failure()); }, "10004",
            "无效的商品代码");
    refused([&](Result<>& r) { sdk->limitOpenWithSymbol("EURUSD", 1, "b", 1.1, 0, 0, "0", "", r.success(), r.failure()); },
            "10004", "无效的商品代码");
    refused([&](Result<>& r) { sdk->modifyOrderWithSymbol("EURUSD", 0, 0, "T1", "", r.success(), r.failure()); },
            "10004", "无效的商品代码");
    auto pending = std::make_shared<MODLimitBill>();
    pending->symbolCode = "EURUSD";
    refused([&](Result<>& r) { sdk->cancelOrderWithOrder(pending, "", r.success(), r.failure()); }, "10004",
            "无效的商品代码");
    // No ticket, no pending order.
    refused([&](Result<>& r) { sdk->marketCloseWithOrder(nullptr, 1, 5, 0, "", r.success(), r.failure()); }, "10004",
            "无效的单据数据");
    refused([&](Result<>& r) { sdk->cancelOrderWithOrder(nullptr, "", r.success(), r.failure()); }, "10004",
            "无效的单据信息");
    EXPECT_TRUE(trader.sent.empty());
    EXPECT_FALSE(sdk->getLimitWithSymbolCode("EURUSD", 1.1f, "b"));
}

TEST(TradingArithmetic, PendingOrderKindFromTheSignedPointDistance) {
    EXPECT_EQ(KAVBizSDK::getLimitTypeWithBSCode("b", 1), "4");
    EXPECT_EQ(KAVBizSDK::getLimitTypeWithBSCode("b", 0), "3");
    EXPECT_EQ(KAVBizSDK::getLimitTypeWithBSCode("b", -5), "3");
    EXPECT_EQ(KAVBizSDK::getLimitTypeWithBSCode("s", -1), "4");
    EXPECT_EQ(KAVBizSDK::getLimitTypeWithBSCode("s", 0), "3");
    EXPECT_EQ(KAVBizSDK::getLimitTypeWithBSCode("s", 7), "3");
    // Exact codes only.
    EXPECT_EQ(KAVBizSDK::getLimitTypeWithBSCode("B", 9), "3");
    EXPECT_EQ(KAVBizSDK::getLimitTypeWithBSCode("S", -9), "3");
}


TEST_F(TradingService, RecordsAreCompletedFromTheirSymbol) {
    auto& trader = openWithSymbols();
    sdk->queryHoldBillOnSuccess({}, {});
    answerLast(trader, Json::parse(R"([
        {"orderCode":"T1","symbolId":"2","symbolCode":"stale","bsCode":"s","quantityHold":"2","priceOpen":"149.5",
         "priceHold":"149.9","accId":"7"}])"));
    const auto t = sdk->getHoldBillWith("T1");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->symbolCode, "USDJPY");
    EXPECT_EQ(t->symbolName, "美元日元");
    EXPECT_EQ(t->tradeMarketName, "外汇");
    EXPECT_EQ(t->accId, 1001);
    EXPECT_EQ(t->symbolCurrency, "JPY");
    EXPECT_EQ(t->accCurrency, "USD");
    EXPECT_DOUBLE_EQ(t->markPrice, 150.020);  // a sell closes at the ask
    EXPECT_NEAR(t->dynProfitTotal, 2 * -0.52 * 100000, 1e-6);
    EXPECT_NEAR(t->dynProfit, 2 * -0.12 * 100000, 1e-6);
    EXPECT_NEAR(t->dynProfitPrice, 2 * -0.12 * 100000 * 0.0066, 1e-6);

    sdk->queryLimitBillOnSuccess({}, {});
    answerLast(trader, Json::parse(R"([{"orderCode":"L1","symbolId":"3","bsCode":"b","orderPrice":"2340.15"}])"));
    const auto l = sdk->getLimitBillWith("L1");
    ASSERT_TRUE(l);
    EXPECT_EQ(l->symbolCode, "XAUUSD");
    EXPECT_DOUBLE_EQ(l->markPrice, 2345.40);
    EXPECT_EQ(l->rangePoint, 525);

    sdk->queryHoldPositionOnSuccess({}, {});
    answerLast(trader, Json::parse(R"([{"symbolId":"1","symbolCode":"x","quantityBuy":"2","moneyBuy":"220000",
                                         "quantitySell":"1","moneySell":"110300"}])"));
    const auto p = sdk->getPositionWith("EURUSD");
    ASSERT_TRUE(p);
    EXPECT_DOUBLE_EQ(p->avgBuy, 1.1);
    EXPECT_DOUBLE_EQ(p->avgSell, 1.103);
    EXPECT_NEAR(p->dpBuy, 2 * 0.0025 * 100000, 1e-6);
    EXPECT_NEAR(p->dpSell, 1 * 0.0003 * 100000, 1e-6);
    EXPECT_DOUBLE_EQ(p->bid, 1.10250);
    EXPECT_FALSE(sdk->getPositionWith("x"));

    Result<MODList<MODCloseBill>> closed;
    sdk->queryCloseBillOnSuccess(closed.success(), closed.failure());
    answerLast(trader, Json::parse(R"([{"symbolId":"1","bsCode":"s","priceOpen":"1.1","priceHold":"1.1",
                                         "priceClose":"1.1015","quantityClose":"1"}])"));
    ASSERT_EQ(closed.value.size(), 1u);
    EXPECT_EQ(closed.value[0]->symbolCode, "EURUSD");
    EXPECT_NEAR(closed.value[0]->profitCloseTotal, 150, 1e-6);

    // Bounds of a cached symbol.
    const auto bounds = sdk->getLimitWithSymbolCode("XAUUSD", 2345.90f, "b");
    ASSERT_TRUE(bounds);
    EXPECT_EQ(bounds->stopLose, 2344.90f);
    EXPECT_EQ(bounds->takeProfit, 2346.90f);
}

TEST_F(TradingService, EachOrderActionSendsItsRecord) {
    auto& trader = openWithSymbols();
    std::string event;
    Result<> r;

    sdk->marketOpenWithSymbol("EURUSD", 2.0, "b", 1.10270, 5, 0, 0, "m1", r.success(), r.failure());
    Json o = lastOrder(trader, &event);
    EXPECT_EQ(event, "3001");
    EXPECT_EQ(o.size(), 26u);
    EXPECT_EQ(o["orderType"], "1");
    EXPECT_EQ(o["accId"], "1001");
    EXPECT_EQ(o["symbolId"], "1");
    EXPECT_EQ(o["pointAsk"], "10");
    EXPECT_EQ(o["orderQuantity"], "2");
    EXPECT_EQ(o["orderPrice"], "1.10270");
    EXPECT_EQ(o["pointOffset"], "5");
    EXPECT_EQ(o["priceStopLose"], "0.00000");
    EXPECT_EQ(o["revQuantity"], "0.00");
    EXPECT_EQ(o["memo"], "m1");
    EXPECT_EQ(o["validDateType"], "0");
    answer(trader, sentPackage(trader), "0", "");
    EXPECT_EQ(r.successes, 1);

    // Close by symbol: a sell closes the buys at the bid.
    sdk->marketCloseWithSymbol("EURUSD", 1, "s", 7, 1.5, "", {}, {});
    o = lastOrder(trader, &event);
    EXPECT_EQ(event, "2039");
    EXPECT_EQ(o["orderType"], "2");
    EXPECT_EQ(o["bsCode"], "s");
    EXPECT_EQ(o["orderPrice"], "1.10250");
    EXPECT_EQ(o["cutType"], "1");
    EXPECT_EQ(o["revQuantity"], "1.50");
    EXPECT_EQ(o["priceTakeProfit"], "0.00000");

    // Close by ticket: a buy ticket goes out as a sell at the bid.
    auto ticket = std::make_shared<MODHoldBill>();
    ticket->symbolCode = "XAUUSD";
    ticket->bsCode = "b";
    ticket->orderCode = "T9";
    sdk->marketCloseWithOrder(ticket, 3, 20, 0, "", {}, {});
    o = lastOrder(trader, &event);
    EXPECT_EQ(event, "3003");
    EXPECT_EQ(o["bsCode"], "s");
    EXPECT_EQ(o["orderPrice"], "2345.40");
    EXPECT_EQ(o["orderCodeRe"], "T9");
    EXPECT_EQ(o["orderCode"], "");
    EXPECT_EQ(o["cutType"], "");
    ticket->bsCode = "s";
    sdk->marketCloseWithOrder(ticket, 1, 20, 0, "", {}, {});
    o = lastOrder(trader);
    EXPECT_EQ(o["bsCode"], "b");
    EXPECT_EQ(o["orderPrice"], "2345.90");

    // Modify: no direction, price or quantity; the ticket under orderCode.
    sdk->modifyOrderWithSymbol("EURUSD", 1.09, 1.12, "T1", "", {}, {});
    o = lastOrder(trader, &event);
    EXPECT_EQ(event, "3011");
    EXPECT_EQ(o["orderType"], "3011");
    EXPECT_EQ(o["bsCode"], "");
    EXPECT_EQ(o["orderPrice"], "0.00000");
    EXPECT_EQ(o["orderQuantity"], "0");
    EXPECT_EQ(o["orderCode"], "T1");
    EXPECT_EQ(o["priceStopLose"], "1.09000");
    EXPECT_EQ(o["priceTakeProfit"], "1.12000");

    // Cancel: kind 6, every price 0.
    auto pending = std::make_shared<MODLimitBill>();
    pending->symbolCode = "USDJPY";
    pending->orderCode = "L4";
    pending->orderPrice = 149;
    sdk->cancelOrderWithOrder(pending, "", {}, {});
    o = lastOrder(trader, &event);
    EXPECT_EQ(event, "3009");
    EXPECT_EQ(o["orderType"], "6");
    EXPECT_EQ(o["orderCode"], "L4");
    EXPECT_EQ(o["orderPrice"], "0.000");
    EXPECT_EQ(o["priceStopLose"], "0.000");

    // Pending order with its validity kind.
    sdk->limitOpenWithSymbol("EURUSD", 1, "b", 1.1, 1.09, 1.2, "1", "", {}, {});
    o = lastOrder(trader, &event);
    EXPECT_EQ(event, "3005");
    EXPECT_EQ(o["validDateType"], "1");
    EXPECT_EQ(o["orderPrice"], "1.10000");
    EXPECT_EQ(o["pointOffset"], "0");
}

TEST_F(TradingService, PendingOrderKindCountsPoints) {
    auto& trader = openWithSymbols();
    const auto kind = [&](const char* symbol, const char* bs, double price) {
        sdk->limitOpenWithSymbol(symbol, 1, bs, price, 0, 0, "0", "", {}, {});
        const Json o = lastOrder(trader);
        EXPECT_FALSE(o.contains("limitType"));  // not sent
        return o["orderType"].get<std::string>();
    };
    // One point beyond the market on the stop side is a stop order, on any
    // number of decimals; a whole price unit is not needed.
    EXPECT_EQ(kind("EURUSD", "b", 1.10271), "4");
    EXPECT_EQ(kind("EURUSD", "b", 1.10270), "3");
    EXPECT_EQ(kind("EURUSD", "b", 1.10000), "3");
    EXPECT_EQ(kind("EURUSD", "s", 1.10249), "4");
    EXPECT_EQ(kind("EURUSD", "s", 1.10300), "3");
    EXPECT_EQ(kind("XAUUSD", "b", 2345.91), "4");
    EXPECT_EQ(kind("XAUUSD", "s", 2345.39), "4");
    EXPECT_EQ(kind("USDJPY", "b", 150.021), "4");
    // A code other than "b" compares with the bid and is never a stop.
    EXPECT_EQ(kind("EURUSD", "B", 1.2), "3");
}

TEST_F(TradingService, QuantitiesThatAreNotWholeLotsAreRefused) {
    auto& trader = openWithSymbols();
    auto ticket = std::make_shared<MODHoldBill>();
    ticket->symbolCode = "EURUSD";
    ticket->bsCode = "b";
    for (const double q : {0.1, 2.5, 0.0, -1.0, std::nan(""), HUGE_VAL}) {
        std::vector<Result<>> results(4);
        sdk->marketOpenWithSymbol("EURUSD", q, "b", 1.1027, 5, 0, 0, "", results[0].success(), results[0].failure());
        sdk->marketCloseWithSymbol("EURUSD", q, "s", 5, 0, "", results[1].success(), results[1].failure());
        sdk->marketCloseWithOrder(ticket, q, 5, 0, "", results[2].success(), results[2].failure());
        sdk->limitOpenWithSymbol("EURUSD", q, "b", 1.1, 0, 0, "0", "", results[3].success(), results[3].failure());
        for (const auto& r : results) EXPECT_TRUE(r.failedWith("10004", "无效的单据数据")) << q;
    }
    EXPECT_TRUE(trader.sent.empty());
    sdk->marketOpenWithSymbol("EURUSD", 3, "b", 1.1027, 5, 0, 0, "", {}, {});
    EXPECT_EQ(trader.sent.size(), 1u);
}

TEST_F(TradingService, OrdersOnAClosedTradingChannel) {
    openWithSymbols();
    sdk->channelNamed(KAVBizSDK::kWSTrader)->close();
    auto pending = std::make_shared<MODLimitBill>();
    pending->symbolCode = "EURUSD";
    Result<> r;
    sdk->cancelOrderWithOrder(pending, "", r.success(), r.failure());
    EXPECT_TRUE(r.failedWith("10003", "通讯组件未就绪"));
}
