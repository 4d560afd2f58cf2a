#include "platform/ui/Path.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "platform/ui/Canvas.h"

namespace platform::ui {

namespace {
constexpr double kKappa = 0.5522847498;  // control distance of a quarter circle
}

UIBezierPath UIBezierPath::bezierPathWithRect(const CGRect& r) {
    UIBezierPath p;
    p.moveToPoint(r.origin);
    p.addLineToPoint({r.origin.x + r.size.width, r.origin.y});
    p.addLineToPoint({r.origin.x + r.size.width, r.origin.y + r.size.height});
    p.addLineToPoint({r.origin.x, r.origin.y + r.size.height});
    p.closePath();
    return p;
}

UIBezierPath UIBezierPath::bezierPathWithRoundedRect(const CGRect& rect, CGFloat radius) {
    auto r = CGRectStandardize(rect);
    radius = std::clamp(radius, 0.0, std::min(r.size.width, r.size.height) / 2);
    if (radius <= 0) return bezierPathWithRect(r);
    const double x0 = r.origin.x, y0 = r.origin.y;
    const double x1 = x0 + r.size.width, y1 = y0 + r.size.height;
    const double k = radius * (1 - kKappa);
    UIBezierPath p;
    p.moveToPoint({x0 + radius, y0});
    p.addLineToPoint({x1 - radius, y0});
    p.addCurveToPoint({x1, y0 + radius}, {x1 - k, y0}, {x1, y0 + k});
    p.addLineToPoint({x1, y1 - radius});
    p.addCurveToPoint({x1 - radius, y1}, {x1, y1 - k}, {x1 - k, y1});
    p.addLineToPoint({x0 + radius, y1});
    p.addCurveToPoint({x0, y1 - radius}, {x0 + k, y1}, {x0, y1 - k});
    p.addLineToPoint({x0, y0 + radius});
    p.addCurveToPoint({x0 + radius, y0}, {x0, y0 + k}, {x0 + k, y0});
    p.closePath();
    return p;
}

UIBezierPath UIBezierPath::bezierPathWithOvalInRect(const CGRect& rect) {
    auto r = CGRectStandardize(rect);
    const double cx = CGRectGetMidX(r), cy = CGRectGetMidY(r);
    const double rx = r.size.width / 2, ry = r.size.height / 2;
    const double kx = rx * kKappa, ky = ry * kKappa;
    UIBezierPath p;
    p.moveToPoint({cx + rx, cy});
    p.addCurveToPoint({cx, cy + ry}, {cx + rx, cy + ky}, {cx + kx, cy + ry});
    p.addCurveToPoint({cx - rx, cy}, {cx - kx, cy + ry}, {cx - rx, cy + ky});
    p.addCurveToPoint({cx, cy - ry}, {cx - rx, cy - ky}, {cx - kx, cy - ry});
    p.addCurveToPoint({cx + rx, cy}, {cx + kx, cy - ry}, {cx + rx, cy - ky});
    p.closePath();
    return p;
}

UIBezierPath UIBezierPath::bezierPathWithArcCenter(CGPoint c, CGFloat radius, CGFloat a0,
                                                   CGFloat a1, bool clockwise) {
    UIBezierPath p;
    p.addArcWithCenter(c, radius, a0, a1, clockwise);
    return p;
}

void UIBezierPath::moveToPoint(CGPoint p) {
    elements_.push_back({Op::Move, {p, {}, {}}});
    current_ = subpathStart_ = p;
}

void UIBezierPath::addLineToPoint(CGPoint p) {
    if (elements_.empty()) {
        moveToPoint(p);
        return;
    }
    elements_.push_back({Op::Line, {p, {}, {}}});
    current_ = p;
}

void UIBezierPath::addCurveToPoint(CGPoint end, CGPoint c1, CGPoint c2) {
    if (elements_.empty()) moveToPoint(end);
    elements_.push_back({Op::Curve, {c1, c2, end}});
    current_ = end;
}

void UIBezierPath::addQuadCurveToPoint(CGPoint end, CGPoint c) {
    CGPoint p0 = current_;
    CGPoint c1{p0.x + 2.0 / 3 * (c.x - p0.x), p0.y + 2.0 / 3 * (c.y - p0.y)};
    CGPoint c2{end.x + 2.0 / 3 * (c.x - end.x), end.y + 2.0 / 3 * (c.y - end.y)};
    addCurveToPoint(end, c1, c2);
}

void UIBezierPath::addArcWithCenter(CGPoint c, CGFloat radius, CGFloat a0, CGFloat a1,
                                    bool clockwise) {
    // Normalise the sweep to the requested direction, then split it into
    // pieces of at most a quarter turn, each one cubic curve.
    double sweep = a1 - a0;
    const double full = 2 * M_PI;
    if (clockwise) {
        if (sweep < 0) sweep = std::fmod(sweep, full) + full;
        if (sweep > full) sweep = full;
    } else {
        if (sweep > 0) sweep = std::fmod(sweep, full) - full;
        if (sweep < -full) sweep = -full;
    }
    CGPoint start{c.x + radius * std::cos(a0), c.y + radius * std::sin(a0)};
    if (elements_.empty())
        moveToPoint(start);
    else
        addLineToPoint(start);
    int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (M_PI / 2) - 1e-9)));
    double step = sweep / pieces;
    double a = a0;
    for (int i = 0; i < pieces; ++i) {
        double b = a + step;
        double k = 4.0 / 3 * std::tan((b - a) / 4);
        CGPoint p0{c.x + radius * std::cos(a), c.y + radius * std::sin(a)};
        CGPoint p3{c.x + radius * std::cos(b), c.y + radius * std::sin(b)};
        CGPoint c1{p0.x - k * radius * std::sin(a), p0.y + k * radius * std::cos(a)};
        CGPoint c2{p3.x + k * radius * std::sin(b), p3.y - k * radius * std::cos(b)};
        addCurveToPoint(p3, c1, c2);
        a = b;
    }
}

void UIBezierPath::closePath() {
    if (elements_.empty()) return;
    elements_.push_back({Op::Close, {}});
    current_ = subpathStart_;
}

void UIBezierPath::appendPath(const UIBezierPath& other) {
    elements_.insert(elements_.end(), other.elements_.begin(), other.elements_.end());
    if (!other.elements_.empty()) {
        current_ = other.current_;
        subpathStart_ = other.subpathStart_;
    }
}

void UIBezierPath::removeAllPoints() {
    elements_.clear();
    current_ = subpathStart_ = {};
}

void UIBezierPath::applyTransform(const CGAffineTransform& t) {
    for (auto& e : elements_)
        for (auto& p : e.p)
            p = CGPointApplyAffineTransform(p, t);
    current_ = CGPointApplyAffineTransform(current_, t);
    subpathStart_ = CGPointApplyAffineTransform(subpathStart_, t);
}

CGRect UIBezierPath::bounds() const {
    if (elements_.empty()) return CGRectNull;
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    auto add = [&](CGPoint p) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    };
    for (auto& e : elements_) {
        switch (e.op) {
            case Op::Move:
            case Op::Line:
                add(e.p[0]);
                break;
            case Op::Curve:
                add(e.p[0]), add(e.p[1]), add(e.p[2]);
                break;
            case Op::Close:
                break;
        }
    }
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

void UIBezierPath::apply(cairo_t* cr) const {
    cairo_new_path(cr);
    for (auto& e : elements_) {
        switch (e.op) {
            case Op::Move:
                cairo_move_to(cr, e.p[0].x, e.p[0].y);
                break;
            case Op::Line:
                cairo_line_to(cr, e.p[0].x, e.p[0].y);
                break;
            case Op::Curve:
                cairo_curve_to(cr, e.p[0].x, e.p[0].y, e.p[1].x, e.p[1].y, e.p[2].x, e.p[2].y);
                break;
            case Op::Close:
                cairo_close_path(cr);
                break;
        }
    }
}

bool UIBezierPath::containsPoint(CGPoint p) const {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(s);
    apply(cr);
    cairo_set_fill_rule(cr,
                        usesEvenOddFillRule ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    bool inside = cairo_in_fill(cr, p.x, p.y);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return inside;
}

void UIBezierPath::fill() const {
    if (auto* ctx = UIGraphicsGetCurrentContext()) ctx->fillPath(*this);
}

void UIBezierPath::stroke() const {
    if (auto* ctx = UIGraphicsGetCurrentContext()) ctx->strokePath(*this);
}

void UIBezierPath::addClip() const {
    if (auto* ctx = UIGraphicsGetCurrentContext()) ctx->clipToPath(*this);
}

}  // namespace platform::ui
