#pragma once

#include "platform/ui/Image.h"
#include "platform/ui/Window.h"

typedef struct _cairo cairo_t;

namespace platform::ui {

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

}  // namespace platform::ui
