// The bar periods by the history service's codes.

#include <gtest/gtest.h>

#include <cstdint>

#include "ui/chart/ChartPeriod.h"

TEST(ChartPeriod, TheFourCodesNameTheirPeriodsAndNoOtherCodeNamesOne) {
    EXPECT_EQ(chartPeriodFromCode(4), ChartPeriod::M1);
    EXPECT_EQ(chartPeriodFromCode(5), ChartPeriod::M5);
    EXPECT_EQ(chartPeriodFromCode(7), ChartPeriod::M30);
    EXPECT_EQ(chartPeriodFromCode(9), ChartPeriod::D1);
    for (ChartPeriod p : {ChartPeriod::M1, ChartPeriod::M5, ChartPeriod::M30, ChartPeriod::D1})
        EXPECT_EQ(chartPeriodFromCode(chartPeriodCode(p)), p);
    for (int32_t code : {0, 1, 3, 6, 8, 10, -4, 30001})
        EXPECT_FALSE(chartPeriodFromCode(code).has_value()) << code;
}
