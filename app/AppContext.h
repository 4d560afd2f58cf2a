#pragma once

#include <memory>
#include <string>

#include "ui/toolkit/ScreenContext.h"

class DealerStore;

namespace platform::ui {
class UIViewController;
}

// What the screens may ask of the owner of the session, the application
// delegate: the login screen hands the root to the drawer and the session's
// pushes to the delegate, or ends the session.
class SessionHost {
  public:
    virtual ~SessionHost() = default;

    // Makes the controller the window's root on the next turn of the main
    // run loop (never inside the asking screen's own callback); the last one
    // asked for wins.
    virtual void replaceRootViewController(
        std::shared_ptr<platform::ui::UIViewController> controller) = 0;
    // The owner becomes / stops being the service object's delegate.
    virtual void startListeners() = 0;
    virtual void stopListeners() = 0;
    // Ends the session with an alert of the message and a fresh login screen.
    virtual void reLoginWith(const std::string& message) = 0;
};

// What the application's screens are handed: the session's service object
// and settings store, the local dealer store and the session's owner. The
// application delegate makes one for every login screen; the login screen
// passes it on to its dealer list and to the drawer, and the drawer to the
// screens it makes. The store and the owner are held weakly: the owner's
// window holds the screens.
struct AppContext : ScreenContext {
    std::weak_ptr<DealerStore> dealerStore;
    std::weak_ptr<SessionHost> session;
};
