#include "Core/Biz/IBiz.h"

IBiz::IBiz(const std::shared_ptr<webSocket>& ws, std::string requestCode, std::string responseCode)
    : ws_(ws), requestCode_(std::move(requestCode)), responseCode_(std::move(responseCode)) {}

KAVPackage IBiz::makePackage(const std::string& event) {
    KAVPackage package;
    package.setEvent(event);
    package.setEncrypt("1");
    return package;
}

void IBiz::send(KAVPackage& package, webSocket::SuccessBlock onSuccess, KAVFailureBlock onFailure) {
    const auto channel = ws();
    if (!channel) {
        kavFail(onFailure, kKAVNotInitialised);
        return;
    }
    channel->send(package, std::move(onSuccess), std::move(onFailure));
}

void IBiz::sendListQuery(const std::string& sid, const std::string& uid,
                         std::function<void(const platform::Json* children)> onChildren,
                         KAVFailureBlock onFailure) {
    KAVPackage package = makePackage(requestCode_);
    package.addValue(sid, "sid");
    package.addValue(uid, "uid");
    package.addValue("4", "action");
    send(
        package,
        [onChildren = std::move(onChildren)](const KAVPackage& reply) {
            if (onChildren) onChildren(reply.getValue("children"));
        },
        std::move(onFailure));
}
