#pragma once

// Plain values, safe on any thread. Everything else of the UI layer belongs to
// the main thread (platform/MainThread.h).

// Points, sizes, rectangles and transforms of the UI layer. Coordinates are
// floating-point points with y growing downward; the window maps points to
// pixels with the screen's scale factor.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace platform::ui {

using CGFloat = double;

struct CGPoint {
    CGFloat x = 0, y = 0;
    bool operator==(const CGPoint&) const = default;
};

struct CGSize {
    CGFloat width = 0, height = 0;
    bool operator==(const CGSize&) const = default;
};

struct CGVector {
    CGFloat dx = 0, dy = 0;
    bool operator==(const CGVector&) const = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    bool operator==(const CGRect&) const = default;
};

inline CGPoint CGPointMake(CGFloat x, CGFloat y) {
    return {x, y};
}
inline CGSize CGSizeMake(CGFloat w, CGFloat h) {
    return {w, h};
}
inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat w, CGFloat h) {
    return {{x, y}, {w, h}};
}

inline constexpr CGPoint CGPointZero{};
inline constexpr CGSize CGSizeZero{};
inline constexpr CGRect CGRectZero{};
// The null rectangle: the result of intersecting disjoint rectangles.
inline constexpr CGRect CGRectNull{
    {std::numeric_limits<CGFloat>::infinity(), std::numeric_limits<CGFloat>::infinity()}, {0, 0}};

// Standardised accessors (negative sizes count from the other edge).
CGFloat CGRectGetMinX(const CGRect& r);
CGFloat CGRectGetMinY(const CGRect& r);
CGFloat CGRectGetMaxX(const CGRect& r);
CGFloat CGRectGetMaxY(const CGRect& r);
CGFloat CGRectGetMidX(const CGRect& r);
CGFloat CGRectGetMidY(const CGRect& r);
inline CGFloat CGRectGetWidth(const CGRect& r) {
    return std::fabs(r.size.width);
}
inline CGFloat CGRectGetHeight(const CGRect& r) {
    return std::fabs(r.size.height);
}
CGRect CGRectStandardize(const CGRect& r);
bool CGRectIsNull(const CGRect& r);
bool CGRectIsEmpty(const CGRect& r);
bool CGRectContainsPoint(const CGRect& r, CGPoint p);
bool CGRectContainsRect(const CGRect& outer, const CGRect& inner);
bool CGRectIntersectsRect(const CGRect& a, const CGRect& b);
CGRect CGRectIntersection(const CGRect& a, const CGRect& b);
CGRect CGRectUnion(const CGRect& a, const CGRect& b);
CGRect CGRectInset(const CGRect& r, CGFloat dx, CGFloat dy);
CGRect CGRectOffset(const CGRect& r, CGFloat dx, CGFloat dy);
// The smallest rectangle with whole-number edges that holds the rectangle.
CGRect CGRectIntegral(const CGRect& r);
bool CGRectEqualToRect(const CGRect& a, const CGRect& b);

struct UIEdgeInsets {
    CGFloat top = 0, left = 0, bottom = 0, right = 0;
    bool operator==(const UIEdgeInsets&) const = default;
};
inline UIEdgeInsets UIEdgeInsetsMake(CGFloat t, CGFloat l, CGFloat b, CGFloat r) {
    return {t, l, b, r};
}
inline constexpr UIEdgeInsets UIEdgeInsetsZero{};
CGRect UIEdgeInsetsInsetRect(const CGRect& r, const UIEdgeInsets& insets);

struct UIOffset {
    CGFloat horizontal = 0, vertical = 0;
    bool operator==(const UIOffset&) const = default;
};
inline UIOffset UIOffsetMake(CGFloat h, CGFloat v) {
    return {h, v};
}
inline constexpr UIOffset UIOffsetZero{};

// A 2-D affine transform: x' = a x + c y + tx, y' = b x + d y + ty.
struct CGAffineTransform {
    CGFloat a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;
    bool operator==(const CGAffineTransform&) const = default;
};
inline constexpr CGAffineTransform CGAffineTransformIdentity{};
CGAffineTransform CGAffineTransformMake(CGFloat a, CGFloat b, CGFloat c, CGFloat d, CGFloat tx,
                                        CGFloat ty);
CGAffineTransform CGAffineTransformMakeTranslation(CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy);
CGAffineTransform CGAffineTransformMakeRotation(CGFloat angle);
// t1 then t2 (a point is transformed by t1 first).
CGAffineTransform CGAffineTransformConcat(const CGAffineTransform& t1, const CGAffineTransform& t2);
// Prepends: the translation/scale/rotation applies before `t`.
CGAffineTransform CGAffineTransformTranslate(const CGAffineTransform& t, CGFloat tx, CGFloat ty);
CGAffineTransform CGAffineTransformScale(const CGAffineTransform& t, CGFloat sx, CGFloat sy);
CGAffineTransform CGAffineTransformRotate(const CGAffineTransform& t, CGFloat angle);
CGAffineTransform CGAffineTransformInvert(const CGAffineTransform& t);
bool CGAffineTransformIsIdentity(const CGAffineTransform& t);
CGPoint CGPointApplyAffineTransform(CGPoint p, const CGAffineTransform& t);
CGSize CGSizeApplyAffineTransform(CGSize s, const CGAffineTransform& t);
// The bounding box of the transformed rectangle.
CGRect CGRectApplyAffineTransform(const CGRect& r, const CGAffineTransform& t);

// A 4x4 layer transform (row vectors, as the layer model writes it:
// p' = p * M). A layer is drawn with its plane projected through the whole
// transform, perspective (m34) and turns about x or y included; hit tests,
// frames and coordinate conversions use the affine part (m11 m12 m21 m22 m41
// m42), which covers every scale and translation.
struct CATransform3D {
    CGFloat m11 = 1, m12 = 0, m13 = 0, m14 = 0;
    CGFloat m21 = 0, m22 = 1, m23 = 0, m24 = 0;
    CGFloat m31 = 0, m32 = 0, m33 = 1, m34 = 0;
    CGFloat m41 = 0, m42 = 0, m43 = 0, m44 = 1;
    bool operator==(const CATransform3D&) const = default;
};
inline constexpr CATransform3D CATransform3DIdentity{};
bool CATransform3DIsIdentity(const CATransform3D& t);
CATransform3D CATransform3DMakeTranslation(CGFloat tx, CGFloat ty, CGFloat tz);
CATransform3D CATransform3DMakeScale(CGFloat sx, CGFloat sy, CGFloat sz);
CATransform3D CATransform3DMakeRotation(CGFloat angle, CGFloat x, CGFloat y, CGFloat z);
// a then b.
CATransform3D CATransform3DConcat(const CATransform3D& a, const CATransform3D& b);
// Prepends to t (the new step applies first, "in the scaled space").
CATransform3D CATransform3DTranslate(const CATransform3D& t, CGFloat tx, CGFloat ty, CGFloat tz);
CATransform3D CATransform3DScale(const CATransform3D& t, CGFloat sx, CGFloat sy, CGFloat sz);
CATransform3D CATransform3DRotate(const CATransform3D& t, CGFloat angle, CGFloat x, CGFloat y,
                                  CGFloat z);
CATransform3D CATransform3DMakeAffineTransform(const CGAffineTransform& t);
CGAffineTransform CATransform3DGetAffineTransform(const CATransform3D& t);

// A range of characters (code points) in a text.
struct NSRange {
    size_t location = 0, length = 0;
    bool operator==(const NSRange&) const = default;
};
inline NSRange NSMakeRange(size_t loc, size_t len) {
    return {loc, len};
}
inline constexpr size_t NSNotFound = static_cast<size_t>(std::numeric_limits<long>::max());

// Row address in a table or picker.
struct NSIndexPath {
    long section = 0;
    long row = 0;
    static NSIndexPath indexPathForRow(long row, long section) { return {section, row}; }
    bool operator==(const NSIndexPath&) const = default;
    auto operator<=>(const NSIndexPath&) const = default;
};

std::string NSStringFromCGRect(const CGRect& r);
std::string NSStringFromCGPoint(CGPoint p);

}  // namespace platform::ui
