#include "platform/ui/ScreenRenderer.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "platform/ui/Screen.h"

namespace platform::ui {

CGSize UIScreenRenderer::screenSize() {
    CGSize s = UIScreen::mainScreen().bounds().size;
    if (UIDeviceOrientationIsLandscape(UIScreen::mainScreen().interfaceOrientation()))
        std::swap(s.width, s.height);
    return s;
}

void UIScreenRenderer::layoutWindows() {
    for (auto* w : UIWindow::visibleWindows())
        w->layoutIfNeeded();
}

bool UIScreenRenderer::needsFrame() {
    return render::isDirty() || animation::activeCount() > 0;
}

void UIScreenRenderer::drawScreen(cairo_t* cr, CGSize size) {
    layoutWindows();
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, 0, 0, size.width, size.height);
    cairo_fill(cr);
    for (auto* w : UIWindow::visibleWindows())
        w->layer().render(cr);
    cairo_restore(cr);
    render::clearDirty();
}

namespace {
UIImagePtr renderTo(CGSize size, CGFloat scale, const std::function<void(cairo_t*)>& draw) {
    const int w = std::max(1, static_cast<int>(std::lround(size.width * scale)));
    const int h = std::max(1, static_cast<int>(std::lround(size.height * scale)));
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_scale(cr, scale, scale);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    auto img = std::make_shared<UIImage>(s, scale);
    cairo_surface_destroy(s);
    return img;
}
}  // namespace

UIImagePtr UIScreenRenderer::renderScreen(CGFloat scale) {
    CGSize size = screenSize();
    return renderTo(size, scale, [&](cairo_t* cr) { drawScreen(cr, size); });
}

UIImagePtr UIScreenRenderer::renderWindow(UIWindow& window, CGFloat scale) {
    window.layoutIfNeeded();
    CGSize size = window.bounds().size;
    return renderTo(size, scale, [&](cairo_t* cr) {
        // Draw the window at the origin, whatever its position on the screen.
        auto s = window.layer().presentation();
        cairo_translate(cr, -(s.position.x - s.anchorPoint.x * s.bounds.size.width),
                        -(s.position.y - s.anchorPoint.y * s.bounds.size.height));
        const bool wasHidden = window.isHidden();
        if (wasHidden) window.layer().setHidden(false);
        window.layer().render(cr);
        if (wasHidden) window.layer().setHidden(true);
    });
}

}  // namespace platform::ui
