#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// One bar of a history series, one indicator sample or one minute-line
// sample. A history bar carries its time and open/high/low/close and is not
// valid until the minute line places it; an indicator sample carries the
// bar's time and either a moving average (priceClose) or the MACD values; a
// minute-line sample is a placed bar or a gap filled with a carried close.
struct MODKAVCahrtData {
    int64_t timeValue = 0;  // seconds since 1970-01-01 00:00 UTC
    double priceOpen = 0;
    double priceHigh = 0;
    double priceLow = 0;
    double priceClose = 0;   // close; the average of a moving-average sample
    double priceVolum = 0;   // never set
    double priceAmount = 0;  // never set
    double ema12 = 0;
    double ema26 = 0;
    double dif = 0;        // ema12 - ema26
    double dea = 0;        // signal line of dif
    double macd = 0;       // never set: the columns are drawn from dif - dea
    bool isValid = false;  // may be drawn and may widen the value ranges
};

// A list of bars or samples, oldest first. The chart shares one immutable
// list between its tables and the series it draws, so handing a list to a
// series copies nothing.
using MODChartList = std::vector<std::shared_ptr<MODKAVCahrtData>>;
using MODChartListPtr = std::shared_ptr<const MODChartList>;
