// The session after the login: closing every channel, logging out, changing
// the password, the network-unready counter, and the service-level re-login
// that a token-refused notice starts.
#include "Core/Biz/BizLogin.h"
#include "Core/Funs.h"
#include "Core/SDK/KAVBizSDK.h"
#include "platform/MainThread.h"

namespace {

constexpr int32_t kLoginPasswordType = 1;
constexpr int32_t kTryConnectCount = 3;

}  // namespace

void KAVBizSDK::stopConnect() {
    KAV_ASSERT_MAIN_THREAD();
    // The session is over for everyone: a re-login must not bring it back,
    // and no answer of a request sent in its name may still arrive.
    stopReconnect();
    abandonLogin();
    const auto channels = wsList;  // closing reports nothing, but stay safe against changes
    for (const auto& [name, channel] : channels) {
        channel->close();
        channel->cancelRequests();
    }
}

void KAVBizSDK::abandonLogin() {
    if (!loginRunning_) return;
    ++loginAttempt_;
    loginRunning_ = false;
    loginGuard_.invalidate();
    loginSuccess_ = nullptr;
    loginFailure_ = nullptr;
}

void KAVBizSDK::logout() {
    KAV_ASSERT_MAIN_THREAD();
    stopConnect();
    notifyDelegate(delegate(), "onLogout", kWSPushAlwaysLog,
                   [](WSPushMessage& d) { d.onLogout(); });
}

void KAVBizSDK::passwordChange(const std::string& newPassword, int32_t passwordType,
                               const std::string& oldPassword, KAVDoneBlock onSuccess,
                               KAVFailureBlock onFailure) {
    KAV_ASSERT_MAIN_THREAD();
    auto biz = std::make_shared<BizLogin>(channelNamed(kWSTrader));
    biz->updatePasswordWithSID(
        sid_, userId_, passwordType, newPassword, oldPassword,
        [weak = weak_from_this(), userId = userId_, newPassword, passwordType,
         onSuccess = std::move(onSuccess)] {
            auto self = weak.lock();
            // The login password is what the token checks and the re-login
            // send: from now on only the new one is accepted. (Unless the
            // session has changed hands meanwhile.)
            if (self && passwordType == kLoginPasswordType && self->userId_ == userId) {
                self->password_ = newPassword;
                for (const auto& [name, channel] : self->wsList)
                    channel->setPWD(newPassword);
            }
            if (onSuccess) onSuccess();
        },
        std::move(onFailure));
}

void KAVBizSDK::onNetworkUnready() {
    if (--tryConnect != 0) {
        Funs::log("onNetworkUnready");
        return;
    }
    tryConnect = kTryConnectCount;
    stopConnect();
    notifyDelegate(delegate(), "onNetworkUnready", kWSPushAlwaysLog,
                   [](WSPushMessage& d) { d.onNetworkUnready(); });
}

// ---- service-level re-login ------------------------------------------------

void KAVBizSDK::startReconnect() {
    KAV_ASSERT_MAIN_THREAD();
    if (isReLoginPending()) return;
    reLoginTimer_ = platform::Timer::schedule(kReLoginDelay, false, [weak = weak_from_this()] {
        if (auto self = weak.lock()) self->autoLogin();
    });
}

void KAVBizSDK::stopReconnect() {
    reLoginTimer_.invalidate();
    reLoginAttempt_ = 0;
}

void KAVBizSDK::autoLogin() {
    // Copies: the login stores what it is given into these very fields.
    const std::string userId = userId_;
    const std::string password = password_;
    const std::vector<std::string> urls = loginURLs_;
    loginWithUserId(
        userId, password, "", urls,
        [weak = weak_from_this()] {
            if (auto self = weak.lock()) self->stopReconnect();
        },
        [weak = weak_from_this()](const std::string&, const std::string&) {
            auto self = weak.lock();
            if (!self) return;
            Funs::log("重连自动登录失败");
            self->stopReconnect();
            self->startReconnect();
        });
    // Running while this attempt is the login under way (a failure at once
    // has already scheduled the next one).
    if (loginRunning_) reLoginAttempt_ = loginAttempt_;
}
