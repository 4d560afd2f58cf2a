#include "ui/chart/KAVChartIndicators.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kavchart {

namespace {

constexpr int kEMA12 = 12;
constexpr int kEMA26 = 26;

// `count` fresh samples in one allocation; each element shares the block.
std::vector<std::shared_ptr<MODKAVCahrtData>> sampleBlock(size_t count) {
    auto block = std::make_shared<std::vector<MODKAVCahrtData>>(count);
    std::vector<std::shared_ptr<MODKAVCahrtData>> out;
    out.reserve(count);
    for (auto& sample : *block)
        out.emplace_back(block, &sample);
    return out;
}

// The list of a key, or null; and its sample i, or null.
const MODChartList* listOf(const IndicatorTable& table, const char* key) {
    auto it = table.find(key);
    return it != table.end() ? it->second.get() : nullptr;
}
const MODKAVCahrtData* sampleAt(const MODChartList* list, int i) {
    if (!list || i < 0 || static_cast<size_t>(i) >= list->size()) return nullptr;
    return (*list)[static_cast<size_t>(i)].get();
}

// Above the maximum raises it, else below the minimum lowers it.
void widen(Range& r, double v) {
    if (v > r.max) {
        r.max = v;
    } else if (v < r.min) {
        r.min = v;
    }
}

}  // namespace

double arrayAvg(const MODChartList& bars, int start, int end) {
    start = std::max(start, 0);
    end = std::min(end, static_cast<int>(bars.size()) - 1);
    if (end < start) return 0;
    double sum = 0;
    for (int i = start; i <= end; ++i)
        sum += bars[static_cast<size_t>(i)]->priceClose;
    return sum / (end - start + 1);
}

double EMA(double previous, double close, int period) {
    return previous * (period - 1) / (period + 1) + 2 * close / (period + 1);
}

IndicatorTable calculateAVG(const MODChartList& bars) {
    const size_t n = bars.size();
    static constexpr std::array<std::pair<const char*, int>, 4> kAverages = {
        {{"MA5", 5}, {"MA10", 10}, {"MA15", 15}, {"MA30", 30}}};
    IndicatorTable table;
    for (const auto& [key, period] : kAverages) {
        auto list = sampleBlock(n);
        for (size_t i = 0; i < n; ++i) {
            MODKAVCahrtData& s = *list[i];
            s.timeValue = bars[i]->timeValue;
            if (i + 1 >= static_cast<size_t>(period)) {
                s.isValid = true;
                s.priceClose =
                    arrayAvg(bars, static_cast<int>(i) - period + 1, static_cast<int>(i));
            }
        }
        table[key] = std::make_shared<const MODChartList>(std::move(list));
    }
    auto macd = sampleBlock(n);
    for (size_t i = 0; i < n; ++i) {
        MODKAVCahrtData& s = *macd[i];
        s.timeValue = bars[i]->timeValue;
        if (i < kEMA12 - 1) continue;
        s.isValid = true;
        const int at = static_cast<int>(i);
        const double close = bars[i]->priceClose;
        const MODKAVCahrtData* prev = i > 0 ? macd[i - 1].get() : nullptr;
        s.ema12 = i == kEMA12 - 1 ? arrayAvg(bars, 0, at) : EMA(prev->ema12, close, kEMA12);
        if (i < kEMA26 - 1) continue;
        s.ema26 = i == kEMA26 - 1 ? arrayAvg(bars, 0, at) : EMA(prev->ema26, close, kEMA26);
        s.dif = s.ema12 - s.ema26;
        const double prevDea = i == kEMA26 - 1 ? 0 : prev->dea;
        s.dea = prevDea * 8 / 10 + s.dif * 2 / 10;
    }
    table["MACD"] = std::make_shared<const MODChartList>(std::move(macd));
    return table;
}

int64_t Session::minutes() const {
    return empty() ? 1 : std::max<int64_t>(1, (end - begin) / 60);
}

Session Session::of(int64_t beginTime, int64_t endTime) {
    Session s{beginTime, endTime};
    if (s.empty()) return s;
    // Unsigned: the distance between any two 64-bit times fits.
    const uint64_t span = static_cast<uint64_t>(endTime) - static_cast<uint64_t>(beginTime);
    if (span > static_cast<uint64_t>(kMaxSeconds)) {
        const uint64_t cut = (span - kMaxSeconds + 59) / 60 * 60;
        s.begin = static_cast<int64_t>(static_cast<uint64_t>(beginTime) + cut);
    }
    return s;
}

MODChartListPtr makeMinLine(const MODChartList& bars, const Session& session) {
    MODChartList line;
    if (bars.empty() || session.empty()) return std::make_shared<const MODChartList>();
    const size_t n = bars.size();
    const int64_t minutes = (session.end - session.begin) / 60 + 1;
    auto gaps = sampleBlock(static_cast<size_t>(minutes));
    size_t cursor = 0;
    line.reserve(static_cast<size_t>(minutes));
    for (int64_t k = 0; k < minutes; ++k) {
        const int64_t t = session.begin + 60 * k;
        // A bar earlier than this minute can no longer be placed: pass it,
        // so one bar off the grid or out of order does not hold up the rest.
        while (cursor < n && bars[cursor]->timeValue < t)
            ++cursor;
        if (cursor == n) break;  // nothing after the newest bar
        const auto& bar = bars[cursor];
        if (bar->timeValue == t) {
            bar->isValid = true;
            line.push_back(bar);
            ++cursor;
        } else {
            auto& gap = gaps[static_cast<size_t>(k)];
            gap->timeValue = t;
            gap->priceClose = bar->priceClose;
            gap->isValid = true;
            line.push_back(std::move(gap));
        }
    }
    return std::make_shared<const MODChartList>(std::move(line));
}

std::optional<Ranges> scanData(const MODChartList& bars, const IndicatorTable& table, int start,
                               int end) {
    if (bars.empty()) return std::nullopt;
    const int count = static_cast<int>(bars.size());
    start = std::clamp(start, 0, count - 1);
    end = std::min(end, count);
    Ranges r;
    r.price = {bars[static_cast<size_t>(start)]->priceHigh,
               bars[static_cast<size_t>(start)]->priceLow};
    const MODChartList* averages[] = {listOf(table, "MA5"), listOf(table, "MA10"),
                                      listOf(table, "MA15")};
    const MODChartList* macd = listOf(table, "MACD");
    for (int i = start; i < end; ++i) {
        const auto& bar = *bars[static_cast<size_t>(i)];
        r.price.max = std::max(r.price.max, bar.priceHigh);
        r.price.min = std::min(r.price.min, bar.priceLow);
        for (const MODChartList* list : averages) {
            const auto* s = sampleAt(list, i);
            if (s && s->isValid) widen(r.price, s->priceClose);
        }
        const auto* m = sampleAt(macd, i);
        if (m && m->isValid) {
            widen(r.index, m->dif);
            widen(r.index, m->dea);
            const double d = m->dif - m->dea;
            r.index.max = std::max(r.index.max, d);
            r.index.min = std::min(r.index.min, d);
        }
    }
    return r;
}

std::optional<Range> scanDataMin(const MODChartList& line, int start) {
    if (line.empty()) return std::nullopt;
    start = std::clamp(start, 0, static_cast<int>(line.size()) - 1);
    const double first = line[static_cast<size_t>(start)]->priceClose;
    Range r{first, first};
    for (const auto& sample : line) {
        r.max = std::max(r.max, sample->priceClose);
        r.min = std::min(r.min, sample->priceClose);
    }
    return r;
}

}  // namespace kavchart
