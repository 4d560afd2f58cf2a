#pragma once

#include <optional>
#include <string>

#include "platform/ui/Color.h"

// A caption of the chart's caption table; only its colour is read when the
// captions are drawn.
struct MODSmallLabel {
    platform::ui::CGFloat originX = 0;
    platform::ui::CGFloat originY = 0;
    std::string text;
    std::optional<platform::ui::UIColor> textColor;
};
