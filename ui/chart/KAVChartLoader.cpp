#include "ui/chart/KAVChartLoader.h"

#include "Core/SDK/KAVBizSDK.h"
#include "platform/MainThread.h"
#include "ui/chart/KAVChartView.h"

namespace {

// Empties the chart for the symbol when it shows the bars of another one.
void dropOtherSymbolsBars(KAVChartView& chart, const std::shared_ptr<MODSymbolInfo>& symbol) {
    const auto& bars = chart.chartData();
    const auto& shown = chart.symbol();
    if (bars && !bars->empty() && (!shown || shown->symbolCode != symbol->symbolCode))
        chart.setData(MODChartList{}, symbol);
}

}  // namespace

KAVChartLoader::KAVChartLoader(std::weak_ptr<KAVBizSDK> sdk, std::weak_ptr<KAVChartView> chart)
    : sdk_(std::move(sdk)), chart_(std::move(chart)) {}

void KAVChartLoader::loadChartWithPeriodType(std::shared_ptr<MODSymbolInfo> symbol, int32_t period,
                                             Done done) {
    KAV_ASSERT_MAIN_THREAD();
    auto sdk = sdk_.lock();
    if (!sdk || !symbol) return;
    symbol_ = std::move(symbol);
    symbolCode_ = symbol_->symbolCode;
    period_ = period;
    // Another symbol's bars go at once, not with the answer: until it came
    // (or the request timed out) they would stand under this symbol's name,
    // labelled with its decimals at the next redraw, and be read as its
    // prices.
    if (auto chart = chart_.lock()) dropOtherSymbolsBars(*chart, symbol_);
    std::weak_ptr<KAVChartLoader> weak = weak_from_this();
    const std::string code = symbolCode_;
    // Shared by the two blocks; only one of them runs.
    auto told = std::make_shared<Done>(std::move(done));
    sdk->hisQuotedWithSymbol(
        code, period, kBarCount, 0, "", "",
        [weak, code, period, told](const MODList<MODSymbolInfo>& rows) {
            auto self = weak.lock();
            if (!self || code != self->symbolCode_ || period != self->period_) return;
            auto chart = self->chart_.lock();
            if (!chart) return;
            chart->setPeriod(period);
            chart->setData(barsWithRows(rows), self->symbol_);
            if (*told) (*told)(true);
        },
        [weak, code, period, told](const std::string&, const std::string&) {
            auto self = weak.lock();
            if (!self || code != self->symbolCode_ || period != self->period_) return;
            // The chart keeps the bars it shows, unless they are another
            // symbol's (they went when the request was made, but bars may
            // have come from elsewhere since).
            if (auto chart = self->chart_.lock()) dropOtherSymbolsBars(*chart, self->symbol_);
            if (*told) (*told)(false);
        });
}

MODChartList KAVChartLoader::barsWithRows(const MODList<MODSymbolInfo>& rows) {
    MODChartList bars;
    bars.reserve(rows.size());
    for (const auto& row : rows) {
        if (!row) continue;
        auto bar = std::make_shared<MODKAVCahrtData>();
        bar->timeValue = row->quotedTime;
        bar->priceOpen = row->priceOpen;
        bar->priceHigh = row->priceHighest;
        bar->priceLow = row->priceLowest;
        bar->priceClose = row->priceClose;
        bars.push_back(std::move(bar));
    }
    return bars;
}
