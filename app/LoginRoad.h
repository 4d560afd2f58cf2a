#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "app/AppContext.h"

// What the login form sends once it is filled in: the login, from the
// overlay to a session (the drawer as the window's root) or to the end of
// the attempt, and the request for a password-reset link. The login screen
// keeps the form and owns one of these; blocks that come back after the
// screen (and so this) has gone do nothing. Main thread only.
class LoginRoad : public std::enable_shared_from_this<LoginRoad> {
  public:
    static constexpr const char* kMsgLoggingIn = "正在登录";
    static constexpr const char* kMsgLoginFailed = "登录失败，原因：";
    static constexpr const char* kMsgConnectFailed = "网络连接失败, 请稍后再试";
    static constexpr const char* kMsgResetting = "正在处理......";
    static constexpr const char* kMsgResetUnreadable = "操作失败，请拨打服务热线联系我们";
    static constexpr const char* kMsgResetSent =
        "重置账号密码的链接已经发到登记的邮箱里，请尽快查收并重置密码";
    static constexpr const char* kMsgTransportFailed = "操作异常，请拨打服务热线联系我们";

    // The session the login opens, the store that keeps the account, and the
    // owner that takes the root and the service object's pushes over.
    explicit LoginRoad(AppContext context);

    struct Credentials {
        std::string account;
        std::string password;
        std::string host;  // the dealer's address of the chosen system
        std::string dealerKey;
    };
    // Logs in under the overlay "正在登录". On success, once the overlay is
    // gone, the settings keep the account and the dealer key and mark the
    // session online, the drawer becomes the window's root and the owner the
    // service object's delegate. A refusal ends the session (the owner's
    // alert "登录失败，原因：<message>" and a fresh login screen); a channel
    // that did not open in time ends only the attempt (failWith).
    void login(const Credentials& credentials);
    // A login is under way: it has neither succeeded nor ended.
    bool isLoggingIn() const { return activeLogin_ != 0; }
    // Ends the login under way, staying on the login screen: the service
    // object stops connecting, the overlay goes, then an alert of the message.
    void failWith(const std::string& message);

    // Asks the registration server for a reset link for the account under
    // the overlay "正在处理......"; what it answers comes as an alert.
    void resetPassword(const std::string& account);

  private:
    void onLoggedIn(const std::string& account, const std::string& dealerKey);

    AppContext context_;
    // The login under way; 0 once it has succeeded or ended here (a channel
    // that did not open), so its late blocks do nothing.
    uint64_t activeLogin_ = 0;
    uint64_t loginCount_ = 0;
};
