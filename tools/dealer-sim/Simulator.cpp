#include "tools/dealer-sim/Simulator.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "tools/dealer-sim/Png.h"
#include "tools/dealer-sim/Tls.h"

namespace dealersim {
namespace {

double nowMillis() {
    return double(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count());
}

bool isDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// A reply's event code is the request's plus one.
std::string replyEvent(const std::string& event) {
    return isDigits(event) && event.size() < 9 ? std::to_string(std::stoi(event) + 1) : event;
}

bool strictInt(const std::string& text, int64_t& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(text.c_str(), &end, 10);
    return end && *end == '\0' && errno == 0;
}

}  // namespace

Simulator::Simulator(net::io_context& io, Options options)
    : io_(io),
      options_(std::move(options)),
      envelope_(options_.key, options_.iv),
      floodTimer_(io),
      quoteTimer_(io) {
    // Session ids and tokens are never reused, not even after a reset.
    ids_.seed(options_.seed * 0x9E3779B97F4A7C15ULL + 12345);
    const std::array<std::pair<const char*, uint32_t>, 3> dealerColours = {
        {{"KAVFX", 0x278CC0}, {"kavdemo", 0x139137}, {"GOLDEX", 0xB8860B}}};
    for (const auto& [key, colour] : dealerColours) {
        logos_[std::string(key) + "/logo.png"] = makePng(240, 80, colour);
        logos_[std::string(key) + "/icon.png"] = makePng(64, 64, colour);
    }
    resetState();
}

Simulator::~Simulator() {
    if (!tempDir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(tempDir_, ec);
    }
}

void Simulator::start(std::ostream& out) {
    if (options_.tls) {
        TlsFiles files{options_.tlsCert, options_.tlsKey};
        if (files.certPath.empty()) {
            std::string folder = options_.dataDir;
            if (folder.empty()) {
                std::string tmpl =
                    (std::filesystem::temp_directory_path() / "dealer-sim-XXXXXX").string();
                if (!mkdtemp(tmpl.data()))
                    throw std::runtime_error("cannot make a temporary folder");
                tempDir_ = folder = tmpl;
            }
            files = generateSelfSigned(folder);
        }
        tls_ = makeServerContext(files);
        tlsCertPath_ = files.certPath;
    }
    auto portFor = [&](int offset) -> uint16_t {
        return options_.portBase == 0 ? 0 : static_cast<uint16_t>(options_.portBase + offset);
    };
    // Bind everything before anything runs, so a taken port fails the start cleanly.
    for (int i = 0; i < kServiceCount; ++i) {
        const Service s = static_cast<Service>(i);
        auto l = std::make_shared<Listener>(
            io_, options_.bind, portFor(i), [this, s](tcp::socket socket) {
                if (refuseConnection(s)) {
                    resetSocket(socket);
                    return;
                }
                serveWebSocket(std::move(socket), s, nextPeerId_++, *this, tls_.get());
            });
        ports_[i] = l->port();
        listeners_.push_back(l);
    }
    auto http =
        std::make_shared<Listener>(io_, options_.bind, portFor(6), [this](tcp::socket socket) {
            serveHttp(
                std::move(socket),
                [this](const HttpRequest& req, HttpResponder r) { dealerHttp(req, std::move(r)); },
                tls_.get());
        });
    httpPort_ = http->port();
    listeners_.push_back(http);
    auto control =
        std::make_shared<Listener>(io_, options_.bind, portFor(7), [this](tcp::socket socket) {
            serveHttp(
                std::move(socket),
                [this](const HttpRequest& req, HttpResponder r) { controlHttp(req, std::move(r)); },
                nullptr);
        });
    controlPort_ = control->port();
    listeners_.push_back(control);
    for (auto& l : listeners_)
        l->run();

    for (int i = 0; i < kServiceCount; ++i) {
        const Service s = static_cast<Service>(i);
        out << serviceName(s) << ' ' << serviceUrl(s) << '\n';
    }
    out << "dealer " << httpBase() << "/dealer\n";
    out << "register " << httpBase() << '\n';
    out << "control http://" << host() << ':' << controlPort_ << '\n';
    if (!tlsCertPath_.empty()) out << "cert " << tlsCertPath_ << '\n';
    out << "ready" << std::endl;
    scheduleQuotes();
}

std::string Simulator::host() const {
    return options_.bind == "0.0.0.0" || options_.bind == "::" ? "127.0.0.1" : options_.bind;
}

std::string Simulator::httpBase() const {
    return std::string(tls_ ? "https" : "http") + "://" + host() + ":" + std::to_string(httpPort_);
}

std::string Simulator::serviceUrl(Service s) const {
    return std::string(tls_ ? "wss" : "ws") + "://" + host() + ":" + std::to_string(port(s)) + "/";
}

// ---- connections ----

bool Simulator::refuseConnection(Service s) {
    int& n = connectionFaults_[static_cast<int>(s)].refuse;
    if (n == 0) return false;
    if (n > 0) --n;
    return true;
}

bool Simulator::stallHandshake(Service s) {
    int& n = connectionFaults_[static_cast<int>(s)].stall;
    if (n == 0) return false;
    if (n > 0) --n;
    return true;
}

void Simulator::opened(const std::shared_ptr<WsPeer>& peer) {
    peers_[peer->id] = peer;
    checkWaiters();
}

void Simulator::closed(const std::shared_ptr<WsPeer>& peer) {
    peers_.erase(peer->id);
    checkWaiters();
}

std::string Simulator::wire(Service s, const std::string& text) const {
    return encipher_[static_cast<int>(s)] ? envelope_.seal(text) : text;
}

void Simulator::received(const std::shared_ptr<WsPeer>& peer, std::string text, bool binary) {
    const Service s = peer->service;
    if (!binary && text.empty()) {
        ++heartbeats_[static_cast<int>(s)];
        checkWaiters();
        return;
    }
    Json rec = Json::object();
    rec["seq"] = nextSeq_++;
    rec["time"] = nowMillis() / 1000.0;
    rec["service"] = serviceName(s);
    rec["conn"] = peer->id;
    rec["path"] = peer->path;
    rec["raw"] = text;
    rec["enciphered"] = false;
    std::optional<Request> request;
    std::optional<std::string> refuseOrder;
    if (binary) {
        rec["error"] = "binary message";
    } else {
        std::string plain = text;
        bool ok = true;
        if (text[0] != '{') {
            std::string why;
            auto opened = envelope_.open(text, &why);
            if (opened) {
                plain = std::move(*opened);
                rec["enciphered"] = true;
            } else {
                rec["error"] = "cannot decipher: " + why;
                ok = false;
            }
        }
        if (ok) {
            rec["text"] = plain;
            ParseOutcome parsed = parseRequest(plain);
            rec["event"] = parsed.event;
            if (parsed.msgOrder) rec["msgOrder"] = *parsed.msgOrder;
            if (parsed.request) {
                request = std::move(parsed.request);
            } else {
                rec["error"] = parsed.error;
                refuseOrder = parsed.msgOrder;
                if (refuseOrder) {
                    Request fake;
                    fake.event = parsed.event;
                    fake.msgOrderText = *refuseOrder;
                    fake.msgOrder = std::atoi(refuseOrder->c_str());
                    fake.encrypt = "1";
                    request = fake;
                }
            }
        }
    }
    if (!rec.contains("error")) rec["error"] = nullptr;
    const bool malformed = !rec["error"].is_null();
    packages_.push_back(std::move(rec));
    if (!options_.quiet)
        std::cerr << "dealer-sim: " << serviceName(s) << " #" << peer->id << " <- "
                  << (request ? request->event : std::string("?"))
                  << (malformed ? " (malformed)" : "") << '\n';
    if (malformed) {
        // A well-formed order number still gets an answer, so a client bug shows as a failure, not
        // a time-out.
        if (request)
            sendReply(peer, *request,
                      refusal(ret::kMalformed,
                              "报文格式错误：" + packages_.back()["error"].get<std::string>()),
                      nullptr);
    } else if (request) {
        handle(peer, *request);
    }
    checkWaiters();
}

// ---- requests ----

Simulator::Fault* Simulator::takeFault(Service s, const std::string& event) {
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->times == 0) continue;
        if (it->event != "*" && it->event != event) continue;
        if (it->service && *it->service != s) continue;
        if (it->times > 0) --it->times;
        return &*it;
    }
    return nullptr;
}

void Simulator::handle(const std::shared_ptr<WsPeer>& peer, const Request& req) {
    Fault* f = takeFault(peer->service, req.event);
    std::optional<Fault> fault;
    if (f) fault = *f;
    faults_.erase(
        std::remove_if(faults_.begin(), faults_.end(), [](const Fault& x) { return x.times == 0; }),
        faults_.end());
    if (fault && fault->action == FaultAction::Fail) {
        sendReply(peer, req, refusal(fault->retCode.c_str(), fault->message), nullptr);
        return;
    }
    Outcome out = dispatch(peer, req);
    if (pushesFirst_) deliver(out.pushes);
    sendReply(peer, req, out, fault ? &*fault : nullptr);
    if (!pushesFirst_) deliver(out.pushes);
}

const Simulator::Session* Simulator::session(const Request& req) const {
    const std::string* sid = req.field("sid");
    const std::string* uid = req.field("uid");
    if (!sid || !uid) return nullptr;
    auto it = sessions_.find(*sid);
    if (it == sessions_.end() || it->second.uid != *uid) return nullptr;
    return &it->second;
}

Outcome Simulator::dispatch(const std::shared_ptr<WsPeer>& peer, const Request& req) {
    const Service s = peer->service;
    const std::string& e = req.event;
    auto missing = [&](std::initializer_list<const char*> keys) -> std::optional<Outcome> {
        for (const char* k : keys)
            if (!req.field(k)) return refusal(ret::kMalformed, std::string("缺少字段 ") + k);
        return std::nullopt;
    };
    auto unknown = [&] { return refusal(ret::kUnknownEvent, "未知的请求 " + e); };
    auto listQuery = [&](const std::function<Json(const std::string&)>& records) -> Outcome {
        if (auto m = missing({"sid", "uid", "action"})) return *m;
        if (*req.field("action") != "4") return refusal(ret::kMalformed, "action 应为 4");
        const Session* ses = session(req);
        if (!ses) return refusal(ret::kNotLoggedIn, "会话无效，请重新登录");
        Outcome out;
        out.data["children"] = records(ses->uid);
        return out;
    };
    auto withChild =
        [&](const std::function<Outcome(const std::string&, const Fields&)>& run) -> Outcome {
        if (auto m = missing({"sid", "uid", "action"})) return *m;
        if (*req.field("action") != "1") return refusal(ret::kMalformed, "action 应为 1");
        if (!req.child) return refusal(ret::kMalformed, "缺少 children");
        const Session* ses = session(req);
        if (!ses) return refusal(ret::kNotLoggedIn, "会话无效，请重新登录");
        return run(ses->uid, *req.child);
    };

    if (s == Service::Login) return e == "1003" ? login(req) : unknown();
    if (s == Service::CQuote) return unknown();
    if (e == "1005") return proxyLogin(peer, req);
    if (e == "2019") return tokenCheck(peer, req);
    if (s == Service::Msg) {
        if (e == "2013")
            return listQuery([&](const std::string&) { return desk_->bulletinRecords(); });
        return unknown();
    }
    if (s == Service::History) return e == "2023" ? history(req) : unknown();
    if (s == Service::Quote) return unknown();

    // Trading service.
    Desk& d = *desk_;
    if (e == "2001") return listQuery([&](const std::string& u) { return d.accountRecords(u); });
    if (e == "2003") return listQuery([&](const std::string& u) { return d.ticketRecords(u); });
    if (e == "2005") return listQuery([&](const std::string& u) { return d.orderRecords(u); });
    if (e == "2007") return listQuery([&](const std::string& u) { return d.closedRecords(u); });
    if (e == "2009") return listQuery([&](const std::string& u) { return d.symbolRecords(u); });
    if (e == "2027") return listQuery([&](const std::string& u) { return d.positionRecords(u); });
    if (e == "2029") return listQuery([&](const std::string&) { return d.rateRecords(); });
    if (e == "1009")
        return withChild([&](const std::string& u, const Fields& c) {
            Outcome o = d.changePassword(u, c);
            if (o.ok()) saveUsers();
            return o;
        });
    if (e == "2035")
        return withChild([&](const std::string& u, const Fields& c) { return d.deposit(u, c); });
    if (e == "3001" || e == "2039" || e == "3003" || e == "3005" || e == "3011" || e == "3009")
        return withChild([&](const std::string& u, const Fields& c) { return d.order(u, e, c); });
    return unknown();
}

Outcome Simulator::login(const Request& req) {
    for (const char* k : {"uid", "pwd", "vcode", "userType"})
        if (!req.field(k)) return refusal(ret::kMalformed, std::string("缺少字段 ") + k);
    if (!desk_->checkPassword(*req.field("uid"), *req.field("pwd")))
        return refusal(ret::kBadLogin, "账户或密码错误");
    const std::string sid = "S" + newId(16);
    if (endEarlierSessions_) endSessionsOf(*req.field("uid"));
    sessions_[sid] = Session{*req.field("uid")};
    Outcome out;
    out.data["sid"] = sid;
    out.data["tradeproxy"] = serviceUrl(Service::Trade);
    out.data["quotedproxy"] = serviceUrl(Service::Quote);
    if (compressed_) out.data["new_quotedproxy"] = serviceUrl(Service::CQuote);
    out.data["messageProxy"] = serviceUrl(Service::Msg);
    if (!omitHistory_) out.data["hisQuoted"] = serviceUrl(Service::History);
    return out;
}

void Simulator::endSessionsOf(const std::string& uid) {
    Reply pkg;
    pkg.event = "4010";
    pkg.msgOrder = "0";
    pkg.encrypt = encipher_[static_cast<int>(Service::Trade)] ? "1" : "0";
    pkg.data["children"] = Json::array();
    std::string text;
    for (const auto& [id, peer] : std::map<int, std::shared_ptr<WsPeer>>(peers_)) {
        if (peer->uid != uid || !peer->loggedIn || !sessions_.count(peer->sid)) continue;
        if (peer->service == Service::Trade) {
            if (text.empty()) text = wire(Service::Trade, renderPackage(pkg, numbersAsNumbers_));
            peer->send(text);
        }
        peer->loggedIn = false;
    }
    for (auto it = sessions_.begin(); it != sessions_.end();)
        it = it->second.uid == uid ? sessions_.erase(it) : std::next(it);
}

Outcome Simulator::proxyLogin(const std::shared_ptr<WsPeer>& peer, const Request& req) {
    for (const char* k : {"sid", "uid", "userId", "pwd", "vcode", "userType"})
        if (!req.field(k)) return refusal(ret::kMalformed, std::string("缺少字段 ") + k);
    if (*req.field("userId") != *req.field("uid"))
        return refusal(ret::kMalformed, "userId 与 uid 不符");
    const Session* ses = session(req);
    if (!ses) return refusal(ret::kBadSession, "会话无效，请重新登录");
    if (!desk_->checkPassword(*req.field("uid"), *req.field("pwd")))
        return refusal(ret::kBadLogin, "账户或密码错误");
    const std::string token = newId(32);
    tokens_[token] = TokenInfo{*req.field("sid"), ses->uid, peer->service, true};
    peer->sid = *req.field("sid");
    peer->uid = ses->uid;
    peer->loggedIn = true;
    Outcome out;
    out.data["sid"] = peer->sid;
    out.data["token"] = token;
    return out;
}

Outcome Simulator::tokenCheck(const std::shared_ptr<WsPeer>& peer, const Request& req) {
    for (const char* k : {"sid", "uid", "pwd", "token"})
        if (!req.field(k)) return refusal(ret::kMalformed, std::string("缺少字段 ") + k);
    auto it = tokens_.find(*req.field("token"));
    const bool good = it != tokens_.end() && it->second.valid &&
                      it->second.sid == *req.field("sid") && it->second.uid == *req.field("uid") &&
                      it->second.service == peer->service && sessions_.count(it->second.sid) &&
                      desk_->checkPassword(it->second.uid, *req.field("pwd"));
    if (!good) return refusal(ret::kBadToken, "TOKEN 校验失败");
    peer->sid = it->second.sid;
    peer->uid = it->second.uid;
    peer->loggedIn = true;
    return Outcome{};
}

Outcome Simulator::history(const Request& req) {
    for (const char* k : {"sid", "uid", "action"})
        if (!req.field(k)) return refusal(ret::kMalformed, std::string("缺少字段 ") + k);
    for (const char* k : {"symbolCode", "barCount", "period", "time"})
        if (!req.param(k)) return refusal(ret::kMalformed, std::string("缺少条件 ") + k);
    if (*req.field("action") != "4") return refusal(ret::kMalformed, "action 应为 4");
    if (!session(req)) return refusal(ret::kNotLoggedIn, "会话无效，请重新登录");
    const int si = market_->indexOf(*req.param("symbolCode"));
    if (si < 0) return refusal(ret::kBadSymbol, "无效的商品代码");
    int64_t period = 0, count = 0, time = 0;
    if (!strictInt(*req.param("period"), period) || !strictInt(*req.param("barCount"), count) ||
        (!req.param("time")->empty() && !strictInt(*req.param("time"), time)))
        return refusal(ret::kMalformed, "条件不是整数");
    const int seconds = period == 4   ? 60
                        : period == 5 ? 300
                        : period == 7 ? 1800
                        : period == 9 ? 0
                                      : -1;
    if (seconds < 0) return refusal(ret::kBadPeriod, "不支持的周期");
    const SymbolDef& sym = market_->symbol(si);
    Json rows = Json::array();
    char buf[160];
    for (const Bar& b : market_->bars(
             si, seconds, static_cast<int>(std::clamp<int64_t>(count, -5000, 5000)), time)) {
        std::snprintf(buf, sizeof buf, "%lld,%s,%.*f,%.*f,%.*f,%.*f",
                      static_cast<long long>(b.time), formatLocalTime(b.time).c_str(), sym.decimals,
                      sym.price(b.open), sym.decimals, sym.price(b.high), sym.decimals,
                      sym.price(b.low), sym.decimals, sym.price(b.close));
        rows.push_back({{"row", buf}});
    }
    Outcome out;
    out.data["children"] = std::move(rows);
    return out;
}

void Simulator::sendReply(const std::shared_ptr<WsPeer>& peer, const Request& req,
                          const Outcome& out, const Fault* fault) {
    Reply r;
    r.event = replyEvent(req.event);
    r.msgOrder = req.msgOrderText;
    r.retCode = out.retCode;
    r.message = out.message;
    r.encrypt = encipher_[static_cast<int>(peer->service)] ? "1" : "0";
    r.data = out.data;
    const FaultAction action = fault ? fault->action : FaultAction::Fail;
    if (fault && action == FaultAction::Data) {
        if (!fault->merge) {
            r.data = fault->data;
        } else if (fault->data.is_object()) {
            if (!r.data.is_object()) r.data = Json::object();
            for (const auto& [key, value] : fault->data.items())
                r.data[key] = value;
        }
    }
    if (fault && action == FaultAction::WrongOrder)
        r.msgOrder = fault->msgOrder.empty() ? std::to_string((req.msgOrder + 1000) % 65536)
                                             : fault->msgOrder;
    const bool numbers = numbersAsNumbers_ || (fault && action == FaultAction::Numbers);
    std::string text = wire(peer->service, renderPackage(r, numbers));
    if (!fault) {
        peer->send(std::move(text));
        return;
    }
    switch (action) {
        case FaultAction::Drop:
            return;
        case FaultAction::Delay: {
            auto timer =
                std::make_shared<net::steady_timer>(io_, std::chrono::milliseconds(fault->delayMs));
            timer->async_wait([timer, peer, text](boost::system::error_code) { peer->send(text); });
            return;
        }
        case FaultAction::Hold:
            held_.push_back([peer, text] { peer->send(text); });
            return;
        case FaultAction::Twice:
            peer->send(text);
            peer->send(std::move(text));
            return;
        default:
            peer->send(std::move(text));
    }
}

void Simulator::pushTo(Service s, const std::string& uid, const Reply& pkg, bool loggedInOnly) {
    std::string text;
    for (const auto& [id, peer] : std::map<int, std::shared_ptr<WsPeer>>(peers_)) {
        if (peer->service != s || (loggedInOnly && !peer->loggedIn) ||
            (!uid.empty() && peer->uid != uid))
            continue;
        if (text.empty()) text = wire(s, renderPackage(pkg, numbersAsNumbers_));
        peer->send(text);
    }
}

void Simulator::deliver(const std::vector<Push>& pushes) {
    for (const Push& p : pushes) {
        const Service s = p.service == "msg" ? Service::Msg : Service::Trade;
        Reply pkg;
        pkg.event = p.event;
        pkg.msgOrder = "0";
        pkg.encrypt = encipher_[static_cast<int>(s)] ? "1" : "0";
        pkg.data["children"] = p.children;
        pushTo(s, p.uid, pkg, true);
    }
}

// ---- quotes ----

void Simulator::stepQuotes(int count, int symbol) {
    const int n = static_cast<int>(market_->symbols().size());
    for (int k = 0; k < count; ++k) {
        const int64_t now = nowSeconds();
        std::vector<int> moved;
        for (int i = 0; i < n; ++i) {
            if (symbol >= 0 && i != symbol) continue;
            market_->step(i, now);
            moved.push_back(i);
        }
        publishQuotes(moved);
    }
}

void Simulator::publishQuotes(const std::vector<int>& symbols) {
    Reply pkg;
    pkg.event = "4002";
    pkg.msgOrder = "0";
    pkg.encrypt = encipher_[static_cast<int>(Service::Quote)] ? "1" : "0";
    pkg.data["children"] = Json::array();
    for (int i : symbols)
        pkg.data["children"].push_back(desk_->quoteRecord(i));
    pushTo(Service::Quote, "", pkg, true);
    for (int i : symbols) {
        const std::string line = desk_->compressedLine(i);
        for (const auto& [id, peer] : std::map<int, std::shared_ptr<WsPeer>>(peers_))
            if (peer->service == Service::CQuote) peer->send(line);
    }
    for (int i : symbols)
        deliver(desk_->afterPriceChange(i));
}

void Simulator::scheduleQuotes() {
    if (!(quoteRate_ > 0) || listeners_.empty()) return;
    // At most a day: the period of a rate near 0 (1e-300) overflowed the
    // cast into a negative one, and the stream ran as fast as it could.
    const double micros = std::min(1e6 / quoteRate_, 86400e6);
    const auto period = std::chrono::microseconds(static_cast<int64_t>(micros));
    quoteTimer_.expires_after(period);
    quoteTimer_.async_wait([this, gen = quoteGeneration_](boost::system::error_code ec) {
        if (ec || gen != quoteGeneration_) return;
        stepQuotes(1, -1);
        scheduleQuotes();
    });
}

void Simulator::setQuoteRate(double hz) {
    quoteRate_ = hz < 0 ? 0 : std::min(hz, 1000.0);
    ++quoteGeneration_;
    quoteTimer_.cancel();
    scheduleQuotes();
}

// ---- flood ----

namespace {

// Messages a rate-limited flood keeps queued for one connection at most;
// beyond them it counts what it could not send instead of piling it up.
constexpr size_t kFloodQueueCap = 256;
// Messages queued at once when a connection has taken the last ones.
constexpr int kFloodBurst = 8;

}  // namespace

void Simulator::startFlood(Service s, double rate, double seconds, const std::string& uid) {
    stopFlood();
    Flood& f = flood_;
    f = Flood{};
    f.active = true;
    f.service = s;
    f.uid = uid;
    f.rate = rate;
    f.last = std::chrono::steady_clock::now();
    if (seconds > 0)
        f.until = f.last + std::chrono::microseconds(static_cast<int64_t>(seconds * 1e6));
    // Quotes of every symbol a few points either side of the market, so that
    // what the client re-prices keeps changing.
    const int n = static_cast<int>(market_->symbols().size());
    for (int step = 0; step < 8; ++step) {
        const int delta = step < 4 ? step : 8 - step;  // 0 1 2 3 4 3 2 1
        for (int i = 0; i < n; ++i) {
            const SymbolDef& sym = market_->symbol(i);
            const double shift = sym.price(delta);
            if (s == Service::CQuote) {
                std::string line = desk_->compressedLine(i);
                // Field 4 is the price: rebuilt with the shift.
                std::vector<std::string> fields;
                size_t start = 0;
                for (size_t comma; (comma = line.find(',', start)) != std::string::npos;
                     start = comma + 1)
                    fields.push_back(line.substr(start, comma - start));
                fields.push_back(line.substr(start));
                char buf[48];
                std::snprintf(buf, sizeof buf, "%.*f", sym.decimals, std::stod(fields[4]) + shift);
                fields[4] = fields[5] = buf;
                std::string rebuilt;
                for (size_t k = 0; k < fields.size(); ++k)
                    rebuilt += (k ? "," : "") + fields[k];
                f.texts.push_back(std::move(rebuilt));
            } else {
                Json record = desk_->quoteRecord(i);
                for (const char* key : {"priceCurrent", "bid", "ask"})
                    record[key] = record[key].get<double>() + shift;
                Reply pkg;
                pkg.event = "4002";
                pkg.msgOrder = "0";
                pkg.encrypt = encipher_[static_cast<int>(s)] ? "1" : "0";
                pkg.data["children"] = Json::array({std::move(record)});
                f.texts.push_back(wire(s, renderPackage(pkg, numbersAsNumbers_)));
            }
        }
    }
    if (rate <= 0) {
        for (const auto& [id, peer] : std::map<int, std::shared_ptr<WsPeer>>(peers_))
            if (floodReaches(*peer)) floodFeed(peer);
    }
    scheduleFloodTick();
}

void Simulator::stopFlood() {
    ++floodGeneration_;
    floodTimer_.cancel();
    flood_.active = false;
    for (const auto& [id, peer] : peers_)
        peer->onDrained = nullptr;
}

bool Simulator::floodReaches(const WsPeer& peer) const {
    if (!flood_.active || peer.service != flood_.service) return false;
    if (!flood_.uid.empty() && peer.uid != flood_.uid) return false;
    // Quote packages go to logged-in connections, lines to every connection.
    return peer.service == Service::CQuote || peer.loggedIn;
}

// Full speed: a few messages, and more each time the connection has taken them.
void Simulator::floodFeed(const std::shared_ptr<WsPeer>& peer) {
    if (flood_.until && std::chrono::steady_clock::now() >= *flood_.until) {
        stopFlood();
        return;
    }
    if (!floodReaches(*peer)) {
        peer->onDrained = nullptr;
        return;
    }
    peer->onDrained = [this, weak = std::weak_ptr<WsPeer>(peer)] {
        if (auto p = weak.lock()) floodFeed(p);
    };
    for (int k = 0; k < kFloodBurst; ++k) {
        const std::string& text = flood_.texts[flood_.next++ % flood_.texts.size()];
        ++flood_.sent;
        flood_.bytes += text.size();
        peer->send(text);
    }
}

void Simulator::scheduleFloodTick() {
    if (!flood_.active) return;
    // At a rate: often enough for smooth sending. At full speed: only to
    // end the flood on time and to take in connections that came later.
    const double period = flood_.rate > 0 ? std::clamp(1.0 / flood_.rate, 0.001, 0.01) : 0.05;
    floodTimer_.expires_after(std::chrono::microseconds(static_cast<int64_t>(period * 1e6)));
    floodTimer_.async_wait([this, gen = floodGeneration_](boost::system::error_code ec) {
        if (ec || gen != floodGeneration_) return;
        floodTick();
        scheduleFloodTick();
    });
}

void Simulator::floodTick() {
    const auto now = std::chrono::steady_clock::now();
    if (flood_.until && now >= *flood_.until) {
        stopFlood();
        return;
    }
    if (flood_.rate <= 0) {
        for (const auto& [id, peer] : std::map<int, std::shared_ptr<WsPeer>>(peers_))
            if (!peer->onDrained && floodReaches(*peer)) floodFeed(peer);
        return;
    }
    flood_.credit += flood_.rate * std::chrono::duration<double>(now - flood_.last).count();
    flood_.last = now;
    const auto due = static_cast<uint64_t>(flood_.credit);
    flood_.credit -= static_cast<double>(due);
    for (const auto& [id, peer] : std::map<int, std::shared_ptr<WsPeer>>(peers_)) {
        if (!floodReaches(*peer)) continue;
        for (uint64_t k = 0; k < due; ++k) {
            if (peer->queued() >= kFloodQueueCap) {
                flood_.skipped += due - k;
                break;
            }
            const std::string& text = flood_.texts[flood_.next++ % flood_.texts.size()];
            ++flood_.sent;
            flood_.bytes += text.size();
            peer->send(text);
        }
    }
}

Json Simulator::floodState() const {
    Json peers = Json::array();
    for (const auto& [id, peer] : peers_) {
        if (peer->service != flood_.service) continue;
        peers.push_back({{"id", id},
                         {"queued", peer->queued()},
                         {"stalledMs", static_cast<int64_t>(peer->stalledSeconds() * 1000)}});
    }
    return {{"active", flood_.active}, {"service", serviceName(flood_.service)},
            {"rate", flood_.rate},     {"sent", flood_.sent},
            {"bytes", flood_.bytes},   {"skipped", flood_.skipped},
            {"connections", peers}};
}

// ---- state ----

std::string Simulator::newId(int hexDigits) {
    static const char* kHex = "0123456789abcdef";
    std::string s;
    while (static_cast<int>(s.size()) < hexDigits) {
        uint64_t v = ids_();
        for (int i = 0; i < 16 && static_cast<int>(s.size()) < hexDigits; ++i, v >>= 4)
            s += kHex[v & 15];
    }
    return s;
}

void Simulator::resetState() {
    for (const auto& [id, peer] : std::map<int, std::shared_ptr<WsPeer>>(peers_))
        peer->close(1001, "reset");
    sessions_.clear();
    tokens_.clear();
    stopFlood();
    faults_.clear();
    webFaults_.clear();
    connectionFaults_ = {};
    held_.clear();
    compressed_ = options_.compressed;
    omitHistory_ = false;
    numbersAsNumbers_ = false;
    pushesFirst_ = false;
    endEarlierSessions_ = false;
    for (int i = 0; i < kServiceCount; ++i) {
        const Service s = static_cast<Service>(i);
        encipher_[i] =
            !options_.plain && (s == Service::Login || s == Service::Trade || s == Service::Msg);
    }
    packages_.clear();
    httpLog_.clear();
    heartbeats_ = {};
    auto market = std::make_unique<Market>(options_.seed, nowSeconds(), options_.historyDays);
    auto desk = std::make_unique<Desk>(*market, [] { return nowSeconds(); });
    if (!options_.dataDir.empty()) {
        std::ifstream in(std::filesystem::path(options_.dataDir) / "users.json");
        if (in) {
            try {
                desk->loadUsers(Json::parse(in));
            } catch (const std::exception& e) {
                std::cerr << "dealer-sim: ignoring unreadable users.json: " << e.what() << '\n';
            }
        }
    }
    desk_ = std::move(desk);
    market_ = std::move(market);
    setQuoteRate(options_.quoteRate);
    checkWaiters();
}

void Simulator::saveUsers() const {
    if (options_.dataDir.empty()) return;
    std::ofstream out(std::filesystem::path(options_.dataDir) / "users.json");
    out << desk_->usersJson().dump(2) << '\n';
}

}  // namespace dealersim
