#include "app/DealerManager.h"

#include "Core/httpQuery.h"
#include "app/DealerStore.h"
#include "platform/Clock.h"
#include "platform/Json.h"

namespace {

using DealerList = std::vector<std::shared_ptr<EtyDealer>>;

// The records of the store that satisfy the predicate; nothing (logged)
// when the store cannot be read.
std::optional<DealerList> fetchDealers(DealerStore* store,
                                       const StoreContext::Predicate& predicate = {}) {
    auto context = store ? store->managedObjectContext() : nullptr;
    if (!context) return std::nullopt;
    platform::Error error;
    auto found = context->fetch(predicate, &error);
    if (!found) logUnresolvedError(error);
    return found;
}

void fail(const KAVFailureBlock& onFailure, const std::string& code, const std::string& message) {
    if (onFailure) onFailure(code, message);
}

std::string alreadyStoredText(const std::string& name) {
    std::string text = DealerManager::kAlreadyStored;
    return text.replace(text.find("%@"), 2, name);
}

// Files the dealer of a definition reply; runs exactly one block.
void addDealerFromReply(const std::shared_ptr<DealerStore>& store, const std::string& body,
                        const KAVDoneBlock& onSuccess, const KAVFailureBlock& onFailure) {
    auto reply = DealerManager::readDefinitionReply(body);
    if (!reply.dealer) return fail(onFailure, reply.code, reply.message);
    const std::string& key = reply.dealer->dealerKey;

    DealerManager manager(store);
    if (!manager.isStoreAvailable()) return fail(onFailure, "1", DealerManager::kStoreUnavailable);
    if (auto stored = manager.getEtyDealerWithDealerKey(key))
        return fail(onFailure, "1", alreadyStoredText(stored->dealerName));

    auto context = store->managedObjectContext();
    auto dealer = context->insertNewDealer();
    if (!dealer) return fail(onFailure, "1", DealerManager::kStoreUnavailable);
    *dealer = std::move(*reply.dealer);
    dealer->isSelected = false;
    dealer->lastTime = platform::clock().wallTime();
    platform::Error error;
    if (!store->saveContext(&error)) {
        // Not kept: it must not show as added, nor be saved later behind the
        // user's back.
        context->deleteObject(dealer);
        // Stored meanwhile by another run of the application.
        const auto stored = error.userInfo.find(SQLiteStore::kStoredNameKey);
        if (stored != error.userInfo.end()) {
            if (const auto* name = std::get_if<std::string>(&stored->second))
                return fail(onFailure, "1", alreadyStoredText(*name));
        }
        return fail(onFailure, "1", DealerManager::kStoreUnavailable);
    }
    if (onSuccess) onSuccess();
}

}  // namespace

bool DealerManager::isStoreAvailable() {
    return fetchDealers(dealerStore().get()).has_value();
}

std::shared_ptr<EtyDealer> DealerManager::getCurrentSelectedDealer() {
    auto store = dealerStore();
    auto selected = fetchDealers(store.get(), [](const EtyDealer& d) { return d.isSelected; });
    if (!selected) return nullptr;
    if (!selected->empty()) return selected->front();
    auto all = fetchDealers(store.get());
    if (!all || all->empty()) return nullptr;
    auto first = all->front();
    setCurrentSelectedDealerWithDealerKey(first->dealerKey);
    return first;
}

void DealerManager::searchDelaerWithURL(const std::string& url, KAVDoneBlock onSuccess,
                                        KAVFailureBlock onFailure) {
    std::weak_ptr<DealerStore> weakStore = dealerStore();
    httpQuery::asynGetWithUrl(
        url,
        [weakStore, onSuccess, onFailure](const std::string& body) {
            auto store = weakStore.lock();
            if (!store) return fail(onFailure, "1", kStoreUnavailable);
            addDealerFromReply(store, body, onSuccess, onFailure);
        },
        [onFailure](const std::string&, const std::string&) {
            fail(onFailure, "1", kLookupFailed);
        });
}

std::shared_ptr<EtyDealer> DealerManager::getEtyDealerWithDealerKey(const std::string& dealerKey) {
    auto found = fetchDealers(dealerStore().get(),
                              [&](const EtyDealer& d) { return d.dealerKey == dealerKey; });
    return found && !found->empty() ? found->front() : nullptr;
}

std::optional<std::vector<std::shared_ptr<EtyDealer>>> DealerManager::getLocalDealerArray() {
    return fetchDealers(dealerStore().get());
}

void DealerManager::setCurrentSelectedDealerWithDealerKey(const std::string& dealerKey) {
    auto store = dealerStore();
    auto all = fetchDealers(store.get());
    if (!all) return;
    for (const auto& dealer : *all)
        dealer->isSelected = dealer->dealerKey == dealerKey;
    store->saveContext();
}
