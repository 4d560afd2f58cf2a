// The control interface: plain HTTP on its own loopback port. Every call
// answers only after its effect has taken place on the simulator's thread.
#include <algorithm>
#include <iostream>
#include <string_view>

#include "tools/dealer-sim/Simulator.h"

namespace dealersim {
namespace {

HttpAnswer reply(const Json& body, int status = 200) {
    HttpAnswer a;
    a.status = status;
    // What was sent to the simulator may not be UTF-8 (a body, a binary
    // message): it is answered with replacement characters, never an exception.
    a.body = body.dump(-1, ' ', false, Json::error_handler_t::replace);
    return a;
}

// Control bodies are flat objects with a few nested values; deeper ones are
// refused before they are parsed, so that nothing walks them recursively.
constexpr int kMaxBodyDepth = 64;

bool nestsDeeperThan(std::string_view text, int limit) {
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit) return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

HttpAnswer bad(const std::string& why) {
    return reply({{"error", why}}, 400);
}

std::string queryOr(const std::map<std::string, std::string>& q, const char* key,
                    const std::string& fallback = "") {
    auto it = q.find(key);
    return it == q.end() ? fallback : it->second;
}

int queryInt(const std::map<std::string, std::string>& q, const char* key, int fallback) {
    auto it = q.find(key);
    if (it == q.end() || it->second.empty()) return fallback;
    return std::atoi(it->second.c_str());
}

// A text member of a body, also when given as a number.
std::string text(const Json& body, const char* key, const std::string& fallback = "") {
    if (!body.contains(key)) return fallback;
    const Json& v = body[key];
    if (v.is_string()) return v.get<std::string>();
    if (v.is_number_integer()) return std::to_string(v.get<long long>());
    if (v.is_number()) return numberText(v.get<double>());
    return fallback;
}

}  // namespace

Json Simulator::heartbeatCounts() const {
    Json h = Json::object();
    for (int i = 0; i < kServiceCount; ++i)
        h[serviceName(static_cast<Service>(i))] = heartbeats_[i];
    return h;
}

Json Simulator::configJson() const {
    Json enc = Json::object();
    for (int i = 0; i < kServiceCount; ++i)
        enc[serviceName(static_cast<Service>(i))] = bool(encipher_[i]);
    return {{"compressed", compressed_},
            {"omitHistoryAddress", omitHistory_},
            {"numbersAsNumbers", numbersAsNumbers_},
            {"pushesFirst", pushesFirst_},
            {"endEarlierSessions", endEarlierSessions_},
            {"encipher", enc},
            {"quoteRate", quoteRate_},
            {"seed", options_.seed},
            {"key", envelope_.key()},
            {"iv", envelope_.iv()}};
}

Json Simulator::packageList(const std::map<std::string, std::string>& q) const {
    const std::string service = queryOr(q, "service");
    const std::string event = queryOr(q, "event");
    const int64_t since = queryInt(q, "since", 0);
    Json list = Json::array();
    for (const Json& p : packages_) {
        if (p["seq"].get<int64_t>() < since) continue;
        if (!service.empty() && p["service"] != service) continue;
        if (!event.empty() && p["event"] != event) continue;
        list.push_back(p);
    }
    return list;
}

Json Simulator::connectionList(const std::map<std::string, std::string>& q) const {
    const std::string service = queryOr(q, "service");
    const bool loggedInOnly = queryOr(q, "loggedIn") == "1";
    Json list = Json::array();
    for (const auto& [id, peer] : peers_) {
        if (!service.empty() && serviceName(peer->service) != service) continue;
        if (loggedInOnly && !peer->loggedIn) continue;
        list.push_back({{"id", id},
                        {"service", serviceName(peer->service)},
                        {"path", peer->path},
                        {"uid", peer->uid},
                        {"sid", peer->sid},
                        {"loggedIn", peer->loggedIn}});
    }
    return list;
}

void Simulator::waitFor(std::function<bool()> ready, std::function<Json()> answer, int timeoutMs,
                        HttpResponder respond) {
    if (ready()) {
        Json body = answer();
        body["timedOut"] = false;
        respond(reply(body));
        return;
    }
    auto w = std::make_shared<Waiter>();
    w->ready = std::move(ready);
    w->answer = [answer = std::move(answer), respond = std::move(respond)](bool timedOut) {
        Json body = answer();
        body["timedOut"] = timedOut;
        respond(reply(body));
    };
    w->timer = std::make_unique<net::steady_timer>(
        io_, std::chrono::milliseconds(std::clamp(timeoutMs, 0, 120000)));
    w->timer->async_wait([this, weak = std::weak_ptr<Waiter>(w)](boost::system::error_code ec) {
        auto w = weak.lock();
        if (ec || !w || w->done) return;
        w->done = true;
        waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), w), waiters_.end());
        w->answer(true);
    });
    waiters_.push_back(std::move(w));
}

void Simulator::checkWaiters() {
    for (const auto& w : std::vector<std::shared_ptr<Waiter>>(waiters_)) {
        if (w->done || !w->ready()) continue;
        w->done = true;
        w->timer->cancel();
        waiters_.erase(std::remove(waiters_.begin(), waiters_.end(), w), waiters_.end());
        w->answer(false);
    }
}

void Simulator::controlHttp(const HttpRequest& req, HttpResponder respond) {
    Json body = Json::object();
    if (!req.body.empty()) {
        if (nestsDeeperThan(req.body, kMaxBodyDepth)) {
            respond(bad("body is nested more than " + std::to_string(kMaxBodyDepth) + " deep"));
            return;
        }
        try {
            body = Json::parse(req.body);
        } catch (const std::exception& e) {
            respond(bad(std::string("body is not JSON: ") + e.what()));
            return;
        }
        if (!body.is_object()) {
            respond(bad("body is not a JSON object"));
            return;
        }
    }
    bool deferred = false;
    HttpAnswer a;
    try {
        a = control(req, body, respond, deferred);
    } catch (const std::exception& e) {
        a = bad(e.what());
    }
    if (!deferred) respond(std::move(a));
}

HttpAnswer Simulator::control(const HttpRequest& req, const Json& body, HttpResponder& respond,
                              bool& deferred) {
    const std::string& path = req.path;
    const bool post = req.method == "POST";
    const bool get = req.method == "GET";
    auto serviceOf = [&](bool required) -> std::optional<Service> {
        const std::string name = text(body, "service");
        if (name.empty()) {
            if (required) throw std::runtime_error("missing \"service\"");
            return std::nullopt;
        }
        auto s = serviceByName(name);
        if (!s) throw std::runtime_error("unknown service \"" + name + "\"");
        return s;
    };
    auto symbolOf = [&]() -> int {
        const std::string code = text(body, "symbol");
        const int i = market_->indexOf(code);
        if (i < 0) throw std::runtime_error("unknown symbol \"" + code + "\"");
        return i;
    };
    // Records go out as the services render them at the moment.
    auto rendered = [&](const Json& records) {
        return numbersAsNumbers_ ? records : stringifyNumbers(records);
    };
    auto quotes = [&] {
        Json q = Json::object();
        for (size_t i = 0; i < market_->symbols().size(); ++i)
            q[market_->symbol(static_cast<int>(i)).code] = desk_->quoteRecord(static_cast<int>(i));
        return rendered(q);
    };
    auto later = [&](std::function<bool()> ready, std::function<Json()> answer) {
        deferred = true;
        waitFor(std::move(ready), std::move(answer), queryInt(req.query, "timeout", 5000),
                std::move(respond));
        return HttpAnswer{};
    };

    if (get && path == "/state") {
        Json ports = Json::object();
        Json urls = Json::object();
        for (int i = 0; i < kServiceCount; ++i) {
            ports[serviceName(static_cast<Service>(i))] = ports_[i];
            urls[serviceName(static_cast<Service>(i))] = serviceUrl(static_cast<Service>(i));
        }
        ports["http"] = httpPort_;
        ports["control"] = controlPort_;
        urls["dealer"] = httpBase() + "/dealer";
        urls["register"] = httpBase();
        return reply({{"ports", ports},
                      {"urls", urls},
                      {"config", configJson()},
                      {"connections", connectionList({})},
                      {"sessions", sessions_.size()},
                      {"heartbeats", heartbeatCounts()},
                      {"cert", tlsCertPath_}});
    }
    if (post && path == "/reset") {
        resetState();
        return reply({{"ok", true}});
    }
    if (post && path == "/config") {
        if (body.contains("compressed")) compressed_ = body["compressed"].get<bool>();
        if (body.contains("omitHistoryAddress"))
            omitHistory_ = body["omitHistoryAddress"].get<bool>();
        if (body.contains("numbersAsNumbers"))
            numbersAsNumbers_ = body["numbersAsNumbers"].get<bool>();
        if (body.contains("pushesFirst")) pushesFirst_ = body["pushesFirst"].get<bool>();
        if (body.contains("endEarlierSessions"))
            endEarlierSessions_ = body["endEarlierSessions"].get<bool>();
        if (body.contains("encipher")) {
            for (const auto& [name, on] : body["encipher"].items()) {
                auto s = serviceByName(name);
                if (!s) throw std::runtime_error("unknown service \"" + name + "\"");
                encipher_[static_cast<int>(*s)] = on.get<bool>();
            }
        }
        if (body.contains("quoteRate")) setQuoteRate(body["quoteRate"].get<double>());
        return reply({{"ok", true}, {"config", configJson()}});
    }
    if (post && path == "/faults") {
        Fault f;
        f.id = nextFaultId_++;
        f.event = text(body, "event");
        if (f.event.empty()) throw std::runtime_error("missing \"event\" (\"*\" for every event)");
        f.service = serviceOf(false);
        const std::string action = text(body, "action", "fail");
        static const std::map<std::string, FaultAction> kActions = {
            {"fail", FaultAction::Fail},       {"delay", FaultAction::Delay},
            {"hold", FaultAction::Hold},       {"drop", FaultAction::Drop},
            {"twice", FaultAction::Twice},     {"wrongOrder", FaultAction::WrongOrder},
            {"numbers", FaultAction::Numbers}, {"data", FaultAction::Data}};
        auto it = kActions.find(action);
        if (it == kActions.end()) throw std::runtime_error("unknown action \"" + action + "\"");
        f.action = it->second;
        f.retCode = text(body, "retCode", "9999");
        f.message = text(body, "message", "模拟故障");
        f.delayMs = body.value("delayMs", 0);
        f.msgOrder = text(body, "msgOrder");
        f.times = body.value("times", 1);
        if (f.action == FaultAction::Data) {
            if (!body.contains("data")) throw std::runtime_error("action \"data\" needs \"data\"");
            f.data = body["data"];
            f.merge = body.value("merge", false);
        }
        faults_.push_back(f);
        return reply({{"ok", true}, {"id", f.id}});
    }
    if (post && path == "/faults/clear") {
        faults_.clear();
        webFaults_.clear();
        connectionFaults_ = {};
        return reply({{"ok", true}});
    }
    if (post && path == "/release") {
        auto held = std::move(held_);
        held_.clear();
        for (auto& send : held)
            send();
        return reply({{"ok", true}, {"released", held.size()}});
    }
    if (post && (path == "/connections/close" || path == "/connections/reset")) {
        const auto s = serviceOf(false);
        const uint16_t code = static_cast<uint16_t>(body.value("code", 1000));
        const std::string reason = text(body, "reason");
        int n = 0;
        for (const auto& [id, peer] : std::map<int, std::shared_ptr<WsPeer>>(peers_)) {
            if (s && peer->service != *s) continue;
            if (path == "/connections/close")
                peer->close(code, reason);
            else
                peer->reset();
            ++n;
        }
        return reply({{"ok", true}, {"connections", n}});
    }
    if (post && (path == "/connections/refuse" || path == "/connections/stall")) {
        const Service s = *serviceOf(true);
        auto& f = connectionFaults_[static_cast<int>(s)];
        (path == "/connections/refuse" ? f.refuse : f.stall) = body.value("count", 1);
        return reply({{"ok", true}});
    }
    if (get && path == "/connections") {
        const size_t min = static_cast<size_t>(std::max(0, queryInt(req.query, "min", 0)));
        auto q = req.query;
        return later([this, q, min] { return connectionList(q).size() >= min; },
                     [this, q] {
                         return Json{{"connections", connectionList(q)}};
                     });
    }
    if (post && path == "/tokens/invalidate") {
        const std::string uid = text(body, "uid");
        const auto s = serviceOf(false);
        int n = 0;
        for (auto& [token, info] : tokens_) {
            if ((!uid.empty() && info.uid != uid) || (s && info.service != *s)) continue;
            info.valid = false;
            ++n;
        }
        return reply({{"ok", true}, {"tokens", n}});
    }
    if (post && path == "/push") {
        const Service s = *serviceOf(true);
        Reply pkg;
        pkg.event = text(body, "event");
        if (pkg.event.empty()) throw std::runtime_error("missing \"event\"");
        pkg.msgOrder = text(body, "msgOrder", "0");
        pkg.retCode = text(body, "retCode", "0");
        pkg.message = text(body, "message");
        pkg.encrypt = encipher_[static_cast<int>(s)] ? "1" : "0";
        pkg.data = body.contains("data") ? body["data"] : Json::object();
        const std::string uid = text(body, "uid");
        // Pushes go as given: the test chose every value's JSON type.
        std::string wireText = wire(s, renderPackage(pkg, numbersAsNumbers_, true));
        int n = 0;
        for (const auto& [id, peer] : std::map<int, std::shared_ptr<WsPeer>>(peers_)) {
            if (peer->service != s || (!uid.empty() && peer->uid != uid)) continue;
            peer->send(wireText);
            ++n;
        }
        return reply({{"ok", true}, {"connections", n}});
    }
    if (post && path == "/send") {
        // Any text as it stands, or sealed in the envelope (well or with bad
        // padding), to every open connection of the service: what a broken
        // or hostile dealer might send.
        const Service s = *serviceOf(true);
        if (!body.contains("text") || !body["text"].is_string())
            throw std::runtime_error("missing \"text\"");
        const std::string raw = body["text"].get<std::string>();
        const std::string envelope = text(body, "envelope", "plain");
        std::string wireText;
        if (envelope == "plain")
            wireText = raw;
        else if (envelope == "sealed")
            wireText = envelope_.seal(raw);
        else if (envelope == "badPadding")
            wireText = envelope_.seal(raw, true);
        else
            throw std::runtime_error("unknown envelope \"" + envelope + "\"");
        const std::string uid = text(body, "uid");
        int n = 0;
        for (const auto& [id, peer] : std::map<int, std::shared_ptr<WsPeer>>(peers_)) {
            if (peer->service != s || (!uid.empty() && peer->uid != uid)) continue;
            peer->send(wireText);
            ++n;
        }
        return reply({{"ok", true}, {"connections", n}});
    }
    if (post && path == "/flood") {
        const Service s = *serviceOf(true);
        if (s != Service::Quote && s != Service::CQuote)
            throw std::runtime_error("a flood runs on \"quote\" or \"cquote\"");
        const double rate = body.value("rate", 0.0);
        const double seconds = body.value("seconds", 0.0);
        if (rate < 0 || rate > 1e6 || seconds < 0)
            throw std::runtime_error("\"rate\" or \"seconds\" out of range");
        startFlood(s, rate, seconds, text(body, "uid"));
        return reply({{"ok", true}, {"flood", floodState()}});
    }
    if (post && path == "/flood/stop") {
        stopFlood();
        return reply({{"ok", true}, {"flood", floodState()}});
    }
    if (get && path == "/flood") return reply({{"flood", floodState()}});
    if (post && path == "/web/faults") {
        WebFault f;
        f.kind = text(body, "kind");
        static const std::vector<std::string> kKinds = {"dealer", "logo",  "register",
                                                        "reset",  "other", "*"};
        if (std::find(kKinds.begin(), kKinds.end(), f.kind) == kKinds.end())
            throw std::runtime_error("unknown kind \"" + f.kind + "\"");
        static const std::map<std::string, WebFaultAction> kWebActions = {
            {"empty", WebFaultAction::Empty},   {"garbage", WebFaultAction::Garbage},
            {"slow", WebFaultAction::Slow},     {"status", WebFaultAction::Status},
            {"answer", WebFaultAction::Answer}, {"hold", WebFaultAction::Hold}};
        const std::string action = text(body, "action", "empty");
        auto it = kWebActions.find(action);
        if (it == kWebActions.end()) throw std::runtime_error("unknown action \"" + action + "\"");
        f.action = it->second;
        f.delayMs = body.value("delayMs", 12000);
        f.status = body.value("status", f.action == WebFaultAction::Answer ? 200 : 500);
        f.body = text(body, "body");
        f.contentType = text(body, "contentType", "text/html; charset=utf-8");
        f.times = body.value("times", 1);
        if (f.status < 100 || f.status > 599) throw std::runtime_error("\"status\" out of range");
        webFaults_.push_back(f);
        return reply({{"ok", true}});
    }
    if (post && path == "/quote") {
        const int i = symbolOf();
        const SymbolDef& sym = market_->symbol(i);
        int64_t points = 0;
        if (body.contains("price"))
            points = sym.points(body["price"].get<double>());
        else if (body.contains("bid"))
            points = sym.points(body["bid"].get<double>()) + sym.pointBid;
        else if (body.contains("ask"))
            points = sym.points(body["ask"].get<double>()) - sym.pointAsk;
        else
            throw std::runtime_error("give \"price\", \"bid\" or \"ask\"");
        market_->set(i, points, nowSeconds());
        publishQuotes({i});
        return reply({{"ok", true}, {"quote", rendered(desk_->quoteRecord(i))}});
    }
    if (post && path == "/symbol") {
        const int i = symbolOf();
        deliver(desk_->redefineSymbol(i, body));
        return reply({{"ok", true}, {"symbol", rendered(desk_->symbolRecords("")[i])}});
    }
    if (post && path == "/tick") {
        const int count = body.value("count", 1);
        if (count < 0 || count > 100000) throw std::runtime_error("\"count\" out of range");
        stepQuotes(count, body.contains("symbol") ? symbolOf() : -1);
        return reply({{"ok", true}, {"quotes", quotes()}});
    }
    if (get && path == "/quotes") return reply({{"quotes", quotes()}});
    if (post && path == "/bulletins/clear") {
        desk_->clearBulletins();
        return reply({{"ok", true}});
    }
    if (post && path == "/bulletin") {
        deliver({desk_->addBulletin(text(body, "title", "公告"), text(body, "content"))});
        return reply({{"ok", true}});
    }
    if (post && path == "/rate") {
        const std::string base = text(body, "base");
        const std::string exchange = text(body, "exchange");
        if (base.empty() || exchange.empty() || !body.contains("rate"))
            throw std::runtime_error("give \"base\", \"exchange\" and \"rate\"");
        deliver({desk_->setRate(base, exchange, body["rate"].get<double>())});
        return reply({{"ok", true}});
    }
    if (get && path == "/desk") {
        const std::string uid = queryOr(req.query, "uid");
        if (!desk_->user(uid)) throw std::runtime_error("unknown uid \"" + uid + "\"");
        return reply(rendered(desk_->state(uid)));
    }
    if (get && path == "/packages") {
        const size_t min = static_cast<size_t>(std::max(0, queryInt(req.query, "min", 0)));
        auto q = req.query;
        return later([this, q, min] { return packageList(q).size() >= min; },
                     [this, q] {
                         return Json{{"packages", packageList(q)},
                                     {"heartbeats", heartbeatCounts()},
                                     {"next", nextSeq_}};
                     });
    }
    if (get && path == "/heartbeats") {
        const std::string service = queryOr(req.query, "service");
        const int min = queryInt(req.query, "min", 0);
        auto s = serviceByName(service);
        if (!service.empty() && !s) throw std::runtime_error("unknown service \"" + service + "\"");
        return later(
            [this, s, min] {
                if (!s) return true;
                return heartbeats_[static_cast<int>(*s)] >= min;
            },
            [this] {
                return Json{{"heartbeats", heartbeatCounts()}};
            });
    }
    if (get && path == "/http") {
        const std::string kind = queryOr(req.query, "kind");
        const size_t min = static_cast<size_t>(std::max(0, queryInt(req.query, "min", 0)));
        auto list = [this, kind] {
            Json l = Json::array();
            for (const Json& r : httpLog_)
                if (kind.empty() || r["kind"] == kind) l.push_back(r);
            return l;
        };
        return later([list, min] { return list().size() >= min; },
                     [list] {
                         return Json{{"requests", list()}};
                     });
    }
    return reply({{"error", "no such control call: " + req.method + " " + path}}, 404);
}

}  // namespace dealersim
