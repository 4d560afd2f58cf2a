#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Dispatch.h"
#include "platform/RunLoop.h"
#include "tests/support/TestSupport.h"

using platform::RunLoop;
using platform::Timer;

namespace {

TEST(RunLoopTimers, FireInDueOrderThenCreationOrder) {
    kavtest::VirtualTime time;
    std::vector<std::string> fired;
    Timer late = Timer::schedule(2.0, false, [&] { fired.push_back("late"); });
    Timer a = Timer::schedule(1.0, false, [&] { fired.push_back("a"); });
    Timer b = Timer::schedule(1.0, false, [&] { fired.push_back("b"); });
    Timer zero = Timer::schedule(0.0, false, [&] { fired.push_back("zero"); });

    time.advance(0.999);
    EXPECT_EQ(fired, (std::vector<std::string>{"zero"}));
    time.advance(0.001);
    EXPECT_EQ(fired, (std::vector<std::string>{"zero", "a", "b"}));
    time.advance(5);
    EXPECT_EQ(fired, (std::vector<std::string>{"zero", "a", "b", "late"}));
    EXPECT_FALSE(late.isValid());
}

TEST(RunLoopTimers, FireWhenTimeReachesThemInStepsThatDoNotAddUpExactly) {
    // 0.7 + 0.1 and ten times 0.1 fall a hair short of 0.8 and 1 in binary:
    // a test stepping the clock so must still see the timers fire.
    std::vector<std::string> fired;
    {
        kavtest::VirtualTime time;
        Timer press = Timer::schedule(0.8, false, [&] { fired.push_back("press"); });
        Timer second = Timer::schedule(1.0, false, [&] { fired.push_back("second"); });
        time.advance(0.7);
        time.advance(0.1);
        EXPECT_EQ(fired, (std::vector<std::string>{"press"}));
        time.advance(0.1);
        time.advance(0.1);
        EXPECT_EQ(fired, (std::vector<std::string>{"press", "second"}));
    }
    fired.clear();
    {
        // The clock moved by itself, then the loop drained.
        kavtest::VirtualTime time;
        Timer second = Timer::schedule(1.0, false, [&] { fired.push_back("second"); });
        for (int i = 0; i < 10; ++i)
            time.clock().advance(0.1);
        time.drain();
        EXPECT_EQ(fired, (std::vector<std::string>{"second"}));
    }
}

TEST(RunLoopTimers, CancelledByInvalidateDestructionAndReassignment) {
    kavtest::VirtualTime time;
    int fired = 0;
    Timer kept = Timer::schedule(1.0, false, [&] { fired += 100; });
    {
        Timer dropped = Timer::schedule(1.0, false, [&] { fired += 1; });
    }
    Timer replaced = Timer::schedule(1.0, false, [&] { fired += 10; });
    replaced = Timer::schedule(3.0, false, [&] { fired += 1000; });
    kept.invalidate();
    EXPECT_FALSE(kept.isValid());
    time.advance(2.0);
    EXPECT_EQ(fired, 0);
    time.advance(1.0);
    EXPECT_EQ(fired, 1000);
    EXPECT_EQ(RunLoop::main().timerCount(), 0u);
}

TEST(RunLoopTimers, RepeatingTimerFiresEveryPeriodAndCanStopItself) {
    kavtest::VirtualTime time;
    std::vector<double> at;
    Timer t;
    t = Timer::schedule(60.0, true, [&] {
        at.push_back(time.clock().now());
        if (at.size() == 3) t.invalidate();
    });
    time.advance(1000);
    EXPECT_EQ(at, (std::vector<double>{60, 120, 180}));
    EXPECT_FALSE(t.isValid());
}

TEST(RunLoopTimers, CallbackMayDestroyItsOwner) {
    kavtest::VirtualTime time;
    struct Owner {
        Timer timer;
        int* count;
    };
    int count = 0;
    auto owner = std::make_unique<Owner>();
    owner->count = &count;
    owner->timer = Timer::schedule(1.0, true, [&] {
        ++*owner->count;
        owner.reset();  // destroys the timer from inside its own callback
    });
    time.advance(10);
    EXPECT_EQ(count, 1);
}

TEST(RunLoopTasks, PostedTasksRunInOrderAndNeverInline) {
    kavtest::VirtualTime time;
    std::vector<int> order;
    RunLoop::main().post([&] {
        order.push_back(1);
        RunLoop::main().post([&] { order.push_back(3); });
    });
    RunLoop::main().post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    time.drain();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(RunLoopTasks, TimerWorkInterleavesWithPostedTasks) {
    kavtest::VirtualTime time;
    std::vector<std::string> order;
    Timer t1 = Timer::schedule(1.0, false, [&] {
        order.push_back("t1");
        RunLoop::main().post([&] { order.push_back("task-from-t1"); });
    });
    Timer t2 = Timer::schedule(1.0, false, [&] { order.push_back("t2"); });
    time.advance(1.0);
    EXPECT_EQ(order, (std::vector<std::string>{"t1", "task-from-t1", "t2"}));
}

TEST(RunLoopThreads, CrossThreadPostsAreDeliveredOnTheMainThread) {
    kavtest::VirtualTime time;
    const auto mainId = std::this_thread::get_id();
    std::atomic<int> sent{0};
    int received = 0;
    bool allOnMain = true;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 250; ++i) {
                RunLoop::main().post([&] {
                    ++received;
                    allOnMain = allOnMain && std::this_thread::get_id() == mainId;
                });
                ++sent;
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_TRUE(time.runUntil([&] { return received == 1000; }, 10));
    EXPECT_TRUE(allOnMain);
    EXPECT_TRUE(RunLoop::main().isCurrent());
}

// A timer another thread schedules (a setting changed there, a delayed call)
// must wake a loop asleep with nothing to do, or it fires only when something
// else happens to wake the loop.
TEST(RunLoopThreads, ATimerScheduledFromAnotherThreadWakesASleepingLoop) {
    RunLoop loop(std::make_shared<platform::VirtualClock>());
    std::mutex m;
    std::condition_variable cv;
    bool running = false;
    bool fired = false;
    std::thread runner([&] {
        loop.post([&] {
            std::lock_guard lock(m);
            running = true;
            cv.notify_all();
        });
        loop.run();
    });
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return running; }));
    }
    // Due at once on the loop's clock, which never moves here: only a
    // wake-up can make it fire.
    Timer timer = Timer::schedule(
        0.0, false,
        [&] {
            std::lock_guard lock(m);
            fired = true;
            cv.notify_all();
        },
        loop);
    bool woken = false;
    {
        // Bounded, so that a lost wake-up fails instead of hanging.
        std::unique_lock lock(m);
        woken = cv.wait_for(lock, std::chrono::seconds(5), [&] { return fired; });
    }
    loop.stop();
    runner.join();
    EXPECT_TRUE(woken);
    RunLoop::main().adoptCurrentThread();
}

TEST(RunLoopThreads, RunUntilTimesOutInRealTimeWithoutMovingVirtualTime) {
    kavtest::VirtualTime time;
    bool fired = false;
    Timer t = Timer::schedule(0.5, false, [&] { fired = true; });
    EXPECT_FALSE(time.runUntil([&] { return fired; }, 0.05));
    EXPECT_EQ(time.clock().now(), 0.0);
    time.advance(0.5);
    EXPECT_TRUE(fired);
}

TEST(RunLoopThreads, RealClockRunStopsAndSleepsUntilTimer) {
    RunLoop loop;  // real clock
    loop.adoptCurrentThread();
    int fired = 0;
    Timer t = Timer::schedule(
        0.02, false,
        [&] {
            ++fired;
            loop.stop();
        },
        loop);
    loop.run();
    EXPECT_EQ(fired, 1);
    std::thread other([&] { loop.post([&] { loop.stop(); }); });
    loop.run();
    other.join();
    RunLoop::main().adoptCurrentThread();
}

// A window draws inside its idle wait; a timer that drawing schedules (a
// layout that starts an animation or a delayed call) must cut the sleep that
// was sized before it, or the loop sleeps until the next input event.
TEST(RunLoopThreads, ATimerScheduledInsideTheWindowsWaitWakesIt) {
    RunLoop loop;  // real clock
    loop.adoptCurrentThread();
    std::mutex m;
    std::condition_variable cv;
    bool wakeCalled = false;
    bool fired = false;
    int waits = 0;
    bool firstWaitWoken = false;
    Timer drawn;
    loop.setWaitHooks(
        [&](double) {
            if (!drawn.isValid())
                drawn = Timer::schedule(0.01, false, [&] {
                    fired = true;
                    loop.stop();
                }, loop);
            // The test's stand-in for the window's event queue, bounded so a
            // lost wake-up fails instead of hanging.
            std::unique_lock lock(m);
            const bool woken =
                cv.wait_for(lock, std::chrono::seconds(2), [&] { return wakeCalled; });
            if (++waits == 1) firstWaitWoken = woken;
        },
        [&] {
            std::lock_guard lock(m);
            wakeCalled = true;
            cv.notify_all();
        });
    loop.run();
    loop.setWaitHooks(nullptr, nullptr);
    EXPECT_TRUE(fired);
    EXPECT_TRUE(firstWaitWoken) << "the wait slept through the timer its drawing scheduled";
    RunLoop::main().adoptCurrentThread();
}

// A window takes its hooks away and then frees what they point to (its wake-up
// descriptor, its state) while the network thread may be posting. A wake-up
// that began before the hooks were taken away must be over when that returns.
TEST(RunLoopThreads, NoWakeUpRunsInHooksOnceTheirRemovalHasReturned) {
    RunLoop loop;  // real clock
    loop.adoptCurrentThread();
    std::mutex m;
    std::condition_variable cv;
    bool entered = false;
    bool removed = false;
    bool ranAfterRemoval = false;
    loop.setWaitHooks([](double) {},
                      [&] {
                          std::unique_lock lock(m);
                          entered = true;
                          cv.notify_all();
                          // Held until the hooks are gone, bounded: the loop
                          // rightly waits for this wake-up to end first.
                          cv.wait_for(lock, std::chrono::milliseconds(300),
                                      [&] { return removed; });
                          if (removed) ranAfterRemoval = true;
                      });
    std::thread poster([&] { loop.post([] {}); });
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return entered; });
    }
    loop.setWaitHooks(nullptr, nullptr);
    {
        std::lock_guard lock(m);
        removed = true;
    }
    cv.notify_all();
    poster.join();
    loop.drain();
    EXPECT_FALSE(ranAfterRemoval) << "a wake-up ran on in hooks already taken away";
    RunLoop::main().adoptCurrentThread();
}

TEST(Dispatch, SerialQueueRunsInOrderOneAtATimeNeverInline) {
    platform::dispatch::SerialQueue queue("test.serial");
    std::vector<int> order;
    std::atomic<int> running{0};
    std::atomic<bool> overlap{false};
    std::atomic<bool> onQueue{true};
    for (int i = 0; i < 200; ++i) {
        queue.async([&, i] {
            if (running.fetch_add(1) != 0) overlap = true;
            if (!queue.isCurrent()) onQueue = false;
            order.push_back(i);
            running.fetch_sub(1);
        });
    }
    EXPECT_FALSE(queue.isCurrent());
    queue.waitIdle();
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_FALSE(overlap);
    EXPECT_TRUE(onQueue);
}

TEST(Dispatch, TwoSerialQueuesRunIndependently) {
    platform::dispatch::SerialQueue a("a"), b("b");
    std::atomic<bool> bRan{false};
    std::atomic<bool> release{false};
    a.async([&] {
        while (!release)
            std::this_thread::yield();
    });
    b.async([&] { bRan = true; });
    b.waitIdle();
    EXPECT_TRUE(bRan);
    release = true;
    a.waitIdle();
}

TEST(Dispatch, AfterAndAsyncMainRunOnTheMainLoop) {
    kavtest::VirtualTime time;
    std::vector<std::string> order;
    platform::dispatch::after(5.0, [&] { order.push_back("after"); });
    platform::dispatch::async_global(
        [&] { platform::dispatch::async_main([&] { order.push_back("global->main"); }); });
    EXPECT_TRUE(time.runUntil([&] { return !order.empty(); }, 10));
    EXPECT_EQ(order, (std::vector<std::string>{"global->main"}));
    time.advance(4.9);
    EXPECT_EQ(order.size(), 1u);
    time.advance(0.1);
    EXPECT_EQ(order.back(), "after");
}

}  // namespace
