// GoogleTest main of every test executable: each process gets its own empty
// data folder, so tests never touch a user's settings or each other's files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/RunLoop.h"

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
