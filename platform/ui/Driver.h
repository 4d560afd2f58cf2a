#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <filesystem>
#include <string>
#include <vector>

#include "platform/ui/Accessibility.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace platform::ui {

// Drives the UI without a display, for tests and scripted runs: finds views,
// sends touches and keys the way a finger and a keyboard would, moves time
// and renders windows to PNG. Points are screen points. With a virtual clock
// time moves only through advance(); with the system clock advance() runs the
// main run loop for that long.
class UIDriver {
  public:
    // Searches start at `root`, or at every visible window, front-most first.
    // The front-most view with the tag, as a T (null when it is another kind).
    template <typename T = UIView>
    static T* viewWithTag(long tag, UIView* root = nullptr) {
        return dynamic_cast<T*>(findViewWithTag(tag, root));
    }
    // A text a person reads on a view, and where it shows (view bounds).
    struct ShownText {
        std::string text;
        CGRect rect;
    };
    // The texts a view shows: its debugText over its bounds, or for a
    // segmented control each segment's title over its segment.
    static std::vector<ShownText> shownTexts(const UIView* view);
    // Views whose shown text (debugText) equals the text, visible ones only.
    static std::vector<UIView*> viewsWithText(const std::string& text, UIView* root = nullptr);
    static UIView* viewWithText(const std::string& text, UIView* root = nullptr);
    // By class name without namespace ("UILabel", "QuotationCell").
    static std::vector<UIView*> viewsOfClass(const std::string& className, UIView* root = nullptr);
    template <typename T>
    static std::vector<T*> viewsOfType(UIView* root = nullptr) {
        std::vector<T*> out;
        forEachView(root, [&](UIView* v) {
            if (auto* t = dynamic_cast<T*>(v)) out.push_back(t);
        });
        return out;
    }
    // Visits every view (depth first, back to front), visible or not.
    static void forEachView(UIView* root, const std::function<void(UIView*)>& visit);
    // True when the view and its ancestors are shown (not hidden, alpha >= 0.01)
    // and its window is visible.
    static bool isVisible(const UIView* view);

    // Screen position of the centre of a view, or of a point in its bounds.
    static CGPoint screenCenterOf(const UIView* view);
    static CGPoint screenPointOf(const UIView* view, CGPoint local);
    // The view a finger put down at the screen point would touch (the
    // front-most window whose hit test finds one); null when none would.
    static UIView* viewTouchedAt(CGPoint screenPoint);
    // Why a finger put down at the screen point would not reach `view`:
    // "off screen at (x, y)", or "covered by Class tag=N at (x, y)" when a
    // view that is neither the view, inside it nor around it takes the touch,
    // or "clipped by Class tag=N at (x, y)" when a view around it takes the
    // touch where a view between them that clips (a scrolled list) cuts the
    // view off.
    // Empty when it would (or, with no view given, when the point is on the
    // screen).
    static std::string whyNotReached(CGPoint screenPoint, const UIView* view = nullptr);

    // True when the application stands still: no finite animation runs (an
    // endless one, such as a spinner, does not count).
    static bool isSettled();
    // True while a visible activity indicator turns: a screen still loading,
    // whose taps may be ignored until it has its answer.
    static bool isLoading();
    // A tap (down and up at once) at the view's centre or at a point; runs
    // what the tap queued on the main run loop.
    static void tap(const UIView* view);
    static void tapAt(CGPoint screenPoint);
    // A finger moved from one point to another in `steps` moves spread over
    // `duration` seconds, then lifted.
    static void drag(CGPoint from, CGPoint to, double duration = 0.3, int steps = 10);
    // Two fingers around `center`, their distance going from `from` to `to`.
    static void pinch(CGPoint center, double from, double to, double duration = 0.3,
                      int steps = 10);
    // A finger held still for `duration` seconds, then lifted.
    static void longPress(CGPoint screenPoint, double duration = 1.0);
    // Keys into the first responder (each code point through insertText;
    // "\b" deletes backward, "\n" is the return key).
    static void typeText(const std::string& text);
    static void shake();
    // Turns the device (and, through the application, the interface).
    static void rotate(UIDeviceOrientation orientation);
    static void advance(double seconds);
    // Runs what is ready on the main run loop without moving time.
    static void drain();

    // What the screens posted to the accessibility layer, oldest first, and
    // the texts they announced.
    static std::vector<accessibility::PostedNotification> accessibilityNotifications();
    static std::vector<std::string> announcements();
    static void clearAccessibilityNotifications();

    // One line per view, indented by depth:
    //   Class tag=N frame={{x, y}, {w, h}} text="..." segments=["A", "B"]
    //   selected=I on|off disabled hidden
    // tag only when set, text only when the view shows one, segments and
    // selected (-1 for none) for a segmented control, on or off for a switch,
    // disabled for a control that takes no touches, hidden for a hidden view.
    // A text is quoted as a script writes it (\" and \\), its line breaks
    // as \n and \r.
    static std::string dumpViewTree(UIView* root = nullptr);
    // Renders the screen (all visible windows) or one window to a PNG file.
    static bool renderPNG(const std::filesystem::path& path, CGFloat scale = 1,
                          UIWindow* window = nullptr);
    static UIImagePtr renderImage(CGFloat scale = 1, UIWindow* window = nullptr);

  private:
    static UIView* findViewWithTag(long tag, UIView* root);
};

}  // namespace platform::ui
