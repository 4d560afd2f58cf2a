#include "platform/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace platform {

namespace detail {
struct TimerEntry {
    RunLoop* loop = nullptr;
    std::function<void()> fire;
    double due = 0;
    double interval = 0;
    bool repeats = false;
    bool valid = true;  // guarded by the loop's mutex
    uint64_t seq = 0;   // key in the loop's table while scheduled
    bool scheduled = false;
};
}  // namespace detail

namespace {
// Repeating timers fire at most ten thousand times a second.
constexpr double kMinRepeatInterval = 1e-4;
// Virtual time moves in steps such as 0.1 that binary fractions hold only
// nearly: 0.7 + 0.1 is a hair under 0.8. A timer that close ahead of the
// virtual clock is due; no interval of the system comes near it.
constexpr double kVirtualSlack = 1e-7;
}  // namespace

RunLoop& RunLoop::main() {
    // Never destroyed: threads that outlive main() may still post to it.
    static RunLoop* loop = new RunLoop();
    return *loop;
}

RunLoop::RunLoop(std::shared_ptr<Clock> clock) : clock_(std::move(clock)) {
    owner_.store(std::this_thread::get_id());
}

RunLoop::~RunLoop() {
    std::lock_guard lock(mutex_);
    for (auto& [key, entry] : timers_) {
        entry->valid = false;
        entry->scheduled = false;
        entry->loop = nullptr;
    }
    timers_.clear();
}

std::shared_ptr<Clock> RunLoop::sharedClock() const {
    std::lock_guard lock(mutex_);
    return clock_;
}

void RunLoop::setClock(std::shared_ptr<Clock> clock) {
    std::lock_guard lock(mutex_);
    clock_ = std::move(clock);
}

VirtualClock* RunLoop::virtualClock() const {
    return dynamic_cast<VirtualClock*>(clock_.get());
}

bool RunLoop::isCurrent() const {
    return owner_.load() == std::this_thread::get_id();
}

void RunLoop::adoptCurrentThread() {
    owner_.store(std::this_thread::get_id());
}

void RunLoop::post(std::function<void()> task) {
    if (!task) return;
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
        woken_ = true;
    }
    cv_.notify_one();
    callWakeHook();
}

void RunLoop::callWakeHook() {
    std::lock_guard hooks(wakeMutex_);
    if (wakeHook_) wakeHook_();
}

void RunLoop::setWaitHooks(std::function<void(double)> wait, std::function<void()> wake) {
    std::function<void(double)> oldWait;
    std::function<void()> oldWake;
    {
        std::lock_guard hooks(wakeMutex_);
        std::lock_guard lock(mutex_);
        oldWait = std::exchange(waitHook_, std::move(wait));
        oldWake = std::exchange(wakeHook_, std::move(wake));
    }
}

bool RunLoop::runPostedBatch() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(tasks_);
    }
    for (auto& task : batch)
        task();
    return !batch.empty();
}

bool RunLoop::fireOneDueTimer() {
    std::shared_ptr<detail::TimerEntry> entry;
    std::function<void()> fire;
    {
        std::lock_guard lock(mutex_);
        if (timers_.empty()) return false;
        auto it = timers_.begin();
        const double now = clock_->now();
        if (it->first.first > now + (clock_->isVirtual() ? kVirtualSlack : 0.0)) return false;
        entry = it->second;
        timers_.erase(it);
        entry->scheduled = false;
        if (entry->repeats) {
            // A repeating timer is put back before it runs, so the callback
            // may invalidate it. On a virtual clock every period fires; on the
            // real clock missed periods are skipped.
            double next = entry->due + entry->interval;
            if (!clock_->isVirtual() && next <= now) next = now + entry->interval;
            entry->due = next;
            entry->seq = nextSeq_++;
            entry->scheduled = true;
            timers_.emplace(TimerKey{entry->due, entry->seq}, entry);
        } else {
            entry->valid = false;
        }
        fire = entry->fire;  // the callback may destroy the timer's owner
    }
    if (fire) fire();
    return true;
}

bool RunLoop::runReady() {
    bool did = runPostedBatch();
    // One timer at a time, so that tasks posted by a timer run before the next.
    if (fireOneDueTimer()) did = true;
    return did;
}

void RunLoop::drain() {
    adoptCurrentThread();
    while (runReady()) {
    }
}

bool RunLoop::nextTimerDue(double& due) const {
    if (timers_.empty()) return false;
    due = timers_.begin()->first.first;
    return true;
}

void RunLoop::waitForWork(double maxSeconds) {
    std::function<void(double)> hook;
    double wait = maxSeconds;  // negative: no limit
    {
        std::unique_lock lock(mutex_);
        if (!tasks_.empty() || stopRequested_) return;
        double due = 0;
        if (!clock_->isVirtual() && nextTimerDue(due)) {
            double untilDue = std::max(0.0, due - clock_->now());
            if (untilDue <= 0) return;
            wait = wait < 0 ? untilDue : std::min(wait, untilDue);
        }
        if (wait == 0) return;
        hook = waitHook_;
        if (hook) inWaitHook_ = true;
        if (!hook) {
            woken_ = false;
            auto ready = [&] { return woken_ || !tasks_.empty() || stopRequested_; };
            if (wait < 0) {
                cv_.wait(lock, ready);
            } else {
                cv_.wait_for(lock, std::chrono::duration<double>(wait), ready);
            }
            return;
        }
    }
    hook(wait);
    std::lock_guard lock(mutex_);
    inWaitHook_ = false;
}

void RunLoop::run() {
    adoptCurrentThread();
    stopRequested_ = false;
    while (!stopRequested_) {
        drain();
        if (stopRequested_) break;
        waitForWork(-1);
    }
    stopRequested_ = false;
}

void RunLoop::stop() {
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
        woken_ = true;
    }
    cv_.notify_all();
    callWakeHook();
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, double timeoutSeconds) {
    adoptCurrentThread();
    using steady = std::chrono::steady_clock;
    const auto deadline = steady::now() + std::chrono::duration_cast<steady::duration>(
                                              std::chrono::duration<double>(timeoutSeconds));
    while (true) {
        drain();
        if (predicate()) return true;
        const double remaining = std::chrono::duration<double>(deadline - steady::now()).count();
        if (remaining <= 0) return predicate();
        waitForWork(remaining);
    }
}

void RunLoop::advance(double seconds) {
    adoptCurrentThread();
    auto* vclock = virtualClock();
    if (!vclock) throw std::logic_error("RunLoop::advance needs a virtual clock");
    drain();
    const double target = vclock->now() + std::max(0.0, seconds);
    while (true) {
        double due = 0;
        {
            std::lock_guard lock(mutex_);
            if (!nextTimerDue(due) || due > target + kVirtualSlack) break;
        }
        // One due a hair past the target fires at it: the clock never goes back.
        vclock->setNow(std::min(due, target));
        drain();
    }
    vclock->setNow(target);
    drain();
}

size_t RunLoop::timerCount() const {
    std::lock_guard lock(mutex_);
    return timers_.size();
}

void RunLoop::scheduleEntry(const std::shared_ptr<detail::TimerEntry>& entry) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        entry->due = clock_->now() + entry->interval;
        entry->seq = nextSeq_++;
        entry->scheduled = true;
        timers_.emplace(TimerKey{entry->due, entry->seq}, entry);
        // The main thread itself needs no wake-up between turns, which size
        // their sleep afresh; inside the windowing layer's wait (its drawing)
        // the sleep is already sized without this timer.
        wake = !isCurrent() || inWaitHook_;
        // The sleep waits for this flag, not for the notification alone: a
        // loop with nothing due would go back to sleep past the new timer.
        if (wake) woken_ = true;
    }
    // A sleeping loop must recompute how long to sleep.
    cv_.notify_one();
    if (wake) callWakeHook();
}

void RunLoop::removeEntry(detail::TimerEntry& entry) {
    std::lock_guard lock(mutex_);
    entry.valid = false;
    if (entry.scheduled) {
        timers_.erase(TimerKey{entry.due, entry.seq});
        entry.scheduled = false;
    }
}

// --- Timer ---------------------------------------------------------------

Timer& Timer::operator=(Timer&& other) noexcept {
    if (this != &other) {
        invalidate();
        entry_ = std::move(other.entry_);
    }
    return *this;
}

Timer::~Timer() {
    invalidate();
}

Timer Timer::schedule(double interval, bool repeats, std::function<void()> fire, RunLoop& loop) {
    auto entry = std::make_shared<detail::TimerEntry>();
    entry->loop = &loop;
    entry->fire = std::move(fire);
    entry->interval = std::max(0.0, std::isfinite(interval) ? interval : 0.0);
    if (repeats) entry->interval = std::max(entry->interval, kMinRepeatInterval);
    entry->repeats = repeats;
    loop.scheduleEntry(entry);
    Timer timer;
    timer.entry_ = std::move(entry);
    return timer;
}

void Timer::invalidate() {
    if (!entry_) return;
    if (entry_->loop) entry_->loop->removeEntry(*entry_);
    entry_.reset();
}

bool Timer::isValid() const {
    if (!entry_ || !entry_->loop) return false;
    std::lock_guard lock(entry_->loop->mutex_);
    return entry_->valid;
}

double Timer::fireDate() const {
    if (!isValid()) return 0;
    std::lock_guard lock(entry_->loop->mutex_);
    return entry_->due;
}

double Timer::interval() const {
    return entry_ ? entry_->interval : 0;
}

void Timer::detach() {
    entry_.reset();
}

}  // namespace platform
