// Echo throughput: this system's WebSocket client and a Boost.Beast client
// each send 100,000 binary messages of 64 bytes and 200 of 1 MiB to one local
// Beast echo server, keeping a window of messages in flight, and wait for
// every echo. Prints messages per second, MB/s and the ratio ours/Beast.
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <thread>

#include "Core/WebSocket/KAVWebSocket.h"
#include "platform/Crypto.h"
#include "platform/RunLoop.h"

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

namespace {

// --- The echo server: one thread, asynchronous, one session per connection.

class EchoSession : public std::enable_shared_from_this<EchoSession> {
  public:
    explicit EchoSession(tcp::socket socket) : ws_(std::move(socket)) {}
    void start() {
        ws_.auto_fragment(false);
        ws_.read_message_max(64u << 20);
        ws_.async_accept([self = shared_from_this()](beast::error_code ec) {
            if (!ec) self->read();
        });
    }

  private:
    void read() {
        ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code ec, size_t) {
            if (ec) return;
            self->ws_.binary(self->ws_.got_binary());
            self->ws_.async_write(self->buffer_.data(), [self](beast::error_code ec2, size_t) {
                if (ec2) return;
                self->buffer_.consume(self->buffer_.size());
                self->read();
            });
        });
    }
    websocket::stream<tcp::socket> ws_;
    beast::flat_buffer buffer_;
};

class EchoServer {
  public:
    EchoServer() : acceptor_(io_, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)) {
        accept();
        thread_ = std::thread([this] { io_.run(); });
    }
    ~EchoServer() {
        asio::post(io_, [this] { io_.stop(); });
        thread_.join();
    }
    unsigned short port() const { return acceptor_.local_endpoint().port(); }

  private:
    void accept() {
        acceptor_.async_accept([this](beast::error_code ec, tcp::socket socket) {
            if (!ec) std::make_shared<EchoSession>(std::move(socket))->start();
            accept();
        });
    }
    asio::io_context io_;
    tcp::acceptor acceptor_;
    std::thread thread_;
};

struct Figures {
    double seconds = 0;
    size_t messages = 0;
    size_t bytes = 0;
    double perSecond() const { return messages / seconds; }
    double megabytesPerSecond() const { return bytes / seconds / 1e6; }
};

using Clock = std::chrono::steady_clock;

// --- Our client, driven from the main run loop.

class OurClient : public KAVWebSocketDelegate, public std::enable_shared_from_this<OurClient> {
  public:
    Figures run(unsigned short port, size_t count, size_t size, size_t window) {
        payload_ = platform::crypto::randomBytes(size);
        count_ = count;
        window_ = window;
        auto ws = KAVWebSocket::initWithURL(
            *platform::net::URL::parse("ws://127.0.0.1:" + std::to_string(port) + "/"));
        ws->setDelegate(shared_from_this());
        ws->open();
        if (!platform::RunLoop::main().runUntil([&] { return received_ == count_ || failed_; },
                                                120))
            std::fprintf(stderr, "ours stalled: sent %zu, received %zu\n", sent_, received_);
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        ws->close();
        platform::RunLoop::main().runUntil([&] { return closed_; }, 10);
        return Figures{seconds, received_, received_ * size};
    }

    void webSocketDidOpen(KAVWebSocket& ws) override {
        start_ = Clock::now();
        while (sent_ < count_ && sent_ < window_)
            sendOne(ws);
    }
    void webSocket(KAVWebSocket& ws, const KAVWebSocketMessage& message) override {
        if (message.bytes.size() != payload_.size()) failed_ = true;
        ++received_;
        if (sent_ < count_) sendOne(ws);
    }
    void webSocket(KAVWebSocket&, const platform::Error& error) override {
        std::fprintf(stderr, "ours failed: %s\n", error.localizedDescription.c_str());
        failed_ = closed_ = true;
    }
    void webSocket(KAVWebSocket&, int, const std::optional<std::string>&, bool) override {
        closed_ = true;
    }

  private:
    void sendOne(KAVWebSocket& ws) {
        ws.send(KAVWebSocketMessage::binary(payload_));
        ++sent_;
    }
    std::string payload_;
    size_t count_ = 0, window_ = 0, sent_ = 0, received_ = 0;
    bool failed_ = false, closed_ = false;
    Clock::time_point start_;
};

// --- The Beast client: asynchronous on one thread, the same window.

class BeastClient {
  public:
    Figures run(unsigned short port, size_t count, size_t size, size_t window) {
        asio::io_context io;
        websocket::stream<tcp::socket> ws(io);
        ws.next_layer().connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
        ws.set_option(websocket::stream_base::decorator([](websocket::request_type&) {}));
        ws.next_layer().set_option(tcp::no_delay(true));
        ws.handshake("127.0.0.1", "/");
        ws.auto_fragment(false);
        ws.binary(true);
        ws.read_message_max(64u << 20);
        payload_ = platform::crypto::randomBytes(size);
        ws_ = &ws;
        count_ = count;
        const auto start = Clock::now();
        for (size_t i = 0; i < window && sent_ < count_; ++i)
            queueSend();
        read();
        io.run();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        ws.close(websocket::close_code::normal);
        return Figures{seconds, received_, received_ * size};
    }

  private:
    void queueSend() {
        ++sent_;
        ++queued_;
        if (!writing_) write();
    }
    void write() {
        writing_ = true;
        --queued_;
        ws_->async_write(asio::buffer(payload_), [this](beast::error_code ec, size_t) {
            writing_ = false;
            if (ec) return;
            if (queued_ > 0) write();
        });
    }
    void read() {
        ws_->async_read(buffer_, [this](beast::error_code ec, size_t) {
            if (ec) return;
            buffer_.consume(buffer_.size());
            if (++received_ == count_) return;  // io.run() returns once the writes are done too
            if (sent_ < count_) queueSend();
            read();
        });
    }
    websocket::stream<tcp::socket>* ws_ = nullptr;
    beast::flat_buffer buffer_;
    std::string payload_;
    size_t count_ = 0, sent_ = 0, received_ = 0, queued_ = 0;
    bool writing_ = false;
};

void report(const char* what, const Figures& ours, const Figures& beast) {
    std::printf("%-22s ours  %10.0f msg/s %9.1f MB/s   (%.3f s)\n", what, ours.perSecond(),
                ours.megabytesPerSecond(), ours.seconds);
    std::printf("%-22s beast %10.0f msg/s %9.1f MB/s   (%.3f s)\n", what, beast.perSecond(),
                beast.megabytesPerSecond(), beast.seconds);
    std::printf("%-22s ratio ours/beast: %.2f\n\n", what, ours.perSecond() / beast.perSecond());
}

}  // namespace

int main() {
    platform::RunLoop::main().adoptCurrentThread();
    EchoServer server;
    struct Case {
        const char* name;
        size_t count, size, window;
    };
    for (const Case c :
         {Case{"64 B x 100000", 100000, 64, 256}, Case{"1 MiB x 200", 200, 1 << 20, 4}}) {
        // Best of three runs each, alternating, so that neither side gets a warmer machine.
        Figures ours, beast;
        for (int round = 0; round < 3; ++round) {
            const Figures o =
                std::make_shared<OurClient>()->run(server.port(), c.count, c.size, c.window);
            const Figures b = BeastClient().run(server.port(), c.count, c.size, c.window);
            if (o.messages == c.count && (ours.seconds == 0 || o.seconds < ours.seconds)) ours = o;
            if (b.messages == c.count && (beast.seconds == 0 || b.seconds < beast.seconds))
                beast = b;
        }
        report(c.name, ours, beast);
    }
    return 0;
}
