#pragma once

// A logged-in session on the simulated dealer, made by hand the way the
// client's login chain makes it, for the simulator's own tests.

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/DealerSim.h"
#include "tests/tools/SimClient.h"

namespace simtest {

struct Session {
    std::string uid;
    std::string password;
    std::string sid;
    Json loginReply;
    std::unique_ptr<SimClient> trade, quote, msg, history;
    std::map<std::string, std::string> tokens;  // by service name

    Pairs list() const { return {{"sid", sid}, {"uid", uid}, {"action", "4"}}; }
    Pairs action1() const { return {{"sid", sid}, {"uid", uid}, {"action", "1"}}; }
};

inline Json loginRequest(kavtest::DealerSim& sim, const std::string& uid, const std::string& pwd) {
    SimClient login(sim.realLoginUrl(), sim.key());
    return login.request("1003", {{"uid", uid}, {"pwd", pwd}, {"vcode", ""}, {"userType", "1"}});
}

inline Json proxyLogin(SimClient& c, const std::string& sid, const std::string& uid,
                       const std::string& pwd, bool encipher) {
    return c.request("1005",
                     {{"sid", sid},
                      {"uid", uid},
                      {"userId", uid},
                      {"pwd", pwd},
                      {"vcode", ""},
                      {"userType", "1"}},
                     {}, {}, encipher);
}

// Logs in to the login service and every other service; fails the test on a refusal.
inline Session logIn(kavtest::DealerSim& sim, const std::string& uid = "1001",
                     const std::string& pwd = "123456") {
    Session s;
    s.uid = uid;
    s.password = pwd;
    s.loginReply = loginRequest(sim, uid, pwd);
    EXPECT_EQ(s.loginReply["retCode"], "0") << s.loginReply.dump();
    const Json& d = s.loginReply["data"];
    s.sid = d["sid"].get<std::string>();
    auto open = [&](const char* key, bool encipher, const char* name) {
        auto c = std::make_unique<SimClient>(d[key].get<std::string>(), sim.key());
        Json r = proxyLogin(*c, s.sid, uid, pwd, encipher);
        EXPECT_EQ(r["retCode"], "0") << name << ": " << r.dump();
        s.tokens[name] = r["data"]["token"].get<std::string>();
        return c;
    };
    s.trade = open("tradeproxy", true, "trade");
    s.quote = open("quotedproxy", false, "quote");
    s.msg = open("messageProxy", true, "msg");
    s.history = open("hisQuoted", false, "history");
    return s;
}

// The 26 members of an order object, with the given ones replaced.
inline Pairs orderFields(const std::map<std::string, std::string>& v) {
    static const char* const keys[] = {
        "accId",         "pointAsk",  "pointBid",    "orderType",     "bsCode",
        "orderSerial",   "memo",      "orderCode",   "orderCodeRe",   "orderPrice",
        "orderQuantity", "orderTime", "pointOffset", "priceStopLose", "priceTakeProfit",
        "revQuantity",   "seatsCode", "symbolCode",  "symbolId",      "validDateType",
        "validDate",     "amId",      "cmDealerId",  "sendType",      "cutType",
        "pickInfo"};
    static const std::map<std::string, std::string> defaults = {
        {"accId", "1001"},
        {"pointAsk", "10"},
        {"pointBid", "10"},
        {"orderType", "1"},
        {"bsCode", "b"},
        {"orderSerial", "0"},
        {"orderPrice", "0"},
        {"orderQuantity", "1"},
        {"orderTime", "2024-01-02 03:04:05"},
        {"pointOffset", "0"},
        {"priceStopLose", "0"},
        {"priceTakeProfit", "0"},
        {"revQuantity", "0.00"},
        {"symbolCode", "EURUSD"},
        {"symbolId", "1"},
        {"validDateType", "0"},
        {"amId", "0"},
        {"cmDealerId", "0"}};
    Pairs out;
    for (const char* k : keys) {
        auto it = v.find(k);
        if (it != v.end())
            out.emplace_back(k, it->second);
        else if (auto d = defaults.find(k); d != defaults.end())
            out.emplace_back(k, d->second);
        else
            out.emplace_back(k, "");
    }
    return out;
}

// Sends an order request on the trading service and returns its reply.
inline Json order(Session& s, const std::string& event,
                  const std::map<std::string, std::string>& fields) {
    return s.trade->request(event, s.action1(), orderFields(fields));
}

inline std::string price(double p, int decimals) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, p);
    return buf;
}

// Reply records of a list query.
inline Json children(const Json& reply) {
    return reply["data"]["children"];
}

}  // namespace simtest
