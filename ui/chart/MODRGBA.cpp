#include "ui/chart/MODRGBA.h"

#include <algorithm>
#include <cmath>

namespace {

platform::ui::CGFloat unit(platform::ui::CGFloat v) {
    // NaN counts as nothing rather than spreading into the drawing calls.
    return std::isnan(v) ? 0 : std::clamp<platform::ui::CGFloat>(v, 0, 1);
}

}  // namespace

MODRGBA MODRGBA::withColor(const std::optional<platform::ui::UIColor>& color) {
    if (!color) return {};
    return {unit(color->red), unit(color->green), unit(color->blue), unit(color->alpha)};
}
