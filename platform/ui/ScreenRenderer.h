#pragma once

// Main thread only.

#include <vector>

#include "platform/ui/Image.h"
#include "platform/ui/Window.h"

typedef struct _cairo cairo_t;

namespace platform::ui {

// The screen: runs the layout pass and draws the visible windows.
//
// A display keeps the last frame and composites only what changed since:
// views and layers report what they alter (their area before and after the
// change), and composite() draws those areas alone. A frame in which nothing
// changed and nothing animates does no work at all. The headless driver
// instead renders the whole screen whenever it is asked to.
class UIScreenRenderer {
  public:
    // Lays out the visible windows where a view asked for it (the layout pass).
    static void layoutWindows();
    // True when a frame is due: something changed or an animation runs on
    // screen.
    static bool needsFrame();
    // True while an animation runs in a visible window (one that is not in a
    // window, or under a hidden layer, asks for no frames).
    static bool animatesOnScreen();

    struct Frame {
        // The areas drawn (screen points, on the pixel grid of the scale);
        // empty when nothing on the screen changed.
        std::vector<CGRect> damage;
        // Layers drawn into them (one met by two areas counts twice).
        size_t layersDrawn = 0;
    };
    // Composites the next frame into a context that holds the last one (user
    // space in points, device pixels already scaled by `scale`): lays out,
    // then draws the changed areas, black behind the windows.
    static Frame composite(cairo_t* cr, CGSize screenSize, CGFloat scale);
    // The next frame draws the whole screen (a new or resized surface).
    static void setNeedsDisplayScreen();

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
