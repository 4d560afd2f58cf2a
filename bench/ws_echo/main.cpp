// The WebSocket client against a Boost.Beast client, both on one local Beast
// echo server, in the same run, rounds alternating so that neither side gets
// a warmer machine. Medians of five rounds. Prints figures; not a test.
//
// - Ping-pong: one 64-byte message at a time (send, wait for its echo,
//   send the next); median and 99th percentile of a round trip. This is the
//   latency of one request and its reply. Ours is driven from the main run
//   loop as the application drives it; Beast writes and reads synchronously
//   on the calling thread.
// - Throughput: a window of messages in flight, each echo answered by the
//   next send, for 64 B, 4 KiB and 1 MiB. Ours writes every frame queued by
//   the time it writes in one system call; the plain Beast client writes
//   one frame per call (its interface sends one message per write); the
//   batching Beast client writes as ours does, through a socket layer that
//   gathers its frames until the loop comes back to write them, and is the
//   like-for-like comparison. Its messages per write are printed (a 1 MiB
//   message takes several writes, since Beast masks a client's frame in
//   pieces).
//
//   ws_echo_bench [--rounds N] [--pingpong N] [--case NAME] [--side ours|beast]
//
// --case runs one case only (pingpong, 64B, 4KiB, 1MiB) and --side one
// client only, so that a tracer counts one client's system calls.
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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
        ws_.next_layer().set_option(tcp::no_delay(true));
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

using Clock = std::chrono::steady_clock;

double micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

struct Throughput {
    double seconds = 0;
    size_t messages = 0;
    size_t bytes = 0;
    double perSecond() const { return seconds > 0 ? messages / seconds : 0; }
    double megabytesPerSecond() const { return seconds > 0 ? bytes / seconds / 1e6 : 0; }
};

// Round-trip times of one ping-pong round, microseconds.
using RoundTrips = std::vector<double>;

// --- Our client, driven from the main run loop.

class OurClient : public KAVWebSocketDelegate, public std::enable_shared_from_this<OurClient> {
  public:
    // Throughput: `window` messages in flight.
    Throughput run(unsigned short port, size_t count, size_t size, size_t window) {
        window_ = window;
        connectAndRun(port, count, size);
        const double seconds = std::chrono::duration<double>(end_ - start_).count();
        return Throughput{seconds, received_, received_ * size};
    }

    // Ping-pong: one message at a time.
    RoundTrips pingPong(unsigned short port, size_t count) {
        window_ = 1;
        trips_.reserve(count);
        recordTrips_ = true;
        connectAndRun(port, count, 64);
        return trips_;
    }

    void webSocketDidOpen(KAVWebSocket& ws) override {
        start_ = Clock::now();
        while (sent_ < count_ && sent_ < window_)
            sendOne(ws);
    }
    void webSocket(KAVWebSocket& ws, const KAVWebSocketMessage& message) override {
        const auto now = Clock::now();
        if (recordTrips_) trips_.push_back(micros(now - lastSend_));
        if (message.bytes.size() != payload_.size()) failed_ = true;
        if (++received_ == count_) end_ = now;
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
    void connectAndRun(unsigned short port, size_t count, size_t size) {
        payload_ = platform::crypto::randomBytes(size);
        count_ = count;
        auto ws = KAVWebSocket::initWithURL(
            *platform::net::URL::parse("ws://127.0.0.1:" + std::to_string(port) + "/"));
        ws->setDelegate(shared_from_this());
        ws->open();
        if (!platform::RunLoop::main().runUntil([&] { return received_ == count_ || failed_; },
                                                300))
            std::fprintf(stderr, "ours stalled: sent %zu, received %zu\n", sent_, received_);
        ws->close();
        platform::RunLoop::main().runUntil([&] { return closed_; }, 10);
    }
    void sendOne(KAVWebSocket& ws) {
        lastSend_ = Clock::now();
        ws.send(KAVWebSocketMessage::binary(payload_));
        ++sent_;
    }
    std::string payload_;
    size_t count_ = 0, window_ = 0, sent_ = 0, received_ = 0;
    bool failed_ = false, closed_ = false, recordTrips_ = false;
    Clock::time_point start_, end_, lastSend_;
    RoundTrips trips_;
};

// --- The Beast client.

struct BeastConnection {
    explicit BeastConnection(unsigned short port) : ws(io) {
        ws.next_layer().connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
        ws.next_layer().set_option(tcp::no_delay(true));
        ws.handshake("127.0.0.1", "/");
        ws.auto_fragment(false);
        ws.binary(true);
        ws.read_message_max(64u << 20);
    }
    ~BeastConnection() {
        beast::error_code ec;
        ws.close(websocket::close_code::normal, ec);
    }
    asio::io_context io;
    websocket::stream<tcp::socket> ws;
};

// Ping-pong: synchronous write and read on this thread.
RoundTrips beastPingPong(unsigned short port, size_t count) {
    BeastConnection c(port);
    const std::string payload = platform::crypto::randomBytes(64);
    beast::flat_buffer buffer;
    RoundTrips trips;
    trips.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const auto sent = Clock::now();
        c.ws.write(asio::buffer(payload));
        c.ws.read(buffer);
        trips.push_back(micros(Clock::now() - sent));
        buffer.consume(buffer.size());
    }
    return trips;
}

// The windowed loop both Beast clients run, asynchronous on one thread with
// the same window as ours: up to `window` messages on their way, the next
// one sent as each echo comes back.
template <class Stream>
class WindowedPump {
  public:
    Throughput run(Stream& ws, asio::io_context& io, size_t count, size_t size, size_t window) {
        payload_ = platform::crypto::randomBytes(size);
        ws_ = &ws;
        count_ = count;
        const auto start = Clock::now();
        for (size_t i = 0; i < window && sent_ < count_; ++i)
            queueSend();
        read();
        io.run();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return Throughput{seconds, received_, received_ * size};
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
    Stream* ws_ = nullptr;
    beast::flat_buffer buffer_;
    std::string payload_;
    size_t count_ = 0, sent_ = 0, received_ = 0, queued_ = 0;
    bool writing_ = false;
};

// Throughput with Beast as it comes: one message a write.
class BeastClient {
  public:
    Throughput run(unsigned short port, size_t count, size_t size, size_t window) {
        BeastConnection c(port);
        return WindowedPump<websocket::stream<tcp::socket>>().run(c.ws, c.io, count, size, window);
    }
};

// The Beast client batching as ours does: every frame written while a
// write is on its way, or before the loop comes back to write, goes out in
// one system call. Beast writes one message per call, so the batching sits
// beneath it: its asynchronous writes land in a buffer, which a posted
// flush hands to the socket in one write once the handlers ready to run
// have run. Synchronous calls (the handshake, the close) go straight
// through.
class CorkedSocket {
  public:
    using executor_type = tcp::socket::executor_type;
    explicit CorkedSocket(asio::io_context& io) : socket_(io) {}
    executor_type get_executor() { return socket_.get_executor(); }
    tcp::socket& next_layer() { return socket_; }
    size_t writes() const { return writes_; }

    template <class Buffers>
    size_t read_some(const Buffers& b) {
        return socket_.read_some(b);
    }
    template <class Buffers>
    size_t read_some(const Buffers& b, beast::error_code& ec) {
        return socket_.read_some(b, ec);
    }
    template <class Buffers>
    size_t write_some(const Buffers& b) {
        return socket_.write_some(b);
    }
    template <class Buffers>
    size_t write_some(const Buffers& b, beast::error_code& ec) {
        return socket_.write_some(b, ec);
    }
    template <class Buffers, class Handler>
    auto async_read_some(const Buffers& b, Handler&& handler) {
        return socket_.async_read_some(b, std::forward<Handler>(handler));
    }
    template <class Buffers, class Handler>
    auto async_write_some(const Buffers& b, Handler&& handler) {
        return asio::async_initiate<Handler, void(beast::error_code, size_t)>(
            [this](auto h, const Buffers& buffers) {
                const size_t n = asio::buffer_size(buffers);
                const size_t at = pending_.size();
                pending_.resize(at + n);
                asio::buffer_copy(asio::buffer(pending_.data() + at, n), buffers);
                scheduleFlush();
                asio::post(socket_.get_executor(),
                           beast::bind_front_handler(std::move(h), beast::error_code{}, n));
            },
            handler, b);
    }

  private:
    void scheduleFlush() {
        if (flushPosted_ || flushing_) return;
        flushPosted_ = true;
        asio::post(socket_.get_executor(), [this] { flush(); });
    }
    void flush() {
        flushPosted_ = false;
        if (pending_.empty()) return;
        inFlight_.swap(pending_);
        pending_.clear();
        flushing_ = true;
        ++writes_;
        asio::async_write(socket_, asio::buffer(inFlight_), [this](beast::error_code ec, size_t) {
            flushing_ = false;
            if (!ec && !pending_.empty()) scheduleFlush();
        });
    }
    tcp::socket socket_;
    std::string pending_, inFlight_;
    bool flushPosted_ = false, flushing_ = false;
    size_t writes_ = 0;
};

void teardown(beast::role_type role, CorkedSocket& s, beast::error_code& ec) {
    beast::websocket::teardown(role, s.next_layer(), ec);
}
template <class Handler>
void async_teardown(beast::role_type role, CorkedSocket& s, Handler&& handler) {
    beast::websocket::async_teardown(role, s.next_layer(), std::forward<Handler>(handler));
}

// Throughput as BeastClient, on the batching socket.
class BatchingBeastClient {
  public:
    Throughput run(unsigned short port, size_t count, size_t size, size_t window) {
        asio::io_context io;
        websocket::stream<CorkedSocket> ws(io);
        ws.next_layer().next_layer().connect(
            tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
        ws.next_layer().next_layer().set_option(tcp::no_delay(true));
        ws.handshake("127.0.0.1", "/");
        ws.auto_fragment(false);
        ws.binary(true);
        ws.read_message_max(64u << 20);
        const Throughput result =
            WindowedPump<websocket::stream<CorkedSocket>>().run(ws, io, count, size, window);
        writes_ = ws.next_layer().writes();
        beast::error_code ec;
        ws.close(websocket::close_code::normal, ec);
        return result;
    }
    size_t writes() const { return writes_; }

  private:
    size_t writes_ = 0;
};

double medianRate(const std::vector<Throughput>& runs, bool megabytes = false) {
    std::vector<double> v;
    for (const auto& t : runs)
        v.push_back(megabytes ? t.megabytesPerSecond() : t.perSecond());
    return median(v);
}

void reportThroughput(const char* what, const std::vector<Throughput>& ours,
                      const std::vector<Throughput>& beast, const std::vector<Throughput>& batching,
                      double framesPerWrite) {
    std::printf("%-26s ours           %10.0f msg/s %9.1f MB/s\n", what, medianRate(ours),
                medianRate(ours, true));
    std::printf("%-26s beast          %10.0f msg/s %9.1f MB/s  (one frame a write)\n", what,
                medianRate(beast), medianRate(beast, true));
    std::printf("%-26s beast batching %10.0f msg/s %9.1f MB/s  (%.2f messages a write)\n", what,
                medianRate(batching), medianRate(batching, true), framesPerWrite);
    std::printf("%-26s ratio ours/beast (throughput): %.2f, ours/beast batching: %.2f\n\n", what,
                medianRate(ours) / medianRate(beast), medianRate(ours) / medianRate(batching));
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 5;
    size_t pingPongCount = 20000;
    std::string only, side;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--pingpong") == 0)
            pingPongCount = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--case") == 0)
            only = argv[++i];
        else if (std::strcmp(argv[i], "--side") == 0)
            side = argv[++i];
    }
    const bool runOurs = side.empty() || side == "ours";
    const bool runBeast = side.empty() || side == "beast";
    platform::RunLoop::main().adoptCurrentThread();
    EchoServer server;
    std::printf("%d rounds each, medians over the rounds\n\n", rounds);

    if (only.empty() || only == "pingpong") {
        std::vector<double> oMedian, oP99, bMedian, bP99;
        for (int round = 0; round < rounds; ++round) {
            const RoundTrips o =
                runOurs ? std::make_shared<OurClient>()->pingPong(server.port(), pingPongCount)
                        : RoundTrips{};
            const RoundTrips b =
                runBeast ? beastPingPong(server.port(), pingPongCount) : RoundTrips{};
            oMedian.push_back(median(o));
            oP99.push_back(percentile(o, 0.99));
            bMedian.push_back(median(b));
            bP99.push_back(percentile(b, 0.99));
        }
        const char* what = "ping-pong 64 B";
        std::printf("%-26s (%zu round trips a round)\n", what, pingPongCount);
        std::printf("%-26s ours  median %8.1f us   p99 %8.1f us\n", what, median(oMedian),
                    median(oP99));
        std::printf("%-26s beast median %8.1f us   p99 %8.1f us\n", what, median(bMedian),
                    median(bP99));
        std::printf("%-26s ratio ours/beast (round trip, median): %.2f\n\n", what,
                    median(oMedian) / median(bMedian));
    }

    struct Case {
        const char* key;
        const char* name;
        size_t count, size, window;
    };
    for (const Case c : {Case{"64B", "64 B x 100000, window 256", 100000, 64, 256},
                         Case{"4KiB", "4 KiB x 20000, window 64", 20000, 4096, 64},
                         Case{"1MiB", "1 MiB x 200, window 4", 200, 1 << 20, 4}}) {
        if (!only.empty() && only != c.key) continue;
        std::vector<Throughput> ours, beast, batching;
        std::vector<double> framesPerWrite;
        for (int round = 0; round < rounds; ++round) {
            const Throughput o = runOurs ? std::make_shared<OurClient>()->run(
                                               server.port(), c.count, c.size, c.window)
                                         : Throughput{};
            const Throughput b = runBeast
                                     ? BeastClient().run(server.port(), c.count, c.size, c.window)
                                     : Throughput{};
            BatchingBeastClient batcher;
            const Throughput bb =
                runBeast ? batcher.run(server.port(), c.count, c.size, c.window) : Throughput{};
            if (o.messages == c.count) ours.push_back(o);
            if (b.messages == c.count) beast.push_back(b);
            if (bb.messages == c.count) {
                batching.push_back(bb);
                framesPerWrite.push_back(
                    static_cast<double>(c.count) /
                    static_cast<double>(std::max<size_t>(1, batcher.writes())));
            }
        }
        reportThroughput(c.name, ours, beast, batching, median(framesPerWrite));
    }
    return 0;
}
