#pragma once

// A connection to an X display for the desktop test: where a window lies and
// what the display shows there. (Kept apart from the test: Xlib's macros
// clash with GoogleTest's names.)

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Image.h"

namespace kavtest {

struct XWindowFrame {
    int x = 0, y = 0, width = 0, height = 0;
};

class XScreen {
  public:
    // Null when the display cannot be opened.
    static std::unique_ptr<XScreen> open(const std::string& display);
    ~XScreen();
    XScreen(const XScreen&) = delete;
    XScreen& operator=(const XScreen&) = delete;

    // The window's place on the screen and its size; nothing when there is
    // no such window.
    std::optional<XWindowFrame> frameOf(unsigned long window);
    // The pixels of a screen rectangle, as an image of the given scale.
    platform::ui::UIImagePtr capture(const XWindowFrame& area, double scale);

  private:
    explicit XScreen(void* display) : display_(display) {}
    void* display_;
};

}  // namespace kavtest
