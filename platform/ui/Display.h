#pragma once

// A screen the user sees and touches. The UI layer draws into no window of
// its own: a display back end (platform/ui/sdl-window) shows the visible
// windows on the desktop and turns the mouse and keys into touches. A back
// end registers itself when it is linked into the program; a program without
// one runs headless (tests, scripted runs, the probes).
//
// Main thread only.

#include <functional>
#include <memory>

#include "platform/ui/Geometry.h"

namespace platform::ui {

class UIDisplay {
  public:
    virtual ~UIDisplay() = default;
    // Runs the main run loop until the display is closed or the loop is
    // stopped, drawing what changed.
    virtual void run() = 0;
    // Frames drawn so far.
    virtual unsigned long framesDrawn() const = 0;
};

// Opens a display at `scale` pixels per point (0 or less: the largest that
// fits the desktop); null when it cannot (no desktop to show it on).
using UIDisplayFactory = std::function<std::unique_ptr<UIDisplay>(CGFloat scale)>;

// Called by a back end as it is linked in; an empty factory takes it away
// (tests).
void UIDisplayRegisterBackend(UIDisplayFactory factory);
bool UIDisplayBackendAvailable();
// The display of the linked back end; null when no back end is linked or it
// cannot open one.
std::unique_ptr<UIDisplay> UIDisplayOpen(CGFloat scale);

}  // namespace platform::ui
