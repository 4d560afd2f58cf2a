#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/Files.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "tests/platform/KilledSave.h"
#include "tests/support/TestSupport.h"

namespace files = platform::files;
using platform::UserDefaults;

namespace {

// The size of every atomic write while it lives.
struct Writes {
    Writes() {
        files::setAtomicWriteHook([this](const std::filesystem::path& temporary) {
            sizes.push_back(std::filesystem::file_size(temporary));
        });
    }
    ~Writes() { files::setAtomicWriteHook({}); }
    std::vector<uintmax_t> sizes;
};

TEST(UserDefaults, ValuesPersistAcrossInstances) {
    kavtest::TempDir dir;
    const auto file = dir / "Preferences/defaults.json";  // folder made on the first save
    {
        UserDefaults store(file);
        EXPECT_FALSE(store.stringForKey("key_2003").has_value());
        store.setString("key_2003", "10");
        store.setString("key_3001", "账户 \"8001\"\n");
        store.setString("key_2004", "1");
        store.removeObjectForKey("key_2004");
        store.setString("key_2003", "15");
        EXPECT_EQ(store.stringForKey("key_2003"), "15");
        EXPECT_TRUE(store.synchronize());
    }
    UserDefaults again(file);
    EXPECT_EQ(again.stringForKey("key_2003"), "15");
    EXPECT_EQ(again.stringForKey("key_3001"), "账户 \"8001\"\n");
    EXPECT_FALSE(again.stringForKey("key_2004").has_value());
    // The file is a plain JSON object of texts.
    auto json = platform::parseJson(files::readFile(file).value_or(""));
    ASSERT_TRUE(json && json->is_object());
    EXPECT_EQ(json->size(), 2u);
}

TEST(UserDefaults, AnUnreadableFileIsKeptAsideAndTheStoreStartsEmpty) {
    kavtest::TempDir dir;
    const auto file = dir / "defaults.json";
    const std::string contents[] = {"{\"key_1\": \"a\", trunc", "[\"key_1\"]", "{\"key_1\": 1}",
                                    ""};
    for (size_t i = 0; i < std::size(contents); ++i) {
        ASSERT_TRUE(files::writeFileAtomic(file, contents[i]));
        platform::LogCapture log;
        UserDefaults store(file);
        EXPECT_EQ(log.count("unreadable; kept as"), 1u);
        EXPECT_FALSE(store.stringForKey("key_1").has_value()) << contents[i];
        EXPECT_FALSE(files::fileExists(file)) << "not overwritten before a change";
        store.setString("key_2", "b");
        EXPECT_TRUE(store.synchronize());
        EXPECT_EQ(UserDefaults(file).stringForKey("key_2"), "b");
        files::removeFile(file);
    }
    // Every bad file is still there, none overwritten by a later one.
    EXPECT_EQ(files::readFile(dir / "defaults.json.corrupt"), contents[0]);
    EXPECT_EQ(files::readFile(dir / "defaults.json.corrupt.1"), contents[1]);
    EXPECT_EQ(files::readFile(dir / "defaults.json.corrupt.2"), contents[2]);
    EXPECT_EQ(files::readFile(dir / "defaults.json.corrupt.3"), contents[3]);
}

// A named pipe where the file should be is no store: it is kept aside like
// any unreadable file, instead of the start waiting for ever for a writer.
TEST(UserDefaults, ANamedPipeForTheFileIsKeptAsideWithoutAWait) {
    kavtest::TempDir dir;
    const auto file = dir / "defaults.json";
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    auto opened = std::async(std::launch::async, [&] {
        UserDefaults store(file);
        return store.stringForKey("key_2003").has_value();
    });
    if (opened.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "the store waited on the pipe";
        // A writer lets the waiting open go on.
        const int writer = open(file.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) close(writer);
    }
    EXPECT_FALSE(opened.get());
    EXPECT_TRUE(files::fileExists(dir / "defaults.json.corrupt"));
}

TEST(UserDefaults, SurvivesASaveInterruptedByACrash) {
    kavtest::TempDir dir;
    const auto file = dir / "defaults.json";
    UserDefaults(file).setString("key_3003", "KAVFX");

    kavtest::runKilledBeforeRename([&] {
        UserDefaults store(file);
        store.setString("key_3003", "OTHER");
    });

    UserDefaults after(file);
    EXPECT_EQ(after.stringForKey("key_3003"), "KAVFX");
    EXPECT_FALSE(files::fileExists(dir / "defaults.json.corrupt"));
}

TEST(UserDefaults, AFailedSaveIsRetriedBySynchronize) {
    kavtest::VirtualTime time;
    kavtest::TempDir dir;
    // A file where the store's folder should be: no save can succeed.
    ASSERT_TRUE(files::writeFileAtomic(dir / "Preferences", "in the way"));
    UserDefaults store(dir / "Preferences/defaults.json");
    platform::LogCapture log;
    store.setString("key_2001", "0");
    time.advance(UserDefaults::kSaveDelay);
    EXPECT_TRUE(log.contains("could not save"));
    EXPECT_EQ(store.stringForKey("key_2001"), "0");
    EXPECT_FALSE(store.synchronize());

    ASSERT_TRUE(files::removeFile(dir / "Preferences"));
    EXPECT_TRUE(store.synchronize());
    EXPECT_EQ(UserDefaults(store.file()).stringForKey("key_2001"), "0");
}

TEST(UserDefaults, ChangesFromManyThreadsAllLand) {
    kavtest::VirtualTime time;
    kavtest::TempDir dir;
    UserDefaults store(dir / "defaults.json");
    Writes writes;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&store, t] {
            for (int i = 0; i < 25; ++i) {
                const std::string key = "key_" + std::to_string(t * 100 + i);
                store.setString(key, std::to_string(i));
                EXPECT_EQ(store.stringForKey(key), std::to_string(i));
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    // Written by the main run loop once the delay has passed, all in one.
    EXPECT_TRUE(writes.sizes.empty());
    time.advance(UserDefaults::kSaveDelay);
    EXPECT_EQ(writes.sizes.size(), 1u);
    UserDefaults reread(store.file());
    for (int t = 0; t < 4; ++t) {
        for (int i = 0; i < 25; ++i) {
            EXPECT_EQ(reread.stringForKey("key_" + std::to_string(t * 100 + i)), std::to_string(i));
        }
    }
}

TEST(UserDefaults, ABurstOfChangesIsOneWriteAfterTheDelay) {
    kavtest::VirtualTime time;
    kavtest::TempDir dir;
    const auto file = dir / "defaults.json";
    Writes writes;
    const auto& written = writes.sizes;
    auto onDisk = [&](const std::string& key) { return UserDefaults(file).stringForKey(key); };
    {
        UserDefaults store(file);
        // A number typed key by key: each text readable at once, none
        // written before the delay has passed, then the last one once.
        std::string typed;
        for (int i = 0; i < 400; ++i) {
            typed += static_cast<char>('0' + i % 10);
            store.setString("key_2007", typed);
            ASSERT_EQ(store.stringForKey("key_2007"), typed);
        }
        store.removeObjectForKey("key_2008");  // nothing there: no change
        time.advance(UserDefaults::kSaveDelay - 0.01);
        EXPECT_TRUE(written.empty());
        EXPECT_FALSE(files::fileExists(file));
        time.advance(0.01);
        ASSERT_EQ(written.size(), 1u);
        EXPECT_LT(written[0], typed.size() + 64);
        EXPECT_EQ(onDisk("key_2007"), typed);
        time.advance(10);
        EXPECT_EQ(written.size(), 1u) << "nothing more to write";

        // Changes after a write start another delay; synchronize() writes at
        // once and leaves nothing for the delay.
        store.setString("key_2003", "15");
        store.removeObjectForKey("key_2007");
        time.advance(UserDefaults::kSaveDelay / 2);
        EXPECT_TRUE(store.synchronize());
        EXPECT_EQ(written.size(), 2u);
        EXPECT_EQ(onDisk("key_2003"), "15");
        EXPECT_FALSE(onDisk("key_2007").has_value());
        time.advance(UserDefaults::kSaveDelay);
        EXPECT_EQ(written.size(), 2u);

        // A store that goes with changes unsaved writes them.
        store.setString("key_2009", "2");
    }
    EXPECT_EQ(written.size(), 3u);
    EXPECT_EQ(onDisk("key_2009"), "2");
    time.advance(UserDefaults::kSaveDelay);
    EXPECT_EQ(written.size(), 3u) << "the store's delayed write went with it";
}

// synchronize() at every change (the settings screens store each key so):
// the file holds every value at once, and the disk is waited for once, after
// the delay, for all of them; the application's end waits for it at once.
TEST(UserDefaults, SynchronizeWritesAtOnceAndWaitsForTheDiskOnceAfterTheDelay) {
    kavtest::VirtualTime time;
    kavtest::TempDir dir;
    const auto file = dir / "defaults.json";
    Writes writes;
    std::vector<std::filesystem::path> synced;
    files::setFileSyncHook([&](const std::filesystem::path& f) { synced.push_back(f); });
    {
        UserDefaults store(file);
        std::string typed;
        for (int i = 0; i < 50; ++i) {
            typed += static_cast<char>('0' + i % 10);
            store.setString("key_2007", typed);
            ASSERT_TRUE(store.synchronize());
            ASSERT_EQ(UserDefaults(file).stringForKey("key_2007"), typed);
        }
        EXPECT_EQ(writes.sizes.size(), 50u);
        EXPECT_TRUE(synced.empty());
        time.advance(UserDefaults::kSaveDelay);
        EXPECT_EQ(synced, std::vector<std::filesystem::path>{file});
        EXPECT_EQ(writes.sizes.size(), 50u) << "nothing written again";
        time.advance(10);
        EXPECT_EQ(synced.size(), 1u);

        // Going to the background or ending: the disk at once.
        store.setString("key_2003", "15");
        EXPECT_TRUE(store.synchronize());
        EXPECT_EQ(synced.size(), 1u);
        EXPECT_TRUE(store.synchronizeToDisk());
        EXPECT_EQ(synced.size(), 2u);
        time.advance(UserDefaults::kSaveDelay);
        EXPECT_EQ(synced.size(), 2u) << "the delayed wait went with it";
        EXPECT_EQ(writes.sizes.size(), 51u);
    }
    files::setFileSyncHook({});
}

// Two programs on one data folder, each with its store read at its start: a
// write keeps what the other saved meanwhile, except the keys this one
// changed itself (a removal included), and the writer reads the other's
// values from then on.
TEST(UserDefaults, TwoProgramsOnOneFolderKeepEachOthersChanges) {
    kavtest::TempDir dir;
    const auto file = dir / "Preferences/defaults.json";
    {
        UserDefaults first(file);
        first.setString("key_3001", "8001");
        first.setString("key_2009", "2");
        ASSERT_TRUE(first.synchronize());
    }
    UserDefaults a(file);
    UserDefaults b(file);
    a.setString("key_2003", "30");
    a.removeObjectForKey("key_2009");
    ASSERT_TRUE(a.synchronize());
    b.setString("key_2001", "0");
    b.setString("key_3001", "8002");
    ASSERT_TRUE(b.synchronize());
    EXPECT_EQ(b.stringForKey("key_2003"), "30");
    EXPECT_FALSE(b.stringForKey("key_2009").has_value());
    a.setString("key_2003", "40");
    ASSERT_TRUE(a.synchronize());
    EXPECT_EQ(a.stringForKey("key_3001"), "8002");

    UserDefaults after(file);
    EXPECT_EQ(after.stringForKey("key_2003"), "40");
    EXPECT_EQ(after.stringForKey("key_2001"), "0");
    EXPECT_EQ(after.stringForKey("key_3001"), "8002");
    EXPECT_FALSE(after.stringForKey("key_2009").has_value());
}

// A value chosen again after the other program saved another one is the
// user's latest choice: it is written, though it is what this store read at
// its start.
TEST(UserDefaults, AValueChosenAgainAfterTheOtherProgramChangedItIsWritten) {
    kavtest::TempDir dir;
    const auto file = dir / "Preferences/defaults.json";
    UserDefaults a(file);
    a.setString("key_2001", "1");
    ASSERT_TRUE(a.synchronize());
    UserDefaults b(file);
    b.setString("key_2001", "0");
    ASSERT_TRUE(b.synchronize());

    a.setString("key_2001", "1");
    EXPECT_TRUE(a.synchronize());
    EXPECT_EQ(a.stringForKey("key_2001"), "1");
    EXPECT_EQ(UserDefaults(file).stringForKey("key_2001"), "1");
    // And it stays this store's value after a later write of another key.
    a.setString("key_2003", "15");
    ASSERT_TRUE(a.synchronize());
    EXPECT_EQ(a.stringForKey("key_2001"), "1");
}

// The other program's write is under way (its file complete, not yet
// renamed) when this one writes: this write waits for it and keeps its key,
// instead of reading the file before it and renaming its own over it after.
TEST(UserDefaults, AWriteWaitsForAnotherProgramsWriteUnderWay) {
    kavtest::TempDir dir;
    const auto file = dir / "Preferences/defaults.json";
    int ready[2];
    int go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        close(go[1]);
        files::setAtomicWriteHook([&](const std::filesystem::path&) {
            (void)!write(ready[1], "r", 1);
            char c;
            (void)!read(go[0], &c, 1);
        });
        UserDefaults other(file);
        other.setString("key_2003", "30");
        _exit(other.synchronize() ? 0 : 1);
    }
    close(ready[1]);
    close(go[0]);
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);

    UserDefaults store(file);
    store.setString("key_2001", "0");
    std::promise<bool> saved;
    auto done = saved.get_future();
    std::thread writer([&] { saved.set_value(store.synchronize()); });
    // Long enough for a write that does not wait to be over.
    done.wait_for(std::chrono::milliseconds(300));
    (void)!write(go[1], "g", 1);
    writer.join();
    EXPECT_TRUE(done.get());
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(ready[0]);
    close(go[1]);

    UserDefaults after(file);
    EXPECT_EQ(after.stringForKey("key_2001"), "0");
    EXPECT_EQ(after.stringForKey("key_2003"), "30");
}

TEST(UserDefaults, StandardStoreLivesInTheDataRoot) {
    kavtest::TempDir dir;
    files::setDataRoot(dir.path());
    UserDefaults::resetStandard();
    EXPECT_EQ(UserDefaults::standard().file(), dir / "Preferences/defaults.json");
    UserDefaults& first = UserDefaults::standard();
    first.setString("key_2008", "0.5");
    // Dropped, it writes what it holds into its own folder.
    UserDefaults::resetStandard();
    EXPECT_EQ(UserDefaults(dir / "Preferences/defaults.json").stringForKey("key_2008"), "0.5");
    EXPECT_NE(&UserDefaults::standard(), &first);
    EXPECT_EQ(UserDefaults::standard().stringForKey("key_2008"), "0.5");
    EXPECT_EQ(first.stringForKey("key_2008"), "0.5");  // an old reference stays usable

    // The application's end and its move to the background write the
    // standard store without waiting for the delay.
    UserDefaults::standard().setString("key_2003", "20");
    UserDefaults::synchronizeStandard();
    EXPECT_EQ(UserDefaults(dir / "Preferences/defaults.json").stringForKey("key_2003"), "20");

    files::setDataRoot({});
    UserDefaults::resetStandard();
}

}  // namespace
