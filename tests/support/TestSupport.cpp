#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <stdexcept>

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
