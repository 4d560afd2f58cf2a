#pragma once

// An X server of the test's own (Xvfb) and what one of its windows shows,
// for the desktop window's tests on a real display. (Kept apart from the
// tests: Xlib's macros clash with GoogleTest's names.)

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Image.h"

namespace kavtest {

class XServer {
  public:
    // Starts Xvfb with a 24-bit screen of `screen` ("WxH") and the extra
    // arguments; null when it cannot be started.
    static std::unique_ptr<XServer> start(const std::string& screen,
                                          const std::vector<std::string>& arguments = {});
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N", for DISPLAY.
    const std::string& display() const { return display_; }
    // What the top-level window of that title shows now, its own pixels
    // read back from the server (opaque x-R-G-B); null when there is no such
    // window.
    platform::ui::UIImagePtr windowPixels(const std::string& title);
    // Resizes that window as another client (a window manager) would, and
    // returns when the server has told the window's owner.
    bool resizeWindow(const std::string& title, int width, int height);
    // Stops and resumes the server: what clients send meanwhile waits in
    // their connections, unread.
    void pause();
    void resume();
    // A round trip to the server on SDL's own connection, as SDL's calls
    // that wait for an answer make: what the server sent before the answer
    // is read with it and queued there.
    static void roundTripOnSDLsConnection();

  private:
    XServer(pid_t pid, std::string display, void* connection)
        : pid_(pid), display_(std::move(display)), connection_(connection) {}
    unsigned long findWindow(const std::string& title);
    pid_t pid_;
    std::string display_;
    void* connection_;
};

}  // namespace kavtest
