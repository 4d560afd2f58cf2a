#pragma once

#include <memory>

#include "platform/ui/Geometry.h"

namespace platform::ui {

// The desktop window: shows the screen (every visible window) at `scale`
// pixels per point in a phone-sized SDL2 window and turns the mouse and
// keyboard into touches and keys:
//   left button down/drag/up   one finger (a held button is a long press)
//   ctrl + wheel               two-finger pinch around the pointer
//   typed text, Backspace, Return   text into the first responder
//   F1                         shake
//   F2                         turn between portrait and landscape
// It takes over the main run loop's idle wait, so the application runs in
// real time and sleeps (no CPU) while nothing changes; frames are drawn only
// after a change, and continuously only while an animation runs.
class DesktopWindow {
  public:
    // True when a display is there ($DISPLAY or $WAYLAND_DISPLAY set and the
    // video system starts). Without one the application stays headless.
    static bool displayAvailable();

    explicit DesktopWindow(CGFloat scale = 2);
    ~DesktopWindow();
    DesktopWindow(const DesktopWindow&) = delete;
    DesktopWindow& operator=(const DesktopWindow&) = delete;

    bool isOpen() const;
    // Runs the main run loop until the window is closed (or RunLoop::stop).
    void run();
    // Frames drawn so far (for the idle check).
    unsigned long framesDrawn() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform::ui
