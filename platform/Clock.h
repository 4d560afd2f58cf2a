#pragma once

#include <atomic>
#include <memory>
#include <mutex>

namespace platform {

// The one source of time of the system. Everything that needs the time asks
// the main run loop's clock (platform::clock()); tests install a VirtualClock
// and move it forward by hand, so nothing ever waits on real time in a test.
class Clock {
  public:
    virtual ~Clock() = default;
    // Monotonic seconds; only differences are meaningful.
    virtual double now() const = 0;
    // Wall time: seconds since 1970-01-01 00:00 UTC.
    virtual double wallTime() const = 0;
    // A virtual clock only moves when advanced; the run loop then never
    // sleeps waiting for a timer.
    virtual bool isVirtual() const { return false; }
};

class SystemClock final : public Clock {
  public:
    double now() const override;
    double wallTime() const override;
};

class VirtualClock final : public Clock {
  public:
    // Starts at monotonic 0 and at the given wall time (default: Monday
    // 2026-01-05 09:00:00 UTC, a plain trading day).
    explicit VirtualClock(double wallStart = 1767603600.0) : wallStart_(wallStart) {}
    double now() const override;
    double wallTime() const override;
    bool isVirtual() const override { return true; }

    // Moves time forward. RunLoop::advance() is what tests normally use: it
    // also fires the timers that fall due on the way, in order.
    void advance(double seconds);
    void setNow(double monotonic);

  private:
    mutable std::mutex mutex_;
    double now_ = 0.0;
    double wallStart_;
};

// The clock of the main run loop.
Clock& clock();

}  // namespace platform
