// The live session against the simulated dealer on the virtual clock:
// re-pricing on quotes and the order of its reports, record pushes that keep
// the caches in step, the other pushes of the dispatcher, the end of a
// session (same user elsewhere, session end, logout), the re-login after a
// refused token, and the password change.
#include <optional>

#include "tests/Core/LiveSession.h"
#include "tests/support/FakeConnection.h"

namespace {

using namespace livetest;
using LiveSessionTest = LiveSession;

}  // namespace

// ---- re-pricing ----------------------------------------------------------------

TEST_F(LiveSessionTest, AQuoteRepricesTicketsPositionAccountAndOrdersInOrder) {
    login();
    market("EURUSD", 2, "b");
    market("EURUSD", 1, "s");
    market("XAUUSD", 1, "b");
    limit(1, "b", 1.09);
    ASSERT_TRUE(settle());
    // The pushes alone filled the caches: no query was made.
    ASSERT_EQ(delegate->tickets.size(), 3u);
    const auto buy = sdk->getHoldBillWith(pushedTicket(0)->orderCode);
    const auto sell = sdk->getHoldBillWith(pushedTicket(1)->orderCode);
    const auto gold = sdk->getHoldBillWith(pushedTicket(2)->orderCode);
    ASSERT_TRUE(buy && sell && gold);
    const auto pending = sdk->getLimitBillWith(delegate->orders.at(0).at(0)->orderCode);
    const auto position = sdk->getPositionWith("EURUSD");
    const auto account = sdk->getAccountWith(1001);
    ASSERT_TRUE(pending && position && account);

    delegate->clear();
    sim.setQuote("EURUSD", 1.10500);
    ASSERT_TRUE(waitFor([&] { return delegate->saw("orders 1"); }));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"quote EURUSD", "tickets 2",
                                                          "positions 1", "account 1", "orders 1"}));

    const auto eurusd = sdk->getSymbolWith("EURUSD");
    EXPECT_NEAR(eurusd->bid, 1.10500, 1e-9);
    EXPECT_NEAR(eurusd->ask, 1.10520, 1e-9);
    // The cached records themselves, re-priced in place.
    EXPECT_EQ(delegate->tickets[0], (MODList<MODHoldBill>{buy, sell}));
    EXPECT_EQ(buy->markPrice, eurusd->bid);
    EXPECT_EQ(sell->markPrice, eurusd->ask);
    EXPECT_NEAR(buy->dynProfit, (eurusd->bid - buy->priceHold) * 2 * 100000, 1e-6);
    EXPECT_NEAR(sell->dynProfit, (sell->priceHold - eurusd->ask) * 100000, 1e-6);
    EXPECT_DOUBLE_EQ(buy->dynProfitPrice, buy->dynProfit);  // USD on a USD account

    EXPECT_EQ(delegate->positions[0], MODList<MODHoldPosition>{position});
    EXPECT_DOUBLE_EQ(position->dpBuy, buy->dynProfit);
    EXPECT_DOUBLE_EQ(position->dpSell, sell->dynProfit);
    EXPECT_DOUBLE_EQ(position->dppBuy, buy->dynProfitPrice);
    EXPECT_EQ(position->bid, eurusd->bid);

    // The account counts every ticket of it, gold at its last price.
    EXPECT_EQ(delegate->accounts[0], MODList<MODUserAccount>{account});
    EXPECT_NEAR(account->profitDyn,
                buy->dynProfitPrice + sell->dynProfitPrice + gold->dynProfitPrice, 1e-9);
    const double margin = account->amMarginUsed + account->amMarginFreezed;
    EXPECT_NEAR(account->amMarginFree, account->profitDyn + account->amMarginRemain - margin, 1e-9);
    EXPECT_NEAR(account->netValue, account->profitDyn + account->amMarginRemain, 1e-9);
    EXPECT_FLOAT_EQ(account->risk, static_cast<float>(account->netValue / account->amMarginUsed));
    // And agrees with the dealer's own books.
    const auto books = sim.desk("1001")["accounts"][0];
    EXPECT_NEAR(account->netValue, std::stod(books["netValue"].get<std::string>()), 0.01);
    EXPECT_NEAR(account->amMarginFree, std::stod(books["amMarginFree"].get<std::string>()), 0.01);

    EXPECT_EQ(delegate->orders[0], MODList<MODLimitBill>{pending});
    EXPECT_EQ(pending->markPrice, eurusd->bid);
    EXPECT_EQ(pending->rangePoint, pointsBetween(eurusd->bid, 1.09, 5));

    // Two symbols in one push: the first is finished before the second starts.
    delegate->clear();
    sim.push(SimService::Quote, "4002",
             {{"children",
               SimJson::array({SimJson{{"symbolCode", "XAUUSD"}, {"priceCurrent", "2010.00"}},
                               SimJson{{"symbolCode", "EURUSD"}, {"priceCurrent", "1.10600"}}})}});
    ASSERT_TRUE(waitFor([&] { return delegate->saw("orders 1"); }));
    EXPECT_EQ(delegate->events,
              (std::vector<std::string>{"quote XAUUSD", "tickets 1", "positions 1", "account 1",
                                        "quote EURUSD", "tickets 2", "positions 1", "account 1",
                                        "orders 1"}));
    EXPECT_NEAR(gold->dynProfit, (2010.00 - gold->priceHold) * 100, 1e-6);
    EXPECT_NEAR(account->profitDyn,
                buy->dynProfitPrice + sell->dynProfitPrice + gold->dynProfitPrice, 1e-9);
}

TEST_F(LiveSessionTest, QuotesWithoutAUsablePriceAreSkippedAndMissingKeysKept) {
    login();
    const auto eurusd = sdk->getSymbolWith("EURUSD");
    const auto gold = sdk->getSymbolWith("XAUUSD");
    const double ask = eurusd->ask;
    const double high = gold->priceHighest;
    const std::string lastTime = gold->lastTime;
    sim.push(SimService::Quote, "4002",
             {{"children",
               SimJson::array({SimJson{{"symbolCode", "EURUSD"}, {"priceCurrent", "0"}},
                               SimJson{{"symbolCode", "EURUSD"}, {"priceCurrent", "-1.2"}},
                               SimJson{{"symbolCode", "EURUSD"}, {"priceHighest", "9"}},
                               SimJson{{"symbolCode", "EURUSD"}, {"priceCurrent", "abc"}},
                               SimJson{{"symbolCode", "XAUUSD"}, {"priceCurrent", "2001.5"}}})}});
    ASSERT_TRUE(waitFor([&] { return delegate->saw("quote XAUUSD"); }));
    EXPECT_EQ(delegate->events, std::vector<std::string>{"quote XAUUSD"});
    EXPECT_EQ(eurusd->ask, ask);
    EXPECT_NE(eurusd->priceHighest, 9);
    EXPECT_NEAR(gold->bid, 2001.50, 1e-9);
    EXPECT_EQ(gold->priceHighest, high);
    EXPECT_EQ(gold->lastTime, lastTime);
}

TEST_F(LiveSessionTest, TheAccountFollowsQuotesWhateverTheDelegateTakes) {
    login();
    market("EURUSD", 1, "b");
    market("USDJPY", 1, "s");
    ASSERT_TRUE(settle());
    const auto account = sdk->getAccountWith(1001);
    const double before = account->netValue;

    // A delegate without the ticket report still gets the position and the
    // account, recomputed.
    auto accountOnly = std::make_shared<AccountOnlyDelegate>();
    sdk->setDelegate(accountOnly);
    sim.setQuote("EURUSD", 1.10300);
    ASSERT_TRUE(waitFor([&] { return accountOnly->events.size() == 2; }));
    EXPECT_EQ(accountOnly->events, (std::vector<std::string>{"positions", "account"}));
    const auto ticket = sdk->getHoldBillWith(pushedTicket(0)->orderCode);
    EXPECT_NEAR(ticket->dynProfit, (1.10300 - ticket->priceHold) * 100000, 1e-6);
    EXPECT_GT(account->netValue, before);
    EXPECT_EQ(account->riskLevel, 0);
    EXPECT_FLOAT_EQ(account->riskPercent, 1.0f);

    // A yen profit counts in the account's dollars, as the dealer counts it.
    sim.setQuote("USDJPY", 149.000);
    ASSERT_TRUE(waitFor([&] { return accountOnly->events.size() == 4; }));
    const auto yen = sdk->getHoldBillWith(pushedTicket(1)->orderCode);
    EXPECT_NEAR(yen->dynProfit, (yen->priceHold - 149.020) * 100000, 1e-6);
    EXPECT_NEAR(yen->dynProfitPrice, yen->dynProfit * 0.00666667, 1e-3);
    EXPECT_NEAR(account->profitDyn, ticket->dynProfitPrice + yen->dynProfitPrice, 1e-9);
    const auto books = sim.desk("1001")["accounts"][0];
    EXPECT_NEAR(account->netValue, std::stod(books["netValue"].get<std::string>()), 0.01);
}

// ---- record pushes and the caches -------------------------------------------------

TEST_F(LiveSessionTest, RecordPushesKeepTheCachesInStep) {
    login();
    const auto ticket = boughtTicket(3);
    ASSERT_TRUE(ticket);
    EXPECT_NE(ticket, pushedTicket(0));  // the delegate's record is its own
    EXPECT_EQ(ticket->quantityHold, 3.0f);
    EXPECT_EQ(ticket->symbolName, "欧元美元");
    EXPECT_EQ(ticket->markPrice, sdk->getSymbolWith("EURUSD")->bid);

    // The pushed position is priced as the position query prices it.
    const auto pushed = sdk->getPositionWith("EURUSD");
    ASSERT_TRUE(pushed);
    const MODHoldPosition viaPush = *pushed;
    EXPECT_NEAR(viaPush.avgBuy, ticket->priceOpen, 1e-9);
    bool queried = false;
    sdk->queryHoldPositionOnSuccess([&](const MODList<MODHoldPosition>&) { queried = true; }, {});
    ASSERT_TRUE(waitFor([&] { return queried; }));
    const auto viaQuery = sdk->getPositionWith("EURUSD");
    EXPECT_DOUBLE_EQ(viaPush.avgBuy, viaQuery->avgBuy);
    EXPECT_DOUBLE_EQ(viaPush.dpBuy, viaQuery->dpBuy);
    EXPECT_DOUBLE_EQ(viaPush.dppBuy, viaQuery->dppBuy);
    EXPECT_EQ(viaPush.bid, viaQuery->bid);

    // A part closed: the same record holds the rest.
    closeAtMarket(ticket, 1);
    ASSERT_TRUE(settle());
    EXPECT_EQ(sdk->getHoldBillWith(ticket->orderCode), ticket);
    EXPECT_EQ(ticket->quantityHold, 2.0f);
    ASSERT_EQ(delegate->closed.size(), 1u);
    EXPECT_EQ(delegate->closed[0][0]->orderCode, ticket->orderCode);
    EXPECT_EQ(sdk->getPositionWith("EURUSD")->quantityBuy, 2);

    // The rest closed: the ticket and the position are gone, and the account
    // has no floating profit left.
    closeAtMarket(ticket, 2);
    ASSERT_TRUE(settle());
    EXPECT_EQ(sdk->getHoldBillWith(ticket->orderCode), nullptr);
    EXPECT_EQ(sdk->getPositionWith("EURUSD"), nullptr);
    const auto account = sdk->getAccountWith(1001);
    EXPECT_EQ(account->profitDyn, 0);
    EXPECT_NEAR(account->amMarginFree,
                account->amMarginRemain - account->amMarginUsed - account->amMarginFreezed, 1e-9);
    // A quote does not bring it back.
    delegate->clear();
    sim.setQuote("EURUSD", 1.10400);
    ASSERT_TRUE(settle());
    EXPECT_EQ(delegate->events, std::vector<std::string>{"quote EURUSD"});

    // A pending order: cached in full, kept through a change, gone when cancelled.
    limit(2, "s", 1.12);
    ASSERT_TRUE(settle());
    const auto pending = sdk->getLimitBillWith(delegate->orders.back().at(0)->orderCode);
    ASSERT_TRUE(pending);
    EXPECT_EQ(pending->quantityOrder, 2);
    EXPECT_EQ(pending->orderPrice, 1.12);
    order([&](KAVDoneBlock done, KAVFailureBlock fail) {
        sdk->modifyOrderWithSymbol("EURUSD", 0, 1.11, pending->orderCode, "", done, fail);
    });
    ASSERT_TRUE(settle());
    EXPECT_EQ(sdk->getLimitBillWith(pending->orderCode), pending);
    EXPECT_EQ(pending->quantityOrder, 2);
    EXPECT_EQ(pending->priceTakeProfit, 1.11);
    EXPECT_EQ(delegate->orders.back().at(0)->quantityOrder, 2);  // a list keeps the modified order
    order([&](KAVDoneBlock done, KAVFailureBlock fail) {
        sdk->cancelOrderWithOrder(pending, "", done, fail);
    });
    ASSERT_TRUE(settle());
    EXPECT_EQ(sdk->getLimitBillWith(pending->orderCode), nullptr);
}

TEST_F(LiveSessionTest, AnAnswerMadeBeforeAPushDoesNotUndoIt) {
    login();
    const auto ticket = boughtTicket(2);
    ASSERT_TRUE(ticket);
    const std::string ticketCode = ticket->orderCode;
    limit(1, "s", 1.12);
    ASSERT_TRUE(settle());
    const std::string orderCode = delegate->orders.back().at(0)->orderCode;

    // The dealer makes both answers while the ticket is open and the order
    // waits, and sends them only after the close and the cancel.
    sim.holdReply("2003");
    sim.holdReply("2005");
    std::optional<MODList<MODHoldBill>> tickets;
    std::optional<MODList<MODLimitBill>> orders;
    sdk->queryHoldBillOnSuccess([&](const MODList<MODHoldBill>& l) { tickets = l; }, {});
    sdk->queryLimitBillOnSuccess([&](const MODList<MODLimitBill>& l) { orders = l; }, {});
    ASSERT_EQ(sim.waitForPackages("2005", 1, SimService::Trade).size(), 1u);
    closeAtMarket(ticket, 2);
    order([&](KAVDoneBlock done, KAVFailureBlock fail) {
        sdk->cancelOrderWithOrder(sdk->getLimitBillWith(orderCode), "", done, fail);
    });
    ASSERT_TRUE(settle());
    ASSERT_EQ(sdk->getHoldBillWith(ticketCode), nullptr);
    sim.releaseHeld();
    ASSERT_TRUE(waitFor([&] { return tickets && orders; }));

    // Neither comes back: not in the caches, not in the lists handed over,
    // not in the account's floating profit, not re-priced by quotes.
    EXPECT_EQ(sdk->getHoldBillWith(ticketCode), nullptr);
    EXPECT_EQ(sdk->getLimitBillWith(orderCode), nullptr);
    EXPECT_TRUE(tickets->empty());
    EXPECT_TRUE(orders->empty());
    delegate->clear();
    sim.setQuote("EURUSD", 1.10400);
    ASSERT_TRUE(settle());
    EXPECT_EQ(delegate->events, std::vector<std::string>{"quote EURUSD"});
    const auto account = sdk->getAccountWith(1001);
    EXPECT_EQ(account->profitDyn, 0);

    // Nor does an answer made before a ticket opened and an order was placed
    // take them out: both stay cached, handed over, re-priced and counted.
    sim.holdReply("2003");
    sim.holdReply("2005");
    tickets.reset();
    orders.reset();
    sdk->queryHoldBillOnSuccess([&](const MODList<MODHoldBill>& l) { tickets = l; }, {});
    sdk->queryLimitBillOnSuccess([&](const MODList<MODLimitBill>& l) { orders = l; }, {});
    ASSERT_EQ(sim.waitForPackages("2005", 2, SimService::Trade).size(), 2u);
    delegate->clear();
    const auto opened = boughtTicket(1);
    ASSERT_TRUE(opened);
    limit(1, "s", 1.12);
    ASSERT_TRUE(settle());
    const std::string placed = delegate->orders.back().at(0)->orderCode;
    sim.releaseHeld();
    ASSERT_TRUE(waitFor([&] { return tickets && orders; }));
    EXPECT_EQ(sdk->getHoldBillWith(opened->orderCode), opened);
    ASSERT_EQ(tickets->size(), 1u);
    EXPECT_EQ(tickets->at(0), opened);
    ASSERT_NE(sdk->getLimitBillWith(placed), nullptr);
    ASSERT_EQ(orders->size(), 1u);
    EXPECT_EQ(orders->at(0)->orderCode, placed);
    delegate->clear();
    sim.setQuote("EURUSD", 1.10500);
    ASSERT_TRUE(settle());
    ASSERT_FALSE(delegate->tickets.empty());
    EXPECT_EQ(delegate->tickets.back().at(0)->orderCode, opened->orderCode);
    EXPECT_DOUBLE_EQ(account->profitDyn, opened->dynProfit);
    closeAtMarket(opened, 1);
    order([&](KAVDoneBlock done, KAVFailureBlock fail) {
        sdk->cancelOrderWithOrder(sdk->getLimitBillWith(placed), "", done, fail);
    });
    ASSERT_TRUE(settle());

    // A ticket the dealer lists after its close was pushed, in an answer
    // asked for after that, is the dealer's word: it is taken.
    delegate->clear();
    const auto again = boughtTicket(1);
    ASSERT_TRUE(again);
    SimJson closed = SimJson::object();
    closed["children"] =
        SimJson::array({SimJson{{"orderCode", again->orderCode}, {"quantityHold", "0"}}});
    sim.push(SimService::Trade, "4016", closed);
    ASSERT_TRUE(settle());
    ASSERT_EQ(sdk->getHoldBillWith(again->orderCode), nullptr);
    std::optional<MODList<MODHoldBill>> listed;
    sdk->queryHoldBillOnSuccess([&](const MODList<MODHoldBill>& l) { listed = l; }, {});
    ASSERT_TRUE(waitFor([&] { return listed.has_value(); }));
    ASSERT_EQ(listed->size(), 1u);
    EXPECT_EQ(sdk->getHoldBillWith(again->orderCode), listed->at(0));

    // A take-profit changed while an answer made before the change was out
    // stays changed.
    const auto before = listed->at(0);
    const double takeProfit = before->priceHold + 0.01;
    sim.holdReply("2003");
    listed.reset();
    const size_t asked = sim.packages(SimService::Trade, "2003").size() + 1;
    sdk->queryHoldBillOnSuccess([&](const MODList<MODHoldBill>& l) { listed = l; }, {});
    ASSERT_EQ(sim.waitForPackages("2003", asked, SimService::Trade).size(), asked);
    order([&](KAVDoneBlock done, KAVFailureBlock fail) {
        sdk->modifyOrderWithSymbol("EURUSD", 0, takeProfit, before->orderCode, "", done, fail);
    });
    ASSERT_TRUE(settle());
    ASSERT_DOUBLE_EQ(before->priceTakeProfit, takeProfit);
    sim.releaseHeld();
    ASSERT_TRUE(waitFor([&] { return listed.has_value(); }));
    ASSERT_EQ(listed->size(), 1u);
    EXPECT_EQ(listed->at(0), before);
    ASSERT_EQ(sdk->getHoldBillWith(before->orderCode), before);
    EXPECT_DOUBLE_EQ(sdk->getHoldBillWith(before->orderCode)->priceTakeProfit, takeProfit);
}

TEST_F(LiveSessionTest, APositionAnswerMadeBeforeAPushDoesNotUndoIt) {
    login();
    const auto euro = boughtTicket(1);
    ASSERT_TRUE(euro);
    ASSERT_NE(sdk->getPositionWith("EURUSD"), nullptr);

    // The dealer makes the answer while the euro is held and no gold, and
    // sends it only after the euro is closed and gold bought.
    sim.holdReply("2027");
    std::optional<MODList<MODHoldPosition>> positions;
    sdk->queryHoldPositionOnSuccess([&](const MODList<MODHoldPosition>& l) { positions = l; }, {});
    ASSERT_EQ(sim.waitForPackages("2027", 1, SimService::Trade).size(), 1u);
    closeAtMarket(euro, 1);
    market("XAUUSD", 2, "b");
    ASSERT_TRUE(settle());
    const auto gold = sdk->getPositionWith("XAUUSD");
    ASSERT_NE(gold, nullptr);
    ASSERT_EQ(sdk->getPositionWith("EURUSD"), nullptr);
    sim.releaseHeld();
    ASSERT_TRUE(waitFor([&] { return positions.has_value(); }));

    // The euro position does not come back; the gold one stays.
    EXPECT_EQ(sdk->getPositionWith("EURUSD"), nullptr);
    EXPECT_EQ(sdk->getPositionWith("XAUUSD"), gold);
    ASSERT_EQ(positions->size(), 1u);
    EXPECT_EQ(positions->at(0), gold);
    EXPECT_EQ(gold->quantityBuy, 2);

    // An answer asked for after the pushes is the dealer's word.
    positions.reset();
    sdk->queryHoldPositionOnSuccess([&](const MODList<MODHoldPosition>& l) { positions = l; }, {});
    ASSERT_TRUE(waitFor([&] { return positions.has_value(); }));
    ASSERT_EQ(positions->size(), 1u);
    EXPECT_EQ(sdk->getPositionWith("XAUUSD"), positions->at(0));
    EXPECT_NE(positions->at(0), gold);
}

// The account's money as the dealer pushes it after a trade is newer than
// an account answer made before the trade.
TEST_F(LiveSessionTest, AnAccountAnswerMadeBeforeAPushKeepsThePushedMoney) {
    login();
    const double usedBefore = sdk->getAccountWith(1001)->amMarginUsed;
    // The login asked for the accounts too.
    const size_t asked = sim.waitForPackages("2001", 1, SimService::Trade).size();
    sim.holdReply("2001");
    std::optional<MODList<MODUserAccount>> accounts;
    sdk->queryAccountOnSuccess([&](const MODList<MODUserAccount>& l) { accounts = l; }, {});
    ASSERT_EQ(sim.waitForPackages("2001", asked + 1, SimService::Trade).size(), asked + 1);
    ASSERT_TRUE(boughtTicket(2));
    ASSERT_TRUE(settle());
    const double used = sdk->getAccountWith(1001)->amMarginUsed;
    const double remain = sdk->getAccountWith(1001)->amMarginRemain;
    ASSERT_GT(used, usedBefore);
    sim.releaseHeld();
    ASSERT_TRUE(waitFor([&] { return accounts.has_value(); }));

    ASSERT_EQ(accounts->size(), 1u);
    EXPECT_EQ(accounts->at(0), sdk->getAccountWith(1001));
    EXPECT_EQ(accounts->at(0)->amMarginUsed, used);
    EXPECT_EQ(accounts->at(0)->amMarginRemain, remain);

    // Field by field, a push counts over an answer asked for before it, and
    // not over one asked for after it.
    sim.push(SimService::Trade, "4008",
             {{"children", SimJson::array({SimJson{{"accId", "1001"}, {"amMarginUsed", "5"}}})}});
    ASSERT_TRUE(waitFor([&] { return sdk->getAccountWith(1001)->amMarginUsed == 5; }));
    sim.holdReply("2001");
    accounts.reset();
    sdk->queryAccountOnSuccess([&](const MODList<MODUserAccount>& l) { accounts = l; }, {});
    ASSERT_EQ(sim.waitForPackages("2001", asked + 2, SimService::Trade).size(), asked + 2);
    sim.push(SimService::Trade, "4008",
             {{"children", SimJson::array({SimJson{{"accId", "1001"}, {"amMarginRemain", "1"}}})}});
    ASSERT_TRUE(waitFor([&] { return sdk->getAccountWith(1001)->amMarginRemain == 1; }));
    sim.releaseHeld();
    ASSERT_TRUE(waitFor([&] { return accounts.has_value(); }));
    EXPECT_EQ(sdk->getAccountWith(1001)->amMarginRemain, 1);
    EXPECT_EQ(sdk->getAccountWith(1001)->amMarginUsed, used);
}

TEST_F(LiveSessionTest, ASymbolPushChangesTheRecordEveryViewHolds) {
    login();
    const auto eurusd = sdk->getSymbolWith("EURUSD");
    const size_t count = sdk->symbolInfos().size();
    SimJson changed = {{"symbolCode", "EURUSD"},    {"symbolId", "1"},   {"accId", "1001"},
                       {"symbolName", "欧元/美元"}, {"decimal", "5"},    {"pointAsk", "5"},
                       {"pointBid", "5"},           {"symbolType", "1"}, {"unit", "100000"},
                       {"ask", "1.10005"},          {"bid", "1.09995"},  {"symbolCurrency", "USD"}};
    SimJson added = {
        {"symbolCode", "GBPUSD"}, {"symbolId", "9"},
        {"accId", "1001"},        {"symbolName", "英镑美元"}, {"decimal", "5"}};
    sim.push(SimService::Trade, "4004", {{"children", SimJson::array({changed, added})}});
    ASSERT_TRUE(waitFor([&] { return delegate->symbols.size() == 1; }));

    EXPECT_EQ(sdk->getSymbolWith("EURUSD"), eurusd);
    EXPECT_EQ(sdk->getSymbolWithId(1), eurusd);
    EXPECT_EQ(eurusd->symbolName, "欧元/美元");
    EXPECT_EQ(eurusd->pointAsk, 5);
    EXPECT_EQ(eurusd->accCurrency, "USD");
    const auto gbpusd = sdk->getSymbolWith("GBPUSD");
    ASSERT_TRUE(gbpusd);
    EXPECT_EQ(sdk->getSymbolWithId(9), gbpusd);
    ASSERT_EQ(sdk->symbolInfos().size(), count + 1);
    EXPECT_EQ(sdk->symbolInfos().back(), gbpusd);
    EXPECT_EQ(delegate->symbols[0], (MODList<MODSymbolInfo>{eurusd, gbpusd}));

    // Quotes now price it with its new spread.
    sim.setQuote("EURUSD", 1.10200);
    ASSERT_TRUE(waitFor([&] { return delegate->saw("quote EURUSD"); }));
    EXPECT_NEAR(eurusd->ask, 1.10205, 1e-9);
}

TEST_F(LiveSessionTest, RatesBulletinsRisksAndTheRestOfTheTable) {
    login();
    sim.setRate("EUR", "USD", 1.2);
    sim.addBulletin("假期安排", "休市一天");
    sim.push(SimService::Trade, "4030",
             {{"children", SimJson::array({SimJson{
                               {"accId", "1001"}, {"notifyType", "1"}, {"riskValue", "1.4"}}})}});
    for (const char* quiet : {"4034", "4026", "sys_1007", "sys_1009", "sys_1010", "4999"})
        sim.push(SimService::Trade, quiet);
    sim.push(SimService::Trade, "4024", {{"children", SimJson::array()}}, "1");
    ASSERT_TRUE(settle());
    ASSERT_TRUE(settle(SimService::Message));

    EXPECT_EQ(sdk->getExchangeRateWith("EUR", "USD"), 1.2);
    ASSERT_EQ(delegate->rates.size(), 1u);
    EXPECT_EQ(delegate->rates[0].size(), 1u);
    ASSERT_EQ(delegate->bulletins.size(), 1u);
    EXPECT_EQ(delegate->bulletins[0].at(0)->title, "假期安排");
    ASSERT_EQ(delegate->risks.size(), 1u);
    ASSERT_EQ(delegate->risks[0].size(), 1u);
    EXPECT_EQ(delegate->risks[0][0]->accId, 1001);
    EXPECT_EQ(delegate->risks[0][0]->riskValue, 1.4);
    EXPECT_EQ(delegate->events.size(), 3u);  // nothing of the quiet ones
    EXPECT_TRUE(logs.contains("收到交割通知"));
    EXPECT_TRUE(logs.contains("接收到推送消息：【wsTrader】-【4999】"));
    EXPECT_FALSE(logs.contains("【4026】"));
    EXPECT_TRUE(logs.contains("onExchangeRateChange 推送的汇率变更数据异常"));

    // A delegate without the methods: a line each instead.
    auto none = std::make_shared<RecordingDelegate>();
    sdk->setDelegate(none);
    sim.push(SimService::Trade, "4016",
             {{"children", SimJson::array({SimJson{{"orderCode", "X1"}, {"quantityHold", "1"}}})}});
    sim.push(SimService::Trade, "4030", {{"children", SimJson::array()}});
    sim.push(SimService::Trade, "sys_9001", {{"actCode", "77"}});
    ASSERT_TRUE(waitFor([&] { return none->saw(77); }));
    EXPECT_TRUE(logs.contains("onHoldBillChange 回调函数未定义"));
    EXPECT_TRUE(logs.contains("onRiskChange 回调函数未定义"));
}

// ---- the end of a session ------------------------------------------------------------

TEST_F(LiveSessionTest, SameUserAndSessionEndCloseEveryChannelWhateverTheirCode) {
    const auto allClosed = [&] {
        for (const char* name : {KAVBizSDK::kWSTrader, KAVBizSDK::kWSQuoted, KAVBizSDK::kWSMSG,
                                 KAVBizSDK::kWSHisQuoted})
            if (sdk->channelNamed(name)->Status() != webSocket::kStatusClosed) return false;
        return true;
    };
    login();
    sim.push(SimService::Message, "4010", SimJson::object(), "9");
    ASSERT_TRUE(waitFor([&] { return delegate->saw("same-user-login"); }));
    EXPECT_TRUE(allClosed());

    login();
    sim.push(SimService::Trade, "4012", SimJson::object(), "1");
    ASSERT_TRUE(waitFor([&] { return delegate->saw("terminal"); }));
    EXPECT_TRUE(allClosed());

    // Nobody listening: the channels close all the same, with a line.
    login();
    sdk->setDelegate({});
    sim.push(SimService::Trade, "4010");
    ASSERT_TRUE(waitFor(allClosed));
    EXPECT_TRUE(logs.contains("onSameUserLogin 回调函数未定义"));
    // Closed for good: nothing reopens.
    const size_t connections = sim.connections().size();
    time.advance(12);
    time.drain();
    EXPECT_LE(sim.connections().size(), connections);
    EXPECT_FALSE(sdk->channelNamed(KAVBizSDK::kWSTrader)->reopenScheduled());
}

TEST_F(LiveSessionTest, AReLoginIsNotEndedByTheNoticeThatItReplacedTheOldSession) {
    // A dealer that keeps one session per account tells the replaced one that
    // the account logged in elsewhere, on that session's trading connection.
    sim.setEndEarlierSessions(true);
    login();
    const auto oldTrader = sdk->channelNamed(KAVBizSDK::kWSTrader);
    delegate->clear();
    sim.push(SimService::Trade, "sys_1004");
    ASSERT_TRUE(waitFor([&] { return sdk->isReLoginPending(); }));
    time.advance(5);
    ASSERT_TRUE(waitFor([&] { return !sdk->isReLoginPending(); }));
    EXPECT_FALSE(delegate->saw("same-user-login"));
    EXPECT_EQ(delegate->statuses.back(), KAVBizSDK::kNetLoginSucceeded);
    EXPECT_NE(sdk->channelNamed(KAVBizSDK::kWSTrader).get(), oldTrader.get());
    EXPECT_EQ(sdk->channelNamed(KAVBizSDK::kWSTrader)->Status(), webSocket::kStatusOpen);
    EXPECT_EQ(sim.packages(SimService::Login, "1003").size(), 2u);

    // The new session hears a later login elsewhere as before.
    sim.push(SimService::Trade, "4010");
    ASSERT_TRUE(waitFor([&] { return delegate->saw("same-user-login"); }));
    EXPECT_EQ(sdk->channelNamed(KAVBizSDK::kWSTrader)->Status(), webSocket::kStatusClosed);
}

TEST_F(LiveSessionTest, LogoutEndsEverythingSilently) {
    login();
    // A query whose answer is held back, and a re-login under way.
    sim.holdReply("2003");
    Reported query;
    bool answered = false;
    sdk->queryHoldBillOnSuccess([&](const MODList<MODHoldBill>&) { answered = true; },
                                query.failure());
    ASSERT_EQ(sim.waitForPackages("2003", 1).size(), 1u);
    sim.push(SimService::Trade, "sys_1004");
    ASSERT_TRUE(waitFor([&] { return sdk->isReLoginPending(); }));
    delegate->clear();

    sdk->logout();
    EXPECT_EQ(delegate->events, std::vector<std::string>{"logout"});
    EXPECT_FALSE(sdk->isReLoginPending());
    for (const char* name :
         {KAVBizSDK::kWSTrader, KAVBizSDK::kWSQuoted, KAVBizSDK::kWSMSG, KAVBizSDK::kWSHisQuoted}) {
        EXPECT_EQ(sdk->channelNamed(name)->Status(), webSocket::kStatusClosed) << name;
        EXPECT_EQ(sdk->channelNamed(name)->pendingCount(), 0u) << name;
    }
    sim.releaseHeld();
    time.advance(30);  // past the request time-out, the reopen and the re-login delays
    time.drain();
    EXPECT_EQ(query.calls, 0);
    EXPECT_FALSE(answered);
    EXPECT_EQ(sim.packages(SimService::Login, "1003").size(), 1u);
    EXPECT_EQ(delegate->statuses, std::vector<int>{});  // no closing, no reconnecting

    // Without a delegate: the same, with a line.
    login();
    sdk->setDelegate({});
    sdk->logout();
    EXPECT_TRUE(logs.contains("onLogout 回调函数未定义"));
    EXPECT_EQ(sdk->channelNamed(KAVBizSDK::kWSTrader)->Status(), webSocket::kStatusClosed);
}

// ---- re-login and password ----------------------------------------------------------------

TEST_F(LiveSessionTest, ARefusedTokenLogsInAgainEveryFiveSecondsUntilItWorks) {
    login();
    const auto logins = [&] { return sim.packages(SimService::Login, "1003").size(); };
    delegate->clear();
    sim.push(SimService::Trade, "sys_1004");
    ASSERT_TRUE(waitFor([&] { return sdk->isReLoginPending(); }));
    time.advance(1);
    sim.push(SimService::Message, "sys_1004");
    ASSERT_TRUE(settle(SimService::Message));
    EXPECT_TRUE(logs.contains("接收到TOKEN校验失败通知"));
    time.advance(3.9);
    time.drain();
    EXPECT_EQ(logins(), 1u);

    // One re-login 5 s after the first notice; it is refused.
    sim.fail("1003", "1001", "账户或密码错误");
    time.advance(0.1);
    ASSERT_TRUE(waitFor([&] { return logs.contains("重连自动登录失败"); }));
    EXPECT_EQ(logins(), 2u);
    EXPECT_TRUE(sdk->isReLoginPending());

    // The next one 5 s later goes through, and that is the end of it.
    time.advance(4.9);
    time.drain();
    EXPECT_EQ(logins(), 2u);
    time.advance(0.1);
    ASSERT_TRUE(waitFor([&] { return !sdk->isReLoginPending(); }));
    EXPECT_EQ(logins(), 3u);
    EXPECT_EQ(delegate->statuses.back(), KAVBizSDK::kNetLoginSucceeded);
    EXPECT_EQ(sdk->channelNamed(KAVBizSDK::kWSTrader)->Status(), webSocket::kStatusOpen);
    time.advance(20);
    time.drain();
    EXPECT_EQ(logins(), 3u);

    // A logout in the middle of a re-login ends it: no result, no next attempt.
    sim.push(SimService::Trade, "sys_1004");
    ASSERT_TRUE(waitFor([&] { return sdk->isReLoginPending(); }));
    sim.holdReply("1003");
    delegate->clear();
    time.advance(5);
    // Once the login service is open, the login request goes out.
    ASSERT_TRUE(waitFor([&] { return delegate->statuses == std::vector<int>{5, 1, 2}; }));
    ASSERT_EQ(sim.waitForPackages("1003", 4, SimService::Login).size(), 4u);
    EXPECT_TRUE(sdk->isReLoginPending());
    sdk->logout();
    EXPECT_FALSE(sdk->isReLoginPending());
    sim.releaseHeld();
    time.advance(30);
    time.drain();
    EXPECT_EQ(logins(), 4u);
    EXPECT_FALSE(sdk->isReLoginPending());
}

TEST_F(LiveSessionTest, ALoginCalledWhileAReLoginWaitsIsTheOneThatRuns) {
    login();
    const auto logins = [&] { return sim.packages(SimService::Login, "1003").size(); };
    sim.push(SimService::Trade, "sys_1004");
    ASSERT_TRUE(waitFor([&] { return sdk->isReLoginPending(); }));
    // The caller logs in again itself before the re-login is due: that
    // login restores the session, and no re-login comes after it to
    // replace the channels it has just opened.
    login();
    EXPECT_FALSE(sdk->isReLoginPending());
    const auto loginChannel = sdk->channelNamed(KAVBizSDK::kWSLogin);
    const auto trader = sdk->channelNamed(KAVBizSDK::kWSTrader);
    time.advance(20);
    time.drain();
    EXPECT_FALSE(sdk->isReLoginPending());
    EXPECT_EQ(sdk->channelNamed(KAVBizSDK::kWSLogin), loginChannel);
    EXPECT_EQ(sdk->channelNamed(KAVBizSDK::kWSTrader), trader);
    EXPECT_EQ(trader->Status(), webSocket::kStatusOpen);
    EXPECT_EQ(logins(), 2u);
}

TEST_F(LiveSessionTest, ARefusedTokenDuringALoginLeavesThatLoginToFinish) {
    const auto logins = [&] { return sim.packages(SimService::Login, "1003").size(); };
    // The dealer refuses a token while a login is loading the rates, and
    // the rates come only after the re-login would have been due.
    sim.holdReply("2029");
    bool ok = false;
    Reported failed;
    sdk->loginWithUserId("1001", "123456", "", {sim.realLoginUrl()}, [&] { ok = true; },
                         failed.failure());
    ASSERT_TRUE(waitFor([&] { return sim.packages(SimService::Trade, "2029").size() == 1u; }));
    sim.push(SimService::Trade, "sys_1004");
    ASSERT_TRUE(waitFor([&] { return sdk->isReLoginPending(); }));
    time.advance(5);
    time.drain();
    sim.releaseHeld();
    ASSERT_TRUE(time.runUntil([&] { return ok || failed.calls > 0; }));
    EXPECT_TRUE(ok) << failed.code << " " << failed.message;
    EXPECT_EQ(failed.calls, 0);
    EXPECT_EQ(logins(), 1u);
    EXPECT_FALSE(sdk->isReLoginPending());
}

TEST_F(LiveSessionTest, APasswordChangeKeepsTheSessionGoing) {
    login();
    Reported refused;
    sdk->passwordChange(
        "abc123", 1, "wrong", [] {}, refused.failure());
    ASSERT_TRUE(waitFor([&] { return refused.calls > 0; }));
    EXPECT_EQ(refused.code, "1003");
    EXPECT_EQ(refused.message, "原密码错误");

    bool changed = false;
    sdk->passwordChange("abc123", 1, "123456", [&] { changed = true; }, {});
    ASSERT_TRUE(waitFor([&] { return changed; }));
    const auto sent = sim.packages(SimService::Trade, "1009").back();
    EXPECT_EQ(sent.data("uid"), "1001");
    EXPECT_EQ(sent.data("action"), "1");
    EXPECT_EQ(sent.child("pwdType"), "1");
    EXPECT_EQ(sent.child("newPWD"), "abc123");
    EXPECT_EQ(sent.child("oldPWD"), "123456");
    EXPECT_EQ(sent.child("userId"), "1001");
    for (const char* name :
         {KAVBizSDK::kWSTrader, KAVBizSDK::kWSQuoted, KAVBizSDK::kWSMSG, KAVBizSDK::kWSHisQuoted})
        EXPECT_EQ(sdk->channelNamed(name)->PWD(), "abc123") << name;

    // A fund password is the dealer's business only.
    changed = false;
    sdk->passwordChange("fund1", 2, "123456", [&] { changed = true; }, {});
    ASSERT_TRUE(waitFor([&] { return changed; }));
    EXPECT_EQ(sdk->channelNamed(KAVBizSDK::kWSTrader)->PWD(), "abc123");

    // The re-login logs in with the new password.
    sim.push(SimService::Trade, "sys_1004");
    ASSERT_TRUE(waitFor([&] { return sdk->isReLoginPending(); }));
    time.advance(5);
    ASSERT_TRUE(waitFor([&] { return !sdk->isReLoginPending(); }));
    EXPECT_EQ(sim.packages(SimService::Login, "1003").back().data("pwd"), "abc123");
    EXPECT_FALSE(logs.contains("重连自动登录失败"));

    // Without a trading channel nothing is sent.
    auto idle = std::make_shared<KAVBizSDK>();
    Reported none;
    idle->passwordChange(
        "x", 1, "y", [] {}, none.failure());
    EXPECT_EQ(none.code, "10002");
}

TEST(NetworkUnready, EveryThirdCallEndsTheSession) {
    VirtualTime time;
    platform::LogCapture logs;
    FakeNetwork net;
    auto sdk = std::make_shared<KAVBizSDK>();
    auto delegate = std::make_shared<LiveDelegate>();
    sdk->setDelegate(delegate);
    sdk->setConnectionFactory(net.factory());
    const auto trader = sdk->createWSWithKey(KAVBizSDK::kWSTrader, 1, 10);
    trader->open("ws://dealer/trade", {}, sdk->pushBlock());
    net.last().fireOpen();

    sdk->onNetworkUnready();
    sdk->onNetworkUnready();
    EXPECT_TRUE(logs.contains("onNetworkUnready"));
    EXPECT_EQ(trader->Status(), webSocket::kStatusOpen);
    EXPECT_FALSE(delegate->saw("network-unready"));
    sdk->onNetworkUnready();
    EXPECT_EQ(trader->Status(), webSocket::kStatusClosed);
    EXPECT_EQ(delegate->events, std::vector<std::string>{"network-unready"});
    // The count starts again.
    sdk->onNetworkUnready();
    sdk->onNetworkUnready();
    EXPECT_EQ(delegate->events.size(), 1u);
    sdk->onNetworkUnready();
    EXPECT_EQ(delegate->events.size(), 2u);
}
