#include "tests/platform/net/peers/BeastServer.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <boost/beast/websocket.hpp>
#include <boost/beast/websocket/ssl.hpp>

#include <unistd.h>

namespace kavtest {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

std::optional<std::string> BeastSession::field(const std::string& name) const {
    for (const auto& [n, v] : fields)
        if (beast::iequals(n, name)) return v;
    return std::nullopt;
}

namespace {

template <class WsStream>
class Session final : public BeastSession {
  public:
    Session(WsStream& ws, Notes& notes) : ws_(ws), notes_(notes) {
        ws_.control_callback([this](websocket::frame_type kind, beast::string_view payload) {
            if (kind == websocket::frame_type::pong) notes_.add("pong " + std::string(payload));
            if (kind == websocket::frame_type::ping) notes_.add("ping " + std::string(payload));
        });
    }

    std::optional<Message> read() override {
        beast::flat_buffer buffer;
        beast::error_code ec;
        ws_.read(buffer, ec);
        if (ec) {
            noteEnd(ec);
            return std::nullopt;
        }
        return Message{ws_.got_text(), beast::buffers_to_string(buffer.data())};
    }

    bool write(const Message& message) override {
        beast::error_code ec;
        ws_.text(message.text);
        ws_.write(asio::buffer(message.data), ec);
        return !ec;
    }

    bool writeFragmented(bool text, const std::vector<std::string>& parts,
                         const std::string& ping) override {
        beast::error_code ec;
        ws_.text(text);
        for (size_t i = 0; i < parts.size() && !ec; ++i) {
            const bool last = i + 1 == parts.size();
            ws_.write_some(last, asio::buffer(parts[i]), ec);
            if (!last && !ec) ws_.ping(websocket::ping_data(ping.c_str()), ec);
        }
        return !ec;
    }

    bool ping(const std::string& payload) override {
        beast::error_code ec;
        ws_.ping(websocket::ping_data(payload.c_str()), ec);
        return !ec;
    }

    bool close(int code, const std::string& reason) override {
        beast::error_code ec;
        ws_.close(websocket::close_reason(static_cast<websocket::close_code>(code), reason), ec);
        if (ec) {
            notes_.add("close failed " + ec.message());
            return false;
        }
        closeCode = ws_.reason().code;
        closeReason = std::string(ws_.reason().reason.c_str());
        notes_.add("closed " + std::to_string(closeCode) + " " + closeReason);
        return true;
    }

  private:
    void noteEnd(const beast::error_code& ec) {
        if (ec == websocket::error::closed) {
            closeCode = ws_.reason().code;
            closeReason = std::string(ws_.reason().reason.c_str());
            notes_.add("closed " + std::to_string(closeCode) + " " + closeReason);
        } else {
            notes_.add("error " + ec.message());
        }
    }

    WsStream& ws_;
    Notes& notes_;
};

// Reads the upgrade request, keeps it, and accepts it.
template <class WsStream, class Lowest>
bool acceptUpgrade(WsStream& ws, Lowest& lowest, BeastSession& session, Notes& notes) {
    beast::flat_buffer buffer;
    http::request<http::string_body> request;
    beast::error_code ec;
    http::read(lowest, buffer, request, ec);
    if (ec) {
        notes.add("request failed " + ec.message());
        return false;
    }
    session.target = std::string(request.target());
    for (const auto& f : request)
        session.fields.emplace_back(std::string(f.name_string()), std::string(f.value()));
    ws.auto_fragment(false);
    ws.read_message_max(64u << 20);
    ws.accept(request, ec);
    if (ec) {
        notes.add("accept failed " + ec.message());
        return false;
    }
    return true;
}

}  // namespace

struct BeastServer::Impl {
    Script script;
    std::optional<Tls> tls;
    std::unique_ptr<asio::ssl::context> sslContext;
    std::unique_ptr<Listener> listener;
};

void BeastServer::echo(BeastSession& session, Notes&) {
    while (auto message = session.read())
        if (!session.write(*message)) return;
}

BeastServer::BeastServer(Script script, std::optional<Tls> tls) : impl_(std::make_unique<Impl>()) {
    impl_->script = std::move(script);
    impl_->tls = std::move(tls);
    if (impl_->tls) {
        impl_->sslContext = std::make_unique<asio::ssl::context>(asio::ssl::context::tls_server);
        impl_->sslContext->use_certificate_chain_file(impl_->tls->chainFile);
        impl_->sslContext->use_private_key_file(impl_->tls->keyFile, asio::ssl::context::pem);
    }
    impl_->listener = std::make_unique<Listener>([this](int fd, Listener& listener) {
        asio::io_context io;
        tcp::socket socket(io);
        socket.assign(tcp::v4(), fd);
        if (impl_->tls) {
            websocket::stream<beast::ssl_stream<tcp::socket>> ws(std::move(socket),
                                                                 *impl_->sslContext);
            beast::error_code ec;
            ws.next_layer().handshake(asio::ssl::stream_base::server, ec);
            if (ec) {
                notes.add("tls failed");
            } else {
                Session session(ws, notes);
                if (acceptUpgrade(ws, ws.next_layer(), session, notes))
                    impl_->script(session, notes);
            }
            listener.untrack(fd);
        } else {
            websocket::stream<tcp::socket> ws(std::move(socket));
            Session session(ws, notes);
            if (acceptUpgrade(ws, ws.next_layer(), session, notes)) impl_->script(session, notes);
            listener.untrack(fd);
        }
    });
}

BeastServer::~BeastServer() {
    impl_->listener.reset();
}

uint16_t BeastServer::port() const {
    return impl_->listener->port();
}

int BeastServer::acceptedCount() const {
    return impl_->listener->acceptedCount();
}

std::string BeastServer::url(const std::string& path) const {
    return (impl_->tls ? "wss://localhost:" : "ws://127.0.0.1:") + std::to_string(port()) + path;
}

}  // namespace kavtest
