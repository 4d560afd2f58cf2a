#include "app/SQLiteStore.h"

#include <sqlite3.h>

#include <system_error>

namespace {

// A prepared statement, finalised when it goes out of scope.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) stmt_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }

    void bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void bind(int index, int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
    void bind(int index, double value) { sqlite3_bind_double(stmt_, index, value); }
    std::string text(int column) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
                 : std::string();
    }
    // Binds the record's values as parameters 1 to 8, in the table's order.
    void bindDealer(const EtyDealer& d) {
        bind(1, d.dealerIcon);
        bind(2, d.dealerKey);
        bind(3, d.dealerLogo);
        bind(4, d.dealerName);
        bind(5, d.hostDemo);
        bind(6, d.hostReal);
        bind(7, static_cast<int64_t>(d.isSelected ? 1 : 0));
        bind(8, d.lastTime);
    }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

const StoreModel& StoreModel::kavTrader() {
    static const StoreModel model{
        "KAVTrader",
        {
            // 0 -> 1: the dealer records. AUTOINCREMENT keeps row ids rising,
            // so the order of rows is the order the dealers were added.
            {"CREATE TABLE EtyDealer ("
             "id INTEGER PRIMARY KEY AUTOINCREMENT,"
             "dealerIcon TEXT NOT NULL DEFAULT '',"
             "dealerKey TEXT NOT NULL DEFAULT '',"
             "dealerLogo TEXT NOT NULL DEFAULT '',"
             "dealerName TEXT NOT NULL DEFAULT '',"
             "hostDemo TEXT NOT NULL DEFAULT '',"
             "hostReal TEXT NOT NULL DEFAULT '',"
             "isSelected INTEGER NOT NULL DEFAULT 0,"
             "lastTime REAL NOT NULL DEFAULT 0)",
             "CREATE INDEX EtyDealer_dealerKey ON EtyDealer (dealerKey)"},
        },
        "SELECT id, dealerIcon, dealerKey, dealerLogo, dealerName, hostDemo, hostReal, "
        "isSelected, lastTime FROM EtyDealer LIMIT 1",
    };
    return model;
}

SQLiteStore::SQLiteStore(sqlite3* db, std::filesystem::path path)
    : db_(db), path_(std::move(path)) {}

SQLiteStore::~SQLiteStore() {
    sqlite3_close_v2(db_);
}

platform::Error SQLiteStore::lastError(const std::string& during) const {
    platform::Error error(kErrorDomain, sqlite3_extended_errcode(db_), sqlite3_errmsg(db_));
    error.userInfo["path"] = path_.string();
    error.userInfo["during"] = during;
    return error;
}

bool SQLiteStore::exec(const std::string& sql, platform::Error* error) {
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    if (error) *error = lastError(sql);
    return false;
}

std::shared_ptr<SQLiteStore> SQLiteStore::open(const std::filesystem::path& file,
                                               const StoreModel& model, platform::Error* error) {
    const auto fail = [&](platform::Error e) -> std::shared_ptr<SQLiteStore> {
        if (error) *error = std::move(e);
        return nullptr;
    };
    std::error_code ec;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);

    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        platform::Error e(kErrorDomain, rc, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        e.userInfo["path"] = file.string();
        e.userInfo["during"] = std::string("open");
        sqlite3_close_v2(db);
        return fail(std::move(e));
    }
    std::shared_ptr<SQLiteStore> store(new SQLiteStore(db, file));
    sqlite3_extended_result_codes(db, 1);

    // The first read tells whether the file is a database at all.
    int version = -1;
    {
        Statement read(db, "PRAGMA user_version");
        if (!read || sqlite3_step(read.get()) != SQLITE_ROW)
            return fail(store->lastError("PRAGMA user_version"));
        version = sqlite3_column_int(read.get(), 0);
    }
    if (version > model.version()) {
        platform::Error e(kErrorDomain, SQLITE_CANTOPEN,
                          "the store was written by a newer release (schema " +
                              std::to_string(version) + ", this release knows " +
                              std::to_string(model.version()) + ")");
        e.userInfo["path"] = file.string();
        e.userInfo["schema"] = static_cast<long long>(version);
        return fail(std::move(e));
    }
    if (version < model.version()) {
        platform::Error e;
        if (!store->exec("BEGIN IMMEDIATE", &e)) return fail(std::move(e));
        for (int step = version; step < model.version(); ++step) {
            for (const auto& sql : model.migrations[static_cast<size_t>(step)]) {
                if (!store->exec(sql, &e)) {
                    store->exec("ROLLBACK", nullptr);
                    return fail(std::move(e));
                }
            }
        }
        // PRAGMA takes no parameters; the version is our own integer.
        if (!store->exec("PRAGMA user_version = " + std::to_string(model.version()), &e) ||
            !store->exec("COMMIT", &e)) {
            store->exec("ROLLBACK", nullptr);
            return fail(std::move(e));
        }
    }
    // Read whole once: a file cut short or damaged past its first page, or a
    // database of someone else's whose version happens to match, is found
    // now and not at the first read of the records.
    {
        Statement check(db, "PRAGMA quick_check");
        if (!check || sqlite3_step(check.get()) != SQLITE_ROW)
            return fail(store->lastError("PRAGMA quick_check"));
        if (check.text(0) != "ok") {
            platform::Error e(kErrorDomain, SQLITE_CORRUPT, check.text(0));
            e.userInfo["path"] = file.string();
            e.userInfo["during"] = std::string("PRAGMA quick_check");
            return fail(std::move(e));
        }
    }
    if (!model.check.empty()) {
        Statement read(db, model.check.c_str());
        const int rc = read ? sqlite3_step(read.get()) : SQLITE_ERROR;
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) return fail(store->lastError(model.check));
    }
    store->version_ = model.version();
    return store;
}

bool SQLiteStore::isUnreadableFile(const platform::Error& error) {
    if (error.domain != kErrorDomain || error.userInfo.count("schema")) return false;
    // Busy, locked, full or out of memory: the file may be sound; it is never
    // moved aside for a passing trouble.
    switch (error.code & 0xFF) {
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
        case SQLITE_CANTOPEN:
        case SQLITE_ERROR:
        case SQLITE_IOERR:
        case SQLITE_READONLY:
            return true;
        default:
            return false;
    }
}

std::optional<std::vector<StoredDealer>> SQLiteStore::loadDealers(platform::Error* error) {
    static const char* kSelect =
        "SELECT id, dealerIcon, dealerKey, dealerLogo, dealerName, hostDemo, hostReal, "
        "isSelected, lastTime FROM EtyDealer ORDER BY id";
    Statement select(db_, kSelect);
    if (!select) {
        if (error) *error = lastError(kSelect);
        return std::nullopt;
    }
    std::vector<StoredDealer> rows;
    int rc;
    while ((rc = sqlite3_step(select.get())) == SQLITE_ROW) {
        StoredDealer row;
        row.rowId = sqlite3_column_int64(select.get(), 0);
        row.values.dealerIcon = select.text(1);
        row.values.dealerKey = select.text(2);
        row.values.dealerLogo = select.text(3);
        row.values.dealerName = select.text(4);
        row.values.hostDemo = select.text(5);
        row.values.hostReal = select.text(6);
        row.values.isSelected = sqlite3_column_int64(select.get(), 7) != 0;
        row.values.lastTime = sqlite3_column_double(select.get(), 8);
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        if (error) *error = lastError(kSelect);
        return std::nullopt;
    }
    return rows;
}

std::optional<std::vector<int64_t>> SQLiteStore::write(const StoreChanges& changes,
                                                       platform::Error* error) {
    std::vector<int64_t> newRows;
    if (changes.empty()) return newRows;
    if (!exec("BEGIN IMMEDIATE", error)) return std::nullopt;
    const auto abandon = [&](const char* during) -> std::optional<std::vector<int64_t>> {
        if (error) *error = lastError(during);
        exec("ROLLBACK", nullptr);
        return std::nullopt;
    };

    static const char* kDelete = "DELETE FROM EtyDealer WHERE id = ?1";
    for (int64_t row : changes.deleted) {
        Statement del(db_, kDelete);
        if (!del) return abandon(kDelete);
        del.bind(1, row);
        if (sqlite3_step(del.get()) != SQLITE_DONE) return abandon(kDelete);
    }
    static const char* kInsert =
        "INSERT INTO EtyDealer (dealerIcon, dealerKey, dealerLogo, dealerName, hostDemo, "
        "hostReal, isSelected, lastTime) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)";
    static const char* kStored = "SELECT dealerName FROM EtyDealer WHERE dealerKey = ?1 LIMIT 1";
    for (const EtyDealer* dealer : changes.inserted) {
        // Another run of the application on the same folder may have added
        // the dealer since this one read the store: a key is stored once.
        std::optional<std::string> storedName;
        {
            Statement stored(db_, kStored);
            if (!stored) return abandon(kStored);
            stored.bind(1, dealer->dealerKey);
            const int found = sqlite3_step(stored.get());
            if (found == SQLITE_ROW)
                storedName = stored.text(0);
            else if (found != SQLITE_DONE)
                return abandon(kStored);
        }
        if (storedName) {
            if (error) {
                *error = platform::Error(kErrorDomain, SQLITE_CONSTRAINT,
                                         "the dealer key is stored already");
                error->userInfo["path"] = path_.string();
                error->userInfo["dealerKey"] = dealer->dealerKey;
                error->userInfo[kStoredNameKey] = *storedName;
            }
            exec("ROLLBACK", nullptr);
            return std::nullopt;
        }
        Statement insert(db_, kInsert);
        if (!insert) return abandon(kInsert);
        insert.bindDealer(*dealer);
        if (sqlite3_step(insert.get()) != SQLITE_DONE) return abandon(kInsert);
        newRows.push_back(sqlite3_last_insert_rowid(db_));
    }
    static const char* kUpdate =
        "UPDATE EtyDealer SET dealerIcon = ?1, dealerKey = ?2, dealerLogo = ?3, dealerName = ?4, "
        "hostDemo = ?5, hostReal = ?6, isSelected = ?7, lastTime = ?8 WHERE id = ?9";
    for (const auto& [row, dealer] : changes.updated) {
        Statement update(db_, kUpdate);
        if (!update) return abandon(kUpdate);
        update.bindDealer(*dealer);
        update.bind(9, row);
        if (sqlite3_step(update.get()) != SQLITE_DONE) return abandon(kUpdate);
    }
    if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        return abandon("COMMIT");
    return newRows;
}

std::string describeError(const platform::Error& error) {
    return error.domain + " " + std::to_string(error.code) + ": " + error.localizedDescription;
}

std::string describeUserInfo(const platform::Error& error) {
    std::string out = "{";
    for (const auto& [key, value] : error.userInfo) {
        out += key + " = ";
        if (const auto* text = std::get_if<std::string>(&value))
            out += "\"" + *text + "\"";
        else
            out += std::to_string(std::get<long long>(value));
        out += "; ";
    }
    if (out.size() > 1) out.resize(out.size() - 1);
    return out + "}";
}
