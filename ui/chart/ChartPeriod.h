#pragma once

#include <cstdint>
#include <optional>

// The bar periods the chart's tool bar and the trading screen's period
// control offer, by the code the history service knows them by.
enum class ChartPeriod : int32_t {
    M1 = 4,
    M5 = 5,
    M30 = 7,
    D1 = 9,
};

constexpr int32_t chartPeriodCode(ChartPeriod period) {
    return static_cast<int32_t>(period);
}

// The period a code names; none for any other code.
constexpr std::optional<ChartPeriod> chartPeriodFromCode(int32_t code) {
    switch (code) {
        case chartPeriodCode(ChartPeriod::M1):
            return ChartPeriod::M1;
        case chartPeriodCode(ChartPeriod::M5):
            return ChartPeriod::M5;
        case chartPeriodCode(ChartPeriod::M30):
            return ChartPeriod::M30;
        case chartPeriodCode(ChartPeriod::D1):
            return ChartPeriod::D1;
        default:
            return std::nullopt;
    }
}
