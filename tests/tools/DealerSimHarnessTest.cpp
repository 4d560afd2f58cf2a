// The harness's promise to whoever runs the suites: a test program that dies,
// however it dies, takes its simulated dealer with it, so a crash leaves no
// stray server holding ports and CPU.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "tests/support/DealerSim.h"

extern char** environ;

// Run only as the child of the test below: starts a dealer, tells its pid and
// waits for the end of its input (or for SIGKILL).
TEST(DealerSimHarness, DISABLED_ChildHoldsADealer) {
    kavtest::DealerSim sim;
    std::printf("dealer %d\n", static_cast<int>(sim.pid()));
    std::fflush(stdout);
    char byte;
    while (read(STDIN_FILENO, &byte, 1) > 0) {
    }
}

TEST(DealerSimHarness, AKilledTestProgramLeavesNoDealerRunning) {
    // Orphans come to this process instead of to init, so the dealer's end
    // can be awaited exactly.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    struct Restore {
        ~Restore() { prctl(PR_SET_CHILD_SUBREAPER, 0); }
    } restore;

    int out[2], in[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    std::string self = "/proc/self/exe", all = "--gtest_also_run_disabled_tests",
                filter = "--gtest_filter=DealerSimHarness.DISABLED_ChildHoldsADealer";
    char* argv[] = {self.data(), all.data(), filter.data(), nullptr};
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, self.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(in[0]);

    // The child's first line names its dealer.
    std::string text;
    int dealer = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (dealer < 0 && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        char chunk[256];
        const ssize_t n = read(out[0], chunk, sizeof chunk);
        if (n <= 0) break;
        text.append(chunk, static_cast<size_t>(n));
        const auto at = text.find("dealer ");
        if (at != std::string::npos && text.find('\n', at) != std::string::npos)
            dealer = std::stoi(text.substr(at + 7));
    }
    ASSERT_GT(dealer, 0) << "the child named no dealer: " << text;

    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));

    // The dealer, now this process's orphan, ends by itself within seconds.
    const int handle = static_cast<int>(syscall(SYS_pidfd_open, dealer, 0));
    ASSERT_GE(handle, 0);
    pollfd p{handle, POLLIN, 0};
    const bool ended = poll(&p, 1, 15000) == 1 && waitpid(dealer, &status, 0) == dealer;
    close(handle);
    if (!ended) {
        kill(dealer, SIGKILL);
        waitpid(dealer, nullptr, 0);
    }
    close(out[0]);
    close(in[1]);
    ASSERT_TRUE(ended) << "the dealer outlived the killed test program";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the dealer did not stop in order (status " << status << ")";
}
