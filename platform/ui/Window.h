#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <filesystem>
#include <memory>
#include <vector>

#include "platform/ui/Responder.h"
#include "platform/ui/View.h"

typedef struct _cairo cairo_t;

namespace platform::ui {

class UIViewController;

using UIWindowLevel = CGFloat;
inline constexpr UIWindowLevel UIWindowLevelNormal = 0;
inline constexpr UIWindowLevel UIWindowLevelStatusBar = 1000;
inline constexpr UIWindowLevel UIWindowLevelAlert = 2000;

class UIWindow;
using UIWindowPtr = std::shared_ptr<UIWindow>;

// A top-level view on the screen. Windows are hidden until made visible; the
// screen shows the visible windows by level (then by the order they were
// made visible), and touches go to the front-most window whose hit test finds
// a view. One window is the key window: it gets keyboard and motion events.
class UIWindow : public UIView {
  public:
    explicit UIWindow(const CGRect& frame = CGRectZero);
    ~UIWindow() override;

    UIWindowLevel windowLevel() const { return level_; }
    void setWindowLevel(UIWindowLevel level);

    void makeKeyAndVisible();
    void makeKeyWindow();
    bool isKeyWindow() const;
    virtual void becomeKeyWindow() {}
    virtual void resignKeyWindow() {}

    // The controller whose view fills the window. Replacing it releases the
    // old controller tree once the current event has been handled (never
    // inside a callback of the old tree).
    std::shared_ptr<UIViewController> rootViewController() const { return rootViewController_; }
    void setRootViewController(std::shared_ptr<UIViewController> controller);

    // Delivers a touch or motion event (the application calls this).
    virtual void sendEvent(UIEvent& event);

    // The application (set by UIApplication), then its delegate.
    UIResponder* nextResponder() const override;
    static void setApplicationResponder(UIResponder* application);

    // The visible windows, back to front.
    static std::vector<UIWindow*> visibleWindows();
    // Every window that exists, in creation order.
    static std::vector<UIWindow*> allWindows();
    static UIWindow* keyWindow();

  private:
    friend class UIScreenRenderer;
    // The root screen appears when the window is first shown.
    void rootAppeared();
    UIWindowLevel level_ = UIWindowLevelNormal;
    uint64_t order_ = 0;
    std::shared_ptr<UIViewController> rootViewController_;
};

}  // namespace platform::ui
