#pragma once

#include <memory>

class KAVBizSDK;
class sysDB;

// What the application delegate holds for the screens of a session: the
// trading service object and the settings store. The application delegate
// implements it; the base screen and cell classes reach it through the
// shared application's delegate, so they need not know the delegate's class.
class AppDelegateServices {
  public:
    virtual ~AppDelegateServices() = default;

    // The session's trading service object; null between a forced re-login
    // and the next login screen.
    virtual std::shared_ptr<KAVBizSDK> bizSDK() const = 0;
    // The application's settings store.
    virtual std::shared_ptr<sysDB> sysdb() const = 0;

    // The shared application's delegate when it offers these services, else
    // null (no delegate yet, or one of another kind).
    static std::shared_ptr<AppDelegateServices> shared();
};
