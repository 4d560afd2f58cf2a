#pragma once

#include <optional>
#include <string>

#include "platform/ui/Color.h"
#include "ui/chart/MODKAVCahrtData.h"

// One series of the chart: which data list it draws, as what (seriesType),
// on which vertical axis, in which colours, and its caption.
struct MODSeries {
    // Series types and the value drawn per sample.
    static constexpr int kTypeAverage = 1;  // line of priceClose (K-line mode)
    static constexpr int kTypeCandle = 2;   // candlesticks (K-line mode)
    static constexpr int kTypeMinute = 3;   // line of priceClose (minute mode)
    static constexpr int kTypeEMA12 = 4;    // line of ema12
    static constexpr int kTypeEMA26 = 5;    // line of ema26
    static constexpr int kTypeDIF = 6;      // line of dif
    static constexpr int kTypeDEA = 7;      // line of dea
    static constexpr int kTypeMACD = 8;     // columns of dif - dea
    // Caption placement.
    static constexpr int kAlignAtX = 1;
    static constexpr int kAlignRight = 3;

    std::string name;  // not read
    std::string key;
    std::string datakey;
    int seriesType = 0;
    platform::ui::CGFloat lineWidth = 0;
    std::optional<platform::ui::UIColor> lineColor;
    std::optional<platform::ui::UIColor> fillColor;
    std::optional<platform::ui::UIColor> lineColorFallDown;
    std::optional<platform::ui::UIColor> lineColorRiseUp;
    std::optional<platform::ui::UIColor> fillColorFallDown;
    std::optional<platform::ui::UIColor> fillColorRiseUp;
    std::optional<platform::ui::UIColor> labelColor;
    std::string labelFormat;  // caption, or its format with "%@" places
    int labelAlign = 0;
    double labelX = 0;
    std::string yAxiskey;
    MODChartListPtr arrPoint;  // the list handed over for the current frame
};
