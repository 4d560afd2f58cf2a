#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <memory>

union SDL_Event;

#include "platform/ui/Display.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"
#include "platform/ui/ScreenRenderer.h"

namespace platform::ui {

// The desktop window: shows the screen (every visible window) in an SDL2
// window and turns the mouse and keyboard into touches and keys:
//   left button down/drag/up   one finger (a held button is a long press)
//   ctrl + wheel               two-finger pinch around the pointer
//   typed text, Backspace      text into the first responder (a number pad
//                              field takes only what its pad could type;
//                              no key reaches a field behind an alert)
//   Return                     the phone keyboard's return key
//   Tab / Shift+Tab            the next / previous field
//   Escape                     ends editing
//   F1                         shake
//   F2                         turn between portrait and landscape
// The screen is laid out in points as on the phone and drawn at the window's
// own pixel size: it opens at the largest scale at which it fits the display
// (2 pixels a point, else 1, else less), may be resized (the screen keeps its
// shape, centred), and refits when the screen turns. It takes over the main
// run loop's idle wait, so the application runs in real time and sleeps (no
// CPU) while nothing changes. It keeps the last frame and composites only the
// areas that changed (UIScreenRenderer), and puts only those pixels on the
// display (on a local X server straight from an image shared with it, in one
// write a frame and without waiting for the server); frames come at most at the display's pace, and
// follow one another only while something changes or an animation runs on
// screen. The desktop's screen saver may blank and lock the display while
// the application's idle-timer switch is off, as the phone's screen dims.
//
// Linked into a program, it registers itself as the UI layer's display back
// end (UIDisplayOpen); nothing else needs to name it.
class DesktopWindow : public UIDisplay {
  public:
    // True when a display is there ($DISPLAY or $WAYLAND_DISPLAY set and the
    // video system starts). Without one the application stays headless.
    static bool displayAvailable();

    // `scale` pixels a point; 0 or less picks the largest that fits.
    explicit DesktopWindow(CGFloat scale = 0);
    ~DesktopWindow() override;
    DesktopWindow(const DesktopWindow&) = delete;
    DesktopWindow& operator=(const DesktopWindow&) = delete;

    bool isOpen() const;
    // Runs the main run loop until the window is closed (or RunLoop::stop).
    void run() override;
    // Frames drawn so far (for the idle check).
    unsigned long framesDrawn() const override;
    // Times the idle wait has returned (input, a timer, a wake-up or the
    // next frame of an animation).
    unsigned long wakeUps() const;
    // Times the idle wait has read what the display sent.
    unsigned long displayReads() const;
    // Writes of frames to the display through the shared image (one a
    // frame), and reads of the display's word that it is done with them.
    unsigned long sharedImageWrites() const;
    unsigned long sharedImageReads() const;

    // The scale at which a screen of `points` fits `room` (pixels): 2 where
    // it fits, else 1, else the fraction that fits.
    static CGFloat fittingScale(CGSize points, CGSize room);
    // Pixels a point now, and where the screen lies in the window (pixels).
    CGFloat scale() const;
    CGRect shownArea() const;
    // As a user resizing the window would.
    void setWindowSize(int width, int height);
    // Handles one event as if it had come from the queue (tests).
    void handleEvent(const SDL_Event& event);
    // How long the idle wait sleeps at most when the run loop allows
    // `maxSeconds` (negative: no limit).
    double waitLimit(double maxSeconds) const;

    // What the run loop's idle wait does first: composites and shows what
    // changed. False when nothing had changed (and nothing was done).
    bool drawFrameIfNeeded();
    // The last frame's figures, and the pixels it put on the display.
    const UIScreenRenderer::Frame& lastFrame() const;
    long pixelsShownLastFrame() const;
    // True when frames reach an X display through an image shared with the
    // server (a local X server with shared memory); false where they go
    // through SDL's window surface.
    bool showsThroughSharedImage() const;
    // A copy of what the window shows: the phone screen, or the whole window
    // with the margins around it.
    UIImagePtr shownImage(bool wholeWindow = false) const;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform::ui
