#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <string_view>
#include <vector>

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"
#include "platform/ui/Path.h"
#include "platform/ui/Text.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_pattern cairo_pattern_t;
typedef struct _cairo_surface cairo_surface_t;

namespace platform::ui {

enum class CGBlendMode {
    Normal,
    Multiply,
    Screen,
    Overlay,
    Darken,
    Lighten,
    Clear,
    Copy,
    SourceIn,
    SourceOut,
    SourceAtop,
    DestinationOver,
    DestinationIn,
    DestinationOut,
    DestinationAtop,
    XOR,
};

enum class CGPathDrawingMode { Fill, EOFill, Stroke, FillStroke, EOFillStroke };

// Gradient drawing options: extend the end colours beyond the start or end.
enum CGGradientDrawingOptions : unsigned {
    kCGGradientDrawsBeforeStartLocation = 1,
    kCGGradientDrawsAfterEndLocation = 2,
};

struct CGGradient {
    std::vector<UIColor> colors;
    // 0..1 positions, one per colour; empty means evenly spaced.
    std::vector<CGFloat> locations;
};

// The drawing context handed to drawRect and to image contexts: the project's
// counterpart of the platform's Core Graphics context, over Cairo. Units are
// points; the context already maps them to pixels. State (colours, line,
// shadow, alpha, blend mode, clip, transform) is saved and restored as a
// whole by saveGState/restoreGState.
class Canvas {
  public:
    explicit Canvas(cairo_t* cr);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* cairo() const { return cr_; }

    void saveGState();
    void restoreGState();

    void translateCTM(CGFloat tx, CGFloat ty);
    void scaleCTM(CGFloat sx, CGFloat sy);
    void rotateCTM(CGFloat angle);
    void concatCTM(const CGAffineTransform& t);
    CGAffineTransform getCTM() const;

    void setFillColor(const UIColor& c) { state_.fill = c; }
    void setStrokeColor(const UIColor& c) { state_.stroke = c; }
    // Stroke colour from components (as the chart's "RGBA" records do).
    void setRGBStrokeColor(CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
        state_.stroke = {r, g, b, a};
    }
    void setRGBFillColor(CGFloat r, CGFloat g, CGFloat b, CGFloat a) { state_.fill = {r, g, b, a}; }
    void setLineWidth(CGFloat w) { state_.lineWidth = w; }
    void setLineCap(CGLineCap cap) { state_.cap = cap; }
    void setLineJoin(CGLineJoin join) { state_.join = join; }
    void setLineDash(CGFloat phase, const std::vector<CGFloat>& lengths);
    void setAlpha(CGFloat a) { state_.alpha = a; }
    void setBlendMode(CGBlendMode mode) { state_.blend = mode; }
    // Shadow of the fills and strokes that follow: offset in points (y down),
    // blur in points, colour (clear: none).
    void setShadowWithColor(CGSize offset, CGFloat blur, const UIColor& color);
    void setShadow(CGSize offset, CGFloat blur) {
        setShadowWithColor(offset, blur, UIColor::colorWithWhite(0, 1.0 / 3));
    }
    void clearShadow() { state_.shadowColor = UIColor::clearColor(); }

    // The current path.
    void beginPath();
    void moveToPoint(CGFloat x, CGFloat y);
    void addLineToPoint(CGFloat x, CGFloat y);
    void addCurveToPoint(CGFloat c1x, CGFloat c1y, CGFloat c2x, CGFloat c2y, CGFloat x, CGFloat y);
    void addArc(CGFloat x, CGFloat y, CGFloat radius, CGFloat startAngle, CGFloat endAngle,
                bool clockwise);
    void addRect(const CGRect& r);
    void addPath(const UIBezierPath& p);
    void closePath();
    const UIBezierPath& currentPath() const { return path_; }
    // Paint the current path and clear it.
    void fillPath();
    void eoFillPath();
    void strokePath();
    void drawPath(CGPathDrawingMode mode);
    // Intersects the clip with the current path and clears it.
    void clip();

    void fillRect(const CGRect& r);
    void strokeRect(const CGRect& r);
    void strokeRectWithWidth(const CGRect& r, CGFloat width);
    // Makes the area transparent.
    void clearRect(const CGRect& r);
    void fillEllipseInRect(const CGRect& r);
    void strokeEllipseInRect(const CGRect& r);
    // Pairs of points, one segment per pair.
    void strokeLineSegments(const std::vector<CGPoint>& points);
    void fillPath(const UIBezierPath& p);
    void strokePath(const UIBezierPath& p);
    void clipToRect(const CGRect& r);
    void clipToPath(const UIBezierPath& p);

    void drawLinearGradient(const CGGradient& g, CGPoint start, CGPoint end, unsigned options = 0);
    void drawRadialGradient(const CGGradient& g, CGPoint startCenter, CGFloat startRadius,
                            CGPoint endCenter, CGFloat endRadius, unsigned options = 0);

    // Text in a rectangle (wrapping, alignment and truncation of the style);
    // returns the size used. `held`: its layout is taken from and kept there
    // (NSStringDrawInRect).
    CGSize drawText(std::string_view text, const CGRect& rect, const TextStyle& style,
                    TextLayoutHeld* held = nullptr);
    // One line of text with its top-left corner at the point, optionally on a
    // background colour that covers the text's box.
    CGSize drawTextAtPoint(std::string_view text, CGPoint point, const UIFont& font,
                           const UIColor& color, const UIColor& background = UIColor::clearColor());

    // Draws the image into the rectangle (nine-slice for resizable images),
    // with the current blend mode and alpha (times `alpha`).
    void drawImage(const UIImage& image, const CGRect& rect, CGFloat alpha = 1);

  private:
    struct State {
        UIColor fill = UIColor::blackColor();
        UIColor stroke = UIColor::blackColor();
        CGFloat lineWidth = 1;
        CGLineCap cap = CGLineCap::Butt;
        CGLineJoin join = CGLineJoin::Miter;
        CGFloat alpha = 1;
        CGBlendMode blend = CGBlendMode::Normal;
        CGSize shadowOffset{};
        CGFloat shadowBlur = 0;
        UIColor shadowColor = UIColor::clearColor();
    };

    void applyStroke();
    // Paints the gradient pattern (taken over) over the clip.
    void paintGradient(cairo_pattern_t* pattern, const CGGradient& g, unsigned options);
    void setSource(const UIColor& c);
    // Paints `paint` (which draws with the current source) with shadow,
    // alpha and blend mode of the state.
    template <typename F>
    void paint(F&& draw, const UIBezierPath* shape, bool stroke);

    cairo_t* cr_;
    State state_;
    std::vector<State> saved_;
    UIBezierPath path_;
};

// The context that drawRect and image contexts draw into; null outside them.
Canvas* UIGraphicsGetCurrentContext();
void UIGraphicsPushContext(Canvas* canvas);
void UIGraphicsPopContext();

// Draws a blurred shadow of a filled path on a cairo context (device-space
// blur). Used by the canvas and by layer shadows.
void drawBlurredShadow(cairo_t* cr, const UIBezierPath& shape, CGSize offset, CGFloat blur,
                       const UIColor& color);

// A layer's shadow kept between frames: blurring is the costly part, so the
// blur is made again only when the shape, the blur radius or the drawing
// scale changes (or the layer moves by part of a pixel); the colour and the
// offset are applied as it is drawn.
class ShadowCache {
  public:
    ShadowCache() = default;
    ~ShadowCache();
    ShadowCache(const ShadowCache&) = delete;
    ShadowCache& operator=(const ShadowCache&) = delete;
    void draw(cairo_t* cr, const UIBezierPath& shape, CGSize offset, CGFloat blur,
              const UIColor& color);

  private:
    cairo_surface_t* mask_ = nullptr;
    UIBezierPath shape_;
    CGFloat blur_ = 0;
    double at_[6] = {};
    int x_ = 0, y_ = 0;
};

// Shadows blurred so far (tests and benchmarks).
size_t shadowBlursMade();
// Kept shadows drawn so far, whether blurred again or not (tests).
size_t shadowsDrawn();

}  // namespace platform::ui
