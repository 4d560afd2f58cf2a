#pragma once

#include <optional>
#include <string>

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"

// One axis of the chart: the time axis (type 1) or a vertical axis (type 2)
// with the pane it scales. origin, height, width and the value range are
// written by every drawing pass, not by the configuration.
struct MODAxis {
    static constexpr int kTypeTime = 1;
    static constexpr int kTypeVertical = 2;

    std::string key;
    int axisType = 0;
    std::string title;                                // not drawn
    std::optional<platform::ui::UIColor> titleColor;  // colour of the axis labels
    std::optional<platform::ui::UIColor> gridLineColor;
    platform::ui::CGFloat gridLineWidth = 0;
    int gridLineStyle = 0;                    // not used
    platform::ui::CGFloat heightPercent = 0;  // share of the drawing height
    platform::ui::CGFloat widthPercent = 0;   // not used
    platform::ui::CGFloat padding = 0;        // room reserved for the labels
    platform::ui::CGPoint origin;
    platform::ui::CGFloat height = 0;
    platform::ui::CGFloat width = 0;
    double maxValue = 0;
    double minValue = 0;
};
