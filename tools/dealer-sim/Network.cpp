#include "tools/dealer-sim/Network.h"

#include <boost/asio/ssl/stream.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>

#include <chrono>
#include <deque>
#include <optional>
#include <system_error>
#include <type_traits>

namespace dealersim {

namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
namespace ssl = net::ssl;

using PlainStream = beast::tcp_stream;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;

const char* serviceName(Service s) {
    switch (s) {
        case Service::Login:
            return "login";
        case Service::Trade:
            return "trade";
        case Service::Quote:
            return "quote";
        case Service::CQuote:
            return "cquote";
        case Service::Msg:
            return "msg";
        case Service::History:
            return "history";
    }
    return "?";
}

std::optional<Service> serviceByName(std::string_view name) {
    for (int i = 0; i < kServiceCount; ++i)
        if (name == serviceName(static_cast<Service>(i))) return static_cast<Service>(i);
    return std::nullopt;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int hi = hex(text[i + 1]);
        const int lo = hex(text[i + 2]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out += char(hi * 16 + lo);
        i += 2;
    }
    return out;
}

void resetSocket(tcp::socket& socket) {
    boost::system::error_code ec;
    socket.set_option(net::socket_base::linger(true, 0), ec);
    socket.close(ec);
}

// ---- listener ----

Listener::Listener(net::io_context& io, const std::string& address, uint16_t port,
                   OnAccept onAccept)
    : acceptor_(io), onAccept_(std::move(onAccept)) {
    boost::system::error_code ec;
    const auto ip = net::ip::make_address(address, ec);
    if (ec) throw std::system_error(ec.value(), std::generic_category(), "bad address " + address);
    tcp::endpoint ep(ip, port);
    acceptor_.open(ep.protocol(), ec);
    if (!ec) acceptor_.set_option(net::socket_base::reuse_address(true), ec);
    if (!ec) acceptor_.bind(ep, ec);
    if (!ec) acceptor_.listen(net::socket_base::max_listen_connections, ec);
    if (ec)
        throw std::system_error(
            ec.value(), std::generic_category(),
            "cannot listen on " + address + ":" + std::to_string(port) + ": " + ec.message());
    port_ = acceptor_.local_endpoint().port();
}

void Listener::run() {
    accept();
}

void Listener::accept() {
    acceptor_.async_accept(
        [self = shared_from_this()](boost::system::error_code ec, tcp::socket socket) {
            if (ec == net::error::operation_aborted) return;
            if (!ec) {
                boost::system::error_code ignored;
                socket.set_option(tcp::no_delay(true), ignored);
                self->onAccept_(std::move(socket));
            }
            self->accept();
        });
}

// ---- WebSocket ----

namespace {

template <class Next>
class WsSession final : public WsPeer {
  public:
    static constexpr bool kTls = std::is_same_v<Next, TlsStream>;

    WsSession(tcp::socket&& socket, WsHost& host) requires(!kTls)
        : ws_(std::move(socket)), host_(host) {}
    WsSession(tcp::socket&& socket, WsHost& host, ssl::context& ctx) requires(kTls)
        : ws_(std::move(socket), ctx), host_(host) {}

    void run() {
        if constexpr (kTls) {
            beast::get_lowest_layer(ws_).expires_after(std::chrono::seconds(30));
            ws_.next_layer().async_handshake(ssl::stream_base::server,
                                             [self = self()](boost::system::error_code ec) {
                                                 if (ec) return self->finish();
                                                 self->readHandshake();
                                             });
        } else {
            readHandshake();
        }
    }

    void send(std::string text) override {
        if (closed_ || closing_) return;
        if (queue_.empty()) progress_ = std::chrono::steady_clock::now();
        queue_.push_back(std::move(text));
        if (!writing_) writeNext();
    }

    size_t queued() const override { return queue_.size(); }

    double stalledSeconds() const override {
        if (queue_.empty()) return 0;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - progress_).count();
    }

    void close(uint16_t code, std::string reason) override {
        if (closed_ || closing_) return;
        closing_ = true;
        closeCode_ = code;
        closeReason_ = std::move(reason);
        if (!opened_) return reset();
        if (!writing_) doClose();
    }

    void reset() override {
        if (closed_) return;
        resetSocket(beast::get_lowest_layer(ws_).socket());
        finish();
    }

  private:
    std::shared_ptr<WsSession> self() {
        return std::static_pointer_cast<WsSession>(shared_from_this());
    }

    void readHandshake() {
        beast::get_lowest_layer(ws_).expires_never();
        http::async_read(
            ws_.next_layer(), buffer_, request_,
            [self = self()](boost::system::error_code ec, size_t) { self->onHandshake(ec); });
    }

    void onHandshake(boost::system::error_code ec) {
        if (ec || closed_) return finish();
        path = std::string(request_.target());
        if (!websocket::is_upgrade(request_)) return reset();
        if (host_.stallHandshake(service)) return waitForPeerToLeave();
        websocket::stream_base::timeout opt{};
        opt.handshake_timeout = std::chrono::seconds(30);
        opt.idle_timeout = websocket::stream_base::none();
        opt.keep_alive_pings = false;
        ws_.set_option(opt);
        ws_.read_message_max(8 * 1024 * 1024);
        ws_.auto_fragment(false);
        ws_.async_accept(request_, [self = self()](boost::system::error_code ec2) {
            if (ec2 || self->closed_) return self->finish();
            self->opened_ = true;
            self->host_.opened(self);
            if (self->closing_) return self->doClose();
            self->read();
        });
    }

    // A stalled handshake: the request was read and is never answered. The
    // connection lives until the client gives up or the simulator drops it.
    void waitForPeerToLeave() {
        ws_.next_layer().async_read_some(net::buffer(probe_),
                                         [self = self()](boost::system::error_code ec, size_t) {
                                             if (ec || self->closed_) return self->finish();
                                             self->waitForPeerToLeave();
                                         });
    }

    void read() {
        ws_.async_read(buffer_, [self = self()](boost::system::error_code ec, size_t) {
            if (ec || self->closed_) return self->finish();
            std::string text = beast::buffers_to_string(self->buffer_.data());
            self->buffer_.consume(self->buffer_.size());
            self->host_.received(self, std::move(text), !self->ws_.got_text());
            if (!self->closed_) self->read();
        });
    }

    void writeNext() {
        if (closed_) return;
        if (queue_.empty()) {
            writing_ = false;
            if (closing_) {
                doClose();
                return;
            }
            if (onDrained) {
                // May queue more at once (and so come back here).
                const auto drained = onDrained;
                drained();
            }
            return;
        }
        writing_ = true;
        ws_.text(true);
        ws_.async_write(net::buffer(queue_.front()),
                        [self = self()](boost::system::error_code ec, size_t) {
                            if (ec) return self->finish();
                            self->progress_ = std::chrono::steady_clock::now();
                            self->queue_.pop_front();
                            self->writeNext();
                        });
    }

    void doClose() {
        if (closed_ || closeStarted_) return;
        closeStarted_ = true;
        ws_.async_close(
            websocket::close_reason(static_cast<websocket::close_code>(closeCode_), closeReason_),
            [self = self()](boost::system::error_code) { self->finish(); });
    }

    void finish() {
        if (closed_) return;
        closed_ = true;
        queue_.clear();
        onDrained = nullptr;
        if (opened_) host_.closed(self());
    }

    websocket::stream<Next> ws_;
    WsHost& host_;
    beast::flat_buffer buffer_;
    http::request<http::string_body> request_;
    std::deque<std::string> queue_;
    std::chrono::steady_clock::time_point progress_ = std::chrono::steady_clock::now();
    char probe_[64];
    bool opened_ = false, writing_ = false, closing_ = false, closeStarted_ = false,
         closed_ = false;
    uint16_t closeCode_ = 1000;
    std::string closeReason_;
};

// ---- HTTP ----

template <class Stream>
class HttpSession final : public std::enable_shared_from_this<HttpSession<Stream>> {
  public:
    static constexpr bool kTls = std::is_same_v<Stream, TlsStream>;

    HttpSession(tcp::socket&& socket, HttpHandler handler) requires(!kTls)
        : stream_(std::move(socket)), handler_(std::move(handler)) {}
    HttpSession(tcp::socket&& socket, HttpHandler handler, ssl::context& ctx) requires(kTls)
        : stream_(std::move(socket), ctx), handler_(std::move(handler)) {}

    void run() {
        if constexpr (kTls) {
            beast::get_lowest_layer(stream_).expires_after(std::chrono::seconds(30));
            stream_.async_handshake(ssl::stream_base::server, [self = this->shared_from_this()](
                                                                  boost::system::error_code ec) {
                if (!ec) self->read();
            });
        } else {
            read();
        }
    }

  private:
    void read() {
        parser_.emplace();
        parser_->body_limit(kMaxBodySize);
        parser_->header_limit(kMaxHeaderSize);
        beast::get_lowest_layer(stream_).expires_never();
        http::async_read(stream_, buffer_, *parser_,
                         [self = this->shared_from_this()](boost::system::error_code ec, size_t) {
                             if (ec == http::error::body_limit || ec == http::error::header_limit) {
                                 // Answered, not cut off; the connection ends
                                 // since the rest of the request is unread.
                                 return self->refuse(ec == http::error::body_limit ? 413 : 431);
                             }
                             if (ec) return self->shutdown();
                             self->request_ = self->parser_->release();
                             self->dispatch();
                         });
    }

    void refuse(int status) {
        auto res = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(status), 11);
        res->set(http::field::server, "dealer-sim");
        res->set(http::field::content_type, "application/json; charset=utf-8");
        res->keep_alive(false);
        res->body() = status == 413 ? R"({"error":"request body too large"})"
                                    : R"({"error":"request head too large"})";
        res->prepare_payload();
        http::async_write(
            stream_, *res,
            [self = this->shared_from_this(), res](boost::system::error_code ec, size_t) {
                if (ec) return self->shutdown();
                boost::system::error_code ignored;
                beast::get_lowest_layer(self->stream_)
                    .socket()
                    .shutdown(tcp::socket::shutdown_send, ignored);
                self->discardRest();
            });
    }

    // Reads and drops what the client still sends, so that closing with
    // unread bytes does not reset the connection under the answer.
    void discardRest() {
        stream_.async_read_some(net::buffer(scratch_), [self = this->shared_from_this()](
                                                           boost::system::error_code ec, size_t) {
            if (ec) return self->shutdown();
            self->discardRest();
        });
    }

    void dispatch() {
        HttpRequest req;
        req.method = std::string(request_.method_string());
        req.target = std::string(request_.target());
        req.body = request_.body();
        const auto q = req.target.find('?');
        req.path = percentDecode(req.target.substr(0, q)).value_or(req.target.substr(0, q));
        if (q != std::string::npos) {
            std::string_view rest(req.target);
            rest.remove_prefix(q + 1);
            while (!rest.empty()) {
                const auto amp = rest.find('&');
                std::string_view pair = rest.substr(0, amp);
                rest = amp == std::string_view::npos ? std::string_view() : rest.substr(amp + 1);
                if (pair.empty()) continue;
                const auto eq = pair.find('=');
                const auto key = percentDecode(pair.substr(0, eq));
                const auto value = eq == std::string_view::npos
                                       ? std::optional<std::string>("")
                                       : percentDecode(pair.substr(eq + 1));
                if (key && value) req.query[*key] = *value;
            }
        }
        const bool keepAlive = request_.keep_alive();
        const unsigned version = request_.version();
        handler_(req, [self = this->shared_from_this(), keepAlive, version,
                       answered = false](HttpAnswer a) mutable {
            if (answered) return;
            answered = true;
            self->respond(std::move(a), keepAlive, version);
        });
    }

    void respond(HttpAnswer a, bool keepAlive, unsigned version) {
        auto res = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(a.status), version);
        res->set(http::field::server, "dealer-sim");
        res->set(http::field::content_type, a.contentType);
        res->keep_alive(keepAlive);
        res->body() = std::move(a.body);
        res->prepare_payload();
        http::async_write(stream_, *res,
                          [self = this->shared_from_this(), res, keepAlive](
                              boost::system::error_code ec, size_t) {
                              if (ec || !keepAlive) return self->shutdown();
                              self->read();
                          });
    }

    void shutdown() {
        boost::system::error_code ec;
        if constexpr (kTls) {
            beast::get_lowest_layer(stream_).socket().shutdown(tcp::socket::shutdown_both, ec);
            beast::get_lowest_layer(stream_).socket().close(ec);
        } else {
            stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
        }
    }

    // Larger bodies are refused with 413: nothing sent to the simulator
    // comes near this.
    static constexpr uint64_t kMaxBodySize = 8u << 20;
    static constexpr uint32_t kMaxHeaderSize = 64u << 10;

    Stream stream_;
    HttpHandler handler_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    http::request<http::string_body> request_;
    char scratch_[4096];
};

}  // namespace

void serveWebSocket(tcp::socket socket, Service service, int id, WsHost& host, ssl::context* tls) {
    if (tls) {
        auto s = std::make_shared<WsSession<TlsStream>>(std::move(socket), host, *tls);
        s->service = service;
        s->id = id;
        s->run();
    } else {
        auto s = std::make_shared<WsSession<PlainStream>>(std::move(socket), host);
        s->service = service;
        s->id = id;
        s->run();
    }
}

void serveHttp(tcp::socket socket, HttpHandler handler, ssl::context* tls) {
    if (tls)
        std::make_shared<HttpSession<TlsStream>>(std::move(socket), std::move(handler), *tls)
            ->run();
    else
        std::make_shared<HttpSession<PlainStream>>(std::move(socket), std::move(handler))->run();
}

}  // namespace dealersim
