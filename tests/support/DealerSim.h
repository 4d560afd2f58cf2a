#pragma once

// Runs the simulated dealer (bin/dealer-sim) as a child process for a test
// and drives it through its control interface. Every control call returns
// only after the simulator has carried it out, so a test never sleeps: it
// scripts the dealer, then runs its own code until the expected effect shows.
//
//   kavtest::DealerSim sim;                        // free ports, no automatic quotes
//   client.login(sim.realLoginUrl(), "1001", "123456");
//   sim.fail("3001", "3104", "可用保证金不足");      // the next market order is refused
//   sim.setQuote("EURUSD", 1.10250);               // quote push, fills and stops follow
//   auto orders = sim.waitForPackages("3001", 1);  // what the client sent, deciphered
//
// The simulator knows the demo accounts "1001" and "1002" (password
// "123456"), the symbols EURUSD (5 decimals), USDJPY (3), XAUUSD (2) and US30
// (1), and the dealer keys "KAVFX", "kavdemo" and "GOLDEX"; see
// tools/dealer-sim/README.md for every record and retCode it produces.

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace kavtest {

using SimJson = nlohmann::ordered_json;

// The dealer's WebSocket services, each on its own port.
enum class SimService { Login, Trade, Quote, CompressedQuote, Message, History };
// The service's name on the control interface ("login", "trade", "quote",
// "cquote", "msg", "history").
const char* simServiceName(SimService s);

struct DealerSimOptions {
    uint64_t seed = 1;
    double quoteRate = 0;     // quote steps per second; 0: only tick() and setQuote() move prices
    bool tls = false;         // wss:// and https:// with a generated certificate (certPath())
    bool compressed = false;  // login replies name the compressed quote service
    bool plain = false;       // answer plain text on every service
    std::string key;          // package key; empty: DealerSim::kDefaultKey
    std::string iv;           // package IV; empty: DealerSim::kDefaultIv
    std::string dataDir;      // keeps registered users; empty: nothing kept
    int historyDays = 3;      // minute history before the start
    std::vector<std::string> extraArgs;
};

// One package the simulator received.
struct SimPackage {
    int64_t seq = 0;      // order of arrival over all services
    double time = 0;      // seconds since 1970
    std::string service;  // "login", "trade", ...
    int conn = 0;         // connection id (see connections())
    std::string path;     // request target of the connection's handshake
    std::string raw;      // as it arrived
    std::string text;     // deciphered (equal to raw for plain text)
    bool enciphered = false;
    std::string event;
    std::string msgOrder;
    std::string error;  // why the simulator refused it; empty when well-formed

    // The package text parsed (null when it is not JSON).
    SimJson json() const;
    // A member of the package's "data" (as text), or nothing.
    std::optional<std::string> data(const std::string& key) const;
    // A member of the object in "data"."children", or nothing.
    std::optional<std::string> child(const std::string& key) const;
};

// A scripted fault on request replies (see the README's control interface).
struct SimFault {
    std::string event = "*";      // request event code, "*" for every request
    std::string action = "fail";  // fail, delay, hold, drop, twice, wrongOrder, numbers
    std::optional<SimService> service;
    std::string retCode = "9999";
    std::string message = "模拟故障";
    int delayMs = 0;
    std::string msgOrder;  // for wrongOrder; empty: the request's + 1000
    int times = 1;         // -1: until cleared
    SimJson data;          // for data: the reply's "data" (null: none given)
    bool merge = false;    // for data: add these members instead of replacing "data"
};

// A control call's answer as it came: the status and the body.
struct SimHttpAnswer {
    int status = 0;
    std::string body;
};

class DealerSim {
  public:
    static constexpr const char* kDefaultKey = "KAVTrader2015Key";
    static constexpr const char* kDefaultIv = "0102030405060708";

    // Starts the process and waits for its addresses (throws on failure).
    explicit DealerSim(DealerSimOptions options = {});
    // Stops the process.
    ~DealerSim();
    DealerSim(const DealerSim&) = delete;
    DealerSim& operator=(const DealerSim&) = delete;

    // ---- addresses ----
    std::string loginUrl() const;      // ws://127.0.0.1:P/ (any path is accepted)
    std::string demoLoginUrl() const;  // the dealers' demo host: <login>demo
    std::string realLoginUrl() const;  // the dealers' real host: <login>real
    std::string serviceUrl(SimService s) const;
    std::string dealerUrl() const;    // dealer-definition base: http://127.0.0.1:P/dealer
    std::string registerUrl() const;  // registration base: http://127.0.0.1:P
    std::string controlUrl() const;
    std::string certPath() const;  // PEM certificate when started with tls
    const std::string& key() const { return key_; }
    const std::string& iv() const { return iv_; }

    // A raw control call; throws std::runtime_error on a transport failure or
    // an answer other than 200.
    SimJson call(const std::string& method, const std::string& target,
                 const SimJson& body = SimJson(), int timeoutMs = 10000);
    // The same with a body of any bytes and any answer; throws only on a
    // transport failure.
    SimHttpAnswer rawCall(const std::string& method, const std::string& target,
                          const std::string& body, int timeoutMs = 10000);

    // Back to the state of a fresh start: connections closed, desk, quotes,
    // faults, logs and settings reset.
    void reset();

    // ---- faults on replies (each returns the fault's id) ----
    int addFault(const SimFault& fault);
    // The next `times` requests of `event` are refused with the retCode and
    // message and change nothing.
    int fail(const std::string& event, const std::string& retCode, const std::string& message,
             int times = 1);
    int delayReply(const std::string& event, int ms, int times = 1);
    // The reply is kept back until releaseHeld(); the request takes effect at once.
    int holdReply(const std::string& event, int times = 1);
    void releaseHeld();
    // The request takes effect, its reply is never sent.
    int dropReply(const std::string& event, int times = 1);
    int answerTwice(const std::string& event, int times = 1);
    int wrongOrder(const std::string& event, const std::string& msgOrder = "", int times = 1);
    // The reply carries its numbers (msgOrder included) as JSON numbers.
    int numbersInReply(const std::string& event, int times = 1);
    // The reply carries `data` as its "data" (with merge: gains its members).
    int replyData(const std::string& event, const SimJson& data, bool merge = false, int times = 1);
    void clearFaults();  // also the connection faults

    // ---- settings ----
    void setNumbersAsNumbers(bool on);  // every reply and push
    void setCompressed(bool on);        // login replies name the compressed quote service
    void omitHistoryAddress(bool on);   // login replies leave out "hisQuoted"
    void setPushesFirst(bool on);       // a request's pushes go out before its reply
    // A login ends the user's earlier sessions with a 4010 push on their
    // trading connections.
    void setEndEarlierSessions(bool on);
    void setEncipher(SimService s, bool on);
    void setQuoteRate(double hz);

    // ---- connections ----
    int closeConnections(SimService s, int code = 1000, const std::string& reason = "");
    int resetConnections(SimService s);
    void refuseConnections(SimService s, int count);  // -1: until cleared
    void stallHandshakes(SimService s, int count);    // -1: until cleared
    std::vector<SimJson> connections(std::optional<SimService> s = std::nullopt,
                                     bool loggedInOnly = false);
    // Waits until at least `min` connections of the service are open.
    bool waitForConnections(SimService s, size_t min, bool loggedInOnly = false,
                            int timeoutMs = 5000);

    // ---- session ----
    int invalidateTokens(const std::string& uid = "");  // the next token checks fail
    // Sends a package to every open connection of the service (of `uid`
    // only, when given); returns how many got it.
    int push(SimService s, const std::string& event, const SimJson& data = SimJson::object(),
             const std::string& retCode = "0", const std::string& message = "",
             const std::string& uid = "");
    // Sends a text as it stands ("plain"), sealed in the envelope ("sealed"),
    // or sealed with a broken padding ("badPadding"); returns how many
    // connections got it.
    int sendText(SimService s, const std::string& text, const std::string& envelope = "plain",
                 const std::string& uid = "");

    // ---- flood ----
    // Quote messages to every connection of the quote or compressed quote
    // service, `rate` per second to each (0: as fast as each takes them), for
    // `seconds` (0: until stopped).
    SimJson flood(SimService s, double rate = 0, double seconds = 0, const std::string& uid = "");
    SimJson stopFlood();
    // {"active", "sent", "bytes", "skipped", "connections": [{"id", "queued", "stalledMs"}]}
    SimJson floodState();

    // ---- web services ----
    // The next `times` requests of a kind ("dealer", "logo", "register",
    // "reset", "other", "*") are answered with an empty 200 ("empty"), a page
    // that is no JSON ("garbage"), an empty answer of `status` ("status"), or
    // their own answer `delayMs` late ("slow").
    void webFault(const std::string& kind, const std::string& action, int times = 1,
                  int delayMs = 12000, int status = 500);
    // The next `times` requests of the kind get this answer instead of
    // their own ("answer").
    void webAnswer(const std::string& kind, int status, const std::string& body,
                   const std::string& contentType = "text/html; charset=utf-8", int times = 1);
    // The next request of the kind gets its own answer only at releaseHeld()
    // ("hold").
    void holdWeb(const std::string& kind, int times = 1);

    // ---- market and desk ----
    SimJson setQuote(const std::string& symbol, double price);  // current price; bid/ask follow
    SimJson setBid(const std::string& symbol, double bid);
    SimJson setAsk(const std::string& symbol, double ask);
    // Changes a symbol's trading rules ("minTradeQuantity", "maxTradeQuantity",
    // "maxPointOffset", "pointAsk", "pointBid") and pushes its new record
    // (4004) to every user; answers the record.
    SimJson redefineSymbol(const std::string& symbol, const SimJson& changes);
    SimJson tick(int count = 1,
                 const std::string& symbol = "");  // steps of the walk; returns all quotes
    SimJson quotes();                              // {"EURUSD": {quote record}, ...}
    void addBulletin(const std::string& title, const std::string& content);
    void clearBulletins();  // the bulletin query answers an empty list
    void setRate(const std::string& base, const std::string& exchange, double rate);
    // {"accounts", "tickets", "orders", "positions", "closed"} of a user, as the queries answer
    // them.
    SimJson desk(const std::string& uid);

    // ---- what happened ----
    std::vector<SimPackage> packages(std::optional<SimService> s = std::nullopt,
                                     const std::string& event = "");
    // Waits until at least `count` packages of the event have arrived.
    std::vector<SimPackage> waitForPackages(const std::string& event, size_t count,
                                            std::optional<SimService> s = std::nullopt,
                                            int timeoutMs = 5000);
    int heartbeats(SimService s);
    bool waitForHeartbeats(SimService s, int min, int timeoutMs = 5000);
    // HTTP requests to the dealer's web services; kind "dealer", "logo",
    // "register", "reset" or "other", empty for all.
    std::vector<SimJson> httpRequests(const std::string& kind = "");
    std::vector<SimJson> waitForHttpRequests(const std::string& kind, size_t min,
                                             int timeoutMs = 5000);

    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int stdoutFd_ = -1;
    int lifelineFd_ = -1;  // the dealer's standard input; closing it stops the dealer
    std::map<std::string, std::string> lines_;
    std::string key_;
    std::string iv_;
    uint16_t controlPort_ = 0;
};

}  // namespace kavtest
