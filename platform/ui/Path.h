#pragma once

// Plain values, safe on any thread. Everything else of the UI layer belongs to
// the main thread (platform/MainThread.h).

#include <memory>
#include <vector>

#include "platform/ui/Geometry.h"

typedef struct _cairo cairo_t;

namespace platform::ui {

enum class CGLineCap { Butt = 0, Round = 1, Square = 2 };
enum class CGLineJoin { Miter = 0, Round = 1, Bevel = 2 };

// A vector path: lines, curves, arcs and closed sub-paths, in points. The
// platform's CGPath and UIBezierPath are the same thing here; paths handed to
// layers are shared immutable values (CGPathRef).
class UIBezierPath {
  public:
    UIBezierPath() = default;

    static UIBezierPath bezierPath() { return {}; }
    static UIBezierPath bezierPathWithRect(const CGRect& rect);
    static UIBezierPath bezierPathWithRoundedRect(const CGRect& rect, CGFloat cornerRadius);
    static UIBezierPath bezierPathWithOvalInRect(const CGRect& rect);
    // Angles in radians from the positive x axis, clockwise on screen when
    // `clockwise` (y grows downward).
    static UIBezierPath bezierPathWithArcCenter(CGPoint center, CGFloat radius, CGFloat startAngle,
                                                CGFloat endAngle, bool clockwise);

    void moveToPoint(CGPoint p);
    void addLineToPoint(CGPoint p);
    void addCurveToPoint(CGPoint end, CGPoint control1, CGPoint control2);
    void addQuadCurveToPoint(CGPoint end, CGPoint control);
    void addArcWithCenter(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                          bool clockwise);
    void closePath();
    void appendPath(const UIBezierPath& other);
    void removeAllPoints();
    void applyTransform(const CGAffineTransform& t);

    bool isEmpty() const { return elements_.empty(); }
    CGPoint currentPoint() const { return current_; }
    // Bounding box of the points and control points; the null rectangle for
    // an empty path.
    CGRect bounds() const;
    // Non-zero winding test of the filled area.
    bool containsPoint(CGPoint p) const;

    // Drawing attributes used by fill()/stroke() on the current context.
    CGFloat lineWidth = 1;
    CGLineCap lineCapStyle = CGLineCap::Butt;
    CGLineJoin lineJoinStyle = CGLineJoin::Miter;
    bool usesEvenOddFillRule = false;

    // Draws in the current graphics context (inside drawRect or an image context).
    void fill() const;
    void stroke() const;
    // Makes the path the clipping area of the current context.
    void addClip() const;

    // Replays the path on a cairo context (new path first).
    void apply(cairo_t* cr) const;

    enum class Op { Move, Line, Curve, Close };
    struct Element {
        Op op;
        CGPoint p[3];
    };
    const std::vector<Element>& elements() const { return elements_; }

  private:
    std::vector<Element> elements_;
    CGPoint current_{};
    CGPoint subpathStart_{};
};

using CGPathRef = std::shared_ptr<const UIBezierPath>;
inline CGPathRef CGPathCreateWithRect(const CGRect& r) {
    return std::make_shared<UIBezierPath>(UIBezierPath::bezierPathWithRect(r));
}
inline CGPathRef CGPathCreateCopy(const UIBezierPath& p) {
    return std::make_shared<UIBezierPath>(p);
}
inline CGRect CGPathGetBoundingBox(const CGPathRef& p) {
    return p ? p->bounds() : CGRectNull;
}

}  // namespace platform::ui
