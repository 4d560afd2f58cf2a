#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Clock.h"

namespace platform {

namespace detail {
struct TimerEntry;
}

// The main run loop: one thread runs every task, timer, channel callback and
// screen event of the application. Other threads reach it only through post().
//
// Order: posted tasks run first in, first out; timers fire ordered by due time,
// then by creation. Tasks posted while a batch runs go to the next batch.
class RunLoop {
  public:
    // The application's main run loop (created on first use; the thread that
    // creates or runs it becomes the main thread).
    static RunLoop& main();

    explicit RunLoop(std::shared_ptr<Clock> clock = std::make_shared<SystemClock>());
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // Thread-safe: the only entry for other threads.
    void post(std::function<void()> task);

    Clock& clock() const { return *clock_; }
    std::shared_ptr<Clock> sharedClock() const;
    // Replaces the clock. Meant for tests, before anything is scheduled; timers
    // already scheduled keep their due times.
    void setClock(std::shared_ptr<Clock> clock);
    // The installed clock if it is virtual, else null.
    VirtualClock* virtualClock() const;

    bool isCurrent() const;
    void adoptCurrentThread();

    // Runs until stop(). Sleeps (without using CPU) while nothing is due.
    void run();
    void stop();

    // Runs tasks and timers until the predicate holds or `timeoutSeconds` of
    // real time have passed; returns the predicate's last value. With a virtual
    // clock, timers fire only when due at the current virtual time: time does
    // not move by itself.
    bool runUntil(const std::function<bool()>& predicate, double timeoutSeconds);

    // Runs everything that is ready now (posted tasks and timers due at the
    // current time), repeatedly, until nothing is left. Never waits.
    void drain();

    // Virtual clock only: moves time forward by `seconds`, stopping at each
    // timer's due time in order to fire it, and draining tasks in between.
    void advance(double seconds);

    // Number of valid scheduled timers (for tests and diagnostics).
    size_t timerCount() const;

    // Lets a windowing layer take over the idle wait: `wait` is called with
    // the longest time to wait (seconds, negative meaning no limit) and must
    // return early once `wake` has been called (post() calls it, from any
    // thread). Once this returns, no call of the hooks it replaced is still
    // running, so their owner may be freed; `wake` must not post itself.
    void setWaitHooks(std::function<void(double)> wait, std::function<void()> wake);

  private:
    friend class Timer;
    using TimerKey = std::pair<double, uint64_t>;

    bool runReady();
    bool runPostedBatch();
    bool fireOneDueTimer();
    void waitForWork(double maxSeconds);
    void scheduleEntry(const std::shared_ptr<detail::TimerEntry>& entry);
    void removeEntry(detail::TimerEntry& entry);
    bool nextTimerDue(double& due) const;
    void callWakeHook();

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> tasks_;
    std::map<TimerKey, std::shared_ptr<detail::TimerEntry>> timers_;
    uint64_t nextSeq_ = 1;
    std::shared_ptr<Clock> clock_;
    std::atomic<std::thread::id> owner_;
    std::atomic<bool> stopRequested_{false};
    bool woken_ = false;
    // True while the windowing layer's wait runs: it draws before it sleeps,
    // and a timer the drawing schedules must cut the sleep it already sized.
    bool inWaitHook_ = false;
    std::function<void(double)> waitHook_;
    // Held while the wake-up hook runs and while it is replaced (taken before
    // mutex_): the thread that takes a window's hooks away waits for a
    // wake-up in progress on another thread instead of freeing it under it.
    std::mutex wakeMutex_;
    std::function<void()> wakeHook_;  // guarded by wakeMutex_
};

// A timer on a run loop. The handle owns the timer: destroying it, assigning
// over it or calling invalidate() cancels it, so an object that keeps its
// timers as members can never be called back after it is gone.
class Timer {
  public:
    Timer() = default;
    Timer(Timer&& other) noexcept = default;
    Timer& operator=(Timer&& other) noexcept;
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Fires `fire` after `interval` seconds (then every `interval` seconds
    // when repeating) on the given run loop.
    static Timer schedule(double interval, bool repeats, std::function<void()> fire,
                          RunLoop& loop = RunLoop::main());

    void invalidate();
    bool isValid() const;
    explicit operator bool() const { return isValid(); }
    // Monotonic due time of the next firing (clock of its run loop); 0 when invalid.
    double fireDate() const;
    double interval() const;

    // Gives up ownership: the timer stays scheduled until it fires (one-shot)
    // or for ever (repeating). Used for fire-and-forget delayed runs.
    void detach();

  private:
    std::shared_ptr<detail::TimerEntry> entry_;
};

}  // namespace platform
