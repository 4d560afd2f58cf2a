// The data side of the chart view: the bars, the window of visible bars, the
// indicator and minute-line tables and the value ranges.
#include <algorithm>
#include <cmath>

#include "platform/MainThread.h"
#include "ui/chart/KAVChartView.h"

using namespace platform::ui;

namespace {

// Far more bars than any screen shows; keeps the count within an int when
// the bar step is tiny.
constexpr double kMaxVisible = 1e6;

}  // namespace

void KAVChartView::setData(std::optional<MODChartList> bars,
                           std::shared_ptr<MODSymbolInfo> symbol) {
    KAV_ASSERT_MAIN_THREAD();
    MODChartListPtr list;
    if (bars) {
        std::erase(*bars, nullptr);
        list = std::make_shared<const MODChartList>(std::move(*bars));
    }
    const bool fresh = list != nullptr;
    applyData(std::move(list), std::move(symbol));
    // New bars from the owner: always drawn afresh, even when the records
    // are the same objects with new values.
    if (fresh) setNeedsDisplay();
}

void KAVChartView::applyData(MODChartListPtr bars, std::shared_ptr<MODSymbolInfo> symbol) {
    if (auto activity = viewWithTag(kTagActivity)) activity->setHidden(true);
    symbol_ = std::move(symbol);
    if (!bars) return;
    // The candle series reads the same list: both are the bars as given.
    chartData_ = std::move(bars);
    const int count = static_cast<int>(chartData_->size());
    setVisableCount();
    endIndex_ = count;
    if (config_->chartType == MODChartConfig::kChartKLine) {
        startIndex_ = std::max(0, count - visableCount_);
        calculateAVG();
        scanData();
    } else if (config_->chartType == MODChartConfig::kChartLine) {
        startIndex_ = 0;
        makeMinLine();
        scanDataMin();
    }
    placeChartTypeButtons();
}

MODChartListPtr KAVChartView::indicatorList(const std::string& key) const {
    auto it = indicators_.find(key);
    return it != indicators_.end() ? it->second : nullptr;
}

MODChartListPtr KAVChartView::minuteLine() const {
    auto it = minuteTable_.find(chartKey::minuteLine);
    return it != minuteTable_.end() ? it->second : nullptr;
}

CGFloat KAVChartView::chartWidth() const {
    return bounds().size.width - 2 * config_->borderPadding - verticalAxisPadding_;
}

CGFloat KAVChartView::chartHeight() const {
    return bounds().size.height - 2 * config_->borderPadding - timeAxisPadding_;
}

CGRect KAVChartView::drawingArea() const {
    return {origin_, {chartWidth(), chartHeight()}};
}

void KAVChartView::setVisableCount() {
    const auto& c = *config_;
    const int count = chartData_ ? static_cast<int>(chartData_->size()) : 0;
    const double step = c.pointPadding + c.pointWidthDef;
    const double fit = step > 0 ? (chartWidth() - c.pointPadding) / step : 1;
    // At least one bar, whatever the width or the bar geometry.
    visableCount_ =
        std::isfinite(fit) ? static_cast<int>(std::clamp(std::trunc(fit), 1.0, kMaxVisible)) : 1;
    endIndex_ = std::min(startIndex_ + visableCount_, count);
    if (endIndex_ == count) startIndex_ = std::max(0, endIndex_ - visableCount_);
}

void KAVChartView::calculateAVG() {
    if (!chartData_) return;
    indicators_ = kavchart::calculateAVG(*chartData_);
}

void KAVChartView::makeMinLine() {
    if (!chartData_ || chartData_->empty()) return;
    session_ = symbol_ ? kavchart::Session::of(symbol_->beginTime, symbol_->endTime)
                       : kavchart::Session{0, -1};  // no session, no line
    auto line = kavchart::makeMinLine(*chartData_, session_);
    startIndex_ = 0;
    endIndex_ = static_cast<int>(line->size());
    minuteTable_ = {{chartKey::minuteLine, std::move(line)}};
}

void KAVChartView::scanData() {
    if (!chartData_) return;
    if (auto r = kavchart::scanData(*chartData_, indicators_, startIndex_, endIndex_)) {
        price_ = r->price;
        index_ = r->index;
    }
}

void KAVChartView::scanDataMin() {
    const auto line = minuteLine();
    // A line with no minute (a session not begun by the newest bar, or a
    // session that ends before it begins) has no prices: the axis is left
    // without labels rather than labelled with the range of the bars drawn
    // before, perhaps another symbol's.
    const auto range = line ? kavchart::scanDataMin(*line, startIndex_) : std::nullopt;
    price_ = range.value_or(kavchart::Range{});
}

const MODChartList* KAVChartView::windowList() const {
    if (config_->chartType == MODChartConfig::kChartKLine) return chartData_.get();
    if (config_->chartType == MODChartConfig::kChartLine) return minuteLine().get();
    return nullptr;
}
