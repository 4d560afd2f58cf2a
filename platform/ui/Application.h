#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/NotificationCenter.h"
#include "platform/ui/Responder.h"
#include "platform/ui/Screen.h"
#include "platform/ui/View.h"

namespace platform::ui {

class UIApplication;
class UIWindow;

// The application's delegate: launch, termination, background and
// foreground. It is the last responder of the chain, so motion (shake)
// events that no screen takes arrive here (motionBegan / motionEnded).
class UIApplicationDelegate : public UIResponder {
  public:
    std::shared_ptr<UIWindow> window;

    virtual bool applicationDidFinishLaunchingWithOptions(
        UIApplication& application, const std::map<std::string, std::string>& options) {
        (void)application, (void)options;
        return true;
    }
    virtual void applicationWillResignActive(UIApplication&) {}
    virtual void applicationDidEnterBackground(UIApplication&) {}
    virtual void applicationWillEnterForeground(UIApplication&) {}
    virtual void applicationDidBecomeActive(UIApplication&) {}
    virtual void applicationWillTerminate(UIApplication&) {}
};

enum class UIApplicationState { Active = 0, Inactive = 1, Background = 2 };

inline constexpr double kStatusBarHeight = 20;
// Posted after the interface has turned (object: none).
inline constexpr const char* UIApplicationDidChangeStatusBarOrientationNotification =
    "UIApplicationDidChangeStatusBarOrientationNotification";
inline constexpr double kRotationDuration = 0.3;

// The one application object: its delegate, its windows, the key window, the
// status bar and interface orientation, the idle-timer switch and the URLs it
// was asked to open (recorded; a display back end may also hand them to the
// desktop, see setURLOpener).
class UIApplication : public UIResponder {
  public:
    static UIApplication& sharedApplication();

    std::shared_ptr<UIApplicationDelegate> delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<UIApplicationDelegate> delegate);

    // Every window, in z-order (back to front).
    std::vector<UIWindow*> windows() const;
    UIWindow* keyWindow() const;

    bool isIdleTimerDisabled() const { return idleTimerDisabled_; }
    void setIdleTimerDisabled(bool disabled) { idleTimerDisabled_ = disabled; }

    bool canOpenURL(const std::string& url) const { return !url.empty(); }
    bool openURL(const std::string& url);
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }
    // What openURL hands each address to besides recording it: the desktop
    // window's opener; none headless.
    void setURLOpener(std::function<void(const std::string&)> opener) {
        urlOpener_ = std::move(opener);
    }

    UIInterfaceOrientation statusBarOrientation() const { return orientation_; }
    // The 20-point status bar along the top of the current orientation.
    CGRect statusBarFrame() const;
    bool isStatusBarHidden() const { return statusBarHidden_; }
    void setStatusBarHidden(bool hidden) { statusBarHidden_ = hidden; }
    UIApplicationState applicationState() const { return state_; }

    // Turns the interface to the device orientation when the screen on top
    // allows it, or back to portrait when the screen on top does not support
    // the current orientation.
    void attemptRotationToDeviceOrientation();

    // Lifecycle, for the application's main and for scripted runs.
    void launch(std::shared_ptr<UIApplicationDelegate> delegate,
                const std::map<std::string, std::string>& options = {});
    void enterBackground();
    void enterForeground();
    void terminate();

    UIResponder* nextResponder() const override;

    // Tests: back to a fresh application (no delegate, portrait, records cleared).
    void resetForTesting();

  private:
    UIApplication();
    void rotateTo(UIInterfaceOrientation o);

    std::shared_ptr<UIApplicationDelegate> delegate_;
    bool idleTimerDisabled_ = false;
    bool statusBarHidden_ = false;
    std::vector<std::string> openedURLs_;
    std::function<void(const std::string&)> urlOpener_;
    UIInterfaceOrientation orientation_ = UIInterfaceOrientation::Portrait;
    UIApplicationState state_ = UIApplicationState::Active;
    ObserverToken orientationObserver_;
};

// The application's main: makes the delegate, launches it and runs the main
// run loop until RunLoop::main().stop(); then tells the delegate it will
// terminate. "--window" (or KAV_WINDOW=1) shows the screens in the desktop
// window when the program links the display back end and a desktop exists;
// otherwise the application runs headless.
int UIApplicationMain(int argc, char** argv,
                      const std::function<std::shared_ptr<UIApplicationDelegate>()>& makeDelegate);

}  // namespace platform::ui
