#pragma once

#include <filesystem>
#include <memory>
#include <vector>

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

// The screen: runs the layout pass and draws the visible windows, only when
// something changed since the last frame.
class UIScreenRenderer {
  public:
    // Lays out every visible window (the layout pass).
    static void layoutWindows();
    // True when a frame must be drawn: something changed or an animation runs.
    static bool needsFrame();
    // Lays out and draws every visible window into the context (user space
    // in points, device pixels already scaled), black behind them.
    static void drawScreen(cairo_t* cr, CGSize screenSize);
    // Renders the whole screen, or one window, to an image at `scale`.
    static UIImagePtr renderScreen(CGFloat scale);
    static UIImagePtr renderWindow(UIWindow& window, CGFloat scale);
    // The screen's size in points for the current interface orientation.
    static CGSize screenSize();
};

// Raw input from the desktop window or the headless driver: fingers by id,
// positions in screen points.
class TouchInput {
  public:
    static void touchDown(int id, CGPoint screenPoint);
    static void touchMove(int id, CGPoint screenPoint);
    static void touchUp(int id, CGPoint screenPoint);
    static void touchCancel(int id);
    // Several fingers changing in one event (pinches).
    struct Change {
        int id;
        UITouchPhase phase;
        CGPoint point;
    };
    static void touches(const std::vector<Change>& changes);
    static size_t activeTouchCount();
    // A shake motion to the key window's first responder chain.
    static void shake();
};

}  // namespace platform::ui
