#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace platform {

// A string-keyed store of strings (the settings), persisted as one JSON file.
// Every change is saved at once with an atomic write, so a crash mid-save
// leaves the previous file. A file that cannot be read as a store is kept
// aside (renamed with ".corrupt") rather than overwritten, and the store
// starts empty.
class UserDefaults {
  public:
    // The application's store: <data root>/Preferences/defaults.json.
    static UserDefaults& standard();
    // Drops the standard store so that the next standard() re-reads it from
    // the current data root (tests).
    static void resetStandard();

    explicit UserDefaults(std::filesystem::path file);

    std::optional<std::string> stringForKey(const std::string& key) const;
    void setString(const std::string& key, const std::string& value);
    void removeObjectForKey(const std::string& key);
    // Saves again if the last save failed; true when the file holds the
    // current values.
    bool synchronize();
    const std::filesystem::path& file() const { return file_; }

  private:
    void load();
    bool save();

    mutable std::mutex mutex_;
    std::filesystem::path file_;
    std::map<std::string, std::string> values_;
    bool saved_ = true;
};

}  // namespace platform
