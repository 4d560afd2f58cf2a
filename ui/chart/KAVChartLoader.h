#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Core/Model/MODSymbolInfo.h"
#include "Core/WSPushMessage.h"
#include "ui/chart/MODKAVCahrtData.h"

class KAVBizSDK;
class KAVChartView;

// Asks the history service for a symbol's bars of one period and hands them
// to a chart. Only the answer to the latest request is shown: a reply that
// arrives after the user has turned to another symbol or period is dropped,
// so a slow answer never paints the wrong bars under the current title. The
// bars of another symbol than the one asked for go when the request is made
// (the chart is left empty for that symbol until its bars come); a failed
// request leaves the chart as it was.
// Holds the service object and the chart weakly; made with
// std::make_shared (the answers find it through a weak reference). Main
// thread only.
class KAVChartLoader : public std::enable_shared_from_this<KAVChartLoader> {
  public:
    // Bars asked for: the last 1,000.
    static constexpr int32_t kBarCount = -1000;

    KAVChartLoader(std::weak_ptr<KAVBizSDK> sdk, std::weak_ptr<KAVChartView> chart);

    // Told how the latest request ended: true when its bars are drawn, false
    // when it failed and the chart kept what it showed (or was emptied). A
    // dropped answer tells nothing (a later request will).
    using Done = std::function<void(bool drawn)>;

    // Requests the bars; on the answer the chart gets setPeriod(period) and
    // setData(bars, symbol).
    void loadChartWithPeriodType(std::shared_ptr<MODSymbolInfo> symbol, int32_t period,
                                 Done done = nullptr);

    // The symbol and period of the latest request.
    const std::string& symbolCode() const { return symbolCode_; }
    int32_t period() const { return period_; }

    // One bar per history row, in the order delivered.
    static MODChartList barsWithRows(const MODList<MODSymbolInfo>& rows);

  private:
    std::weak_ptr<KAVBizSDK> sdk_;
    std::weak_ptr<KAVChartView> chart_;
    std::shared_ptr<MODSymbolInfo> symbol_;
    std::string symbolCode_;
    int32_t period_ = 0;
};
