#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

// Shared arithmetic of the gesture recognisers. Not for use outside platform/ui.

#include <cmath>

#include "platform/ui/Touch.h"
#include "platform/ui/View.h"

namespace platform::ui::detail {

inline bool isDown(const UITouchPtr& t) {
    return t->phase != UITouchPhase::Ended && t->phase != UITouchPhase::Cancelled;
}

// The centre of the touches that are down (of all, once none is).
inline CGPoint centroid(const UITouchSet& touches, CGPoint fallback) {
    double x = 0, y = 0;
    size_t n = 0;
    for (auto& t : touches) {
        if (!isDown(t) && touches.size() > 1) continue;
        x += t->location_.x;
        y += t->location_.y;
        ++n;
    }
    if (n == 0) {
        for (auto& t : touches)
            x += t->location_.x, y += t->location_.y, ++n;
    }
    return n ? CGPoint{x / n, y / n} : fallback;
}

// A window-space vector expressed in a view's coordinates.
inline CGPoint vectorInView(CGPoint v, const UIView* view) {
    if (!view) return v;
    CGPoint a = view->convertPointFromView({0, 0}, nullptr);
    CGPoint b = view->convertPointFromView(v, nullptr);
    return {b.x - a.x, b.y - a.y};
}

}  // namespace platform::ui::detail
