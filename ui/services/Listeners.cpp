#include "ui/services/Listeners.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace listeners {

namespace {

struct Registration {
    std::weak_ptr<const void> owner;
    const void* key = nullptr;
    std::string name;
    platform::ObserverToken token;
};

std::mutex gMutex;
std::vector<Registration> gTable;

// Drops what `keep` refuses, and the registrations of owners that are gone
// (their address may already belong to a new object). The tokens are
// released outside the lock.
void prune(std::vector<Registration>& dropped,
           const std::function<bool(const Registration&)>& keep) {
    auto it = std::stable_partition(gTable.begin(), gTable.end(), [&](const Registration& r) {
        return !r.owner.expired() && keep(r);
    });
    std::move(it, gTable.end(), std::back_inserter(dropped));
    gTable.erase(it, gTable.end());
}

}  // namespace

void add(const std::weak_ptr<const void>& owner, const std::string& name, Block block) {
    const auto strong = owner.lock();
    if (!strong || !block) return;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        name, [owner, block = std::move(block)](const platform::Notification& notification) {
            if (auto alive = owner.lock()) block(notification);
        });
    std::vector<Registration> dropped;
    std::lock_guard lock(gMutex);
    prune(dropped, [&](const Registration& r) { return r.key != strong.get() || r.name != name; });
    gTable.push_back(Registration{owner, strong.get(), name, std::move(token)});
}

void remove(const void* owner, const std::string& name) {
    std::vector<Registration> dropped;
    std::lock_guard lock(gMutex);
    prune(dropped, [&](const Registration& r) { return r.key != owner || r.name != name; });
}

size_t count(const void* owner) {
    std::lock_guard lock(gMutex);
    return static_cast<size_t>(
        std::count_if(gTable.begin(), gTable.end(),
                      [&](const Registration& r) { return r.key == owner && !r.owner.expired(); }));
}

}  // namespace listeners
