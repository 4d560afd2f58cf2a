#pragma once

// Helpers of the trading tests on fake connections: reading back what a
// channel sent, answering it, and recording the outcome of a request.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "Core/KAVCrypt.h"
#include "Core/KAVPackage.h"
#include "Core/KAVTypes.h"
#include "platform/Json.h"
#include "platform/Strings.h"
#include "tests/support/FakeConnection.h"

namespace kavtest {

// The i-th text sent on the connection (the last one when i is negative),
// deciphered when it does not begin with "{", and parsed.
inline KAVPackage sentPackage(const FakeConnection& connection, int i = -1) {
    KAVPackage p;
    if (connection.sent.empty()) {
        ADD_FAILURE() << "nothing was sent";
        return p;
    }
    const size_t index = i < 0 ? connection.sent.size() - 1 : static_cast<size_t>(i);
    std::string text = connection.sent.at(index);
    if (!text.empty() && text[0] != '{') {
        auto plain = KAVCrypt::decrypt(text, KAVCrypt::kPackageKey, KAVCrypt::kPackageIV);
        EXPECT_TRUE(plain.has_value());
        text = plain.value_or("");
    }
    EXPECT_TRUE(p.fromJSON(text));
    return p;
}

// Answers the request with a plain package of `data`.
inline void answer(FakeConnection& connection, const KAVPackage& request,
                   const std::string& retCode, const std::string& message,
                   const platform::Json& data = platform::Json::object()) {
    platform::Json reply = platform::Json::object();
    reply["event"] = platform::stringf("%d", std::stoi(request.event()) + 1);
    reply["msgOrder"] = platform::stringf("%d", request.msgOrder());
    reply["retCode"] = retCode;
    reply["message"] = message;
    reply["data"] = data;
    connection.fireText(reply.dump());
}

// Answers the last request with success and these records.
inline void answerLast(FakeConnection& connection, const platform::Json& children) {
    answer(connection, sentPackage(connection), "0", "", platform::Json{{"children", children}});
}

// The outcome of a request with result type T.
template <typename T = std::monostate>
struct Result {
    int successes = 0;
    T value{};
    std::vector<std::pair<std::string, std::string>> failures;

    auto success() {
        if constexpr (std::is_same_v<T, std::monostate>) {
            return [this] { ++successes; };
        } else {
            return [this](const T& v) {
                ++successes;
                value = v;
            };
        }
    }
    KAVFailureBlock failure() {
        return [this](const std::string& code, const std::string& message) {
            failures.emplace_back(code, message);
        };
    }
    bool failedWith(const std::string& code, const std::string& message) const {
        return successes == 0 && failures.size() == 1 &&
               failures[0] == std::make_pair(code, message);
    }
};

}  // namespace kavtest
