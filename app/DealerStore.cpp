#include "app/DealerStore.h"

#include "platform/Files.h"
#include "platform/Log.h"

void logUnresolvedError(const platform::Error& error) {
    platform::log("Unresolved error " + describeError(error) + ", " + describeUserInfo(error));
}

const StoreModel& DealerStore::managedObjectModel() const {
    return StoreModel::kavTrader();
}

std::filesystem::path DealerStore::applicationDocumentsDirectory() const {
    return platform::files::documentsRoot();
}

std::shared_ptr<SQLiteStore> DealerStore::persistentStoreCoordinator() {
    if (store_ || storeTried_) return store_;
    storeTried_ = true;
    const auto file = applicationDocumentsDirectory() / kStoreFileName;
    platform::Error error;
    store_ = SQLiteStore::open(file, managedObjectModel(), &error);
    if (store_) return store_;
    logUnresolvedError(error);
    // A passing trouble (the file locked by another run of the application
    // at this moment, the disk full) is no reason to go without the dealers
    // until the next start: the next use tries again.
    if (!SQLiteStore::isUnreadableFile(error) && !error.userInfo.count("schema")) {
        storeTried_ = false;
        return store_;
    }
    // A file that is no readable store of ours would refuse every dealer for
    // good: it is kept beside the new one for whoever wants to rescue it.
    // A store of a newer release stays as it is.
    std::error_code ec;
    if (!SQLiteStore::isUnreadableFile(error) ||
        !std::filesystem::exists(std::filesystem::symlink_status(file, ec)))
        return store_;
    std::string why;
    const auto aside = platform::files::moveAside(file, &why);
    if (!aside) {
        platform::log("Store " + file.string() + " is unreadable and could not be moved aside (" +
                      why + ")");
        return store_;
    }
    platform::log("Store " + file.string() + " is unreadable; kept as " + aside->string() +
                  ", a new one is made");
    // Its journal belongs to it; a new store must not take it for its own.
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        platform::files::moveAside(file.string() + suffix);
    store_ = SQLiteStore::open(file, managedObjectModel(), &error);
    if (!store_) logUnresolvedError(error);
    return store_;
}

std::shared_ptr<StoreContext> DealerStore::managedObjectContext() {
    if (context_) return context_;
    if (auto store = persistentStoreCoordinator()) context_ = std::make_shared<StoreContext>(store);
    return context_;
}

bool DealerStore::saveContext(platform::Error* error) {
    if (!context_ || !context_->hasChanges()) return true;
    platform::Error failure;
    if (context_->save(&failure)) return true;
    logUnresolvedError(failure);
    if (error) *error = std::move(failure);
    return false;
}
