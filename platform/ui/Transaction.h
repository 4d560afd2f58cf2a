#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <functional>

#include "platform/ui/Animation.h"

namespace platform::ui {

// Groups of layer changes. begin()/commit() nest. Inside a transaction with
// actions disabled, property changes of free-standing layers take effect at
// once instead of animating; the completion block runs once every animation
// added during the transaction has stopped (or at once, later on the run
// loop, when there was none).
class CATransaction {
  public:
    static void begin();
    static void commit();
    static void setDisableActions(bool disable);
    static bool disableActions();
    static void setAnimationDuration(double seconds);
    static double animationDuration();
    static void setAnimationTimingFunction(const CAMediaTimingFunction& f);
    static void setCompletionBlock(std::function<void()> block);
};

}  // namespace platform::ui
