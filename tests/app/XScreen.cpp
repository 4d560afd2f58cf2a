#include "tests/app/XScreen.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <cstdint>

namespace kavtest {

namespace {
::Display* asDisplay(void* d) {
    return static_cast<::Display*>(d);
}
// The component of a pixel under a mask, scaled to 0..255.
uint32_t component(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    const unsigned long max = mask >> shift;
    return static_cast<uint32_t>(((pixel & mask) >> shift) * 255 / max);
}
// A window found by a search may be gone by the time it is asked about (a
// program's short-lived first window); Xlib's default handler would end the
// test process, where the failed request's own result already says so.
int ignoreError(::Display*, XErrorEvent*) {
    return 0;
}
}  // namespace

std::unique_ptr<XScreen> XScreen::open(const std::string& display) {
    ::Display* d = XOpenDisplay(display.c_str());
    if (!d) return nullptr;
    XSetErrorHandler(ignoreError);
    return std::unique_ptr<XScreen>(new XScreen(d));
}

XScreen::~XScreen() {
    XCloseDisplay(asDisplay(display_));
}

std::optional<XWindowFrame> XScreen::frameOf(unsigned long window) {
    ::Display* d = asDisplay(display_);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, window, &attributes)) return std::nullopt;
    XWindowFrame frame;
    ::Window child;
    if (!XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &frame.x, &frame.y, &child))
        return std::nullopt;
    frame.width = attributes.width;
    frame.height = attributes.height;
    return frame;
}

platform::ui::UIImagePtr XScreen::capture(const XWindowFrame& area, double scale) {
    ::Display* d = asDisplay(display_);
    XImage* image =
        XGetImage(d, DefaultRootWindow(d), area.x, area.y, static_cast<unsigned>(area.width),
                  static_cast<unsigned>(area.height), AllPlanes, ZPixmap);
    if (!image) return nullptr;
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, area.width, area.height);
    unsigned char* pixels = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < area.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(pixels + static_cast<ptrdiff_t>(y) * stride);
        for (int x = 0; x < area.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            row[x] = component(p, image->red_mask) << 16 | component(p, image->green_mask) << 8 |
                     component(p, image->blue_mask);
        }
    }
    cairo_surface_mark_dirty(surface);
    XDestroyImage(image);
    auto shot = std::make_shared<platform::ui::UIImage>(surface, scale);
    cairo_surface_destroy(surface);
    return shot;
}

}  // namespace kavtest
