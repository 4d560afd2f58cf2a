#pragma once

// The application delegate of screen tests: it holds a session (trading
// service object and settings store) as the application delegate will, and
// is the shared application's delegate for the lifetime of the object.

#include <memory>

#include "platform/ui/Application.h"
#include "ui/toolkit/AppDelegateServices.h"

namespace kavtest {

class FakeAppDelegate : public platform::ui::UIApplicationDelegate, public AppDelegateServices {
  public:
    std::shared_ptr<KAVBizSDK> bizSDK() const override { return sdk; }
    std::shared_ptr<sysDB> sysdb() const override { return store; }

    std::shared_ptr<KAVBizSDK> sdk;
    std::shared_ptr<sysDB> store;
};

// Installs a FakeAppDelegate (or the given one) on the shared application and
// takes it off again at the end of the scope.
class ScopedAppDelegate {
  public:
    explicit ScopedAppDelegate(std::shared_ptr<FakeAppDelegate> d = nullptr)
        : delegate(d ? std::move(d) : std::make_shared<FakeAppDelegate>()) {
        platform::ui::UIApplication::sharedApplication().setDelegate(delegate);
    }
    ~ScopedAppDelegate() { platform::ui::UIApplication::sharedApplication().setDelegate(nullptr); }
    ScopedAppDelegate(const ScopedAppDelegate&) = delete;
    ScopedAppDelegate& operator=(const ScopedAppDelegate&) = delete;

    std::shared_ptr<FakeAppDelegate> delegate;
};

}  // namespace kavtest
