#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/EtyDealer.h"
#include "platform/Error.h"

struct sqlite3;

// The shape of the local database: its name and the steps that build its
// schema. Step i brings a store from schema version i to i + 1, so a later
// release adds a column with one more step and the rows already stored stay.
// The schema version is kept in the file (SQLite's user_version).
struct StoreModel {
    std::string name;
    std::vector<std::vector<std::string>> migrations;
    // A read that only a store of this shape answers (empty: none).
    std::string check;

    int version() const { return static_cast<int>(migrations.size()); }
    // "KAVTrader": the dealer records (table EtyDealer).
    static const StoreModel& kavTrader();
};

// A dealer record as stored, with the row that holds it.
struct StoredDealer {
    int64_t rowId = 0;
    EtyDealer values;
};

// What one save writes, in one transaction.
struct StoreChanges {
    std::vector<int64_t> deleted;
    std::vector<const EtyDealer*> inserted;
    std::vector<std::pair<int64_t, const EtyDealer*>> updated;

    bool empty() const { return deleted.empty() && inserted.empty() && updated.empty(); }
};

// The dealer records in one SQLite file. Every value goes in through bound
// parameters. A file that is not a readable database of ours, or one written
// by a newer schema, is refused and left untouched (the application moves
// the first kind aside). Main thread only.
class SQLiteStore {
  public:
    static constexpr const char* kErrorDomain = "SQLite";
    static constexpr const char* kStoredNameKey = "storedDealerName";

    // Opens the file (made when missing, its folder too) and brings its
    // schema up to the model's version. Null with the error when it cannot.
    static std::shared_ptr<SQLiteStore> open(const std::filesystem::path& file,
                                             const StoreModel& model, platform::Error* error);
    // Whether an open failed on the file itself (not a database, damaged,
    // not of our shape, a folder, not writable) rather than on a passing
    // trouble or a newer schema: a file that may be moved aside.
    static bool isUnreadableFile(const platform::Error& error);
    ~SQLiteStore();
    SQLiteStore(const SQLiteStore&) = delete;
    SQLiteStore& operator=(const SQLiteStore&) = delete;

    const std::filesystem::path& path() const { return path_; }
    int schemaVersion() const { return version_; }

    // Every record in the order they were added.
    std::optional<std::vector<StoredDealer>> loadDealers(platform::Error* error);
    // Writes all of the changes or none of them; the new rows of the
    // inserted records, in their order. A record inserted with a key stored
    // already writes nothing: the error names the stored dealer under
    // kStoredNameKey.
    std::optional<std::vector<int64_t>> write(const StoreChanges& changes, platform::Error* error);

  private:
    SQLiteStore(sqlite3* db, std::filesystem::path path);
    platform::Error lastError(const std::string& during) const;
    bool exec(const std::string& sql, platform::Error* error);

    sqlite3* db_;
    std::filesystem::path path_;
    int version_ = 0;
};

// "<domain> <code>: <description>" and "{key = value; ...}": how a store
// error is written into the log.
std::string describeError(const platform::Error& error);
std::string describeUserInfo(const platform::Error& error);
