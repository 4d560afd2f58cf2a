#include "Core/SDK/KAVBizSDK.h"

#include "Core/Biz/BizReconnect.h"
#include "Core/Funs.h"
#include "Core/KAVCrypt.h"
#include "platform/Strings.h"

KAVBizSDK::KAVBizSDK() = default;

KAVBizSDK::~KAVBizSDK() {
    // The session ends with this object, as with a logout: its requests
    // end silently rather than with time-outs that nobody waits for.
    for (const auto& [name, channel] : wsList)
        channel->cancelRequests();
}

std::shared_ptr<webSocket> KAVBizSDK::createWSWithKey(const std::string& name, int32_t isEncrypt,
                                                      int32_t timeOut) {
    if (const auto it = wsList.find(name); it != wsList.end()) {
        const auto old = it->second;
        wsList.erase(it);
        old->close();
    }
    auto channel = std::make_shared<webSocket>();
    channel->setTimeOut(timeOut);
    channel->setAES_KEY(KAVCrypt::kPackageKey);
    channel->setAES_IV(KAVCrypt::kPackageIV);
    channel->setDataDecode(isEncrypt);
    channel->setName(name);
    channel->setTokenCheck(&BizReconnect::checkChannel);
    if (connectionFactory_) channel->setConnectionFactory(connectionFactory_);
    wsList[name] = channel;
    return channel;
}

std::shared_ptr<webSocket> KAVBizSDK::channelNamed(const std::string& name) const {
    const auto it = wsList.find(name);
    return it == wsList.end() ? nullptr : it->second;
}

webSocket::PushBlock KAVBizSDK::pushBlock() {
    return [weak = weak_from_this(), attempt = loginAttempt_](webSocket& channel,
                                                              const KAVPackage& package) {
        auto self = weak.lock();
        if (!self) return;
        // A dealer that keeps one session per account tells a session that a
        // newer login replaced it. When that newer login is this object's own
        // (a re-login), the notice comes on a channel of the session being
        // replaced, and ending the session would end the re-login with it.
        if (attempt != self->loginAttempt_ && package.eventText() == "4010") {
            Funs::log("接收到已被替换的会话的别处登录通知：【" + channel.Name() + "】");
            return;
        }
        self->onPushMessage(channel, package);
    };
}

void KAVBizSDK::SendNetworkStatus(int32_t code) {
    notifyDelegate(delegate(), "onNetworkStatus", kWSPushStatus,
                   [code](WSPushMessage& d) { d.onNetworkStatus(code); });
}

std::string KAVBizSDK::makeKeyWithId(int32_t id) {
    return platform::stringf("key_%i", id);
}

std::string KAVBizSDK::formatPrice(double price, int decimal) {
    return Funs::formatPrice(price, decimal);
}

int64_t KAVBizSDK::Date2Epoch(std::string_view text) {
    return Funs::Date2Epoch(text);
}

std::string KAVBizSDK::Epoch2Date(int64_t epoch) {
    return Funs::Epoch2Date(epoch);
}
