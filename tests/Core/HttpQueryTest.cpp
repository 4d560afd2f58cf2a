#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>

#include "Core/httpQuery.h"
#include "platform/Log.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/TestSupport.h"

namespace {

// What one request reported.
struct HttpOutcome {
    bool succeeded = false;
    std::string data;
    std::string status;
    std::string message;
    std::thread::id thread;
    int calls = 0;

    httpQuery::SuccessBlock success() {
        return [this](const std::string& body) {
            succeeded = true;
            data = body;
            thread = std::this_thread::get_id();
            ++calls;
        };
    }
    httpQuery::FailBlock failure() {
        return [this](const std::string& s, const std::string& m) {
            status = s;
            message = m;
            thread = std::this_thread::get_id();
            ++calls;
        };
    }
};

class HttpQuery : public ::testing::Test {
  protected:
    // Waits (real time, bounded) until the request has reported.
    bool waitFor(const HttpOutcome& outcome) {
        return time_.runUntil([&] { return outcome.calls > 0; }, 20);
    }
    kavtest::VirtualTime time_;  // real time never runs out a request here
    kavtest::HttpTestServer server_;
};

TEST_F(HttpQuery, AnswersArriveOnTheMainLoopAfterTheCall) {
    HttpOutcome ok, empty, missing, moved;
    httpQuery::asynGetWithUrl(server_.url("/ok"), ok.success(), ok.failure());
    httpQuery::asynGetWithUrlBin(server_.url("/empty"), empty.success(), empty.failure());
    httpQuery::asynGetWithUrl(server_.url("/nothing"), missing.success(), missing.failure());
    httpQuery::asynGetWithUrl(server_.url("/redirect"), moved.success(), moved.failure());
    // Either block may be missing.
    httpQuery::asynGetWithUrl(server_.url("/ok"), nullptr, nullptr);
    httpQuery::asynGetWithUrl(server_.url("/gone"), nullptr, nullptr);
    EXPECT_EQ(ok.calls + empty.calls + missing.calls + moved.calls, 0) << "never inside the call";

    for (HttpOutcome* o : {&ok, &empty, &missing, &moved})
        ASSERT_TRUE(waitFor(*o));
    EXPECT_TRUE(ok.succeeded);
    EXPECT_EQ(ok.data, kavtest::HttpTestServer::kBody);
    EXPECT_EQ(ok.thread, std::this_thread::get_id());
    EXPECT_TRUE(empty.succeeded);
    EXPECT_EQ(empty.data, "");
    EXPECT_FALSE(missing.succeeded);
    EXPECT_EQ(missing.status, "404");
    EXPECT_EQ(missing.message, "数据请求失败！");
    EXPECT_TRUE(moved.succeeded) << "redirects are followed";
    EXPECT_EQ(moved.data, kavtest::HttpTestServer::kBody);
    time_.advance(httpQuery::kTimeOut * 2);
    for (HttpOutcome* o : {&ok, &empty, &missing, &moved})
        EXPECT_EQ(o->calls, 1) << "no late time-out after the answer";
}

TEST_F(HttpQuery, NoResponseIsStatusZero) {
    HttpOutcome refused, malformed, otherScheme;
    kavtest::ClosedPort closed;
    httpQuery::asynGetWithUrl(closed.url("/ok"), refused.success(), refused.failure());
    httpQuery::asynGetWithUrl("not a url", malformed.success(), malformed.failure());
    httpQuery::asynGetWithUrl("file:///etc/passwd", otherScheme.success(), otherScheme.failure());
    EXPECT_EQ(refused.calls, 0);
    for (HttpOutcome* o : {&refused, &malformed, &otherScheme}) {
        ASSERT_TRUE(waitFor(*o));
        EXPECT_FALSE(o->succeeded);
        EXPECT_EQ(o->status, "0");
        EXPECT_EQ(o->message, "数据请求失败！");
    }
}

TEST_F(HttpQuery, AStalledServerTimesOutAfterTenSeconds) {
    platform::LogCapture log;
    HttpOutcome stalled;
    httpQuery::asynGetWithUrl(server_.url("/stall"), stalled.success(), stalled.failure());
    ASSERT_TRUE(time_.runUntil([&] { return server_.requests().size() == 1; }, 20));
    time_.advance(9.9);
    EXPECT_EQ(stalled.calls, 0);
    time_.advance(0.2);
    EXPECT_EQ(stalled.calls, 1);
    EXPECT_EQ(stalled.status, "0");
    EXPECT_EQ(stalled.message, "数据请求失败！");
    EXPECT_TRUE(log.contains("Timeout"));
}

TEST_F(HttpQuery, RequestsMadeOffTheMainThreadStillAnswerOnIt) {
    HttpOutcome ok;
    std::thread([&] {
        httpQuery::asynGetWithUrl(server_.url("/ok"), ok.success(), ok.failure());
    }).join();
    ASSERT_TRUE(waitFor(ok));
    EXPECT_TRUE(ok.succeeded);
    EXPECT_EQ(ok.thread, std::this_thread::get_id());
}

TEST_F(HttpQuery, SynchronousFormsAnswerBeforeReturning) {
    HttpOutcome ok, missing;
    httpQuery::synGetWithUrl(server_.url("/ok"), ok.success(), ok.failure());
    EXPECT_TRUE(ok.succeeded);
    EXPECT_EQ(ok.data, kavtest::HttpTestServer::kBody);
    httpQuery::synGetWithUrl(server_.url("/missing"), missing.success(), missing.failure());
    EXPECT_EQ(missing.status, "404");

    platform::LogCapture log;
    httpQuery::synPostWithUrl(server_.url("/echo"));
    EXPECT_TRUE(log.contains("POST /echo|type=focus-c"));
}

TEST_F(HttpQuery, TheFormPostSendsTheStoreIdentifier) {
    HttpOutcome posted;
    httpQuery::asynPostWithUrl(server_.url("/echo/register"), posted.success(), posted.failure());
    ASSERT_TRUE(waitFor(posted));
    EXPECT_EQ(posted.data, std::string("POST /echo/register|id=") + httpQuery::kStoreIdentifier);
}

TEST_F(HttpQuery, QueryValuesArePercentEncoded) {
    EXPECT_EQ(httpQuery::encodeQueryValue("a&b=c#d+e%f"), "a%26b%3Dc%23d%2Be%25f");
    EXPECT_EQ(httpQuery::encodeQueryValue("交易商 1"), "%E4%BA%A4%E6%98%93%E5%95%86%201");
    EXPECT_EQ(httpQuery::encodeQueryValue("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(httpQuery::encodeQueryValue("/?:@"), "%2F%3F%3A%40");
    EXPECT_EQ(httpQuery::encodeQueryValue(std::string("\0\xff", 2)), "%00%FF");
    // What the server reads is what was meant: one value, nothing cut off.
    HttpOutcome echo;
    const std::string target = "/echo?key=" + httpQuery::encodeQueryValue("K&x=1#frag+中");
    httpQuery::asynGetWithUrl(server_.url(target), echo.success(), echo.failure());
    ASSERT_TRUE(waitFor(echo));
    EXPECT_EQ(echo.data, "GET /echo?key=K%26x%3D1%23frag%2B%E4%B8%AD|");
}

}  // namespace
