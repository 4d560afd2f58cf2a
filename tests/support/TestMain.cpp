// GoogleTest main of every test executable: each process gets its own empty
// data folder, so tests never touch a user's settings or each other's files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/RunLoop.h"

// Libraries whose caches look lost to the leak checker at exit though they
// are held for the whole run: fontconfig keeps its font data behind encoded
// offsets the checker cannot follow, and the session bus connection SDL
// opens with its video system keeps a buffer. The hook is read only by
// sanitised builds.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n";
}

int main(int argc, char** argv) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kavdata-XXXXXX").string();
    const bool haveDir = mkdtemp(tmpl.data()) != nullptr;
    if (haveDir) setenv("KAV_DATA_DIR", tmpl.c_str(), 1);
    // Sounds go to the recorder, never to the machine's speakers.
    setenv("KAV_AUDIO", "record", 0);
    platform::RunLoop::main().adoptCurrentThread();
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    if (haveDir) {
        std::error_code ec;
        std::filesystem::remove_all(tmpl, ec);
    }
    return rc;
}
