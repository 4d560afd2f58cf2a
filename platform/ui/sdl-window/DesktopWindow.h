#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <memory>

#include "platform/ui/Display.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"
#include "platform/ui/ScreenRenderer.h"

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
// real time and sleeps (no CPU) while nothing changes. It keeps the last
// frame and composites only the areas that changed (UIScreenRenderer), and
// uploads only those pixels; frames follow one another only while an
// animation runs.
//
// Linked into a program, it registers itself as the UI layer's display back
// end (UIDisplayOpen); nothing else needs to name it.
class DesktopWindow : public UIDisplay {
  public:
    // True when a display is there ($DISPLAY or $WAYLAND_DISPLAY set and the
    // video system starts). Without one the application stays headless.
    static bool displayAvailable();

    explicit DesktopWindow(CGFloat scale = 2);
    ~DesktopWindow() override;
    DesktopWindow(const DesktopWindow&) = delete;
    DesktopWindow& operator=(const DesktopWindow&) = delete;

    bool isOpen() const;
    // Runs the main run loop until the window is closed (or RunLoop::stop).
    void run() override;
    // Frames drawn so far (for the idle check).
    unsigned long framesDrawn() const override;

    // What the run loop's idle wait does first: composites and shows what
    // changed. False when nothing had changed (and nothing was done).
    bool drawFrameIfNeeded();
    // The last frame's figures, and a copy of what the window shows.
    const UIScreenRenderer::Frame& lastFrame() const;
    UIImagePtr shownImage() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform::ui
