#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "tests/platform/KilledSave.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"

namespace files = platform::files;
namespace fs = std::filesystem;
using kavtest::ScopedEnv;

namespace {

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Files, DataRootComesFromTheEnvironmentUnlessSet) {
    {
        ScopedEnv dir("KAV_DATA_DIR", "/srv/kav");
        EXPECT_EQ(files::dataRoot(), fs::path("/srv/kav"));
        EXPECT_EQ(files::documentsRoot(), fs::path("/srv/kav/Documents"));
    }
    ScopedEnv dir("KAV_DATA_DIR", nullptr);
    ScopedEnv home("HOME", "/home/trader");
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/data");
        EXPECT_EQ(files::dataRoot(), fs::path("/data/kav-trader"));
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", "relative/data");  // ignored, as XDG asks
        EXPECT_EQ(files::dataRoot(), fs::path("/home/trader/.local/share/kav-trader"));
    }
    files::setDataRoot("/tmp/elsewhere");
    EXPECT_EQ(files::dataRoot(), fs::path("/tmp/elsewhere"));
    files::setDocumentsRoot("/tmp/docs");
    EXPECT_EQ(files::documentsRoot(), fs::path("/tmp/docs"));
    files::setDocumentsRoot({});
    EXPECT_EQ(files::documentsRoot(), fs::path("/tmp/elsewhere/Documents"));
    files::setDataRoot({});
    ScopedEnv xdg("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(files::dataRoot(), fs::path("/home/trader/.local/share/kav-trader"));
}

TEST(Files, DocumentsPathsNeverLeaveTheRoot) {
    kavtest::TempDir dir;
    files::setDocumentsRoot(dir.path());
    EXPECT_EQ(files::documentsPath("Res/Images/Dealer/KAVFX_logo.png"),
              dir.path() / "Res/Images/Dealer/KAVFX_logo.png");
    EXPECT_EQ(files::documentsPath("./a//b"), dir.path() / "a" / "b");
    EXPECT_EQ(files::documentsPath("a..b"), dir.path() / "a..b");
    EXPECT_EQ(files::documentsPath(""), dir.path());
    for (std::string_view bad : {"..", "../x", "a/../../x", "a/..", "/etc/passwd", "//x"}) {
        EXPECT_FALSE(files::documentsPath(bad).has_value()) << bad;
    }
    EXPECT_FALSE(files::documentsPath(std::string_view("a\0b", 3)).has_value());
    files::setDocumentsRoot({});
}

TEST(Files, SafeNames) {
    for (std::string_view good : {"EURUSD_logo.png", "a-b.c", "x", ".hidden", "KAVFX.json"}) {
        EXPECT_TRUE(files::isSafeName(good)) << good;
    }
    const std::string longName(256, 'a');
    const std::vector<std::string_view> bad = {
        "",      ".", "..", "a..b", "a/b", "a b", "名字", "~", "a\\b", std::string_view("a\0", 2),
        longName};
    for (std::string_view name : bad) {
        EXPECT_FALSE(files::isSafeName(name)) << name;
    }
    EXPECT_TRUE(files::isSafeName(std::string(255, 'a')));
}

TEST(Files, ReadWriteMakeAndRemove) {
    kavtest::TempDir dir;
    const fs::path folder = dir / "a/b/c";
    EXPECT_FALSE(files::writeFileAtomic(folder / "f.bin", "x"));  // no folder yet
    EXPECT_FALSE(files::fileExists(dir / "a"));
    EXPECT_TRUE(files::makeDirectories(folder));
    EXPECT_TRUE(files::makeDirectories(folder));

    std::string bytes(1 << 20, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    const fs::path file = folder / "f.bin";
    EXPECT_TRUE(files::writeFileAtomic(file, bytes));
    EXPECT_EQ(files::readFile(file), bytes);
    EXPECT_TRUE(files::writeFileAtomic(file, ""));
    EXPECT_EQ(files::readFile(file), "");
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"f.bin"});  // no temporary left

    // A new file is private; a replaced one keeps its permissions.
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_TRUE(files::writeFileAtomic(file, "again"));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    EXPECT_FALSE(files::readFile(dir / "missing").has_value());
    EXPECT_FALSE(files::readFile(folder).has_value());  // a folder is not a file
    EXPECT_FALSE(files::writeFileAtomic(folder, "x"));  // cannot replace a folder
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"f.bin"});

    EXPECT_FALSE(files::removeFile(dir / "a"));  // not empty
    EXPECT_TRUE(files::removeFile(file));
    EXPECT_FALSE(files::fileExists(file));
    EXPECT_TRUE(files::removeFile(file));  // already gone
    EXPECT_TRUE(files::removeFile(folder));
    EXPECT_FALSE(files::fileExists(folder));
}

TEST(Files, InterruptedSaveLeavesTheOldFile) {
    kavtest::TempDir dir;
    const fs::path target = dir / "settings.json";
    ASSERT_TRUE(files::writeFileAtomic(target, "old content"));

    const std::string temporary =
        kavtest::runKilledBeforeRename([&] { files::writeFileAtomic(target, "new content"); });
    // The save died with its temporary file complete and beside the target.
    ASSERT_FALSE(temporary.empty());
    EXPECT_EQ(fs::path(temporary).parent_path(), dir.path());
    EXPECT_EQ(files::readFile(temporary), "new content");
    EXPECT_EQ(files::readFile(target), "old content");
    for (const std::string& name : namesIn(dir.path())) {
        if (name != "settings.json") {
            EXPECT_EQ(name.rfind(".settings.json.tmp-", 0), 0u) << name;
        }
    }

    // The next save goes through.
    EXPECT_TRUE(files::writeFileAtomic(target, "newer content"));
    EXPECT_EQ(files::readFile(target), "newer content");
}

// Files kept aside are never replaced by a later one, however many there are.
TEST(Files, MovedAsideFilesAreAllKept) {
    kavtest::TempDir dir;
    const fs::path file = dir / "defaults.json";
    constexpr int kKept = 120;
    for (int i = 0; i < kKept; ++i) {
        ASSERT_TRUE(files::writeFileAtomic(file, "damaged " + std::to_string(i)));
        const auto aside = files::moveAside(file);
        ASSERT_TRUE(aside) << i;
        EXPECT_FALSE(files::fileExists(file));
    }
    EXPECT_EQ(files::readFile(dir / "defaults.json.corrupt"), "damaged 0");
    EXPECT_EQ(files::readFile(dir / "defaults.json.corrupt.99"), "damaged 99");
    EXPECT_EQ(files::readFile(dir / "defaults.json.corrupt.119"), "damaged 119");
    EXPECT_EQ(namesIn(dir.path()).size(), static_cast<size_t>(kKept));
}

}  // namespace

// A program is found in the first folder of $PATH that lets it run; a file
// that may not run, an empty entry and a folder that is not there are passed.
TEST(Files, ProgramOnPathIsTheFirstThatMayRun) {
    kavtest::TempDir dir;
    ASSERT_TRUE(files::makeDirectories(dir / "a"));
    ASSERT_TRUE(files::makeDirectories(dir / "b"));
    ASSERT_TRUE(files::writeFileAtomic(dir / "a/tool", "not runnable"));
    ASSERT_TRUE(files::writeFileAtomic(dir / "b/tool", "#!/bin/sh\n"));
    std::filesystem::permissions(dir / "b/tool", std::filesystem::perms::owner_all);
    const std::string path = (dir / "missing").string() + "::" + (dir / "a").string() + ":" +
                             (dir / "b").string();
    kavtest::ScopedEnv env("PATH", path.c_str());
    EXPECT_EQ(files::programOnPath("tool"), (dir / "b/tool").string());
    EXPECT_FALSE(files::programOnPath("other"));
}
