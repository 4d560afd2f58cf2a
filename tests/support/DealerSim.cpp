#include "tests/support/DealerSim.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/PeerHttp.h"
#include "tests/support/TestSupport.h"

extern char** environ;

namespace kavtest {

const char* simServiceName(SimService s) {
    switch (s) {
        case SimService::Login:
            return "login";
        case SimService::Trade:
            return "trade";
        case SimService::Quote:
            return "quote";
        case SimService::CompressedQuote:
            return "cquote";
        case SimService::Message:
            return "msg";
        case SimService::History:
            return "history";
    }
    return "";
}

// ---- SimPackage ----

SimJson SimPackage::json() const {
    try {
        return SimJson::parse(text);
    } catch (const std::exception&) {
        return SimJson();
    }
}

namespace {

std::optional<std::string> textOf(const SimJson& object, const std::string& key) {
    if (!object.is_object() || !object.contains(key)) return std::nullopt;
    const SimJson& v = object[key];
    if (v.is_string()) return v.get<std::string>();
    if (v.is_number() || v.is_boolean()) return v.dump();
    return std::nullopt;
}

SimPackage packageFrom(const SimJson& j) {
    SimPackage p;
    p.seq = j.value("seq", int64_t(0));
    p.time = j.value("time", 0.0);
    p.service = j.value("service", std::string());
    p.conn = j.value("conn", 0);
    p.path = j.value("path", "");
    p.raw = j.value("raw", std::string());
    p.text =
        j.contains("text") && j["text"].is_string() ? j["text"].get<std::string>() : std::string();
    p.enciphered = j.value("enciphered", false);
    p.event = j.contains("event") && j["event"].is_string() ? j["event"].get<std::string>()
                                                            : std::string();
    p.msgOrder =
        j.contains("msgOrder") && j["msgOrder"].is_string() ? j["msgOrder"].get<std::string>() : "";
    p.error = j.contains("error") && j["error"].is_string() ? j["error"].get<std::string>()
                                                            : std::string();
    return p;
}

std::string serviceQuery(std::optional<SimService> s) {
    return s ? std::string("&service=") + simServiceName(*s) : std::string();
}

}  // namespace

std::optional<std::string> SimPackage::data(const std::string& key) const {
    const SimJson doc = json();
    if (!doc.is_object() || !doc.contains("data")) return std::nullopt;
    return textOf(doc["data"], key);
}

std::optional<std::string> SimPackage::child(const std::string& key) const {
    const SimJson doc = json();
    if (!doc.is_object() || !doc.contains("data") || !doc["data"].is_object()) return std::nullopt;
    const SimJson& data = doc["data"];
    if (!data.contains("children") || !data["children"].is_array() || data["children"].empty())
        return std::nullopt;
    return textOf(data["children"][0], key);
}

// ---- process ----

DealerSim::DealerSim(DealerSimOptions o) {
    key_ = o.key.empty() ? kDefaultKey : o.key;
    iv_ = o.iv.empty() ? kDefaultIv : o.iv;
    const char* override = std::getenv("KAV_DEALER_SIM");
    const std::string program = override ? override : (binDir() / "dealer-sim").string();
    if (!std::filesystem::exists(program))
        throw std::runtime_error("dealer-sim not found at " + program);

    std::ostringstream rate;
    rate << o.quoteRate;
    std::vector<std::string> args = {program,
                                     "--port-base",
                                     "0",
                                     "--seed",
                                     std::to_string(o.seed),
                                     "--quote-rate",
                                     rate.str(),
                                     "--history-days",
                                     std::to_string(o.historyDays),
                                     "--key",
                                     key_,
                                     "--iv",
                                     iv_};
    if (!std::getenv("KAV_DEALER_SIM_VERBOSE")) args.push_back("--quiet");
    if (o.tls) args.push_back("--tls");
    if (o.compressed) args.push_back("--compressed");
    if (o.plain) args.push_back("--plain");
    if (!o.dataDir.empty()) {
        args.push_back("--data-dir");
        args.push_back(o.dataDir);
    }
    for (const auto& a : o.extraArgs)
        args.push_back(a);
    args.push_back("--exit-with-stdin");
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    // The dealer's standard input is a pipe whose writing end only this process
    // holds (close-on-exec keeps it from other children): when this process ends
    // for any reason, the kernel closes it and the dealer stops.
    int life[2];
    if (pipe2(life, O_CLOEXEC) != 0) {
        close(fds[0]);
        close(fds[1]);
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, life[0], STDIN_FILENO);
    // The child must not keep the test's own sockets open.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    close(life[0]);
    lifelineFd_ = life[1];
    if (rc != 0) {
        close(fds[0]);
        pid_ = -1;
        throw std::runtime_error("cannot start " + program);
    }
    stdoutFd_ = fds[0];

    // Read "name value" lines until "ready".
    std::string buffer;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool ready = false;
    while (!ready) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd pfd{stdoutFd_, POLLIN, 0};
        if (left <= 0 || poll(&pfd, 1, static_cast<int>(left)) <= 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
            throw std::runtime_error("dealer-sim did not report its addresses");
        }
        char chunk[1024];
        const ssize_t n = read(stdoutFd_, chunk, sizeof chunk);
        if (n <= 0) {
            int status = 0;
            waitpid(pid_, &status, 0);
            pid_ = -1;
            throw std::runtime_error("dealer-sim exited before it was ready (status " +
                                     std::to_string(status) + ")");
        }
        buffer.append(chunk, static_cast<size_t>(n));
        size_t nl;
        while ((nl = buffer.find('\n')) != std::string::npos) {
            const std::string line = buffer.substr(0, nl);
            buffer.erase(0, nl + 1);
            if (line == "ready") {
                ready = true;
                break;
            }
            const auto sp = line.find(' ');
            if (sp != std::string::npos) lines_[line.substr(0, sp)] = line.substr(sp + 1);
        }
    }
    const std::string control = lines_["control"];
    controlPort_ = static_cast<uint16_t>(std::stoi(control.substr(control.rfind(':') + 1)));
}

DealerSim::~DealerSim() {
    if (pid_ > 0) {
        // A dealer that does not stop within seconds is killed: a test ends.
        kill(pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    if (stdoutFd_ >= 0) close(stdoutFd_);
    if (lifelineFd_ >= 0) close(lifelineFd_);
}

std::string DealerSim::loginUrl() const {
    return lines_.at("login");
}
std::string DealerSim::demoLoginUrl() const {
    return loginUrl() + "demo";
}
std::string DealerSim::realLoginUrl() const {
    return loginUrl() + "real";
}
std::string DealerSim::serviceUrl(SimService s) const {
    return lines_.at(simServiceName(s));
}
std::string DealerSim::dealerUrl() const {
    return lines_.at("dealer");
}
std::string DealerSim::registerUrl() const {
    return lines_.at("register");
}
std::string DealerSim::controlUrl() const {
    return lines_.at("control");
}
std::string DealerSim::certPath() const {
    auto it = lines_.find("cert");
    return it == lines_.end() ? std::string() : it->second;
}

// ---- control calls ----

SimHttpAnswer DealerSim::rawCall(const std::string& method, const std::string& target,
                                 const std::string& body, int timeoutMs) {
    const PeerHttpAnswer res = peerHttpCall("127.0.0.1", std::to_string(controlPort_), method,
                                            target, body, timeoutMs);
    if (!res.error.empty())
        throw std::runtime_error("control call " + method + " " + target + " failed: " + res.error);
    return SimHttpAnswer{res.status, res.body};
}

SimJson DealerSim::call(const std::string& method, const std::string& target, const SimJson& body,
                        int timeoutMs) {
    const SimHttpAnswer res =
        rawCall(method, target, body.is_null() ? std::string() : body.dump(), timeoutMs);
    SimJson answer;
    try {
        answer = SimJson::parse(res.body);
    } catch (const std::exception&) {
        throw std::runtime_error("control call " + method + " " + target +
                                 " answered no JSON: " + res.body);
    }
    if (res.status != 200)
        throw std::runtime_error("control call " + method + " " + target + " failed: " + res.body);
    return answer;
}

void DealerSim::reset() {
    call("POST", "/reset");
}

int DealerSim::addFault(const SimFault& f) {
    SimJson body = {{"event", f.event},     {"action", f.action},   {"retCode", f.retCode},
                    {"message", f.message}, {"delayMs", f.delayMs}, {"times", f.times}};
    if (f.service) body["service"] = simServiceName(*f.service);
    if (!f.msgOrder.empty()) body["msgOrder"] = f.msgOrder;
    if (!f.data.is_null()) {
        body["data"] = f.data;
        body["merge"] = f.merge;
    }
    return call("POST", "/faults", body)["id"].get<int>();
}

int DealerSim::fail(const std::string& event, const std::string& retCode,
                    const std::string& message, int times) {
    SimFault f;
    f.event = event;
    f.retCode = retCode;
    f.message = message;
    f.times = times;
    return addFault(f);
}

namespace {
SimFault faultOf(const std::string& event, const char* action, int times) {
    SimFault f;
    f.event = event;
    f.action = action;
    f.times = times;
    return f;
}
}  // namespace

int DealerSim::delayReply(const std::string& event, int ms, int times) {
    SimFault f = faultOf(event, "delay", times);
    f.delayMs = ms;
    return addFault(f);
}
int DealerSim::holdReply(const std::string& event, int times) {
    return addFault(faultOf(event, "hold", times));
}
void DealerSim::releaseHeld() {
    call("POST", "/release");
}
int DealerSim::dropReply(const std::string& event, int times) {
    return addFault(faultOf(event, "drop", times));
}
int DealerSim::answerTwice(const std::string& event, int times) {
    return addFault(faultOf(event, "twice", times));
}
int DealerSim::wrongOrder(const std::string& event, const std::string& msgOrder, int times) {
    SimFault f = faultOf(event, "wrongOrder", times);
    f.msgOrder = msgOrder;
    return addFault(f);
}
int DealerSim::numbersInReply(const std::string& event, int times) {
    return addFault(faultOf(event, "numbers", times));
}
int DealerSim::replyData(const std::string& event, const SimJson& data, bool merge, int times) {
    SimFault f = faultOf(event, "data", times);
    f.data = data;
    f.merge = merge;
    return addFault(f);
}
void DealerSim::clearFaults() {
    call("POST", "/faults/clear");
}

void DealerSim::webAnswer(const std::string& kind, int status, const std::string& body,
                          const std::string& contentType, int times) {
    call("POST", "/web/faults",
         {{"kind", kind},
          {"action", "answer"},
          {"status", status},
          {"body", body},
          {"contentType", contentType},
          {"times", times}});
}

void DealerSim::holdWeb(const std::string& kind, int times) {
    call("POST", "/web/faults", {{"kind", kind}, {"action", "hold"}, {"times", times}});
}

void DealerSim::setNumbersAsNumbers(bool on) {
    call("POST", "/config", {{"numbersAsNumbers", on}});
}
void DealerSim::setCompressed(bool on) {
    call("POST", "/config", {{"compressed", on}});
}
void DealerSim::omitHistoryAddress(bool on) {
    call("POST", "/config", {{"omitHistoryAddress", on}});
}
void DealerSim::setPushesFirst(bool on) {
    call("POST", "/config", {{"pushesFirst", on}});
}
void DealerSim::setEndEarlierSessions(bool on) {
    call("POST", "/config", {{"endEarlierSessions", on}});
}
void DealerSim::setEncipher(SimService s, bool on) {
    call("POST", "/config", {{"encipher", {{simServiceName(s), on}}}});
}
void DealerSim::setQuoteRate(double hz) {
    call("POST", "/config", {{"quoteRate", hz}});
}

int DealerSim::closeConnections(SimService s, int code, const std::string& reason) {
    return call("POST", "/connections/close",
                {{"service", simServiceName(s)}, {"code", code}, {"reason", reason}})["connections"]
        .get<int>();
}
int DealerSim::resetConnections(SimService s) {
    return call("POST", "/connections/reset", {{"service", simServiceName(s)}})["connections"]
        .get<int>();
}
void DealerSim::refuseConnections(SimService s, int count) {
    call("POST", "/connections/refuse", {{"service", simServiceName(s)}, {"count", count}});
}
void DealerSim::stallHandshakes(SimService s, int count) {
    call("POST", "/connections/stall", {{"service", simServiceName(s)}, {"count", count}});
}

std::vector<SimJson> DealerSim::connections(std::optional<SimService> s, bool loggedInOnly) {
    const SimJson r = call("GET", "/connections?timeout=0" + serviceQuery(s) +
                                      (loggedInOnly ? "&loggedIn=1" : std::string()));
    return r["connections"].get<std::vector<SimJson>>();
}

bool DealerSim::waitForConnections(SimService s, size_t min, bool loggedInOnly, int timeoutMs) {
    const SimJson r =
        call("GET",
             "/connections?min=" + std::to_string(min) + "&timeout=" + std::to_string(timeoutMs) +
                 serviceQuery(s) + (loggedInOnly ? "&loggedIn=1" : std::string()),
             SimJson(), timeoutMs + 10000);
    return !r["timedOut"].get<bool>();
}

int DealerSim::invalidateTokens(const std::string& uid) {
    SimJson body = SimJson::object();
    if (!uid.empty()) body["uid"] = uid;
    return call("POST", "/tokens/invalidate", body)["tokens"].get<int>();
}

int DealerSim::push(SimService s, const std::string& event, const SimJson& data,
                    const std::string& retCode, const std::string& message,
                    const std::string& uid) {
    SimJson body = {{"service", simServiceName(s)},
                    {"event", event},
                    {"data", data},
                    {"retCode", retCode},
                    {"message", message}};
    if (!uid.empty()) body["uid"] = uid;
    return call("POST", "/push", body)["connections"].get<int>();
}

int DealerSim::sendText(SimService s, const std::string& text, const std::string& envelope,
                        const std::string& uid) {
    SimJson body = {{"service", simServiceName(s)}, {"text", text}, {"envelope", envelope}};
    if (!uid.empty()) body["uid"] = uid;
    return call("POST", "/send", body)["connections"].get<int>();
}

SimJson DealerSim::flood(SimService s, double rate, double seconds, const std::string& uid) {
    SimJson body = {{"service", simServiceName(s)}, {"rate", rate}, {"seconds", seconds}};
    if (!uid.empty()) body["uid"] = uid;
    return call("POST", "/flood", body)["flood"];
}
SimJson DealerSim::stopFlood() {
    return call("POST", "/flood/stop")["flood"];
}
SimJson DealerSim::floodState() {
    return call("GET", "/flood")["flood"];
}

void DealerSim::webFault(const std::string& kind, const std::string& action, int times, int delayMs,
                         int status) {
    call("POST", "/web/faults",
         {{"kind", kind},
          {"action", action},
          {"times", times},
          {"delayMs", delayMs},
          {"status", status}});
}

SimJson DealerSim::setQuote(const std::string& symbol, double price) {
    return call("POST", "/quote", {{"symbol", symbol}, {"price", price}})["quote"];
}
SimJson DealerSim::setBid(const std::string& symbol, double bid) {
    return call("POST", "/quote", {{"symbol", symbol}, {"bid", bid}})["quote"];
}
SimJson DealerSim::setAsk(const std::string& symbol, double ask) {
    return call("POST", "/quote", {{"symbol", symbol}, {"ask", ask}})["quote"];
}
SimJson DealerSim::tick(int count, const std::string& symbol) {
    SimJson body = {{"count", count}};
    if (!symbol.empty()) body["symbol"] = symbol;
    return call("POST", "/tick", body)["quotes"];
}
SimJson DealerSim::quotes() {
    return call("GET", "/quotes")["quotes"];
}
void DealerSim::addBulletin(const std::string& title, const std::string& content) {
    call("POST", "/bulletin", {{"title", title}, {"content", content}});
}
void DealerSim::clearBulletins() {
    call("POST", "/bulletins/clear");
}
SimJson DealerSim::redefineSymbol(const std::string& symbol, const SimJson& changes) {
    SimJson body = changes;
    body["symbol"] = symbol;
    return call("POST", "/symbol", body)["symbol"];
}
void DealerSim::setRate(const std::string& base, const std::string& exchange, double rate) {
    call("POST", "/rate", {{"base", base}, {"exchange", exchange}, {"rate", rate}});
}
SimJson DealerSim::desk(const std::string& uid) {
    return call("GET", "/desk?uid=" + uid);
}

std::vector<SimPackage> DealerSim::packages(std::optional<SimService> s, const std::string& event) {
    const SimJson r = call(
        "GET", "/packages?timeout=0" + serviceQuery(s) + (event.empty() ? "" : "&event=" + event));
    std::vector<SimPackage> out;
    for (const SimJson& p : r["packages"])
        out.push_back(packageFrom(p));
    return out;
}

std::vector<SimPackage> DealerSim::waitForPackages(const std::string& event, size_t count,
                                                   std::optional<SimService> s, int timeoutMs) {
    const SimJson r =
        call("GET",
             "/packages?min=" + std::to_string(count) + "&timeout=" + std::to_string(timeoutMs) +
                 serviceQuery(s) + (event.empty() ? "" : "&event=" + event),
             SimJson(), timeoutMs + 10000);
    std::vector<SimPackage> out;
    for (const SimJson& p : r["packages"])
        out.push_back(packageFrom(p));
    return out;
}

int DealerSim::heartbeats(SimService s) {
    return call("GET", "/heartbeats?timeout=0")["heartbeats"][simServiceName(s)].get<int>();
}

bool DealerSim::waitForHeartbeats(SimService s, int min, int timeoutMs) {
    const SimJson r = call("GET",
                           std::string("/heartbeats?service=") + simServiceName(s) + "&min=" +
                               std::to_string(min) + "&timeout=" + std::to_string(timeoutMs),
                           SimJson(), timeoutMs + 10000);
    return !r["timedOut"].get<bool>();
}

std::vector<SimJson> DealerSim::httpRequests(const std::string& kind) {
    return call("GET", "/http?timeout=0" + (kind.empty() ? "" : "&kind=" + kind))["requests"]
        .get<std::vector<SimJson>>();
}

std::vector<SimJson> DealerSim::waitForHttpRequests(const std::string& kind, size_t min,
                                                    int timeoutMs) {
    return call("GET",
                "/http?min=" + std::to_string(min) + "&timeout=" + std::to_string(timeoutMs) +
                    (kind.empty() ? "" : "&kind=" + kind),
                SimJson(), timeoutMs + 10000)["requests"]
        .get<std::vector<SimJson>>();
}

}  // namespace kavtest
