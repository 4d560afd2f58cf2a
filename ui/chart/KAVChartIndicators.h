#pragma once

// The data side of the chart, free of any view: moving averages and MACD
// over the bars, the gap-filled minute line of a trading session, and the
// value ranges the panes are scaled to.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "ui/chart/MODKAVCahrtData.h"

namespace kavchart {

// "MA5", "MA10", "MA15", "MA30", "MACD" -> one sample per bar, same index.
using IndicatorTable = std::map<std::string, MODChartListPtr>;

// Mean close of the bars start..end, both included; the bounds are held to
// the list (0 when nothing is left).
double arrayAvg(const MODChartList& bars, int start, int end);
// Exponential average: previous * (N - 1) / (N + 1) + 2 * close / (N + 1).
double EMA(double previous, double close, int period);
// Moving averages of 5, 10, 15 and 30 closes and the MACD samples (EMA 12,
// EMA 26, DIF and its 9-step signal DEA) for every bar.
IndicatorTable calculateAVG(const MODChartList& bars);

// A trading session as the minute line walks it. A session longer than two
// days (a malformed or zero start time among them) is cut to its last two
// days, on its own minute grid, so the walk stays short.
struct Session {
    static constexpr int64_t kMaxSeconds = 2 * 24 * 3600;
    int64_t begin = 0;
    int64_t end = 0;
    bool empty() const { return end < begin; }
    // Whole minutes of the session, at least 1 (the bar slot width divides by it).
    int64_t minutes() const;
    static Session of(int64_t beginTime, int64_t endTime);
};

// One sample per minute of the session, from its start until the newest bar:
// a bar on the minute itself (marked valid and shared, not copied), else a
// gap filled with the close of the next bar to come. Bars before the minute
// being filled (off the grid, repeated or out of order) are passed over.
MODChartListPtr makeMinLine(const MODChartList& bars, const Session& session);

struct Range {
    double max = 0;
    double min = 0;
    bool operator==(const Range&) const = default;
};
struct Ranges {
    Range price;
    Range index;
};
// The price range of the bars start <= i < end widened by the valid MA5,
// MA10 and MA15 samples, and the indicator range (from 0) widened by DIF, DEA
// and DIF - DEA. Nothing for no bars.
std::optional<Ranges> scanData(const MODChartList& bars, const IndicatorTable& table, int start,
                               int end);
// The range of every close of the minute line. Nothing for an empty line.
std::optional<Range> scanDataMin(const MODChartList& line, int start);

}  // namespace kavchart
