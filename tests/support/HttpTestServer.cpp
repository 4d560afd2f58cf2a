#include "tests/support/HttpTestServer.h"

#include <utility>  // before Asio, whose awaitable.hpp uses std::exchange without it

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/RunLoop.h"

namespace kavtest {

using tcp = boost::asio::ip::tcp;

struct HttpTestServer::Impl {
    struct Session : std::enable_shared_from_this<Session> {
        Session(tcp::socket s, Impl& owner) : socket(std::move(s)), server(owner) {}
        tcp::socket socket;
        Impl& server;
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

    Impl() : acceptor(io, {boost::asio::ip::make_address("127.0.0.1"), 0}) {
        accept();
        thread = std::thread([this] { io.run(); });
    }
    ~Impl() {
        io.stop();
        thread.join();
    }

    void accept() {
        acceptor.async_accept([this](boost::beast::error_code ec, tcp::socket socket) {
            if (ec) return;
            std::make_shared<Session>(std::move(socket), *this)->start();
            accept();
        });
    }
    void record(std::string line) {
        {
            std::lock_guard lock(mutex);
            requests.push_back(std::move(line));
        }
        platform::RunLoop::main().post([] {});
    }
    std::optional<std::pair<unsigned, std::string>> routed(const std::string& target) const {
        std::lock_guard lock(mutex);
        const auto it = routes.find(target);
        if (it == routes.end()) return std::nullopt;
        return it->second;
    }
    void keep(std::shared_ptr<Session> session) { stalled.push_back(std::move(session)); }

    boost::asio::io_context io;
    tcp::acceptor acceptor;
    std::thread thread;
    mutable std::mutex mutex;
    std::vector<std::string> requests;
    std::map<std::string, std::pair<unsigned, std::string>> routes;
    std::vector<std::shared_ptr<Session>> stalled;  // server thread only
};

HttpTestServer::HttpTestServer() : impl_(std::make_unique<Impl>()) {}
HttpTestServer::~HttpTestServer() = default;

std::string HttpTestServer::url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(impl_->acceptor.local_endpoint().port()) + target;
}

void HttpTestServer::route(const std::string& target, unsigned status, std::string body) {
    std::lock_guard lock(impl_->mutex);
    impl_->routes[target] = {status, std::move(body)};
}

std::vector<std::string> HttpTestServer::requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

struct ClosedPort::Impl {
    Impl() : socket(io) {
        socket.open(tcp::v4());
        socket.bind({boost::asio::ip::make_address("127.0.0.1"), 0});
    }
    boost::asio::io_context io;
    tcp::socket socket;
};

ClosedPort::ClosedPort() : impl_(std::make_unique<Impl>()) {}
ClosedPort::~ClosedPort() = default;

std::string ClosedPort::url(const std::string& target) const {
    return "http://127.0.0.1:" + std::to_string(impl_->socket.local_endpoint().port()) + target;
}

}  // namespace kavtest
