// The service object's trading queries, caches, getters and order actions on
// fake connections.
#include <gtest/gtest.h>

#include "Core/KAVBizSDK.h"
#include "tests/Core/ServiceTestSupport.h"
#include "tests/Core/TradingTestSupport.h"
#include "tests/support/TestSupport.h"

using platform::Json;
using namespace kavtest;

namespace {

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

