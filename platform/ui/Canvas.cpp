#include "platform/ui/Canvas.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace platform::ui {

namespace {

std::vector<Canvas*>& contextStack() {
    static std::vector<Canvas*> stack;
    return stack;
}

cairo_operator_t toCairo(CGBlendMode m) {
    switch (m) {
        case CGBlendMode::Normal:
            return CAIRO_OPERATOR_OVER;
        case CGBlendMode::Multiply:
            return CAIRO_OPERATOR_MULTIPLY;
        case CGBlendMode::Screen:
            return CAIRO_OPERATOR_SCREEN;
        case CGBlendMode::Overlay:
            return CAIRO_OPERATOR_OVERLAY;
        case CGBlendMode::Darken:
            return CAIRO_OPERATOR_DARKEN;
        case CGBlendMode::Lighten:
            return CAIRO_OPERATOR_LIGHTEN;
        case CGBlendMode::Clear:
            return CAIRO_OPERATOR_CLEAR;
        case CGBlendMode::Copy:
            return CAIRO_OPERATOR_SOURCE;
        case CGBlendMode::SourceIn:
            return CAIRO_OPERATOR_IN;
        case CGBlendMode::SourceOut:
            return CAIRO_OPERATOR_OUT;
        case CGBlendMode::SourceAtop:
            return CAIRO_OPERATOR_ATOP;
        case CGBlendMode::DestinationOver:
            return CAIRO_OPERATOR_DEST_OVER;
        case CGBlendMode::DestinationIn:
            return CAIRO_OPERATOR_DEST_IN;
        case CGBlendMode::DestinationOut:
            return CAIRO_OPERATOR_DEST_OUT;
        case CGBlendMode::DestinationAtop:
            return CAIRO_OPERATOR_DEST_ATOP;
        case CGBlendMode::XOR:
            return CAIRO_OPERATOR_XOR;
    }
    return CAIRO_OPERATOR_OVER;
}

// Three passes of a box blur approximate a Gaussian blur.
void boxBlurA8(unsigned char* data, int w, int h, int stride, int radius) {
    if (radius <= 0) return;
    std::vector<unsigned char> tmp(static_cast<size_t>(std::max(w, h)));
    const int window = 2 * radius + 1;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y) {
            unsigned char* row = data + static_cast<size_t>(y) * stride;
            int sum = 0;
            for (int x = -radius; x <= radius; ++x)
                sum += (x >= 0 && x < w) ? row[x] : 0;
            for (int x = 0; x < w; ++x) {
                tmp[x] = static_cast<unsigned char>(sum / window);
                int out = x - radius, in = x + radius + 1;
                sum += (in < w ? row[in] : 0) - (out >= 0 ? row[out] : 0);
            }
            std::copy(tmp.begin(), tmp.begin() + w, row);
        }
        for (int x = 0; x < w; ++x) {
            int sum = 0;
            auto at = [&](int y) {
                return (y >= 0 && y < h) ? data[static_cast<size_t>(y) * stride + x] : 0;
            };
            for (int y = -radius; y <= radius; ++y)
                sum += at(y);
            for (int y = 0; y < h; ++y) {
                tmp[y] = static_cast<unsigned char>(sum / window);
                sum += at(y + radius + 1) - at(y - radius);
            }
            for (int y = 0; y < h; ++y)
                data[static_cast<size_t>(y) * stride + x] = tmp[y];
        }
    }
}

void setPatternStops(cairo_pattern_t* p, const CGGradient& g, CGFloat alpha) {
    const size_t n = g.colors.size();
    for (size_t i = 0; i < n; ++i) {
        double loc = i < g.locations.size() ? g.locations[i] : (n > 1 ? double(i) / (n - 1) : 0);
        const auto& c = g.colors[i];
        cairo_pattern_add_color_stop_rgba(p, loc, c.red, c.green, c.blue, c.alpha * alpha);
    }
}

}  // namespace

Canvas* UIGraphicsGetCurrentContext() {
    auto& s = contextStack();
    return s.empty() ? nullptr : s.back();
}
void UIGraphicsPushContext(Canvas* c) {
    contextStack().push_back(c);
}
void UIGraphicsPopContext() {
    if (!contextStack().empty()) contextStack().pop_back();
}

namespace {

size_t gShadowBlurs = 0;
size_t gShadowsDrawn = 0;

// The blurred mask of a filled shape in device space, and where its corner
// lies; null when there is nothing (or too much) to draw.
cairo_surface_t* blurredMask(cairo_t* cr, const UIBezierPath& shape, CGFloat blur, int& bx,
                             int& by) {
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    const double scale = std::hypot(ctm.xx, ctm.yx);
    cairo_save(cr);
    shape.apply(cr);
    double x1, y1, x2, y2;
    cairo_fill_extents(cr, &x1, &y1, &x2, &y2);
    cairo_new_path(cr);
    // Device-space box of the shape.
    double xs[4] = {x1, x2, x1, x2}, ys[4] = {y1, y1, y2, y2};
    double dx0 = INFINITY, dy0 = INFINITY, dx1 = -INFINITY, dy1 = -INFINITY;
    for (int i = 0; i < 4; ++i) {
        double x = xs[i], y = ys[i];
        cairo_user_to_device(cr, &x, &y);
        dx0 = std::min(dx0, x), dy0 = std::min(dy0, y), dx1 = std::max(dx1, x),
        dy1 = std::max(dy1, y);
    }
    cairo_restore(cr);
    const int radius = static_cast<int>(std::lround(blur * scale / 2));
    const int pad = radius * 3 + 2;
    bx = static_cast<int>(std::floor(dx0)) - pad;
    by = static_cast<int>(std::floor(dy0)) - pad;
    const int w = static_cast<int>(std::ceil(dx1)) + pad - bx,
              h = static_cast<int>(std::ceil(dy1)) + pad - by;
    if (w <= 0 || h <= 0 || w > 8192 || h > 8192) return nullptr;
    ++gShadowBlurs;
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
    cairo_t* m = cairo_create(mask);
    cairo_translate(m, -bx, -by);
    cairo_transform(m, &ctm);
    shape.apply(m);
    cairo_set_source_rgba(m, 0, 0, 0, 1);
    cairo_fill(m);
    cairo_destroy(m);
    cairo_surface_flush(mask);
    boxBlurA8(cairo_image_surface_get_data(mask), w, h, cairo_image_surface_get_stride(mask),
              radius);
    cairo_surface_mark_dirty(mask);
    return mask;
}

// Paints the colour through the mask, offset in user space.
void paintShadow(cairo_t* cr, cairo_surface_t* mask, int bx, int by, CGSize offset,
                 const UIColor& color) {
    cairo_save(cr);
    double ox = offset.width, oy = offset.height;
    cairo_user_to_device_distance(cr, &ox, &oy);
    cairo_identity_matrix(cr);
    cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
    cairo_mask_surface(cr, mask, bx + ox, by + oy);
    cairo_restore(cr);
}

bool samePath(const UIBezierPath& a, const UIBezierPath& b) {
    const auto& ea = a.elements();
    const auto& eb = b.elements();
    if (ea.size() != eb.size()) return false;
    for (size_t i = 0; i < ea.size(); ++i) {
        if (ea[i].op != eb[i].op) return false;
        for (int k = 0; k < 3; ++k)
            if (ea[i].p[k].x != eb[i].p[k].x || ea[i].p[k].y != eb[i].p[k].y) return false;
    }
    return true;
}

}  // namespace

size_t shadowBlursMade() {
    return gShadowBlurs;
}

size_t shadowsDrawn() {
    return gShadowsDrawn;
}

void drawBlurredShadow(cairo_t* cr, const UIBezierPath& shape, CGSize offset, CGFloat blur,
                       const UIColor& color) {
    if (color.alpha <= 0 || shape.isEmpty()) return;
    int bx = 0, by = 0;
    cairo_surface_t* mask = blurredMask(cr, shape, blur, bx, by);
    if (!mask) return;
    paintShadow(cr, mask, bx, by, offset, color);
    cairo_surface_destroy(mask);
}

ShadowCache::~ShadowCache() {
    if (mask_) cairo_surface_destroy(mask_);
}

void ShadowCache::draw(cairo_t* cr, const UIBezierPath& shape, CGSize offset, CGFloat blur,
                       const UIColor& color) {
    if (color.alpha <= 0 || shape.isEmpty()) return;
    ++gShadowsDrawn;
    cairo_matrix_t ctm;
    cairo_get_matrix(cr, &ctm);
    // Moved by whole pixels the same blur serves; anything else makes it anew.
    const double wholeX = std::floor(ctm.x0), wholeY = std::floor(ctm.y0);
    const double at[6] = {ctm.xx, ctm.yx, ctm.xy, ctm.yy, ctm.x0 - wholeX, ctm.y0 - wholeY};
    const bool kept = mask_ && blur == blur_ && std::equal(at, at + 6, at_) &&
                      samePath(shape, shape_);
    if (!kept) {
        if (mask_) cairo_surface_destroy(mask_);
        int bx = 0, by = 0;
        mask_ = blurredMask(cr, shape, blur, bx, by);
        if (!mask_) return;
        shape_ = shape;
        blur_ = blur;
        std::copy(at, at + 6, at_);
        x_ = bx - static_cast<int>(wholeX);
        y_ = by - static_cast<int>(wholeY);
    }
    paintShadow(cr, mask_, static_cast<int>(wholeX) + x_, static_cast<int>(wholeY) + y_, offset,
                color);
}

Canvas::Canvas(cairo_t* cr) : cr_(cr) {}
Canvas::~Canvas() = default;

void Canvas::saveGState() {
    saved_.push_back(state_);
    cairo_save(cr_);
}

void Canvas::restoreGState() {
    if (saved_.empty()) return;
    state_ = saved_.back();
    saved_.pop_back();
    cairo_restore(cr_);
}

void Canvas::translateCTM(CGFloat tx, CGFloat ty) {
    cairo_translate(cr_, tx, ty);
}
void Canvas::scaleCTM(CGFloat sx, CGFloat sy) {
    cairo_scale(cr_, sx, sy);
}
void Canvas::rotateCTM(CGFloat a) {
    cairo_rotate(cr_, a);
}
void Canvas::concatCTM(const CGAffineTransform& t) {
    cairo_matrix_t m{t.a, t.b, t.c, t.d, t.tx, t.ty};
    cairo_transform(cr_, &m);
}
CGAffineTransform Canvas::getCTM() const {
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

void Canvas::setLineDash(CGFloat phase, const std::vector<CGFloat>& lengths) {
    cairo_set_dash(cr_, lengths.data(), static_cast<int>(lengths.size()), phase);
}

void Canvas::setShadowWithColor(CGSize offset, CGFloat blur, const UIColor& color) {
    state_.shadowOffset = offset;
    state_.shadowBlur = blur;
    state_.shadowColor = color;
}

void Canvas::beginPath() {
    path_.removeAllPoints();
}
void Canvas::moveToPoint(CGFloat x, CGFloat y) {
    path_.moveToPoint({x, y});
}
void Canvas::addLineToPoint(CGFloat x, CGFloat y) {
    path_.addLineToPoint({x, y});
}
void Canvas::addCurveToPoint(CGFloat c1x, CGFloat c1y, CGFloat c2x, CGFloat c2y, CGFloat x,
                             CGFloat y) {
    path_.addCurveToPoint({x, y}, {c1x, c1y}, {c2x, c2y});
}
void Canvas::addArc(CGFloat x, CGFloat y, CGFloat r, CGFloat a0, CGFloat a1, bool clockwise) {
    path_.addArcWithCenter({x, y}, r, a0, a1, clockwise);
}
void Canvas::addRect(const CGRect& r) {
    path_.appendPath(UIBezierPath::bezierPathWithRect(r));
}
void Canvas::addPath(const UIBezierPath& p) {
    path_.appendPath(p);
}
void Canvas::closePath() {
    path_.closePath();
}

void Canvas::setSource(const UIColor& c) {
    UIColorSetCairoSource(cr_, c, state_.alpha);
}

void Canvas::applyStroke() {
    cairo_set_line_width(cr_, state_.lineWidth);
    cairo_set_line_cap(cr_, state_.cap == CGLineCap::Round    ? CAIRO_LINE_CAP_ROUND
                            : state_.cap == CGLineCap::Square ? CAIRO_LINE_CAP_SQUARE
                                                              : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr_, state_.join == CGLineJoin::Round   ? CAIRO_LINE_JOIN_ROUND
                             : state_.join == CGLineJoin::Bevel ? CAIRO_LINE_JOIN_BEVEL
                                                                : CAIRO_LINE_JOIN_MITER);
}

template <typename F>
void Canvas::paint(F&& draw, const UIBezierPath* shape, bool stroke) {
    if (shape && !stroke && state_.shadowColor.alpha > 0) {
        UIColor c = state_.shadowColor;
        c.alpha *= state_.alpha;
        drawBlurredShadow(cr_, *shape, state_.shadowOffset, state_.shadowBlur, c);
    }
    cairo_set_operator(cr_, toCairo(state_.blend));
    draw();
    cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
}

void Canvas::fillPath(const UIBezierPath& p) {
    paint(
        [&] {
            p.apply(cr_);
            cairo_set_fill_rule(
                cr_, p.usesEvenOddFillRule ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
            setSource(state_.fill);
            cairo_fill(cr_);
            cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
        },
        &p, false);
}

void Canvas::strokePath(const UIBezierPath& p) {
    paint(
        [&] {
            p.apply(cr_);
            applyStroke();
            setSource(state_.stroke);
            cairo_stroke(cr_);
        },
        &p, true);
}

void Canvas::fillPath() {
    fillPath(path_);
    path_.removeAllPoints();
}

void Canvas::eoFillPath() {
    path_.usesEvenOddFillRule = true;
    fillPath(path_);
    path_.removeAllPoints();
    path_.usesEvenOddFillRule = false;
}

void Canvas::strokePath() {
    strokePath(path_);
    path_.removeAllPoints();
}

void Canvas::drawPath(CGPathDrawingMode mode) {
    UIBezierPath p = path_;
    path_.removeAllPoints();
    if (mode == CGPathDrawingMode::EOFill || mode == CGPathDrawingMode::EOFillStroke)
        p.usesEvenOddFillRule = true;
    if (mode != CGPathDrawingMode::Stroke) fillPath(p);
    if (mode == CGPathDrawingMode::Stroke || mode == CGPathDrawingMode::FillStroke ||
        mode == CGPathDrawingMode::EOFillStroke)
        strokePath(p);
}

void Canvas::clip() {
    clipToPath(path_);
    path_.removeAllPoints();
}

void Canvas::fillRect(const CGRect& r) {
    fillPath(UIBezierPath::bezierPathWithRect(r));
}
void Canvas::strokeRect(const CGRect& r) {
    strokePath(UIBezierPath::bezierPathWithRect(r));
}
void Canvas::strokeRectWithWidth(const CGRect& r, CGFloat width) {
    CGFloat old = state_.lineWidth;
    state_.lineWidth = width;
    strokeRect(r);
    state_.lineWidth = old;
}

void Canvas::clearRect(const CGRect& r) {
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    cairo_rectangle(cr_, r.origin.x, r.origin.y, r.size.width, r.size.height);
    cairo_fill(cr_);
    cairo_restore(cr_);
}

void Canvas::fillEllipseInRect(const CGRect& r) {
    fillPath(UIBezierPath::bezierPathWithOvalInRect(r));
}
void Canvas::strokeEllipseInRect(const CGRect& r) {
    strokePath(UIBezierPath::bezierPathWithOvalInRect(r));
}

void Canvas::strokeLineSegments(const std::vector<CGPoint>& pts) {
    UIBezierPath p;
    for (size_t i = 0; i + 1 < pts.size(); i += 2) {
        p.moveToPoint(pts[i]);
        p.addLineToPoint(pts[i + 1]);
    }
    strokePath(p);
}

void Canvas::clipToRect(const CGRect& r) {
    cairo_new_path(cr_);
    cairo_rectangle(cr_, r.origin.x, r.origin.y, r.size.width, r.size.height);
    cairo_clip(cr_);
}

void Canvas::clipToPath(const UIBezierPath& p) {
    p.apply(cr_);
    cairo_set_fill_rule(cr_,
                        p.usesEvenOddFillRule ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr_);
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
}

void Canvas::paintGradient(cairo_pattern_t* p, const CGGradient& g, unsigned options) {
    setPatternStops(p, g, state_.alpha);
    cairo_pattern_set_extend(p, options ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    cairo_set_source(cr_, p);
    cairo_set_operator(cr_, toCairo(state_.blend));
    cairo_paint(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
    cairo_pattern_destroy(p);
}

void Canvas::drawLinearGradient(const CGGradient& g, CGPoint s, CGPoint e, unsigned options) {
    paintGradient(cairo_pattern_create_linear(s.x, s.y, e.x, e.y), g, options);
}

void Canvas::drawRadialGradient(const CGGradient& g, CGPoint sc, CGFloat sr, CGPoint ec, CGFloat er,
                                unsigned options) {
    paintGradient(cairo_pattern_create_radial(sc.x, sc.y, sr, ec.x, ec.y, er), g, options);
}

CGSize Canvas::drawText(std::string_view text, const CGRect& rect, const TextStyle& style,
                        TextLayoutHeld* held) {
    cairo_set_operator(cr_, toCairo(state_.blend));
    CGSize used;
    if (state_.alpha == 1) {
        // Mostly so: the style is drawn as it is, without a copy of it (and
        // of its font's name) for every label drawn.
        used = NSStringDrawInRect(cr_, text, rect, style, held);
    } else {
        TextStyle s = style;
        s.color.alpha *= state_.alpha;
        s.backgroundColor.alpha *= state_.alpha;
        used = NSStringDrawInRect(cr_, text, rect, s, held);
    }
    cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
    return used;
}

CGSize Canvas::drawTextAtPoint(std::string_view text, CGPoint point, const UIFont& font,
                               const UIColor& color, const UIColor& background) {
    CGSize size = NSStringSizeWithFont(text, font);
    TextStyle s;
    s.font = font;
    s.color = color;
    s.backgroundColor = background;
    // No width limit: one line per paragraph, never wrapped.
    return drawText(text, {point, {0, size.height}}, s);
}

void Canvas::drawImage(const UIImage& image, const CGRect& rect, CGFloat alpha) {
    const CGSize size = image.size();
    if (size.width <= 0 || size.height <= 0 || rect.size.width == 0 || rect.size.height == 0)
        return;
    const CGFloat a = alpha * state_.alpha;
    cairo_set_operator(cr_, toCairo(state_.blend));
    // Draws the source slice (points of the image) into the destination
    // slice; each slice is sampled on its own so that stretching never blends
    // in the pixels of its neighbours.
    auto slice = [&](CGRect src, CGRect dst, double alpha) {
        if (src.size.width <= 0 || src.size.height <= 0 || dst.size.width <= 0 ||
            dst.size.height <= 0)
            return;
        const double k = image.scale();
        // The whole image is drawn from its own surface: a part made for it
        // would be copied by a recording that outlives it, on every drawing
        // of an arrow that flips.
        const bool whole = src.origin.x == 0 && src.origin.y == 0 && src.size == size;
        cairo_surface_t* part =
            whole ? cairo_surface_reference(image.surface())
                  : cairo_surface_create_for_rectangle(image.surface(), src.origin.x * k,
                                                       src.origin.y * k, src.size.width * k,
                                                       src.size.height * k);
        cairo_save(cr_);
        cairo_rectangle(cr_, dst.origin.x, dst.origin.y, dst.size.width, dst.size.height);
        cairo_clip(cr_);
        cairo_translate(cr_, dst.origin.x, dst.origin.y);
        cairo_scale(cr_, dst.size.width / (src.size.width * k),
                    dst.size.height / (src.size.height * k));
        cairo_set_source_surface(cr_, part, 0, 0);
        cairo_pattern_set_extend(cairo_get_source(cr_), CAIRO_EXTEND_PAD);
        cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_GOOD);
        cairo_paint_with_alpha(cr_, alpha);
        cairo_restore(cr_);
        cairo_surface_destroy(part);
    };
    const auto in = image.capInsets();
    if (!image.isResizable() || (rect.size == size) || (in == UIEdgeInsetsZero)) {
        slice({{0, 0}, size}, rect, a);
    } else {
        const double sx[4] = {0, in.left, size.width - in.right, size.width};
        const double sy[4] = {0, in.top, size.height - in.bottom, size.height};
        const double dx[4] = {rect.origin.x, rect.origin.x + in.left,
                              rect.origin.x + rect.size.width - in.right,
                              rect.origin.x + rect.size.width};
        const double dy[4] = {rect.origin.y, rect.origin.y + in.top,
                              rect.origin.y + rect.size.height - in.bottom,
                              rect.origin.y + rect.size.height};
        // Where two slices meet inside a pixel (at a scale or a place off
        // the whole pixels), each covers its share of it; drawn one over the
        // other, the shares leave a pale line across the picture. Added up
        // on their own first, they make the pixel whole, and the sum is
        // drawn as one. Caps that overlap (drawn smaller than they are) are
        // drawn one over the other.
        const bool apart = dx[1] <= dx[2] && dy[1] <= dy[2];
        if (apart) {
            cairo_save(cr_);
            cairo_rectangle(cr_, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
            cairo_clip(cr_);
            cairo_push_group(cr_);
            cairo_set_operator(cr_, CAIRO_OPERATOR_ADD);
        }
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                slice(CGRectMake(sx[j], sy[i], sx[j + 1] - sx[j], sy[i + 1] - sy[i]),
                      CGRectMake(dx[j], dy[i], dx[j + 1] - dx[j], dy[i + 1] - dy[i]),
                      apart ? 1 : a);
        if (apart) {
            cairo_pop_group_to_source(cr_);
            cairo_set_operator(cr_, toCairo(state_.blend));
            cairo_paint_with_alpha(cr_, a);
            cairo_restore(cr_);
        }
    }
    cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
}

}  // namespace platform::ui
