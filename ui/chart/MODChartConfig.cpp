#include "ui/chart/MODChartConfig.h"

using platform::ui::UIColor;

namespace {

const UIColor kRise = UIColor::rgb255(221, 51, 51);
const UIColor kFall = UIColor::rgb255(64, 142, 80);

std::shared_ptr<MODAxis> axis(const std::string& key, int type, const std::string& title,
                              UIColor titleColor, double heightPercent, double padding,
                              std::optional<UIColor> gridColor, double gridWidth) {
    auto a = std::make_shared<MODAxis>();
    a->key = key;
    a->axisType = type;
    a->title = title;
    a->titleColor = titleColor;
    a->heightPercent = heightPercent;
    a->padding = padding;
    a->gridLineColor = gridColor;
    a->gridLineWidth = gridWidth;
    return a;
}

std::shared_ptr<MODSeries> series(const std::string& key, const std::string& datakey,
                                  const std::string& name, int type, const std::string& yAxis,
                                  UIColor lineColor, const std::string& label, int align,
                                  double labelX) {
    auto s = std::make_shared<MODSeries>();
    s->key = key;
    s->datakey = datakey;
    s->name = name;
    s->seriesType = type;
    s->yAxiskey = yAxis;
    s->lineWidth = 1;
    s->lineColor = lineColor;
    s->labelColor = lineColor;
    s->labelFormat = label;
    s->labelAlign = align;
    s->labelX = labelX;
    return s;
}

void riseAndFall(MODSeries& s) {
    s.lineColorRiseUp = s.fillColorRiseUp = kRise;
    s.lineColorFallDown = s.fillColorFallDown = kFall;
}

}  // namespace

std::shared_ptr<MODChartConfig> MODChartConfig::defaultConfig() {
    auto c = std::make_shared<MODChartConfig>();
    c->chartType = kChartLine;
    c->chartViewType = kViewPortrait;
    // The indicator pane shows exactly in K-line mode.
    const bool indicatorPane = c->chartType == kChartKLine;
    c->isShowBorder = true;
    c->borderPadding = 5;
    c->borderWidth = 1;
    c->borderColor = UIColor::rgb255(255, 255, 0, 0.3);
    c->pointPaddingDef = 2;
    c->pointWidthDef = 4;
    c->pointPadding = c->pointPaddingDef;
    c->pointWidth = c->pointWidthDef;
    c->crossLineColor = UIColor::rgb255(255, 255, 0, 0.3);
    c->crossLineWidth = 1;
    c->crossLabelColor = UIColor::blackColor();
    c->crossLabelBackgroundColor = UIColor::rgb255(255, 255, 0, 0.7);

    const UIColor grid = UIColor::colorWithWhite(0.5, 0.3);
    c->yAxiss.setObject(
        axis(chartKey::master, MODAxis::kTypeVertical, "价格", UIColor::colorWithWhite(0.7, 0.8),
             indicatorPane ? 0.7 : 1.0, 30, grid, 1),
        chartKey::master);
    c->yAxiss.setObject(axis(chartKey::index, MODAxis::kTypeVertical, "macd", UIColor::whiteColor(),
                             indicatorPane ? 0.3 : 0, 30, std::nullopt, 0),
                        chartKey::index);
    c->xAxis =
        axis(chartKey::time, MODAxis::kTypeTime, "", UIColor::whiteColor(), 1.0, 20, grid, 1);

    // Added in drawing order: candles under the averages, MACD columns under
    // their two lines.
    c->Series.setObject(
        series(chartKey::minuteLine, chartKey::minuteLine, "MINLine", MODSeries::kTypeMinute,
               chartKey::master, UIColor::rgb255(200, 200, 200), "分时", MODSeries::kAlignAtX, 10),
        chartKey::minuteLine);
    auto candle = series(chartKey::candlestick, chartKey::candlestick, "K 线",
                         MODSeries::kTypeCandle, chartKey::master, UIColor::rgb255(0, 200, 0),
                         "O:%@ H:%@ L:%@ C:%@", MODSeries::kAlignRight, 10);
    riseAndFall(*candle);
    candle->labelColor = UIColor::colorWithWhite(0.7, 0.8);
    c->Series.setObject(candle, chartKey::candlestick);
    c->Series.setObject(
        series(chartKey::ma5, chartKey::ma5, "MA5", MODSeries::kTypeAverage, chartKey::master,
               UIColor::rgb255(200, 200, 0), "MA5", MODSeries::kAlignAtX, 10),
        chartKey::ma5);
    c->Series.setObject(
        series(chartKey::ma10, chartKey::ma10, "MA10", MODSeries::kTypeAverage, chartKey::master,
               UIColor::rgb255(0, 200, 0), "MA10", MODSeries::kAlignAtX, 40),
        chartKey::ma10);
    c->Series.setObject(
        series(chartKey::ma15, chartKey::ma15, "MA15", MODSeries::kTypeAverage, chartKey::master,
               UIColor::rgb255(90, 90, 230), "MA15", MODSeries::kAlignAtX, 70),
        chartKey::ma15);
    auto columns = series("MACD_HG", chartKey::macd, "MACD", MODSeries::kTypeMACD, chartKey::index,
                          UIColor::colorWithRed(1, 200 / 255.0, 0, 1), "MACD(12,26,9)",
                          MODSeries::kAlignAtX, 10);
    riseAndFall(*columns);
    c->Series.setObject(columns, "MACD_HG");
    c->Series.setObject(
        series("MACD_E12", chartKey::macd, "MACD", MODSeries::kTypeDIF, chartKey::index,
               UIColor::colorWithRed(200 / 255.0, 200 / 255.0, 1, 1), "E12", MODSeries::kAlignAtX,
               0),
        "MACD_E12");
    c->Series.setObject(
        series("MACD_E26", chartKey::macd, "MACD", MODSeries::kTypeDEA, chartKey::index,
               UIColor::rgb255(20, 200, 0), "E26", MODSeries::kAlignAtX, 0),
        "MACD_E26");
    return c;
}
