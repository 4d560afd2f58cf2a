#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Color.h"
#include "platform/ui/Image.h"
#include "ui/chart/KAVOrderedDictionary.h"
#include "ui/chart/MODAxis.h"
#include "ui/chart/MODSeries.h"

// Where the owner shows the chart, as it tells it through setToolBar.
enum class ChartViewType : int32_t {
    Portrait = 8,
    Landscape = 16,
};

// Everything that drives a chart view: the chart type, the bar geometry, the
// border and cross-line look, the time axis, the vertical axes and the series.
struct MODChartConfig {
    static constexpr int kChartLine = 1;   // minute line
    static constexpr int kChartKLine = 2;  // candlesticks with indicators
    static constexpr ChartViewType kViewPortrait = ChartViewType::Portrait;
    static constexpr ChartViewType kViewLandscape = ChartViewType::Landscape;

    std::string title;                                // not used by the chart
    std::optional<platform::ui::UIColor> titleColor;  // not used by the chart
    int chartType = 0;
    ChartViewType chartViewType = kViewPortrait;           // stored by setToolBar
    std::optional<platform::ui::UIColor> backgroundColor;  // none: the view's own shows
    platform::ui::UIImagePtr backgroundImage;              // not used
    std::optional<platform::ui::UIColor> crossLineColor;
    platform::ui::CGFloat crossLineWidth = 0;
    int crossLineStyle = 0;  // not used
    std::optional<platform::ui::UIColor> crossLabelColor;
    std::optional<platform::ui::UIColor> crossLabelBackgroundColor;
    platform::ui::CGFloat pointPadding = 0;     // current gap between bars
    platform::ui::CGFloat pointWidth = 0;       // current bar width
    platform::ui::CGFloat pointPaddingDef = 0;  // K-line gap
    platform::ui::CGFloat pointWidthDef = 0;    // K-line bar width (the zoom changes it)
    bool isShowBorder = false;
    platform::ui::CGFloat borderWidth = 0;
    std::optional<platform::ui::UIColor> borderColor;
    platform::ui::CGFloat borderPadding = 0;  // margin round the drawing area
    std::shared_ptr<MODAxis> xAxis;
    KAVOrderedDictionary<MODAxis> yAxiss;  // "master" price pane, "index" indicator pane
    KAVOrderedDictionary<MODSeries> Series;
    int timezone = 0;  // not used

    // The configuration a chart builds when it is given none: minute line,
    // price pane only, the minute line, candlesticks, MA5/10/15 and MACD.
    static std::shared_ptr<MODChartConfig> defaultConfig();
};

// Keys of the default configuration.
namespace chartKey {
inline constexpr const char* master = "master";
inline constexpr const char* index = "index";
inline constexpr const char* time = "time";
inline constexpr const char* minuteLine = "MINLine";
inline constexpr const char* candlestick = "Candlestick";
inline constexpr const char* ma5 = "MA5";
inline constexpr const char* ma10 = "MA10";
inline constexpr const char* ma15 = "MA15";
inline constexpr const char* ma30 = "MA30";
inline constexpr const char* macd = "MACD";
}  // namespace chartKey
