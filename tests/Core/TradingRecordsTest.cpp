// The record parsers and the per-record arithmetic the queries and pushes
// share: tickets, pending orders, positions, closed tickets and history bars.
#include <gtest/gtest.h>

#include "Core/Biz/BizCloseBill.h"
#include "Core/Biz/BizHisQuoted.h"
#include "Core/Biz/BizHoldBill.h"
#include "Core/Biz/BizHoldPosition.h"
#include "Core/Biz/BizLimitBill.h"

using platform::Json;

namespace {

Json parse(const char* text) {
    return *platform::parseJson(text);
}

MODSymbolInfo eurusd() {
    MODSymbolInfo s;
    s.accId = 1001;
    s.symbolCode = "EURUSD";
    s.symbolName = "欧元美元";
    s.tradeMarketName = "外汇";
    s.accCurrency = "USD";
    s.symbolCurrency = "USD";
    s.decimal = 5;
    s.unit = 100000;
    s.symbolType = "1";
    s.bid = 1.10250;
    s.ask = 1.10270;
    return s;
}

}  // namespace

TEST(TradingRecords, TicketParseReadsNumbersAsNumbersOrTexts) {
    const Json children = parse(R"([
        {"symbolCode":"EURUSD","chargeInterest":"1.5","profitSettl":2.25,"marginUsed":"1000","openDate":"2026-01-05 09:00:00",
         "chargeOpen":"3","bsCode":"b","priceStopLose":"1.09","priceTakeProfit":"1.12","priceHold":"1.1005",
         "orderCode":1234567,"accId":"1001","quantityHold":"0.1","symbolId":"1","priceOpen":1.1,"memo":"x"},
        "not a record",
        {"orderCode":"T2","accId":12.9,"symbolId":"7abc","quantityHold":null}])");
    const auto bills = BizHoldBill().pushData(&children);
    ASSERT_EQ(bills.size(), 2u);
    const auto& b = *bills[0];
    EXPECT_DOUBLE_EQ(b.chargeInterest, 1.5);
    EXPECT_DOUBLE_EQ(b.profitSettl, 2.25);  // numbers as JSON numbers or texts
    EXPECT_DOUBLE_EQ(b.marginUsed, 1000);
    EXPECT_DOUBLE_EQ(b.chargeOpen, 3);
    EXPECT_DOUBLE_EQ(b.priceTakeProfit, 1.12);
    EXPECT_DOUBLE_EQ(b.priceHold, 1.1005);
    EXPECT_EQ(b.orderCode, "1234567");  // a number becomes its text
    EXPECT_EQ(b.quantityHold, 0.1f);
    // Integers truncate, texts give their leading integer, null is missing.
    EXPECT_EQ(bills[1]->accId, 12);
    EXPECT_EQ(bills[1]->symbolId, 7);
    EXPECT_EQ(bills[1]->quantityHold, 0.0f);
    EXPECT_TRUE(bills[1]->bsCode.empty());

    EXPECT_TRUE(BizHoldBill().pushData(nullptr).empty());
    const Json notAList = parse(R"({"orderCode":"T1"})");
    EXPECT_TRUE(BizHoldBill().pushData(&notAList).empty());
}

TEST(TradingRecords, TicketMarkPriceAndProfit) {
    const auto symbol = eurusd();
    MODHoldBill buy;
    buy.bsCode = "b";
    buy.priceOpen = 1.10000;
    buy.priceHold = 1.10100;
    buy.quantityHold = 2;
    BizHoldBill::markWithSymbol(buy, &symbol, 0.5);
    EXPECT_DOUBLE_EQ(buy.markPrice, 1.10250);  // a buy closes at the bid
    EXPECT_NEAR(buy.dynProfitTotal, 2 * 0.0025 * 100000, 1e-6);
    EXPECT_NEAR(buy.dynProfit, 2 * 0.0015 * 100000, 1e-6);
    EXPECT_NEAR(buy.dynProfitPrice, 150, 1e-6);

    // A sell closes at the ask, "S" as well as "s".
    MODHoldBill sell = buy;
    sell.bsCode = "s";
    BizHoldBill::markWithSymbol(sell, &symbol, 1);
    EXPECT_DOUBLE_EQ(sell.markPrice, 1.10270);
    EXPECT_NEAR(sell.dynProfitTotal, -2 * 0.0027 * 100000, 1e-6);
    MODHoldBill upper = buy;
    upper.bsCode = "S";
    BizHoldBill::markWithSymbol(upper, &symbol, 1);
    EXPECT_DOUBLE_EQ(upper.markPrice, 1.10270);
    EXPECT_NEAR(upper.dynProfitTotal, -2 * 0.0027 * 100000, 1e-6);

    // The quantity is single precision, widened.
    MODHoldBill tenth = buy;
    tenth.quantityHold = 0.1f;
    BizHoldBill::markWithSymbol(tenth, &symbol, 1);
    EXPECT_DOUBLE_EQ(tenth.dynProfitTotal,
                     static_cast<double>(0.1f) * (1.10250 - 1.10000) * 100000);

    // Without a symbol: mark 0, the two hold profits 0, the total as it was.
    MODHoldBill lost = buy;
    BizHoldBill::markWithSymbol(lost, nullptr, 1);
    EXPECT_EQ(lost.markPrice, 0);
    EXPECT_EQ(lost.dynProfit, 0);
    EXPECT_EQ(lost.dynProfitPrice, 0);
    EXPECT_DOUBLE_EQ(lost.dynProfitTotal, buy.dynProfitTotal);
}

TEST(TradingRecords, PendingOrderParseAndRange) {
    const Json children =
        parse(R"([{"accId":"1001","bsCode":"s","limitType":"4","marginFreezed":"2000","memo":"m",
        "openDate":"2026-01-05 09:00:00","orderCode":"L1","orderPrice":"1.10050","priceStopLose":"1.105",
        "priceTakeProfit":"1.09","quantityComplete":"0","quantityOrder":"2","symbolCode":"X","symbolId":"1",
        "validDate":"","validDateType":"0","symbolName":"n"}])");
    const auto orders = BizLimitBill().pushData(&children);
    ASSERT_EQ(orders.size(), 1u);
    auto& o = *orders[0];
    EXPECT_EQ(o.limitType, "4");
    EXPECT_DOUBLE_EQ(o.marginFreezed, 2000);
    EXPECT_EQ(o.memo, "m");
    EXPECT_DOUBLE_EQ(o.orderPrice, 1.1005);
    EXPECT_DOUBLE_EQ(o.quantityOrder, 2);
    EXPECT_EQ(o.validDateType, "0");
    EXPECT_EQ(o.symbolName, "n");

    // A sell is marked at the ask: 1.10270 to 1.10050 is 220 points.
    const auto symbol = eurusd();
    BizLimitBill::markWithSymbol(o, &symbol);
    EXPECT_DOUBLE_EQ(o.markPrice, 1.10270);
    EXPECT_EQ(o.rangePoint, 220);
    o.bsCode = "b";
    BizLimitBill::markWithSymbol(o, &symbol);
    EXPECT_EQ(o.rangePoint, 200);
    // Without a symbol: mark 0, whole price units between 0 and the order price.
    BizLimitBill::markWithSymbol(o, nullptr);
    EXPECT_EQ(o.markPrice, 0);
    EXPECT_EQ(o.rangePoint, 1);
}

TEST(TradingRecords, PositionAveragesAndProfits) {
    const Json children =
        parse(R"([{"accId":"1001","moneyBuy":"2500","moneySell":"0","quantityBuy":"2",
        "quantitySell":"0","symbolId":"3","accCode":"A1","symbolName":"n","symbolCode":"X","tradeMarketName":"m",
        "ask":"9","bid":"8","dpBuy":"77","dpSell":"66","quantityApplication":"2","bsCode":"b"}])");
    const auto positions = BizHoldPosition().pushData(&children);
    ASSERT_EQ(positions.size(), 1u);
    auto& p = *positions[0];
    EXPECT_EQ(p.accCode, "A1");
    EXPECT_DOUBLE_EQ(p.dpBuy, 77);  // recomputed below
    EXPECT_DOUBLE_EQ(p.quantityApplication, 2);

    // 2500 / (2 x 1000) = 1.25; buy closed at the bid 1.30; no sell side.
    MODSymbolInfo symbol;
    symbol.unit = 1000;
    symbol.symbolType = "1";
    symbol.bid = 1.30;
    symbol.ask = 1.32;
    BizHoldPosition::priceWithSymbol(p, &symbol, 2.0);
    EXPECT_DOUBLE_EQ(p.avgBuy, 1.25);
    EXPECT_EQ(p.avgSell, 0);
    EXPECT_DOUBLE_EQ(p.bid, 1.30);
    EXPECT_DOUBLE_EQ(p.ask, 1.32);
    EXPECT_NEAR(p.dpBuy, 2 * 0.05 * 1000, 1e-9);
    EXPECT_NEAR(p.dppBuy, 200, 1e-9);
    EXPECT_EQ(p.dpSell, 0);
    EXPECT_EQ(p.dppSell, 0);

    // Sell side: 3 lots, 3 x 1000 x 1.40 = 4200, closed at the ask.
    p.quantitySell = 3;
    p.moneySell = 4200;
    BizHoldPosition::priceWithSymbol(p, &symbol, 1.0);
    EXPECT_DOUBLE_EQ(p.avgSell, 1.40);
    EXPECT_NEAR(p.dpSell, 3 * 0.08 * 1000, 1e-9);

    // No symbol: no unit to divide by, nothing to price with.
    BizHoldPosition::priceWithSymbol(p, nullptr, 1.0);
    EXPECT_EQ(p.avgBuy, 0);
    EXPECT_EQ(p.dpBuy, 0);
    EXPECT_EQ(p.dppSell, 0);
    EXPECT_EQ(p.bid, 0);
}

TEST(TradingRecords, ClosedTicketProfitRunsTheOtherSide) {
    const Json children =
        parse(R"([{"accId":"1001","bsCode":"s","chargeClose":"1","chargeInterest":"2",
        "chargeOpen":"3","closeDate":"d2","closeType":"1","openDate":"d1","orderCode":"T1","priceClose":"1.10250",
        "priceHold":"1.10100","priceOpen":"1.10000","priceStopLose":"0","priceTakeProfit":"0","profitClose":"250",
        "quantityClose":"1","quantityHold":"1","symbolId":"1","symbolCode":"EURUSD","symbolName":"n"}])");
    const auto closed = BizCloseBill().pushData(&children);
    ASSERT_EQ(closed.size(), 1u);
    auto& c = *closed[0];
    EXPECT_EQ(c.closeType, "1");
    EXPECT_DOUBLE_EQ(c.profitClose, 250);
    EXPECT_DOUBLE_EQ(c.chargeClose, 1);

    // Closed by a sell: the ticket was a buy, 1 x 0.0025 x 100000; the rate
    // is not applied.
    const auto symbol = eurusd();
    BizCloseBill::profitWithSymbol(c, &symbol, 3.0);
    EXPECT_NEAR(c.profitCloseTotal, 250, 1e-6);
    c.bsCode = "b";
    BizCloseBill::profitWithSymbol(c, &symbol, 3.0);
    EXPECT_NEAR(c.profitCloseTotal, -250, 1e-6);
    // However the dealer spells the side: a close by buying ended a sell.
    c.bsCode = "B";
    BizCloseBill::profitWithSymbol(c, &symbol, 3.0);
    EXPECT_NEAR(c.profitCloseTotal, -250, 1e-6);
    c.bsCode = "S";
    BizCloseBill::profitWithSymbol(c, &symbol, 3.0);
    EXPECT_NEAR(c.profitCloseTotal, 250, 1e-6);
    c.bsCode = "";
    BizCloseBill::profitWithSymbol(c, &symbol, 3.0);
    EXPECT_NEAR(c.profitCloseTotal, 250, 1e-6);
    BizCloseBill::profitWithSymbol(c, nullptr, 3.0);
    EXPECT_EQ(c.profitCloseTotal, 0);
}

TEST(TradingRecords, HistoryRowsAndTheirFaults) {
    BizHisQuoted biz;
    biz.setSymbolCode("XAUUSD");
    const Json children = parse(R"([
        {"row":"1767600000,2026-01-05 09:00:00,2000.10,2001.5,1999.25,2000.75"},
        {"row":"1767600060,x,1,2,3,4,5,6"},
        {"row":"1767600120,x,1,2,3"},
        {"nothing":"here"},
        {"row":"abc,x,o,h,l,c"},
        {"row":""},
        42])");
    const auto bars = biz.pushData(&children);
    // The short rows, the element without "row" and the non-object are passed over.
    ASSERT_EQ(bars.size(), 3u);
    for (const auto& bar : bars)
        EXPECT_EQ(bar->symbolCode, "XAUUSD");
    EXPECT_EQ(bars[0]->quotedTime, 1767600000);
    EXPECT_DOUBLE_EQ(bars[0]->priceOpen, 2000.10);
    EXPECT_DOUBLE_EQ(bars[0]->priceHighest, 2001.5);
    EXPECT_DOUBLE_EQ(bars[0]->priceLowest, 1999.25);
    EXPECT_DOUBLE_EQ(bars[0]->priceClose, 2000.75);
    EXPECT_DOUBLE_EQ(bars[1]->priceClose, 4);  // seventh and later fields ignored
    EXPECT_EQ(bars[2]->quotedTime, 0);         // not numbers: zeros
    EXPECT_EQ(bars[2]->priceOpen, 0);
    EXPECT_EQ(bars[2]->priceClose, 0);
}
