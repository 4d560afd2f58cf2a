#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <boost/asio/steady_timer.hpp>

#include "tools/dealer-sim/Desk.h"
#include "tools/dealer-sim/Envelope.h"
#include "tools/dealer-sim/Market.h"
#include "tools/dealer-sim/Network.h"
#include "tools/dealer-sim/Package.h"

namespace dealersim {

// The package key and IV the client uses by default.
inline constexpr const char* kDefaultKey = "KAVTrader2015Key";
inline constexpr const char* kDefaultIv = "0102030405060708";
inline constexpr int kDefaultPortBase = 17800;

struct Options {
    uint64_t seed = 1;
    int portBase = kDefaultPortBase;  // 0: free ports
    std::string bind = "127.0.0.1";
    bool tls = false;
    std::string tlsCert;  // PEM files to use instead of a generated pair
    std::string tlsKey;
    bool compressed = false;  // name the compressed quote service in login replies
    double quoteRate = 1.0;   // quote steps per second; 0 stops the stream
    std::string dataDir;      // certificates and registered users; empty: a temporary folder
    std::string key = kDefaultKey;
    std::string iv = kDefaultIv;
    bool plain = false;  // answer plain text on every service
    int historyDays = 30;
    bool quiet = false;  // no log line per request
    // Stop when standard input ends: a harness hands in a pipe whose other end
    // only it holds, so the dealer goes when the harness's process goes, however
    // it ends (a crash or SIGKILL runs no destructor).
    bool exitWithStdin = false;
};

// Parses the command line; nothing with `error` set on bad input.
std::optional<Options> parseOptions(int argc, char** argv, std::string* error, bool* help);
std::string usage();

// The whole simulated dealer on one io_context thread: six WebSocket
// services, the dealer's HTTP services and the control interface.
class Simulator : public WsHost {
  public:
    Simulator(net::io_context& io, Options options);
    ~Simulator() override;

    // Binds every port (throws std::system_error when one is taken) and
    // writes the address lines to `out`.
    void start(std::ostream& out);

    uint16_t port(Service s) const { return ports_[static_cast<int>(s)]; }
    std::string serviceUrl(Service s) const;
    std::string host() const;      // the address written into URLs
    std::string httpBase() const;  // scheme, host and port of the HTTP services

    // WsHost
    bool refuseConnection(Service s) override;
    bool stallHandshake(Service s) override;
    void opened(const std::shared_ptr<WsPeer>& peer) override;
    void received(const std::shared_ptr<WsPeer>& peer, std::string text, bool binary) override;
    void closed(const std::shared_ptr<WsPeer>& peer) override;

  private:
    struct Session {
        std::string uid;
    };
    struct TokenInfo {
        std::string sid;
        std::string uid;
        Service service = Service::Trade;
        bool valid = true;
    };
    enum class FaultAction { Fail, Delay, Hold, Drop, Twice, WrongOrder, Numbers, Data };
    struct Fault {
        int id = 0;
        std::string event;  // "*" for every event
        std::optional<Service> service;
        FaultAction action = FaultAction::Fail;
        std::string retCode;
        std::string message;
        int delayMs = 0;
        std::string msgOrder;  // wrong order to answer with; empty: request's + 1000
        int times = 1;         // -1: until cleared
        Json data;             // Data: what the reply's "data" becomes (or gains, with merge)
        bool merge = false;
    };
    // A fault of the web services: how the next requests of a kind are answered.
    enum class WebFaultAction { Empty, Garbage, Slow, Status, Answer, Hold };
    struct WebFault {
        std::string kind;  // dealer, logo, register, reset, other, or "*"
        WebFaultAction action = WebFaultAction::Empty;
        int delayMs = 12000;      // Slow: the normal answer, this much later
        int status = 500;         // Status: this status and an empty body
        std::string body;         // Answer: this body, with the status,
        std::string contentType;  // of this type
        int times = 1;            // -1: until cleared
    };
    // A stream of quote messages to every connection of a service, at a rate
    // or as fast as each connection takes them.
    struct Flood {
        bool active = false;
        Service service = Service::Quote;
        std::string uid;  // only this user's connections, when set
        double rate = 0;  // messages per second to each connection; 0: full speed
        std::optional<std::chrono::steady_clock::time_point> until;
        std::vector<std::string> texts;  // sent in turn
        size_t next = 0;
        uint64_t sent = 0, bytes = 0, skipped = 0;
        double credit = 0;
        std::chrono::steady_clock::time_point last;
    };
    struct ConnectionFaults {
        int refuse = 0;
        int stall = 0;
    };
    struct Waiter {
        std::function<bool()> ready;
        std::function<void(bool timedOut)> answer;
        std::unique_ptr<net::steady_timer> timer;
        bool done = false;
    };

    // requests
    void handle(const std::shared_ptr<WsPeer>& peer, const Request& req);
    Outcome dispatch(const std::shared_ptr<WsPeer>& peer, const Request& req);
    Outcome login(const Request& req);
    Outcome proxyLogin(const std::shared_ptr<WsPeer>& peer, const Request& req);
    void endSessionsOf(const std::string& uid);
    Outcome tokenCheck(const std::shared_ptr<WsPeer>& peer, const Request& req);
    Outcome history(const Request& req);
    const Session* session(const Request& req) const;
    void sendReply(const std::shared_ptr<WsPeer>& peer, const Request& req, const Outcome& out,
                   const Fault* fault);
    std::string wire(Service s, const std::string& text) const;
    void deliver(const std::vector<Push>& pushes);
    void pushTo(Service s, const std::string& uid, const Reply& pkg, bool loggedInOnly);
    Fault* takeFault(Service s, const std::string& event);

    // market
    void stepQuotes(int count, int symbol);
    void publishQuotes(const std::vector<int>& symbols);
    void scheduleQuotes();
    void setQuoteRate(double hz);

    // flood
    void startFlood(Service s, double rate, double seconds, const std::string& uid);
    void stopFlood();
    bool floodReaches(const WsPeer& peer) const;
    void floodFeed(const std::shared_ptr<WsPeer>& peer);
    void floodTick();
    void scheduleFloodTick();
    Json floodState() const;

    // HTTP
    void dealerHttp(const HttpRequest& req, HttpResponder respond);
    void controlHttp(const HttpRequest& req, HttpResponder respond);
    HttpAnswer control(const HttpRequest& req, const Json& body, HttpResponder& respond,
                       bool& deferred);
    void waitFor(std::function<bool()> ready, std::function<Json()> answer, int timeoutMs,
                 HttpResponder respond);
    void checkWaiters();
    void logHttp(const HttpRequest& req, const std::string& kind);
    std::optional<WebFault> takeWebFault(const std::string& kind);

    // state
    void resetState();
    void saveUsers() const;
    std::string newId(int hexDigits);
    Json packageList(const std::map<std::string, std::string>& query) const;
    Json connectionList(const std::map<std::string, std::string>& query) const;
    Json heartbeatCounts() const;
    Json configJson() const;

    net::io_context& io_;
    Options options_;
    Envelope envelope_;
    std::unique_ptr<net::ssl::context> tls_;
    std::string tlsCertPath_;
    std::string tempDir_;
    std::vector<std::shared_ptr<Listener>> listeners_;
    std::array<uint16_t, kServiceCount> ports_{};
    uint16_t httpPort_ = 0;
    uint16_t controlPort_ = 0;

    std::unique_ptr<Market> market_;
    std::unique_ptr<Desk> desk_;
    std::mt19937_64 ids_;
    std::map<int, std::shared_ptr<WsPeer>> peers_;
    int nextPeerId_ = 1;
    std::map<std::string, Session> sessions_;
    std::map<std::string, TokenInfo> tokens_;
    std::vector<Fault> faults_;
    int nextFaultId_ = 1;
    std::array<ConnectionFaults, kServiceCount> connectionFaults_{};
    std::vector<std::function<void()>> held_;
    std::vector<WebFault> webFaults_;
    Flood flood_;
    net::steady_timer floodTimer_;
    uint64_t floodGeneration_ = 0;

    // configuration that control calls change
    bool compressed_ = false;
    bool omitHistory_ = false;
    bool numbersAsNumbers_ = false;
    // A request's pushes go out before its reply, as from a desk that
    // publishes a deal before it answers the request.
    bool pushesFirst_ = false;
    // A login ends the user's earlier sessions: their trading connections get
    // the "logged in elsewhere" push (4010) and the sessions are gone.
    bool endEarlierSessions_ = false;
    std::array<bool, kServiceCount> encipher_{};
    double quoteRate_ = 0;
    net::steady_timer quoteTimer_;
    uint64_t quoteGeneration_ = 0;

    // what happened
    std::vector<Json> packages_;
    std::vector<Json> httpLog_;
    std::array<int, kServiceCount> heartbeats_{};
    int64_t nextSeq_ = 1;
    std::vector<std::shared_ptr<Waiter>> waiters_;
    std::map<std::string, std::string> logos_;  // "KEY/file" -> PNG bytes
};

}  // namespace dealersim
