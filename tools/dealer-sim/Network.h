#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>

namespace dealersim {

namespace net = boost::asio;
using tcp = net::ip::tcp;

// The dealer's WebSocket services, each on its own port.
enum class Service { Login = 0, Trade, Quote, CQuote, Msg, History };
inline constexpr int kServiceCount = 6;
const char* serviceName(Service s);
std::optional<Service> serviceByName(std::string_view name);

// One open (or opening) WebSocket connection as the simulator sees it.
class WsPeer : public std::enable_shared_from_this<WsPeer> {
  public:
    virtual ~WsPeer() = default;
    // Queues a text message; messages go out in the order queued.
    virtual void send(std::string text) = 0;
    // A clean close with a close frame, after everything queued before it.
    virtual void close(uint16_t code, std::string reason) = 0;
    // Drops the TCP connection at once with a reset.
    virtual void reset() = 0;
    // Messages queued and not yet written out (the one being written included).
    virtual size_t queued() const = 0;
    // Seconds since a write last made progress while something is queued;
    // 0 when nothing waits. A client that stops reading shows here.
    virtual double stalledSeconds() const = 0;

    // Called each time the last queued message has been written (a flood
    // feeds the connection as fast as it takes messages).
    std::function<void()> onDrained;

    int id = 0;
    Service service = Service::Login;
    std::string path;  // request target of the handshake
    std::string sid;   // session the connection is logged in to
    std::string uid;
    bool loggedIn = false;
};

// What the WebSocket listeners ask of the simulator.
class WsHost {
  public:
    virtual ~WsHost() = default;
    // Consumes one "refuse the next connection" of the service, if any.
    virtual bool refuseConnection(Service s) = 0;
    // Consumes one "stall the next handshake" of the service, if any.
    virtual bool stallHandshake(Service s) = 0;
    virtual void opened(const std::shared_ptr<WsPeer>& peer) = 0;
    virtual void received(const std::shared_ptr<WsPeer>& peer, std::string text, bool binary) = 0;
    virtual void closed(const std::shared_ptr<WsPeer>& peer) = 0;
};

struct HttpRequest {
    std::string method;
    std::string target;
    std::string path;                          // target without the query, percent-decoded
    std::map<std::string, std::string> query;  // values percent-decoded
    std::string body;
};

struct HttpAnswer {
    int status = 200;
    std::string contentType = "application/json; charset=utf-8";
    std::string body;
};

// The handler answers through the responder exactly once, now or later (on
// the same thread).
using HttpResponder = std::function<void(HttpAnswer)>;
using HttpHandler = std::function<void(const HttpRequest&, HttpResponder)>;

// Decodes %XX escapes; nothing when an escape is malformed.
std::optional<std::string> percentDecode(std::string_view text);

// An accepting socket. `bind` throws std::system_error with a readable text.
class Listener : public std::enable_shared_from_this<Listener> {
  public:
    using OnAccept = std::function<void(tcp::socket)>;
    Listener(net::io_context& io, const std::string& address, uint16_t port, OnAccept onAccept);
    uint16_t port() const { return port_; }
    void run();

  private:
    void accept();
    tcp::acceptor acceptor_;
    OnAccept onAccept_;
    uint16_t port_ = 0;
};

// Serves one accepted socket as a WebSocket service (TLS when `tls` is set).
void serveWebSocket(tcp::socket socket, Service service, int id, WsHost& host,
                    net::ssl::context* tls);
// Serves one accepted socket as an HTTP/1.1 server with keep-alive.
void serveHttp(tcp::socket socket, HttpHandler handler, net::ssl::context* tls);
// Drops a socket with a TCP reset.
void resetSocket(tcp::socket& socket);

}  // namespace dealersim
