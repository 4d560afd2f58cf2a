// Fuzz target: the push dispatcher fed a stream of received texts against a
// session with cached records. Input: texts separated by "\n", each received
// on the trading channel as the connection hands it over (so the channel's
// reading is fuzzed too: short texts, envelopes, packages). The session has
// two accounts, three symbols, open tickets, pending orders and positions.
// Checks, after every text and at the end: the symbol caches stay one-to-one
// (each cached symbol found under its own code and id, no id standing for
// two codes); quoted prices stay usable; the profits the client works out
// stay finite; every cached record lies under its own key; nothing throws or
// breaks the sanitizers.
// The session is made once: its six query round trips on every input cost
// far more than the pushes under test. Between inputs its caches go back to
// what the queries filled; a push that ends the session (another login, a
// terminal notice, a refused token) has the next input start from a new one,
// its channel opened as the first one's was and its caches copies of what
// the first one's queries filled (the queries fill nothing else).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "tests/support/FakeConnection.h"

using platform::Json;

namespace {

struct CheckingDelegate : WSPushMessage {
    void onQuotedReceived(const MODList<MODSymbolInfo>& symbols) override {
        for (const auto& s : symbols)
            if (!KAVBizSDK::usablePrice(s->priceCurrent) || !std::isfinite(s->ask) ||
                !std::isfinite(s->bid))
                std::abort();
    }
    void onSymbolChange(const MODList<MODSymbolInfo>&) override {}
    // What the client works out itself stays finite, whatever the dealer sends.
    void onAccountChange(const MODList<MODUserAccount>& accounts) override {
        for (const auto& a : accounts)
            if (!std::isfinite(a->profitDyn)) std::abort();
    }
    void onHoldBillChange(const MODList<MODHoldBill>& tickets) override {
        for (const auto& t : tickets)
            if (!std::isfinite(t->dynProfit) || !std::isfinite(t->dynProfitPrice) ||
                !std::isfinite(t->dynProfitTotal))
                std::abort();
    }
    void onHoldPositionChange(const MODList<MODHoldPosition>& positions) override {
        for (const auto& p : positions)
            if (!std::isfinite(p->dpBuy) || !std::isfinite(p->dpSell) ||
                !std::isfinite(p->dppBuy) || !std::isfinite(p->dppSell) ||
                !std::isfinite(p->avgBuy) || !std::isfinite(p->avgSell))
                std::abort();
    }
    void onLimitBillChange(const MODList<MODLimitBill>&) override {}
    void onCloseBillChange(const MODList<MODCloseBill>&) override {}
    void onExchangeRateChange(const MODList<MODCERInfo>&) override {}
    void onBulletinPush(const MODList<MODBulletin>&) override {}
    void onRiskChange(const std::vector<MODList<MODRiskInfo>>&) override {}
};

std::string reply(const KAVPackage& request, const Json& children) {
    return Json{{"event", "x"},
                {"msgOrder", std::to_string(request.msgOrder())},
                {"retCode", "0"},
                {"message", ""},
                {"data", {{"children", children}}}}
        .dump();
}

KAVPackage lastSent(const kavtest::FakeConnection& c) {
    KAVPackage p;
    p.fromJSON(c.sent.back());
    return p;
}

// A logged-in session's caches, filled by their queries on a fake channel.
struct Session {
    kavtest::FakeNetwork net;
    std::shared_ptr<CheckingDelegate> delegate = std::make_shared<CheckingDelegate>();
    std::shared_ptr<KAVBizSDK> sdk = std::make_shared<KAVBizSDK>();

    // `queried`: what an earlier session's queries filled, put back in place
    // of querying again; null for the first session, which queries.
    explicit Session(const KAVBizSDK::CachedRecords* queried) {
        sdk->setConnectionFactory(net.factory());
        sdk->setDelegate(delegate);
        auto trader = sdk->createWSWithKey(KAVBizSDK::kWSTrader, 1, 10);
        trader->open("ws://dealer/trade", {}, sdk->pushBlock());
        net.last().fireOpen();
        if (queried) {
            sdk->restoreCachedRecords(*queried);
            return;
        }
        const auto answer = [&](const Json& children) {
            net.last().fireText(reply(lastSent(net.last()), children));
        };
        sdk->queryAccountOnSuccess({}, {});
        answer(Json::array({Json{{"accId", "1001"},
                                 {"currencyCode", "USD"},
                                 {"amMarginRemain", "100000"},
                                 {"amMarginUsed", "3000"},
                                 {"riskType", "2"},
                                 {"riskCustomWarning", "1.5"},
                                 {"riskCustomCut", "0.5"}},
                            Json{{"accId", "1002"},
                                 {"currencyCode", "USD"},
                                 {"amMarginRemain", "50000"},
                                 {"riskType", "1"}}}));
        const auto symbol = [](const char* code, const char* id, const char* decimal,
                               const char* type, const char* currency, const char* price) {
            return Json{{"symbolCode", code}, {"symbolId", id},   {"accId", "1001"},
                        {"decimal", decimal}, {"pointAsk", "10"}, {"pointBid", "10"},
                        {"symbolType", type}, {"unit", "100000"}, {"symbolCurrency", currency},
                        {"ask", price},       {"bid", price},     {"priceCurrent", price}};
        };
        sdk->querySymbolOnSuccess({}, {});
        answer(Json::array({symbol("EURUSD", "1", "5", "1", "USD", "1.10000"),
                            symbol("USDJPY", "2", "3", "3", "JPY", "150.000"),
                            symbol("XAUUSD", "3", "2", "1", "USD", "2000.00")}));
        sdk->queryCERInfoOnSuccess({}, {});
        answer(Json::array({Json{{"currencyBase", "JPY"},
                                 {"currencyExchange", "USD"},
                                 {"exchangeRate", "0.00666667"}}}));
        sdk->queryHoldBillOnSuccess({}, {});
        answer(Json::array({Json{{"orderCode", "T1"},
                                 {"symbolId", "1"},
                                 {"bsCode", "b"},
                                 {"quantityHold", "2"},
                                 {"priceOpen", "1.1"},
                                 {"priceHold", "1.1"}},
                            Json{{"orderCode", "T2"},
                                 {"symbolId", "2"},
                                 {"bsCode", "s"},
                                 {"quantityHold", "1"},
                                 {"priceOpen", "150.2"},
                                 {"priceHold", "150.2"}}}));
        sdk->queryLimitBillOnSuccess({}, {});
        answer(Json::array({Json{{"orderCode", "L1"},
                                 {"symbolId", "1"},
                                 {"bsCode", "s"},
                                 {"quantityOrder", "1"},
                                 {"orderPrice", "1.12"}}}));
        sdk->queryHoldPositionOnSuccess({}, {});
        answer(Json::array({Json{{"symbolId", "1"},
                                 {"quantityBuy", "2"},
                                 {"moneyBuy", "220000"},
                                 {"quantitySell", "0"},
                                 {"moneySell", "0"}}}));
    }

    // Whether the session still stands as its queries left it, but for its
    // caches: its one channel open and listening, no re-login on the way.
    bool standing() {
        return net.count() == 1 && !net.last().closed && net.last().listened() &&
               !sdk->isReLoginPending();
    }

    // The caches as the queries filled them.
    void reset(const KAVBizSDK::CachedRecords& queried) {
        sdk->restoreCachedRecords(queried);
        net.last().sent.clear();
    }

    void check() const {
        for (const auto& s : sdk->symbolInfos()) {
            const auto byCode = sdk->getSymbolWith(s->symbolCode);
            if (!byCode) std::abort();
            const auto byId = sdk->getSymbolWithId(byCode->symbolId);
            if (!byId || byId->symbolCode != byCode->symbolCode) std::abort();
            if (!std::isfinite(byCode->ask) || !std::isfinite(byCode->bid)) std::abort();
        }
        for (const auto& a : sdk->getAccounts())
            if (!std::isfinite(a->profitDyn)) std::abort();
        for (const char* code : {"T1", "T2"})
            if (const auto t = sdk->getHoldBillWith(code); t && t->orderCode != code) std::abort();
        if (const auto o = sdk->getLimitBillWith("L1"); o && o->orderCode != "L1") std::abort();
        for (const char* code : {"EURUSD", "USDJPY", "XAUUSD"})
            if (const auto p = sdk->getPositionWith(code); p && p->symbolCode != code) std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        platform::setLogSink([](const std::string&) {});
        platform::RunLoop::main().adoptCurrentThread();
        return true;
    }();
    (void)ready;
    // Kept to the end of the process, never destroyed after the run loop.
    static Session* session = nullptr;
    static const KAVBizSDK::CachedRecords* queried = nullptr;
    if (!session) {
        session = new Session(queried);
        if (!queried) queried = new KAVBizSDK::CachedRecords(session->sdk->copyCachedRecords());
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (size_t start = 0; start <= input.size();) {
        const size_t end = std::min(input.find('\n', start), input.size());
        session->net.last().fireText(std::string(input.substr(start, end - start)));
        session->check();
        start = end + 1;
    }
    // Whatever the pushes left for the run loop (none of the session's timers is due).
    platform::RunLoop::main().drain();
    if (session->standing()) {
        session->reset(*queried);
    } else {
        delete session;
        session = nullptr;
        platform::RunLoop::main().drain();
    }
    return 0;
}
