#pragma once

// The UI layer and the trading service object belong to the main thread: their
// trees, caches and timers are touched without locks. In debug builds a call
// from any other thread (the network thread, a work queue, a download) stops
// the program at once and names the function, so a wrong hop fails in the
// test that makes it instead of corrupting a tree some time later.

#include "platform/RunLoop.h"

namespace platform {

// Logs "<function> called off the main thread" and aborts.
[[noreturn]] void mainThreadViolation(const char* function);

}  // namespace platform

#ifdef NDEBUG
#define KAV_ASSERT_MAIN_THREAD() ((void)0)
#else
#define KAV_ASSERT_MAIN_THREAD()                                                                 \
    do {                                                                                         \
        if (!::platform::RunLoop::main().isCurrent()) ::platform::mainThreadViolation(__func__); \
    } while (0)
#endif
