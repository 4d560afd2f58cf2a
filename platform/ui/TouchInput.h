#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <vector>

#include "platform/ui/Geometry.h"
#include "platform/ui/Touch.h"

namespace platform::ui {

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
    // A window going away (its destructor calls this): the fingers that
    // began on it stay down until they lift, but reach no window any more.
    static void windowGone(const UIWindow* window);
    // A shake motion to the key window's first responder chain.
    static void shake();
};

}  // namespace platform::ui
