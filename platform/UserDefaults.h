#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/RunLoop.h"

namespace platform {

// A string-keyed store of strings (the settings), persisted as one JSON file.
// A change is readable at once; the file is written kSaveDelay seconds after
// it, together with every change made meanwhile, so that a burst of changes
// (a text stored key by key, a slider dragged) costs one write and not one a
// change, each rewriting the whole file. synchronize() writes at once, and
// the application writes when it goes to the background and at its end; a
// crash loses at most the last kSaveDelay seconds of changes. Each write is
// atomic, so a crash mid-save leaves the previous file. A file that cannot be
// read as a store is kept aside (renamed with ".corrupt") rather than
// overwritten, and the store starts empty.
//
// Any thread may read and change the store; the delayed write runs on the
// main run loop. A store is destroyed on the main thread (or when no run
// loop runs), and writes what it still holds then.
class UserDefaults {
  public:
    static constexpr double kSaveDelay = 0.5;

    // The application's store: <data root>/Preferences/defaults.json.
    static UserDefaults& standard();
    // Drops the standard store so that the next standard() re-reads it from
    // the current data root (tests).
    static void resetStandard();
    // Writes what the standard store holds unsaved, if it has been made (the
    // application's end and its move to the background).
    static void synchronizeStandard();

    explicit UserDefaults(std::filesystem::path file);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    std::optional<std::string> stringForKey(const std::string& key) const;
    void setString(const std::string& key, const std::string& value);
    void removeObjectForKey(const std::string& key);
    // Writes the changes not yet saved now (and retries a failed write);
    // true when the file holds the current values.
    bool synchronize();
    const std::filesystem::path& file() const { return file_; }

  private:
    void load();
    bool save();
    // Under the lock: the values changed; the write follows after the delay.
    void changed();
    void saveWhenDue();

    mutable std::mutex mutex_;
    std::filesystem::path file_;
    std::map<std::string, std::string> values_;
    bool saved_ = true;
    Timer saveTimer_;
};

}  // namespace platform
