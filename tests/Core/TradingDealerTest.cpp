// Trading end to end against the simulated dealer: market orders fill and
// show as tickets, closes move them to the closed list, pending orders wait
// until cancelled, and every order goes out with exactly its 26 keys.
#include <gtest/gtest.h>

#include <cmath>

#include "Core/Funs.h"
#include "Core/SDK/KAVBizSDK.h"
#include "tests/support/TradingTestSupport.h"
#include "tests/support/DealerSim.h"
#include "tests/support/TestSupport.h"

using namespace kavtest;

namespace {

const std::vector<std::string> kOrderKeys = {
    "accId",         "pointAsk",  "pointBid",    "orderType",     "bsCode",
    "orderSerial",   "memo",      "orderCode",   "orderCodeRe",   "orderPrice",
    "orderQuantity", "orderTime", "pointOffset", "priceStopLose", "priceTakeProfit",
    "revQuantity",   "seatsCode", "symbolCode",  "symbolId",      "validDateType",
    "validDate",     "amId",      "cmDealerId",  "sendType",      "cutType",
    "pickInfo"};

class TradingDealer : public ::testing::Test {
  protected:
    void SetUp() override {
        Result<> login;
        sdk->loginWithUserId("1001", "123456", "", {sim.realLoginUrl()}, login.success(),
                             login.failure());
        ASSERT_TRUE(wait(login));
        ASSERT_EQ(login.successes, 1) << (login.failures.empty() ? "" : login.failures[0].second);
    }

    template <typename T>
    bool wait(const Result<T>& r) {
        return time.runUntil([&] { return r.successes + r.failures.size() > 0; });
    }
    // Runs an order action and waits for its result; true when it succeeded.
    template <typename Action>
    bool order(Action action) {
        Result<> r;
        action(r.success(), r.failure());
        EXPECT_TRUE(wait(r));
        EXPECT_TRUE(r.failures.empty()) << r.failures[0].first << " " << r.failures[0].second;
        return r.successes == 1;
    }
    MODList<MODHoldBill> tickets() {
        return query<MODHoldBill>(&KAVBizSDK::queryHoldBillOnSuccess);
    }
    MODList<MODLimitBill> pending() {
        return query<MODLimitBill>(&KAVBizSDK::queryLimitBillOnSuccess);
    }
    MODList<MODHoldPosition> positions() {
        return query<MODHoldPosition>(&KAVBizSDK::queryHoldPositionOnSuccess);
    }
    MODList<MODCloseBill> closed() {
        return query<MODCloseBill>(&KAVBizSDK::queryCloseBillOnSuccess);
    }
    template <typename Record, typename Query>
    MODList<Record> query(Query q) {
        Result<MODList<Record>> r;
        ((*sdk).*q)(r.success(), r.failure());
        EXPECT_TRUE(wait(r));
        EXPECT_EQ(r.successes, 1);
        return r.value;
    }

    // The order object of the last package of `event` the dealer received:
    // well-formed, with exactly the 26 keys in their order, every value a string.
    SimJson lastOrder(const std::string& event) {
        const auto packages = sim.waitForPackages(event, 1, SimService::Trade);
        EXPECT_FALSE(packages.empty());
        if (packages.empty()) return SimJson::object();
        const SimPackage& p = packages.back();
        EXPECT_EQ(p.error, "") << p.text;
        EXPECT_TRUE(p.enciphered);
        const SimJson data = p.json()["data"];
        EXPECT_EQ(data["action"], "1");
        const SimJson order = data["children"][0];
        std::vector<std::string> keys;
        for (const auto& [key, value] : order.items()) {
            keys.push_back(key);
            EXPECT_TRUE(value.is_string()) << key;
        }
        EXPECT_EQ(keys, kOrderKeys);
        EXPECT_EQ(order["orderSerial"], "0");
        EXPECT_EQ(order["amId"], "0");
        EXPECT_EQ(order["cmDealerId"], "0");
        EXPECT_EQ(order["sendType"], "");
        EXPECT_EQ(order["validDate"], "");
        EXPECT_EQ(order["seatsCode"], "");
        EXPECT_NE(Funs::Date2Epoch(order["orderTime"].get<std::string>()), 0) << order["orderTime"];
        return order;
    }

    VirtualTime time;
    DealerSim sim;
    std::shared_ptr<KAVBizSDK> sdk = std::make_shared<KAVBizSDK>();
};

}  // namespace

TEST_F(TradingDealer, MarketOrderFillsAndItsCloseMovesItToTheClosedList) {
    const auto eur = sdk->getSymbolWith("EURUSD");
    ASSERT_TRUE(eur);
    const double ask = eur->ask, bid = eur->bid;
    ASSERT_TRUE(order([&](auto ok, auto fail) {
        sdk->marketOpenWithSymbol("EURUSD", 2, "b", ask, 5, 0, 0, "端到端", ok, fail);
    }));
    SimJson o = lastOrder("3001");
    EXPECT_EQ(o["orderType"], "1");
    EXPECT_EQ(o["accId"], "1001");
    EXPECT_EQ(o["symbolId"], "1");
    EXPECT_EQ(o["orderQuantity"], "2");
    EXPECT_EQ(o["orderPrice"], Funs::formatPrice(ask, 5));
    EXPECT_EQ(o["priceStopLose"], "0.00000");
    EXPECT_EQ(o["memo"], "端到端");

    auto open = tickets();
    ASSERT_EQ(open.size(), 1u);
    const auto ticket = open[0];
    EXPECT_EQ(ticket->symbolCode, "EURUSD");
    EXPECT_EQ(ticket->quantityHold, 2.0f);
    EXPECT_DOUBLE_EQ(ticket->markPrice, bid);
    EXPECT_NEAR(ticket->dynProfitTotal, 2 * (bid - ask) * 100000, 1e-6);  // the spread
    EXPECT_EQ(sdk->getHoldBillWith(ticket->orderCode), ticket);

    ASSERT_TRUE(order(
        [&](auto ok, auto fail) { sdk->marketCloseWithOrder(ticket, 2, 5, 0, "", ok, fail); }));
    o = lastOrder("3003");
    EXPECT_EQ(o["orderType"], "2");
    EXPECT_EQ(o["bsCode"], "s");
    EXPECT_EQ(o["orderCodeRe"], ticket->orderCode);
    EXPECT_EQ(o["orderPrice"], Funs::formatPrice(bid, 5));

    EXPECT_TRUE(tickets().empty());
    EXPECT_FALSE(sdk->getHoldBillWith(ticket->orderCode));
    const auto done = closed();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0]->orderCode, ticket->orderCode);
    EXPECT_EQ(done[0]->symbolCode, "EURUSD");
    EXPECT_NEAR(done[0]->profitCloseTotal, 2 * (bid - ask) * 100000, 1e-6);
    EXPECT_NEAR(done[0]->profitClose, done[0]->profitCloseTotal, 0.01);  // USD account, USD symbol
}

TEST_F(TradingDealer, PendingOrdersWaitUntilCancelled) {
    const auto eur = sdk->getSymbolWith("EURUSD");
    ASSERT_TRUE(eur);
    // A buy 100 points below the ask waits for the price to come (limit).
    const double limitPrice = std::round((eur->ask - 0.00100) * 1e5) / 1e5;
    ASSERT_TRUE(order([&](auto ok, auto fail) {
        sdk->limitOpenWithSymbol("EURUSD", 1, "b", limitPrice, 0, 0, "0", "", ok, fail);
    }));
    SimJson o = lastOrder("3005");
    EXPECT_EQ(o["orderType"], "3");
    EXPECT_EQ(o["orderPrice"], Funs::formatPrice(limitPrice, 5));
    EXPECT_EQ(o["pointOffset"], "0");

    auto orders = pending();
    ASSERT_EQ(orders.size(), 1u);
    const auto limit = orders[0];
    EXPECT_EQ(limit->limitType, "3");
    EXPECT_EQ(limit->symbolCode, "EURUSD");
    EXPECT_DOUBLE_EQ(limit->orderPrice, limitPrice);
    EXPECT_DOUBLE_EQ(limit->markPrice, eur->bid);
    EXPECT_EQ(limit->rangePoint, Funs::getPointWithPrice1(eur->bid, limitPrice, 5));
    EXPECT_EQ(sdk->getLimitBillWith(limit->orderCode), limit);

    // A buy 60 points above the ask waits for the market to break through (stop).
    const double stopPrice = std::round((eur->ask + 0.00060) * 1e5) / 1e5;
    ASSERT_TRUE(order([&](auto ok, auto fail) {
        sdk->limitOpenWithSymbol("EURUSD", 1, "b", stopPrice, 0, 0, "0", "", ok, fail);
    }));
    EXPECT_EQ(lastOrder("3005")["orderType"], "4");
    orders = pending();
    ASSERT_EQ(orders.size(), 2u);

    ASSERT_TRUE(order([&](auto ok, auto fail) { sdk->cancelOrderWithOrder(limit, "", ok, fail); }));
    o = lastOrder("3009");
    EXPECT_EQ(o["orderType"], "6");
    EXPECT_EQ(o["orderCode"], limit->orderCode);
    EXPECT_EQ(o["orderPrice"], "0.00000");
    orders = pending();
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_NE(orders[0]->orderCode, limit->orderCode);
    EXPECT_EQ(orders[0]->limitType, "4");
    EXPECT_FALSE(sdk->getLimitBillWith(limit->orderCode));
}

TEST_F(TradingDealer, PositionsModifyCloseBySymbolAndRefusals) {
    const auto gold = sdk->getSymbolWith("XAUUSD");
    const auto yen = sdk->getSymbolWith("USDJPY");
    ASSERT_TRUE(gold && yen);
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(order([&](auto ok, auto fail) {
            sdk->marketOpenWithSymbol("XAUUSD", 1, "b", gold->ask, 10, 0, 0, "", ok, fail);
        }));
    ASSERT_TRUE(order([&](auto ok, auto fail) {
        sdk->marketOpenWithSymbol("USDJPY", 2, "b", yen->ask, 10, 0, 0, "", ok, fail);
    }));

    // The yen position is converted into the account's dollars.
    const auto all = positions();
    const auto jpy = sdk->getPositionWith("USDJPY");
    ASSERT_TRUE(jpy);
    EXPECT_EQ(all.size(), 2u);
    EXPECT_DOUBLE_EQ(jpy->quantityBuy, 2);
    EXPECT_NEAR(jpy->avgBuy, yen->ask, 1e-9);
    EXPECT_NEAR(jpy->dpBuy, 2 * (yen->bid - yen->ask) * 100000, 1e-6);
    EXPECT_NEAR(jpy->dppBuy, jpy->dpBuy * 0.00666667, 1e-6);
    EXPECT_EQ(jpy->accCurrency, "USD");
    EXPECT_EQ(jpy->symbolCurrency, "JPY");

    // Stop-loss and take-profit at the smallest distances from the bid.
    auto gold1 = tickets()[0];
    const auto bounds = sdk->getLimitWithSymbolCode("XAUUSD", static_cast<float>(gold->bid), "b");
    ASSERT_TRUE(bounds);
    ASSERT_TRUE(order([&](auto ok, auto fail) {
        sdk->modifyOrderWithSymbol("XAUUSD", bounds->stopLose, bounds->takeProfit, gold1->orderCode,
                                   "", ok, fail);
    }));
    SimJson o = lastOrder("3011");
    EXPECT_EQ(o["priceStopLose"], Funs::formatPrice(gold->bid - 1.0, 2));
    EXPECT_EQ(o["priceTakeProfit"], Funs::formatPrice(gold->bid + 1.0, 2));
    EXPECT_EQ(o["orderQuantity"], "0");
    tickets();
    EXPECT_NEAR(sdk->getHoldBillWith(gold1->orderCode)->priceStopLose, gold->bid - 1.0, 1e-9);

    // Both gold tickets closed at once.
    ASSERT_TRUE(order([&](auto ok, auto fail) {
        sdk->marketCloseWithSymbol("XAUUSD", 2, "s", 10, 0, "", ok, fail);
    }));
    o = lastOrder("2039");
    EXPECT_EQ(o["cutType"], "1");
    EXPECT_EQ(o["orderPrice"], Funs::formatPrice(gold->bid, 2));
    const auto left = tickets();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0]->symbolCode, "USDJPY");
    EXPECT_EQ(closed().size(), 2u);

    // The dealer's refusal reaches the caller as it is.
    sim.fail("3001", "3104", "可用保证金不足");
    Result<> refused;
    sdk->marketOpenWithSymbol("EURUSD", 1, "b", 1.1, 5, 0, 0, "", refused.success(),
                              refused.failure());
    ASSERT_TRUE(wait(refused));
    EXPECT_TRUE(refused.failedWith("3104", "可用保证金不足"));
}

TEST_F(TradingDealer, BulletinsAndHistory) {
    sim.addBulletin("周五提前收盘", "周五 21:00 收盘");
    Result<MODList<MODBulletin>> bulletins;
    sdk->queryBulletinOnSuccess(bulletins.success(), bulletins.failure());
    ASSERT_TRUE(wait(bulletins));
    ASSERT_FALSE(bulletins.value.empty());
    EXPECT_EQ(bulletins.value[0]->title, "周五提前收盘");
    EXPECT_EQ(bulletins.value[0]->content, "周五 21:00 收盘");

    Result<MODList<MODSymbolInfo>> bars;
    sdk->hisQuotedWithSymbol("XAUUSD", 4, -10, 0, "", "", bars.success(), bars.failure());
    ASSERT_TRUE(wait(bars));
    ASSERT_EQ(bars.value.size(), 10u);
    for (size_t i = 0; i < bars.value.size(); ++i) {
        const auto& bar = *bars.value[i];
        EXPECT_EQ(bar.symbolCode, "XAUUSD");
        EXPECT_GE(bar.priceHighest, bar.priceLowest);
        if (i > 0) {
            EXPECT_EQ(bar.quotedTime - bars.value[i - 1]->quotedTime, 60);
        }
    }
    EXPECT_NEAR(bars.value.back()->priceClose, sdk->getSymbolWith("XAUUSD")->priceCurrent, 1e-9);

    Result<MODList<MODSymbolInfo>> refused;
    sdk->hisQuotedWithSymbol("XAUUSD", 3, -10, 0, "", "", refused.success(), refused.failure());
    ASSERT_TRUE(wait(refused));
    EXPECT_TRUE(refused.failedWith("3201", "不支持的周期"));
}

TEST_F(TradingDealer, APriceOrQuantityThatIsZeroGoesOutWithoutASign) {
    // A stop-loss of -0 (typed as such, or a difference that came to zero
    // from below) still means none; the dealer must not read "-0.00000".
    const auto eur = sdk->getSymbolWith("EURUSD");
    ASSERT_TRUE(eur);
    ASSERT_TRUE(order([&](auto ok, auto fail) {
        sdk->marketOpenWithSymbol("EURUSD", 1, "s", eur->bid, 0, -0.0, -0.000001, "", ok, fail);
    }));
    SimJson o = lastOrder("3001");
    EXPECT_EQ(o["priceStopLose"], "0.00000");
    EXPECT_EQ(o["priceTakeProfit"], "0.00000");
    EXPECT_EQ(o["orderPrice"], Funs::formatPrice(eur->bid, 5));
    const auto open = tickets();
    ASSERT_EQ(open.size(), 1u);
    ASSERT_TRUE(order([&](auto ok, auto fail) {
        sdk->marketCloseWithOrder(open[0], 1, 0, -0.0, "", ok, fail);
    }));
    o = lastOrder("3003");
    EXPECT_EQ(o["revQuantity"], "0.00");
    EXPECT_EQ(o["bsCode"], "b");
}
