#include "platform/MainThread.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

void mainThreadViolation(const char* function) {
    // Straight to stderr: the log sink may itself be main-thread state.
    std::fprintf(stderr, "%s called off the main thread\n", function ? function : "?");
    std::fflush(stderr);
    std::abort();
}

}  // namespace platform
