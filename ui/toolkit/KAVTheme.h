#pragma once

// The colours and sizes that the screens share, in one place. Components are
// on the 0..255 scale the screens are written in.

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"

namespace kavtheme {

using platform::ui::CGFloat;
using platform::ui::UIColor;

// Price moves and signed values.
inline UIColor rise() {
    return UIColor::rgb255(187, 46, 36);
}  // rising, positive
inline UIColor fall() {
    return UIColor::rgb255(111, 255, 27);
}  // falling, negative
inline UIColor flat() {
    return UIColor::grey255(160);
}  // unchanged, zero
// A colour for the sign of a value: red above 0, green below, grey at 0.
inline UIColor forSign(double value) {
    return value > 0 ? rise() : value < 0 ? fall() : flat();
}

// Surfaces.
inline UIColor screenBackground() {
    return UIColor::grey255(30);
}
inline UIColor panelBackground() {
    return UIColor::grey255(40);
}  // panels, list cells
inline UIColor inputBackground() {
    return UIColor::grey255(60);
}  // input and caption fields
inline UIColor accent() {
    return UIColor::rgb255(39, 140, 192);
}  // borders, highlights
inline UIColor separator() {
    return UIColor::rgb255(111, 118, 138);
}
inline UIColor confirmButton() {
    return UIColor::rgb255(19, 145, 55);
}

// Texts.
inline UIColor primaryText() {
    return UIColor::grey255(240);
}
inline UIColor secondaryText() {
    return UIColor::grey255(220);
}
inline UIColor dimText() {
    return UIColor::grey255(160);
}

// Sizes.
inline constexpr CGFloat kSeparatorHeight = 0.5;
inline constexpr CGFloat kOrderColumnInset = 20;  // order screens' content column, each side
inline constexpr CGFloat kButtonCornerRadius = 5;
inline constexpr CGFloat kKeyboardBarHeight = 44;
inline constexpr double kKeyboardShiftDuration = 0.2;

}  // namespace kavtheme
