#include "platform/UserDefaults.h"

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
    auto [it, inserted] = values_.try_emplace(key, value);
    if (!inserted) {
        if (it->second == value && saved_) return;
        it->second = value;
    }
    saved_ = false;
    scheduleFlush();
}

void UserDefaults::removeObjectForKey(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (values_.erase(key) == 0 && saved_) return;
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

void UserDefaults::load() {
    if (!files::fileExists(file_)) return;
    std::optional<Json> json;
    if (auto text = files::readFile(file_)) json = parseJson(*text);
    bool valid = json && json->is_object();
    if (valid) {
        for (const auto& [key, value] : json->items()) {
            if (!value.is_string()) {
                valid = false;
                break;
            }
            values_[key] = value.get<std::string>();
        }
    }
    if (!valid) {
        values_.clear();
        keepAside(file_);
    }
}

bool UserDefaults::save(bool durable) {
    Json object = Json::object();
    for (const auto& [key, value] : values_)
        object[key] = value;
    // Texts are UTF-8; a stray invalid byte is written as U+FFFD rather than
    // failing the whole save.
    const std::string text = object.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    const auto folder = file_.parent_path();
    if ((folder.empty() || files::makeDirectories(folder)) && files::writeFileAtomic(file_, text, durable)) {
        return true;
    }
    log(stringf("User defaults: could not save %s", file_.c_str()));
    return false;
}

}  // namespace platform
