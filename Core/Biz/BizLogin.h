#pragma once

// The login requests: the login to the login service (event "1003"), whose
// reply names the session and the other services, and the proxy login to
// each of those services (event "1005"), whose reply carries the service's
// token.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Core/Biz/IBiz.h"
#include "Core/Model/MODLoginInfo.h"

class BizLogin : public IBiz {
  public:
    using LoginBlock = std::function<void(const MODLoginInfo& info)>;

    explicit BizLogin(const std::shared_ptr<webSocket>& ws);

    // Login request; the success block gets the session id and the service
    // addresses of the reply.
    void loginWithUID(const std::string& uid, const std::string& pwd, const std::string& vcode,
                      LoginBlock onSuccess, KAVFailureBlock onFailure);
    // Proxy login to the channel's service. The channel first keeps the
    // session id, user id and password, which its token check sends after a
    // reopen. The success block gets the reply's token.
    void loginWithSID(const std::string& sid, const std::string& uid, const std::string& pwd,
                      const std::string& vcode, LoginBlock onSuccess, KAVFailureBlock onFailure);

    // Password change (event "1009") of the login password (type 1) or the
    // fund password (type 2) of the user, from `oldPassword` to `password`.
    // Success: retCode "0"; failures pass on unchanged.
    void updatePasswordWithSID(const std::string& sid, const std::string& userId,
                               int32_t passwordType, const std::string& password,
                               const std::string& oldPassword, KAVDoneBlock onSuccess,
                               KAVFailureBlock onFailure);

    // The login information in a reply's data.
    static MODLoginInfo loginInfoFrom(const platform::Json& data);

  private:
    void sendLogin(KAVPackage& package, LoginBlock onSuccess, KAVFailureBlock onFailure);
};
