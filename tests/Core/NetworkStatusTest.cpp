// The network status codes read from a status package: the eleven that name
// a status, and every other code a server might send.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "Core/NetworkStatus.h"

TEST(NetworkStatus, EachCodeFromOneToElevenNamesTheStatusOfThatCode) {
    for (int32_t code = 1; code <= 11; ++code) {
        const auto status = networkStatusFromCode(code);
        ASSERT_TRUE(status.has_value()) << code;
        EXPECT_EQ(networkStatusCode(*status), code);
    }
    EXPECT_EQ(networkStatusFromCode(3), NetworkStatus::OpenTimedOut);
    EXPECT_EQ(networkStatusFromCode(10), NetworkStatus::TokenFailed);
    EXPECT_EQ(networkStatusFromCode(11), NetworkStatus::SameUserElsewhere);
}

TEST(NetworkStatus, AnyOtherCodeNamesNone) {
    for (int32_t code : {0, 12, -1, 9001, std::numeric_limits<int32_t>::min(),
                         std::numeric_limits<int32_t>::max()})
        EXPECT_FALSE(networkStatusFromCode(code).has_value()) << code;
}
