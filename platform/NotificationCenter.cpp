#include "platform/NotificationCenter.h"

#include <algorithm>
#include <atomic>

namespace platform {

struct ObserverToken::Entry {
    std::string name;
    std::function<void(const Notification&)> block;
    std::atomic<bool> active{true};
};

struct NotificationCenter::Table {
    mutable std::mutex mutex;
    std::map<std::string, std::vector<std::shared_ptr<ObserverToken::Entry>>> observers;

    void remove(const std::shared_ptr<ObserverToken::Entry>& entry) {
        std::lock_guard lock(mutex);
        auto it = observers.find(entry->name);
        if (it == observers.end()) return;
        auto& list = it->second;
        list.erase(std::remove(list.begin(), list.end(), entry), list.end());
        if (list.empty()) observers.erase(it);
    }
};

ObserverToken& ObserverToken::operator=(ObserverToken&& other) noexcept {
    if (this != &other) {
        reset();
        entry_ = std::move(other.entry_);
        center_ = std::move(other.center_);
    }
    return *this;
}

ObserverToken::~ObserverToken() {
    reset();
}

void ObserverToken::reset() {
    if (!entry_) return;
    entry_->active = false;
    if (auto table = std::static_pointer_cast<NotificationCenter::Table>(center_.lock())) {
        table->remove(entry_);
    }
    entry_.reset();
    center_.reset();
}

bool ObserverToken::isActive() const {
    return entry_ && entry_->active;
}

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* center = new NotificationCenter();
    return *center;
}

NotificationCenter::NotificationCenter() : table_(std::make_shared<Table>()) {}
NotificationCenter::~NotificationCenter() = default;

ObserverToken NotificationCenter::addObserver(const std::string& name,
                                              std::function<void(const Notification&)> block) {
    auto entry = std::make_shared<ObserverToken::Entry>();
    entry->name = name;
    entry->block = std::move(block);
    {
        std::lock_guard lock(table_->mutex);
        table_->observers[name].push_back(entry);
    }
    ObserverToken token;
    token.entry_ = std::move(entry);
    token.center_ = table_;
    return token;
}

void NotificationCenter::post(const Notification& notification) {
    std::vector<std::shared_ptr<ObserverToken::Entry>> targets;
    {
        std::lock_guard lock(table_->mutex);
        auto it = table_->observers.find(notification.name);
        if (it == table_->observers.end()) return;
        targets = it->second;
    }
    for (auto& entry : targets) {
        if (entry->active && entry->block) entry->block(notification);
    }
}

void NotificationCenter::post(const std::string& name, std::any object) {
    post(Notification{name, std::move(object), {}});
}

size_t NotificationCenter::observerCount(const std::string& name) const {
    std::lock_guard lock(table_->mutex);
    auto it = table_->observers.find(name);
    return it == table_->observers.end() ? 0 : it->second.size();
}

}  // namespace platform
