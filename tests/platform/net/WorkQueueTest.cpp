#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/net/NetworkThread.h"
#include "platform/net/WorkQueue.h"

using platform::net::NetworkThread;
using platform::net::WorkQueue;

namespace {

template <typename Predicate>
bool eventually(Predicate p) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!p()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace

TEST(WorkQueue, AnIdleQueueRunsTheBlockOnTheCallingThreadAndPostNeverDoes) {
    WorkQueue queue;
    std::thread::id ranOn;
    bool current = false;
    queue.run([&] {
        ranOn = std::this_thread::get_id();
        current = queue.isCurrent();
    });
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_TRUE(current);
    EXPECT_FALSE(queue.isCurrent());

    std::promise<std::pair<std::thread::id, bool>> posted;
    queue.post([&] {
        posted.set_value({std::this_thread::get_id(), NetworkThread::shared().isCurrent()});
    });
    const auto [thread, onNetwork] = posted.get_future().get();
    EXPECT_NE(thread, std::this_thread::get_id());
    EXPECT_TRUE(onNetwork);
}

// Work given while another thread runs a block waits behind it, in order,
// never beside it; the caller does not run it (it is not its own) and the
// network thread does.
TEST(WorkQueue, WorkGivenWhileBusyRunsLaterInOrderOnTheNetworkThread) {
    WorkQueue queue;
    std::atomic<bool> release{false};
    std::atomic<int> running{0}, overlap{0};
    std::vector<int> order;
    std::mutex orderMutex;
    std::atomic<int> onNetwork{0};
    // Counted last: once it reaches 5, no block touches this test's
    // variables any more (the order alone could be seen complete while the
    // last block still counts where it ran).
    std::atomic<int> finished{0};
    auto block = [&](int n) {
        return [&, n] {
            if (running.fetch_add(1) != 0) ++overlap;
            {
                std::lock_guard lock(orderMutex);
                order.push_back(n);
            }
            if (NetworkThread::shared().isCurrent()) ++onNetwork;
            running.fetch_sub(1);
            ++finished;
        };
    };
    std::atomic<bool> firstRunning{false};
    std::thread first([&] {
        queue.run([&] {
            firstRunning = true;
            while (!release)
                std::this_thread::yield();
        });
    });
    ASSERT_TRUE(eventually([&] { return firstRunning.load(); }));
    for (int n = 1; n <= 5; ++n)
        queue.run(block(n));
    {
        std::lock_guard lock(orderMutex);
        EXPECT_TRUE(order.empty());  // none ran inline beside the busy one
    }
    release = true;
    first.join();
    ASSERT_TRUE(eventually([&] { return finished.load() == 5; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(overlap.load(), 0);
    EXPECT_EQ(onNetwork.load(), 5);
}

// A block that gives its own queue more work does not run it inside itself.
TEST(WorkQueue, NestedWorkRunsAfterTheBlockThatGaveIt) {
    WorkQueue queue;
    std::promise<std::vector<int>> done;
    std::vector<int> order;
    queue.run([&] {
        queue.run([&] {
            order.push_back(2);
            done.set_value(order);
        });
        order.push_back(1);
    });
    EXPECT_EQ(done.get_future().get(), (std::vector<int>{1, 2}));
}

TEST(WorkQueue, ADestroyedQueueDropsWhatHasNotStarted) {
    std::atomic<int> ran{0};
    std::promise<void> started, release;
    auto queue = std::make_unique<WorkQueue>();
    queue->post([&] {
        started.set_value();
        release.get_future().wait();
    });
    started.get_future().wait();
    queue->post([&] { ++ran; });
    queue.reset();
    release.set_value();
    // The network thread has moved on when a task posted after it runs.
    std::promise<void> after;
    NetworkThread::shared().post([&] { after.set_value(); });
    after.get_future().wait();
    EXPECT_EQ(ran.load(), 0);
}
