#include "platform/UserDefaults.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <memory>
#include <vector>

#include "platform/Files.h"
#include "platform/Json.h"
#include "platform/Log.h"
#include "platform/Strings.h"

namespace platform {

namespace {

std::mutex gStandardMutex;
std::unique_ptr<UserDefaults> gStandard;
// Stores dropped by resetStandard() stay alive: callers may still hold the
// reference that standard() gave them.
std::vector<std::unique_ptr<UserDefaults>> gRetired;

// Moves an unreadable store out of the way under a name that keeps earlier
// ones too.
void keepAside(const std::filesystem::path& file) {
    std::string why;
    if (const auto aside = files::moveAside(file, &why)) {
        log(stringf("User defaults: %s is unreadable; kept as %s", file.c_str(), aside->c_str()));
    } else {
        log(stringf("User defaults: %s is unreadable and could not be moved aside (%s)",
                    file.c_str(), why.c_str()));
    }
}

// Holds the folder's lock while it lives: the read of the file, the merge and
// the write of one store are not interleaved with another program's.
class FolderLock {
  public:
    explicit FolderLock(const std::filesystem::path& folder)
        : fd_(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        // Another program holds it for one write at most; one that is stopped
        // in the middle of its write must not freeze this one, so the wait
        // is bounded. Without the lock (a file system that has none, or the
        // wait given up) the write still merges; only two writes at the very
        // same moment could then race.
        for (int waited = 0; fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0; ++waited) {
            if (errno != EWOULDBLOCK && errno != EINTR) break;
            if (waited >= kWaitMs) break;
            const timespec pause{0, 1'000'000};
            ::nanosleep(&pause, nullptr);
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    static constexpr int kWaitMs = 2000;
    int fd_;
};

}  // namespace

UserDefaults& UserDefaults::standard() {
    std::lock_guard lock(gStandardMutex);
    if (!gStandard) {
        gStandard =
            std::make_unique<UserDefaults>(files::dataRoot() / "Preferences" / "defaults.json");
    }
    return *gStandard;
}

void UserDefaults::resetStandard() {
    std::lock_guard lock(gStandardMutex);
    if (!gStandard) return;
    // Its changes land in the folder it was made for, not later in another.
    gStandard->synchronizeToDisk();
    gRetired.push_back(std::move(gStandard));
}

void UserDefaults::synchronizeStandard() {
    std::lock_guard lock(gStandardMutex);
    if (gStandard) gStandard->synchronizeToDisk();
}

UserDefaults::UserDefaults(std::filesystem::path file) : file_(std::move(file)) {
    load();
}

UserDefaults::~UserDefaults() {
    synchronizeToDisk();
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

void UserDefaults::setString(const std::string& key, const std::string& value) {
    std::lock_guard lock(mutex_);
    // Even a value this store already holds is written: another program may
    // have saved another one since this store last read the file, and the
    // user's choice made here must stand over it.
    values_[key] = value;
    changes_[key] = value;
    saved_ = false;
    scheduleFlush();
}

void UserDefaults::removeObjectForKey(const std::string& key) {
    std::lock_guard lock(mutex_);
    const bool erased = values_.erase(key) > 0;
    if (!erased && saved_) return;
    if (erased) changes_[key] = std::nullopt;
    saved_ = false;
    scheduleFlush();
}

bool UserDefaults::synchronize() {
    std::lock_guard lock(mutex_);
    if (!saved_) {
        saved_ = save(false);
        if (saved_) {
            onDisk_ = false;
            scheduleFlush();
        }
    }
    return saved_;
}

bool UserDefaults::synchronizeToDisk() {
    std::lock_guard lock(mutex_);
    saveTimer_.invalidate();
    return flush();
}

void UserDefaults::scheduleFlush() {
    // One write or flush for every change until it is due; one that failed
    // is tried again by the next change.
    if (!saveTimer_.isValid())
        saveTimer_ = Timer::schedule(kSaveDelay, false, [this] {
            std::lock_guard lock(mutex_);
            flush();
        });
}

bool UserDefaults::flush() {
    if (!saved_) {
        saved_ = save(true);
        onDisk_ = saved_;
    } else if (!onDisk_) {
        onDisk_ = files::syncFile(file_);
    }
    return saved_ && onDisk_;
}

std::optional<std::map<std::string, std::string>> UserDefaults::parse(const std::string& text) {
    const auto json = parseJson(text);
    if (!json || !json->is_object()) return std::nullopt;
    std::map<std::string, std::string> values;
    for (const auto& [key, value] : json->items()) {
        if (!value.is_string()) return std::nullopt;
        values[key] = value.get<std::string>();
    }
    return values;
}

void UserDefaults::load() {
    if (!files::fileExists(file_)) return;
    std::optional<std::map<std::string, std::string>> values;
    // A regular file only: a named pipe put there would hold the start of
    // the program for ever.
    if (auto text = files::readRegularFile(file_)) values = parse(*text);
    if (values) {
        values_ = std::move(*values);
    } else {
        keepAside(file_);
    }
}

bool UserDefaults::save(bool durable) {
    const auto folder = file_.parent_path();
    if (!folder.empty() && !files::makeDirectories(folder)) {
        log(stringf("User defaults: could not save %s", file_.c_str()));
        return false;
    }
    const FolderLock lock(folder);
    // Another program on the same data folder may have saved since this
    // store read the file: its values stand, with this store's own changes
    // laid over them. A file that is no store (gone, damaged) is replaced by
    // this store's values.
    std::map<std::string, std::string> merged = values_;
    if (auto text = files::readRegularFile(file_)) {
        if (auto onFile = parse(*text)) {
            merged = std::move(*onFile);
            for (const auto& [key, value] : changes_) {
                if (value) {
                    merged[key] = *value;
                } else {
                    merged.erase(key);
                }
            }
        }
    }
    Json object = Json::object();
    for (const auto& [key, value] : merged)
        object[key] = value;
    // Texts are UTF-8; a stray invalid byte is written as U+FFFD rather than
    // failing the whole save.
    const std::string text = object.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    if (files::writeFileAtomic(file_, text, durable)) {
        values_ = std::move(merged);
        changes_.clear();
        return true;
    }
    log(stringf("User defaults: could not save %s", file_.c_str()));
    return false;
}

}  // namespace platform
