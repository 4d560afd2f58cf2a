#include "Core/Biz/BizReconnect.h"

#include "platform/Strings.h"

BizReconnect::BizReconnect(const std::shared_ptr<webSocket>& ws) : IBiz(ws, "2019") {}

void BizReconnect::CheckTokenWithSID(const std::string& sid, const std::string& uid,
                                     const std::string& pwd, const std::string& token,
                                     KAVDoneBlock onSuccess, KAVFailureBlock onFailure) {
    const auto channel = ws();
    if (!channel) {
        kavFail(onFailure, kKAVNotInitialised);
        return;
    }
    KAVPackage package = makePackage(requestCode());
    package.addValue(sid, "sid");
    package.addValue(uid, "uid");
    package.addValue(pwd, "pwd");
    package.addValue(token, "token");
    send(
        package,
        [onSuccess = std::move(onSuccess)](const KAVPackage&) {
            if (onSuccess) onSuccess();
        },
        [name = channel->Name(), onFailure = std::move(onFailure)](const std::string& code,
                                                                   const std::string& message) {
            if (!onFailure) return;
            // The channel tells a refusal from a missing answer by the code.
            const bool unanswered = code == kKAVNotReady.code || code == kKAVTimeOut.code;
            onFailure(unanswered ? code : "1",
                      platform::stringf("%s - %s -  TOKEN校验失败：%s", name.c_str(), "CheckToken",
                                        message.c_str()));
        });
}

void BizReconnect::checkChannel(webSocket& channel, KAVDoneBlock onSuccess,
                                KAVFailureBlock onFailure) {
    auto biz = std::make_shared<BizReconnect>(channel.shared_from_this());
    biz->CheckTokenWithSID(channel.SID(), channel.UID(), channel.PWD(), channel.TOKEN(),
                           std::move(onSuccess), std::move(onFailure));
}
