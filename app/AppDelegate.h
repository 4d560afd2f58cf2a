#pragma once

#include <filesystem>
#include <memory>

#include "app/SQLiteStore.h"
#include "app/StoreContext.h"
#include "platform/ui/Application.h"

// The application delegate: starts the application, owns the session's
// objects and the local dealer store.
class AppDelegate : public platform::ui::UIApplicationDelegate {
  public:
    static constexpr const char* kStoreFileName = "KAVTrader.sqlite";

    AppDelegate();
    ~AppDelegate() override;

    // ---- local store (made on first use and kept) ----
    // The working set of the dealer records; null when the store cannot be
    // opened (the failure is logged once, and the file is left as it is).
    std::shared_ptr<StoreContext> managedObjectContext();
    const StoreModel& managedObjectModel() const;
    std::shared_ptr<SQLiteStore> persistentStoreCoordinator();
    // The Documents folder (moved with $KAV_DATA_DIR).
    std::filesystem::path applicationDocumentsDirectory() const;
    // Saves the context when it has changes; false when the save failed
    // (logged, the changes stay pending).
    bool saveContext();

  private:
    std::shared_ptr<SQLiteStore> store_;
    std::shared_ptr<StoreContext> context_;
    bool storeTried_ = false;
};

// "Unresolved error %@, %@" with the error and its user information.
void logUnresolvedError(const platform::Error& error);
