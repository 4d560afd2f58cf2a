#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Core/WebSocket/KAVWebSocketHandshake.h"
#include "platform/Crypto.h"

using platform::net::URL;
using platform::net::URLRequest;

namespace {

URLRequest requestFor(const std::string& url) {
    return URLRequest(*URL::parse(url));
}

const std::string kKey = "dGhlIHNhbXBsZSBub25jZQ==";
// The accept value of that key (the example of RFC 6455).
const std::string kAccept = "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=";

std::string response(const std::string& statusLine, const std::string& fields) {
    return statusLine + "\r\n" + fields + "\r\n";
}

TEST(Handshake, CompanionHelpers) {
    EXPECT_EQ(stringBySHA1ThenBase64Encoding(kKey + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11"),
              kAccept);
    EXPECT_EQ(stringBySHA1ThenBase64Encoding(""), "2jmj7l5rSw0yVb/vlWAYkK/YBwk=");

    EXPECT_EQ(KAV_origin(*URL::parse("ws://Quotes.example.com/live")),
              "http://Quotes.example.com/");
    EXPECT_EQ(KAV_origin(*URL::parse("WSS://h:8443/")), "https://h:8443/");
    EXPECT_EQ(KAV_origin(*URL::parse("https://h/")), "https://h/");
    EXPECT_EQ(KAV_origin(*URL::parse("ws://[::1]:81")), "http://[::1]:81/");

    URLRequest request = requestFor("wss://h/");
    EXPECT_EQ(KAV_SSLPinnedCertificates(request), nullptr);
    setKAV_SSLPinnedCertificates(request, {});
    ASSERT_NE(KAV_SSLPinnedCertificates(request), nullptr);
    EXPECT_TRUE(KAV_SSLPinnedCertificates(request)->empty());
}

TEST(Handshake, UpgradeRequestFieldsInOrder) {
    const auto head =
        kavws::upgradeRequest(requestFor("ws://quotes.example.com/feed?a=1"), kKey, std::nullopt);
    EXPECT_EQ(head.serialize(),
              "GET /feed?a=1 HTTP/1.1\r\n"
              "Host: quotes.example.com\r\n"
              "Upgrade: websocket\r\n"
              "Connection: Upgrade\r\n"
              "Sec-WebSocket-Key: " +
                  kKey +
                  "\r\n"
                  "Sec-WebSocket-Version: 13\r\n"
                  "Origin: http://quotes.example.com/\r\n"
                  "\r\n");

    URLRequest request = requestFor("wss://h:8443");
    request.setValue("https://app.example/", "origin");
    request.setValue("yes", "X-Trace");
    const auto custom =
        kavws::upgradeRequest(request, kKey, std::vector<std::string>{"chat", "json"});
    EXPECT_EQ(custom.target, "/");
    EXPECT_EQ(custom.fields.value("Host"), "h:8443");
    EXPECT_EQ(custom.fields.value("Origin"),
              "https://app.example/");  // the request's own field wins
    EXPECT_EQ(custom.fields.value("Sec-WebSocket-Protocol"), "chat, json");
    EXPECT_EQ(custom.fields.value("x-trace"), "yes");
}

TEST(Handshake, ResponseChecks) {
    struct Case {
        std::string head;
        std::optional<std::vector<std::string>> protocols;
        long code;  // 0: accepted
        std::string text;
    };
    const std::string good =
        "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: " + kAccept + "\r\n";
    const std::vector<Case> cases = {
        {response("HTTP/1.1 101 Switching Protocols", good), std::nullopt, 0, ""},
        {response("HTTP/1.1 200 OK", good), std::nullopt, 0, ""},
        {response("HTTP/1.1 101 Switching Protocols", "sec-websocket-accept: " + kAccept + "\r\n"),
         std::nullopt, 0, ""},
        {response("HTTP/1.1 101 Switching Protocols", "Upgrade: websocket\r\n"), std::nullopt, 2133,
         "Invalid Sec-WebSocket-Accept response"},
        {response("HTTP/1.1 101 Switching Protocols", "Sec-WebSocket-Accept: x" + kAccept + "\r\n"),
         std::nullopt, 2133, "Invalid Sec-WebSocket-Accept response"},
        {response("HTTP/1.1 404 Not Found", ""), std::nullopt, 2132,
         "received bad response code from server 404"},
        {response("HTTP/1.1 101 Switching Protocols", good + "Sec-WebSocket-Protocol: chat\r\n"),
         std::nullopt, 2133, "Server specified Sec-WebSocket-Protocol that wasn't requested"},
        {response("HTTP/1.1 101 Switching Protocols", good + "Sec-WebSocket-Protocol: xml\r\n"),
         std::vector<std::string>{"chat"}, 2133,
         "Server specified Sec-WebSocket-Protocol that wasn't requested"},
        {response("garbage", good), std::nullopt, 2133, "Invalid HTTP response"},
    };
    for (const auto& c : cases) {
        const auto result = kavws::checkHandshakeResponse(c.head, kKey, c.protocols);
        if (c.code == 0) {
            EXPECT_FALSE(result.error) << c.head;
        } else {
            ASSERT_TRUE(result.error) << c.head;
            EXPECT_EQ(result.error->domain, KAVWebSocketErrorDomain);
            EXPECT_EQ(result.error->code, c.code);
            EXPECT_EQ(result.error->localizedDescription, c.text);
        }
    }
    const auto notFound =
        kavws::checkHandshakeResponse(response("HTTP/1.1 404 Not Found", ""), kKey, std::nullopt);
    EXPECT_EQ(std::get<long long>(notFound.error->userInfo.at(KAVHTTPResponseStatusCodeKey)), 404);

    const auto chosen = kavws::checkHandshakeResponse(
        response("HTTP/1.1 101 Switching Protocols", good + "Sec-WebSocket-Protocol: json\r\n"),
        kKey, std::vector<std::string>{"chat", "json"});
    EXPECT_FALSE(chosen.error);
    EXPECT_EQ(chosen.protocol, "json");
}

TEST(Handshake, ResponseHeadIsCappedAt16KiB) {
    std::string head = "HTTP/1.1 101 Switching Protocols\r\nX-Pad: ";
    EXPECT_EQ(kavws::responseHeadLength(head), 0u);
    head += std::string(kavws::kMaxResponseHeadSize - head.size() - 4, 'a') + "\r\n\r\n";
    EXPECT_EQ(kavws::responseHeadLength(head + "\x81\x00"), head.size());  // exactly 16 KiB is fine
    std::string tooLong = "HTTP/1.1 101 Switching Protocols\r\nX-Pad: " +
                          std::string(kavws::kMaxResponseHeadSize, 'a');
    EXPECT_FALSE(kavws::responseHeadLength(tooLong));
    EXPECT_FALSE(kavws::responseHeadLength(tooLong + "\r\n\r\n"));
    // An end that straddles the bytes already scanned and the new ones.
    const std::string piecewise = "HTTP/1.1 101 OK\r\nA: b\r\n\r\nrest";
    for (size_t scanned = 0; scanned + 4 < piecewise.size(); ++scanned)
        EXPECT_EQ(kavws::responseHeadLength(piecewise, std::min<size_t>(scanned, 24)), 25u)
            << scanned;
}

}  // namespace
