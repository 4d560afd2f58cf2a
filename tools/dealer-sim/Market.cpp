#include "tools/dealer-sim/Market.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>

namespace dealersim {

int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string formatLocalTime(int64_t epochSeconds) {
    std::time_t t = static_cast<std::time_t>(epochSeconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

int64_t localDayStart(int64_t epochSeconds) {
    std::time_t t = static_cast<std::time_t>(epochSeconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    tm.tm_hour = 0;
    tm.tm_min = 0;
    tm.tm_sec = 0;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm));
}

double SymbolDef::scale() const {
    return std::pow(10.0, decimals);
}

int64_t SymbolDef::points(double p) const {
    return std::llround(p * scale());
}

bool SymbolDef::inRange(double p) const {
    const double points = p * scale();
    return points >= 0.5 && points <= kMaxPoints;
}

std::vector<SymbolDef> defaultSymbols() {
    std::vector<SymbolDef> v;
    SymbolDef eur;
    eur.id = 1;
    eur.code = "EURUSD";
    eur.name = "欧元美元";
    eur.currency = "USD";
    eur.type = "1";
    eur.decimals = 5;
    eur.unit = 100000;
    eur.pointAsk = 20;
    eur.pointBid = 0;
    eur.pointLimit = 50;
    eur.pointStopLose = 30;
    eur.pointTakeProfit = 30;
    eur.maxPointOffset = 50;
    eur.minQuantity = 1;
    eur.maxQuantity = 50;
    eur.quantityStep = 1;
    eur.marginPerLot = 1000;
    eur.startPoints = 109990;
    eur.volatility = 8;
    v.push_back(eur);

    SymbolDef jpy;
    jpy.id = 2;
    jpy.code = "USDJPY";
    jpy.name = "美元日元";
    jpy.currency = "JPY";
    jpy.type = "3";
    jpy.decimals = 3;
    jpy.unit = 100000;
    jpy.pointAsk = 20;
    jpy.pointBid = 0;
    jpy.pointLimit = 50;
    jpy.pointStopLose = 30;
    jpy.pointTakeProfit = 30;
    jpy.maxPointOffset = 50;
    jpy.minQuantity = 1;
    jpy.maxQuantity = 50;
    jpy.quantityStep = 1;
    jpy.marginPerLot = 1000;
    jpy.startPoints = 149990;
    jpy.volatility = 8;
    v.push_back(jpy);

    SymbolDef xau;
    xau.id = 3;
    xau.code = "XAUUSD";
    xau.name = "现货黄金";
    xau.currency = "USD";
    xau.type = "1";
    xau.decimals = 2;
    xau.unit = 100;
    xau.pointAsk = 50;
    xau.pointBid = 0;
    xau.pointLimit = 100;
    xau.pointStopLose = 100;
    xau.pointTakeProfit = 100;
    xau.maxPointOffset = 200;
    xau.minQuantity = 1;
    xau.maxQuantity = 20;
    xau.quantityStep = 1;
    xau.marginPerLot = 2000;
    xau.startPoints = 199975;
    xau.volatility = 30;
    v.push_back(xau);

    SymbolDef us30;
    us30.id = 4;
    us30.code = "US30";
    us30.name = "道琼斯指数";
    us30.currency = "USD";
    us30.type = "1";
    us30.decimals = 1;
    us30.unit = 10;
    us30.pointAsk = 40;
    us30.pointBid = 0;
    us30.pointLimit = 50;
    us30.pointStopLose = 50;
    us30.pointTakeProfit = 50;
    us30.maxPointOffset = 100;
    us30.minQuantity = 1;
    us30.maxQuantity = 20;
    us30.quantityStep = 1;
    us30.marginPerLot = 500;
    us30.startPoints = 379980;
    us30.volatility = 20;
    v.push_back(us30);
    return v;
}

Market::Market(uint64_t seed, int64_t now, int historyDays) : symbols_(defaultSymbols()) {
    series_.resize(symbols_.size());
    for (size_t i = 0; i < symbols_.size(); ++i) {
        series_[i].walk.seed(seed * 1000003ULL + i * 7919ULL + 1);
        buildHistory(static_cast<int>(i), seed, now, historyDays);
    }
}

int Market::indexOf(const std::string& code) const {
    for (size_t i = 0; i < symbols_.size(); ++i)
        if (symbols_[i].code == code) return static_cast<int>(i);
    return -1;
}

int64_t Market::walkStep(std::mt19937_64& gen, int volatility) const {
    // Uniform on [-volatility, +volatility], independent of the library's distributions.
    const uint64_t span = 2 * static_cast<uint64_t>(volatility) + 1;
    return static_cast<int64_t>(gen() % span) - volatility;
}

void Market::buildHistory(int i, uint64_t seed, int64_t now, int historyDays) {
    const SymbolDef& s = symbols_[i];
    Series& se = series_[i];
    std::mt19937_64 back(seed * 2654435761ULL + i * 104729ULL + 7);
    const int64_t floorPoints = std::max<int64_t>(1, s.startPoints / 5);
    auto clampUp = [&](int64_t p) { return p < floorPoints ? floorPoints + (floorPoints - p) : p; };

    const int64_t nowMinute = now / 60 * 60;
    const int64_t minuteCount = int64_t(std::max(historyDays, 1)) * 1440;
    std::vector<Bar> rev;
    rev.reserve(static_cast<size_t>(minuteCount));
    rev.push_back(Bar{nowMinute, s.startPoints, s.startPoints, s.startPoints, s.startPoints});
    int64_t end = s.startPoints;
    for (int64_t m = 1; m < minuteCount; ++m) {
        Bar b;
        b.time = nowMinute - m * 60;
        b.close = end;
        b.high = b.low = end;
        int64_t p = end;
        for (int k = 0; k < 4; ++k) {
            p = clampUp(p - walkStep(back, s.volatility));
            b.high = std::max(b.high, p);
            b.low = std::min(b.low, p);
        }
        b.open = p;
        end = p;
        rev.push_back(b);
    }
    se.minutes.assign(rev.rbegin(), rev.rend());

    // Days before the minute history, from a coarser walk that ends where the minutes begin.
    const int kOldDays = 300;
    std::vector<Bar> oldRev;
    int64_t dayEnd = se.minutes.front().open;
    int64_t dayStart = localDayStart(se.minutes.front().time);
    for (int d = 0; d < kOldDays; ++d) {
        dayStart = localDayStart(dayStart - 1);
        Bar b;
        b.time = dayStart;
        b.close = dayEnd;
        b.high = b.low = dayEnd;
        int64_t p = dayEnd;
        for (int k = 0; k < 12; ++k) {
            p = clampUp(p - walkStep(back, s.volatility * 10));
            b.high = std::max(b.high, p);
            b.low = std::min(b.low, p);
        }
        b.open = p;
        dayEnd = p;
        oldRev.push_back(b);
    }
    se.oldDays.assign(oldRev.rbegin(), oldRev.rend());

    Quote& q = se.quote;
    q.current = s.startPoints;
    q.lastTime = now;
    q.dayStart = localDayStart(now);
    q.dayOpen = q.dayHigh = q.dayLow = 0;
    q.prevClose = se.oldDays.empty() ? s.startPoints : se.oldDays.back().close;
    bool haveToday = false;
    for (const Bar& b : se.minutes) {
        if (b.time < q.dayStart) {
            q.prevClose = b.close;
            continue;
        }
        if (!haveToday) {
            q.dayOpen = b.open;
            q.dayHigh = b.high;
            q.dayLow = b.low;
            haveToday = true;
        }
        q.dayHigh = std::max(q.dayHigh, b.high);
        q.dayLow = std::min(q.dayLow, b.low);
    }
}

void Market::step(int i, int64_t now) {
    const SymbolDef& s = symbols_[i];
    Series& se = series_[i];
    const int64_t floorPoints = std::max<int64_t>(1, s.startPoints / 5);
    int64_t p = se.quote.current + walkStep(se.walk, s.volatility);
    if (p < floorPoints) p = floorPoints + (floorPoints - p);
    apply(i, p, now);
}

void Market::set(int i, int64_t points, int64_t now) {
    apply(i, std::max<int64_t>(points, 1), now);
}

void Market::apply(int i, int64_t points, int64_t now) {
    Series& se = series_[i];
    Quote& q = se.quote;
    const int64_t day = localDayStart(now);
    if (day != q.dayStart) {
        q.prevClose = q.current;
        q.dayStart = day;
        q.dayOpen = q.dayHigh = q.dayLow = points;
    }
    q.upOrDown = points > q.current ? 1 : points < q.current ? -1 : 0;
    q.current = points;
    q.lastTime = now;
    q.volume += 1;
    q.dayHigh = std::max(q.dayHigh, points);
    q.dayLow = q.dayLow == 0 ? points : std::min(q.dayLow, points);

    const int64_t minute = now / 60 * 60;
    if (!se.minutes.empty() && se.minutes.back().time >= minute) {
        // The clock never runs backwards here in practice; a late tick joins the newest bar.
        Bar& b = se.minutes.back();
        b.close = points;
        b.high = std::max(b.high, points);
        b.low = std::min(b.low, points);
    } else {
        const int64_t open = se.minutes.empty() ? points : se.minutes.back().close;
        se.minutes.push_back(
            Bar{minute, open, std::max(open, points), std::min(open, points), points});
    }
}

std::vector<Bar> Market::bars(int i, int periodSeconds, int count, int64_t time) const {
    const Series& se = series_[i];
    std::vector<Bar> all;
    auto merge = [&](int64_t key, const Bar& m) {
        if (all.empty() || all.back().time != key) {
            all.push_back(Bar{key, m.open, m.high, m.low, m.close});
        } else {
            Bar& b = all.back();
            b.high = std::max(b.high, m.high);
            b.low = std::min(b.low, m.low);
            b.close = m.close;
        }
    };
    if (periodSeconds == 60) {
        all = se.minutes;
    } else if (periodSeconds > 0) {
        all.reserve(se.minutes.size() * 60 / periodSeconds + 1);
        for (const Bar& m : se.minutes)
            merge(m.time / periodSeconds * periodSeconds, m);
    } else {
        all = se.oldDays;
        int64_t dayEnd = 0;
        int64_t day = 0;
        for (const Bar& m : se.minutes) {
            if (m.time >= dayEnd) {
                day = localDayStart(m.time);
                dayEnd =
                    localDayStart(day + 36 * 3600);  // the next local midnight, across DST changes
            }
            merge(day, m);
        }
    }
    if (count == 0 || all.empty()) return {};
    const size_t n = static_cast<size_t>(std::min(std::abs(count), 5000));
    if (count < 0) {
        size_t endIdx = all.size();
        if (time != 0) {
            // Bars that start at or before the time.
            endIdx = static_cast<size_t>(
                std::upper_bound(all.begin(), all.end(), time,
                                 [](int64_t t, const Bar& b) { return t < b.time; }) -
                all.begin());
        }
        const size_t begin = endIdx > n ? endIdx - n : 0;
        return std::vector<Bar>(all.begin() + begin, all.begin() + endIdx);
    }
    if (time == 0) {
        const size_t begin = all.size() > n ? all.size() - n : 0;
        return std::vector<Bar>(all.begin() + begin, all.end());
    }
    auto first = std::lower_bound(all.begin(), all.end(), time,
                                  [](const Bar& b, int64_t t) { return b.time < t; });
    const size_t avail = static_cast<size_t>(all.end() - first);
    return std::vector<Bar>(first, first + std::min(avail, n));
}

}  // namespace dealersim
