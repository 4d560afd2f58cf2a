// What a dealer that sends odd or hostile pushes must not do to the session:
// absurd prices, symbol changes that would re-map an id or zero the live
// quote, record and account pushes whose quantities or other fields are
// missing or unreadable, closed tickets that say too little, pushes of
// tickets and orders that are gone coming late or again, rates that cannot
// convert, a one-point move read as none; and a request in flight when the
// re-login replaces its channel.
#include "tests/Core/LiveSession.h"

namespace {

using namespace livetest;
class HostileDealerTest : public LiveSession {
  protected:
    // A ticket of 3 lots bought on EURUSD and a pending sell of 2, as the
    // caches hold them, with their account; the reports so far cleared.
    struct Held {
        std::shared_ptr<MODHoldBill> ticket;
        std::shared_ptr<MODLimitBill> pending;
        std::shared_ptr<MODUserAccount> account;
    };
    Held holdATicketAndAnOrder() {
        login();
        market("EURUSD", 3, "b");
        limit(2, "s", 1.12);
        if (!settle()) return {};
        Held held{sdk->getHoldBillWith(pushedTicket(0)->orderCode),
                  sdk->getLimitBillWith(delegate->orders.back().at(0)->orderCode),
                  sdk->getAccountWith(1001)};
        delegate->clear();
        return held;
    }
};

// One record of a push.
SimJson records(std::initializer_list<SimJson> list) {
    return {{"children", SimJson(list)}};
}

}  // namespace

// ---- quotes -----------------------------------------------------------------------

TEST_F(HostileDealerTest, AOnePointMoveReadsAsOnePointAtAnyDecimals) {
    login();
    // Two symbols quoted at 0.28, one with 2 and one with 4 decimals.
    const auto symbol = [](const char* code, const char* id, const char* decimal) {
        return SimJson{{"symbolCode", code}, {"symbolId", id},  {"accId", "1001"}, {"symbolName", code},
                       {"decimal", decimal}, {"pointAsk", "0"}, {"pointBid", "0"},
                       {"ask", "0.28"},      {"bid", "0.28"},   {"priceCurrent", "0.28"},
                       {"symbolType", "1"},  {"unit", "100"},   {"symbolCurrency", "USD"}};
    };
    sim.push(SimService::Trade, "4004",
             records({symbol("TWO", "91", "2"), symbol("FOUR", "92", "4")}));
    ASSERT_TRUE(waitFor([&] { return delegate->symbols.size() == 1; }));
    sim.push(SimService::Quote, "4002",
             records({SimJson{{"symbolCode", "TWO"}, {"priceCurrent", "0.29"}},
                      SimJson{{"symbolCode", "FOUR"}, {"priceCurrent", "0.29"}}}));
    ASSERT_TRUE(waitFor([&] { return delegate->saw("quote FOUR"); }));
    EXPECT_EQ(sdk->getSymbolWith("TWO")->upOrDown, 1);
    EXPECT_EQ(sdk->getSymbolWith("FOUR")->upOrDown, 100);
    // And down again.
    sim.push(SimService::Quote, "4002",
             records({SimJson{{"symbolCode", "TWO"}, {"priceCurrent", "0.28"}}}));
    ASSERT_TRUE(settle(SimService::Quote));
    EXPECT_EQ(sdk->getSymbolWith("TWO")->upOrDown, -1);
}

TEST_F(HostileDealerTest, ASymbolOfTenDecimalsIsPricedBoundedAndOrderedAtTen) {
    login();
    // Ten decimals is a count the symbol push and the order screens take:
    // one point is 0.0000000001, and every price of the symbol counts in it.
    sim.push(SimService::Trade, "4004",
             records({SimJson{{"symbolCode", "TEN"},
                              {"symbolId", "93"},
                              {"accId", "1001"},
                              {"symbolName", "TEN"},
                              {"decimal", "10"},
                              {"pointAsk", "5"},
                              {"pointBid", "0"},
                              {"pointStopLose", "30"},
                              {"pointTakeProfit", "50"},
                              {"ask", "0.000001234"},
                              {"bid", "0.000001234"},
                              {"priceCurrent", "0.000001234"},
                              {"symbolType", "1"},
                              {"unit", "100"},
                              {"symbolCurrency", "USD"}}}));
    ASSERT_TRUE(waitFor([&] { return delegate->symbols.size() == 1; }));
    ASSERT_EQ(sdk->getSymbolWith("TEN")->decimal, 10);
    sim.push(SimService::Quote, "4002",
             records({SimJson{{"symbolCode", "TEN"}, {"priceCurrent", "0.0000012345"}}}));
    ASSERT_TRUE(waitFor([&] { return delegate->saw("quote TEN"); }));
    const auto ten = sdk->getSymbolWith("TEN");
    // The ask five points above the current price, not fifty.
    EXPECT_NEAR(ten->ask, 0.0000012350, 1e-16);
    EXPECT_NEAR(ten->bid, 0.0000012345, 1e-16);
    EXPECT_EQ(pointsBetween(ten->ask, ten->bid, 10), 5);

    // The order screens' bounds: thirty and fifty points from the price.
    const auto bounds = sdk->getLimitWithSymbolCode("TEN", 0.0000012345f, "b");
    ASSERT_TRUE(bounds);
    EXPECT_NEAR(bounds->stopLose, 0.0000012315, 1e-13);
    EXPECT_NEAR(bounds->takeProfit, 0.0000012395, 1e-13);

    // A buy three points above the ask waits for the market to break
    // through (a stop, kind "4"), and goes out at the price the user gave.
    bool answered = false;
    sdk->limitOpenWithSymbol(
        "TEN", 1, "b", 0.0000012353, 0, 0, "0", "", [&] { answered = true; },
        [&](const std::string&, const std::string&) { answered = true; });
    ASSERT_TRUE(waitFor([&] { return answered; }));
    const auto sent = sim.packages(SimService::Trade, "3005");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].child("orderPrice"), "0.0000012353");
    EXPECT_EQ(sent[0].child("orderType"), "4");
}

TEST_F(HostileDealerTest, AnAbsurdPriceIsSkippedAndLeavesEveryValueFinite) {
    login();
    market("EURUSD", 3, "b");
    ASSERT_TRUE(settle());
    const auto eurusd = sdk->getSymbolWith("EURUSD");
    const auto ticket = sdk->getHoldBillWith(pushedTicket(0)->orderCode);
    const auto account = sdk->getAccountWith(1001);
    ASSERT_TRUE(ticket && account);
    const MODSymbolInfo before = *eurusd;
    const double profit = ticket->dynProfit;
    const double netValue = account->netValue;

    // 1e308 makes the ask infinite; 1e303 keeps it finite, but three lots of
    // 100000 at that price are beyond any double. A usable high and low do
    // not make an unusable quote usable, and absurd ones are not taken
    // from a usable quote.
    delegate->clear();
    sim.push(
        SimService::Quote, "4002",
        records(
            {SimJson{{"symbolCode", "EURUSD"}, {"priceCurrent", "1e308"}},
             SimJson{{"symbolCode", "EURUSD"}, {"priceCurrent", 1e303}, {"priceHighest", "1.2"}},
             SimJson{{"symbolCode", "XAUUSD"},
                     {"priceCurrent", "2001.5"},
                     {"priceHighest", "1e308"}}}));
    ASSERT_TRUE(waitFor([&] { return delegate->saw("quote XAUUSD"); }));
    EXPECT_FALSE(delegate->saw("quote EURUSD"));
    EXPECT_EQ(eurusd->ask, before.ask);
    EXPECT_EQ(eurusd->bid, before.bid);
    EXPECT_EQ(eurusd->priceHighest, before.priceHighest);
    EXPECT_EQ(ticket->dynProfit, profit);
    EXPECT_TRUE(std::isfinite(account->netValue));
    EXPECT_NEAR(account->netValue, netValue, 1e-6);
    EXPECT_LT(sdk->getSymbolWith("XAUUSD")->priceHighest, 1e15);
    EXPECT_EQ(logs.count("无效的行情已跳过：EURUSD"), 2u);
}

// ---- symbol changes -----------------------------------------------------------------

TEST_F(HostileDealerTest, ASymbolChangeWithoutPricesKeepsTheLiveQuote) {
    login();
    market("EURUSD", 1, "b");
    ASSERT_TRUE(settle());
    const auto eurusd = sdk->getSymbolWith("EURUSD");
    const double ask = eurusd->ask, bid = eurusd->bid, high = eurusd->priceHighest;
    ASSERT_GT(bid, 0);
    const std::string lastTime = eurusd->lastTime;

    // A new name and spread; no price, and a price that cannot be read.
    sim.push(SimService::Trade, "4004",
             records({SimJson{{"symbolCode", "EURUSD"},
                              {"symbolId", "1"},
                              {"accId", "1001"},
                              {"symbolName", "欧元/美元"},
                              {"decimal", "5"},
                              {"pointAsk", "5"},
                              {"pointBid", "5"},
                              {"symbolType", "1"},
                              {"unit", "100000"},
                              {"symbolCurrency", "USD"},
                              {"priceCurrent", "n/a"}}}));
    ASSERT_TRUE(waitFor([&] { return delegate->symbols.size() == 1; }));
    EXPECT_EQ(eurusd->symbolName, "欧元/美元");
    EXPECT_EQ(eurusd->pointAsk, 5);
    EXPECT_EQ(eurusd->ask, ask);
    EXPECT_EQ(eurusd->bid, bid);
    EXPECT_EQ(eurusd->priceHighest, high);
    EXPECT_EQ(eurusd->lastTime, lastTime);
    EXPECT_GT(eurusd->priceCurrent, 0);

    // A close sent now goes out at the live bid, not at 0.
    order([&](KAVDoneBlock done, KAVFailureBlock fail) {
        sdk->marketCloseWithSymbol("EURUSD", 1, "s", 50, 0, "", done, fail);
    });
    const auto closes = sim.packages(SimService::Trade, "2039");
    ASSERT_EQ(closes.size(), 1u);
    EXPECT_EQ(closes[0].child("orderPrice"), KAVBizSDK::formatPrice(bid, 5));
}

TEST_F(HostileDealerTest, ASymbolChangeThatWouldGiveOneIdTwoCodesIsRefused) {
    login();
    market("USDJPY", 1, "b");
    ASSERT_TRUE(settle());
    const auto eurusd = sdk->getSymbolWith("EURUSD");
    const auto usdjpy = sdk->getSymbolWith("USDJPY");
    const size_t count = sdk->symbolInfos().size();

    // EURUSD claims USDJPY's id 2; a new code claims it too; a change that
    // names no id keeps the symbol's own.
    sim.push(SimService::Trade, "4004",
             records({SimJson{{"symbolCode", "EURUSD"}, {"symbolId", "2"}, {"decimal", "5"}},
                      SimJson{{"symbolCode", "GBPUSD"}, {"symbolId", "2"}, {"decimal", "5"}},
                      SimJson{{"symbolCode", "XAUUSD"}, {"symbolName", "黄金"}}}));
    ASSERT_TRUE(waitFor([&] { return delegate->symbols.size() == 1; }));
    EXPECT_EQ(delegate->symbols[0].size(), 1u);  // only the gold change is taken
    EXPECT_EQ(logs.count("商品变更已拒绝：商品编号 2 已属于 USDJPY"), 2u);
    EXPECT_EQ(sdk->getSymbolWithId(2), usdjpy);
    EXPECT_EQ(sdk->getSymbolWithId(1), eurusd);
    EXPECT_EQ(eurusd->symbolId, 1);
    EXPECT_EQ(eurusd->decimal, 5);
    EXPECT_EQ(sdk->getSymbolWith("GBPUSD"), nullptr);
    EXPECT_EQ(sdk->symbolInfos().size(), count);
    EXPECT_EQ(sdk->getSymbolWith("XAUUSD")->symbolId, 3);
    EXPECT_EQ(sdk->getSymbolWithId(3)->symbolName, "黄金");

    // The yen ticket, found by its id, is still a yen ticket with a yen profit.
    MODList<MODHoldBill> tickets;
    sdk->queryHoldBillOnSuccess([&](const MODList<MODHoldBill>& t) { tickets = t; }, {});
    ASSERT_TRUE(waitFor([&] { return !tickets.empty(); }));
    EXPECT_EQ(tickets[0]->symbolCode, "USDJPY");
    EXPECT_LT(std::fabs(tickets[0]->dynProfitPrice), 1000);
}

TEST_F(HostileDealerTest, AnUnreadableSymbolChangeIsRefusedAndAPartialOneKeepsTheRest) {
    login();
    const auto eurusd = sdk->getSymbolWith("EURUSD");
    const MODSymbolInfo before = *eurusd;
    ASSERT_FALSE(before.symbolName.empty());
    ASSERT_GT(before.maxTradeQuantity, 0);
    const size_t count = sdk->symbolInfos().size();

    // Decimals no price can show, a blank name, a new code without a name:
    // each record is refused whole, with its log line.
    sim.push(SimService::Trade, "4004",
             records({SimJson{{"symbolCode", "EURUSD"}, {"symbolName", "欧元"}, {"decimal", "12"}},
                      SimJson{{"symbolCode", "EURUSD"}, {"decimal", -1}},
                      SimJson{{"symbolCode", "EURUSD"}, {"symbolName", ""}},
                      SimJson{{"symbolCode", "EURUSD"}, {"symbolName", " "}, {"unit", "1"}},
                      SimJson{{"symbolCode", "NONAME"}, {"symbolId", "77"}, {"decimal", "2"}}}));
    ASSERT_TRUE(waitFor([&] { return delegate->symbols.size() == 1; }));
    EXPECT_TRUE(delegate->symbols[0].empty());
    EXPECT_EQ(logs.count("商品变更已拒绝：EURUSD 小数位数 12 不在 0 到 10 之间"), 1u);
    EXPECT_EQ(logs.count("商品变更已拒绝：EURUSD 小数位数 -1 不在 0 到 10 之间"), 1u);
    EXPECT_EQ(logs.count("商品变更已拒绝：EURUSD 没有商品名称"), 2u);
    EXPECT_EQ(logs.count("商品变更已拒绝：NONAME 没有商品名称"), 1u);
    EXPECT_EQ(sdk->getSymbolWith("NONAME"), nullptr);
    EXPECT_EQ(sdk->symbolInfos().size(), count);
    EXPECT_EQ(sdk->getSymbolWith("EURUSD"), eurusd);
    EXPECT_EQ(eurusd->symbolName, before.symbolName);
    EXPECT_EQ(eurusd->decimal, before.decimal);
    EXPECT_EQ(eurusd->unit, before.unit);

    // A record carrying one rule changes that rule only.
    sim.push(SimService::Trade, "4004",
             records({SimJson{{"symbolCode", "EURUSD"},
                              {"maxTradeQuantity", "7"},
                              {"minTradeQuantity", "abc"}}}));
    ASSERT_TRUE(waitFor([&] { return delegate->symbols.size() == 2; }));
    ASSERT_EQ(delegate->symbols[1], (MODList<MODSymbolInfo>{eurusd}));
    EXPECT_EQ(eurusd->maxTradeQuantity, 7);
    EXPECT_EQ(eurusd->minTradeQuantity, before.minTradeQuantity);
    EXPECT_EQ(eurusd->symbolName, before.symbolName);
    EXPECT_EQ(eurusd->decimal, before.decimal);
    EXPECT_EQ(eurusd->symbolId, before.symbolId);
    EXPECT_EQ(eurusd->accId, before.accId);
    EXPECT_EQ(eurusd->accCurrency, before.accCurrency);
    EXPECT_EQ(eurusd->symbolType, before.symbolType);
    EXPECT_EQ(eurusd->symbolCurrency, before.symbolCurrency);
    EXPECT_EQ(eurusd->unit, before.unit);
    EXPECT_EQ(eurusd->pointAsk, before.pointAsk);
    EXPECT_EQ(eurusd->spread, before.spread);
    EXPECT_EQ(eurusd->maxPointOffset, before.maxPointOffset);
    EXPECT_EQ(eurusd->beginTime, before.beginTime);
    EXPECT_EQ(eurusd->ask, before.ask);

    // Orders still go out at the symbol's own decimals and are taken.
    market("EURUSD", 1, "b");
    ASSERT_TRUE(settle());
    const auto opens = sim.packages(SimService::Trade, "3001");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].child("orderPrice"), KAVBizSDK::formatPrice(before.ask, before.decimal));
    EXPECT_FALSE(delegate->tickets.empty());
}

// ---- record pushes ---------------------------------------------------------------

TEST_F(HostileDealerTest, UnreadableQuantitiesKeepTicketsOrdersAndPositions) {
    login();
    market("EURUSD", 3, "b");
    limit(2, "s", 1.12);
    ASSERT_TRUE(settle());
    const auto ticket = sdk->getHoldBillWith(pushedTicket(0)->orderCode);
    const auto pending = sdk->getLimitBillWith(delegate->orders.back().at(0)->orderCode);
    const auto position = sdk->getPositionWith("EURUSD");
    ASSERT_TRUE(ticket && pending && position);
    delegate->clear();

    // Quantities missing, not numbers, or beyond any double: none of them is
    // 0. Nor is a number behind a blank or a second sign, which the record's
    // own reading takes for 0.
    for (const SimJson& quantity :
         {SimJson(), SimJson("abc"), SimJson("1e309"), SimJson(" 2"), SimJson("+-2")}) {
        SimJson t = {{"orderCode", ticket->orderCode},
                     {"symbolCode", "EURUSD"},
                     {"bsCode", "b"},
                     {"priceOpen", ticket->priceOpen},
                     {"priceHold", ticket->priceHold},
                     {"priceTakeProfit", "1.2"}};
        SimJson o = {{"orderCode", pending->orderCode},
                     {"symbolCode", "EURUSD"},
                     {"bsCode", "s"},
                     {"orderPrice", "1.12"}};
        SimJson p = {{"symbolCode", "EURUSD"}, {"quantitySell", "0"}, {"moneySell", "0"}};
        if (!quantity.is_null()) {
            t["quantityHold"] = quantity;
            o["quantityOrder"] = quantity;
            p["quantityBuy"] = quantity;
        }
        sim.push(SimService::Trade, "4016", records({t}));
        sim.push(SimService::Trade, "4018", records({o}));
        sim.push(SimService::Trade, "4022", records({p}));
    }
    ASSERT_TRUE(settle());
    ASSERT_EQ(delegate->tickets.size(), 5u);
    EXPECT_EQ(sdk->getHoldBillWith(ticket->orderCode), ticket);
    EXPECT_EQ(ticket->quantityHold, 3.0f);
    EXPECT_EQ(ticket->priceTakeProfit, 1.2);  // the rest of the push is taken
    for (const auto& reported : delegate->tickets)
        EXPECT_EQ(reported.at(0)->quantityHold, 3.0f);  // and reported with it
    EXPECT_EQ(sdk->getLimitBillWith(pending->orderCode), pending);
    EXPECT_EQ(pending->quantityOrder, 2);
    EXPECT_EQ(sdk->getPositionWith("EURUSD"), position);
    EXPECT_EQ(position->quantityBuy, 3);

    // A readable 0 still means gone.
    sim.push(
        SimService::Trade, "4018",
        records({SimJson{
            {"orderCode", pending->orderCode}, {"symbolCode", "EURUSD"}, {"quantityOrder", "0"}}}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(sdk->getLimitBillWith(pending->orderCode), nullptr);
}

TEST_F(HostileDealerTest, APositionPushWithoutItsMoneyIsPricedFromTheTicketsOrNotAtAll) {
    login();
    market("EURUSD", 2, "b");
    market("EURUSD", 1, "b");
    ASSERT_TRUE(settle());
    const auto position = sdk->getPositionWith("EURUSD");
    ASSERT_TRUE(position);
    ASSERT_EQ(position->quantityBuy, 3);
    const double average = position->avgBuy;
    const double profit = position->dpBuy;
    ASSERT_GT(average, 0);
    // The cache knew of one lot only: the pushed 3 lots are a change.
    position->quantityBuy = 1;
    position->moneyBuy = average * sdk->getSymbolWith("EURUSD")->unit;

    // The buy side's money missing or unreadable: the three lots held in
    // tickets give it.
    for (const SimJson& money : {SimJson(), SimJson("abc")}) {
        SimJson p = {{"symbolCode", "EURUSD"},
                     {"quantityBuy", "3"},
                     {"quantitySell", "0"},
                     {"moneySell", "0"}};
        if (!money.is_null()) p["moneyBuy"] = money;
        delegate->clear();
        sim.push(SimService::Trade, "4022", records({p}));
        ASSERT_TRUE(settle());
        ASSERT_EQ(delegate->positions.size(), 1u);
        EXPECT_NEAR(delegate->positions[0][0]->avgBuy, average, 1e-9);
        EXPECT_NEAR(delegate->positions[0][0]->dpBuy, profit, 0.01);
        EXPECT_EQ(position->quantityBuy, 3);
        EXPECT_NEAR(position->avgBuy, average, 1e-9);
        position->quantityBuy = 1;
    }

    // Lots that no tickets account for: no average, and no profit counted
    // from a price of 0.
    delegate->clear();
    sim.push(SimService::Trade, "4022",
             records({SimJson{{"symbolCode", "EURUSD"},
                              {"quantityBuy", "7"},
                              {"moneyBuy", "abc"},
                              {"quantitySell", "0"},
                              {"moneySell", "0"}}}));
    ASSERT_TRUE(settle());
    ASSERT_EQ(delegate->positions.size(), 1u);
    EXPECT_EQ(delegate->positions[0][0]->avgBuy, 0);
    EXPECT_EQ(delegate->positions[0][0]->dpBuy, 0);
    EXPECT_EQ(delegate->positions[0][0]->dppBuy, 0);
}

TEST_F(HostileDealerTest, APushThatLeavesFieldsOutKeepsThemForACachedTicketOrOrder) {
    const auto [ticket, pending, account] = holdATicketAndAnOrder();
    ASSERT_TRUE(ticket && pending && account);
    const MODHoldBill ticketBefore = *ticket;
    const MODLimitBill pendingBefore = *pending;
    const double profit = account->profitDyn;

    // Only the quantity and a new take-profit: the side, the prices and the
    // dates are not sent, so they are not changed (nor is a buy made a sell
    // priced from 0).
    sim.push(SimService::Trade, "4016",
             records({SimJson{{"orderCode", ticket->orderCode},
                              {"symbolCode", "EURUSD"},
                              {"quantityHold", "3"},
                              {"priceTakeProfit", "1.2"},
                              {"priceOpen", "abc"}}}));
    sim.push(SimService::Trade, "4018",
             records({SimJson{{"orderCode", pending->orderCode},
                              {"symbolCode", "EURUSD"},
                              {"quantityOrder", "2"},
                              {"priceTakeProfit", "1.11"}}}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(sdk->getHoldBillWith(ticket->orderCode), ticket);
    EXPECT_EQ(ticket->bsCode, "b");
    EXPECT_EQ(ticket->priceOpen, ticketBefore.priceOpen);
    EXPECT_EQ(ticket->priceHold, ticketBefore.priceHold);
    EXPECT_EQ(ticket->openDate, ticketBefore.openDate);
    EXPECT_EQ(ticket->marginUsed, ticketBefore.marginUsed);
    EXPECT_EQ(ticket->priceTakeProfit, 1.2);
    EXPECT_EQ(ticket->dynProfit, ticketBefore.dynProfit);
    EXPECT_EQ(account->profitDyn, profit);
    ASSERT_EQ(delegate->tickets.size(), 1u);
    EXPECT_EQ(delegate->tickets[0][0]->priceOpen, ticketBefore.priceOpen);  // reported so
    EXPECT_EQ(sdk->getLimitBillWith(pending->orderCode), pending);
    EXPECT_EQ(pending->bsCode, "s");
    EXPECT_EQ(pending->orderPrice, 1.12);
    EXPECT_EQ(pending->limitType, pendingBefore.limitType);
    EXPECT_EQ(pending->validDateType, pendingBefore.validDateType);
    EXPECT_EQ(pending->rangePoint, pendingBefore.rangePoint);
    EXPECT_EQ(pending->priceTakeProfit, 1.11);
}

TEST_F(HostileDealerTest, APushNamingNoSymbolKeepsTheSymbolOfACachedTicketOrOrder) {
    const auto [ticket, pending, account] = holdATicketAndAnOrder();
    ASSERT_TRUE(ticket && pending && account);
    const MODHoldBill ticketBefore = *ticket;
    const MODLimitBill pendingBefore = *pending;

    // A part of the ticket closed and a new take-profit for the order, each
    // under its code alone: neither is moved off its symbol and account.
    sim.push(SimService::Trade, "4016",
             records({SimJson{{"orderCode", ticket->orderCode}, {"quantityHold", "2"}}}));
    sim.push(SimService::Trade, "4018",
             records({SimJson{{"orderCode", pending->orderCode},
                              {"quantityOrder", "2"},
                              {"priceTakeProfit", "1.11"}}}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(ticket->symbolCode, "EURUSD");
    EXPECT_EQ(ticket->symbolId, ticketBefore.symbolId);
    EXPECT_EQ(ticket->accId, 1001);
    EXPECT_EQ(ticket->symbolName, ticketBefore.symbolName);
    EXPECT_EQ(ticket->accCurrency, ticketBefore.accCurrency);
    EXPECT_EQ(ticket->quantityHold, 2.0f);
    EXPECT_EQ(ticket->markPrice, sdk->getSymbolWith("EURUSD")->bid);
    EXPECT_NEAR(ticket->dynProfitPrice, ticketBefore.dynProfitPrice * 2 / 3, 1e-6);
    EXPECT_NEAR(account->profitDyn, ticket->dynProfitPrice, 1e-9);
    ASSERT_EQ(delegate->tickets.size(), 1u);
    EXPECT_EQ(delegate->tickets[0][0]->symbolCode, "EURUSD");
    EXPECT_EQ(pending->symbolCode, "EURUSD");
    EXPECT_EQ(pending->accId, 1001);
    EXPECT_EQ(pending->markPrice, pendingBefore.markPrice);
    EXPECT_EQ(pending->priceTakeProfit, 1.11);

    // The quotes still price both.
    sim.setQuote("EURUSD", 1.10400);
    ASSERT_TRUE(settle());
    EXPECT_EQ(ticket->markPrice, sdk->getSymbolWith("EURUSD")->bid);
    EXPECT_EQ(pending->markPrice, sdk->getSymbolWith("EURUSD")->ask);
    EXPECT_NEAR(account->profitDyn, ticket->dynProfitPrice, 1e-9);
}

TEST_F(HostileDealerTest, ARatePushWithoutAUsableRateKeepsTheRateItWouldReplace) {
    login();
    market("USDJPY", 2, "b");
    ASSERT_TRUE(settle());
    const double rate = sdk->getExchangeRateWith("JPY", "USD");
    ASSERT_GT(rate, 0);
    ASSERT_NE(rate, 1.0);  // a rate the profits are converted with
    sim.setQuote("USDJPY", 150.500);
    ASSERT_TRUE(settle(SimService::Quote));
    const auto ticket = sdk->getHoldBillWith(pushedTicket(0)->orderCode);
    const auto account = sdk->getAccountWith(1001);
    ASSERT_TRUE(ticket && account);
    ASSERT_NE(ticket->dynProfitPrice, 0);
    const double converted = ticket->dynProfitPrice;

    // Missing, not a number, 0 or below: no rate to convert with.
    for (const SimJson& value : {SimJson(), SimJson("abc"), SimJson("0"), SimJson(-0.0067)}) {
        SimJson r = {{"currencyBase", "JPY"}, {"currencyExchange", "USD"}};
        if (!value.is_null()) r["exchangeRate"] = value;
        sim.push(SimService::Trade, "4024", records({r}));
    }
    ASSERT_TRUE(settle());
    EXPECT_EQ(sdk->getExchangeRateWith("JPY", "USD"), rate);
    sim.setQuote("USDJPY", 150.500);
    ASSERT_TRUE(settle(SimService::Quote));
    EXPECT_EQ(ticket->dynProfitPrice, converted);
    EXPECT_EQ(account->profitDyn, converted);

    // A usable one replaces it.
    sim.push(
        SimService::Trade, "4024",
        records({SimJson{
            {"currencyBase", "JPY"}, {"currencyExchange", "USD"}, {"exchangeRate", "0.0070"}}}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(sdk->getExchangeRateWith("JPY", "USD"), 0.007);
}

TEST_F(HostileDealerTest, AnAccountPushChangesOnlyTheMoneyItCarriesReadably) {
    login();
    market("EURUSD", 3, "b");
    ASSERT_TRUE(settle());
    const auto account = sdk->getAccountWith(1001);
    ASSERT_TRUE(account);
    const MODUserAccount before = *account;
    ASSERT_NE(before.amMarginRemain, 0);
    ASSERT_NE(before.amMarginUsed, 0);

    sim.push(SimService::Trade, "4008",
             records({SimJson{{"accId", "1001"},
                              {"amMarginUsed", "abc"},
                              {"amMarginFreezed", "25"},
                              {"amDailyCharge", nullptr},
                              // Read as 0 by the account's own reading.
                              {"amMarginRemain", " 5000"},
                              {"amWithdrawable", "+-5"}}}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(account->amMarginRemain, before.amMarginRemain);
    EXPECT_EQ(account->amMarginUsed, before.amMarginUsed);
    EXPECT_EQ(account->amWithdrawable, before.amWithdrawable);
    EXPECT_EQ(account->amDailyCharge, before.amDailyCharge);
    EXPECT_EQ(account->amDailyCloseProfit, before.amDailyCloseProfit);
    EXPECT_EQ(account->amMarginFreezed, 25);
    EXPECT_DOUBLE_EQ(account->netValue, before.netValue);
    EXPECT_DOUBLE_EQ(account->amMarginFree, before.amMarginFree - 25 + before.amMarginFreezed);
}

TEST_F(HostileDealerTest, AClosedTicketPushRemovesOnlyWhatItSaysIsClosed) {
    login();
    const auto ticket = boughtTicket(3);
    ASSERT_TRUE(ticket);
    closeAtMarket(ticket, 1);
    ASSERT_TRUE(settle());
    ASSERT_EQ(ticket->quantityHold, 2.0f);

    // Only the codes: nothing is said of the quantity, the ticket stays.
    const SimJson codes = {{"orderCode", ticket->orderCode}, {"symbolCode", "EURUSD"}};
    sim.push(SimService::Trade, "4020", records({codes}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(sdk->getHoldBillWith(ticket->orderCode), ticket);
    EXPECT_EQ(ticket->quantityHold, 2.0f);

    // One of two held closed: the rest stays open.
    SimJson partial = codes;
    partial["quantityHold"] = "2";
    partial["quantityClose"] = "1";
    sim.push(SimService::Trade, "4020", records({partial}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(sdk->getHoldBillWith(ticket->orderCode), ticket);
    EXPECT_EQ(ticket->quantityHold, 1.0f);

    // All of it closed: gone, and the account has no floating profit left.
    SimJson whole = codes;
    whole["quantityHold"] = "1";
    whole["quantityClose"] = "1";
    sim.push(SimService::Trade, "4020", records({whole}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(sdk->getHoldBillWith(ticket->orderCode), nullptr);
    EXPECT_EQ(sdk->getAccountWith(1001)->profitDyn, 0);
}

TEST_F(HostileDealerTest, LatePushesDoNotBringBackATicketOrAnOrderThatIsGone) {
    login();
    market("EURUSD", 3, "b");
    limit(2, "s", 1.12);
    ASSERT_TRUE(settle());
    const auto ticket = sdk->getHoldBillWith(pushedTicket(0)->orderCode);
    const auto pending = sdk->getLimitBillWith(delegate->orders.back().at(0)->orderCode);
    ASSERT_TRUE(ticket && pending);
    const std::string ticketCode = ticket->orderCode;
    const std::string orderCode = pending->orderCode;
    // The pushes that brought them, as a dealer would send them again.
    const SimJson opened = {{"orderCode", ticketCode},
                            {"symbolCode", "EURUSD"},
                            {"bsCode", "b"},
                            {"accId", "1001"},
                            {"priceOpen", ticket->priceOpen},
                            {"priceHold", ticket->priceHold},
                            {"quantityHold", "3"}};
    const SimJson placed = {{"orderCode", orderCode},
                            {"symbolCode", "EURUSD"},
                            {"bsCode", "s"},
                            {"orderPrice", "1.12"},
                            {"quantityOrder", "2"}};

    // The ticket closed in full and the order cancelled, then their first
    // pushes come once more: neither is open again, nor counts in the account.
    closeAtMarket(ticket, 3);
    order([&](KAVDoneBlock done, KAVFailureBlock fail) {
        sdk->cancelOrderWithOrder(pending, "", done, fail);
    });
    ASSERT_TRUE(settle());
    ASSERT_EQ(sdk->getHoldBillWith(ticketCode), nullptr);
    ASSERT_EQ(sdk->getLimitBillWith(orderCode), nullptr);
    delegate->clear();
    sim.push(SimService::Trade, "4016", records({opened}));
    sim.push(SimService::Trade, "4018", records({placed}));
    // Nor does a ticket, order or position the cache never held, pushed with
    // a quantity that cannot be read.
    SimJson unread = opened, unreadOrder = placed;
    unread["orderCode"] = "UNREAD-1";
    unread["quantityHold"] = "abc";
    unreadOrder["orderCode"] = "UNREAD-2";
    unreadOrder["quantityOrder"] = "abc";
    sim.push(SimService::Trade, "4016", records({unread}));
    sim.push(SimService::Trade, "4018", records({unreadOrder}));
    sim.push(SimService::Trade, "4022",
             records({SimJson{{"symbolCode", "GBPUSD"}, {"quantityBuy", "abc"}}}));
    sim.setQuote("EURUSD", 1.10400);
    ASSERT_TRUE(settle());
    EXPECT_EQ(sdk->getHoldBillWith(ticketCode), nullptr);
    EXPECT_EQ(sdk->getLimitBillWith(orderCode), nullptr);
    EXPECT_EQ(sdk->getHoldBillWith("UNREAD-1"), nullptr);
    EXPECT_EQ(sdk->getLimitBillWith("UNREAD-2"), nullptr);
    // Nor are they told to listeners: an unread quantity would come as 0,
    // which every listener reads as gone.
    for (const auto& reported : delegate->tickets)
        EXPECT_NE(reported.at(0)->orderCode, "UNREAD-1");
    for (const auto& reported : delegate->orders)
        EXPECT_NE(reported.at(0)->orderCode, "UNREAD-2");
    for (const auto& reported : delegate->positions)
        EXPECT_NE(reported.at(0)->symbolCode, "GBPUSD");
    ASSERT_FALSE(delegate->tickets.empty()) << "the late pushes are told as they came";
    const auto account = sdk->getAccountWith(1001);
    EXPECT_EQ(account->profitDyn, 0);
    EXPECT_NEAR(account->amMarginFree,
                account->amMarginRemain - account->amMarginUsed - account->amMarginFreezed, 1e-9);

    // A ticket whose close overtakes its opening push never enters either.
    SimJson closedFirst = opened;
    closedFirst["orderCode"] = "LATE-1";
    closedFirst["quantityHold"] = "0";
    SimJson openedLate = opened;
    openedLate["orderCode"] = "LATE-1";
    sim.push(SimService::Trade, "4016", records({closedFirst}));
    sim.push(SimService::Trade, "4016", records({openedLate}));
    // Nor one whose closed-ticket push comes first.
    openedLate["orderCode"] = "LATE-2";
    sim.push(SimService::Trade, "4020",
             records({SimJson{{"orderCode", "LATE-2"},
                              {"symbolCode", "EURUSD"},
                              {"bsCode", "s"},
                              {"quantityHold", "3"},
                              {"quantityClose", "3"}}}));
    sim.push(SimService::Trade, "4016", records({openedLate}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(sdk->getHoldBillWith("LATE-1"), nullptr);
    EXPECT_EQ(sdk->getHoldBillWith("LATE-2"), nullptr);
    EXPECT_EQ(account->profitDyn, 0);
}

TEST_F(HostileDealerTest, TheCodesGoneInOneSessionSayNothingOfTheNext) {
    login();
    const auto ticket = boughtTicket(1);
    ASSERT_TRUE(ticket);
    closeAtMarket(ticket, 1);
    ASSERT_TRUE(settle());
    ASSERT_EQ(sdk->getHoldBillWith(ticket->orderCode), nullptr);

    // Another dealer numbers its tickets from the same start: its first
    // ticket has the code of the one closed at the first.
    DealerSim other;
    loginTo(other);
    delegate->clear();
    market("EURUSD", 2, "b");
    ASSERT_TRUE(settle(SimService::Trade, other));
    ASSERT_EQ(pushedTicket(0)->orderCode, ticket->orderCode);
    const auto reopened = sdk->getHoldBillWith(ticket->orderCode);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->quantityHold, 2.0f);
}

TEST_F(HostileDealerTest, AClosedTicketPushSentAgainNeverGivesBackWhatWasClosedSince) {
    login();
    const auto ticket = boughtTicket(3);
    ASSERT_TRUE(ticket);
    closeAtMarket(ticket, 1);
    ASSERT_TRUE(settle());
    ASSERT_EQ(delegate->closed.size(), 1u);
    const auto first = delegate->closed[0][0];
    closeAtMarket(ticket, 1);
    ASSERT_TRUE(settle());
    ASSERT_EQ(ticket->quantityHold, 1.0f);

    // The first close (1 of 3) once more: one lot is left, not two.
    sim.push(SimService::Trade, "4020",
             records({SimJson{{"orderCode", first->orderCode},
                              {"symbolCode", "EURUSD"},
                              {"bsCode", "s"},
                              {"quantityHold", "3"},
                              {"quantityClose", "1"}}}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(sdk->getHoldBillWith(ticket->orderCode), ticket);
    EXPECT_EQ(ticket->quantityHold, 1.0f);
}

// ---- texts that cannot be read ----------------------------------------------------------

TEST_F(HostileDealerTest, TextsThatCannotBeReadAreDroppedAndTheSessionGoesOn) {
    login();
    delegate->clear();
    // Too short, not Base64, a broken padding, no package at all.
    sim.sendText(SimService::Trade, "ab");
    sim.sendText(SimService::Trade, "%%% not base64 %%%");
    sim.sendText(SimService::Trade, R"({"event":"4030","retCode":"0","data":{}})", "badPadding");
    sim.sendText(SimService::Trade, "no package here");
    // A sealed package goes through.
    sim.sendText(
        SimService::Trade,
        R"({"event":"4030","msgOrder":"0","retCode":"0","data":{"children":[{"accId":"1001"}]}})",
        "sealed");
    ASSERT_TRUE(settle());
    EXPECT_EQ(delegate->events, std::vector<std::string>{"risk 1"});
    EXPECT_EQ(logs.count("wsTrader - 无法解密的数据已丢弃"), 3u);
    // Quotes and orders go on as before.
    sim.setQuote("EURUSD", 1.10300);
    ASSERT_TRUE(waitFor([&] { return delegate->saw("quote EURUSD"); }));
    market("EURUSD", 1, "b");
}

TEST_F(HostileDealerTest, CompressedLinesThatCannotBeReadAreDropped) {
    sim.setCompressed(true);
    login();
    delegate->clear();
    sim.sendText(SimService::CompressedQuote, "0,1,2");
    sim.sendText(SimService::CompressedQuote, "0,1767603600,1,EURUSD,abc,1,1,1,1,1,1,1");
    sim.sendText(SimService::CompressedQuote,
                 "0,1767603600,1,EURUSD,1.10100,1.10110,1.102,1.098,1.1,1.102,1.098,500");
    ASSERT_TRUE(waitFor([&] { return delegate->saw("quote EURUSD"); }));
    EXPECT_EQ(delegate->events, std::vector<std::string>{"quote EURUSD"});
    EXPECT_DOUBLE_EQ(sdk->getSymbolWith("EURUSD")->priceCurrent, 1.101);
    EXPECT_EQ(logs.count("无法读取的行情数据已丢弃"), 2u);
}

TEST_F(HostileDealerTest, HistoryRowsTooShortForABarArePassedOver) {
    login();
    sim.replyData("2023",
                  {{"children", SimJson::array({SimJson{{"row", "1767603600,x,1.1,1.2"}},
                                                SimJson{{"row", "1767603660,x,1.1,1.2,1.0,1.15"}},
                                                SimJson{{"row", ""}}})}});
    std::optional<MODList<MODSymbolInfo>> bars;
    sdk->hisQuotedWithSymbol("EURUSD", 4, -10, 0, "", "",
                             [&](const MODList<MODSymbolInfo>& b) { bars = b; }, {});
    ASSERT_TRUE(waitFor([&] { return bars.has_value(); }));
    ASSERT_EQ(bars->size(), 1u);
    EXPECT_EQ(bars->front()->quotedTime, 1767603660);
    EXPECT_DOUBLE_EQ(bars->front()->priceClose, 1.15);
}

// ---- a request when its channel goes -------------------------------------------------

TEST_F(HostileDealerTest, AnOrderInFlightWhenTheReLoginReplacesItsChannelFailsAtOnce) {
    login();
    // The dealer takes the order and holds its reply.
    sim.holdReply("3001");
    const auto eurusd = sdk->getSymbolWith("EURUSD");
    Reported failed;
    bool succeeded = false;
    sdk->marketOpenWithSymbol(
        "EURUSD", 1, "b", eurusd->ask, 50, 0, 0, "", [&] { succeeded = true; }, failed.failure());
    ASSERT_EQ(sim.waitForPackages("3001", 1).size(), 1u);
    const std::weak_ptr<webSocket> firstTrader = sdk->channelNamed(KAVBizSDK::kWSTrader);

    // A refused token starts the re-login, which replaces the trading
    // channel 5 s later, well before the order's own 10 s time-out.
    sim.push(SimService::Trade, "sys_1004");
    ASSERT_TRUE(waitFor([&] { return sdk->isReLoginPending(); }));
    time.advance(5);
    ASSERT_TRUE(waitFor([&] { return firstTrader.expired() && failed.calls > 0; }));
    EXPECT_EQ(failed.code, "sys_1006");
    EXPECT_EQ(failed.message, "请求超时");
    EXPECT_FALSE(succeeded);
    ASSERT_TRUE(waitFor([&] { return !sdk->isReLoginPending(); }));

    // The held reply can no longer reach anyone; the order is in the books.
    sim.releaseHeld();
    time.advance(30);
    time.drain();
    EXPECT_EQ(failed.calls, 1);
    EXPECT_FALSE(succeeded);
    EXPECT_EQ(sim.desk("1001")["tickets"].size(), 1u);
}

// ---- a dealer that floods ---------------------------------------------------------------

namespace {

// Counts quotes; once it has `logoutAfter` of them it logs the session out
// from inside the report, as a screen reacting to a quote could.
struct FloodDelegate : WSPushMessage {
    void onQuotedReceived(const MODList<MODSymbolInfo>& symbols) override {
        quotes += symbols.size();
        if (logoutAfter && quotes >= logoutAfter && !loggedOut) {
            loggedOut = true;
            if (auto s = sdk.lock()) s->logout();
        }
    }
    size_t quotes = 0;
    size_t logoutAfter = 0;
    bool loggedOut = false;
    std::weak_ptr<KAVBizSDK> sdk;
};

}  // namespace

TEST_F(HostileDealerTest, AQuoteFloodIsHeldBackByTheSocketAndTheLogoutStillCloses) {
    login();
    auto flood = std::make_shared<FloodDelegate>();
    flood->sdk = sdk;
    sdk->setDelegate(flood);

    // At a rate the client keeps up with, every quote arrives.
    sim.flood(SimService::Quote, 2000, 0.5);
    ASSERT_TRUE(waitFor([&] { return !sim.floodState()["active"].get<bool>(); }));
    const SimJson paced = sim.floodState();
    EXPECT_EQ(paced["skipped"], 0);
    ASSERT_TRUE(waitFor([&] { return flood->quotes == paced["sent"].get<size_t>(); }));

    // At full speed, with the main run loop not running: the client stops
    // reading and the dealer's writes stall, with the client's memory bounded.
    const size_t heapBefore = heapInUse();
    sim.flood(SimService::Quote);
    const auto stalled = [&] {
        const SimJson state = sim.floodState();
        for (const auto& c : state["connections"])
            if (c["stalledMs"].get<int64_t>() > 1000) return true;
        return state["bytes"].get<size_t>() > (size_t{256} << 20);
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!stalled() && std::chrono::steady_clock::now() < deadline) {
    }
    const SimJson held = sim.floodState();
    EXPECT_LT(held["bytes"].get<size_t>(), size_t{64} << 20);
    const size_t heap = heapInUse();
    EXPECT_LT(heap - std::min(heap, heapBefore), size_t{64} << 20);

    // Once the main run loop runs, quotes flow again; a logout made in the
    // middle of the flood closes the quote connection all the same. The
    // logout waits for quotes sent after the stall: what the socket buffers
    // held then may alone be more than any fixed count.
    flood->logoutAfter = held["sent"].get<size_t>() + 5000;
    ASSERT_TRUE(time.runUntil([&] { return flood->loggedOut; }, 60));
    ASSERT_TRUE(time.runUntil([&] { return sim.connections(SimService::Quote).empty(); }, 30));
    EXPECT_GT(sim.floodState()["sent"].get<size_t>(), held["sent"].get<size_t>());
    sim.stopFlood();
}
