#pragma once

// Logging channels in to the simulated dealer by hand: the login request
// ("1003") on the login service, then the proxy login ("1005") on a service
// channel, each waited for in real time (bounded).

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Core/Biz/IBiz.h"
#include "Core/KAVBizSDK.h"
#include "tests/support/DealerSim.h"
#include "tests/support/TestSupport.h"

namespace kavtest {

// Sends the package and waits for its reply's data.
inline platform::Json simRequest(VirtualTime& time, webSocket& channel, KAVPackage package) {
    std::optional<platform::Json> data;
    std::string failure;
    channel.send(
        package, [&](const KAVPackage& reply) { data = reply.kavData(); },
        [&](const std::string& code, const std::string& message) { failure = code + " " + message; });
    EXPECT_TRUE(time.runUntil([&] { return data || !failure.empty(); })) << package.event();
    EXPECT_EQ(failure, "");
    return data.value_or(platform::Json::object());
}

inline bool openSimChannel(VirtualTime& time, KAVBizSDK& sdk, webSocket& channel, const std::string& url) {
    bool opened = false;
    channel.open(url, [&] { opened = true; }, sdk.pushBlock());
    return time.runUntil([&] { return opened; });
}

// A new session of the user on the login service; its id, empty on failure.
inline std::string simLogin(VirtualTime& time, KAVBizSDK& sdk, const DealerSim& sim, const std::string& uid,
                            const std::string& pwd = "123456") {
    auto login = sdk.createWSWithKey(KAVBizSDK::kWSLogin, 0, 10);
    if (!openSimChannel(time, sdk, *login, sim.loginUrl())) return {};
    KAVPackage hello = IBiz::makePackage("1003");
    hello.addValue(uid, "uid");
    hello.addValue(pwd, "pwd");
    hello.addValue("", "vcode");
    hello.addValue("1", "userType");
    const std::string sid = platform::jsonString(simRequest(time, *login, hello), "sid");
    login->close();
    return sid;
}

// Binds the open channel to the session and fetches its token; the token,
// empty on failure.
inline std::string simProxyLogin(VirtualTime& time, webSocket& channel, const std::string& sid,
                                 const std::string& uid, const std::string& pwd = "123456") {
    channel.setSID(sid);
    channel.setUID(uid);
    channel.setPWD(pwd);
    KAVPackage proxy = IBiz::makePackage("1005");
    for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
             {"sid", sid}, {"uid", uid}, {"userId", uid}, {"pwd", pwd}, {"vcode", ""}, {"userType", "1"}})
        proxy.addValue(value, key);
    channel.setTOKEN(platform::jsonString(simRequest(time, channel, proxy), "token"));
    return channel.TOKEN();
}

}  // namespace kavtest
