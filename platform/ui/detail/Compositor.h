#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

// What the next frame must do, collected as views and layers change. Shared
// by layers, views, windows and the screen renderer; not for use outside
// platform/ui.

#include <cstddef>
#include <vector>

#include "platform/ui/Geometry.h"

namespace platform::ui {
class CALayer;
}

namespace platform::ui::detail::compositor {

// Something changed below a layer: a frame is due.
void requestFrame();
// A view asked for layout: the next frame runs the layout pass first.
void requestLayout();
// An area of the screen (points) to draw again.
void addDamage(const CGRect& screenRect);

// Layers with running animations are drawn again every frame.
void setAnimating(CALayer* layer, bool animating);

struct PendingFrame {
    bool frame = false;
    bool layout = false;
    // Pixels per point of the frame being composited.
    double scale = 1;
    std::vector<CGRect> damage;
    std::vector<CALayer*> animating;
};
PendingFrame& pending();
// Layers drawn since the count was last set to 0 (frame figures).
size_t& layersDrawn();
// Views the layout pass looked at since the count was last set to 0 (tests).
size_t& layoutVisits();
// Recorded drawings whose ink was measured by replaying them, so far (tests).
size_t inksMeasured();
// Drawings recorded so far (tests).
size_t drawingsRecorded();
// Animations running now that will end: one repeated for ever (a spinner) is
// left out, so that the driver can wait for the screen to stand still.
size_t finiteAnimations();

}  // namespace platform::ui::detail::compositor
