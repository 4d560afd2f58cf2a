// What the simulator can send on command to play a broken or hostile dealer
// (raw texts and broken envelopes, replies with data of the test's choosing,
// quote floods, broken web answers), and that its control interface itself
// survives what it is sent.
#include <gtest/gtest.h>

#include <openssl/evp.h>

#include <chrono>

#include "tests/tools/SimSession.h"

using kavtest::DealerSim;
using kavtest::SimJson;
using kavtest::SimService;
using namespace simtest;

namespace {

// The cipher bytes of an envelope, deciphered without looking at the padding.
std::string rawDecipher(const std::string& sealed, const std::string& key) {
    const std::string bytes = [&] {
        std::string out(sealed.size(), '\0');
        const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                      reinterpret_cast<const unsigned char*>(sealed.data()),
                                      static_cast<int>(sealed.size()));
        out.resize(n < 0 ? 0 : static_cast<size_t>(n));
        // EVP_DecodeBlock counts the bytes the "=" padding stands for.
        for (size_t i = sealed.size(); i > 0 && sealed[i - 1] == '='; --i)
            out.pop_back();
        return out;
    }();
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    std::string k = key;
    k.resize(16, '\0');
    EVP_DecryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr,
                       reinterpret_cast<const unsigned char*>(k.data()), nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    std::string plain(bytes.size() + 16, '\0');
    int n = 0, m = 0;
    EVP_DecryptUpdate(ctx, reinterpret_cast<unsigned char*>(plain.data()), &n,
                      reinterpret_cast<const unsigned char*>(bytes.data()),
                      static_cast<int>(bytes.size()));
    EVP_DecryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(plain.data()) + n, &m);
    EVP_CIPHER_CTX_free(ctx);
    plain.resize(static_cast<size_t>(n + m));
    return plain;
}

}  // namespace

TEST(DealerSimHostile, TheControlInterfaceAnswersWhatItCannotTakeAndKeepsServing) {
    DealerSim sim;
    struct Case {
        const char* name;
        std::string body;
        int status;
    };
    const std::vector<Case> cases = {
        {"invalid UTF-8", "{\"event\": \"\xFF\xFE\"}", 400},
        {"invalid UTF-8 outside a string", "{\xC3\x28: 1}", 400},
        {"nested 100,000 deep", std::string(100000, '[') + std::string(100000, ']'), 400},
        {"objects nested deep",
         [] {
             std::string s;
             for (int i = 0; i < 100000; ++i)
                 s += "{\"a\":";
             return s + "1" + std::string(100000, '}');
         }(),
         400},
        {"over 8 MiB", "{\"pad\": \"" + std::string(9u << 20, 'x') + "\"}", 413},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto answer = sim.rawCall("POST", "/push", c.body);
        EXPECT_EQ(answer.status, c.status);
        EXPECT_TRUE(SimJson::parse(answer.body).contains("error")) << answer.body;
        // Still there, and still itself.
        EXPECT_TRUE(sim.call("GET", "/state").contains("ports"));
    }
    // A large body within the limit is taken whole.
    Session s = logIn(sim);
    const std::string big(2u << 20, 'b');
    EXPECT_EQ(sim.push(SimService::Trade, "4999", {{"pad", big}}), 1);
    EXPECT_EQ(s.trade->nextPush("4999")["data"]["pad"].get<std::string>().size(), big.size());
}

TEST(DealerSimHostile, RawTextsAndBrokenEnvelopesGoOutAsAsked) {
    DealerSim sim;
    Session s = logIn(sim);
    EXPECT_EQ(sim.sendText(SimService::Trade, "ab"), 1);
    EXPECT_EQ(s.trade->nextText(), std::optional<std::string>("ab"));
    sim.sendText(SimService::Trade, "no json at all");
    EXPECT_EQ(s.trade->nextText(), std::optional<std::string>("no json at all"));

    sim.sendText(SimService::Trade, "{\"event\":\"4999\"}", "sealed");
    const auto sealed = s.trade->nextText();
    ASSERT_TRUE(sealed);
    EXPECT_EQ(s.trade->decipher(*sealed), "{\"event\":\"4999\"}");

    // The same text with a padding whose last byte is 0: well-formed Base64
    // of whole blocks that a strict reader must refuse.
    sim.sendText(SimService::Trade, "{\"event\":\"4999\"}", "badPadding");
    const auto broken = s.trade->nextText();
    ASSERT_TRUE(broken);
    const std::string plain = rawDecipher(*broken, sim.key());
    ASSERT_EQ(plain.size(), 32u);
    EXPECT_EQ(plain.substr(0, 16), "{\"event\":\"4999\"}");
    EXPECT_EQ(plain.back(), '\0');

    // Lines to the compressed quote service, whatever they hold.
    SimClient lines(sim.serviceUrl(SimService::CompressedQuote), sim.key());
    ASSERT_TRUE(sim.waitForConnections(SimService::CompressedQuote, 1));
    EXPECT_EQ(sim.sendText(SimService::CompressedQuote, "0,1,2"), 1);
    EXPECT_EQ(lines.nextText(), std::optional<std::string>("0,1,2"));

    EXPECT_THROW(sim.call("POST", "/send", {{"service", "trade"}}), std::runtime_error);
    EXPECT_THROW(
        sim.call("POST", "/send", {{"service", "trade"}, {"text", "x"}, {"envelope", "rot13"}}),
        std::runtime_error);
}

TEST(DealerSimHostile, RepliesCarryTheDataTheTestGives) {
    DealerSim sim;
    // A login reply without data, and one with an empty compressed quote address.
    sim.replyData("1003", SimJson::object());
    Json bare = loginRequest(sim, "1001", "123456");
    EXPECT_EQ(bare["retCode"], "0");
    EXPECT_EQ(bare["data"], Json::object());
    sim.replyData("1003", {{"new_quotedproxy", ""}}, true);
    Json merged = loginRequest(sim, "1001", "123456");
    EXPECT_EQ(merged["data"]["new_quotedproxy"], "");
    EXPECT_EQ(merged["data"]["tradeproxy"], sim.serviceUrl(SimService::Trade));

    // History rows too short to be bars.
    Session s = logIn(sim);
    sim.replyData("2023", {{"children", {{{"row", "1,2"}}, {{"row", ""}}}}});
    Json rows = s.history->request(
        "2023", s.list(), {},
        {{"symbolCode", "EURUSD"}, {"barCount", "-10"}, {"period", "4"}, {"time", ""}}, false);
    EXPECT_EQ(children(rows), Json::array({{{"row", "1,2"}}, {{"row", ""}}}));
    EXPECT_THROW(sim.call("POST", "/faults", {{"event", "2001"}, {"action", "data"}}),
                 std::runtime_error);
}

TEST(DealerSimHostile, AFloodRunsAtItsRateForItsTimeOrAtFullSpeed) {
    DealerSim sim;
    Session s = logIn(sim);
    SimJson state = sim.flood(SimService::Quote, 500, 0.2);
    EXPECT_TRUE(state["active"].get<bool>());
    for (int i = 0; i < 20; ++i) {
        const Json quote = s.quote->nextPush("4002")["data"]["children"];
        ASSERT_EQ(quote.size(), 1u);
        EXPECT_TRUE(quote[0].contains("priceCurrent"));
    }
    // It ends by itself; what it sent was counted.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sim.floodState()["active"].get<bool>() && std::chrono::steady_clock::now() < deadline) {
    }
    state = sim.floodState();
    EXPECT_FALSE(state["active"].get<bool>());
    EXPECT_GE(state["sent"].get<int>(), 20);
    EXPECT_GT(state["bytes"].get<int>(), 20 * 100);

    // At full speed on the compressed service, until stopped.
    SimClient lines(sim.serviceUrl(SimService::CompressedQuote), sim.key());
    ASSERT_TRUE(sim.waitForConnections(SimService::CompressedQuote, 1));
    sim.flood(SimService::CompressedQuote);
    for (int i = 0; i < 200; ++i) {
        const auto line = lines.nextText();
        ASSERT_TRUE(line);
        EXPECT_EQ(line->substr(0, 2), "0,");
    }
    state = sim.stopFlood();
    EXPECT_FALSE(state["active"].get<bool>());
    EXPECT_GE(state["sent"].get<int>(), 200);
    EXPECT_THROW(sim.flood(SimService::Trade), std::runtime_error);
}

TEST(DealerSimHostile, WebAnswersCanBeEmptyNoJsonFailingOrLate) {
    DealerSim sim;
    const std::string lookup = sim.dealerUrl() + "/getdealer.php?key=KAVFX";
    sim.webFault("dealer", "empty");
    HttpResult empty = httpGet(lookup);
    EXPECT_EQ(empty.status, 200);
    EXPECT_EQ(empty.body, "");
    sim.webFault("dealer", "garbage");
    HttpResult page = httpGet(lookup);
    EXPECT_EQ(page.status, 200);
    EXPECT_FALSE(Json::accept(page.body));
    sim.webFault("logo", "status", 1, 0, 503);
    EXPECT_EQ(httpGet(sim.dealerUrl() + "/KAVFX/logo.png").status, 503);
    // One time each: then the normal answers again.
    EXPECT_EQ(Json::parse(httpGet(lookup).body)["retCode"], "0");

    // Late, but the answer itself.
    sim.webFault("dealer", "slow", 1, 300);
    const auto start = std::chrono::steady_clock::now();
    HttpResult late = httpGet(lookup);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(Json::parse(late.body)["data"]["dealerKey"], "KAVFX");
    EXPECT_EQ(sim.httpRequests("dealer").size(), 4u);
}
