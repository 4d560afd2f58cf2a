#include "platform/ui/Color.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/ui/Image.h"

namespace platform::ui {

UIColor UIColor::colorWithPatternImage(std::shared_ptr<const UIImage> image) {
    if (!image) return clearColor();
    UIColor c{0, 0, 0, 1};
    c.patternImage = std::move(image);
    return c;
}

std::string UIColor::description() const {
    char buf[48];
    auto c = [](CGFloat v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    if (patternImage) {
        std::snprintf(buf, sizeof buf, "pattern %dx%d alpha %d", patternImage->pixelWidth(),
                      patternImage->pixelHeight(), c(alpha));
        return buf;
    }
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x%02x", c(red), c(green), c(blue), c(alpha));
    return buf;
}

UIColor UIColorLerp(const UIColor& a, const UIColor& b, CGFloat t) {
    if (a.patternImage || b.patternImage) return t < 0.5 ? a : b;
    return {a.red + (b.red - a.red) * t, a.green + (b.green - a.green) * t,
            a.blue + (b.blue - a.blue) * t, a.alpha + (b.alpha - a.alpha) * t};
}

void UIColorSetCairoSource(cairo_t* cr, const UIColor& color, CGFloat alpha) {
    const CGFloat a = color.alpha * alpha;
    if (!color.patternImage || !color.patternImage->surface()) {
        cairo_set_source_rgba(cr, color.red, color.green, color.blue, a);
        return;
    }
    cairo_surface_t* tile = color.patternImage->surface();
    cairo_surface_t* faded = nullptr;
    if (a < 1) {
        // A surface pattern has no alpha of its own: fade a copy of the tile.
        faded = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, color.patternImage->pixelWidth(),
                                           color.patternImage->pixelHeight());
        cairo_t* fc = cairo_create(faded);
        cairo_set_source_surface(fc, tile, 0, 0);
        cairo_paint_with_alpha(fc, std::max(0.0, a));
        cairo_destroy(fc);
        tile = faded;
    }
    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(tile);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
    // Pattern space is the tile's pixels; user space is points.
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, color.patternImage->scale(), color.patternImage->scale());
    cairo_pattern_set_matrix(pattern, &m);
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
    if (faded) cairo_surface_destroy(faded);
}

}  // namespace platform::ui
