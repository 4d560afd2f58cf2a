#include "tests/tools/SimClient.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>

#include <chrono>
#include <stdexcept>
#include <variant>

#include "platform/Crypto.h"
#include "tests/support/PeerHttp.h"

namespace simtest {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;
using PlainWs = websocket::stream<beast::tcp_stream>;
using TlsWs = websocket::stream<beast::ssl_stream<beast::tcp_stream>>;

int SimClient::nextOrder_ = 2;

std::string renderLikeClient(const std::string& event, int msgOrder, const Pairs& data,
                             const Pairs& children, const Pairs& parames) {
    std::string d = "{";
    for (const auto& [k, v] : data)
        d += "\"" + k + "\": \"" + v + "\",";
    if (!children.empty()) {
        std::string inner;
        for (const auto& [k, v] : children)
            inner += "\"" + k + "\": \"" + v + "\",";
        d += "\"children\": [{" + inner + "}],";
    }
    if (!parames.empty()) {
        std::string p;
        for (const auto& [k, v] : parames)
            p += "{ \"operator\" :\"and\", \"key\" : \"" + k + "\", \"value\" : \"" + v + "\"},";
        p.pop_back();
        d += "\"parames\": [" + p + "],";
    }
    d += "}";
    for (size_t pos; (pos = d.find(",}")) != std::string::npos;)
        d.replace(pos, 2, "}");
    return "{\"event\":\"" + event + "\",\"token\" : \"\",\"msgOrder\":\"" +
           std::to_string(msgOrder) + "\",\"encrypt\":\"1\",\"data\":" + d + "}";
}

namespace {

struct Url {
    bool tls = false;
    std::string host;
    std::string port;
    std::string target;
};

Url parseUrl(const std::string& url) {
    Url u;
    std::string rest;
    if (url.rfind("wss://", 0) == 0) {
        u.tls = true;
        rest = url.substr(6);
    } else if (url.rfind("ws://", 0) == 0) {
        rest = url.substr(5);
    } else {
        throw std::runtime_error("not a WebSocket address: " + url);
    }
    const auto slash = rest.find('/');
    const std::string hostPort = rest.substr(0, slash);
    u.target = slash == std::string::npos ? "/" : rest.substr(slash);
    const auto colon = hostPort.rfind(':');
    u.host = hostPort.substr(0, colon);
    u.port = hostPort.substr(colon + 1);
    return u;
}

std::string aesKey(const std::string& key) {
    std::string k = key.substr(0, key.size() <= 16 ? 16 : key.size() <= 24 ? 24 : 32);
    k.resize(key.size() <= 16 ? 16 : key.size() <= 24 ? 24 : 32, '\0');
    return k;
}

}  // namespace

struct SimClient::Impl {
    net::io_context io;
    ssl::context tlsCtx{ssl::context::tls_client};
    std::variant<std::monostate, std::unique_ptr<PlainWs>, std::unique_ptr<TlsWs>> ws;
    beast::flat_buffer buffer;
    std::deque<std::string> inbox;
    bool reading = false;
    bool closed = false;
    int closeCode = 0;
    std::string error;

    template <class F>
    void visit(F&& f) {
        if (auto* p = std::get_if<std::unique_ptr<PlainWs>>(&ws)) return f(**p);
        if (auto* t = std::get_if<std::unique_ptr<TlsWs>>(&ws)) return f(**t);
    }

    // Runs handlers until `done` holds or the time is up.
    bool pump(const std::function<bool()>& done, int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            const auto left = deadline - std::chrono::steady_clock::now();
            if (left <= std::chrono::steady_clock::duration::zero()) return false;
            io.restart();
            io.run_one_for(left);
        }
        return true;
    }

    void startRead() {
        if (reading || closed) return;
        reading = true;
        visit([this](auto& s) {
            s.async_read(buffer, [this, &s](boost::system::error_code ec, size_t) {
                reading = false;
                if (ec) {
                    closed = true;
                    closeCode = s.reason().code;
                    return;
                }
                inbox.push_back(beast::buffers_to_string(buffer.data()));
                buffer.consume(buffer.size());
            });
        });
    }

    // Connects and handshakes; the error text or nothing.
    std::optional<std::string> connect(const std::string& url, int timeoutMs,
                                       const std::string& caFile) {
        const Url u = parseUrl(url);
        tcp::resolver resolver(io);
        const auto endpoints = resolver.resolve(u.host, u.port);
        bool done = false;
        boost::system::error_code result;
        auto finish = [&](boost::system::error_code ec) {
            result = ec;
            done = true;
        };
        if (u.tls) {
            if (!caFile.empty()) {
                tlsCtx.load_verify_file(caFile);
                tlsCtx.set_verify_mode(ssl::verify_peer);
            }
            auto s = std::make_unique<TlsWs>(io, tlsCtx);
            auto* raw = s.get();
            ws = std::move(s);
            beast::get_lowest_layer(*raw).async_connect(
                endpoints, [&, raw, u](boost::system::error_code ec, tcp::endpoint) {
                    if (ec) return finish(ec);
                    raw->next_layer().async_handshake(
                        ssl::stream_base::client, [&, raw, u](boost::system::error_code ec2) {
                            if (ec2) return finish(ec2);
                            raw->async_handshake(u.host + ":" + u.port, u.target, finish);
                        });
                });
        } else {
            auto s = std::make_unique<PlainWs>(io);
            auto* raw = s.get();
            ws = std::move(s);
            beast::get_lowest_layer(*raw).async_connect(
                endpoints, [&, raw, u](boost::system::error_code ec, tcp::endpoint) {
                    if (ec) return finish(ec);
                    raw->async_handshake(u.host + ":" + u.port, u.target, finish);
                });
        }
        if (!pump([&] { return done; }, timeoutMs)) return std::string("timeout");
        if (result) return result.message();
        visit([](auto& s) { beast::get_lowest_layer(s).expires_never(); });
        return std::nullopt;
    }
};

SimClient::SimClient(const std::string& url, std::string key, const std::string& caFile)
    : impl_(std::make_unique<Impl>()), key_(std::move(key)) {
    if (auto error = impl_->connect(url, 5000, caFile))
        throw std::runtime_error("cannot connect to " + url + ": " + *error);
}

SimClient::~SimClient() {
    if (!impl_->closed) {
        impl_->visit([](auto& s) {
            boost::system::error_code ec;
            beast::get_lowest_layer(s).socket().close(ec);
        });
    }
}

std::optional<std::string> SimClient::tryConnect(const std::string& url, int timeoutMs,
                                                 const std::string& caFile) {
    Impl impl;
    return impl.connect(url, timeoutMs, caFile);
}

void SimClient::sendText(const std::string& text) {
    bool done = false;
    boost::system::error_code result;
    impl_->visit([&](auto& s) {
        s.text(true);
        s.async_write(net::buffer(text), [&](boost::system::error_code ec, size_t) {
            result = ec;
            done = true;
        });
    });
    if (!impl_->pump([&] { return done; }, 5000) || result) throw std::runtime_error("send failed");
}

std::string SimClient::encipher(const std::string& text) const {
    const size_t pad = 16 - text.size() % 16;
    std::string padded = text + std::string(pad, char(pad));
    auto aes = platform::crypto::AesEcb::create(aesKey(key_));
    return platform::crypto::base64Encode(*aes->encrypt(padded));
}

std::string SimClient::decipher(const std::string& text) const {
    auto bytes = platform::crypto::base64Decode(text);
    if (!bytes) throw std::runtime_error("received text is not Base64: " + text);
    auto aes = platform::crypto::AesEcb::create(aesKey(key_));
    auto plain = aes->decrypt(*bytes);
    if (!plain || plain->empty()) throw std::runtime_error("cannot decipher the received text");
    plain->resize(plain->size() - static_cast<unsigned char>(plain->back()));
    return *plain;
}

int SimClient::send(const std::string& event, const Pairs& data, const Pairs& children,
                    const Pairs& parames, bool encipher) {
    nextOrder_ = nextOrder_ < 65535 ? nextOrder_ + 1 : 2;
    const int order = nextOrder_;
    const std::string text = renderLikeClient(event, order, data, children, parames);
    sendText(encipher ? this->encipher(text) : text);
    return order;
}

std::optional<std::string> SimClient::nextText(int timeoutMs) {
    impl_->pump(
        [&] {
            if (!impl_->inbox.empty() || impl_->closed) return true;
            impl_->startRead();
            return false;
        },
        timeoutMs);
    if (impl_->inbox.empty()) return std::nullopt;
    std::string t = std::move(impl_->inbox.front());
    impl_->inbox.pop_front();
    return t;
}

std::optional<Json> SimClient::next(int timeoutMs) {
    if (!pushes_.empty()) {
        Json j = std::move(pushes_.front());
        pushes_.pop_front();
        return j;
    }
    auto text = nextText(timeoutMs);
    if (!text) return std::nullopt;
    lastEnciphered_ = !text->empty() && (*text)[0] != '{';
    return Json::parse(lastEnciphered_ ? decipher(*text) : *text);
}

Json SimClient::request(const std::string& event, const Pairs& data, const Pairs& children,
                        const Pairs& parames, bool encipher, int timeoutMs) {
    const int order = send(event, data, children, parames, encipher);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        auto text = left > 0 ? nextText(static_cast<int>(left)) : std::nullopt;
        if (!text) throw std::runtime_error("no reply to " + event);
        lastEnciphered_ = !text->empty() && (*text)[0] != '{';
        Json j = Json::parse(lastEnciphered_ ? decipher(*text) : *text);
        const auto& mo = j["msgOrder"];
        const std::string got = mo.is_string() ? mo.get<std::string>() : mo.dump();
        if (got == std::to_string(order)) return j;
        pushes_.push_back(std::move(j));
    }
}

Json SimClient::nextPush(const std::string& event, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        auto j = next(static_cast<int>(std::max<long long>(left, 0)));
        if (!j) throw std::runtime_error("no push " + event);
        if ((*j)["event"] == event) return *j;
    }
}

bool SimClient::waitClosed(int timeoutMs) {
    return impl_->pump(
        [&] {
            impl_->inbox.clear();
            if (impl_->closed) return true;
            impl_->startRead();
            return false;
        },
        timeoutMs);
}

HttpResult httpGet(const std::string& url, const std::string& caFile) {
    namespace http = beast::http;
    const bool tls = url.rfind("https://", 0) == 0;
    if (!tls && url.rfind("http://", 0) != 0)
        throw std::runtime_error("not an HTTP address: " + url);
    Url u = parseUrl(std::string(tls ? "wss://" : "ws://") + url.substr(tls ? 8 : 7));
    HttpResult r;
    if (!tls) {
        const auto res = kavtest::peerHttpCall(u.host, u.port, "GET", u.target, "", 10000,
                                               /*keepAlive=*/false);
        if (!res.error.empty()) throw std::runtime_error("GET " + url + " failed: " + res.error);
        r.status = res.status;
        r.contentType = res.contentType;
        r.body = res.body;
        return r;
    }
    net::io_context io;
    tcp::resolver resolver(io);
    const auto endpoints = resolver.resolve(u.host, u.port);
    http::request<http::empty_body> req(http::verb::get, u.target, 11);
    req.set(http::field::host, u.host);
    req.keep_alive(false);
    http::response<http::string_body> res;
    beast::flat_buffer buffer;
    ssl::context ctx(ssl::context::tls_client);
    if (!caFile.empty()) {
        ctx.load_verify_file(caFile);
        ctx.set_verify_mode(ssl::verify_peer);
    }
    beast::ssl_stream<beast::tcp_stream> stream(io, ctx);
    beast::get_lowest_layer(stream).expires_after(std::chrono::seconds(10));
    beast::get_lowest_layer(stream).connect(endpoints);
    stream.handshake(ssl::stream_base::client);
    http::write(stream, req);
    http::read(stream, buffer, res);
    r.status = res.result_int();
    r.contentType = std::string(res[http::field::content_type]);
    r.body = res.body();
    return r;
}

int SimClient::closeCode() const {
    return impl_->closeCode;
}
bool SimClient::closed() const {
    return impl_->closed;
}

}  // namespace simtest
