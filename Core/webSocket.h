#pragma once

// One named, long-lived service channel ("wsLogin", "wsTrader", "wsQuoted",
// "wsHisQuoted", "wsMSG") over one WebSocket connection at a time. It sends
// request packages (enciphered or plain), matches replies to requests by
// message order with a time-out per request, hands everything else (server
// pushes and its own status reports) to a push block, and keeps itself
// alive: a heartbeat after 60 s without sending, a reopen 5 s after a close
// or failure while it is wanted, and a token check after each reopen.
//
// Everything runs on the main run loop. Every timer is a member, so a
// destroyed channel cancels them silently. A channel lives in a
// std::shared_ptr (its timers and connection callbacks hold it weakly).

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Core/KAVCrypt.h"
#include "Core/KAVPackage.h"
#include "Core/KAVTypes.h"
#include "Core/NetworkStatus.h"
#include "Core/WebSocket/KAVWebSocket.h"
#include "platform/Error.h"
#include "platform/RunLoop.h"

// The connection as a channel uses it. The real one is a KAVWebSocket;
// tests give the channel a fake through a connection factory.
class KAVChannelConnection {
  public:
    // Receives the connection's events on the main run loop, never inside
    // one of the connection's own calls.
    class Delegate {
      public:
        virtual ~Delegate() = default;
        virtual void connectionDidOpen(KAVChannelConnection& connection) = 0;
        virtual void connectionDidReceive(KAVChannelConnection& connection,
                                          const KAVWebSocketMessage& message) = 0;
        virtual void connectionDidFail(KAVChannelConnection& connection,
                                       const platform::Error& error) = 0;
        virtual void connectionDidClose(KAVChannelConnection& connection, int code,
                                        const std::optional<std::string>& reason,
                                        bool wasClean) = 0;
    };

    virtual ~KAVChannelConnection() = default;
    // Not owned; an empty pointer stops every further event.
    virtual void setDelegate(std::weak_ptr<Delegate> delegate) = 0;
    virtual void open() = 0;
    // False when the connection refuses the text (it is not open).
    virtual bool send(std::string text) = 0;
    virtual void close() = 0;
};

// Makes the connection for an address; null when the address is unusable.
using KAVConnectionFactory =
    std::function<std::shared_ptr<KAVChannelConnection>(const std::string& url)>;
// The real connection: a KAVWebSocket for the address, whose delegate this
// adapter is.
std::shared_ptr<KAVChannelConnection> makeKAVWebSocketConnection(const std::string& url);

class webSocket : public KAVChannelConnection::Delegate,
                  public std::enable_shared_from_this<webSocket> {
  public:
    // Status values.
    static constexpr int32_t kStatusConnecting = 0;  // also: not yet opened
    static constexpr int32_t kStatusOpen = 1;
    static constexpr int32_t kStatusClosed = 3;  // by the peer, the network or close()

    // Network status codes reported through the push block.
    static constexpr int32_t kNetConnecting =
        networkStatusCode(NetworkStatus::Connecting);  // "网络连接中"
    static constexpr int32_t kNetConnected =
        networkStatusCode(NetworkStatus::Connected);  // "网络连接成功"
    static constexpr int32_t kNetOpenTimeOut =
        networkStatusCode(NetworkStatus::OpenTimedOut);  // "打开网络连接超时"
    static constexpr int32_t kNetClosed = networkStatusCode(NetworkStatus::Closed);  // "网络已关闭"
    static constexpr int32_t kNetTokenCheck =
        networkStatusCode(NetworkStatus::TokenCheck);  // "校验 Token"
    static constexpr int32_t kNetTokenPassed =
        networkStatusCode(NetworkStatus::TokenPassed);  // "TOKEN 校验成功"
    static constexpr int32_t kNetTokenFailed =
        networkStatusCode(NetworkStatus::TokenFailed);  // "TOKEN 校验失败"
    // Event of a status report package.
    static constexpr const char* kStatusEvent = "sys_9001";

    static constexpr double kHeartbeatInterval = 60.0;
    static constexpr double kReopenDelay = 5.0;

    using SuccessBlock = std::function<void(const KAVPackage& reply)>;
    using OpenBlock = std::function<void()>;
    using PushBlock = std::function<void(webSocket& channel, const KAVPackage& package)>;
    // The token check a reopened channel runs. The channel cannot make the
    // request itself (the request classes sit above it), so whoever makes
    // the channel gives it this function. It sends the check on `channel`
    // and calls `onFailure` with the server's refusal as code "1", or with
    // the client's own code ("10003", "sys_1006") when no answer came.
    using TokenCheck = std::function<void(webSocket& channel, std::function<void()> onSuccess,
                                          KAVFailureBlock onFailure)>;

    webSocket();
    ~webSocket() override;
    webSocket(const webSocket&) = delete;
    webSocket& operator=(const webSocket&) = delete;

    // ---- properties ----
    const std::string& Name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    const std::string& URL() const { return url_; }
    int32_t Status() const { return status_; }
    // The token of this channel's proxy login; a reopen checks it.
    const std::string& TOKEN() const { return token_; }
    void setTOKEN(std::string token) { token_ = std::move(token); }
    const std::string& SID() const { return sid_; }
    void setSID(std::string sid) { sid_ = std::move(sid); }
    const std::string& UID() const { return uid_; }
    void setUID(std::string uid) { uid_ = std::move(uid); }
    const std::string& PWD() const { return pwd_; }
    void setPWD(std::string pwd) { pwd_ = std::move(pwd); }
    const std::string& AES_KEY() const { return aesKey_; }
    void setAES_KEY(std::string key);
    const std::string& AES_IV() const { return aesIv_; }
    void setAES_IV(std::string iv) { aesIv_ = std::move(iv); }
    // 0: what the channel sends is enciphered; any other value: plain.
    int32_t DataDecode() const { return dataDecode_; }
    void setDataDecode(int32_t value) { dataDecode_ = value; }
    // 0: JSON packages; 1: compressed quote lines.
    int32_t WSProtocol() const { return protocol_; }
    void setWSProtocol(int32_t value) { protocol_ = value; }
    // Open time-out and per-request time-out, seconds.
    int32_t timeOut() const { return timeOut_; }
    void setTimeOut(int32_t seconds) { timeOut_ = seconds; }
    // Logs every received text.
    bool isDebug() const { return isDebug_; }
    void setIsDebug(bool on) { isDebug_ = on; }
    void setDebug() { isDebug_ = true; }

    void setTokenCheck(TokenCheck check) { tokenCheck_ = std::move(check); }
    // Connections are made by this factory (the real WebSocket when unset).
    void setConnectionFactory(KAVConnectionFactory factory) {
        connectionFactory_ = std::move(factory);
    }

    // ---- operations ----
    // Stores the address and the blocks, marks the channel wanted and
    // connects. The open block runs once, at the first open of a channel
    // without a token.
    void open(const std::string& url, OpenBlock onOpen, PushBlock onPush);
    // Sends a request: renders it (the package's msgOrder is the number
    // used), files it with its own time-out, enciphers when the channel
    // does, and sends it. When the channel is not open the failure block
    // runs at once with ("10003", "通讯组件未就绪").
    void send(KAVPackage& package, SuccessBlock onSuccess, KAVFailureBlock onFailure);
    // The heartbeat: an empty text message.
    void send(std::nullptr_t, SuccessBlock onSuccess = {}, KAVFailureBlock onFailure = {});
    // Stops the channel for good: no reopen, no further report.
    void close();
    // Drops every request still waiting for its reply without calling its
    // blocks (a session that ends hears nothing more of its requests).
    // Without it, a request still waiting when its channel is destroyed
    // fails with the time-out failure ("sys_1006", "请求超时") at the next
    // turn of the main run loop, not inside the destructor.
    void cancelRequests();
    // While open: on sends a heartbeat now (which arms the 60 s timer);
    // off stops the heartbeat timer.
    void heartBeat(bool on);
    void sendHeartBeat();
    void checkToken();
    // Hands a status report (event "sys_9001", data {"actCode"}) to the push block.
    void sendMSGWith(int32_t code, const std::string& message);

    // Requests waiting for their reply (tests and diagnostics).
    size_t pendingCount() const { return pending_.size(); }
    // Whether a reopen is scheduled.
    bool reopenScheduled() const { return reopenTimer_.isValid(); }

    // ---- connection events ----
    void connectionDidOpen(KAVChannelConnection& connection) override;
    void connectionDidReceive(KAVChannelConnection& connection,
                              const KAVWebSocketMessage& message) override;
    void connectionDidFail(KAVChannelConnection& connection, const platform::Error& error) override;
    void connectionDidClose(KAVChannelConnection& connection, int code,
                            const std::optional<std::string>& reason, bool wasClean) override;

  private:
    struct Pending {
        KAVPackage package;
        SuccessBlock onSuccess;
        KAVFailureBlock onFailure;
        platform::Timer timer;
    };

    void _reconnect(const std::string& url);
    void scheduleReopen();
    void dropConnection();
    void pushMsgWith(const KAVPackage& package, SuccessBlock onSuccess, KAVFailureBlock onFailure);
    std::optional<Pending> popMsgWith(int32_t msgOrder);
    void timeoutWith(int32_t msgOrder);
    // A reply that matches no waiting request but came for one that timed
    // out is logged as late, with its event and retCode.
    void noteLateReply(const KAVPackage& package);
    void forgetTimedOut(int32_t msgOrder);
    void openTimeOut();
    void receiveText(const std::string& text);
    // A received package: to its waiting request, or else to the push block.
    void deliver(const KAVPackage& package);
    const KAVCrypt& crypt();
    // A timer callback that runs only while the channel is alive, and keeps
    // it alive while it runs.
    template <typename F>
    std::function<void()> guarded(F f);

    std::string name_;
    std::string url_;
    int32_t status_ = kStatusConnecting;
    std::string token_, sid_, uid_, pwd_;
    std::string aesKey_, aesIv_;
    std::optional<KAVCrypt> crypt_;
    int32_t dataDecode_ = 0;
    int32_t protocol_ = 0;
    int32_t timeOut_ = 10;
    bool isDebug_ = false;

    OpenBlock onOpen_;
    // Shared, so that a status report holds the block while the block
    // itself may close the channel (which drops it). A received package is
    // handed to the block where it lies: one dropped or replaced while
    // packages are being delivered to it waits in retiredPush_ until the
    // last of those deliveries returns.
    std::shared_ptr<const PushBlock> onPush_;
    std::vector<std::shared_ptr<const PushBlock>> retiredPush_;
    int delivering_ = 0;
    void setPushBlock(std::shared_ptr<const PushBlock> block);
    TokenCheck tokenCheck_;
    KAVConnectionFactory connectionFactory_;
    // Set by open(), cleared by close(): whether the channel reopens itself.
    bool wanted_ = false;
    std::shared_ptr<KAVChannelConnection> connection_;
    // Counts connections, so a token check answered after its connection
    // was replaced is ignored.
    uint64_t generation_ = 0;

    // Pending requests under their message order.
    std::unordered_map<int32_t, Pending> pending_;
    // The latest requests that timed out: message order and event.
    static constexpr size_t kTimedOutRemembered = 64;
    std::deque<std::pair<int32_t, std::string>> timedOut_;
    platform::Timer heartbeatTimer_;
    platform::Timer openTimer_;
    platform::Timer reopenTimer_;
};
