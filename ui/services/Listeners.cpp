#include "ui/services/Listeners.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace listeners {

namespace {

// What a registration calls. Registering again replaces the block here and
// keeps the observer, so that an owner registered again during a broadcast
// keeps its turn in it (a new observer would not be called until the next
// broadcast, and the old one is off the table).
struct Slot {
    std::mutex mutex;
    std::shared_ptr<const Block> block;

    std::shared_ptr<const Block> current() {
        std::lock_guard lock(mutex);
        return block;
    }
    // Returns the block replaced, for the caller to free outside its locks
    // (what it holds may unregister in its destructor).
    [[nodiscard]] std::shared_ptr<const Block> replace(Block with) {
        auto fresh = std::make_shared<const Block>(std::move(with));
        std::lock_guard lock(mutex);
        block.swap(fresh);
        return fresh;
    }
};

struct Registration {
    std::weak_ptr<const void> owner;
    const void* key = nullptr;
    std::string name;
    std::shared_ptr<Slot> slot;
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
    std::vector<Registration> dropped;
    std::shared_ptr<const Block> replaced;
    std::lock_guard lock(gMutex);
    prune(dropped, [](const Registration&) { return true; });
    for (auto& r : gTable) {
        if (r.key == strong.get() && r.name == name) {
            replaced = r.slot->replace(std::move(block));
            return;
        }
    }
    auto slot = std::make_shared<Slot>();
    replaced = slot->replace(std::move(block));
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        name, [owner, slot](const platform::Notification& notification) {
            auto alive = owner.lock();
            if (!alive) return;
            // Held while it runs: the owner may register again from inside it.
            if (auto current = slot->current()) (*current)(notification);
        });
    gTable.push_back(Registration{owner, strong.get(), name, std::move(slot), std::move(token)});
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
