#pragma once

#include <filesystem>
#include <memory>

#include "app/SQLiteStore.h"
#include "app/StoreContext.h"

// The local dealer store: the SQLite file in the Documents folder and the
// working set of its records, each made on first use and kept. The
// application delegate owns it for the life of the application; the dealer
// managers are handed it (weakly: once the application has gone, a manager
// answers nothing). Main thread only.
class DealerStore {
  public:
    static constexpr const char* kStoreFileName = "KAVTrader.sqlite";

    // The working set of the dealer records; null when the store cannot be
    // opened (the failure is logged once, and the file is left as it is;
    // after a passing trouble, such as a lock, the next call tries again).
    std::shared_ptr<StoreContext> managedObjectContext();
    const StoreModel& managedObjectModel() const;
    std::shared_ptr<SQLiteStore> persistentStoreCoordinator();
    // The Documents folder (moved with $KAV_DATA_DIR).
    std::filesystem::path applicationDocumentsDirectory() const;
    // Saves the context when it has changes; false when the save failed
    // (logged, the changes stay pending, the error given when asked for).
    bool saveContext(platform::Error* error = nullptr);

  private:
    std::shared_ptr<SQLiteStore> store_;
    std::shared_ptr<StoreContext> context_;
    bool storeTried_ = false;
};

// "Unresolved error %@, %@" with the error and its user information.
void logUnresolvedError(const platform::Error& error);
