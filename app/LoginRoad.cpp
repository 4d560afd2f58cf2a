#include "app/LoginRoad.h"

#include "Core/SDK/KAVBizSDK.h"
#include "Core/httpQuery.h"
#include "app/MainDrawerViewController.h"
#include "app/RegisterService.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVProgressHUD.h"

namespace {

void showAlert(const std::string& message) {
    KAVAlertView::showAlertWithTitle("提示", message, std::string("确定"), nullptr);
}

}  // namespace

LoginRoad::LoginRoad(AppContext context) : context_(std::move(context)) {}

// ---- login -----------------------------------------------------------------

void LoginRoad::login(const Credentials& credentials) {
    if (!context_.bizSDK) return;
    KAVProgressHUD::showWithStatus(kMsgLoggingIn, KAVProgressHUDMaskTypeBlack);
    const uint64_t attempt = ++loginCount_;
    activeLogin_ = attempt;
    auto weak = weak_from_this();
    auto session = context_.session;
    context_.bizSDK->loginWithUserId(
        credentials.account, credentials.password, "", {credentials.host},
        [weak, attempt, account = credentials.account, dealerKey = credentials.dealerKey] {
            auto self = weak.lock();
            if (!self || self->activeLogin_ != attempt) return;
            // Succeeded: no longer under way. The form stays the service
            // object's delegate while the overlay goes, and a channel's
            // report then must not end the session just opened as a login
            // that failed.
            self->activeLogin_ = 0;
            KAVProgressHUD::dismissWithComplete([weak, account, dealerKey] {
                if (auto self = weak.lock()) self->onLoggedIn(account, dealerKey);
            });
        },
        [weak, attempt, session](const std::string& code, const std::string& message) {
            auto self = weak.lock();
            // Ended here already (the channel did not open): nothing more.
            if (!self || self->activeLogin_ != attempt) return;
            // No code and no message: a channel did not open in time. It
            // ends as the channel's own report of it does, whichever of the
            // two comes first, and the other then finds the login over.
            if (code.empty() && message.empty()) return self->failWith(kMsgConnectFailed);
            self->activeLogin_ = 0;
            KAVProgressHUD::dismissWithComplete([session, message] {
                if (auto owner = session.lock()) owner->reLoginWith(kMsgLoginFailed + message);
            });
        });
}

void LoginRoad::onLoggedIn(const std::string& account, const std::string& dealerKey) {
    auto owner = context_.session.lock();
    if (!owner) return;
    if (const auto& store = context_.sysdb) {
        store->setValue(account, settingTag::trUid);
        store->setIsOnline(true);
        store->setValue(dealerKey, settingTag::dealerKey);
    }
    owner->replaceRootViewController(std::make_shared<MainDrawerViewController>(context_));
    owner->startListeners();
}

void LoginRoad::failWith(const std::string& message) {
    activeLogin_ = 0;
    if (context_.bizSDK) context_.bizSDK->stopConnect();
    KAVProgressHUD::dismissWithComplete([message] { showAlert(message); });
}

// ---- password reset --------------------------------------------------------

void LoginRoad::resetPassword(const std::string& account) {
    KAVProgressHUD::showWithStatus(kMsgResetting, KAVProgressHUDMaskTypeBlack);
    httpQuery::asynGetWithUrl(
        registerservice::resetURL(account),
        [](const std::string& body) {
            registerservice::Reply reply;
            const bool readable = registerservice::parseReply(body, reply);
            KAVProgressHUD::dismissWithComplete([readable, reply] {
                if (!readable) return showAlert(kMsgResetUnreadable);
                if (reply.retCode != 0) return showAlert(reply.message);
                showAlert(kMsgResetSent);
            });
        },
        [](const std::string&, const std::string&) {
            KAVProgressHUD::dismissWithComplete([] { showAlert(kMsgTransportFailed); });
        });
}
