#include "platform/Clock.h"

#include <chrono>

#include "platform/RunLoop.h"

namespace platform {

double SystemClock::now() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double SystemClock::wallTime() const {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

double VirtualClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

double VirtualClock::wallTime() const {
    std::lock_guard lock(mutex_);
    return wallStart_ + now_;
}

void VirtualClock::advance(double seconds) {
    if (seconds <= 0) return;
    std::lock_guard lock(mutex_);
    now_ += seconds;
}

void VirtualClock::setNow(double monotonic) {
    std::lock_guard lock(mutex_);
    if (monotonic > now_) now_ = monotonic;
}

Clock& clock() {
    return RunLoop::main().clock();
}

}  // namespace platform
