#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/RunLoop.h"

namespace platform {

// A string-keyed store of strings (the settings), persisted as one JSON file.
// A change is readable at once. synchronize() writes the file at once, so
// that the program's crash loses nothing synchronized; a change not
// synchronized is written kSaveDelay seconds after it, with every change made
// meanwhile. Waiting for the disk itself (fsync, milliseconds a time) is what
// a burst of changes (a text stored key by key, a slider dragged) cannot
// afford at every change: it follows kSaveDelay seconds after a write, once
// for every write made meanwhile, and at once when the application goes to
// the background or ends (synchronizeStandard), so a power loss loses at most
// the last kSaveDelay seconds. Each write is atomic, so a crash mid-save
// leaves the previous file. A file that cannot be read as a store is kept
// aside (renamed with ".corrupt") rather than overwritten, and the store
// starts empty.
//
// Two programs may keep their stores in one data folder: a write lays this
// store's changes since its last write over what the file holds then (under
// a lock on the folder), so a change the other program saved meanwhile is
// kept unless this one changed the same key, and this store reads the
// other's values from then on.
//
// Any thread may read and change the store; the delayed work runs on the
// main run loop. A store is destroyed on the main thread (or when no run
// loop runs), and writes what it still holds then, to the disk.
class UserDefaults {
  public:
    static constexpr double kSaveDelay = 0.5;

    // The application's store: <data root>/Preferences/defaults.json.
    static UserDefaults& standard();
    // Drops the standard store so that the next standard() re-reads it from
    // the current data root (tests).
    static void resetStandard();
    // Writes what the standard store holds unsaved and waits for the disk,
    // if it has been made (the application's end and its move to the
    // background).
    static void synchronizeStandard();

    explicit UserDefaults(std::filesystem::path file);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    std::optional<std::string> stringForKey(const std::string& key) const;
    void setString(const std::string& key, const std::string& value);
    void removeObjectForKey(const std::string& key);
    // Writes the changes not yet saved now (and retries a failed write);
    // true when the file holds the current values. The disk is waited for
    // later (see above).
    bool synchronize();
    // synchronize(), then waits for the disk; true when both succeeded.
    bool synchronizeToDisk();
    const std::filesystem::path& file() const { return file_; }

  private:
    void load();
    // The store's values in a file's text; nothing when it is no store.
    static std::optional<std::map<std::string, std::string>> parse(const std::string& text);
    bool save(bool durable);
    // Under the lock: the delayed write or flush is due after kSaveDelay.
    void scheduleFlush();
    // Under the lock: writes what is unsaved, or waits for the disk.
    bool flush();

    mutable std::mutex mutex_;
    std::filesystem::path file_;
    std::map<std::string, std::string> values_;
    // The keys changed since the last write, with their texts (nothing: removed).
    std::map<std::string, std::optional<std::string>> changes_;
    bool saved_ = true;     // the file holds the current values
    bool onDisk_ = true;    // and the disk holds the file
    Timer saveTimer_;
};

}  // namespace platform
