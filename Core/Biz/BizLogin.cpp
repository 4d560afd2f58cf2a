#include "Core/Biz/BizLogin.h"

#include "Core/Biz/ReplyValues.h"
#include "platform/Strings.h"

using platform::Json;

BizLogin::BizLogin(const std::shared_ptr<webSocket>& ws) : IBiz(ws) {}

void BizLogin::loginWithUID(const std::string& uid, const std::string& pwd,
                            const std::string& vcode, LoginBlock onSuccess,
                            KAVFailureBlock onFailure) {
    KAVPackage package = makePackage("1003");
    package.addValue(uid, "uid");
    package.addValue(pwd, "pwd");
    package.addValue(vcode, "vcode");
    package.addValue("1", "userType");
    sendLogin(package, std::move(onSuccess), std::move(onFailure));
}

void BizLogin::loginWithSID(const std::string& sid, const std::string& uid, const std::string& pwd,
                            const std::string& vcode, LoginBlock onSuccess,
                            KAVFailureBlock onFailure) {
    if (const auto channel = ws()) {
        channel->setSID(sid);
        channel->setUID(uid);
        channel->setPWD(pwd);
    }
    KAVPackage package = makePackage("1005");
    package.addValue(sid, "sid");
    package.addValue(uid, "uid");
    package.addValue(uid, "userId");
    package.addValue(pwd, "pwd");
    package.addValue(vcode, "vcode");
    package.addValue("1", "userType");
    sendLogin(package, std::move(onSuccess), std::move(onFailure));
}

void BizLogin::updatePasswordWithSID(const std::string& sid, const std::string& userId,
                                     int32_t passwordType, const std::string& password,
                                     const std::string& oldPassword, KAVDoneBlock onSuccess,
                                     KAVFailureBlock onFailure) {
    KAVPackage package = makePackage("1009");
    package.addValue(sid, "sid");
    package.addValue(userId, "uid");
    package.addValue("1", "action");
    Json change = Json::object();
    change["pwdType"] = platform::stringf("%ld", static_cast<long>(passwordType));
    change["newPWD"] = password;
    change["oldPWD"] = oldPassword;
    change["userId"] = userId;
    package.addValue(Json::array({std::move(change)}), "children");
    send(
        package,
        [onSuccess = std::move(onSuccess)](const KAVPackage&) {
            if (onSuccess) onSuccess();
        },
        std::move(onFailure));
}

void BizLogin::sendLogin(KAVPackage& package, LoginBlock onSuccess, KAVFailureBlock onFailure) {
    send(
        package,
        [onSuccess = std::move(onSuccess)](const KAVPackage& reply) {
            if (onSuccess) onSuccess(loginInfoFrom(reply.kavData()));
        },
        std::move(onFailure));
}

MODLoginInfo BizLogin::loginInfoFrom(const Json& data) {
    using reply::textValue;
    MODLoginInfo info;
    info.hisQuoted = textValue(data, "hisQuoted");
    info.tradeproxy = textValue(data, "tradeproxy");
    info.quotedproxy = textValue(data, "quotedproxy");
    info.quotedproxycmp = textValue(data, "new_quotedproxy");
    info.messageProxy = textValue(data, "messageProxy");
    info.sid = textValue(data, "sid");
    info.token = textValue(data, "token");
    return info;
}
