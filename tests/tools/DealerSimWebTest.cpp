// The dealer's web services, TLS and the command line.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>
#include <future>

#include "tests/support/TestSupport.h"
#include "tests/tools/SimSession.h"

using kavtest::DealerSim;
using kavtest::DealerSimOptions;
using kavtest::SimService;
using namespace simtest;

namespace {

Json getJson(const std::string& url, const std::string& ca = "") {
    HttpResult r = httpGet(url, ca);
    EXPECT_EQ(r.status, 200) << url;
    return Json::parse(r.body);
}

// Runs the simulator with arguments; its exit status and everything it wrote.
std::pair<int, std::string> runSim(const std::string& args) {
    const std::string cmd = (kavtest::binDir() / "dealer-sim").string() + " " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[512];
    while (p && fgets(buf, sizeof buf, p))
        out += buf;
    const int status = p ? pclose(p) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

}  // namespace

TEST(DealerSimWeb, DealerDefinitionsAndLogos) {
    DealerSim sim;
    Json r = getJson(sim.dealerUrl() + "/getdealer.php?key=KAVFX");
    EXPECT_EQ(r["retCode"], "0");
    const Json& d = r["data"];
    EXPECT_EQ(d["dealerKey"], "KAVFX");
    EXPECT_EQ(d["hostDemo"], sim.demoLoginUrl());
    EXPECT_EQ(d["hostReal"], sim.realLoginUrl());
    for (const char* k : {"dealerName", "dealerIcon", "dealerLogo", "webService"})
        EXPECT_FALSE(d[k].get<std::string>().empty()) << k;
    EXPECT_EQ(getJson(sim.dealerUrl() + "/getdealer.php?key=kavdemo")["data"]["dealerKey"],
              "kavdemo");
    EXPECT_EQ(getJson(sim.dealerUrl() + "/getdealer.php?key=GOLDEX")["data"]["hostDemo"], "");
    Json unknown = getJson(sim.dealerUrl() + "/getdealer.php?key=NOPE");
    EXPECT_EQ(unknown["retCode"], "1");
    EXPECT_FALSE(unknown["message"].get<std::string>().empty());
    EXPECT_EQ(getJson(sim.dealerUrl() + "/getdealer.php")["retCode"], "2");

    HttpResult logo = httpGet(sim.dealerUrl() + "/KAVFX/" + d["dealerLogo"].get<std::string>());
    EXPECT_EQ(logo.status, 200);
    EXPECT_EQ(logo.contentType, "image/png");
    ASSERT_GT(logo.body.size(), 24u);
    EXPECT_EQ(logo.body.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    const auto width = (uint8_t(logo.body[16]) << 24) | (uint8_t(logo.body[17]) << 16) |
                       (uint8_t(logo.body[18]) << 8) | uint8_t(logo.body[19]);
    EXPECT_EQ(width, 240);
    EXPECT_NE(httpGet(sim.dealerUrl() + "/kavdemo/logo.png").body, logo.body);
    EXPECT_EQ(httpGet(sim.dealerUrl() + "/KAVFX/missing.png").status, 404);
    EXPECT_EQ(httpGet(sim.registerUrl() + "/elsewhere").status, 404);

    auto lookups = sim.httpRequests("dealer");
    ASSERT_EQ(lookups.size(), 5u);
    EXPECT_EQ(lookups[0]["query"]["key"], "KAVFX");
    EXPECT_EQ(sim.waitForHttpRequests("logo", 3).size(), 3u);
}

TEST(DealerSimWeb, WebFaultsReplaceOrHoldTheAnswersOfOneKind) {
    DealerSim sim;
    const std::string lookup = sim.dealerUrl() + "/getdealer.php?key=KAVFX";
    sim.webAnswer("dealer", 200, "<html>busy</html>", "text/html", 2);
    for (int i = 0; i < 2; ++i) {
        HttpResult r = httpGet(lookup);
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.body, "<html>busy</html>");
        EXPECT_EQ(r.contentType, "text/html");
    }
    EXPECT_EQ(getJson(lookup)["retCode"], "0");  // used up
    // Another kind is not touched; a status goes out as given.
    sim.webAnswer("reset", 503, "down");
    EXPECT_EQ(getJson(lookup)["retCode"], "0");
    EXPECT_EQ(
        httpGet(sim.registerUrl() + "/account/demo/xreset_pwd/kavdemo?login_code=1001&pwd_type=1")
            .status,
        503);

    // Held: the real answer comes with the release, and the request is logged at once.
    sim.holdWeb("*");
    auto pending = std::async(std::launch::async, [&] { return httpGet(lookup); });
    EXPECT_EQ(sim.waitForHttpRequests("dealer", 5).size(), 5u);
    EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    sim.releaseHeld();
    EXPECT_EQ(Json::parse(pending.get().body)["data"]["dealerKey"], "KAVFX");

    sim.webAnswer("*", 500, "", "text/plain", -1);
    EXPECT_EQ(httpGet(lookup).status, 500);
    EXPECT_EQ(httpGet(lookup).status, 500);
    sim.clearFaults();
    EXPECT_EQ(httpGet(lookup).status, 200);
    EXPECT_THROW(sim.webAnswer("nonsense", 200, ""), std::runtime_error);
}

TEST(DealerSimWeb, RegistrationMakesAnAccountThatCanLogIn) {
    kavtest::TempDir dir;
    DealerSimOptions o;
    o.dataDir = dir.path().string();
    const std::string email = "demo.user@example.com";
    {
        DealerSim sim(o);
        const std::string base = sim.registerUrl() + "/account/demo/xregister/kavdemo";
        // Percent-encoded values are decoded.
        Json r = getJson(base +
                         "?email=demo.user%40example.com&name=demo.user@example.com&password=pa%"
                         "73s&amount=1000000");
        EXPECT_EQ(r["retCode"], 0);
        EXPECT_EQ(getJson(base + "?email=" + email + "&name=" + email +
                          "&password=x&amount=1000000")["retCode"],
                  4);
        EXPECT_EQ(getJson(base + "?email=not-an-email&name=x&password=x&amount=1000000")["retCode"],
                  1);
        EXPECT_EQ(sim.httpRequests("register")[0]["query"]["email"], email);

        Session s = logIn(sim, email, "pass");
        Json account = children(s.trade->request("2001", s.list()))[0];
        EXPECT_EQ(account["amMarginRemain"], "1000000");
        EXPECT_EQ(children(s.trade->request("2009", s.list()))[0]["accId"], account["accId"]);

        const std::string reset = sim.registerUrl() + "/account/demo/xreset_pwd/kavdemo";
        EXPECT_EQ(getJson(reset + "?login_code=" + email + "&pwd_type=1")["retCode"], 0);
        EXPECT_EQ(getJson(reset + "?login_code=nobody&pwd_type=1")["retCode"], 1);
    }
    // A new run on the same data folder still knows the account.
    DealerSim again(o);
    EXPECT_EQ(loginRequest(again, email, "pass")["retCode"], "0");
}

TEST(DealerSimWeb, TlsServesWssAndHttpsWithItsCertificate) {
    DealerSimOptions o;
    o.tls = true;
    DealerSim sim(o);
    ASSERT_FALSE(sim.certPath().empty());
    EXPECT_EQ(sim.loginUrl().rfind("wss://", 0), 0u);
    SimClient login(sim.realLoginUrl(), sim.key(), sim.certPath());
    EXPECT_EQ(
        login.request(
            "1003",
            {{"uid", "1001"}, {"pwd", "123456"}, {"vcode", ""}, {"userType", "1"}})["retCode"],
        "0");
    Json dealer = getJson(sim.dealerUrl() + "/getdealer.php?key=KAVFX", sim.certPath());
    EXPECT_EQ(dealer["data"]["hostReal"].get<std::string>().rfind("wss://", 0), 0u);
    // A client that trusts another certificate refuses the connection.
    kavtest::TempDir other;
    DealerSimOptions o2 = o;
    o2.dataDir = other.path().string();
    DealerSim second(o2);
    EXPECT_TRUE(SimClient::tryConnect(sim.loginUrl(), 5000, second.certPath()).has_value());
}

TEST(DealerSimWeb, CommandLineErrorsAreReported) {
    auto [status, out] = runSim("--port-base");
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("usage: dealer-sim"), std::string::npos);
    std::tie(status, out) = runSim("--quote-rate fast");
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("--quote-rate"), std::string::npos);
    std::tie(status, out) = runSim("--help");
    EXPECT_EQ(status, 0);

    DealerSim sim;
    const std::string login = sim.loginUrl();
    const std::string port =
        login.substr(login.rfind(':') + 1, login.size() - login.rfind(':') - 2);
    std::tie(status, out) = runSim("--port-base " + port);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("cannot listen on 127.0.0.1:" + port), std::string::npos) << out;
}
