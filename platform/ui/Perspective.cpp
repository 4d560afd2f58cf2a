#include "platform/ui/detail/Perspective.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace platform::ui::detail {

namespace {

// Points at or behind this depth factor are not drawn (the eye's plane).
constexpr double kNearest = 1e-6;
// Width of one strip in pixels of the flat picture: thin enough that the
// affine map of a strip cannot be told from the projection.
constexpr double kStripPixels = 2;
// The flat picture never grows beyond this many pixels a side.
constexpr double kMaxPicturePixels = 4096;

double distance(CGPoint a, CGPoint b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

// Device pixels per point of the context's user space (the larger axis).
double deviceScale(cairo_t* cr) {
    double ax = 1, ay = 0, bx = 0, by = 1;
    cairo_user_to_device_distance(cr, &ax, &ay);
    cairo_user_to_device_distance(cr, &bx, &by);
    return std::max(std::hypot(ax, ay), std::hypot(bx, by));
}

// The part of the layer's plane that holds anything: its bounds, and its
// shadow when it casts one.
CGRect drawnExtent(const CALayerState& s) {
    CGRect extent = s.bounds;
    if (s.shadowOpacity > 0 && s.shadowColor.alpha > 0) {
        const CGRect shape = s.shadowPath ? s.shadowPath->bounds() : s.bounds;
        if (!CGRectIsNull(shape)) {
            const double grow = 2 * s.shadowRadius;
            extent = CGRectUnion(extent, CGRectInset(CGRectOffset(shape, s.shadowOffset.width,
                                                                  s.shadowOffset.height),
                                                     -grow, -grow));
        }
    }
    return extent;
}

// How much the projection enlarges the layer at most, from its four edges.
double magnification(const CALayerState& s, const CGRect& r) {
    CGPoint p00, p10, p01, p11;
    const double x0 = r.origin.x, y0 = r.origin.y;
    const double x1 = x0 + r.size.width, y1 = y0 + r.size.height;
    if (!projectLayerPoint(s, {x0, y0}, p00) || !projectLayerPoint(s, {x1, y0}, p10) ||
        !projectLayerPoint(s, {x0, y1}, p01) || !projectLayerPoint(s, {x1, y1}, p11))
        return 1;
    return std::max({distance(p00, p10) / r.size.width, distance(p01, p11) / r.size.width,
                     distance(p00, p01) / r.size.height, distance(p10, p11) / r.size.height});
}

}  // namespace

bool hasPerspective(const CATransform3D& t) {
    constexpr double eps = 1e-12;
    return std::fabs(t.m14) > eps || std::fabs(t.m24) > eps || std::fabs(t.m44 - 1) > eps;
}

bool projectLayerPoint(const CALayerState& s, CGPoint local, CGPoint& out) {
    // Relative to the anchor, as the transform applies there; z is 0 on the
    // layer's plane, so the third row plays no part.
    const double u = local.x - s.bounds.origin.x - s.anchorPoint.x * s.bounds.size.width;
    const double v = local.y - s.bounds.origin.y - s.anchorPoint.y * s.bounds.size.height;
    const CATransform3D& m = s.transform;
    const double w = u * m.m14 + v * m.m24 + m.m44;
    if (!(w > kNearest)) return false;
    out = {(u * m.m11 + v * m.m21 + m.m41) / w + s.position.x,
           (u * m.m12 + v * m.m22 + m.m42) / w + s.position.y};
    return true;
}

void renderInPerspective(cairo_t* cr, const CALayerState& s,
                         const std::function<void(cairo_t* flat)>& drawFlat) {
    const CGRect extent = drawnExtent(s);
    const double width = extent.size.width, height = extent.size.height;
    if (!(width > 0) || !(height > 0)) return;

    // The flat picture, at the resolution the projection shows it with.
    double scale = std::clamp(deviceScale(cr) * std::max(1.0, magnification(s, extent)), 0.25, 8.0);
    scale = std::min(scale, kMaxPicturePixels / std::max(width, height));
    const int pw = std::max(1, static_cast<int>(std::ceil(width * scale)));
    const int ph = std::max(1, static_cast<int>(std::ceil(height * scale)));
    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pw, ph);
    if (cairo_surface_status(picture) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(picture);
        return;
    }
    cairo_t* flat = cairo_create(picture);
    cairo_scale(flat, scale, scale);
    cairo_translate(flat, -extent.origin.x, -extent.origin.y);
    drawFlat(flat);
    cairo_destroy(flat);
    cairo_surface_flush(picture);

    cairo_pattern_t* pattern = cairo_pattern_create_for_surface(picture);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);

    // Strip edges, shared by neighbouring strips so that no seam opens.
    const int strips = std::max(1, static_cast<int>(std::ceil(pw / kStripPixels)));
    std::vector<CGPoint> top(static_cast<size_t>(strips) + 1),
        bottom(static_cast<size_t>(strips) + 1);
    std::vector<char> visible(static_cast<size_t>(strips) + 1);
    auto edgeX = [&](int i) { return extent.origin.x + width * i / strips; };
    for (int i = 0; i <= strips; ++i) {
        const auto k = static_cast<size_t>(i);
        visible[k] = projectLayerPoint(s, {edgeX(i), extent.origin.y}, top[k]) &&
                     projectLayerPoint(s, {edgeX(i), extent.origin.y + height}, bottom[k]);
    }

    // The strips' area on the screen, in the user space the strips are
    // drawn in.
    double areaX1 = HUGE_VAL, areaY1 = HUGE_VAL, areaX2 = -HUGE_VAL, areaY2 = -HUGE_VAL;
    for (size_t k = 0; k < top.size(); ++k) {
        if (!visible[k]) continue;
        for (const CGPoint& p : {top[k], bottom[k]}) {
            areaX1 = std::min(areaX1, p.x);
            areaY1 = std::min(areaY1, p.y);
            areaX2 = std::max(areaX2, p.x);
            areaY2 = std::max(areaY2, p.y);
        }
    }
    if (!(areaX2 > areaX1) || !(areaY2 > areaY1)) {
        cairo_pattern_destroy(pattern);
        cairo_surface_destroy(picture);
        return;
    }
    cairo_save(cr);
    // Strips are added up in a group of their own: where two meet, their
    // partial coverages of the shared edge sum to one, so the edge vanishes.
    // The group lies where the strips do, whatever part of them is drawn
    // now: the picture is sampled through a transform that pixman holds in
    // fixed point, and from a group placed elsewhere (at the clip of a
    // changed area) its pixels came out a step or two off those of the
    // whole screen drawn afresh.
    cairo_reset_clip(cr);
    cairo_rectangle(cr, areaX1 - 1, areaY1 - 1, areaX2 - areaX1 + 2, areaY2 - areaY1 + 2);
    cairo_clip(cr);
    cairo_push_group(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_ADD);
    const double midY = extent.origin.y + height / 2;
    for (int i = 0; i < strips; ++i) {
        const auto k = static_cast<size_t>(i);
        if (!visible[k] || !visible[k + 1]) continue;
        const double x0 = edgeX(i), x1 = edgeX(i + 1), xm = (x0 + x1) / 2;
        CGPoint up, down, left, right;
        if (!projectLayerPoint(s, {xm, extent.origin.y}, up) ||
            !projectLayerPoint(s, {xm, extent.origin.y + height}, down) ||
            !projectLayerPoint(s, {x0, midY}, left) || !projectLayerPoint(s, {x1, midY}, right))
            continue;
        // The affine map of the strip: along x as the projection moves the
        // strip's middle row, along y as it moves the strip's middle column.
        const CGPoint along{(right.x - left.x) / (x1 - x0), (right.y - left.y) / (x1 - x0)};
        const CGPoint down1{(down.x - up.x) / height, (down.y - up.y) / height};
        // Picture pixel (px, py) -> layer point -> superlayer point.
        cairo_matrix_t m;
        cairo_matrix_init(&m, along.x / scale, along.y / scale, down1.x / scale, down1.y / scale,
                          up.x + along.x * (extent.origin.x - xm),
                          up.y + along.y * (extent.origin.x - xm));
        if (cairo_matrix_invert(&m) != CAIRO_STATUS_SUCCESS) continue;
        cairo_pattern_set_matrix(pattern, &m);
        cairo_set_source(cr, pattern);
        cairo_new_path(cr);
        cairo_move_to(cr, top[k].x, top[k].y);
        cairo_line_to(cr, top[k + 1].x, top[k + 1].y);
        cairo_line_to(cr, bottom[k + 1].x, bottom[k + 1].y);
        cairo_line_to(cr, bottom[k].x, bottom[k].y);
        cairo_close_path(cr);
        cairo_fill(cr);
    }
    cairo_pattern_t* added = cairo_pop_group(cr);
    // Put down inside the clip it was asked for.
    cairo_restore(cr);
    cairo_save(cr);
    cairo_set_source(cr, added);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_pattern_destroy(added);

    cairo_pattern_destroy(pattern);
    cairo_surface_destroy(picture);
}

}  // namespace platform::ui::detail
