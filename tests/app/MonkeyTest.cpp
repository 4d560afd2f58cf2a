// The monkey (tests/app/Monkey.h) on a few fixed seeds: the whole
// application used at random against the simulated dealer, logged in or at
// the login form, must neither fault nor leave a screen a person cannot get
// back from. Longer runs are a local tool: KAV_MONKEY_SEED and
// KAV_MONKEY_STEPS run one seed for that many steps (scripts/monkey.sh runs
// many seeds in parallel), with each action written to standard error.
#include "tests/app/Monkey.h"

#include <cstdlib>

#include "tests/app/AppTestSupport.h"

using namespace kavtest;

namespace {

class MonkeyTest : public AppTest {
  protected:
    // A seed starts at the login form, or logged in (most of them: random
    // taps seldom type the demo account).
    void runSeed(uint64_t seed, int steps, bool trace) {
        launchToLogin();
        if (seed % 4 != 0) logIn();
        Monkey monkey(sim, seed, trace);
        if (const char* dump = std::getenv("KAV_MONKEY_DUMP_AT")) monkey.dumpAfter(std::atoi(dump));
        MonkeyWatchdog watchdog(trace ? 300 : 120);
        monkey.run(steps, &watchdog);
        if (monkey.faults().empty()) monkey.walkHome();
        if (trace) std::fprintf(stderr, "%s", platform::ui::UIDriver::dumpViewTree().c_str());
        for (const auto& fault : monkey.faults())
            ADD_FAILURE() << fault << "\nlast actions:\n" << monkey.history();
        // A record of another type on an action's message, a failure no one
        // handled: faults of the code that the screen may hide.
        for (const auto& line : logs.lines())
            if (line.find("Event bus error") != std::string::npos ||
                line.find("Unresolved error") != std::string::npos)
                ADD_FAILURE() << "seed " << seed << ": " << line;
    }
};

// A few seeds, each on a fresh application and dealer.
class MonkeySeed : public MonkeyTest, public ::testing::WithParamInterface<uint64_t> {};

TEST_P(MonkeySeed, LeavesNoFault) {
    if (std::getenv("KAV_MONKEY_STEPS")) GTEST_SKIP() << "a long run: see MonkeyTest.OneSeed";
    runSeed(GetParam(), 150, false);
}

INSTANTIATE_TEST_SUITE_P(FixedSeeds, MonkeySeed, ::testing::Values(4, 6, 87));

// The local tool: one seed, as many steps as asked.
TEST_F(MonkeyTest, OneSeed) {
    const char* steps = std::getenv("KAV_MONKEY_STEPS");
    if (!steps) GTEST_SKIP() << "KAV_MONKEY_STEPS not set";
    const char* seed = std::getenv("KAV_MONKEY_SEED");
    runSeed(seed ? std::strtoull(seed, nullptr, 10) : 1, std::atoi(steps), true);
}

}  // namespace
