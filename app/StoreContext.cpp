#include "app/StoreContext.h"

#include <algorithm>

StoreContext::StoreContext(std::shared_ptr<SQLiteStore> store) : store_(std::move(store)) {}

bool StoreContext::load(platform::Error* error) {
    if (loaded_) return true;
    auto rows = store_->loadDealers(error);
    if (!rows) return false;
    for (auto& row : *rows) {
        auto record = std::make_shared<EtyDealer>(row.values);
        entries_.push_back({std::move(record), row.rowId, std::move(row.values)});
    }
    loaded_ = true;
    return true;
}

std::optional<std::vector<std::shared_ptr<EtyDealer>>> StoreContext::fetch(
    const Predicate& predicate, platform::Error* error) {
    if (!load(error)) return std::nullopt;
    std::vector<std::shared_ptr<EtyDealer>> out;
    for (const auto& entry : entries_)
        if (!predicate || predicate(*entry.record)) out.push_back(entry.record);
    return out;
}

std::shared_ptr<EtyDealer> StoreContext::insertNewDealer(platform::Error* error) {
    if (!load(error)) return nullptr;
    auto record = std::make_shared<EtyDealer>();
    entries_.push_back({record, 0, std::nullopt});
    return record;
}

void StoreContext::deleteObject(const std::shared_ptr<EtyDealer>& record) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.record == record; });
    if (it == entries_.end()) return;
    if (it->rowId != 0) deleted_.push_back(std::move(*it));
    entries_.erase(it);
}

bool StoreContext::hasChanges() const {
    if (!deleted_.empty()) return true;
    return std::any_of(entries_.begin(), entries_.end(),
                       [](const Entry& e) { return !e.stored || *e.stored != *e.record; });
}

bool StoreContext::save(platform::Error* error) {
    StoreChanges changes;
    for (const auto& entry : deleted_)
        changes.deleted.push_back(entry.rowId);
    for (const auto& entry : entries_) {
        if (!entry.stored)
            changes.inserted.push_back(entry.record.get());
        else if (*entry.stored != *entry.record)
            changes.updated.emplace_back(entry.rowId, entry.record.get());
    }
    if (changes.empty()) return true;
    auto newRows = store_->write(changes, error);
    if (!newRows) return false;
    // Written: the file now holds what the records hold.
    size_t next = 0;
    for (auto& entry : entries_) {
        if (!entry.stored) entry.rowId = (*newRows)[next++];
        entry.stored = *entry.record;
    }
    deleted_.clear();
    return true;
}
