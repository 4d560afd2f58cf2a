// The service object's symbol, account and rate caches, filled by their
// queries over a fake trading channel, and quotes applied to cached symbols.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <tuple>
#include <utility>

#include "Core/CalculateUtils.h"
#include "Core/SDK/KAVBizSDK.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "tests/support/FakeConnection.h"
#include "tests/support/ServiceTestSupport.h"
#include "tests/support/TestSupport.h"

using platform::Json;
using namespace kavtest;

namespace {

struct QuoteDelegate : RecordingDelegate {
    void onQuotedReceived(const MODList<MODSymbolInfo>& symbols) override {
        quotes.push_back(symbols);
    }
    std::vector<MODList<MODSymbolInfo>> quotes;
};

class CachesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sdk->setConnectionFactory(net.factory());
        sdk->setDelegate(delegate);
        // Plain, so that the test reads what was sent as it stands.
        trader = sdk->createWSWithKey(KAVBizSDK::kWSTrader, 1, 10);
        trader->open("ws://dealer/trade", {}, sdk->pushBlock());
        net.last().fireOpen();
    }

    KAVPackage lastSent() {
        KAVPackage p;
        EXPECT_TRUE(p.fromJSON(net.last().sent.back()));
        return p;
    }
    size_t sentCount(const std::string& event) {
        size_t n = 0;
        for (const auto& text : net.last().sent) {
            KAVPackage p;
            if (p.fromJSON(text) && p.event() == event) ++n;
        }
        return n;
    }
    // Answers the last request with these records.
    void answer(const Json& children, const std::string& retCode = "0") {
        Json reply{{"event", "x"},
                   {"msgOrder", std::to_string(lastSent().msgOrder())},
                   {"retCode", retCode},
                   {"message", retCode == "0" ? "" : "拒绝"},
                   {"data", Json{{"children", children}}}};
        net.last().fireText(reply.dump());
    }
    void loadSymbols(const Json& children) {
        bool done = false;
        sdk->querySymbolOnSuccess([&](const MODList<MODSymbolInfo>&) { done = true; }, {});
        answer(children);
        ASSERT_TRUE(done);
    }
    void loadAccounts(const Json& children) {
        sdk->queryAccountOnSuccess({}, {});
        answer(children);
    }
    void push(const Json& package) { net.last().fireText(package.dump()); }
    void loadTwoTicketsOnTwoSymbols();
    // Account 1001 in dollars, these symbols, and ticket T1 bought on EURUSD.
    void holdOneTicket(const Json& symbols);

    VirtualTime time;
    FakeNetwork net;
    platform::LogCapture quiet;
    std::shared_ptr<QuoteDelegate> delegate = std::make_shared<QuoteDelegate>();
    std::shared_ptr<KAVBizSDK> sdk = std::make_shared<KAVBizSDK>();
    std::shared_ptr<webSocket> trader;
};

Json symbol(const std::string& code, int id, int accId = 1001) {
    return Json{
        {"symbolCode", code}, {"symbolId", std::to_string(id)}, {"accId", std::to_string(accId)}};
}

// A symbol priced in plain prices: four decimals, 1,000 units a lot.
Json plainSymbol(const std::string& code, int id, int accId = 1001) {
    Json s = symbol(code, id, accId);
    s["decimal"] = "4";
    s["symbolType"] = "1";
    s["unit"] = "1000";
    return s;
}

}  // namespace

TEST_F(CachesTest, SymbolGettersByCodeIdAndAccount) {
    EXPECT_EQ(sdk->getSymbolWith("EURUSD"), nullptr);
    EXPECT_EQ(sdk->getSymbolWithId(1), nullptr);
    EXPECT_TRUE(sdk->getSymbolsWith(-1).empty());

    loadAccounts(Json::array({Json{{"accId", "1001"}, {"currencyCode", "USD"}}}));
    // A code that looks like an id key must not stand in for that id; a
    // repeated code keeps the later record under the code.
    loadSymbols(Json::array(
        {symbol("EURUSD", 1), symbol("key_5", 7, 2002), symbol("USDJPY", 2), symbol("EURUSD", 3)}));
    const KAVPackage sent = lastSent();
    EXPECT_EQ(sent.event(), "2009");
    ASSERT_EQ(sdk->symbolInfos().size(), 4u);
    EXPECT_EQ(sdk->getSymbolWith("EURUSD")->symbolId, 3);
    EXPECT_EQ(sdk->getSymbolWithId(1)->symbolCode, "EURUSD");
    EXPECT_EQ(sdk->getSymbolWithId(3), sdk->getSymbolWith("EURUSD"));
    EXPECT_EQ(sdk->getSymbolWithId(5), nullptr);
    EXPECT_EQ(sdk->getSymbolWith("key_5")->symbolId, 7);
    EXPECT_EQ(sdk->getSymbolWith("key_7"), nullptr);
    // The account's currency reaches its symbols; an unknown account gives none.
    EXPECT_EQ(sdk->getSymbolWith("USDJPY")->accCurrency, "USD");
    EXPECT_EQ(sdk->getSymbolWith("key_5")->accCurrency, "");
    // The same records in every view.
    EXPECT_EQ(sdk->symbolInfos()[2], sdk->getSymbolWithId(2));

    const auto all = sdk->getSymbolsWith(-1);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[1]->symbolCode, "key_5");
    EXPECT_EQ(sdk->getSymbolsWith(1001).size(), 3u);
    EXPECT_EQ(sdk->getSymbolsWith(2002).size(), 1u);
    EXPECT_TRUE(sdk->getSymbolsWith(3003).empty());
}

TEST_F(CachesTest, SymbolReloadReplacesFailureKeeps) {
    loadSymbols(Json::array({symbol("EURUSD", 1), symbol("USDJPY", 2)}));
    loadSymbols(Json::array({symbol("XAUUSD", 3)}));
    EXPECT_EQ(sdk->getSymbolWith("EURUSD"), nullptr);
    EXPECT_EQ(sdk->getSymbolWithId(2), nullptr);
    ASSERT_NE(sdk->getSymbolWith("XAUUSD"), nullptr);

    std::string failure;
    sdk->querySymbolOnSuccess(
        {}, [&](const std::string& c, const std::string& m) { failure = c + " " + m; });
    answer(Json::array(), "9001");
    EXPECT_EQ(failure, "9001 拒绝");
    EXPECT_NE(sdk->getSymbolWith("XAUUSD"), nullptr);

    // An empty list empties the caches.
    loadSymbols(Json::array());
    EXPECT_EQ(sdk->getSymbolWith("XAUUSD"), nullptr);
    EXPECT_EQ(sdk->getSymbolWithId(3), nullptr);
}

TEST_F(CachesTest, AccountQuerySendsOnceAndHandsOverTheCachedRecords) {
    EXPECT_TRUE(sdk->getAccounts().empty());
    EXPECT_EQ(sdk->getAccountWith(0), nullptr);

    int successes = 0;
    MODList<MODUserAccount> got;
    sdk->queryAccountOnSuccess(
        [&](const MODList<MODUserAccount>& accounts) {
            ++successes;
            got = accounts;
        },
        [](const std::string&, const std::string&) { FAIL(); });
    EXPECT_EQ(sentCount("2001"), 1u);
    answer(Json::array({Json{{"accId", "1001"}, {"amMarginRemain", "100"}}, Json{{"accId", "1002"}},
                        Json{{"accId", "1001"}, {"amMarginRemain", "300"}}}));
    time.advance(30);
    EXPECT_EQ(successes, 1);
    ASSERT_EQ(got.size(), 2u);
    // What the caller holds is what the cache holds: the later of two records of one id.
    EXPECT_EQ(got[0], sdk->getAccountWith(1001));
    EXPECT_EQ(got[1], sdk->getAccountWith(1002));
    EXPECT_DOUBLE_EQ(sdk->getAccountWith(1001)->amMarginRemain, 300);

    // A later query adds to the cache and replaces by id; others stay.
    loadAccounts(Json::array({Json{{"accId", "1002"}, {"amMarginRemain", "5"}}}));
    EXPECT_EQ(sdk->getAccounts().size(), 2u);
    EXPECT_NE(got[1], sdk->getAccountWith(1002));
    EXPECT_DOUBLE_EQ(sdk->getAccountWith(1002)->amMarginRemain, 5);
}

TEST_F(CachesTest, AccountQueryOnAClosedChannelFailsOnce) {
    trader->close();
    std::vector<std::string> failures;
    sdk->queryAccountOnSuccess(
        {}, [&](const std::string& c, const std::string& m) { failures.push_back(c + " " + m); });
    time.advance(30);
    EXPECT_EQ(failures, std::vector<std::string>{"10003 通讯组件未就绪"});
}

TEST_F(CachesTest, RatesOneWayWithMissingPairsAtOne) {
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("JPY", "USD"), 1.0);
    bool done = false;
    sdk->queryCERInfoOnSuccess([&](const MODList<MODCERInfo>& rates) { done = rates.size() == 3; },
                               {});
    EXPECT_EQ(lastSent().event(), "2029");
    answer(Json::array(
        {Json{{"currencyBase", "JPY"}, {"currencyExchange", "USD"}, {"exchangeRate", "0.0066"}},
         Json{{"currencyBase", "EUR"}, {"currencyExchange", "USD"}, {"exchangeRate", "1.1"}},
         Json{{"currencyBase", "EUR"}, {"currencyExchange", "USD"}, {"exchangeRate", "1.2"}}}));
    EXPECT_TRUE(done);
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("JPY", "USD"), 0.0066);
    EXPECT_DOUBLE_EQ(sdk->exchangeRateWith("JPY", "USD"), 0.0066);
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("EUR", "USD"), 1.2);  // the later one
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("USD", "JPY"), 1.0);  // reversed
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("USD", "USD"), 1.0);
    EXPECT_DOUBLE_EQ(sdk->exchangeRateWith("GBP", "USD"), 1.0);

    // A failed query keeps the rates; a good one replaces them all.
    sdk->queryCERInfoOnSuccess({}, {});
    answer(Json::array(), "9001");
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("JPY", "USD"), 0.0066);
    sdk->queryCERInfoOnSuccess({}, {});
    answer(Json::array(
        {Json{{"currencyBase", "EUR"}, {"currencyExchange", "USD"}, {"exchangeRate", "1.3"}}}));
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("JPY", "USD"), 1.0);
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("EUR", "USD"), 1.3);
}

// A rate the query cannot use converts nothing: the pair keeps the rate it
// had, or counts as not cached; the caller still gets every record.
TEST_F(CachesTest, RatesTheQueryCannotUseAreNotFiled) {
    const auto rate = [](const char* base, const Json& value) {
        Json r = {{"currencyBase", base}, {"currencyExchange", "USD"}};
        if (!value.is_null()) r["exchangeRate"] = value;
        return r;
    };
    sdk->queryCERInfoOnSuccess({}, {});
    answer(Json::array({rate("JPY", "0.0066"), rate("CHF", "1.1")}));
    ASSERT_DOUBLE_EQ(sdk->getExchangeRateWith("JPY", "USD"), 0.0066);

    size_t delivered = 0;
    sdk->queryCERInfoOnSuccess([&](const MODList<MODCERInfo>& rates) { delivered = rates.size(); },
                               {});
    answer(Json::array({rate("JPY", "0"), rate("CHF", -1.1), rate("EUR", nullptr),
                        rate("GBP", " 1.3"), rate("AUD", "0.65"), rate("NZD", "0.6"),
                        rate("NZD", "abc")}));
    EXPECT_EQ(delivered, 7u);
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("JPY", "USD"), 0.0066);
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("CHF", "USD"), 1.1);
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("EUR", "USD"), 1.0);
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("GBP", "USD"), 1.0);
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("AUD", "USD"), 0.65);
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("NZD", "USD"), 0.6);

    // A usable rate later in the reply replaces the one kept.
    sdk->queryCERInfoOnSuccess({}, {});
    answer(Json::array({rate("JPY", "abc"), rate("JPY", "0.0070")}));
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("JPY", "USD"), 0.007);
    EXPECT_DOUBLE_EQ(sdk->getExchangeRateWith("AUD", "USD"), 1.0);
}

TEST_F(CachesTest, QuotesRepriceCachedSymbolsInPlace) {
    Json s = symbol("EURUSD", 1);
    s["decimal"] = "4";
    s["pointAsk"] = "2";
    s["pointBid"] = "0";
    s["ask"] = "1.2345";
    loadSymbols(Json::array({s, symbol("USDJPY", 2)}));
    const auto cached = sdk->getSymbolWith("EURUSD");

    const Json quote{
        {"event", "4002"},
        {"msgOrder", "0"},
        {"retCode", "0"},
        {"data",
         {{"children", Json::array({Json{{"symbolCode", "GBPUSD"}, {"priceCurrent", "9"}},
                                    Json{{"symbolCode", "EURUSD"},
                                         {"priceCurrent", "1.2350"},
                                         {"priceHighest", "1.3"},
                                         {"priceLowest", "1.1"},
                                         {"dailyHight", "1.4"},
                                         {"dailyLow", "1.0"},
                                         {"lastTime", "2026-01-05 10:00:00"},
                                         {"bid", "7"}}})}}}};
    // Nobody listening, or a bad quote: the cache stays as it is.
    sdk->setDelegate({});
    push(quote);
    EXPECT_DOUBLE_EQ(cached->ask, 1.2345);
    sdk->setDelegate(delegate);
    Json refused = quote;
    refused["retCode"] = "1";
    push(refused);
    EXPECT_DOUBLE_EQ(cached->ask, 1.2345);
    EXPECT_TRUE(delegate->quotes.empty());

    push(quote);
    ASSERT_EQ(delegate->quotes.size(), 1u);  // the unknown symbol is skipped
    ASSERT_EQ(delegate->quotes[0].size(), 1u);
    EXPECT_EQ(delegate->quotes[0][0], cached);
    EXPECT_NEAR(cached->ask, 1.2352, 1e-12);
    EXPECT_NEAR(cached->bid, 1.2350, 1e-12);
    EXPECT_EQ(cached->upOrDown, 7);
    EXPECT_DOUBLE_EQ(cached->priceCurrent, 1.235);
    EXPECT_DOUBLE_EQ(cached->priceHighest, 1.3);
    EXPECT_DOUBLE_EQ(cached->dailyHighest, 1.4);
    EXPECT_DOUBLE_EQ(cached->dailyLowest, 1.0);
    EXPECT_EQ(cached->lastTime, "2026-01-05 10:00:00");

    // A delegate that does not take quotes gets a log line instead.
    platform::LogCapture logs;
    auto statusOnly = std::make_shared<RecordingDelegate>();
    sdk->setDelegate(statusOnly);
    push(quote);
    EXPECT_TRUE(logs.contains("onQuotedReceived 回调函数未定义"));
}

namespace {

// Every re-pricing report, in order, with what it carried.
struct RepricingDelegate : RecordingDelegate {
    void onQuotedReceived(const MODList<MODSymbolInfo>& l) override {
        calls.push_back("quote " + l.at(0)->symbolCode);
    }
    void onHoldBillChange(const MODList<MODHoldBill>& l) override {
        std::string codes;
        for (const auto& t : l)
            codes += " " + t->orderCode;
        calls.push_back("tickets" + codes);
    }
    void onHoldPositionChange(const MODList<MODHoldPosition>& l) override {
        calls.push_back("position " + (l.empty() ? std::string("-") : l[0]->symbolCode));
    }
    void onAccountChange(const MODList<MODUserAccount>&) override { calls.push_back("account"); }
    void onLimitBillChange(const MODList<MODLimitBill>& l) override {
        std::string codes;
        for (const auto& o : l)
            codes += " " + o->orderCode;
        calls.push_back("orders" + codes);
    }
    std::vector<std::string> calls;
};

Json quoteOf(const std::string& code, const std::string& price) {
    return Json{
        {"event", "4002"},
        {"msgOrder", "0"},
        {"retCode", "0"},
        {"data",
         {{"children", Json::array({Json{{"symbolCode", code}, {"priceCurrent", price}}})}}}};
}

Json ticket(const std::string& orderCode, const std::string& code, int symbolId,
            const std::string& side, const std::string& quantity = "1") {
    return Json{
        {"orderCode", orderCode}, {"accId", "1001"},   {"symbolId", std::to_string(symbolId)},
        {"symbolCode", code},     {"bsCode", side},    {"quantityHold", quantity},
        {"priceOpen", "1.0"},     {"priceHold", "1.0"}};
}

}  // namespace

void CachesTest::holdOneTicket(const Json& symbols) {
    loadAccounts(Json::array({Json{{"accId", "1001"}, {"currencyCode", "USD"}}}));
    loadSymbols(symbols);
    push(Json{{"event", "4016"},
              {"msgOrder", "0"},
              {"retCode", "0"},
              {"data", {{"children", Json::array({ticket("T1", "EURUSD", 1, "b")})}}}});
}

// A delegate that, hearing of a quote, has the symbols queried again and
// answered at once without the quoted one: the symbol leaves the caches in
// the middle of its own quote, whose re-pricing still reads it (under the
// sanitizers a freed symbol would be caught here). The answer is received
// while the quote is still being delivered.
// The move of a quote in points is rounded half away from zero, however
// close to a half it falls.
TEST_F(CachesTest, AQuotesMoveInPointsRoundsHalvesAwayFromZero) {
    Json s = symbol("EURUSD", 1);
    s["decimal"] = "0";
    s["pointAsk"] = "0";
    s["pointBid"] = "0";
    s["ask"] = "0";
    loadSymbols(Json::array({s}));
    const auto cached = sdk->getSymbolWith("EURUSD");
    ASSERT_TRUE(cached);
    const auto quote = [&](const std::string& price) {
        push(Json{{"event", "4002"},
                  {"retCode", "0"},
                  {"data",
                   {{"children",
                     Json::array({Json{{"symbolCode", "EURUSD"}, {"priceCurrent", price}}})}}}});
        return cached->upOrDown;
    };
    // From 0: just under a half stays, a sum that rounds up to one would not.
    EXPECT_EQ(quote("0.49999999999999994"), 0);
    EXPECT_EQ(quote("1"), 1);     // 0.50000000000000006
    EXPECT_EQ(quote("1.5"), 1);   // 0.5
    EXPECT_EQ(quote("1"), -1);    // -0.5
    EXPECT_EQ(quote("3.5"), 3);   // 2.5, not to the even 2
    EXPECT_EQ(quote("1"), -3);    // -2.5
    EXPECT_EQ(quote("1.25"), 0);  // 0.25
    EXPECT_EQ(quote("2.75"), 2);  // 1.5
    EXPECT_EQ(quote("1000000000000000"), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(quote("1"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(delegate->quotes.size(), 10u);
}

TEST_F(CachesTest, ASymbolDroppedWhileItsQuoteIsReportedIsStillRepricedSafely) {
    struct Requery : QuoteDelegate {
        void onQuotedReceived(const MODList<MODSymbolInfo>& l) override {
            QuoteDelegate::onQuotedReceived(l);
            if (auto f = std::exchange(onQuote, nullptr)) f();
        }
        std::function<void()> onQuote;
    };
    holdOneTicket(Json::array({plainSymbol("EURUSD", 1), plainSymbol("USDJPY", 2)}));
    auto requery = std::make_shared<Requery>();
    sdk->setDelegate(requery);
    requery->onQuote = [&] { loadSymbols(Json::array({plainSymbol("USDJPY", 2)})); };
    push(quoteOf("EURUSD", "1.2345"));
    ASSERT_EQ(requery->quotes.size(), 1u);
    ASSERT_EQ(requery->quotes[0].size(), 1u);
    EXPECT_EQ(requery->quotes[0][0]->symbolCode, "EURUSD");
    EXPECT_DOUBLE_EQ(requery->quotes[0][0]->priceCurrent, 1.2345);
    EXPECT_EQ(sdk->getSymbolWith("EURUSD"), nullptr);
    ASSERT_NE(sdk->getSymbolWith("USDJPY"), nullptr);
}

// The symbol a quote reports is held to the end of its quote, and past it
// only while the cache holds it too: one the cache let go of while its
// quote was reported goes when the quote is done, and one quoted before
// the cache is made anew goes with the old cache.
TEST_F(CachesTest, AQuotedSymbolOutlivesItsQuoteOnlyWhileTheCacheHoldsIt) {
    struct Listening : WSPushMessage {
        void onQuotedReceived(const MODList<MODSymbolInfo>& l) override {
            heard.push_back(l.front()->symbolCode);
            if (auto f = std::exchange(onQuote, nullptr)) f();
        }
        std::vector<std::string> heard;
        std::function<void()> onQuote;
    };
    auto listening = std::make_shared<Listening>();
    sdk->setDelegate(listening);
    loadSymbols(Json::array({plainSymbol("EURUSD", 1), plainSymbol("USDJPY", 2)}));
    std::weak_ptr<MODSymbolInfo> quoted = sdk->getSymbolWith("EURUSD");
    push(quoteOf("EURUSD", "1.2345"));
    push(quoteOf("EURUSD", "1.2346"));
    EXPECT_FALSE(quoted.expired());
    EXPECT_DOUBLE_EQ(sdk->getSymbolWith("EURUSD")->priceCurrent, 1.2346);
    // The cache made anew between quotes.
    loadSymbols(Json::array({plainSymbol("EURUSD", 1), plainSymbol("USDJPY", 2)}));
    EXPECT_TRUE(quoted.expired());

    // The cache made anew while the quote is reported, without the symbol.
    quoted = sdk->getSymbolWith("EURUSD");
    push(quoteOf("EURUSD", "1.2347"));
    listening->onQuote = [&] {
        loadSymbols(Json::array({plainSymbol("USDJPY", 2)}));
        EXPECT_FALSE(quoted.expired());  // held to the end of its quote
    };
    push(quoteOf("EURUSD", "1.2348"));
    EXPECT_TRUE(quoted.expired());
    EXPECT_EQ(listening->heard, (std::vector<std::string>(4, "EURUSD")));
    // Another symbol quoted after it is held in its place.
    std::weak_ptr<MODSymbolInfo> other = sdk->getSymbolWith("USDJPY");
    push(quoteOf("USDJPY", "150.1"));
    EXPECT_DOUBLE_EQ(other.lock()->priceCurrent, 150.1);
}

// The tickets of a quote are priced against the symbol cached under its
// code after the quote is reported: one put in its place while the quote
// was reported (the cache made anew) prices them, not the one quoted.
TEST_F(CachesTest, TicketsArePricedAgainstTheSymbolCachedWhenTheQuoteWasReported) {
    struct Requery : QuoteDelegate {
        void onQuotedReceived(const MODList<MODSymbolInfo>& l) override {
            QuoteDelegate::onQuotedReceived(l);
            if (auto f = std::exchange(onQuote, nullptr)) f();
        }
        std::function<void()> onQuote;
    };
    holdOneTicket(Json::array({plainSymbol("EURUSD", 1)}));
    auto requery = std::make_shared<Requery>();
    sdk->setDelegate(requery);
    push(quoteOf("EURUSD", "1.5000"));
    // Bought at 1.0, closed at the bid 1.5: 0.5 a unit, 1,000 units.
    EXPECT_NEAR(sdk->getHoldBillWith("T1")->dynProfitPrice, 500, 1e-9);
    Json replacement = plainSymbol("EURUSD", 1);
    replacement["bid"] = "1.2000";
    replacement["ask"] = "1.2000";
    requery->onQuote = [&] { loadSymbols(Json::array({replacement})); };
    push(quoteOf("EURUSD", "1.6000"));
    EXPECT_DOUBLE_EQ(requery->quotes.back()[0]->bid, 1.6);
    EXPECT_NEAR(sdk->getSymbolWith("EURUSD")->bid, 1.2, 1e-12);
    EXPECT_NEAR(sdk->getHoldBillWith("T1")->dynProfitPrice, 200, 1e-9);
    EXPECT_NEAR(sdk->getAccountWith(1001)->profitDyn, 200, 1e-9);
    // The next quote prices against the new one as well.
    push(quoteOf("EURUSD", "1.1000"));
    EXPECT_NEAR(sdk->getHoldBillWith("T1")->dynProfitPrice, 100, 1e-9);
}

TEST_F(CachesTest, PendingOrdersSpeltWithACapitalAreMarkedOnTheirSideByQueryAndQuote) {
    Json eurusd = plainSymbol("EURUSD", 1);
    eurusd["pointAsk"] = "2";
    eurusd["pointBid"] = "2";
    eurusd["bid"] = "1.0998";
    eurusd["ask"] = "1.1002";
    loadSymbols(Json::array({eurusd}));
    sdk->queryLimitBillOnSuccess({}, {});
    answer(Json::array({Json{{"orderCode", "L1"},
                             {"symbolId", "1"},
                             {"bsCode", "B"},
                             {"orderPrice", "1.0900"},
                             {"quantityOrder", "1"}},
                        Json{{"orderCode", "L2"},
                             {"symbolId", "1"},
                             {"bsCode", "S"},
                             {"orderPrice", "1.1100"},
                             {"quantityOrder", "1"}}}));
    const auto buy = sdk->getLimitBillWith("L1");
    const auto sell = sdk->getLimitBillWith("L2");
    ASSERT_TRUE(buy && sell);
    // A buy is marked at the bid and a sell at the ask, however spelt, and
    // a quote keeps each on its side.
    EXPECT_DOUBLE_EQ(buy->markPrice, 1.0998);
    EXPECT_DOUBLE_EQ(sell->markPrice, 1.1002);
    push(quoteOf("EURUSD", "1.2000"));
    const auto symbol = sdk->getSymbolWith("EURUSD");
    ASSERT_LT(symbol->bid, symbol->ask);
    EXPECT_DOUBLE_EQ(buy->markPrice, symbol->bid);
    EXPECT_DOUBLE_EQ(sell->markPrice, symbol->ask);
}

// A quote's reports go to the delegate set when each is made: one set in
// the middle of a quote hears the rest of it, and one let go by its last
// holder in the middle hears nothing more (and is gone once the report it
// was let go in returns).
TEST_F(CachesTest, AQuotesReportsFollowTheDelegateSetOrLetGoWhileItIsReported) {
    struct Switching : RepricingDelegate {
        void onHoldBillChange(const MODList<MODHoldBill>& l) override {
            RepricingDelegate::onHoldBillChange(l);
            if (auto f = std::exchange(onTickets, nullptr)) f();
        }
        std::function<void()> onTickets;
    };
    holdOneTicket(Json::array({plainSymbol("EURUSD", 1)}));
    auto first = std::make_shared<Switching>();
    auto second = std::make_shared<RepricingDelegate>();
    sdk->setDelegate(first);
    first->onTickets = [&] { sdk->setDelegate(second); };
    push(quoteOf("EURUSD", "1.0100"));
    EXPECT_EQ(first->calls, (std::vector<std::string>{"quote EURUSD", "tickets T1"}));
    EXPECT_EQ(second->calls, (std::vector<std::string>{"position -", "account"}));

    // Let go by its last holder while it hears of the tickets.
    auto leaving = std::make_shared<Switching>();
    const std::weak_ptr<Switching> watch = leaving;
    sdk->setDelegate(leaving);
    std::vector<std::string> heard;
    leaving->onTickets = [&] {
        heard = watch.lock()->calls;
        leaving.reset();
    };
    push(quoteOf("EURUSD", "1.0200"));
    EXPECT_EQ(heard, (std::vector<std::string>{"quote EURUSD", "tickets T1"}));
    EXPECT_TRUE(watch.expired());
    // The quote re-priced all the same.
    EXPECT_NEAR(sdk->getAccountWith(1001)->profitDyn, 20, 1e-9);
    EXPECT_EQ(second->calls.size(), 2u);
}

// The account a quote re-prices is the one cached when the quote comes: an
// account cache put back whole from kept records between two quotes holds
// new records, and the next quote re-prices those, not the ones before.
TEST_F(CachesTest, AnAccountCacheReplacedBetweenQuotesIsRepricedInItsNewRecords) {
    holdOneTicket(Json::array({plainSymbol("EURUSD", 1)}));
    push(quoteOf("EURUSD", "1.0100"));
    const auto before = sdk->getAccountWith(1001);
    ASSERT_NEAR(before->profitDyn, 10, 1e-9);
    // Another account among the kept ones: the cache is replaced, not
    // assigned record by record.
    KAVBizSDK::CachedRecords records = sdk->copyCachedRecords();
    auto other = std::make_shared<MODUserAccount>();
    other->accId = 1002;
    records.accounts[KAVBizSDK::accountKey(1002)] = other;
    sdk->restoreCachedRecords(records);
    const auto after = sdk->getAccountWith(1001);
    ASSERT_NE(after, before);
    push(quoteOf("EURUSD", "1.0200"));
    EXPECT_NEAR(after->profitDyn, 20, 1e-9);
    EXPECT_NEAR(before->profitDyn, 10, 1e-9);
}

// A quote re-prices and reports its own symbol's tickets, position and
// pending orders only; the account's floating profit stays the sum over all
// its tickets as each was last priced, through pushes that add, move and
// close tickets.
TEST_F(CachesTest, AQuoteRepricesOnlyItsOwnSymbolAndTheAccountSumHolds) {
    auto reports = std::make_shared<RepricingDelegate>();
    sdk->setDelegate(reports);
    Json symbols = Json::array();
    for (const auto& [code, id] : {std::pair{"EURUSD", 1}, {"USDJPY", 2}, {"GBPUSD", 3}}) {
        symbols.push_back(plainSymbol(code, id));
    }
    loadSymbols(symbols);
    loadAccounts(
        Json::array({Json{{"accId", "1001"}, {"amMarginRemain", "5000"}, {"riskType", "2"}}}));
    // Tickets of the three symbols interleaved in the cache's order.
    sdk->queryHoldBillOnSuccess({}, {});
    answer(Json::array({ticket("T1", "EURUSD", 1, "b"), ticket("T2", "USDJPY", 2, "s"),
                        ticket("T3", "EURUSD", 1, "s", "2"), ticket("T4", "GBPUSD", 3, "b"),
                        ticket("T5", "EURUSD", 1, "b", "3")}));
    sdk->queryHoldPositionOnSuccess({}, {});
    answer(Json::array({Json{{"symbolCode", "EURUSD"}, {"symbolId", "1"}, {"quantityBuy", "4"}}}));
    sdk->queryLimitBillOnSuccess({}, {});
    answer(Json::array({Json{{"orderCode", "L1"},
                             {"symbolId", "2"},
                             {"symbolCode", "USDJPY"},
                             {"bsCode", "b"},
                             {"orderPrice", "1.1"}},
                        Json{{"orderCode", "L2"},
                             {"symbolId", "1"},
                             {"symbolCode", "EURUSD"},
                             {"bsCode", "s"},
                             {"orderPrice", "1.2"}}}));
    const auto account = sdk->getAccountWith(1001);
    const auto sumOfTickets = [&] {
        double sum = 0;
        for (const char* code : {"T1", "T2", "T3", "T4", "T5", "T6"})
            if (const auto t = sdk->getHoldBillWith(code)) sum += t->dynProfitPrice;
        return sum;
    };

    push(quoteOf("USDJPY", "1.2000"));
    push(quoteOf("GBPUSD", "0.9000"));
    reports->calls.clear();
    const double jpyMark = sdk->getHoldBillWith("T2")->markPrice;
    push(quoteOf("EURUSD", "1.0100"));
    EXPECT_EQ(reports->calls,
              (std::vector<std::string>{"quote EURUSD", "tickets T1 T3 T5", "position EURUSD",
                                        "account", "orders L2"}));
    EXPECT_EQ(sdk->getHoldBillWith("T2")->markPrice, jpyMark);  // not this symbol's
    EXPECT_NEAR(sdk->getHoldBillWith("T1")->dynProfitPrice, 10, 1e-9);
    EXPECT_NEAR(sdk->getHoldBillWith("T3")->dynProfitPrice, -20, 1e-9);
    EXPECT_NEAR(sdk->getHoldBillWith("T4")->dynProfitPrice, -100, 1e-9);
    EXPECT_NEAR(account->profitDyn, sumOfTickets(), 1e-9);
    const auto position = sdk->getPositionWith("EURUSD");
    EXPECT_NEAR(position->dpBuy, 10 + 30, 1e-9);
    EXPECT_NEAR(position->dpSell, -20, 1e-9);
    EXPECT_NEAR(account->amMarginFree, 5000 + account->profitDyn, 1e-9);

    // A pushed ticket enters the cache: the next quote of its symbol re-prices it.
    push(Json{{"event", "4016"},
              {"retCode", "0"},
              {"data", {{"children", Json::array({ticket("T6", "USDJPY", 2, "b")})}}}});
    reports->calls.clear();
    push(quoteOf("USDJPY", "1.2100"));
    EXPECT_EQ(reports->calls, (std::vector<std::string>{"quote USDJPY", "tickets T2 T6",
                                                        "position -", "account", "orders L1"}));
    EXPECT_NEAR(sdk->getHoldBillWith("T6")->dynProfitPrice, 210, 1e-9);
    EXPECT_NEAR(account->profitDyn, sumOfTickets(), 1e-9);

    // Both USDJPY tickets closed: their quote reports no tickets, and the
    // account is summed from the others alone.
    for (const char* code : {"T2", "T6"}) {
        Json closed = ticket(code, "USDJPY", 2, code[1] == '2' ? "s" : "b");
        closed["quantityHold"] = "0";
        push(Json{
            {"event", "4016"}, {"retCode", "0"}, {"data", {{"children", Json::array({closed})}}}});
    }
    ASSERT_FALSE(sdk->getHoldBillWith("T2"));
    reports->calls.clear();
    push(quoteOf("USDJPY", "1.2200"));
    EXPECT_EQ(reports->calls, (std::vector<std::string>{"quote USDJPY", "orders L1"}));
    EXPECT_NEAR(account->profitDyn, sumOfTickets(), 1e-9);
    EXPECT_NEAR(account->profitDyn, 10 - 20 + 30 - 100, 1e-9);
}

// One symbol code may stand for two symbols of two accounts (each under its
// own id), so a quote of that code re-prices tickets of both: each account
// sums its own tickets only, and a second quote replaces the first one's
// share instead of adding to it.
TEST_F(CachesTest, AQuoteOfACodeTwoAccountsTradeKeepsEachAccountsOwnSum) {
    auto reports = std::make_shared<RepricingDelegate>();
    sdk->setDelegate(reports);
    Json symbols = Json::array();
    // The later EURUSD, of account 1002, is the one its code finds.
    for (const auto& [code, id, accId] :
         {std::tuple{"EURUSD", 1, 1001}, {"GBPUSD", 3, 1001}, {"EURUSD", 2, 1002}}) {
        symbols.push_back(plainSymbol(code, id, accId));
    }
    loadSymbols(symbols);
    loadAccounts(Json::array({Json{{"accId", "1001"}, {"amMarginRemain", "5000"}},
                              Json{{"accId", "1002"}, {"amMarginRemain", "7000"}}}));
    sdk->queryHoldBillOnSuccess({}, {});
    answer(Json::array({ticket("A1", "EURUSD", 1, "b"), ticket("B1", "EURUSD", 2, "s"),
                        ticket("A2", "GBPUSD", 3, "b"), ticket("A3", "EURUSD", 1, "s", "2")}));
    ASSERT_EQ(sdk->getHoldBillWith("A1")->accId, 1001);
    ASSERT_EQ(sdk->getHoldBillWith("B1")->accId, 1002);
    const auto first = sdk->getAccountWith(1001);
    const auto second = sdk->getAccountWith(1002);
    const auto sumOf = [&](int32_t accId) {
        double sum = 0;
        for (const char* code : {"A1", "A2", "A3", "B1"})
            if (const auto t = sdk->getHoldBillWith(code); t && t->accId == accId)
                sum += t->dynProfitPrice;
        return sum;
    };

    for (const auto& [price, a1, a3, b1] :
         {std::tuple{"1.0100", 10, -20, -10}, {"1.0200", 20, -40, -20}}) {
        SCOPED_TRACE(price);
        reports->calls.clear();
        push(quoteOf("EURUSD", price));
        EXPECT_EQ(reports->calls, (std::vector<std::string>{"quote EURUSD", "tickets A1 A3 B1",
                                                            "position -", "account"}));
        EXPECT_NEAR(sdk->getHoldBillWith("A1")->dynProfitPrice, a1, 1e-9);
        EXPECT_NEAR(sdk->getHoldBillWith("A3")->dynProfitPrice, a3, 1e-9);
        EXPECT_NEAR(sdk->getHoldBillWith("B1")->dynProfitPrice, b1, 1e-9);
        // The code's own account: its one ticket of the symbol alone.
        EXPECT_NEAR(second->profitDyn, b1, 1e-9);
        EXPECT_NEAR(second->profitDyn, sumOf(1002), 1e-9);
        EXPECT_NEAR(second->amMarginFree, 7000 + b1, 1e-9);
        // The other account learns of its EURUSD tickets at its next
        // re-pricing, with its GBPUSD ticket beside them.
        push(quoteOf("GBPUSD", "0.9000"));
        EXPECT_NEAR(first->profitDyn, a1 + a3 - 100, 1e-9);
        EXPECT_NEAR(first->profitDyn, sumOf(1001), 1e-9);
        EXPECT_NEAR(first->amMarginFree, 5000 + first->profitDyn, 1e-9);
        EXPECT_NEAR(second->profitDyn, b1, 1e-9);
    }
}

// Two symbols, one account and a ticket on each symbol, EURUSD quoted once:
// the caches that the put-back tests copy.
void CachesTest::loadTwoTicketsOnTwoSymbols() {
    Json symbols = Json::array();
    for (const auto& [code, id] : {std::pair{"EURUSD", 1}, {"USDJPY", 2}}) {
        symbols.push_back(plainSymbol(code, id));
    }
    loadSymbols(symbols);
    loadAccounts(
        Json::array({Json{{"accId", "1001"}, {"amMarginRemain", "5000"}, {"riskType", "2"}}}));
    sdk->queryHoldBillOnSuccess({}, {});
    answer(Json::array({ticket("T1", "EURUSD", 1, "b"), ticket("T2", "USDJPY", 2, "s")}));
    push(quoteOf("EURUSD", "1.0100"));
}

// The caches copied and put back (what the push-stream fuzz target starts
// each input from): the records as they were, copies of their own, one
// record per symbol under its code and its id, and the quote index made
// again from the records put back, not left pointing at the ones replaced.
TEST_F(CachesTest, CachedRecordsPutBackAreTheCopiedOnesAndQuotesRepriceThem) {
    auto reports = std::make_shared<RepricingDelegate>();
    sdk->setDelegate(reports);
    loadTwoTicketsOnTwoSymbols();
    const auto copied = sdk->copyCachedRecords();
    const auto queriedSymbol = sdk->getSymbolWith("EURUSD");
    const double queriedPrice = queriedSymbol->priceCurrent;
    const double queriedProfit = sdk->getAccountWith(1001)->profitDyn;

    // A quote, a closed ticket and a new one, and a symbol moved to a new id.
    push(quoteOf("EURUSD", "1.0500"));
    Json closed = ticket("T1", "EURUSD", 1, "b");
    closed["quantityHold"] = "0";
    push(Json{{"event", "4016"},
              {"retCode", "0"},
              {"data", {{"children", Json::array({closed, ticket("T3", "USDJPY", 2, "b")})}}}});
    Json moved = symbol("USDJPY", 7);
    moved["symbolName"] = "美元日元";
    push(Json{{"event", "4004"}, {"retCode", "0"}, {"data", {{"children", Json::array({moved})}}}});
    ASSERT_TRUE(sdk->getSymbolWithId(7));
    ASSERT_FALSE(sdk->getHoldBillWith("T1"));

    for (int round = 0; round < 2; ++round) {
        sdk->restoreCachedRecords(copied);
        const auto eur = sdk->getSymbolWith("EURUSD");
        ASSERT_TRUE(eur);
        EXPECT_NE(eur, queriedSymbol);  // a copy, not the record the pushes changed
        EXPECT_EQ(eur->priceCurrent, queriedPrice);
        EXPECT_EQ(sdk->getSymbolWithId(1), eur);
        EXPECT_EQ(sdk->getSymbolWithId(2), sdk->getSymbolWith("USDJPY"));
        EXPECT_FALSE(sdk->getSymbolWithId(7));
        ASSERT_EQ(sdk->symbolInfos().size(), 2u);
        EXPECT_EQ(sdk->symbolInfos()[0], eur);
        ASSERT_TRUE(sdk->getHoldBillWith("T1"));
        EXPECT_FALSE(sdk->getHoldBillWith("T3"));
        EXPECT_EQ(sdk->getAccountWith(1001)->profitDyn, queriedProfit);

        // The next quote re-prices the tickets put back, and the account
        // sums them: a change made to them stays out of the copy.
        reports->calls.clear();
        push(quoteOf("EURUSD", round == 0 ? "1.0300" : "1.0200"));
        EXPECT_EQ(reports->calls, (std::vector<std::string>{"quote EURUSD", "tickets T1",
                                                            "position -", "account"}));
        const auto t1 = sdk->getHoldBillWith("T1");
        EXPECT_NEAR(sdk->getAccountWith(1001)->profitDyn,
                    t1->dynProfitPrice + sdk->getHoldBillWith("T2")->dynProfitPrice, 1e-9);
        EXPECT_NE(t1->dynProfitPrice, copied.holdBills.at("T1")->dynProfitPrice);
    }
}

// After pushes that changed values only, the caches go back into the records
// they hold (the fuzz target's every input): whoever holds a record sees the
// copied values again, the symbol list and both look-ups still share one
// record per symbol, and the copy stays out of what later pushes change.
TEST_F(CachesTest, CachedRecordsPutBackIntoTheRecordsHeldAfterValuesChanged) {
    loadTwoTicketsOnTwoSymbols();
    const auto copied = sdk->copyCachedRecords();
    const auto eur = sdk->getSymbolWith("EURUSD");
    const auto t1 = sdk->getHoldBillWith("T1");
    const auto account = sdk->getAccountWith(1001);
    const double price = eur->priceCurrent;
    const double ticketProfit = t1->dynProfitPrice;
    const double accountProfit = account->profitDyn;

    for (const char* quoted : {"1.0500", "1.0300"}) {
        push(quoteOf("EURUSD", quoted));
        ASSERT_NE(eur->priceCurrent, price);
        ASSERT_NE(t1->dynProfitPrice, ticketProfit);
        sdk->restoreCachedRecords(copied);
        EXPECT_EQ(sdk->getSymbolWith("EURUSD"), eur);
        EXPECT_EQ(sdk->getSymbolWithId(1), eur);
        ASSERT_EQ(sdk->symbolInfos().size(), 2u);
        EXPECT_EQ(sdk->symbolInfos()[0], eur);
        EXPECT_EQ(sdk->symbolInfos()[1], sdk->getSymbolWithId(2));
        EXPECT_EQ(sdk->getSymbolWith("USDJPY"), sdk->getSymbolWithId(2));
        EXPECT_EQ(eur->priceCurrent, price);
        EXPECT_EQ(sdk->getHoldBillWith("T1"), t1);
        EXPECT_EQ(t1->dynProfitPrice, ticketProfit);
        EXPECT_EQ(sdk->getAccountWith(1001), account);
        EXPECT_EQ(account->profitDyn, accountProfit);
        EXPECT_EQ(copied.symbolsByCode.at("EURUSD")->priceCurrent, price);
        EXPECT_NE(copied.symbolsByCode.at("EURUSD"), eur);
    }
}

namespace {

// The same double, down to the sign of a zero.
uint64_t bitsOf(double d) {
    return std::bit_cast<uint64_t>(d);
}

// The sums of a position's sides, as a quote re-prices them.
struct SideSums {
    double dpBuy = 0, dppBuy = 0, dpSell = 0, dppSell = 0;
};

// Checks one re-priced ticket against the profit formula on its own, to the
// bit (or, where the formula refuses it, its total as before and no profit)
// and adds it to its side's sums; true when the formula priced it.
bool expectRepriced(const MODHoldBill& t, const MODSymbolInfo& symbol, double rate,
                    double totalBefore, SideSums& sums) {
    // Closing a buy sells at the bid, however the dealer spells the side.
    EXPECT_EQ(bitsOf(t.markPrice),
              bitsOf(CalculateUtils::isBuyCode(t.bsCode) ? symbol.bid : symbol.ask));
    bool ok = false;
    CalculateUtils::dynProfitWithClosePrice(
        t.markPrice, t.priceOpen, t.priceHold, t.quantityHold, t.bsCode, symbol.unit, rate,
        symbol.symbolType,
        [&](double total, double hold, double converted) {
            ok = true;
            EXPECT_EQ(bitsOf(t.dynProfitTotal), bitsOf(total));
            EXPECT_EQ(bitsOf(t.dynProfit), bitsOf(hold));
            EXPECT_EQ(bitsOf(t.dynProfitPrice), bitsOf(converted));
        },
        [](const platform::Error&) {});
    if (!ok) {
        EXPECT_EQ(bitsOf(t.dynProfitTotal), bitsOf(totalBefore));
        EXPECT_EQ(bitsOf(t.dynProfit), bitsOf(0.0));
        EXPECT_EQ(bitsOf(t.dynProfitPrice), bitsOf(0.0));
    }
    if (t.bsCode == "b" || t.bsCode == "B") {
        sums.dpBuy += t.dynProfit;
        sums.dppBuy += t.dynProfitPrice;
    } else if (t.bsCode == "s" || t.bsCode == "S") {
        sums.dpSell += t.dynProfit;
        sums.dppSell += t.dynProfitPrice;
    }
    return ok;
}

}  // namespace

// Every ticket a quote re-prices holds what the profit formula makes of it
// on its own, to the last bit: the symbol types that count in prices, in
// reciprocal prices and at a rate, the sides as the dealer may spell them,
// prices and quantities no formula can price, a closing price beyond any
// market on one side only. The
// position's sums add the tickets of each side in the cache's order.
TEST_F(CachesTest, AQuotePricesEveryTicketAsTheProfitFormulaDoes) {
    auto reports = std::make_shared<RepricingDelegate>();
    sdk->setDelegate(reports);
    loadAccounts(Json::array({Json{{"accId", "1001"}, {"currencyCode", "USD"}}}));
    sdk->queryCERInfoOnSuccess({}, {});
    answer(Json::array(
        {Json{{"currencyBase", "JPY"}, {"currencyExchange", "USD"}, {"exchangeRate", "0.0066"}},
         // Above 0 but too small to convert with.
         Json{{"currencyBase", "GBP"}, {"currencyExchange", "USD"}, {"exchangeRate", "5e-7"}}}));
    struct Sym {
        const char* code;
        const char* type;
        const char* currency;
        const char* decimal;
    };
    const Sym syms[] = {{"PLAIN", "1", "JPY", "4"}, {"RECIP", "2", "USD", "4"},
                        {"RATED", "3", "JPY", "3"}, {"NORATE", "3", "GBP", "3"},
                        {"ODD", "9", "USD", "2"},   {"WIDE", "1", "USD", "0"}};
    Json symbols = Json::array();
    int id = 1;
    for (const Sym& sym : syms) {
        Json s = symbol(sym.code, id++);
        s["symbolType"] = sym.type;
        s["symbolCurrency"] = sym.currency;
        s["decimal"] = sym.decimal;
        s["unit"] = "1000";
        s["pointAsk"] = "2";
        s["pointBid"] = "1";
        s["ask"] = "1.0125";
        s["bid"] = "1.0121";
        symbols.push_back(s);
    }
    loadSymbols(symbols);

    // Every symbol gets the same mix of tickets, in an order the cache keeps.
    struct Mix {
        const char* side;
        const char* quantity;
        const char* open;
        const char* hold;
    };
    const Mix mix[] = {
        {"b", "1", "1.1", "1.05"}, {"s", "2", "1.2", "1.15"}, {"B", "0.5", "0.9", "0.95"},
        {"S", "3", "1.0", "1.0"},  {"x", "1", "1.0", "1.0"},  {"s", "0", "1.3", "1.3"},
        {"b", "2", "0", "1.0"},    {"s", "1", "1.0", "1e16"}, {"b", "-1", "-1.5", "1.1"},
        {"s", "7", "1.1", "0"},
    };
    Json bills = Json::array();
    Json positions = Json::array();
    int symbolId = 0;
    for (const Sym& sym : syms) {
        ++symbolId;
        positions.push_back(Json{{"symbolCode", sym.code},
                                 {"symbolId", std::to_string(symbolId)},
                                 {"quantityBuy", "1"}});
        int n = 0;
        for (const Mix& m : mix) {
            bills.push_back(Json{{"orderCode", std::string(sym.code) + "-" + std::to_string(n++)},
                                 {"accId", "1001"},
                                 {"symbolId", std::to_string(symbolId)},
                                 {"symbolCode", sym.code},
                                 {"bsCode", m.side},
                                 {"quantityHold", m.quantity},
                                 {"priceOpen", m.open},
                                 {"priceHold", m.hold},
                                 {"dynProfitTotal", "77"}});
        }
    }
    sdk->queryHoldBillOnSuccess({}, {});
    answer(bills);
    sdk->queryHoldPositionOnSuccess({}, {});
    answer(positions);
    // The query marks each ticket at the price the profit closes it at.
    for (const Sym& sym : syms) {
        const auto symbol = sdk->getSymbolWith(sym.code);
        for (size_t n = 0; n < std::size(mix); ++n) {
            const auto t = sdk->getHoldBillWith(std::string(sym.code) + "-" + std::to_string(n));
            ASSERT_TRUE(symbol && t);
            EXPECT_EQ(t->markPrice, mix[n].side[0] == 'b' || mix[n].side[0] == 'B' ? symbol->bid
                                                                                   : symbol->ask)
                << t->orderCode;
        }
    }

    const auto check = [&](const std::string& code, const std::string& price, int& priced) {
        SCOPED_TRACE(code + " at " + price);
        const auto symbol = sdk->getSymbolWith(code);
        ASSERT_TRUE(symbol);
        // What each ticket held before: a ticket that cannot be priced
        // keeps its profit from the open price.
        std::vector<std::shared_ptr<MODHoldBill>> tickets;
        std::vector<double> totalsBefore;
        for (size_t n = 0; n < std::size(mix); ++n) {
            tickets.push_back(sdk->getHoldBillWith(code + "-" + std::to_string(n)));
            ASSERT_TRUE(tickets.back());
            totalsBefore.push_back(tickets.back()->dynProfitTotal);
        }
        reports->calls.clear();
        push(quoteOf(code, price));
        ASSERT_EQ(reports->calls.size(), 4u);
        const double rate = static_cast<double>(
            static_cast<float>(sdk->getExchangeRateWith(symbol->symbolCurrency, "USD")));
        SideSums sums;
        priced = 0;
        for (size_t n = 0; n < tickets.size(); ++n) {
            SCOPED_TRACE(tickets[n]->orderCode);
            priced += expectRepriced(*tickets[n], *symbol, rate, totalsBefore[n], sums);
        }
        // The account holds the sum of every ticket as last priced; the
        // symbols' sums add in another order: off by no more than rounding.
        double own = 0, magnitude = 0;
        for (const Sym& sym : syms)
            for (size_t n = 0; n < std::size(mix); ++n) {
                const double p =
                    sdk->getHoldBillWith(std::string(sym.code) + "-" + std::to_string(n))
                        ->dynProfitPrice;
                own += p;
                magnitude += std::fabs(p);
            }
        EXPECT_NEAR(sdk->getAccountWith(1001)->profitDyn, own, 1e-12 * magnitude);
        const auto position = sdk->getPositionWith(code);
        ASSERT_TRUE(position);
        EXPECT_EQ(bitsOf(position->dpBuy), bitsOf(sums.dpBuy));
        EXPECT_EQ(bitsOf(position->dppBuy), bitsOf(sums.dppBuy));
        EXPECT_EQ(bitsOf(position->dpSell), bitsOf(sums.dpSell));
        EXPECT_EQ(bitsOf(position->dppSell), bitsOf(sums.dppSell));
    };
    const auto pricedAt = [&](const std::string& code, const std::string& price) {
        int priced = -1;
        check(code, price, priced);
        return priced;
    };
    // Ten tickets: a zero open price and a hold price beyond any market
    // leave eight to the plain types, a zero hold price one fewer to the
    // reciprocal one; a type without a formula, or one that needs a rate
    // the account lacks, prices none.
    EXPECT_EQ(pricedAt("PLAIN", "1.0123"), 9);
    EXPECT_EQ(pricedAt("RECIP", "1.0123"), 7);
    EXPECT_EQ(pricedAt("RATED", "1.012"), 9);
    EXPECT_EQ(pricedAt("NORATE", "1.012"), 0);
    EXPECT_EQ(pricedAt("ODD", "1.01"), 0);
    // A zero bid leaves the reciprocal type only the tickets closed at the
    // ask (all but the buys, "b" and "B"); an ask beyond any market only
    // those closed at the bid.
    EXPECT_EQ(pricedAt("PLAIN", "1.0456"), 9);
    EXPECT_EQ(pricedAt("RECIP", "0.0001"), 4);
    EXPECT_EQ(pricedAt("WIDE", "1000000000000000"), 4);
}

// More tickets of a symbol than a quote prices in one run, of two accounts
// or of one, every side and some that cannot be priced: each one holds
// what the formula makes of it alone, and the position's and each
// account's sums add them one by one in the cache's order, to the last bit.
TEST_F(CachesTest, ManyTicketsOfASymbolArePricedOneByOneInCacheOrder) {
    Json symbols = Json::array();
    // The later EURUSD, of account 1002, is the one its code finds; its
    // tickets are of both accounts, OTHER's of 1001 only.
    for (const auto& [code, id, accId] :
         {std::tuple{"EURUSD", 1, 1001}, {"EURUSD", 2, 1002}, {"OTHER", 3, 1001}}) {
        Json s = plainSymbol(code, id, accId);
        s["pointAsk"] = "2";
        s["pointBid"] = "1";
        symbols.push_back(s);
    }
    loadSymbols(symbols);
    loadAccounts(Json::array({Json{{"accId", "1001"}}, Json{{"accId", "1002"}}}));
    const char* sides[] = {"b", "s", "b", "x", "s", "b", "S"};
    const char* quantities[] = {"1", "2", "0.5", "3", "0.25"};
    constexpr int kTickets = 300;
    Json bills = Json::array();
    std::map<std::string, std::vector<std::string>> codes;
    for (const auto& [symbolCode, prefix] : {std::pair{"EURUSD", "M"}, {"OTHER", "N"}}) {
        for (int i = 0; i < kTickets; ++i) {
            char code[8];
            std::snprintf(code, sizeof code, "%s%03d", prefix, i);
            codes[symbolCode].emplace_back(code);
            const int symbolId = symbolCode == std::string("OTHER") ? 3
                                 : i % 3 == 1 || i % 11 == 0        ? 2
                                                                    : 1;
            Json t = ticket(code, symbolCode, symbolId, sides[i % 7], quantities[i % 5]);
            t["priceOpen"] = std::to_string(0.95 + 0.001 * i);
            t["priceHold"] = std::to_string(1.05 - 0.0007 * i);
            t["dynProfitTotal"] = "77";
            // Open and hold prices beyond any market: neither can be priced.
            // Only among the first 128, so that the tickets after them are
            // priced in runs with nothing to check, as well as one by one.
            if (i < 128 && i % 97 == 50) t["priceOpen"] = "-1e17";
            if (i < 128 && i % 89 == 20) t["priceHold"] = "1e16";
            bills.push_back(t);
        }
    }
    sdk->queryHoldBillOnSuccess({}, {});
    answer(bills);
    sdk->queryHoldPositionOnSuccess({}, {});
    answer(Json::array({Json{{"symbolCode", "EURUSD"}, {"symbolId", "2"}, {"quantityBuy", "1"}},
                        Json{{"symbolCode", "OTHER"}, {"symbolId", "3"}, {"quantityBuy", "1"}}}));
    ASSERT_EQ(sdk->getSymbolWith("EURUSD")->accId, 1002);

    // Each account's sum of the symbol's tickets, in the cache's order.
    std::map<std::string, std::map<int32_t, double>> sums;
    const auto quote = [&](const std::string& code, const std::string& price) {
        SCOPED_TRACE(code + " at " + price);
        const auto symbol = sdk->getSymbolWith(code);
        std::vector<double> totalsBefore;
        for (const auto& t : codes[code])
            totalsBefore.push_back(sdk->getHoldBillWith(t)->dynProfitTotal);
        push(quoteOf(code, price));
        const double rate = static_cast<double>(static_cast<float>(
            sdk->getExchangeRateWith(symbol->symbolCurrency, symbol->accCurrency)));
        SideSums side;
        sums[code].clear();
        int unpriced = 0;
        for (size_t n = 0; n < codes[code].size(); ++n) {
            SCOPED_TRACE(codes[code][n]);
            const MODHoldBill& t = *sdk->getHoldBillWith(codes[code][n]);
            unpriced += !expectRepriced(t, *symbol, rate, totalsBefore[n], side);
            sums[code][t.accId] += t.dynProfitPrice;
        }
        EXPECT_EQ(unpriced, 3);
        const auto position = sdk->getPositionWith(code);
        ASSERT_TRUE(position);
        EXPECT_EQ(bitsOf(position->dpBuy), bitsOf(side.dpBuy));
        EXPECT_EQ(bitsOf(position->dppBuy), bitsOf(side.dppBuy));
        EXPECT_EQ(bitsOf(position->dpSell), bitsOf(side.dpSell));
        EXPECT_EQ(bitsOf(position->dppSell), bitsOf(side.dppSell));
    };
    for (const char* price : {"1.0123", "0.9871"}) {
        quote("EURUSD", price);
        EXPECT_EQ(bitsOf(sdk->getAccountWith(1002)->profitDyn), bitsOf(sums["EURUSD"][1002]));
        quote("OTHER", price);
        // Account 1001's own sum: its EURUSD tickets come first in the cache.
        EXPECT_EQ(bitsOf(sdk->getAccountWith(1001)->profitDyn),
                  bitsOf(0.0 + sums["EURUSD"][1001] + sums["OTHER"][1001]));
    }
}

namespace {

// Many tickets of three symbols, one of each way of counting (in prices, in
// reciprocal prices, at a rate), every one that can be priced as it stands;
// and a check of a quote against the formula, ticket by ticket, with the
// position's and every account's sums added one by one in the cache's order.
class ManyPricedTicketsTest : public CachesTest {
  protected:
    struct Sym {
        const char* code;
        const char* type;
        const char* currency;
        char prefix;  // of its order codes: the cache holds the symbols in this order
    };
    static constexpr Sym kSyms[] = {
        {"PLAIN", "1", "USD", 'A'}, {"RECIP", "2", "USD", 'B'}, {"RATED", "3", "JPY", 'C'}};
    // Three full runs of tickets priced together and a few more.
    static constexpr int kTickets = 203;

    void SetUp() override {
        CachesTest::SetUp();
        sdk->setDelegate(reports);
        loadAccounts(Json::array({Json{{"accId", "1001"}, {"currencyCode", "USD"}},
                                  Json{{"accId", "1002"}, {"currencyCode", "USD"}}}));
        sdk->queryCERInfoOnSuccess({}, {});
        answer(Json::array({Json{
            {"currencyBase", "JPY"}, {"currencyExchange", "USD"}, {"exchangeRate", "0.0066"}}}));
        Json symbols = Json::array();
        int id = 1;
        for (const Sym& sym : kSyms) {
            Json s = plainSymbol(sym.code, id++);
            s["symbolType"] = sym.type;
            s["symbolCurrency"] = sym.currency;
            s["pointAsk"] = "2";
            s["pointBid"] = "1";
            symbols.push_back(s);
        }
        loadSymbols(symbols);
    }

    // The tickets of every symbol; `change` may make any of them different.
    void loadTickets(const std::function<void(const Sym&, int, Json&)>& change = {}) {
        const char* sides[] = {"b", "s", "b", "x", "S", "s", "B"};
        const char* quantities[] = {"1", "2", "0.5", "7", "0.25", "0"};
        Json bills = Json::array();
        Json positions = Json::array();
        int symbolId = 0;
        for (const Sym& sym : kSyms) {
            ++symbolId;
            positions.push_back(Json{{"symbolCode", sym.code},
                                     {"symbolId", std::to_string(symbolId)},
                                     {"quantityBuy", "1"}});
            for (int i = 0; i < kTickets; ++i) {
                Json t =
                    ticket(codeOf(sym, i), sym.code, symbolId, sides[i % 7], quantities[i % 6]);
                t["priceOpen"] = std::to_string(0.95 + 0.0013 * i);
                t["priceHold"] = std::to_string(1.05 - 0.0007 * i);
                // Some come with another account, but a ticket takes its
                // symbol's: they count in 1001 with the rest (tickets of two
                // accounts on one symbol are priced in the cache-order test).
                if (sym.type == std::string("3") && i % 3 == 1) t["accId"] = "1002";
                if (change) change(sym, i, t);
                bills.push_back(t);
            }
        }
        sdk->queryHoldBillOnSuccess({}, {});
        answer(bills);
        sdk->queryHoldPositionOnSuccess({}, {});
        answer(positions);
    }

    static std::string codeOf(const Sym& sym, int i) {
        char code[8];
        std::snprintf(code, sizeof code, "%c%03d", sym.prefix, i);
        return code;
    }

    // Quotes the symbol and checks every ticket of it; the count of tickets
    // the formula priced.
    int quote(const Sym& sym, const std::string& price) {
        SCOPED_TRACE(std::string(sym.code) + " at " + price);
        std::vector<std::shared_ptr<MODHoldBill>> tickets;
        std::vector<double> totalsBefore;
        for (int i = 0; i < kTickets; ++i) {
            if (auto t = sdk->getHoldBillWith(codeOf(sym, i))) {
                tickets.push_back(t);
                totalsBefore.push_back(t->dynProfitTotal);
            }
        }
        reports->calls.clear();
        push(quoteOf(sym.code, price));
        EXPECT_EQ(reports->calls.size(), 4u);
        const auto symbol = sdk->getSymbolWith(sym.code);
        const double rate = static_cast<double>(
            static_cast<float>(sdk->getExchangeRateWith(symbol->symbolCurrency, "USD")));
        SideSums sides;
        int priced = 0;
        for (size_t n = 0; n < tickets.size(); ++n) {
            SCOPED_TRACE(tickets[n]->orderCode);
            priced += expectRepriced(*tickets[n], *symbol, rate, totalsBefore[n], sides);
        }
        const auto position = sdk->getPositionWith(sym.code);
        if (!position) {
            ADD_FAILURE() << "no position";
            return -1;
        }
        EXPECT_EQ(bitsOf(position->dpBuy), bitsOf(sides.dpBuy));
        EXPECT_EQ(bitsOf(position->dppBuy), bitsOf(sides.dppBuy));
        EXPECT_EQ(bitsOf(position->dpSell), bitsOf(sides.dpSell));
        EXPECT_EQ(bitsOf(position->dppSell), bitsOf(sides.dppSell));
        // Each account: its tickets of each symbol added in the cache's
        // order, then the symbols' sums in the order they first appear.
        for (const int32_t accId : {1001, 1002}) {
            double profit = 0;
            for (const Sym& s : kSyms) {
                double own = 0;
                for (int i = 0; i < kTickets; ++i) {
                    const auto t = sdk->getHoldBillWith(codeOf(s, i));
                    if (t && t->accId == accId) own += t->dynProfitPrice;
                }
                profit += own;
            }
            EXPECT_EQ(bitsOf(sdk->getAccountWith(accId)->profitDyn), bitsOf(profit)) << accId;
        }
        return priced;
    }

    std::shared_ptr<RepricingDelegate> reports = std::make_shared<RepricingDelegate>();
};

}  // namespace

// Runs of tickets with nothing to check, for each way of counting and for
// tickets of one account and of two, priced to the last bit as the formula
// prices each ticket alone; again at the next quote.
TEST_F(ManyPricedTicketsTest, RunsWithNothingToCheckArePricedAsEachTicketAlone) {
    loadTickets();
    for (const char* price : {"1.0123", "0.9871"}) {
        for (const Sym& sym : kSyms)
            EXPECT_EQ(quote(sym, price), kTickets);
    }
}

// A run with a ticket that cannot be priced, between runs without one: the
// sums go on across them in the cache's order. A ticket whose reciprocal
// open price is so large that its profit would not be finite with its lots,
// and one as large with lots it stays finite with.
TEST_F(ManyPricedTicketsTest, RunsToCheckAmongRunsWithout) {
    loadTickets([](const Sym& sym, int i, Json& t) {
        if (sym.prefix == 'A' && i == 70) t["priceOpen"] = "2e15";  // beyond any market
        if (sym.prefix == 'B' && i == 130) {
            t["priceOpen"] = "1e-300";
            t["quantityHold"] = "1e10";
        }
        if (sym.prefix == 'B' && i == 70) t["priceOpen"] = "1e-300";
        if (sym.prefix == 'C' && i == 5) t["quantityHold"] = "3e38";
    });
    for (const char* price : {"1.0123", "0.9871"}) {
        EXPECT_EQ(quote(kSyms[0], price), kTickets - 1);
        EXPECT_EQ(quote(kSyms[1], price), kTickets - 1);
        EXPECT_EQ(quote(kSyms[2], price), kTickets);
        EXPECT_LT(sdk->getHoldBillWith("B070")->dynProfitTotal, -1e302);
    }
}

// Tickets a push changes or closes between quotes: the next quote prices
// the changed one as it now is and leaves the closed one, which a screen
// may still hold, as it was; the sums count neither the closed one nor the
// changed one as it was.
TEST_F(ManyPricedTicketsTest, ATicketChangedOrClosedBetweenQuotes) {
    loadTickets();
    EXPECT_EQ(quote(kSyms[0], "1.0123"), kTickets);
    const auto closed = sdk->getHoldBillWith("A010");
    const auto changed = sdk->getHoldBillWith("A100");
    ASSERT_TRUE(closed && changed);
    Json moved = ticket("A100", "PLAIN", 1, "s", "4");
    moved["priceOpen"] = "1.25";
    moved["priceHold"] = "1.2";
    Json gone = ticket("A010", "PLAIN", 1, "b", "0");
    push(Json{{"event", "4016"},
              {"msgOrder", "0"},
              {"retCode", "0"},
              {"data", {{"children", Json::array({moved, gone})}}}});
    ASSERT_FALSE(sdk->getHoldBillWith("A010"));
    ASSERT_EQ(sdk->getHoldBillWith("A100"), changed);
    const MODHoldBill before = *closed;
    EXPECT_EQ(quote(kSyms[0], "0.9871"), kTickets - 1);
    EXPECT_EQ(changed->bsCode, "s");
    EXPECT_EQ(bitsOf(closed->dynProfit), bitsOf(before.dynProfit));
    EXPECT_EQ(bitsOf(closed->dynProfitTotal), bitsOf(before.dynProfitTotal));
    EXPECT_EQ(bitsOf(closed->markPrice), bitsOf(before.markPrice));
}
