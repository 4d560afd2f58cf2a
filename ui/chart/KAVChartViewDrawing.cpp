// Drawing of the chart view: frame and panes, value-to-pixel mappings, grid
// and axis labels, the series (lines, candlesticks, MACD columns), captions
// and the cross line with its labels.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <string_view>

#include "platform/ui/Canvas.h"
#include "ui/chart/KAVChartView.h"
#include "ui/chart/MODRGBA.h"
#include "ui/services/sysDB.h"

using namespace platform::ui;

namespace {

constexpr int kValueGridLines = 4;
constexpr int kTimeGridLines = 8;
constexpr int kIndexDecimals = 2;
constexpr const char* kTimeFormat = "MM-dd HH:mm";
constexpr double kTimeLabelWidth = 60;
constexpr double kPaneGap = 5;
constexpr double kLabelColumn = 34;

const UIFont& chartFont() {
    static const UIFont font = UIFont::systemFontOfSize(10);
    return font;
}

UIColor colorOf(const std::optional<UIColor>& c) {
    return MODRGBA::withColor(c).color();
}

double sampleValue(int seriesType, const MODKAVCahrtData& d) {
    switch (seriesType) {
        case MODSeries::kTypeEMA12:
            return d.ema12;
        case MODSeries::kTypeEMA26:
            return d.ema26;
        case MODSeries::kTypeDIF:
            return d.dif;
        case MODSeries::kTypeDEA:
            return d.dea;
        case MODSeries::kTypeMACD:
            return d.dif - d.dea;
        default:
            return d.priceClose;
    }
}

// Fills the "%@" places of a caption format in turn ("%%" is a percent
// sign). Formats may come from a caller's configuration, so nothing else in
// them is interpreted; places beyond the arguments stay empty.
std::string fillFormat(std::string_view format, std::initializer_list<std::string> args) {
    std::string out;
    auto next = args.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '@') {
                if (next != args.end()) out += *next++;
                ++i;
                continue;
            }
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

// The value with `decimals` places; a value that rounds to zero shows no
// minus sign.
std::string valueText(double value, int decimals) {
    std::string text = sysDB::formatPrice(value, decimals);
    if (!text.empty() && text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos)
        text.erase(0, 1);
    return text;
}

void addRect(UIBezierPath& path, const CGRect& r) {
    path.moveToPoint(r.origin);
    path.addLineToPoint({r.origin.x + r.size.width, r.origin.y});
    path.addLineToPoint({r.origin.x + r.size.width, r.origin.y + r.size.height});
    path.addLineToPoint({r.origin.x, r.origin.y + r.size.height});
    path.closePath();
}

void fill(Canvas& c, const UIBezierPath& path, const std::optional<UIColor>& color) {
    if (path.isEmpty()) return;
    c.setFillColor(colorOf(color));
    c.fillPath(path);
}

void stroke(Canvas& c, const UIBezierPath& path, const std::optional<UIColor>& color,
            CGFloat width) {
    if (path.isEmpty() || width <= 0) return;
    c.setStrokeColor(colorOf(color));
    c.setLineWidth(width);
    c.strokePath(path);
}

void strokeLine(Canvas& c, CGPoint from, CGPoint to, const UIColor& color, CGFloat width) {
    UIBezierPath p;
    p.moveToPoint(from);
    p.addLineToPoint(to);
    stroke(c, p, color, width);
}

}  // namespace

// ---- geometry ----------------------------------------------------------------

void KAVChartView::layoutPanes() {
    const CGFloat W = chartWidth(), H = chartHeight();
    const CGFloat ox = origin_.x, oy = origin_.y;
    auto& c = *config_;
    const auto master = c.yAxiss.objectForKey(chartKey::master);
    CGFloat y = oy;
    if (master) {
        master->height = H * master->heightPercent;
        master->width = W;
        master->origin = {ox, oy};
        master->maxValue = price_.max;
        master->minValue = price_.min;
        y = oy + master->height + kPaneGap;
    }
    for (const auto& [key, axis] : c.yAxiss) {
        if (!axis || axis == master) continue;
        if (!indicatorPane_) {
            axis->height = 0;  // not shown: nothing may be drawn in it
            continue;
        }
        axis->height = H * axis->heightPercent - kPaneGap;
        axis->width = W;
        axis->origin = {ox, y};
        axis->maxValue = index_.max;
        axis->minValue = index_.min;
        y += axis->height + kPaneGap;
    }
    if (c.xAxis) {
        c.xAxis->width = W;
        c.xAxis->origin = {ox, oy + H};
    }
    setBarGeometry();
}

void KAVChartView::setBarGeometry() {
    auto& c = *config_;
    if (c.chartType == MODChartConfig::kChartKLine) {
        c.pointPadding = c.pointPaddingDef;
        c.pointWidth = c.pointWidthDef;
    } else if (c.chartType == MODChartConfig::kChartLine) {
        // One slot per minute of the session across the whole width.
        c.pointPadding = 0;
        c.pointWidth = chartWidth() / static_cast<double>(session_.minutes());
    }
}

double KAVChartView::valueToPointY(const MODAxis& a, double v) const {
    const double band = a.height - kHeadHeight;
    const double span = a.maxValue - a.minValue;
    if (span == 0 || !std::isfinite(span)) return a.origin.y + kHeadHeight + band / 2;
    return a.origin.y + kHeadHeight + band - band / span * (v - a.minValue);
}

double KAVChartView::pointToValueY(const MODAxis& a, double y) const {
    const double band = a.height - kHeadHeight;
    const double span = a.maxValue - a.minValue;
    if (span == 0 || band == 0 || !std::isfinite(span)) return a.maxValue;
    return a.minValue + (a.origin.y + a.height - y) * span / band;
}

double KAVChartView::valueToPointX(const MODAxis& a, double v) const {
    const double span = a.maxValue - a.minValue;
    if (span == 0 || !std::isfinite(span)) return a.width + 2;
    return a.width - a.width / span * (v - a.minValue) + 2;
}

std::vector<MODPoint> KAVChartView::calculateGridLine(const MODAxis& a, int count) const {
    std::vector<MODPoint> points;
    const double span = a.maxValue - a.minValue;
    if (count <= 0 || !(span > 0) || !std::isfinite(span)) return points;
    const float step = static_cast<float>(span / count);
    points.reserve(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k) {
        MODPoint p;
        p.Value = a.minValue + k * step;
        p.Point = a.axisType == MODAxis::kTypeTime ? valueToPointX(a, p.Value)
                                                   : valueToPointY(a, p.Value);
        points.push_back(p);
    }
    return points;
}

CGFloat KAVChartView::insideView(CGFloat x, const std::string& text) const {
    // A long price would run past the view's right edge, a time label over
    // the first bars past its left: either moves as far as it must to be
    // seen whole.
    const CGFloat width = sysDB::widthOfString(text, chartFont()).width;
    return std::max<CGFloat>(0, std::min(x, bounds().size.width - width));
}

CGFloat KAVChartView::barLeft(int index) const {
    const auto& c = *config_;
    return origin_.x + 2 + (index - startIndex_) * (c.pointPadding + c.pointWidth);
}

int KAVChartView::pointToIndex(CGPoint point) const {
    const MODChartList* list = windowList();
    const double step = config_->pointPadding + config_->pointWidth;
    if (!list || !(step > 0)) return -1;
    // The slots the bars are drawn in: slot k begins at barLeft(startIndex + k)
    // (a hair of tolerance so that a bar's own left edge finds it).
    const double k = std::floor((point.x - barLeft(startIndex_)) / step + 1e-9);
    if (!(k >= 0) || k >= static_cast<double>(std::numeric_limits<int>::max())) return -1;
    const long index = startIndex_ + static_cast<long>(k);
    const long end = std::min<long>(endIndex_, static_cast<long>(list->size()));
    return index < end ? static_cast<int>(index) : -1;
}

// ---- the frame -----------------------------------------------------------------

void KAVChartView::drawRect(CGRect) {
    Canvas* c = UIGraphicsGetCurrentContext();
    if (!c) return;
    layoutPanes();
    crossCaptionLeft_ = std::numeric_limits<CGFloat>::infinity();
    drawFrame(*c);
    if (!chartData_ || chartData_->empty()) return;
    if (auto master = config_->yAxiss.objectForKey(chartKey::master))
        drawAxisY(*c, *master, decimal_);
    if (indicatorPane_) {
        if (auto index = config_->yAxiss.objectForKey(chartKey::index))
            drawAxisY(*c, *index, kIndexDecimals);
    }
    drawAxisX(*c);
    if (crossOn_) drawCrossTip(*c);
    // The series go over the cross line.
    drawSeries(*c);
}

void KAVChartView::drawFrame(Canvas& c) {
    const auto& cfg = *config_;
    const CGFloat W = chartWidth();
    const CGFloat ox = origin_.x, oy = origin_.y;
    if (cfg.backgroundColor) {
        c.setFillColor(colorOf(cfg.backgroundColor));
        c.fillRect(bounds());
    }
    MODRGBA border = MODRGBA::withColor(cfg.borderColor);
    if (!cfg.isShowBorder) border.alpha = 0;

    c.setFillColor(UIColor::colorWithWhite(0.2, 0.5));
    c.fillRect(CGRectMake(ox, oy, W, kHeadHeight));
    strokeLine(c, {ox + 2, oy + kHeadHeight}, {W + 2, oy + kHeadHeight},
               UIColor::colorWithWhite(0.5, 0.3), 1);

    UIBezierPath frames;
    const auto master = cfg.yAxiss.objectForKey(chartKey::master);
    auto frame = [&](const MODAxis& a) {
        addRect(frames, CGRectMake(a.origin.x, a.origin.y, W - 4, a.height));
        addRect(frames, CGRectMake(a.origin.x + W - 4, a.origin.y, kLabelColumn, a.height));
    };
    if (master) frame(*master);
    if (indicatorPane_)
        for (const auto& [key, axis] : cfg.yAxiss)
            if (axis && axis != master) frame(*axis);
    stroke(c, frames, border.color(), cfg.borderWidth);
}

void KAVChartView::drawAxisY(Canvas& c, const MODAxis& axis, int decimals) {
    const auto grid = calculateGridLine(axis, kValueGridLines);
    if (grid.empty()) return;
    const CGFloat W = chartWidth();
    UIBezierPath lines;
    for (size_t k = 1; k < grid.size(); ++k) {
        lines.moveToPoint({axis.origin.x, grid[k].Point});
        lines.addLineToPoint({axis.origin.x + W, grid[k].Point});
    }
    stroke(c, lines, axis.gridLineColor, axis.gridLineWidth);
    const UIColor color = colorOf(axis.titleColor);
    for (const auto& p : grid) {
        const std::string text = valueText(p.Value, decimals);
        c.drawTextAtPoint(text, {insideView(axis.origin.x + W + 2, text), p.Point - 10},
                          chartFont(), color);
    }
}

void KAVChartView::drawAxisX(Canvas& c) {
    if (!config_->xAxis) return;
    MODAxis& axis = *config_->xAxis;
    const CGFloat H = chartHeight();
    // A fixed range: the grid splits the width in eight.
    axis.maxValue = 100;
    axis.minValue = 1;
    const auto grid = calculateGridLine(axis, kTimeGridLines);
    UIBezierPath lines;
    for (size_t k = 1; k < grid.size(); ++k) {
        lines.moveToPoint({grid[k].Point, axis.origin.y});
        lines.addLineToPoint({grid[k].Point, axis.origin.y - H});
    }
    stroke(c, lines, axis.gridLineColor, axis.gridLineWidth);

    int64_t newest = 0, oldest = 0;
    if (config_->chartType == MODChartConfig::kChartKLine) {
        const int count = static_cast<int>(chartData_->size());
        const int last = std::clamp(endIndex_ - 1, 0, count - 1);
        const int first = std::clamp(startIndex_, 0, count - 1);
        newest = (*chartData_)[static_cast<size_t>(last)]->timeValue;
        oldest = (*chartData_)[static_cast<size_t>(first)]->timeValue;
    } else {
        newest = session_.end;
        oldest = session_.begin;
    }
    const UIColor color = colorOf(axis.titleColor);
    c.drawTextAtPoint(sysDB::Epoch2Date(newest, kTimeFormat),
                      {axis.origin.x + axis.width + 2 - kTimeLabelWidth, axis.origin.y},
                      chartFont(), color);
    c.drawTextAtPoint(sysDB::Epoch2Date(oldest, kTimeFormat), axis.origin, chartFont(), color);
}

// ---- series -----------------------------------------------------------------------

void KAVChartView::drawSeries(Canvas& c) {
    const int type = config_->chartType;
    for (const auto& [key, series] : config_->Series) {
        if (!series) continue;
        const auto pane = config_->yAxiss.objectForKey(series->yAxiskey);
        if (!pane || pane->height <= 0) continue;
        MODSeries& s = *series;
        if (type == MODChartConfig::kChartKLine) {
            switch (s.seriesType) {
                case MODSeries::kTypeAverage:
                case MODSeries::kTypeEMA12:
                case MODSeries::kTypeEMA26:
                case MODSeries::kTypeDIF:
                case MODSeries::kTypeDEA:
                case MODSeries::kTypeMACD: {
                    auto list = indicatorList(s.datakey);
                    if (!list) break;
                    s.arrPoint = std::move(list);
                    if (s.seriesType == MODSeries::kTypeMACD) {
                        drawColumn(c, *pane, s);
                    } else {
                        drawLine(c, *pane, s);
                    }
                    drawLabel(c, *pane, s, {});
                    break;
                }
                case MODSeries::kTypeCandle:
                    s.arrPoint = chartData_;
                    drawOHLC(c, *pane, s);
                    break;
                default:
                    break;
            }
        } else if (type == MODChartConfig::kChartLine && s.seriesType == MODSeries::kTypeMinute) {
            auto it = minuteTable_.find(s.datakey);
            if (it == minuteTable_.end() || !it->second) continue;
            s.arrPoint = it->second;
            drawLine(c, *pane, s);
            drawLabel(c, *pane, s, {});
        }
    }
}

void KAVChartView::drawLine(Canvas& c, const MODAxis& pane, const MODSeries& s) {
    if (!s.arrPoint) return;
    const MODChartList& list = *s.arrPoint;
    const int first = std::max(startIndex_, 0);
    const int last = std::min(endIndex_, static_cast<int>(list.size()));
    const CGFloat half = config_->pointWidth / 2;
    UIBezierPath path;
    bool joined = false;
    for (int i = first + 1; i < last; ++i) {
        const auto& prev = *list[static_cast<size_t>(i - 1)];
        const auto& cur = *list[static_cast<size_t>(i)];
        if (!prev.isValid || !cur.isValid) {
            joined = false;
            continue;
        }
        if (!joined)
            path.moveToPoint(
                {barLeft(i - 1) + half, valueToPointY(pane, sampleValue(s.seriesType, prev))});
        path.addLineToPoint(
            {barLeft(i) + half, valueToPointY(pane, sampleValue(s.seriesType, cur))});
        joined = true;
    }
    stroke(c, path, s.lineColor, s.lineWidth);
}

void KAVChartView::drawOHLC(Canvas& c, const MODAxis& pane, const MODSeries& s) {
    if (!s.arrPoint) return;
    const MODChartList& list = *s.arrPoint;
    const int first = std::max(startIndex_, 0);
    const int last = std::min(endIndex_, static_cast<int>(list.size()));
    const CGFloat width = config_->pointWidth;
    // One path per colour: a few fills and strokes per frame, not four per bar.
    UIBezierPath riseBodies, fallBodies, riseWicks, fallWicks;
    for (int i = first; i < last; ++i) {
        const auto& bar = *list[static_cast<size_t>(i)];
        const bool rising = bar.priceClose > bar.priceOpen;
        const double top = valueToPointY(pane, rising ? bar.priceClose : bar.priceOpen);
        const double bottom = valueToPointY(pane, rising ? bar.priceOpen : bar.priceClose);
        const CGFloat left = barLeft(i);
        addRect(rising ? riseBodies : fallBodies,
                CGRectMake(left, top, width, std::max(bottom - top, 1.0)));
        UIBezierPath& wicks = rising ? riseWicks : fallWicks;
        const CGFloat x = left + width / 2;
        wicks.moveToPoint({x, top});
        wicks.addLineToPoint({x, valueToPointY(pane, bar.priceHigh)});
        wicks.moveToPoint({x, bottom});
        wicks.addLineToPoint({x, valueToPointY(pane, bar.priceLow)});
    }
    fill(c, riseBodies, s.fillColorRiseUp);
    stroke(c, riseWicks, s.fillColorRiseUp, s.lineWidth);
    fill(c, fallBodies, s.fillColorFallDown);
    stroke(c, fallWicks, s.fillColorFallDown, s.lineWidth);
}

void KAVChartView::drawColumn(Canvas& c, const MODAxis& pane, const MODSeries& s) {
    if (!s.arrPoint) return;
    const MODChartList& list = *s.arrPoint;
    const int first = std::max(startIndex_, 0);
    const int last = std::min(endIndex_, static_cast<int>(list.size()));
    const CGFloat width = config_->pointWidth;
    const double zero = valueToPointY(pane, 0);
    UIBezierPath rise, fall;
    for (int i = first; i < last; ++i) {
        const auto& sample = *list[static_cast<size_t>(i)];
        // A sample whose MACD is not yet valid still gets its mark on the
        // zero line, so every bar of the window has its column.
        const double d = sample.isValid ? sample.dif - sample.dea : 0;
        const double y = valueToPointY(pane, d);
        // From the zero line to the value, at least 1 pt tall.
        if (d > 0) {
            const double h = std::max(zero - y, 1.0);
            addRect(rise, CGRectMake(barLeft(i), zero - h, width, h));
        } else {
            const double h = std::max(y - zero, 1.0);
            addRect(fall, CGRectMake(barLeft(i), y - h, width, h));
        }
    }
    fill(c, rise, s.fillColorRiseUp);
    fill(c, fall, s.fillColorFallDown);
}

void KAVChartView::drawLabel(Canvas& c, const MODAxis& pane, const MODSeries& s,
                             const std::string& text) {
    const std::string& caption = text.empty() ? s.labelFormat : text;
    if (caption.empty()) return;
    double x = 0;
    const double width = sysDB::widthOfString(caption, chartFont()).width;
    if (s.labelAlign == MODSeries::kAlignRight) {
        x = chartWidth() - width;
    } else if (s.labelAlign == MODSeries::kAlignAtX) {
        if (s.labelX < 1) return;
        x = s.labelX;
    }
    // The cross line's caption of long prices reaches over the captions of
    // the averages; the two texts one over the other read as neither, so a
    // caption it would cover is left out while it shows.
    const auto master = config_->yAxiss.objectForKey(chartKey::master);
    if (!text.empty()) {
        if (master.get() == &pane) crossCaptionLeft_ = x;
    } else if (master.get() == &pane && x + width > crossCaptionLeft_) {
        return;
    }
    auto it = captions_.find(s.key);
    const UIColor color =
        colorOf(it != captions_.end() && it->second ? it->second->textColor : s.labelColor);
    c.drawTextAtPoint(caption, {x, pane.origin.y + 1}, chartFont(), color);
}

void KAVChartView::drawCrossTip(Canvas& c) {
    const auto& cfg = *config_;
    const auto master = cfg.yAxiss.objectForKey(chartKey::master);
    if (!master) return;
    const CGFloat W = chartWidth();
    const CGPoint p = crossPoint_;
    const UIColor lineColor = colorOf(cfg.crossLineColor);
    UIBezierPath lines;
    lines.moveToPoint({p.x, origin_.y + 15});
    lines.addLineToPoint({p.x, master->height});
    lines.moveToPoint({origin_.x + 5, p.y});
    lines.addLineToPoint({W, p.y});
    stroke(c, lines, lineColor, cfg.crossLineWidth);

    const UIColor textColor = colorOf(cfg.crossLabelColor);
    const UIColor background = colorOf(cfg.crossLabelBackgroundColor);
    const int index = pointToIndex(p);
    if (index >= 0) {
        const MODChartList* list = windowList();
        const auto& bar = *(*list)[static_cast<size_t>(index)];
        std::shared_ptr<MODSeries> candle;
        for (const auto& [key, s] : cfg.Series)
            if (s && s->seriesType == MODSeries::kTypeCandle) {
                candle = s;
                break;
            }
        if (candle) {
            const std::string caption =
                cfg.chartType == MODChartConfig::kChartKLine
                    ? fillFormat(candle->labelFormat,
                                 {sysDB::formatPrice(bar.priceOpen, decimal_),
                                  sysDB::formatPrice(bar.priceHigh, decimal_),
                                  sysDB::formatPrice(bar.priceLow, decimal_),
                                  sysDB::formatPrice(bar.priceClose, decimal_)})
                    : " C : " + sysDB::formatPrice(bar.priceClose, decimal_) + " ";
            drawLabel(c, *master, *candle, caption);
        }
        // About centred on the line: over the first bars that would put the
        // start of the time outside the view.
        const std::string time = " " + sysDB::Epoch2Date(bar.timeValue, kTimeFormat) + " ";
        c.drawTextAtPoint(time, {insideView(p.x - 30, time), origin_.y + 15}, chartFont(),
                          textColor, background);
    }
    // The value under the line, read back from the pane it lies in; a
    // minute line with no minute yet has no scale to read a price from.
    const MODChartList* shownList = windowList();
    if (!shownList || shownList->empty()) return;
    const MODAxis* pane = master.get();
    int decimals = decimal_;
    if (indicatorPane_) {
        const auto index = cfg.yAxiss.objectForKey(chartKey::index);
        if (index && index->height > 0 && p.y >= index->origin.y) {
            pane = index.get();
            decimals = kIndexDecimals;
        }
    }
    const std::string price = " " + valueText(pointToValueY(*pane, p.y), decimals) + " ";
    c.drawTextAtPoint(price, {insideView(W + 5, price), p.y - 6}, chartFont(), textColor,
                      background);
}
