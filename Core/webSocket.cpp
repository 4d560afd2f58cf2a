#include "Core/webSocket.h"

#include <algorithm>

#include "Core/Funs.h"
#include "Core/WebSocket/KAVWebSocketFrames.h"
#include "platform/Strings.h"

// A received message is parsed where it lies: the frame reader leaves the
// parser's room behind it.
static_assert(kavws::FrameReader::kRoomBehind >= platform::JsonDocument::kPadding);
// And so does the deciphering of an enciphered one.
static_assert(platform::crypto::AesEcb::kRoomBehind >= platform::JsonDocument::kPadding);

using platform::Json;
using platform::stringf;

// ---- the real connection ----------------------------------------------

namespace {

// Adapts a KAVWebSocket to the channel: it is the socket's delegate and
// passes each event on to the channel while the channel wants them.
class WebSocketConnection final : public KAVChannelConnection, public KAVWebSocketDelegate {
  public:
    explicit WebSocketConnection(std::shared_ptr<KAVWebSocket> socket)
        : socket_(std::move(socket)) {}

    void attach(const std::shared_ptr<WebSocketConnection>& self) { socket_->setDelegate(self); }

    void setDelegate(std::weak_ptr<Delegate> delegate) override { delegate_ = std::move(delegate); }
    void open() override { socket_->open(); }
    bool send(std::string text) override { return socket_->send(std::move(text)); }
    void close() override { socket_->close(); }

    void webSocket(KAVWebSocket&, const KAVWebSocketMessage& message) override {
        if (auto d = delegate_.lock()) d->connectionDidReceive(*this, message);
    }
    void webSocketDidOpen(KAVWebSocket&) override {
        if (auto d = delegate_.lock()) d->connectionDidOpen(*this);
    }
    void webSocket(KAVWebSocket&, const platform::Error& error) override {
        if (auto d = delegate_.lock()) d->connectionDidFail(*this, error);
    }
    void webSocket(KAVWebSocket&, int code, const std::optional<std::string>& reason,
                   bool wasClean) override {
        if (auto d = delegate_.lock()) d->connectionDidClose(*this, code, reason, wasClean);
    }

  private:
    std::shared_ptr<KAVWebSocket> socket_;
    std::weak_ptr<Delegate> delegate_;
};

// The package received texts are parsed into, one a thread: kept from one
// message to the next, the buffer of its text is made once rather than for
// every quote. A text received while it is being delivered (a handler that
// makes a channel receive) is parsed into a package of its own.
struct ReceivedPackage {
    KAVPackage package;
    bool inUse = false;
};
thread_local ReceivedPackage tReceived;
// The longest text whose buffer the kept package holds on to.
constexpr size_t kKeptText = 64 * 1024;

bool startsWith(const std::string& text, char c) {
    return !text.empty() && text.front() == c;
}

// Whether the text holds fewer than `n` characters (code points), without
// counting a long text through.
bool shorterThan(const std::string& text, size_t n) {
    size_t count = 0;
    for (const char c : text) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80 && ++count >= n) return false;
    }
    return true;
}

}  // namespace

std::shared_ptr<KAVChannelConnection> makeKAVWebSocketConnection(const std::string& url) {
    const auto parsed = platform::net::URL::parse(url);
    if (!parsed) return nullptr;
    auto socket = KAVWebSocket::initWithURL(*parsed);
    if (!socket) return nullptr;
    auto connection = std::make_shared<WebSocketConnection>(std::move(socket));
    connection->attach(connection);
    return connection;
}

// ---- the channel ----------------------------------------------------------

webSocket::webSocket() = default;

webSocket::~webSocket() {
    // A connection that outlives its channel would stay open for nothing.
    dropConnection();
    // Requests still waiting end as their time-out would have ended them,
    // only sooner: whoever waits for an answer (an order screen's overlay)
    // must never wait for ever. Their blocks run on the next turn of the
    // main run loop, not inside this destructor.
    for (auto& [key, entry] : pending_) {
        entry.timer.invalidate();
        if (!entry.onFailure) continue;
        platform::RunLoop::main().post(
            [onFailure = std::move(entry.onFailure)] { kavFail(onFailure, kKAVTimeOut); });
    }
}

template <typename F>
std::function<void()> webSocket::guarded(F f) {
    return [weak = weak_from_this(), f = std::move(f)]() {
        if (auto self = weak.lock()) f();
    };
}

void webSocket::setAES_KEY(std::string key) {
    aesKey_ = std::move(key);
    crypt_.reset();
}

const KAVCrypt& webSocket::crypt() {
    // Keyed once per key, not per message.
    if (!crypt_) crypt_.emplace(aesKey_, aesIv_);
    return *crypt_;
}

void webSocket::open(const std::string& url, OpenBlock onOpen, PushBlock onPush) {
    url_ = url;
    onOpen_ = std::move(onOpen);
    setPushBlock(onPush ? std::make_shared<const PushBlock>(std::move(onPush)) : nullptr);
    wanted_ = true;
    _reconnect(url_);
}

void webSocket::setPushBlock(std::shared_ptr<const PushBlock> block) {
    // A block being called (it closes or reopens its channel) lives until
    // its call returns.
    if (delivering_ > 0 && onPush_) retiredPush_.push_back(std::move(onPush_));
    onPush_ = std::move(block);
}

void webSocket::_reconnect(const std::string& url) {
    dropConnection();
    reopenTimer_.invalidate();
    status_ = kStatusConnecting;
    ++generation_;
    connection_ = connectionFactory_ ? connectionFactory_(url) : makeKAVWebSocketConnection(url);
    if (connection_) connection_->setDelegate(weak_from_this());
    // An address that makes no connection can never open: its attempt ends
    // as an open time-out on the next turn of the run loop, not after the
    // whole time-out, and is retried like any failed attempt.
    openTimer_ = platform::Timer::schedule(connection_ ? static_cast<double>(timeOut_) : 0, false,
                                           guarded([this] { openTimeOut(); }));
    if (connection_) {
        connection_->open();
    } else {
        Funs::log(stringf("%s - 无效的服务地址 - %s", name_.c_str(), url.c_str()));
    }
    sendMSGWith(kNetConnecting, "网络连接中");
}

void webSocket::dropConnection() {
    if (!connection_) return;
    auto connection = std::move(connection_);
    connection->setDelegate({});
    connection->close();
}

void webSocket::scheduleReopen() {
    // A channel closed on purpose never reopens; one reopen at a time.
    if (!wanted_ || reopenTimer_.isValid()) return;
    reopenTimer_ = platform::Timer::schedule(kReopenDelay, false, guarded([this] {
                                                 // Still wanted when the delay is over?
                                                 if (wanted_ && !url_.empty()) _reconnect(url_);
                                             }));
}

void webSocket::openTimeOut() {
    openTimer_.invalidate();
    // The stalled attempt is given up and tried again like a failed one.
    if (status_ != kStatusOpen) {
        dropConnection();
        status_ = kStatusClosed;
        scheduleReopen();
    }
    sendMSGWith(kNetOpenTimeOut, "打开网络连接超时");
}

void webSocket::close() {
    wanted_ = false;
    Funs::log(stringf("%s - 关闭连接 - %s", name_.c_str(), url_.c_str()));
    heartbeatTimer_.invalidate();
    openTimer_.invalidate();
    reopenTimer_.invalidate();
    dropConnection();
    status_ = kStatusClosed;
    // Nothing of this channel reaches the receiver any more. Pending
    // requests still end with their own time-out.
    setPushBlock(nullptr);
}

void webSocket::cancelRequests() {
    // Moved out first: a block destroyed here may end a request object whose
    // destructor reaches this channel again.
    auto pending = std::move(pending_);
    pending_.clear();
}

// ---- sending --------------------------------------------------------------

void webSocket::send(KAVPackage& package, SuccessBlock onSuccess, KAVFailureBlock onFailure) {
    if (status_ != kStatusOpen) {
        kavFail(onFailure, kKAVNotReady);
        return;
    }
    std::string text = package.toJSON();
    const int32_t order = package.msgOrder();
    pushMsgWith(package, std::move(onSuccess), std::move(onFailure));
    if (dataDecode_ == 0) text = crypt().encrypt(text);
    // Filing may have failed an older request whose block closed the
    // channel; and a connection that has just died refuses the text. Either
    // way the request fails now rather than at its time-out.
    if (status_ != kStatusOpen || !connection_ || !connection_->send(std::move(text))) {
        if (auto entry = popMsgWith(order)) kavFail(entry->onFailure, kKAVNotReady);
        return;
    }
    heartbeatTimer_ =
        platform::Timer::schedule(kHeartbeatInterval, false, guarded([this] { sendHeartBeat(); }));
}

void webSocket::send(std::nullptr_t, SuccessBlock /*onSuccess*/, KAVFailureBlock onFailure) {
    if (status_ != kStatusOpen || !connection_ || !connection_->send(std::string())) {
        kavFail(onFailure, kKAVNotReady);
        return;
    }
    heartbeatTimer_ =
        platform::Timer::schedule(kHeartbeatInterval, false, guarded([this] { sendHeartBeat(); }));
}

void webSocket::sendHeartBeat() {
    send(nullptr);
}

void webSocket::heartBeat(bool on) {
    if (status_ != kStatusOpen) return;
    if (on) {
        sendHeartBeat();
    } else {
        heartbeatTimer_.invalidate();
    }
}

void webSocket::pushMsgWith(const KAVPackage& package, SuccessBlock onSuccess,
                            KAVFailureBlock onFailure) {
    const int32_t order = package.msgOrder();
    // After the counter wraps, a request still waiting under the same number
    // would be answered with the new one's reply: it is failed first.
    if (auto older = popMsgWith(order)) kavFail(older->onFailure, kKAVTimeOut);
    forgetTimedOut(order);  // a reply with this number is the new request's
    Pending entry{package, std::move(onSuccess), std::move(onFailure),
                  platform::Timer::schedule(static_cast<double>(timeOut_), false,
                                            guarded([this, order] { timeoutWith(order); }))};
    pending_.insert_or_assign(order, std::move(entry));
}

std::optional<webSocket::Pending> webSocket::popMsgWith(int32_t msgOrder) {
    const auto it = pending_.find(msgOrder);
    if (it == pending_.end()) return std::nullopt;
    std::optional<Pending> entry(std::move(it->second));
    pending_.erase(it);
    entry->timer.invalidate();
    return entry;
}

void webSocket::timeoutWith(int32_t msgOrder) {
    Funs::log(kKAVTimeOut.message);
    auto entry = popMsgWith(msgOrder);
    if (!entry) return;
    // Remembered, so that a reply still on its way can be told from a push.
    timedOut_.emplace_back(msgOrder, entry->package.event());
    if (timedOut_.size() > kTimedOutRemembered) timedOut_.pop_front();
    kavFail(entry->onFailure, kKAVTimeOut);
}

void webSocket::forgetTimedOut(int32_t msgOrder) {
    std::erase_if(timedOut_, [msgOrder](const auto& t) { return t.first == msgOrder; });
}

void webSocket::noteLateReply(const KAVPackage& package) {
    const int32_t order = package.msgOrder();
    const auto it = std::find_if(timedOut_.begin(), timedOut_.end(),
                                 [order](const auto& t) { return t.first == order; });
    if (it == timedOut_.end()) return;
    // An order executed after its time-out must be traceable.
    Funs::log(stringf("%s - 超时后到达的应答：请求 %s，应答 %s，retCode %s，msgOrder %d，%s",
                      name_.c_str(), it->second.c_str(), package.event().c_str(),
                      package.retCode().c_str(), order, package.message().c_str()));
    timedOut_.erase(it);
}

// ---- receiving ------------------------------------------------------------

void webSocket::connectionDidReceive(KAVChannelConnection& connection,
                                     const KAVWebSocketMessage& message) {
    if (&connection != connection_.get()) return;
    // The services send text only.
    if (!message.isText()) return;
    receiveText(message.bytes);
}

void webSocket::receiveText(const std::string& arrived) {
    if (shorterThan(arrived, 3)) return;
    // The connection's own text is read where it lies; only a deciphered
    // one is a text of its own.
    const std::string* text = &arrived;
    std::optional<std::string> plain;
    if (protocol_ == 0) {
        if (!startsWith(arrived, '{')) {
            plain = crypt().decrypt(arrived);
            if (!plain) {
                Funs::log(stringf("%s - 无法解密的数据已丢弃（%zu 字节）", name_.c_str(),
                                  arrived.size()));
                return;
            }
            text = &*plain;
        }
    } else if (protocol_ == 1 && startsWith(arrived, '0')) {
        // A compressed quote line travels on as the only child of a quote
        // package. The package is built directly: the line is never spliced
        // into JSON text.
        // Logged as the package text the line stands for.
        if (isDebug_)
            Funs::log(
                stringf("接收数据：{\"event\" : \"%s\",\"data\" : { \"children\" : [\"%s\"]}}",
                        "4002", arrived.c_str()));
        KAVPackage package;
        package.setEvent("4002");
        package.addValue(Json::array({arrived}), "children");
        deliver(package);
        return;
    }
    if (isDebug_) Funs::log("接收数据：" + *text);
    // The thread's kept package unless it is being delivered already.
    struct Kept {
        ReceivedPackage* kept;
        ~Kept() {
            if (!kept) return;
            // Emptied for the next text; a large one's buffer goes.
            if (kept->package.textCapacity() > kKeptText) {
                kept->package = KAVPackage();
            } else {
                kept->package.clear();
            }
            kept->inUse = false;
        }
    } kept{tReceived.inUse ? nullptr : &tReceived};
    std::optional<KAVPackage> own;
    KAVPackage& package = kept.kept ? kept.kept->package : own.emplace();
    if (kept.kept) kept.kept->inUse = true;
    // Read where it lies: the text stays until the package is emptied or goes.
    if (!package.fromReceived(*text)) return;
    deliver(package);
}

void webSocket::deliver(const KAVPackage& package) {
    if (auto entry = popMsgWith(package.msgOrder())) {
        if (package.retCodeText() == kKAVSuccessCode) {
            if (entry->onSuccess) entry->onSuccess(package);
        } else if (entry->onFailure) {
            entry->onFailure(package.retCode(), package.message());
        }
        return;
    }
    // Pushes, replies that came after their time-out, quote lines.
    if (package.msgOrder() != 0) noteLateReply(package);
    if (!onPush_) return;
    // The caller holds the channel (a connection reaches it only through
    // its weak pointer); the block is held by retiredPush_ should it close
    // or reopen the channel, with no count taken on it for every quote.
    struct Delivering {
        webSocket& channel;
        explicit Delivering(webSocket& c) : channel(c) { ++channel.delivering_; }
        ~Delivering() {
            if (--channel.delivering_ == 0 && !channel.retiredPush_.empty()) {
                auto retired = std::move(channel.retiredPush_);
                channel.retiredPush_.clear();
            }
        }
    } delivering(*this);
    (*onPush_)(*this, package);
}

void webSocket::sendMSGWith(int32_t code, const std::string& message) {
    if (!onPush_) return;
    KAVPackage package;
    package.setEvent(kStatusEvent);
    package.setRetCode(kKAVSuccessCode);
    package.setMessage(message);
    package.addValue(stringf("%d", code), "actCode");
    const auto block = onPush_;
    (*block)(*this, package);
}

// ---- connection events -----------------------------------------------------

void webSocket::connectionDidOpen(KAVChannelConnection& connection) {
    if (&connection != connection_.get()) return;
    // The channel counts as open only once "connected" has been reported:
    // a request sent from inside that report is refused as not ready.
    const uint64_t generation = generation_;
    sendMSGWith(kNetConnected, "网络连接成功");
    if (generation != generation_ || !wanted_) return;  // the report closed or replaced it
    openTimer_.invalidate();
    status_ = kStatusOpen;
    if (token_.empty()) {
        if (onOpen_) {
            const OpenBlock block = std::move(onOpen_);  // once, at the first open
            onOpen_ = nullptr;
            block();
        }
    } else if (protocol_ == 0) {
        checkToken();
    }
}

void webSocket::checkToken() {
    if (!tokenCheck_) {
        Funs::log(stringf("%s - 无法校验 TOKEN", name_.c_str()));
        return;
    }
    const uint64_t generation = generation_;
    sendMSGWith(kNetTokenCheck, "校验 Token");
    if (generation != generation_ || status_ != kStatusOpen) return;
    std::weak_ptr<webSocket> weak = weak_from_this();
    // Answers for a connection that has since been replaced or closed are
    // ignored.
    const auto current = [weak, generation]() -> std::shared_ptr<webSocket> {
        auto self = weak.lock();
        return self && self->wanted_ && self->generation_ == generation ? self : nullptr;
    };
    const TokenCheck check = tokenCheck_;
    check(
        *this,
        [current] {
            auto self = current();
            if (!self) return;
            self->sendMSGWith(kNetTokenPassed, "TOKEN 校验成功");
            Funs::log(stringf("%s - TOKEN 校验成功", self->name_.c_str()));
        },
        [current](const std::string& code, const std::string& message) {
            auto self = current();
            if (!self) return;
            if (code == kKAVNotReady.code || code == kKAVTimeOut.code) {
                // No answer is no refusal: drop the connection and let the
                // reopen try again.
                Funs::log(
                    stringf("%s - TOKEN 校验无应答 - %s", self->name_.c_str(), message.c_str()));
                self->dropConnection();
                self->status_ = kStatusClosed;
                self->scheduleReopen();
                return;
            }
            self->sendMSGWith(kNetTokenFailed, "TOKEN 校验失败");
            Funs::log(stringf("%s - TOKEN 校验失败", self->name_.c_str()));
            // A receiver of the report that opened the channel again (or
            // closed it) has decided already: its new connection stays.
            if (!current()) return;
            self->close();
        });
}

void webSocket::connectionDidFail(KAVChannelConnection& connection, const platform::Error& error) {
    if (&connection != connection_.get()) return;
    Funs::log(stringf("%s - 网络连接失败 - %s", name_.c_str(), error.localizedDescription.c_str()));
    // Not open any more: sends fail at once until the reopen.
    dropConnection();
    // The attempt has ended: no stall to report for it.
    openTimer_.invalidate();
    status_ = kStatusClosed;
    scheduleReopen();
}

void webSocket::connectionDidClose(KAVChannelConnection& connection, int code,
                                   const std::optional<std::string>& reason, bool /*wasClean*/) {
    if (&connection != connection_.get()) return;
    dropConnection();
    openTimer_.invalidate();  // the attempt has ended, as on a failure
    status_ = kStatusClosed;
    const uint64_t generation = generation_;
    sendMSGWith(kNetClosed, "网络已关闭");
    Funs::log(
        stringf("code:%ld - %s", static_cast<long>(code), reason.value_or(std::string()).c_str()));
    // A receiver of the report that opened the channel again has replaced
    // the lost connection already: a reopen now would drop the new one.
    if (generation != generation_) return;
    scheduleReopen();
}
