#pragma once

// Plain values, safe on any thread. Everything else of the UI layer belongs to
// the main thread (platform/MainThread.h).

#include <memory>
#include <string>

#include "platform/ui/Geometry.h"

typedef struct _cairo cairo_t;

namespace platform::ui {

class UIImage;

// An RGBA colour, components 0..1, not premultiplied. A value type: the
// platform's nil colour is written as std::optional<UIColor> where it matters,
// and otherwise as clearColor().
//
// A pattern colour paints its image tiled instead of a flat colour, the
// tiles lined up with the origin of the coordinates it is drawn in (the
// bounds of the view whose background it is); alpha fades the whole pattern.
struct UIColor {
    CGFloat red = 0, green = 0, blue = 0, alpha = 0;
    std::shared_ptr<const UIImage> patternImage;

    UIColor() = default;
    UIColor(CGFloat r, CGFloat g, CGFloat b, CGFloat a) : red(r), green(g), blue(b), alpha(a) {}

    bool operator==(const UIColor&) const = default;

    static UIColor colorWithRed(CGFloat r, CGFloat g, CGFloat b, CGFloat a) { return {r, g, b, a}; }
    static UIColor colorWithWhite(CGFloat white, CGFloat a) { return {white, white, white, a}; }
    // Components on the 0..255 scale the screens are written in.
    static UIColor rgb255(int r, int g, int b, CGFloat a = 1) {
        return {r / 255.0, g / 255.0, b / 255.0, a};
    }
    static UIColor grey255(int level, CGFloat a = 1) { return rgb255(level, level, level, a); }

    static UIColor clearColor() { return {0, 0, 0, 0}; }
    static UIColor blackColor() { return {0, 0, 0, 1}; }
    static UIColor whiteColor() { return {1, 1, 1, 1}; }
    static UIColor darkGrayColor() { return colorWithWhite(1.0 / 3, 1); }
    static UIColor grayColor() { return colorWithWhite(0.5, 1); }
    static UIColor lightGrayColor() { return colorWithWhite(2.0 / 3, 1); }
    static UIColor redColor() { return {1, 0, 0, 1}; }
    static UIColor greenColor() { return {0, 1, 0, 1}; }
    static UIColor blueColor() { return {0, 0, 1, 1}; }
    static UIColor yellowColor() { return {1, 1, 0, 1}; }
    // The system tint (accent blue of the platform's controls).
    static UIColor systemTintColor() { return rgb255(0, 122, 255); }
    // Tiles the image (clear when there is none).
    static UIColor colorWithPatternImage(std::shared_ptr<const UIImage> image);

    UIColor colorWithAlphaComponent(CGFloat a) const {
        UIColor c = *this;
        c.alpha = a;
        return c;
    }
    bool isClear() const { return alpha <= 0; }
    // "#rrggbbaa" for logs and dumps.
    std::string description() const;
};

// Linear interpolation, used by animations (a pattern cannot blend: it
// changes at the halfway point).
UIColor UIColorLerp(const UIColor& a, const UIColor& b, CGFloat t);

// Makes the colour the cairo source, its alpha multiplied by `alpha`; a
// pattern is anchored at the current user-space origin.
void UIColorSetCairoSource(cairo_t* cr, const UIColor& color, CGFloat alpha = 1);

}  // namespace platform::ui
