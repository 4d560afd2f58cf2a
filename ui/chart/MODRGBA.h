#pragma once

#include <optional>

#include "platform/ui/Color.h"

// A colour split into the components the drawing calls take, each in 0..1.
struct MODRGBA {
    platform::ui::CGFloat red = 0;
    platform::ui::CGFloat gree = 0;
    platform::ui::CGFloat blue = 0;
    platform::ui::CGFloat alpha = 0;

    // The components of the colour, each held to 0..1 (a component written
    // beyond the scale counts as full); no colour gives transparent black.
    static MODRGBA withColor(const std::optional<platform::ui::UIColor>& color);
    platform::ui::UIColor color() const { return {red, gree, blue, alpha}; }
};
