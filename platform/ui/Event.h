#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include "platform/ui/Touch.h"

namespace platform::ui {

enum class UIEventType { Touches = 0, Motion = 1, RemoteControl = 2 };
enum class UIEventSubtype { None = 0, MotionShake = 1 };

class UIEvent {
  public:
    UIEventType type = UIEventType::Touches;
    UIEventSubtype subtype = UIEventSubtype::None;
    double timestamp = 0;
    UITouchSet touches;

    const UITouchSet& allTouches() const { return touches; }
    UITouchSet touchesForView(const UIView* view) const;
};

}  // namespace platform::ui
