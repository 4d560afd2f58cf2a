#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/EtyDealer.h"
#include "app/SQLiteStore.h"

// The working set of dealer records over one store: the records are read
// once, then fetched, inserted, changed and deleted in memory, and save()
// writes every change in one transaction. A record is one object for as long
// as the context lives, so every screen that holds it sees the same values.
// Until a save succeeds nothing reaches the file; a failed save keeps every
// change pending (nothing is lost) for the next save. Main thread only.
class StoreContext {
  public:
    using Predicate = std::function<bool(const EtyDealer&)>;

    explicit StoreContext(std::shared_ptr<SQLiteStore> store);

    // The records that satisfy the predicate (all without one), in the order
    // they were added; nothing, with the error, when the store cannot be read.
    std::optional<std::vector<std::shared_ptr<EtyDealer>>> fetch(const Predicate& predicate = {},
                                                                 platform::Error* error = nullptr);
    // A new record, empty, saved with the next save. Nothing when the store
    // cannot be read.
    std::shared_ptr<EtyDealer> insertNewDealer(platform::Error* error = nullptr);
    // Removes a record of this context (nothing for another); the row goes
    // with the next save.
    void deleteObject(const std::shared_ptr<EtyDealer>& record);

    bool hasChanges() const;
    bool save(platform::Error* error = nullptr);

    const std::shared_ptr<SQLiteStore>& store() const { return store_; }

  private:
    struct Entry {
        std::shared_ptr<EtyDealer> record;
        int64_t rowId = 0;                // 0 until first saved
        std::optional<EtyDealer> stored;  // the values in the file
    };
    bool load(platform::Error* error);

    std::shared_ptr<SQLiteStore> store_;
    bool loaded_ = false;
    std::vector<Entry> entries_;  // in the order the records were added
    std::vector<Entry> deleted_;  // stored records removed since the last save
};
