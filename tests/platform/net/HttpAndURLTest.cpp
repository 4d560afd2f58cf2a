#include <gtest/gtest.h>

#include "platform/net/HttpHead.h"
#include "platform/net/URL.h"

using platform::net::HttpRequestHead;
using platform::net::HttpResponseHead;
using platform::net::URL;

namespace {

TEST(URLParse, SplitsSchemeHostPortPathAndQuery) {
    auto u = URL::parse("wss://Example.com:8443/quotes/live?x=1&y=2#frag");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->scheme(), "wss");
    EXPECT_EQ(u->host(), "Example.com");
    EXPECT_EQ(u->port(), 8443);
    EXPECT_EQ(u->requestTarget(), "/quotes/live?x=1&y=2");

    auto plain = URL::parse("ws://10.0.0.1");
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->port());
    EXPECT_EQ(plain->requestTarget(), "/");

    auto v6 = URL::parse("ws://user@[::1]:9000/a");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host(), "::1");
    EXPECT_EQ(v6->hostForHeader(), "[::1]");
    EXPECT_EQ(v6->port(), 9000);
}

TEST(URLParse, RefusesMalformedURLs) {
    for (const char* bad :
         {"", "example.com", "://x", "ws://", "ws://host:", "ws://host:99999", "ws://host:8a",
          "ws://[::1", "ws://ho st/", "1ws://host", "ws://host/pa th",
          // A bracket anywhere but around an IPv6 literal: "[[x]" would be
          // read as the host "[x" and sent as the Host field "[x".
          "ws://[[x]/", "ws://[a]b]:80/", "ws://a]b/", "ws://a[b:80/"})
        EXPECT_FALSE(URL::parse(bad)) << bad;
}

TEST(HttpHead, SerializesFieldsInOrderAndReplacesByName) {
    HttpRequestHead head;
    head.target = "/chat";
    head.fields.set("Host", "a");
    head.fields.set("Origin", "http://a/");
    head.fields.set("origin", "http://b/");  // replaces, keeps its place
    head.fields.set("X-Extra", "1");
    EXPECT_EQ(head.serialize(),
              "GET /chat HTTP/1.1\r\nHost: a\r\norigin: http://b/\r\nX-Extra: 1\r\n\r\n");
}

TEST(HttpHead, ParsesResponseWithCaseInsensitiveLookup) {
    const std::string head =
        "HTTP/1.1 101 Switching Protocols\r\n"
        "upgrade:websocket\r\n"
        "SEC-WEBSOCKET-ACCEPT:   abc=  \r\n"
        "X-Multi: 1\r\n"
        "x-multi: 2\r\n"
        "X-Folded: first\r\n"
        " second\r\n"
        "\r\n";
    auto r = HttpResponseHead::parse(head);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->statusCode, 101);
    EXPECT_EQ(r->reasonPhrase, "Switching Protocols");
    EXPECT_EQ(r->fields.value("Upgrade"), "websocket");
    EXPECT_EQ(r->fields.value("sec-websocket-accept"), "abc=");
    EXPECT_EQ(r->fields.value("X-MULTI"), "1, 2");
    EXPECT_EQ(r->fields.value("x-folded"), "first second");
    EXPECT_FALSE(r->fields.value("Missing"));

    auto bare = HttpResponseHead::parse("HTTP/1.0 404\r\n\r\n");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->statusCode, 404);
    EXPECT_EQ(bare->reasonPhrase, "");
}

TEST(HttpHead, RefusesMalformedResponses) {
    for (const char* bad :
         {"HTTP/1.1 101 OK\r\n",  // no final empty line
          "HTTP/1.1 10 OK\r\n\r\n", "HTTP/1.1101 OK\r\n\r\n", "HTTX/1.1 101 OK\r\n\r\n",
          "HTTP/1.1 101 OK\r\nNoColon\r\n\r\n", "HTTP/1.1 101 OK\r\n: empty\r\n\r\n",
          "HTTP/1.1 101 OK\r\nBad Name: x\r\n\r\n", "HTTP/1.1 101 OK\r\n folded-first\r\n\r\n",
          "HTTP/1.1 101 OK\r\nX: a\x01"
          "b\r\n\r\n",
          "HTTP/1.1 101 OK\r\n\r\nX: late\r\n\r\n"})
        EXPECT_FALSE(HttpResponseHead::parse(bad)) << bad;
}

TEST(HttpHead, HeadLengthStopsAtTheFirstEmptyLine) {
    const std::string bytes = "HTTP/1.1 101 OK\r\nA: b\r\n\r\n\x81\x02hi";
    EXPECT_EQ(platform::net::httpHeadLength(bytes), bytes.size() - 4);
    EXPECT_EQ(platform::net::httpHeadLength("HTTP/1.1 101 OK\r\nA: b\r\n\r"), 0u);
}

}  // namespace
