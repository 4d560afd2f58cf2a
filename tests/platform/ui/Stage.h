#pragma once

#include <cairo.h>

#include <memory>
#include <vector>

#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"

namespace uitest {

// A key, visible, screen-sized window on the virtual clock. On the way out it
// closes any keyboard and lets the animations end, so no timer outlives the
// test.
struct Stage {
    kavtest::VirtualTime time;
    std::shared_ptr<platform::ui::UIWindow> window =
        std::make_shared<platform::ui::UIWindow>(platform::ui::UIScreen::mainScreen().bounds());
    Stage() { window->makeKeyAndVisible(); }
    ~Stage() {
        window->endEditing(true);
        time.advance(1);
    }
};

// An image surface's bytes as drawn (flushed first); the surface is let go of.
inline std::vector<unsigned char> takeBytes(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<unsigned char> bytes(
        data, data + cairo_image_surface_get_stride(surface) * cairo_image_surface_get_height(surface));
    cairo_surface_destroy(surface);
    return bytes;
}

}  // namespace uitest
