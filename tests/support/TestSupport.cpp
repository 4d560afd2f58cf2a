#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <stdexcept>

#if defined(__SANITIZE_ADDRESS__)
#define KAV_HAVE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KAV_HAVE_ASAN 1
#endif
#endif
#ifdef KAV_HAVE_ASAN
// From the sanitizer runtime (its header does not come with every compiler).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace kavtest {

VirtualTime::VirtualTime(double wallStart)
    : clock_(std::make_shared<platform::VirtualClock>(wallStart)),
      previous_(platform::RunLoop::main().sharedClock()) {
    platform::RunLoop::main().adoptCurrentThread();
    platform::RunLoop::main().setClock(clock_);
}

VirtualTime::~VirtualTime() {
    platform::RunLoop::main().drain();
    platform::RunLoop::main().setClock(previous_);
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kavtest-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

size_t heapInUse() {
#ifdef KAV_HAVE_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
#endif
}

#ifdef KAV_HAVE_ASAN
namespace {
// Per thread, so that another thread's work never counts in a test's span.
thread_local size_t allocationsMade = 0;
}  // namespace

// The sanitizer runtime calls it on every allocation (malloc and new alike).
extern "C" void __sanitizer_malloc_hook(const volatile void*, size_t) {
    ++allocationsMade;
}
#endif

std::optional<size_t> heapAllocations() {
#ifdef KAV_HAVE_ASAN
    return allocationsMade;
#else
    return std::nullopt;
#endif
}

std::filesystem::path sourceDir() {
    const char* dir = std::getenv("KAV_SOURCE_DIR");
    return dir ? std::filesystem::path(dir) : std::filesystem::path(KAV_SOURCE_DIR_DEFAULT);
}

std::filesystem::path binDir() {
    // Test executables are built into <build>/bin beside every other program.
    const char* dir = std::getenv("KAV_BIN_DIR");
    if (dir) return dir;
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : self.parent_path();
}

}  // namespace kavtest
