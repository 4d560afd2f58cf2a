// The order and history requests on a channel over a fake connection: what
// goes out, byte for byte where it matters, and how the answers come back.
#include <gtest/gtest.h>

#include "Core/Biz/BizHisQuoted.h"
#include "Core/Biz/BizOrder.h"
#include "Core/webSocket.h"
#include "tests/support/TradingTestSupport.h"
#include "tests/support/TestSupport.h"

using platform::Json;
using namespace kavtest;

namespace {

class TradingRequests : public ::testing::Test {
  protected:
    // An open channel; enciphered unless `plain`.
    std::shared_ptr<webSocket> channel(bool plain = false) {
        auto ch = std::make_shared<webSocket>();
        ch->setName(plain ? "wsHisQuoted" : "wsTrader");
        ch->setAES_KEY(KAVCrypt::kPackageKey);
        ch->setAES_IV(KAVCrypt::kPackageIV);
        ch->setDataDecode(plain ? 1 : 0);
        ch->setConnectionFactory(net.factory());
        ch->open("ws://dealer/x", {}, {});
        net.last().fireOpen();
        return ch;
    }

    VirtualTime time;
    FakeNetwork net;
};

MODOrder closeByTicketOrder() {
    MODOrder o;
    o.accId = 1001;
    o.orderType = "2";
    o.limitType = "not sent";
    o.pointAsk = 10;
    o.pointBid = 12;
    o.bsCode = "s";
    o.orderSerial = "not sent";
    o.memo = "备注";
    o.orderCodeRe = "T77";
    o.orderPrice = 1.1025;
    o.orderQuantity = 2.0;
    o.orderTime = "not sent";
    o.pointOffset = 5;
    o.revQuantity = 0;
    o.seatsCode = "";
    o.symbolCode = "EURUSD";
    o.symbolId = 1;
    o.validDateType = "0";
    o.amId = 9;
    o.cmDealerId = 9;
    o.sendType = "not sent";
    return o;
}

}  // namespace

TEST(TradingOrderData, TheTwentySixKeysInOrder) {
    const Json d = BizOrder::orderData(closeByTicketOrder(), 5, "2026-01-05 09:30:00");
    // Keys in order, every value a string, fixed ones fixed, prices at the
    // symbol's digits, quantity whole, second quantity with two digits.
    const Json expected = Json::parse(R"({
        "accId":"1001","pointAsk":"10","pointBid":"12","orderType":"2","bsCode":"s","orderSerial":"0",
        "memo":"备注","orderCode":"","orderCodeRe":"T77","orderPrice":"1.10250","orderQuantity":"2",
        "orderTime":"2026-01-05 09:30:00","pointOffset":"5","priceStopLose":"0.00000","priceTakeProfit":"0.00000",
        "revQuantity":"0.00","seatsCode":"","symbolCode":"EURUSD","symbolId":"1","validDateType":"0","validDate":"",
        "amId":"0","cmDealerId":"0","sendType":"","cutType":"","pickInfo":""})");
    EXPECT_EQ(d.dump(), expected.dump());
    EXPECT_EQ(d.size(), 26u);

    MODOrder o = closeByTicketOrder();
    o.revQuantity = 1.5;
    o.priceStopLose = 2048.5;
    o.cutType = "1";
    const Json two = BizOrder::orderData(o, 2, "t");
    EXPECT_EQ(two["revQuantity"], "1.50");
    EXPECT_EQ(two["priceStopLose"], "2048.50");
    EXPECT_EQ(two["orderPrice"], "1.10");
    EXPECT_EQ(two["cutType"], "1");

    // A symbol whose decimal count is out of all reason prices with at most
    // ten digits, the most a symbol is priced in (a count of a billion would
    // ask for gigabytes of zeros).
    const Json wild = BizOrder::orderData(closeByTicketOrder(), 100000, "t");
    EXPECT_EQ(wild["orderPrice"], "1.1025000000");
    EXPECT_EQ(wild["priceTakeProfit"], "0.0000000000");
}

TEST_F(TradingRequests, AnOrderWithoutAChannelFailsAtOnce) {
    // Before the first login: reported, not silently dropped.
    Result<> none;
    std::make_shared<BizOrder>()->makeOrderWithSID("S1", "1001", closeByTicketOrder(), 5, "3003",
                                                   none.success(), none.failure());
    EXPECT_TRUE(none.failedWith("10002", "网关服务尚未初始化"));
}

TEST_F(TradingRequests, HistoryRequestAndReply) {
    auto ch = channel(true);
    Result<MODList<MODSymbolInfo>> r;
    auto biz = std::make_shared<BizHisQuoted>(ch);
    biz->getQuotedWithSID("S1", "1001", "XAUUSD", -1000, 4, 0, r.success(), r.failure());
    const std::string& text = net.last().sent.back();
    ASSERT_EQ(text[0], '{');  // the history channel sends plain text
    // The conditions in their order, "time" empty for a last time of 0.
    EXPECT_NE(text.find(R"("encrypt":"0")"), std::string::npos) << text;
    EXPECT_NE(
        text.find(R"("parames": [{ "operator" :"and", "key" : "symbolCode", "value" : "XAUUSD"},)"
                  R"({ "operator" :"and", "key" : "barCount", "value" : "-1000"},)"
                  R"({ "operator" :"and", "key" : "period", "value" : "4"},)"
                  R"({ "operator" :"and", "key" : "time", "value" : ""}])"),
        std::string::npos)
        << text;
    answerLast(net.last(), Json::array({Json{{"row", "160,d,1.5,3,1,2"}}}));
    ASSERT_EQ(r.value.size(), 1u);
    EXPECT_EQ(r.value[0]->symbolCode, "XAUUSD");

    // A time stamp goes out in decimal with its sign.
    std::make_shared<BizHisQuoted>(ch)->getQuotedWithSID("S1", "1001", "XAUUSD", 10, 9, -1767600000,
                                                         {}, {});
    EXPECT_NE(net.last().sent.back().find(R"("key" : "time", "value" : "-1767600000")"),
              std::string::npos);
}
