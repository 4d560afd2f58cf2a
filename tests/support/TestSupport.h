#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "platform/RunLoop.h"

namespace kavtest {

// Installs a virtual clock on the main run loop for the lifetime of the
// object and puts the previous clock back afterwards. Timers scheduled while
// it is installed should be gone before it is destroyed.
class VirtualTime {
  public:
    explicit VirtualTime(double wallStart = 1767603600.0);
    ~VirtualTime();
    VirtualTime(const VirtualTime&) = delete;
    VirtualTime& operator=(const VirtualTime&) = delete;

    platform::VirtualClock& clock() { return *clock_; }
    // Fires every timer due within `seconds`, in order.
    void advance(double seconds) { platform::RunLoop::main().advance(seconds); }
    void drain() { platform::RunLoop::main().drain(); }
    // Waits (real time, bounded) for work posted from other threads.
    bool runUntil(const std::function<bool()>& predicate, double realTimeout = 10.0) {
        return platform::RunLoop::main().runUntil(predicate, realTimeout);
    }

  private:
    std::shared_ptr<platform::VirtualClock> clock_;
    std::shared_ptr<platform::Clock> previous_;
};

// A fresh temporary folder, removed with its content on destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// Bytes of the process's heap in use now (live allocations): in a build
// with AddressSanitizer its own count, so that freed memory it keeps in
// quarantine does not count; else malloc's.
size_t heapInUse();
// Heap allocations the calling thread has made so far (malloc and new
// alike), counted by AddressSanitizer's hooks; nothing in a build without it.
std::optional<size_t> heapAllocations();

// The folder of the source tree ($KAV_SOURCE_DIR, else the tree it was built from).
std::filesystem::path sourceDir();
// The folder of the built executables (<build>/bin, where the tests are too).
std::filesystem::path binDir();

// A small generator of repeatable random numbers (xorshift), for tests that
// walk many made-up cases: the same seed gives the same cases on every run.
struct XorShift {
    uint64_t seed;
    uint64_t operator()() {
        seed ^= seed << 13;
        seed ^= seed >> 7;
        seed ^= seed << 17;
        return seed;
    }
};

}  // namespace kavtest
