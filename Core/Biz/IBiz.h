#pragma once

// The base of every request object. A request object is made for one
// request on one channel and lives in a std::shared_ptr; its reply blocks
// keep it alive until the channel has answered. It holds its channel weakly
// (the channel's pending table holds the request through those blocks).

#include <functional>
#include <memory>
#include <string>

#include "Core/KAVPackage.h"
#include "Core/KAVTypes.h"
#include "Core/webSocket.h"
#include "platform/Json.h"

class IBiz : public std::enable_shared_from_this<IBiz> {
  public:
    // initWithWebSocket: binds the request to the channel (which may be
    // none: push parsing uses request objects without one).
    explicit IBiz(const std::shared_ptr<webSocket>& ws, std::string requestCode = {},
                  std::string responseCode = {});
    virtual ~IBiz() = default;

    std::shared_ptr<webSocket> ws() const { return ws_.lock(); }
    const std::string& requestCode() const { return requestCode_; }
    // The reply's event (the request code + 1); recorded only: replies are
    // matched by message order.
    const std::string& responseCode() const { return responseCode_; }

    // A package of `event` with encrypt "1" and an empty data object.
    static KAVPackage makePackage(const std::string& event);

    // Sends the package on the channel. Without a channel the failure block
    // runs at once with ("10002", "网关服务尚未初始化") and nothing is sent.
    void send(KAVPackage& package, webSocket::SuccessBlock onSuccess, KAVFailureBlock onFailure);

    // The list query {"sid", "uid", "action": "4"} of the request code; the
    // reply's "children" (null when missing) goes to `onChildren`. Without
    // `onChildren` the reply is dropped unread.
    void sendListQuery(const std::string& sid, const std::string& uid,
                       std::function<void(const platform::Json* children)> onChildren,
                       KAVFailureBlock onFailure);

  private:
    std::weak_ptr<webSocket> ws_;
    std::string requestCode_;
    std::string responseCode_;
};

// A request whose reply turns into a `Result` (mostly a list of records).
template <typename Result>
class IBizOf : public IBiz {
  public:
    using IBiz::IBiz;
    using SuccessBlock = std::function<void(const Result&)>;

    // The records of a reply's or a push's "children" (null when missing).
    virtual Result pushData(const platform::Json* children) = 0;

    // The list query; the success block gets pushData of the reply.
    void loadDataWithSID(const std::string& sid, const std::string& uid, SuccessBlock onSuccess,
                         KAVFailureBlock onFailure) {
        std::function<void(const platform::Json*)> onChildren;
        if (onSuccess) {
            auto self = std::static_pointer_cast<IBizOf>(shared_from_this());
            onChildren = [self, onSuccess = std::move(onSuccess)](const platform::Json* children) {
                onSuccess(self->pushData(children));
            };
        }
        sendListQuery(sid, uid, std::move(onChildren), std::move(onFailure));
    }
};
