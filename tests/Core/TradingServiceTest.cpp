// The service object's trading caches and order actions on fake connections:
// what the simulated dealer cannot show (failed refreshes, refusals before
// sending, the order kinds and fields of every case).
#include <gtest/gtest.h>

#include <cmath>

#include "Core/SDK/KAVBizSDK.h"
#include "tests/support/TradingTestSupport.h"
#include "tests/support/TestSupport.h"

using platform::Json;
using namespace kavtest;

namespace {

// EURUSD 5 decimals (bid 1.10250, ask 1.10270), USDJPY 3 decimals, XAUUSD 2
// decimals (bid 2345.40, ask 2345.90).
const Json kSymbols = Json::parse(R"([
    {"accId":"1001","symbolId":"1","symbolCode":"EURUSD","decimal":"5","bid":"1.10250","ask":"1.10270",
     "pointAsk":"10","pointBid":"10"},
    {"accId":"1001","symbolId":"2","symbolCode":"USDJPY","decimal":"3","bid":"150.000","ask":"150.020"},
    {"accId":"1001","symbolId":"3","symbolCode":"XAUUSD","decimal":"2","bid":"2345.40","ask":"2345.90"}])");

class TradingService : public ::testing::Test {
  protected:
    void SetUp() override { sdk->setConnectionFactory(net.factory()); }

    // The trading channel, open; with `symbols`, the symbols of kSymbols loaded.
    FakeConnection& openTrader(bool symbols = true) {
        auto ch = sdk->createWSWithKey(KAVBizSDK::kWSTrader, 0, sdk->timeOut());
        ch->open("ws://dealer/trade", {}, sdk->pushBlock());
        net.last().fireOpen();
        auto& trader = net.last();
        if (symbols) {
            sdk->querySymbolOnSuccess({}, {});
            answerLast(trader, kSymbols);
            trader.sent.clear();
        }
        return trader;
    }
    // The order object of the last package sent.
    Json lastOrder(FakeConnection& trader, const std::string& event) {
        const KAVPackage p = sentPackage(trader);
        EXPECT_EQ(p.event(), event);
        return p.kavData()["children"][0];
    }

    VirtualTime time;
    FakeNetwork net;
    std::shared_ptr<KAVBizSDK> sdk = std::make_shared<KAVBizSDK>();
};

const Json kTickets = Json::parse(R"([{"orderCode":"T1","symbolId":"1","bsCode":"b"},
                                       {"orderCode":"T2","symbolId":"1","bsCode":"s"}])");

}  // namespace

TEST_F(TradingService, CachesAreReplacedOnlyByAReply) {
    auto& trader = openTrader(false);
    Result<MODList<MODHoldBill>> first;
    sdk->queryHoldBillOnSuccess(first.success(), first.failure());
    answerLast(trader, kTickets);
    ASSERT_EQ(first.value.size(), 2u);
    // The caller gets the very records the cache holds.
    EXPECT_EQ(sdk->getHoldBillWith("T2"), first.value[1]);

    // A refresh under way, and one that fails, leave the cache as it was, so
    // that quotes keep re-pricing it.
    Result<MODList<MODHoldBill>> refused;
    sdk->queryHoldBillOnSuccess(refused.success(), refused.failure());
    EXPECT_EQ(sdk->getHoldBillWith("T1"), first.value[0]);
    answer(trader, sentPackage(trader), "9999", "模拟故障");
    EXPECT_TRUE(refused.failedWith("9999", "模拟故障"));
    EXPECT_EQ(sdk->getHoldBillWith("T1"), first.value[0]);

    // A successful one replaces it as a whole; a ticket without a number is
    // listed but not cached.
    Result<MODList<MODHoldBill>> second;
    sdk->queryHoldBillOnSuccess(second.success(), second.failure());
    answerLast(trader, Json::array({kTickets[1], Json{{"symbolId", "1"}}}));
    EXPECT_EQ(second.value.size(), 2u);
    EXPECT_FALSE(sdk->getHoldBillWith("T1"));
    EXPECT_EQ(sdk->getHoldBillWith("T2"), second.value[0]);
    EXPECT_FALSE(sdk->getHoldBillWith(""));

    // Two pending orders of one number: both listed, the later one cached.
    Result<MODList<MODLimitBill>> orders;
    sdk->queryLimitBillOnSuccess(orders.success(), orders.failure());
    answerLast(trader, Json::array({Json{{"orderCode", "L1"}}, Json{{"orderCode", "L1"}}}));
    ASSERT_EQ(orders.value.size(), 2u);
    EXPECT_EQ(sdk->getLimitBillWith("L1"), orders.value[1]);

    // A position of a symbol that is not cached keeps no code to be found by.
    sdk->queryHoldPositionOnSuccess({}, {});
    answerLast(trader, Json::array({Json{{"symbolCode", "EURUSD"}, {"symbolId", "1"}}}));
    EXPECT_FALSE(sdk->getPositionWith("EURUSD"));
    EXPECT_FALSE(sdk->getPositionWith(""));
}

TEST_F(TradingService, HistoryNeedsAnOpenHistoryChannel) {
    Result<MODList<MODSymbolInfo>> missing;
    sdk->hisQuotedWithSymbol("XAUUSD", 4, -1000, 0, "", "", missing.success(), missing.failure());
    EXPECT_TRUE(missing.failedWith("1", "历史行情服务未初始化"));
    sdk->createWSWithKey(KAVBizSDK::kWSHisQuoted, 1, 10);
    Result<MODList<MODSymbolInfo>> notOpen;
    sdk->hisQuotedWithSymbol("XAUUSD", 4, -1000, 0, "", "", notOpen.success(), notOpen.failure());
    EXPECT_TRUE(notOpen.failedWith("1", "历史行情服务未就绪"));
    EXPECT_EQ(net.count(), 0u);
}

TEST_F(TradingService, OrdersRefusedBeforeSending) {
    auto& trader = openTrader();
    const auto refused = [](auto&& call, const char* message) {
        Result<> r;
        call(r);
        EXPECT_TRUE(r.failedWith("10004", message))
            << (r.failures.empty() ? "no failure" : r.failures[0].second);
    };
    // Symbols not cached: nothing goes out at price 0 for symbol id 0.
    refused(
        [&](Result<>& r) {
            sdk->marketOpenWithSymbol("GBPUSD", 1, "b", 1.1, 5, 0, 0, "", r.success(), r.failure());
        },
        "无效的商品代码");
    refused(
        [&](Result<>& r) {
            sdk->marketCloseWithSymbol("GBPUSD", 1, "s", 5, 0, "", r.success(), r.failure());
        },
        "无效的商品代码");
    auto ticket = std::make_shared<MODHoldBill>();
    ticket->symbolCode = "GBPUSD";
    refused(
        [&](Result<>& r) {
            sdk->marketCloseWithOrder(ticket, 1, 5, 0, "", r.success(), r.failure());
        },
        "无效的商品代码");
    refused(
        [&](Result<>& r) {
            sdk->limitOpenWithSymbol("GBPUSD", 1, "b", 1.1, 0, 0, "0", "", r.success(),
                                     r.failure());
        },
        "无效的商品代码");
    refused(
        [&](Result<>& r) {
            sdk->modifyOrderWithSymbol("GBPUSD", 0, 0, "T1", "", r.success(), r.failure());
        },
        "无效的商品代码");
    // No ticket, no pending order.
    refused(
        [&](Result<>& r) {
            sdk->marketCloseWithOrder(nullptr, 1, 5, 0, "", r.success(), r.failure());
        },
        "无效的单据数据");
    refused([&](Result<>& r) { sdk->cancelOrderWithOrder(nullptr, "", r.success(), r.failure()); },
            "无效的单据信息");

    // Quantities go out without decimals: only whole positive lots pass.
    ticket->symbolCode = "EURUSD";
    for (const double q : {0.1, 2.5, 0.0, -1.0, std::nan(""), HUGE_VAL}) {
        refused(
            [&](Result<>& r) {
                sdk->marketOpenWithSymbol("EURUSD", q, "b", 1.1, 5, 0, 0, "", r.success(),
                                          r.failure());
            },
            "无效的单据数据");
        refused(
            [&](Result<>& r) {
                sdk->marketCloseWithSymbol("EURUSD", q, "s", 5, 0, "", r.success(), r.failure());
            },
            "无效的单据数据");
        refused(
            [&](Result<>& r) {
                sdk->marketCloseWithOrder(ticket, q, 5, 0, "", r.success(), r.failure());
            },
            "无效的单据数据");
        refused(
            [&](Result<>& r) {
                sdk->limitOpenWithSymbol("EURUSD", q, "b", 1.1, 0, 0, "0", "", r.success(),
                                         r.failure());
            },
            "无效的单据数据");
    }
    EXPECT_TRUE(trader.sent.empty());
    sdk->marketOpenWithSymbol("EURUSD", 3, "b", 1.1027, 5, 0, 0, "", {}, {});
    EXPECT_EQ(trader.sent.size(), 1u);
}

TEST_F(TradingService, OrderFieldsOfEachCase) {
    auto& trader = openTrader();
    // Close by symbol: buying closes the sells at the ask; the second
    // quantity keeps two digits.
    sdk->marketCloseWithSymbol("EURUSD", 1, "b", 7, 1.5, "", {}, {});
    Json o = lastOrder(trader, "2039");
    EXPECT_EQ(o["orderPrice"], "1.10270");
    EXPECT_EQ(o["revQuantity"], "1.50");
    EXPECT_EQ(o["cutType"], "1");
    EXPECT_EQ(o["pointAsk"], "10");

    // Close by ticket: a sell ticket goes out as a buy at the ask.
    auto ticket = std::make_shared<MODHoldBill>();
    ticket->symbolCode = "XAUUSD";
    ticket->bsCode = "s";
    ticket->orderCode = "T9";
    sdk->marketCloseWithOrder(ticket, 1, 20, 0, "", {}, {});
    o = lastOrder(trader, "3003");
    EXPECT_EQ(o["bsCode"], "b");
    EXPECT_EQ(o["orderPrice"], "2345.90");
    EXPECT_EQ(o["orderCodeRe"], "T9");
    // A buy ticket spelt "B" (priced and summed as a buy) goes out as a sell
    // at the bid, not as a second buy.
    ticket->bsCode = "B";
    sdk->marketCloseWithOrder(ticket, 1, 20, 0, "", {}, {});
    o = lastOrder(trader, "3003");
    EXPECT_EQ(o["bsCode"], "s");
    EXPECT_EQ(o["orderPrice"], "2345.40");

    // Modify: no direction, price or quantity; prices at the symbol's digits.
    sdk->modifyOrderWithSymbol("USDJPY", 149.5, 151, "T1", "", {}, {});
    o = lastOrder(trader, "3011");
    EXPECT_EQ(o["bsCode"], "");
    EXPECT_EQ(o["orderPrice"], "0.000");
    EXPECT_EQ(o["orderQuantity"], "0");
    EXPECT_EQ(o["orderCode"], "T1");
    EXPECT_EQ(o["priceStopLose"], "149.500");
    EXPECT_EQ(o["priceTakeProfit"], "151.000");

    // A pending order passes its validity kind.
    sdk->limitOpenWithSymbol("EURUSD", 1, "b", 1.1, 1.09, 1.2, "1", "", {}, {});
    o = lastOrder(trader, "3005");
    EXPECT_EQ(o["validDateType"], "1");
    EXPECT_FALSE(o.contains("limitType"));
}

TEST_F(TradingService, ACancelGoesOutAlsoForAnOrderWhoseSymbolIsNotCached) {
    auto& trader = openTrader();
    // The dealer finds the order by its number: a cancel of an order the
    // user sees, whose symbol the client does not know, still goes out.
    auto pending = std::make_shared<MODLimitBill>();
    pending->symbolCode = "GBPUSD";
    pending->symbolId = 7;
    pending->accId = 1001;
    pending->orderCode = "L9";
    pending->orderPrice = 1.2345;
    Result<> cancelled;
    sdk->cancelOrderWithOrder(pending, "", cancelled.success(), cancelled.failure());
    ASSERT_TRUE(cancelled.failures.empty());
    Json o = lastOrder(trader, "3009");
    EXPECT_EQ(o["orderType"], "6");
    EXPECT_EQ(o["orderCode"], "L9");
    EXPECT_EQ(o["symbolCode"], "GBPUSD");
    EXPECT_EQ(o["symbolId"], "7");
    EXPECT_EQ(o["accId"], "1001");
    EXPECT_EQ(o["seatsCode"], "");
    EXPECT_EQ(o["orderPrice"], "0");
    EXPECT_EQ(o["orderQuantity"], "0");
    answerLast(trader, Json::array());
    EXPECT_EQ(cancelled.successes, 1);
}

TEST_F(TradingService, PendingOrderKindCountsPoints) {
    auto& trader = openTrader();
    const auto kind = [&](const char* symbol, const char* bs, double price) {
        sdk->limitOpenWithSymbol(symbol, 1, bs, price, 0, 0, "0", "", {}, {});
        return lastOrder(trader, "3005")["orderType"].get<std::string>();
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
    // Exact codes only: "B" compares with the bid and is never a stop.
    EXPECT_EQ(kind("EURUSD", "B", 1.2), "3");
    EXPECT_EQ(KAVBizSDK::getLimitTypeWithBSCode("s", -1), "4");
    EXPECT_EQ(KAVBizSDK::getLimitTypeWithBSCode("S", -9), "3");
    EXPECT_EQ(KAVBizSDK::getLimitTypeWithBSCode("b", 0), "3");
}
