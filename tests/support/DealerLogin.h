#pragma once

// Logging a service object in to the simulated dealer, for the tests that
// put screens over a live session.

#include <gtest/gtest.h>

#include <string>

#include "Core/SDK/KAVBizSDK.h"
#include "tests/support/DealerSim.h"
#include "tests/support/ServiceTestSupport.h"
#include "tests/support/TestSupport.h"

namespace kavtest {

// Logs the service in to the simulated dealer's real host as `user` and runs
// the clock until the dealer has answered: a failure when it did not answer
// or refused (with its code and message).
inline ::testing::AssertionResult logInAtDealer(VirtualTime& time, KAVBizSDK& sdk,
                                                const DealerSim& sim,
                                                const std::string& user = "1001") {
    bool ok = false;
    Reported failed;
    sdk.loginWithUserId(
        user, "123456", "", {sim.realLoginUrl()}, [&] { ok = true; }, failed.failure());
    if (!time.runUntil([&] { return ok || failed.calls > 0; }))
        return ::testing::AssertionFailure() << "the dealer did not answer the login";
    if (!ok) return ::testing::AssertionFailure() << failed.code << " " << failed.message;
    return ::testing::AssertionSuccess();
}

}  // namespace kavtest
