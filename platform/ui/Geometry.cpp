#include "platform/ui/Geometry.h"

#include <algorithm>
#include <cstdio>

namespace platform::ui {

CGRect CGRectStandardize(const CGRect& r) {
    CGRect s = r;
    if (s.size.width < 0) {
        s.origin.x += s.size.width;
        s.size.width = -s.size.width;
    }
    if (s.size.height < 0) {
        s.origin.y += s.size.height;
        s.size.height = -s.size.height;
    }
    return s;
}

CGFloat CGRectGetMinX(const CGRect& r) {
    return CGRectStandardize(r).origin.x;
}
CGFloat CGRectGetMinY(const CGRect& r) {
    return CGRectStandardize(r).origin.y;
}
CGFloat CGRectGetMaxX(const CGRect& r) {
    auto s = CGRectStandardize(r);
    return s.origin.x + s.size.width;
}
CGFloat CGRectGetMaxY(const CGRect& r) {
    auto s = CGRectStandardize(r);
    return s.origin.y + s.size.height;
}
CGFloat CGRectGetMidX(const CGRect& r) {
    auto s = CGRectStandardize(r);
    return s.origin.x + s.size.width / 2;
}
CGFloat CGRectGetMidY(const CGRect& r) {
    auto s = CGRectStandardize(r);
    return s.origin.y + s.size.height / 2;
}

bool CGRectIsNull(const CGRect& r) {
    return std::isinf(r.origin.x) || std::isinf(r.origin.y);
}

bool CGRectIsEmpty(const CGRect& r) {
    return CGRectIsNull(r) || r.size.width == 0 || r.size.height == 0;
}

bool CGRectContainsPoint(const CGRect& r, CGPoint p) {
    if (CGRectIsNull(r)) return false;
    auto s = CGRectStandardize(r);
    return p.x >= s.origin.x && p.x < s.origin.x + s.size.width && p.y >= s.origin.y &&
           p.y < s.origin.y + s.size.height;
}

bool CGRectContainsRect(const CGRect& outer, const CGRect& inner) {
    if (CGRectIsNull(outer) || CGRectIsNull(inner)) return false;
    auto o = CGRectStandardize(outer), i = CGRectStandardize(inner);
    return i.origin.x >= o.origin.x && i.origin.y >= o.origin.y &&
           CGRectGetMaxX(i) <= CGRectGetMaxX(o) && CGRectGetMaxY(i) <= CGRectGetMaxY(o);
}

CGRect CGRectIntersection(const CGRect& a, const CGRect& b) {
    if (CGRectIsNull(a) || CGRectIsNull(b)) return CGRectNull;
    auto sa = CGRectStandardize(a), sb = CGRectStandardize(b);
    CGFloat x0 = std::max(sa.origin.x, sb.origin.x);
    CGFloat y0 = std::max(sa.origin.y, sb.origin.y);
    CGFloat x1 = std::min(CGRectGetMaxX(sa), CGRectGetMaxX(sb));
    CGFloat y1 = std::min(CGRectGetMaxY(sa), CGRectGetMaxY(sb));
    if (x1 < x0 || y1 < y0) return CGRectNull;
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

bool CGRectIntersectsRect(const CGRect& a, const CGRect& b) {
    auto i = CGRectIntersection(a, b);
    return !CGRectIsNull(i) && i.size.width > 0 && i.size.height > 0;
}

CGRect CGRectUnion(const CGRect& a, const CGRect& b) {
    if (CGRectIsNull(a)) return b;
    if (CGRectIsNull(b)) return a;
    auto sa = CGRectStandardize(a), sb = CGRectStandardize(b);
    CGFloat x0 = std::min(sa.origin.x, sb.origin.x);
    CGFloat y0 = std::min(sa.origin.y, sb.origin.y);
    CGFloat x1 = std::max(CGRectGetMaxX(sa), CGRectGetMaxX(sb));
    CGFloat y1 = std::max(CGRectGetMaxY(sa), CGRectGetMaxY(sb));
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

CGRect CGRectInset(const CGRect& r, CGFloat dx, CGFloat dy) {
    auto s = CGRectStandardize(r);
    s.origin.x += dx;
    s.origin.y += dy;
    s.size.width -= 2 * dx;
    s.size.height -= 2 * dy;
    if (s.size.width < 0 || s.size.height < 0) return CGRectNull;
    return s;
}

CGRect CGRectOffset(const CGRect& r, CGFloat dx, CGFloat dy) {
    return CGRectMake(r.origin.x + dx, r.origin.y + dy, r.size.width, r.size.height);
}

CGRect CGRectIntegral(const CGRect& r) {
    if (CGRectIsNull(r)) return r;
    auto s = CGRectStandardize(r);
    CGFloat x0 = std::floor(s.origin.x), y0 = std::floor(s.origin.y);
    CGFloat x1 = std::ceil(s.origin.x + s.size.width), y1 = std::ceil(s.origin.y + s.size.height);
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

bool CGRectEqualToRect(const CGRect& a, const CGRect& b) {
    if (CGRectIsNull(a) || CGRectIsNull(b)) return CGRectIsNull(a) && CGRectIsNull(b);
    return CGRectStandardize(a) == CGRectStandardize(b);
}

CGRect UIEdgeInsetsInsetRect(const CGRect& r, const UIEdgeInsets& in) {
    return CGRectMake(r.origin.x + in.left, r.origin.y + in.top, r.size.width - in.left - in.right,
                      r.size.height - in.top - in.bottom);
}

CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx,
                                        CGFloat ty) {
    return {a, b, c, d, tx, ty};
}
CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty) {
    return {1, 0, 0, 1, tx, ty};
}
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy) {
    return {sx, 0, 0, sy, 0, 0};
}
CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle) {
    CGFloat c = std::cos(angle), s = std::sin(angle);
    return {c, s, -s, c, 0, 0};
}

CGAffineTransform CGAffineTransformConcat(const CGAffineTransform& t1,
                                          const CGAffineTransform& t2) {
    return {t1.a * t2.a + t1.b * t2.c,           t1.a * t2.b + t1.b * t2.d,
            t1.c * t2.a + t1.d * t2.c,           t1.c * t2.b + t1.d * t2.d,
            t1.tx * t2.a + t1.ty * t2.c + t2.tx, t1.tx * t2.b + t1.ty * t2.d + t2.ty};
}

CGAffineTransform CGAffineTransformTranslate(const CGAffineTransform& t, CGFloat tx, CGFloat ty) {
    return CGAffineTransformConcat(CGAffineTransformMakeTranslation(tx, ty), t);
}
CGAffineTransform CGAffineTransformScale(const CGAffineTransform& t, CGFloat sx, CGFloat sy) {
    return CGAffineTransformConcat(CGAffineTransformMakeScale(sx, sy), t);
}
CGAffineTransform CGAffineTransformRotate(const CGAffineTransform& t, CGFloat angle) {
    return CGAffineTransformConcat(CGAffineTransformMakeRotation(angle), t);
}

CGAffineTransform CGAffineTransformInvert(const CGAffineTransform& t) {
    CGFloat det = t.a * t.d - t.b * t.c;
    if (det == 0) return t;
    CGAffineTransform r;
    r.a = t.d / det;
    r.b = -t.b / det;
    r.c = -t.c / det;
    r.d = t.a / det;
    r.tx = -(t.tx * r.a + t.ty * r.c);
    r.ty = -(t.tx * r.b + t.ty * r.d);
    return r;
}

bool CGAffineTransformIsIdentity(const CGAffineTransform& t) {
    return t == CGAffineTransformIdentity;
}

CGPoint CGPointApplyAffineTransform(CGPoint p, const CGAffineTransform& t) {
    return {t.a * p.x + t.c * p.y + t.tx, t.b * p.x + t.d * p.y + t.ty};
}

CGSize CGSizeApplyAffineTransform(CGSize s, const CGAffineTransform& t) {
    return {t.a * s.width + t.c * s.height, t.b * s.width + t.d * s.height};
}

CGRect CGRectApplyAffineTransform(const CGRect& r, const CGAffineTransform& t) {
    if (CGRectIsNull(r)) return r;
    auto s = CGRectStandardize(r);
    CGPoint pts[4] = {{s.origin.x, s.origin.y},
                      {s.origin.x + s.size.width, s.origin.y},
                      {s.origin.x, s.origin.y + s.size.height},
                      {s.origin.x + s.size.width, s.origin.y + s.size.height}};
    CGFloat x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (auto& p : pts) {
        auto q = CGPointApplyAffineTransform(p, t);
        x0 = std::min(x0, q.x);
        y0 = std::min(y0, q.y);
        x1 = std::max(x1, q.x);
        y1 = std::max(y1, q.y);
    }
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

bool CATransform3DIsIdentity(const CATransform3D& t) {
    return t == CATransform3DIdentity;
}

CATransform3D CATransform3DMakeTranslation(CGFloat tx, CGFloat ty, CGFloat tz) {
    CATransform3D t;
    t.m41 = tx;
    t.m42 = ty;
    t.m43 = tz;
    return t;
}

CATransform3D CATransform3DMakeScale(CGFloat sx, CGFloat sy, CGFloat sz) {
    CATransform3D t;
    t.m11 = sx;
    t.m22 = sy;
    t.m33 = sz;
    return t;
}

CATransform3D CATransform3DMakeRotation(CGFloat angle, CGFloat x, CGFloat y, CGFloat z) {
    CGFloat len = std::sqrt(x * x + y * y + z * z);
    if (len == 0) return CATransform3DIdentity;
    x /= len;
    y /= len;
    z /= len;
    CGFloat c = std::cos(angle), s = std::sin(angle), t = 1 - c;
    CATransform3D r;
    r.m11 = t * x * x + c;
    r.m12 = t * x * y + z * s;
    r.m13 = t * x * z - y * s;
    r.m21 = t * x * y - z * s;
    r.m22 = t * y * y + c;
    r.m23 = t * y * z + x * s;
    r.m31 = t * x * z + y * s;
    r.m32 = t * y * z - x * s;
    r.m33 = t * z * z + c;
    return r;
}

CATransform3D CATransform3DConcat(const CATransform3D& a, const CATransform3D& b) {
    const CGFloat A[4][4] = {{a.m11, a.m12, a.m13, a.m14},
                             {a.m21, a.m22, a.m23, a.m24},
                             {a.m31, a.m32, a.m33, a.m34},
                             {a.m41, a.m42, a.m43, a.m44}};
    const CGFloat B[4][4] = {{b.m11, b.m12, b.m13, b.m14},
                             {b.m21, b.m22, b.m23, b.m24},
                             {b.m31, b.m32, b.m33, b.m34},
                             {b.m41, b.m42, b.m43, b.m44}};
    CGFloat R[4][4];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            R[i][j] = 0;
            for (int k = 0; k < 4; ++k)
                R[i][j] += A[i][k] * B[k][j];
        }
    return {R[0][0], R[0][1], R[0][2], R[0][3], R[1][0], R[1][1], R[1][2], R[1][3],
            R[2][0], R[2][1], R[2][2], R[2][3], R[3][0], R[3][1], R[3][2], R[3][3]};
}

CATransform3D CATransform3DTranslate(const CATransform3D& t, CGFloat tx, CGFloat ty, CGFloat tz) {
    return CATransform3DConcat(CATransform3DMakeTranslation(tx, ty, tz), t);
}
CATransform3D CATransform3DScale(const CATransform3D& t, CGFloat sx, CGFloat sy, CGFloat sz) {
    return CATransform3DConcat(CATransform3DMakeScale(sx, sy, sz), t);
}
CATransform3D CATransform3DRotate(const CATransform3D& t, CGFloat angle, CGFloat x, CGFloat y,
                                  CGFloat z) {
    return CATransform3DConcat(CATransform3DMakeRotation(angle, x, y, z), t);
}

CATransform3D CATransform3DMakeAffineTransform(const CGAffineTransform& a) {
    CATransform3D t;
    t.m11 = a.a;
    t.m12 = a.b;
    t.m21 = a.c;
    t.m22 = a.d;
    t.m41 = a.tx;
    t.m42 = a.ty;
    return t;
}

CGAffineTransform CATransform3DGetAffineTransform(const CATransform3D& t) {
    return {t.m11, t.m12, t.m21, t.m22, t.m41, t.m42};
}

std::string NSStringFromCGRect(const CGRect& r) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "{{%g, %g}, {%g, %g}}", r.origin.x, r.origin.y, r.size.width,
                  r.size.height);
    return buf;
}

std::string NSStringFromCGPoint(CGPoint p) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "{%g, %g}", p.x, p.y);
    return buf;
}

}  // namespace platform::ui
