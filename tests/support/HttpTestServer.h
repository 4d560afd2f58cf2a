#pragma once

// The server's Boost.Beast code lives in HttpTestServer.cpp, a test peer built
// without the sanitizers: the tests that include this header stay light.

#include <memory>
#include <string>
#include <vector>

namespace kavtest {

// A small HTTP server on loopback for tests of HTTP clients:
//   /ok...      200 with a Chinese text body
//   /empty      200 with no body
//   /redirect   302 to /ok
//   /echo...    200 with "<method> <target>|<body>"
//   /stall      reads the request and never answers
//   routes set with route(), before all of these
//   anything else 404
// Every request it reads wakes the main run loop, so a test can wait for it.
class HttpTestServer {
  public:
    static constexpr const char* kBody = "你好, dealer";

    HttpTestServer();
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    std::string url(const std::string& target) const;
    // From now on `target` (path and query) is answered with the status and body.
    void route(const std::string& target, unsigned status, std::string body);
    std::vector<std::string> requests() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A loopback port on which nothing listens for as long as it lives: bound
// without listening, so a connection is refused and no other program can
// take the port meanwhile.
class ClosedPort {
  public:
    ClosedPort();
    ~ClosedPort();
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;
    std::string url(const std::string& target) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace kavtest
