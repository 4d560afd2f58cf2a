// Quote pushes per second through the whole client path: the dealer's text
// as the connection hands it to the channel, deciphered when enciphered,
// parsed, dispatched, the cached symbol changed and every open ticket of it,
// its position and its account re-priced and reported to a delegate. With
// 0, 10 and 1,000 open tickets on the quoted symbol; and the parsing alone.
// Beside them the floor: the parser's own on-demand reading of the same
// package, and for the tickets a flat re-pricing of as many. Prints figures;
// not a test.
#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <memory>
#include <string>
#include <vector>

#include "Core/KAVCrypt.h"
#include "Core/SDK/KAVBizSDK.h"
#include "Core/WebSocket/KAVWebSocketFrames.h"
#include "bench/BenchConnection.h"
#include "platform/Json.h"
#include "platform/Log.h"

using platform::Json;

namespace {

using kavbench::BenchConnection;

// Takes every re-pricing report; the last one of a quote is the account's.
struct BenchDelegate : WSPushMessage {
    void onQuotedReceived(const MODList<MODSymbolInfo>& l) override { calls += l.size(); }
    void onHoldBillChange(const MODList<MODHoldBill>& l) override { calls += l.size(); }
    void onHoldPositionChange(const MODList<MODHoldPosition>& l) override { calls += l.size(); }
    void onAccountChange(const MODList<MODUserAccount>& l) override { calls += l.size(); }
    void onLimitBillChange(const MODList<MODLimitBill>& l) override { calls += l.size(); }
    size_t calls = 0;
};

std::string packageText(const std::string& event, const std::string& msgOrder, Json children) {
    Json p = {{"event", event},
              {"token", ""},
              {"msgOrder", msgOrder},
              {"retCode", "0"},
              {"message", ""},
              {"encrypt", "0"},
              {"data", {{"children", std::move(children)}}}};
    return p.dump();
}

// A quote as the dealer sends it: every value a text.
std::string quoteText(const std::string& price) {
    return packageText("4002", "0",
                       Json::array({Json{{"symbolCode", "EURUSD"},
                                         {"symbolId", "1"},
                                         {"bid", price},
                                         {"ask", price},
                                         {"priceCurrent", price},
                                         {"priceOpen", "1.10000"},
                                         {"priceHighest", "1.10800"},
                                         {"priceLowest", "1.09500"},
                                         {"priceClose", "1.09900"},
                                         {"dailyHight", "1.10800"},
                                         {"dailyLow", "1.09500"},
                                         {"upOrDown", "1"},
                                         {"volume", "12345"},
                                         {"lastTime", "2026-01-05 10:00:00"}}}));
}

std::string symbolCode(int i) {
    return i == 0 ? std::string("EURUSD") : "SYM" + std::to_string(i);
}

// A logged-in service object with one account, `symbols` symbols (the
// quoted one is EURUSD), a position on each and `tickets` open tickets
// spread evenly over them, and a quote channel.
struct Session {
    Session(int tickets, int symbols, bool enciphered) {
        sdk->setConnectionFactory([this](const std::string&) {
            connections.push_back(std::make_shared<BenchConnection>());
            return connections.back();
        });
        sdk->setDelegate(delegate);

        auto trader = sdk->createWSWithKey(KAVBizSDK::kWSTrader, 1, 10);
        trader->open("ws://bench/trade", {}, sdk->pushBlock());
        auto& trade = *connections.back();
        trade.fireOpen();
        const auto answer = [&](Json children) {
            KAVPackage request;
            request.fromJSON(trade.sent);
            trade.fireText(KAVWebSocketMessage::text(
                packageText("x", std::to_string(request.msgOrder()), std::move(children))));
        };
        sdk->queryAccountOnSuccess({}, {});
        answer(Json::array({Json{{"accId", "1001"},
                                 {"amMarginRemain", "100000"},
                                 {"amMarginUsed", "2000"},
                                 {"riskType", "2"},
                                 {"riskCustomWarning", "1.5"},
                                 {"riskCustomCut", "0.5"},
                                 {"currencyCode", "USD"}}}));
        sdk->querySymbolOnSuccess({}, {});
        Json symbolRecords = Json::array();
        for (int s = 0; s < symbols; ++s) {
            symbolRecords.push_back(Json{{"symbolCode", symbolCode(s)},
                                         {"symbolId", std::to_string(s + 1)},
                                         {"accId", "1001"},
                                         {"decimal", "5"},
                                         {"pointAsk", "10"},
                                         {"pointBid", "10"},
                                         {"symbolType", "1"},
                                         {"unit", "100000"},
                                         {"symbolCurrency", "USD"},
                                         {"ask", "1.10010"},
                                         {"bid", "1.09990"}});
        }
        answer(std::move(symbolRecords));
        Json bills = Json::array();
        for (int i = 0; i < tickets; ++i) {
            const int s = i % symbols;
            bills.push_back(Json{{"orderCode", std::to_string(100000 + i)},
                                 {"accId", "1001"},
                                 {"symbolId", std::to_string(s + 1)},
                                 {"symbolCode", symbolCode(s)},
                                 {"bsCode", (i / symbols) % 2 ? "s" : "b"},
                                 {"quantityHold", "1"},
                                 {"priceOpen", "1.10000"},
                                 {"priceHold", "1.10000"}});
        }
        trade.fireText(KAVWebSocketMessage::text(packageText("4016", "0", std::move(bills))));
        Json positions = Json::array();
        for (int s = 0; s < symbols; ++s)
            positions.push_back(
                Json{{"symbolCode", symbolCode(s)}, {"quantityBuy", "1"}, {"moneyBuy", "110000"}});
        trade.fireText(KAVWebSocketMessage::text(packageText("4022", "0", std::move(positions))));

        auto quoted = sdk->createWSWithKey(KAVBizSDK::kWSQuoted, enciphered ? 0 : 1, 10);
        quoted->open("ws://bench/quote", {}, sdk->pushBlock());
        quotes = connections.back();
        quotes->fireOpen();
        for (const char* price : {"1.10100", "1.10200"}) {
            std::string text = quoteText(price);
            if (enciphered)
                text = KAVCrypt::encrypt(text, KAVCrypt::kPackageKey, KAVCrypt::kPackageIV);
            // As the connection's frame reader hands a message on: with
            // room to spare behind it.
            text.reserve(text.size() + kavws::FrameReader::kRoomBehind);
            texts.push_back(KAVWebSocketMessage::text(std::move(text)));
        }
        delegate->calls = 0;
    }
    ~Session() { sdk->stopConnect(); }

    std::shared_ptr<KAVBizSDK> sdk = std::make_shared<KAVBizSDK>();
    std::shared_ptr<BenchDelegate> delegate = std::make_shared<BenchDelegate>();
    std::vector<std::shared_ptr<BenchConnection>> connections;
    std::shared_ptr<BenchConnection> quotes;
    std::vector<KAVWebSocketMessage> texts;
};

void BM_QuotePush(benchmark::State& state) {
    platform::LogCapture quiet;
    const int tickets = static_cast<int>(state.range(0));
    const int symbols = static_cast<int>(state.range(2));
    Session session(tickets, symbols, state.range(1) != 0);
    size_t i = 0;
    for (auto _ : state)
        session.quotes->fireText(session.texts[i++ & 1]);
    // Symbol, its tickets, position and account reported for every quote.
    const int onSymbol = tickets / symbols + (tickets % symbols > 0 ? 1 : 0);
    const size_t perQuote = 1 + (onSymbol ? static_cast<size_t>(onSymbol) + 2 : 0);
    if (session.delegate->calls != perQuote * static_cast<size_t>(state.iterations()))
        state.SkipWithError("a quote was not fully reported");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QuotePush)
    ->ArgNames({"tickets", "enciphered", "symbols"})
    ->ArgsProduct({{0, 10, 1000}, {0, 1}, {1}})
    ->Args({1000, 0, 20})
    ->Args({1000, 1, 20});

// The floor of a quote push: the same package read with the parser's
// on-demand interface, in one pass over the members as they come (the
// envelope's texts and order, each quote's code, prices and time), with
// nothing dispatched, cached or reported; and with `tickets`, a flat
// re-pricing of that many tickets at the new price (one column each of
// open prices, signed lots and sides, the profits summed).
//
// With `records`, the re-pricing also writes each ticket's profits and
// closing price into its record in a service object's cache, the records
// the push writes, as the screens need them: what the records alone add.
void quotePushFloor(benchmark::State& state, const std::vector<MODHoldBill*>* records) {
    namespace od = simdjson::ondemand;
    const size_t tickets = static_cast<size_t>(state.range(0));
    const simdjson::padded_string texts[2] = {simdjson::padded_string(quoteText("1.10100")),
                                              simdjson::padded_string(quoteText("1.10200"))};
    std::vector<double> open(tickets, 1.1), lots(tickets), atBid(tickets), profit(tickets);
    for (size_t t = 0; t < tickets; ++t) {
        lots[t] = t % 2 ? -1.0 : 1.0;
        atBid[t] = t % 2 ? 0.0 : 1.0;
    }
    od::parser parser;
    std::string event, code, lastTime;
    int64_t order = 0;
    double current = 0, extremes[4] = {};
    size_t i = 0;
    size_t quotes = 0;
    for (auto _ : state) {
        od::document doc = parser.iterate(texts[i++ & 1]);
        for (auto member : doc.get_object()) {
            const std::string_view key = member.unescaped_key();
            if (key == "event") {
                event = std::string_view(member.value().get_string());
            } else if (key == "msgOrder") {
                order = member.value().get_int64_in_string();
            } else if (key == "data") {
                for (auto dataMember : member.value().get_object()) {
                    if (std::string_view(dataMember.unescaped_key()) != "children") continue;
                    for (auto child : dataMember.value().get_array()) {
                        for (auto field : child.get_object()) {
                            const std::string_view name = field.unescaped_key();
                            if (name == "symbolCode") {
                                code = std::string_view(field.value().get_string());
                            } else if (name == "priceCurrent") {
                                current = field.value().get_double_in_string();
                            } else if (name == "priceHighest") {
                                extremes[0] = field.value().get_double_in_string();
                            } else if (name == "priceLowest") {
                                extremes[1] = field.value().get_double_in_string();
                            } else if (name == "dailyHight") {
                                extremes[2] = field.value().get_double_in_string();
                            } else if (name == "dailyLow") {
                                extremes[3] = field.value().get_double_in_string();
                            } else if (name == "lastTime") {
                                lastTime = std::string_view(field.value().get_string());
                            }
                        }
                        ++quotes;
                    }
                }
            }
        }
        double sum = 0;
        const double bid = current - 0.0001, ask = current + 0.0001;
        if (records) {
            for (size_t t = 0; t < tickets; ++t) {
                const double close = atBid[t] != 0 ? bid : ask;
                const double p = lots[t] * (close - open[t]) * 100000.0;
                MODHoldBill& record = *(*records)[t];
                record.dynProfitPrice = record.dynProfit = record.dynProfitTotal = p;
                record.markPrice = close;
                sum += p;
            }
        } else {
            for (size_t t = 0; t < tickets; ++t) {
                profit[t] = lots[t] * ((atBid[t] != 0 ? bid : ask) - open[t]) * 100000.0;
                sum += profit[t];
            }
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(profit.data());
        benchmark::DoNotOptimize(extremes);
        benchmark::DoNotOptimize(order);
    }
    if (quotes != static_cast<size_t>(state.iterations()) || code != "EURUSD" || event != "4002")
        state.SkipWithError("the package was not read");
    state.SetItemsProcessed(state.iterations());
}
void BM_QuotePushFloor(benchmark::State& state) {
    quotePushFloor(state, nullptr);
}
BENCHMARK(BM_QuotePushFloor)->ArgNames({"tickets"})->Arg(0)->Arg(1000);

void BM_QuotePushFloorWritingRecords(benchmark::State& state) {
    platform::LogCapture quiet;
    const int tickets = static_cast<int>(state.range(0));
    Session session(tickets, 1, false);
    std::vector<MODHoldBill*> records;
    for (int i = 0; i < tickets; ++i) {
        const auto record = session.sdk->getHoldBillWith(std::to_string(100000 + i));
        if (!record) {
            state.SkipWithError("a ticket is not cached");
            return;
        }
        records.push_back(record.get());
    }
    quotePushFloor(state, &records);
}
BENCHMARK(BM_QuotePushFloorWritingRecords)->ArgNames({"tickets"})->Arg(1000);

void BM_QuoteParseOnly(benchmark::State& state) {
    const bool enciphered = state.range(0) != 0;
    const std::string plain = quoteText("1.10100");
    const std::string text =
        enciphered ? KAVCrypt::encrypt(plain, KAVCrypt::kPackageKey, KAVCrypt::kPackageIV) : plain;
    const KAVCrypt crypt(KAVCrypt::kPackageKey);
    for (auto _ : state) {
        KAVPackage package;
        if (enciphered) {
            package.fromJSON(*crypt.decrypt(text));
        } else {
            package.fromJSON(text);
        }
        benchmark::DoNotOptimize(package.getValue("children"));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QuoteParseOnly)->ArgNames({"enciphered"})->Arg(0)->Arg(1);

// The envelope of an enciphered quote: its Base64 and its cipher apart.
void BM_EnvelopeBase64Decode(benchmark::State& state) {
    const std::string text =
        KAVCrypt::encrypt(quoteText("1.10100"), KAVCrypt::kPackageKey, KAVCrypt::kPackageIV);
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::crypto::base64Decode(text));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_EnvelopeBase64Decode);

void BM_EnvelopeAesDecrypt(benchmark::State& state) {
    const auto blocks = platform::crypto::base64Decode(
        KAVCrypt::encrypt(quoteText("1.10100"), KAVCrypt::kPackageKey, KAVCrypt::kPackageIV));
    const auto aes = platform::crypto::AesEcb::create(KAVCrypt::kPackageKey);
    for (auto _ : state)
        benchmark::DoNotOptimize(aes->decrypt(*blocks));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(blocks->size()));
}
BENCHMARK(BM_EnvelopeAesDecrypt);

}  // namespace

BENCHMARK_MAIN();
