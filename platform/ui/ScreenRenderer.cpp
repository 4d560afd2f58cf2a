#include "platform/ui/ScreenRenderer.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "platform/MainThread.h"
#include "platform/ui/Screen.h"
#include "platform/ui/detail/Compositor.h"

namespace platform::ui {

CGSize UIScreenRenderer::screenSize() {
    CGSize s = UIScreen::mainScreen().bounds().size;
    if (UIDeviceOrientationIsLandscape(UIScreen::mainScreen().interfaceOrientation()))
        std::swap(s.width, s.height);
    return s;
}

// ---- what the next frame must do ---------------------------------------

namespace detail::compositor {

namespace {
// Past this many separate areas a new one joins the area it grows least.
constexpr size_t kMaxDamage = 64;

double areaOf(const CGRect& r) {
    return r.size.width * r.size.height;
}
}  // namespace

PendingFrame& pending() {
    static PendingFrame state;
    return state;
}

void requestFrame() {
    pending().frame = true;
}

void requestLayout() {
    auto& p = pending();
    p.layout = true;
    p.frame = true;
}

void addDamage(const CGRect& r) {
    if (CGRectIsEmpty(r)) return;
    auto& p = pending();
    p.frame = true;
    if (p.damage.size() >= kMaxDamage) {
        // Headless nobody takes the areas: keep them bounded. The changed
        // labels of a streaming board are many small areas apart; joining
        // them all would draw the rows between them.
        size_t best = 0;
        double growth = INFINITY;
        for (size_t i = 0; i < p.damage.size(); ++i) {
            const double g = areaOf(CGRectUnion(p.damage[i], r)) - areaOf(p.damage[i]);
            if (g < growth) {
                growth = g;
                best = i;
            }
        }
        p.damage[best] = CGRectUnion(p.damage[best], r);
        return;
    }
    p.damage.push_back(r);
}

void setAnimating(CALayer* layer, bool animating) {
    auto& list = pending().animating;
    if (animating)
        list.push_back(layer);
    else
        std::erase(list, layer);
}

}  // namespace detail::compositor

namespace {

namespace compositor = detail::compositor;

// Less than half the 256th of a pixel on which the drawing places edges.
constexpr double kEdgeSlack = 1.0 / 1024;

// The areas on the pixel grid (so that no pixel is half drawn over the last
// frame), inside the screen, overlapping ones merged.
std::vector<CGRect> pixelAreas(const std::vector<CGRect>& damage, CGSize screen, CGFloat scale) {
    const CGRect whole = CGRectMake(0, 0, screen.width, screen.height);
    std::vector<CGRect> out;
    for (const CGRect& d : damage) {
        CGRect r = CGRectIntersection(d, whole);
        if (CGRectIsEmpty(r)) continue;
        // An edge less than kEdgeSlack past a pixel's edge touches nothing
        // of that pixel: the drawing puts edges on a 256th of a pixel, to
        // the nearest. A drawing's reach that ends on a pixel's edge, give
        // or take the rounding of the sums that placed it, does not take in
        // the row beyond (the low and high under a price's digits).
        const double x0 = std::floor(r.origin.x * scale + kEdgeSlack) / scale;
        const double y0 = std::floor(r.origin.y * scale + kEdgeSlack) / scale;
        const double x1 = std::ceil(CGRectGetMaxX(r) * scale - kEdgeSlack) / scale;
        const double y1 = std::ceil(CGRectGetMaxY(r) * scale - kEdgeSlack) / scale;
        if (x1 <= x0 || y1 <= y0) continue;
        out.push_back(CGRectMake(x0, y0, x1 - x0, y1 - y0));
    }
    // Overlapping areas become one, and so do two whose joint rectangle is
    // at most half as much again as they are (a price's two parts side by
    // side, a row's bid and ask): each area costs a walk of the layers over
    // it and a put on the display, more than drawing the background between
    // two neighbours; joined wider, the texts between them are drawn again.
    // Repeated until none is left to join.
    const auto join = [](const CGRect& a, const CGRect& b) {
        if (CGRectIntersectsRect(a, b)) return true;
        const CGRect u = CGRectUnion(a, b);
        return u.size.width * u.size.height <=
               1.5 * (a.size.width * a.size.height + b.size.width * b.size.height);
    };
    for (bool merged = true; merged;) {
        merged = false;
        for (size_t i = 0; i < out.size() && !merged; ++i)
            for (size_t j = i + 1; j < out.size(); ++j) {
                if (!join(out[i], out[j])) continue;
                out[i] = CGRectUnion(out[i], out[j]);
                out.erase(out.begin() + static_cast<long>(j));
                merged = true;
                break;
            }
    }
    return out;
}

// Whether the layer is drawn: every layer up to a visible window's shown,
// as drawn now (one fading out is drawn until its fade ends).
bool onScreen(const CALayer* layer, const std::vector<UIWindow*>& windows) {
    const CALayer* root = layer;
    for (const CALayer* l = layer; l; l = l->superlayer()) {
        if (l->isHidden() || l->presentationOpacity() <= 0.001) return false;
        root = l;
    }
    return std::any_of(windows.begin(), windows.end(),
                       [root](UIWindow* w) { return &w->layer() == root; });
}

}  // namespace

void UIScreenRenderer::layoutWindows() {
    KAV_ASSERT_MAIN_THREAD();
    compositor::pending().layout = false;
    for (auto* w : UIWindow::visibleWindows())
        w->layoutIfNeeded();
}

bool UIScreenRenderer::needsFrame() {
    return compositor::pending().frame || animatesOnScreen();
}

bool UIScreenRenderer::animatesOnScreen() {
    const auto& p = compositor::pending();
    if (p.animating.empty()) return false;
    const auto windows = UIWindow::visibleWindows();
    return std::any_of(p.animating.begin(), p.animating.end(),
                       [&](const CALayer* l) { return onScreen(l, windows); });
}

void UIScreenRenderer::setNeedsDisplayScreen() {
    const CGSize size = screenSize();
    compositor::addDamage(CGRectMake(0, 0, size.width, size.height));
}

UIScreenRenderer::Frame UIScreenRenderer::composite(cairo_t* cr, CGSize size, CGFloat scale) {
    KAV_ASSERT_MAIN_THREAD();
    auto& p = compositor::pending();
    Frame frame;
    if (!needsFrame()) return frame;
    if (p.layout) layoutWindows();
    const auto windows = UIWindow::visibleWindows();
    // What animates on screen is drawn again where it was and where it is
    // now; what animates elsewhere costs nothing.
    for (CALayer* layer : std::vector<CALayer*>(p.animating))
        if (onScreen(layer, windows)) layer->setNeedsComposite();
    p.scale = scale;
    for (auto* w : windows)
        w->layer().updateCompositedExtent(CGAffineTransformIdentity, false,
                                          CGRectMake(0, 0, size.width, size.height));
    // Everything reported so far is in hand; drawing may report more.
    p.frame = false;
    frame.damage = pixelAreas(p.damage, size, scale);
    p.damage.clear();
    if (frame.damage.empty()) return frame;

    // Only the areas are drawn: a layer is drawn only where it meets one
    // (the rows a quote changed are apart; what lies between them is not
    // drawn).
    compositor::layersDrawn() = 0;
    std::vector<CALayer*> roots;
    roots.reserve(windows.size());
    for (auto* w : windows)
        roots.push_back(&w->layer());
    CALayer::renderAreas(cr, roots, frame.damage);
    frame.layersDrawn = compositor::layersDrawn();
    return frame;
}

void UIScreenRenderer::drawScreen(cairo_t* cr, CGSize size) {
    KAV_ASSERT_MAIN_THREAD();
    layoutWindows();
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_rectangle(cr, 0, 0, size.width, size.height);
    cairo_fill(cr);
    for (auto* w : UIWindow::visibleWindows())
        w->layer().render(cr);
    cairo_restore(cr);
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
