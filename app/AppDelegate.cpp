#include "app/AppDelegate.h"

#include "platform/Files.h"
#include "platform/Log.h"

void logUnresolvedError(const platform::Error& error) {
    platform::log("Unresolved error " + describeError(error) + ", " + describeUserInfo(error));
}

AppDelegate::AppDelegate() = default;
AppDelegate::~AppDelegate() = default;

// ---- local store ----------------------------------------------------------

const StoreModel& AppDelegate::managedObjectModel() const {
    return StoreModel::kavTrader();
}

std::filesystem::path AppDelegate::applicationDocumentsDirectory() const {
    return platform::files::documentsRoot();
}

std::shared_ptr<SQLiteStore> AppDelegate::persistentStoreCoordinator() {
    if (store_ || storeTried_) return store_;
    storeTried_ = true;
    platform::Error error;
    store_ = SQLiteStore::open(applicationDocumentsDirectory() / kStoreFileName,
                               managedObjectModel(), &error);
    if (!store_) logUnresolvedError(error);
    return store_;
}

std::shared_ptr<StoreContext> AppDelegate::managedObjectContext() {
    if (context_) return context_;
    if (auto store = persistentStoreCoordinator()) context_ = std::make_shared<StoreContext>(store);
    return context_;
}

bool AppDelegate::saveContext() {
    if (!context_ || !context_->hasChanges()) return true;
    platform::Error error;
    if (context_->save(&error)) return true;
    logUnresolvedError(error);
    return false;
}
