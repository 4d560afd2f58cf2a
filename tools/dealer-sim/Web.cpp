// The dealer's plain web services: the dealer-definition lookup with the
// dealers' logos, and the demo registration and password-reset services.
#include <chrono>
#include <cstdlib>
#include <iostream>

#include "tools/dealer-sim/Simulator.h"

namespace dealersim {
namespace {

struct DealerDef {
    const char* key;
    const char* name;
    bool demo;  // has a demo system
};

// The built-in dealer of a first start, the registration dealer, and one
// dealer without a demo system.
constexpr DealerDef kDealers[] = {
    {"KAVFX", "KAV 外汇", true},
    {"kavdemo", "KAV 模拟交易", true},
    {"GOLDEX", "金汇通贵金属", false},
};

HttpAnswer jsonAnswer(const Json& body, int status = 200) {
    HttpAnswer a;
    a.status = status;
    a.body = body.dump();
    return a;
}

}  // namespace

void Simulator::logHttp(const HttpRequest& req, const std::string& kind) {
    Json rec = Json::object();
    rec["seq"] = nextSeq_++;
    rec["time"] = double(std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count()) /
                  1000.0;
    rec["kind"] = kind;
    rec["method"] = req.method;
    rec["target"] = req.target;
    rec["path"] = req.path;
    rec["query"] = Json::object();
    for (const auto& [k, v] : req.query)
        rec["query"][k] = v;
    httpLog_.push_back(std::move(rec));
}

std::optional<Simulator::WebFault> Simulator::takeWebFault(const std::string& kind) {
    for (auto it = webFaults_.begin(); it != webFaults_.end(); ++it) {
        if (it->times == 0 || (it->kind != "*" && it->kind != kind)) continue;
        WebFault f = *it;
        if (it->times > 0 && --it->times == 0) webFaults_.erase(it);
        return f;
    }
    return std::nullopt;
}

void Simulator::dealerHttp(const HttpRequest& req, HttpResponder respond) {
    const std::string& path = req.path;
    auto query = [&](const char* key) -> const std::string* {
        auto it = req.query.find(key);
        return it == req.query.end() ? nullptr : &it->second;
    };
    const std::string kind = path == "/dealer/getdealer.php"              ? "dealer"
                             : path.rfind("/dealer/", 0) == 0             ? "logo"
                             : path == "/account/demo/xregister/kavdemo"  ? "register"
                             : path == "/account/demo/xreset_pwd/kavdemo" ? "reset"
                                                                          : "other";
    const std::optional<WebFault> fault = takeWebFault(kind);
    HttpAnswer answer;
    // Slow and held answers are the normal ones, sent later.
    const bool later =
        fault && (fault->action == WebFaultAction::Slow || fault->action == WebFaultAction::Hold);
    if (fault && !later) {
        // The request changes nothing; only the answer is broken.
        switch (fault->action) {
            case WebFaultAction::Empty:
                break;
            case WebFaultAction::Answer:
                answer.status = fault->status;
                answer.contentType = fault->contentType;
                answer.body = fault->body;
                break;
            case WebFaultAction::Garbage:
                answer.contentType = "text/html; charset=utf-8";
                answer.body = "<html><body>服务暂不可用</body></html>";
                break;
            default:
                answer.status = fault->status;
                answer.contentType = "text/plain";
        }
    } else if (kind == "dealer") {
        const std::string* key = query("key");
        const DealerDef* found = nullptr;
        for (const DealerDef& d : kDealers)
            if (key && *key == d.key) found = &d;
        if (!key || key->empty()) {
            answer = jsonAnswer(
                {{"retCode", "2"}, {"message", "缺少交易商识别号"}, {"data", Json::object()}});
        } else if (!found) {
            answer = jsonAnswer(
                {{"retCode", "1"}, {"message", "交易商不存在"}, {"data", Json::object()}});
        } else {
            const std::string login = serviceUrl(Service::Login);
            Json data = {{"dealerKey", found->key},
                         {"dealerName", found->name},
                         {"dealerIcon", "icon.png"},
                         {"dealerLogo", "logo.png"},
                         {"hostDemo", found->demo ? login + "demo" : ""},
                         {"hostReal", login + "real"},
                         {"webService", httpBase()}};
            answer = jsonAnswer({{"retCode", "0"}, {"message", ""}, {"data", data}});
        }
    } else if (kind == "logo") {
        auto it = logos_.find(path.substr(8));
        if (it == logos_.end()) {
            answer.status = 404;
            answer.contentType = "text/plain";
            answer.body = "not found";
        } else {
            answer.contentType = "image/png";
            answer.body = it->second;
        }
    } else if (kind == "register") {
        const std::string* email = query("email");
        const std::string* password = query("password");
        const std::string* amount = query("amount");
        double money = 1000000;
        if (amount) {
            char* end = nullptr;
            money = std::strtod(amount->c_str(), &end);
            if (!end || *end != '\0') money = -1;
        }
        if (!email || !password || !query("name")) {
            answer = jsonAnswer({{"retCode", 5}, {"message", "注册信息不完整"}});
        } else {
            Outcome o = desk_->registerDemo(*email, *password, money);
            if (o.ok()) saveUsers();
            answer = jsonAnswer({{"retCode", std::atoi(o.retCode.c_str())},
                                 {"message", o.ok() ? "注册成功" : o.message}});
        }
    } else if (kind == "reset") {
        const std::string* login = query("login_code");
        const std::string* type = query("pwd_type");
        if (!login || !desk_->user(*login))
            answer = jsonAnswer({{"retCode", 1}, {"message", "账户不存在"}});
        else if (!type || *type != "1")
            answer = jsonAnswer({{"retCode", 2}, {"message", "密码类型无效"}});
        else
            answer = jsonAnswer({{"retCode", 0}, {"message", "重置密码的链接已发送"}});
    } else {
        answer.status = 404;
        answer.contentType = "text/plain";
        answer.body = "not found";
    }
    if (req.method != "GET" && answer.status == 200 && !fault) {
        answer = HttpAnswer{};
        answer.status = 405;
        answer.contentType = "text/plain";
        answer.body = "only GET";
    }
    logHttp(req, kind);
    if (!options_.quiet)
        std::cerr << "dealer-sim: http " << req.method << ' ' << req.target << " -> "
                  << answer.status << '\n';
    if (fault && fault->action == WebFaultAction::Hold) {
        // Sent by POST /release.
        held_.push_back([respond = std::move(respond), answer = std::move(answer)]() mutable {
            respond(std::move(answer));
        });
    } else if (fault && fault->action == WebFaultAction::Slow) {
        auto timer = std::make_shared<net::steady_timer>(
            io_, std::chrono::milliseconds(std::max(0, fault->delayMs)));
        timer->async_wait([timer, respond = std::move(respond), answer = std::move(answer)](
                              boost::system::error_code) mutable { respond(std::move(answer)); });
    } else {
        respond(std::move(answer));
    }
    checkWaiters();
}

}  // namespace dealersim
