#pragma once

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/RunLoop.h"

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

    HttpTestServer() : acceptor_(io_, {boost::asio::ip::make_address("127.0.0.1"), 0}) {
        accept();
        thread_ = std::thread([this] { io_.run(); });
    }
    ~HttpTestServer() {
        io_.stop();
        thread_.join();
    }
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    std::string url(const std::string& target) const {
        return "http://127.0.0.1:" + std::to_string(acceptor_.local_endpoint().port()) + target;
    }
    // From now on `target` (path and query) is answered with the status and body.
    void route(const std::string& target, unsigned status, std::string body) {
        std::lock_guard lock(mutex_);
        routes_[target] = {status, std::move(body)};
    }
    std::vector<std::string> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

  private:
    using tcp = boost::asio::ip::tcp;

    struct Session : std::enable_shared_from_this<Session> {
        Session(tcp::socket s, HttpTestServer& owner) : socket(std::move(s)), server(owner) {}
        tcp::socket socket;
        HttpTestServer& server;
        boost::beast::flat_buffer buffer;
        boost::beast::http::request<boost::beast::http::string_body> request;
        boost::beast::http::response<boost::beast::http::string_body> response;

        void start() {
            boost::beast::http::async_read(
                socket, buffer, request,
                [self = shared_from_this()](boost::beast::error_code ec, size_t) {
                    if (!ec) self->answer();
                });
        }

        void answer() {
            namespace http = boost::beast::http;
            const std::string target(request.target());
            const std::string method(request.method_string());
            server.record(method + " " + target + "|" + request.body());
            if (target == "/stall") {
                server.keep(shared_from_this());
                return;
            }
            response.version(request.version());
            response.keep_alive(false);
            response.result(http::status::ok);
            if (const auto routed = server.routed(target)) {
                response.result(routed->first);
                response.body() = routed->second;
            } else if (target.rfind("/ok", 0) == 0) {
                response.body() = kBody;
            } else if (target == "/empty") {
            } else if (target == "/redirect") {
                response.result(http::status::found);
                response.set(http::field::location, "/ok");
            } else if (target.rfind("/echo", 0) == 0) {
                response.body() = method + " " + target + "|" + request.body();
            } else {
                response.result(http::status::not_found);
                response.body() = "not here";
            }
            response.prepare_payload();
            http::async_write(socket, response,
                              [self = shared_from_this()](boost::beast::error_code, size_t) {
                                  boost::beast::error_code ignored;
                                  self->socket.shutdown(tcp::socket::shutdown_send, ignored);
                              });
        }
    };

    void accept() {
        acceptor_.async_accept([this](boost::beast::error_code ec, tcp::socket socket) {
            if (ec) return;
            std::make_shared<Session>(std::move(socket), *this)->start();
            accept();
        });
    }
    void record(std::string line) {
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(std::move(line));
        }
        platform::RunLoop::main().post([] {});
    }
    std::optional<std::pair<unsigned, std::string>> routed(const std::string& target) const {
        std::lock_guard lock(mutex_);
        const auto it = routes_.find(target);
        if (it == routes_.end()) return std::nullopt;
        return it->second;
    }
    void keep(std::shared_ptr<Session> session) { stalled_.push_back(std::move(session)); }

    boost::asio::io_context io_;
    tcp::acceptor acceptor_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::map<std::string, std::pair<unsigned, std::string>> routes_;
    std::vector<std::shared_ptr<Session>> stalled_;  // server thread only
};

// A loopback port on which nothing listens for as long as it lives: bound
// without listening, so a connection is refused and no other program can
// take the port meanwhile.
class ClosedPort {
  public:
    ClosedPort() : socket_(io_) {
        socket_.open(boost::asio::ip::tcp::v4());
        socket_.bind({boost::asio::ip::make_address("127.0.0.1"), 0});
    }
    std::string url(const std::string& target) const {
        return "http://127.0.0.1:" + std::to_string(socket_.local_endpoint().port()) + target;
    }

  private:
    boost::asio::io_context io_;
    boost::asio::ip::tcp::socket socket_;
};

}  // namespace kavtest
