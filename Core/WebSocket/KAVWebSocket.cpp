#include "Core/WebSocket/KAVWebSocket.h"

#include <new>

#include "platform/Crypto.h"
#include "platform/Log.h"
#include "platform/Strings.h"

using platform::Error;
using platform::net::StreamEvent;
using platform::net::URL;
using platform::net::URLRequest;

namespace {

// Bytes asked of the socket per read: enough for many small frames or a
// good part of a large one in one system call.
constexpr size_t kReadChunkSize = 64 * 1024;
// Bytes read in one block of the work queue. A server that sends without
// pause must not keep the queue to itself: sends, pongs, our close and its
// timer wait behind the block, and everything it decodes is held until it
// ends. The socket announces the rest again.
constexpr size_t kReadPerBlock = 256 * 1024;
// Messages handed to the delegate queue and not yet taken by it, in bytes.
// Beyond this the connection stops reading, so the socket's buffers fill and
// the server is held back by TCP itself; below half of it reading goes on.
constexpr size_t kMaxDeliveryBacklog = 2 * 1024 * 1024;
// What a queued message costs beside its payload.
constexpr size_t kMessageOverhead = 128;
// The output buffer drops its written prefix once it is this long and more
// than half of the buffer, so compaction copies seldom.
constexpr size_t kCompactThreshold = 4096;
// How long a close frame of ours waits for the server's reply.
constexpr double kCloseTimeout = 5.0;

std::string lowercase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

std::shared_ptr<KAVWebSocket> KAVWebSocket::initWithURLRequest(
    const URLRequest& request, std::optional<std::vector<std::string>> protocols) {
    const std::string scheme = lowercase(request.url().scheme());
    if (scheme != "ws" && scheme != "wss" && scheme != "http" && scheme != "https") return nullptr;
    auto ws = std::make_shared<KAVWebSocket>(Token{}, request, std::move(protocols));
    std::weak_ptr<KAVWebSocket> weak = ws;
    ws->stream_->setEventHandler([weak](StreamEvent event) {
        // Network thread: everything is handed to the work queue in order.
        if (auto self = weak.lock())
            self->perform([self = self.get(), event] { self->handleStreamEvent(event); });
    });
    return ws;
}

std::shared_ptr<KAVWebSocket> KAVWebSocket::initWithURL(
    const URL& url, std::optional<std::vector<std::string>> protocols) {
    return initWithURLRequest(URLRequest(url), std::move(protocols));
}

KAVWebSocket::KAVWebSocket(Token, const URLRequest& request,
                           std::optional<std::vector<std::string>> protocols)
    : request_(request),
      url_(request.url()),
      requestedProtocols_(std::move(protocols)),
      readChunk_(kReadChunkSize) {
    const std::string scheme = lowercase(url_.scheme());
    secure_ = scheme == "wss" || scheme == "https";
    const int port = url_.port().value_or(secure_ ? 443 : 80);
    std::optional<platform::net::TlsSettings> tls;
    if (secure_) {
        tls.emplace();
        tls->peerName = url_.host();
        if (const auto* pinned = KAV_SSLPinnedCertificates(request_))
            tls->pinnedCertificates = *pinned;
    }
    stream_ = platform::net::SocketStreamPair::create(url_.host(), static_cast<uint16_t>(port),
                                                      std::move(tls));
}

KAVWebSocket::~KAVWebSocket() {
    stream_->close();
}

// --- Public operations (any thread) ---------------------------------------

void KAVWebSocket::open() {
    if (opened_.exchange(true)) return;
    selfRetain_ = shared_from_this();
    stream_->open();
}

bool KAVWebSocket::send(KAVWebSocketMessage message) {
    if (readyState() != KAV_OPEN) return false;  // never ahead of the upgrade request
    const uint8_t opcode = message.isText() ? kavws::kOpText : kavws::kOpBinary;
    enqueue(Outgoing{opcode, std::move(message.bytes), 0, std::nullopt});
    return true;
}

bool KAVWebSocket::send(std::string text) {
    return send(KAVWebSocketMessage::text(std::move(text)));
}

bool KAVWebSocket::send(std::nullptr_t) {
    return send(KAVWebSocketMessage::text(std::string()));
}

void KAVWebSocket::close() {
    closeWithCode(kavws::kCloseNormal);
}

void KAVWebSocket::closeWithCode(int code, std::optional<std::string> reason) {
    if (code == 0) {
        platform::log("KAVWebSocket: close code 0 ignored");
        return;
    }
    enqueue(Outgoing{kavws::kOpClose, {}, code, std::move(reason)});
}

// Sends, pongs and closes keep the order of the calls. A burst of them is handed to
// the work queue as one block and written with as few system calls as the
// socket allows.
void KAVWebSocket::enqueue(Outgoing outgoing) {
    bool schedule;
    {
        std::lock_guard lock(outgoingMutex_);
        schedule = outgoing_.empty();
        outgoing_.push_back(std::move(outgoing));
    }
    if (schedule) perform([this] { flushOutgoing(); });
}

void KAVWebSocket::flushOutgoing() {
    std::vector<Outgoing> batch;
    {
        std::lock_guard lock(outgoingMutex_);
        batch.swap(outgoing_);
    }
    batchingWrites_ = true;
    for (auto& o : batch) {
        if (o.opcode == kavws::kOpClose)
            startClose(o.closeCode, std::move(o.closeReason));
        else if (readyState() == KAV_OPEN)
            sendFrame(o.opcode, o.payload);
    }
    batchingWrites_ = false;
    pumpWriting();
}

std::function<void()> KAVWebSocket::workBlock(std::function<void()> block) {
    // Queued work does not keep the connection alive (that is selfRetain_'s
    // job until the end): a block left on the queue must not own its queue.
    return [weak = weak_from_this(), block = std::move(block)] {
        auto self = weak.lock();
        if (!self) return;
        block();
        self->flushCallbacks();
    };
}

void KAVWebSocket::perform(std::function<void()> block) {
    workQueue_.run(workBlock(std::move(block)));
}

void KAVWebSocket::performOnNetworkThread(std::function<void()> block) {
    workQueue_.post(workBlock(std::move(block)));
}

void KAVWebSocket::setDelegate(std::weak_ptr<KAVWebSocketDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<KAVWebSocketDelegate> KAVWebSocket::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_.lock();
}

void KAVWebSocket::setDelegateDispatchQueue(
    std::shared_ptr<platform::dispatch::SerialQueue> queue) {
    std::lock_guard lock(mutex_);
    delegateQueue_ = std::move(queue);
}

std::shared_ptr<platform::dispatch::SerialQueue> KAVWebSocket::delegateDispatchQueue() const {
    std::lock_guard lock(mutex_);
    return delegateQueue_;
}

std::optional<std::string> KAVWebSocket::protocol() const {
    std::lock_guard lock(mutex_);
    return protocol_;
}

// --- Delegate road -----------------------------------------------------------

void KAVWebSocket::postToDelegateQueue(std::function<void()> block) {
    std::shared_ptr<platform::dispatch::SerialQueue> queue;
    {
        std::lock_guard lock(mutex_);
        queue = delegateQueue_;
    }
    if (queue)
        queue->async(std::move(block));
    else
        platform::RunLoop::main().post(std::move(block));
}

// Queues one delegate call; the delegate is looked up when it runs. Nothing
// is queued after the call that ends the connection.
template <typename Call>
void KAVWebSocket::deliver(Call call, bool ends, size_t weight) {
    if (endReported_) return;
    if (ends) endReported_ = true;
    callbacks_.push_back([this, call = std::move(call)] {
        if (auto d = delegate()) call(*d, *this);
    });
    if (weight > 0) {
        callbacksWeight_ += weight;
        deliveryBacklog_ += weight;
    }
}

// Work queue: the calls gathered by one block of work reach the delegate
// queue together, in order.
void KAVWebSocket::flushCallbacks() {
    if (callbacks_.empty()) return;
    postToDelegateQueue(
        [self = shared_from_this(), calls = std::move(callbacks_), weight = callbacksWeight_] {
            for (const auto& call : calls)
                call();
            self->deliveryTaken(weight);
        });
    callbacks_.clear();
    callbacksWeight_ = 0;
}

// --- Work queue --------------------------------------------------------------

void KAVWebSocket::setReadyState(KAVReadyState state) {
    // The state only moves forward.
    int current = readyState_.load();
    while (state > current && !readyState_.compare_exchange_weak(current, state)) {
    }
}

void KAVWebSocket::handleStreamEvent(StreamEvent event) {
    if (streamsClosed_) return;
    switch (event) {
        case StreamEvent::OpenCompleted:
            if (readyState() == KAV_CONNECTING) didConnect();
            pumpWriting();
            break;
        case StreamEvent::HasBytesAvailable:
            readAvailable();
            break;
        case StreamEvent::HasSpaceAvailable:
            pumpWriting();
            break;
        case StreamEvent::ErrorOccurred:
            streamFailed(stream_->error());
            break;
        case StreamEvent::EndEncountered:
            streamEnded();
            break;
    }
}

void KAVWebSocket::didConnect() {
    secKey_ = platform::crypto::base64Encode(platform::crypto::randomBytes(16));
    const auto head =
        kavws::upgradeRequest(request_, secKey_, requestedProtocols_, webSocketVersion_);
    writeData(head.serialize());
}

void KAVWebSocket::readAvailable() {
    size_t taken = 0;
    while (!streamsClosed_) {
        if (holdBackReading()) return;
        const long n = stream_->read(readChunk_.data(), readChunk_.size());
        if (n < 0) {
            streamFailed(stream_->error());
            return;
        }
        if (n == 0) break;
        processInput(readChunk_.data(), static_cast<size_t>(n));
        if (static_cast<size_t>(n) < readChunk_.size()) break;
        // Not drained: the stream announces the rest again, behind whatever
        // else is queued by now.
        taken += static_cast<size_t>(n);
        if (taken >= kReadPerBlock) break;
    }
}

bool KAVWebSocket::holdBackReading() {
    // Once our close frame is out, messages are dropped: nothing piles up,
    // and the server's close reply must still be read.
    if (sentCloseFrame_ || readyState() != KAV_OPEN) return false;
    if (deliveryBacklog_.load() < kMaxDeliveryBacklog) return false;
    readingHeld_.store(true);
    // The delegate queue may have taken its backlog meanwhile; then exactly
    // one of it and us takes the flag back.
    if (deliveryBacklog_.load() < kMaxDeliveryBacklog && readingHeld_.exchange(false)) return false;
    return true;
}

// Delegate queue: a batch of messages was taken.
void KAVWebSocket::deliveryTaken(size_t weight) {
    if (weight == 0) return;
    const size_t left = deliveryBacklog_.fetch_sub(weight) - weight;
    if (left < kMaxDeliveryBacklog / 2 && readingHeld_.exchange(false))
        performOnNetworkThread([this] { readAvailable(); });
}

void KAVWebSocket::processInput(const uint8_t* bytes, size_t length) {
    // Once the end is decided nothing more is read: in particular nothing
    // that came after a frame that broke the protocol.
    if (streamsClosed_ || closeWhenFinishedWriting_ || failed_) return;
    if (readyState() == KAV_CONNECTING) {
        const size_t scanned = headBuffer_.size();
        headBuffer_.append(reinterpret_cast<const char*>(bytes), length);
        const auto headLength = kavws::responseHeadLength(headBuffer_, scanned);
        if (!headLength) {
            failWithError(kavws::invalidHTTPResponseError());
            return;
        }
        if (*headLength > 0) handshakeCompleted(*headLength);
        return;
    }
    // Closing: frames are still read, for the server's close reply.
    if (!reader_.stopped()) reader_.feed(bytes, length, *this);
}

void KAVWebSocket::handshakeCompleted(size_t headLength) {
    const std::string rest = headBuffer_.substr(headLength);
    headBuffer_.resize(headLength);
    const auto result = kavws::checkHandshakeResponse(headBuffer_, secKey_, requestedProtocols_);
    headBuffer_ = std::string();
    if (result.error) {
        failWithError(*result.error);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        protocol_ = result.protocol;
    }
    setReadyState(KAV_OPEN);
    deliver([](KAVWebSocketDelegate& d, KAVWebSocket& ws) { d.webSocketDidOpen(ws); });
    // Frames that came with the response head.
    if (!rest.empty())
        reader_.feed(reinterpret_cast<const uint8_t*>(rest.data()), rest.size(), *this);
}

void KAVWebSocket::writeData(std::string_view bytes) {
    if (closeWhenFinishedWriting_ || streamsClosed_) return;
    outputBuffer_.append(bytes);
    pumpWriting();
}

void KAVWebSocket::sendFrame(uint8_t opcode, std::string_view payload) {
    // Nothing follows our close frame.
    if (sentCloseFrame_ || closeWhenFinishedWriting_ || streamsClosed_) return;
    uint8_t key[4];
    platform::crypto::randomBytes(key, sizeof key);
    try {
        kavws::appendFrame(outputBuffer_, opcode, payload, key);
    } catch (const std::bad_alloc&) {
        startClose(kavws::kCloseTooBig, "Message too big");
        return;
    }
    if (opcode == kavws::kOpClose) sentCloseFrame_ = true;
    if (!batchingWrites_) pumpWriting();
}

void KAVWebSocket::pumpWriting() {
    if (streamsClosed_) return;
    while (outputBufferOffset_ < outputBuffer_.size() && stream_->hasSpaceAvailable()) {
        const long n = stream_->write(
            reinterpret_cast<const uint8_t*>(outputBuffer_.data()) + outputBufferOffset_,
            outputBuffer_.size() - outputBufferOffset_);
        if (n < 0) {
            // A peer that already ended the connection cannot take our close
            // reply; the end that was decided stands.
            if (outcome_)
                finishClosing();
            else
                failWithError(
                    Error(KAVWebSocketStreamErrorDomain, 2145, "Error writing to stream"));
            return;
        }
        if (n == 0) break;
        outputBufferOffset_ += static_cast<size_t>(n);
    }
    if (outputBufferOffset_ == outputBuffer_.size()) {
        outputBuffer_.clear();
        outputBufferOffset_ = 0;
    } else if (outputBufferOffset_ > kCompactThreshold &&
               outputBufferOffset_ > outputBuffer_.size() / 2) {
        outputBuffer_.erase(0, outputBufferOffset_);
        outputBufferOffset_ = 0;
    }
    if (closeWhenFinishedWriting_ && outputBuffer_.empty()) finishClosing();
}

void KAVWebSocket::startClose(int code, std::optional<std::string> reason) {
    const KAVReadyState previous = readyState();
    if (previous >= KAV_CLOSING) return;
    setReadyState(KAV_CLOSING);
    if (previous == KAV_CONNECTING) {
        disconnect(Outcome{0, std::nullopt, true});
        return;
    }
    sendFrame(kavws::kOpClose, kavws::closePayload(code, reason));
    // Frames are still read for the server's reply, but only for so long;
    // reading held back for the delegate goes on, since nothing more is
    // delivered.
    armCloseTimer();
    if (readingHeld_.exchange(false)) performOnNetworkThread([this] { readAvailable(); });
}

// A close that neither gets its reply nor can be written out ends after
// kCloseTimeout all the same.
void KAVWebSocket::armCloseTimer() {
    if (closeTimerArmed_ || streamsClosed_) return;
    closeTimerArmed_ = true;
    std::weak_ptr<KAVWebSocket> weak = weak_from_this();
    platform::RunLoop::main().post([weak] {
        auto self = weak.lock();
        if (!self) return;
        self->closeTimer_ = platform::Timer::schedule(kCloseTimeout, false, [weak] {
            if (auto s = weak.lock()) s->perform([s = s.get()] { s->closeTimedOut(); });
        });
    });
}

void KAVWebSocket::disconnect(Outcome outcome) {
    if (!outcome_) outcome_ = std::move(outcome);
    closeWhenFinishedWriting_ = true;
    pumpWriting();
    armCloseTimer();  // when the output cannot be written out
}

void KAVWebSocket::finishClosing() {
    if (streamsClosed_) return;
    streamsClosed_ = true;
    stream_->close();
    if (closeTimerArmed_)
        platform::RunLoop::main().post(
            [self = shared_from_this()] { self->closeTimer_.invalidate(); });
    if (!failed_ && outcome_) {
        deliver([o = *outcome_](KAVWebSocketDelegate& d,
                                KAVWebSocket& ws) { d.webSocket(ws, o.code, o.reason, o.clean); },
                true);
    }
    selfRetain_.reset();  // the caller of this step holds a reference of its own
}

void KAVWebSocket::failWithError(Error error) {
    if (readyState() == KAV_CLOSED || failed_ || streamsClosed_) return;
    failed_ = true;
    deliver([error = std::move(error)](KAVWebSocketDelegate& d,
                                       KAVWebSocket& ws) { d.webSocket(ws, error); },
            true);
    setReadyState(KAV_CLOSED);
    finishClosing();
}

void KAVWebSocket::streamFailed(std::optional<Error> error) {
    if (outcome_) {
        finishClosing();
        return;
    }
    if (!error) error = Error(platform::net::kPosixErrorDomain, 0, "Stream failed");
    if (error->domain == platform::net::kTlsErrorDomain &&
        error->code == platform::net::kTlsPinnedCertificateNotFound)
        error = Error(KAVWebSocketStreamErrorDomain, 23556, "Invalid server cert");
    failWithError(std::move(*error));
}

void KAVWebSocket::streamEnded() {
    if (streamsClosed_) return;
    // Every byte received before the end has been read and parsed by now.
    if (stream_->status() == platform::net::StreamStatus::Error) {
        streamFailed(stream_->error());
        return;
    }
    if (!outcome_) {
        setReadyState(KAV_CLOSED);
        outcome_ = Outcome{kavws::kCloseGoingAway, std::string("Stream end encountered"), false};
    }
    finishClosing();
}

void KAVWebSocket::closeTimedOut() {
    if (streamsClosed_) return;
    setReadyState(KAV_CLOSED);
    // An end already decided (a protocol error, the server's close) stands.
    if (!outcome_) outcome_ = Outcome{kavws::kCloseAbnormal, std::string("Close timed out"), false};
    finishClosing();
}

// --- Frame reader events -----------------------------------------------------

void KAVWebSocket::readerMessage(uint8_t opcode, std::string&& payload) {
    if (sentCloseFrame_) return;  // we are closing: only the close reply matters
    const size_t weight = payload.size() + kMessageOverhead;
    KAVWebSocketMessage message{opcode == kavws::kOpText ? KAVWebSocketMessage::Kind::Text
                                                         : KAVWebSocketMessage::Kind::Binary,
                                std::move(payload)};
    deliver([message = std::move(message)](KAVWebSocketDelegate& d,
                                           KAVWebSocket& ws) { d.webSocket(ws, message); },
            false, weight);
}

void KAVWebSocket::readerPing(std::string&& payload) {
    if (sentCloseFrame_) return;
    // Weighed as a message is, so that a flood of pings is held back too.
    const size_t weight = payload.size() + kMessageOverhead;
    // The pong goes out behind the delegate calls queued before it.
    callbacks_.push_back([this, payload = std::move(payload)]() mutable {
        enqueue(Outgoing{kavws::kOpPong, std::move(payload), 0, std::nullopt});
    });
    callbacksWeight_ += weight;
    deliveryBacklog_ += weight;
}

void KAVWebSocket::readerPong(std::string&& payload) {
    if (sentCloseFrame_) return;
    const size_t weight = payload.size() + kMessageOverhead;
    deliver([pong = KAVWebSocketPong{std::move(payload)}](
                KAVWebSocketDelegate& d, KAVWebSocket& ws) { d.webSocket(ws, pong); },
            false, weight);
}

// In both, the end is decided before our close frame is written: a peer
// that has already reset the connection makes that write fail, and the
// end decided stands instead of turning into a write failure.

void KAVWebSocket::readerClose(int code, std::optional<std::string>&& reason) {
    Outcome outcome{code, std::move(reason), true};
    if (!outcome_) outcome_ = outcome;
    if (readyState() == KAV_OPEN) {
        // The server closes: answer, then end with its code and reason.
        setReadyState(KAV_CLOSING);
        sendFrame(kavws::kOpClose, kavws::closePayload(kavws::kCloseNormal, std::nullopt));
    }
    disconnect(std::move(outcome));
}

void KAVWebSocket::readerError(int closeCode, std::string&& reason) {
    Outcome outcome{closeCode, std::move(reason), false};
    if (!outcome_) outcome_ = outcome;
    setReadyState(KAV_CLOSING);
    sendFrame(kavws::kOpClose, kavws::closePayload(closeCode, outcome.reason));
    disconnect(std::move(outcome));
}
