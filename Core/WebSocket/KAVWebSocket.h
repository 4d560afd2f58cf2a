#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Core/WebSocket/KAVWebSocketFrames.h"
#include "Core/WebSocket/KAVWebSocketHandshake.h"
#include "platform/Dispatch.h"
#include "platform/Error.h"
#include "platform/RunLoop.h"
#include "platform/net/SocketStream.h"
#include "platform/net/URL.h"
#include "platform/net/WorkQueue.h"

enum KAVReadyState : int {
    KAV_CONNECTING = 0,
    KAV_OPEN = 1,
    KAV_CLOSING = 2,
    KAV_CLOSED = 3,
};

// One message: UTF-8 text or binary data, both held as bytes.
struct KAVWebSocketMessage {
    enum class Kind { Text, Binary };
    Kind kind = Kind::Text;
    std::string bytes;

    static KAVWebSocketMessage text(std::string utf8) { return {Kind::Text, std::move(utf8)}; }
    static KAVWebSocketMessage binary(std::string data) { return {Kind::Binary, std::move(data)}; }
    bool isText() const { return kind == Kind::Text; }
};

// A pong frame received from the server, with its payload.
struct KAVWebSocketPong {
    std::string payload;
};

class KAVWebSocket;

// Receiver of a connection's events. Every call runs on the delegate queue
// (the main run loop unless another queue is set), after the event and
// never inside a call of the caller; `open` comes before any message, and at
// most one failure or close ends the calls.
class KAVWebSocketDelegate {
  public:
    virtual ~KAVWebSocketDelegate() = default;
    // didReceiveMessage: a whole text or binary message.
    virtual void webSocket(KAVWebSocket& webSocket, const KAVWebSocketMessage& message) = 0;
    // The handshake succeeded; the ready state is already OPEN.
    virtual void webSocketDidOpen(KAVWebSocket&) {}
    // didFailWithError: the connection failed; nothing follows.
    virtual void webSocket(KAVWebSocket&, const platform::Error&) {}
    // didCloseWithCode:reason:wasClean: the connection ended without failure.
    virtual void webSocket(KAVWebSocket&, int /*code*/,
                           const std::optional<std::string>& /*reason*/, bool /*wasClean*/) {}
    // didReceivePong: a pong frame arrived.
    virtual void webSocket(KAVWebSocket&, const KAVWebSocketPong&) {}
};

// The client side of one WebSocket connection (version 13): the upgrade
// handshake over a socket stream pair, framing, pings, the closing handshake,
// optional TLS with certificate pinning. Protocol work runs on the
// connection's own serial work queue; the sockets live on the shared network
// thread. Once opened, the connection keeps itself alive until it ends.
//
// A round trip crosses one thread hand-off: the work queue has no thread of
// its own (platform::net::WorkQueue), so received bytes are read and decoded
// on the network thread that was told of them, and a message sent from the
// main run loop is framed and written on the main thread when nothing of the
// connection is running; the delegate calls cross to the delegate queue once.
//
// The road of received bytes: the network thread announces them; a block of
// the work queue reads at most 256 KiB, decodes it and hands the delegate
// calls it made to the delegate queue as one batch; the socket announces the
// rest again, behind sends, pongs and closes queued meanwhile. While the
// delegate queue has more than 2 MiB of messages (pings and pongs included)
// not yet taken, nothing is read: the socket's buffers fill and TCP holds
// the server back.
class KAVWebSocket : public std::enable_shared_from_this<KAVWebSocket>,
                     private kavws::FrameReader::Handler {
  public:
    // Null when the URL's scheme is not "ws", "wss", "http" or "https" (any case).
    static std::shared_ptr<KAVWebSocket> initWithURLRequest(
        const platform::net::URLRequest& request,
        std::optional<std::vector<std::string>> protocols = std::nullopt);
    static std::shared_ptr<KAVWebSocket> initWithURL(
        const platform::net::URL& url,
        std::optional<std::vector<std::string>> protocols = std::nullopt);
    ~KAVWebSocket() override;
    KAVWebSocket(const KAVWebSocket&) = delete;
    KAVWebSocket& operator=(const KAVWebSocket&) = delete;

    // Connects and starts the handshake (once).
    void open();

    // Queues one message. Refused (false) unless the connection is OPEN;
    // dropped silently once this side has sent its close frame.
    bool send(std::string text);
    bool send(KAVWebSocketMessage message);
    bool send(std::nullptr_t);  // an empty text message

    // Starts the closing handshake: a close frame with the code and the
    // reason (cut to 123 bytes). The server's reply ends the connection with
    // its code; without a reply within 5 s it ends with 1006 "Close timed out".
    // While connecting, the connection is dropped without a close frame.
    void close();
    void closeWithCode(int code, std::optional<std::string> reason = std::nullopt);

    // The delegate is not owned; it is read when each callback runs.
    void setDelegate(std::weak_ptr<KAVWebSocketDelegate> delegate);
    std::shared_ptr<KAVWebSocketDelegate> delegate() const;
    // Null (the default) means the main run loop.
    void setDelegateDispatchQueue(std::shared_ptr<platform::dispatch::SerialQueue> queue);
    std::shared_ptr<platform::dispatch::SerialQueue> delegateDispatchQueue() const;

    KAVReadyState readyState() const { return static_cast<KAVReadyState>(readyState_.load()); }
    const platform::net::URL& url() const { return url_; }
    // The subprotocol the server accepted.
    std::optional<std::string> protocol() const;

    // Received messages, pings and pongs handed to the delegate queue and
    // not yet taken by it, in bytes (with a small cost for each). While it
    // is above a bound the connection reads nothing, so that a server
    // sending faster than the delegate takes its messages is held back by
    // TCP instead of filling memory.
    size_t deliveryBacklog() const { return deliveryBacklog_.load(); }
    bool isReadingHeldBack() const { return readingHeld_.load(); }

  private:
    struct Token {};

  public:
    KAVWebSocket(Token, const platform::net::URLRequest& request,
                 std::optional<std::vector<std::string>> protocols);

  private:
    struct Outcome {
        int code = 0;
        std::optional<std::string> reason;
        bool clean = true;
    };

    struct Outgoing {
        uint8_t opcode = 0;  // text, binary, pong or close
        std::string payload;
        int closeCode = 0;  // close only
        std::optional<std::string> closeReason;
    };
    void enqueue(Outgoing outgoing);
    // Runs the block on the work queue (at once on this thread when the queue
    // is idle), then hands its delegate calls over.
    void perform(std::function<void()> block);
    // The same, but always on the network thread: for reading resumed from
    // the delegate queue, which must not decode on the caller's thread.
    void performOnNetworkThread(std::function<void()> block);
    std::function<void()> workBlock(std::function<void()> block);

    // Work queue.
    void flushOutgoing();
    void flushCallbacks();
    void handleStreamEvent(platform::net::StreamEvent event);
    void didConnect();
    void readAvailable();
    // Whether to stop reading for the delegate's backlog (it resumes reading
    // once the backlog is taken).
    bool holdBackReading();
    void deliveryTaken(size_t weight);
    void processInput(const uint8_t* bytes, size_t length);
    void handshakeCompleted(size_t headLength);
    void writeData(std::string_view bytes);
    void sendFrame(uint8_t opcode, std::string_view payload);
    void pumpWriting();
    void startClose(int code, std::optional<std::string> reason);
    void armCloseTimer();
    void disconnect(Outcome outcome);
    void finishClosing();
    void failWithError(platform::Error error);
    void streamFailed(std::optional<platform::Error> error);
    void streamEnded();
    void closeTimedOut();
    void setReadyState(KAVReadyState state);

    // Frame reader events (work queue).
    void readerMessage(uint8_t opcode, std::string&& payload) override;
    void readerPing(std::string&& payload) override;
    void readerPong(std::string&& payload) override;
    void readerClose(int code, std::optional<std::string>&& reason) override;
    void readerError(int closeCode, std::string&& reason) override;

    // Delegate road.
    void postToDelegateQueue(std::function<void()> block);
    // `weight`: what the call holds of received data, for the backlog.
    template <typename Call>
    void deliver(Call call, bool ends = false, size_t weight = 0);

    platform::net::URLRequest request_;
    platform::net::URL url_;
    std::optional<std::vector<std::string>> requestedProtocols_;
    bool secure_ = false;
    int webSocketVersion_ = 13;

    platform::net::WorkQueue workQueue_;
    std::shared_ptr<platform::net::SocketStreamPair> stream_;
    std::atomic<int> readyState_{KAV_CONNECTING};
    std::atomic<bool> opened_{false};
    std::atomic<size_t> deliveryBacklog_{0};
    std::atomic<bool> readingHeld_{false};
    std::shared_ptr<KAVWebSocket> selfRetain_;

    mutable std::mutex mutex_;  // guards the three below
    std::weak_ptr<KAVWebSocketDelegate> delegate_;
    std::shared_ptr<platform::dispatch::SerialQueue> delegateQueue_;
    std::optional<std::string> protocol_;

    std::mutex outgoingMutex_;
    std::vector<Outgoing> outgoing_;

    // Work queue only.
    std::string secKey_;
    std::string headBuffer_;
    kavws::FrameReader reader_;
    std::vector<uint8_t> readChunk_;
    std::string outputBuffer_;
    size_t outputBufferOffset_ = 0;
    bool sentCloseFrame_ = false;
    bool closeWhenFinishedWriting_ = false;
    bool streamsClosed_ = false;
    bool failed_ = false;
    bool endReported_ = false;
    bool batchingWrites_ = false;
    bool closeTimerArmed_ = false;
    std::optional<Outcome> outcome_;
    std::vector<std::function<void()>> callbacks_;  // delegate calls not yet handed over
    size_t callbacksWeight_ = 0;                    // their backlog weight

    // Main run loop only.
    platform::Timer closeTimer_;
};
