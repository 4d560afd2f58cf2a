#pragma once

// The toolkit's stage over a live session: the plain screen in its window
// while a service object is logged in to the simulated dealer as 1001, for
// the tests that run orders end to end.

#include <memory>

#include "Core/SDK/KAVBizSDK.h"
#include "tests/support/DealerLogin.h"
#include "tests/support/DealerSim.h"
#include "tests/ui/toolkit/ToolkitStage.h"

namespace toolkittest {

class DealerToolkitTest : public ToolkitTest {
  protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        ASSERT_TRUE(kavtest::logInAtDealer(time, *sdk, sim));
    }
    void TearDown() override {
        sdk->logout();
        ToolkitTest::TearDown();
    }

    // The market orders the dealer received.
    size_t ordersAtDealer() { return sim.packages(kavtest::SimService::Trade, "3001").size(); }

    kavtest::DealerSim sim;
    std::shared_ptr<KAVBizSDK> sdk = std::make_shared<KAVBizSDK>();
};

}  // namespace toolkittest
