// The dealer store: records kept in SQLite across restarts, schema steps,
// failed saves and unreadable files; the dealer manager's lookups against
// the simulated dealer's definition service and against odd replies.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <filesystem>
#include <functional>

#include "app/AppDelegate.h"
#include "app/DealerManager.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "tests/support/DealerSim.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/TestSupport.h"

using namespace kavtest;

namespace {

EtyDealer dealer(const std::string& key, const std::string& name) {
    EtyDealer d;
    d.dealerKey = key;
    d.dealerName = name;
    d.dealerIcon = "icon.png";
    d.dealerLogo = "logo.png";
    d.hostDemo = "ws://demo/" + key;
    d.hostReal = "ws://real/" + key;
    d.lastTime = 1767603600.5;
    return d;
}

std::vector<std::string> keysOf(const std::vector<std::shared_ptr<EtyDealer>>& list) {
    std::vector<std::string> keys;
    for (const auto& d : list)
        keys.push_back(d->dealerKey);
    return keys;
}

class StoreFileTest : public ::testing::Test {
  protected:
    std::shared_ptr<SQLiteStore> open(const StoreModel& model = StoreModel::kavTrader()) {
        platform::Error error;
        auto store = SQLiteStore::open(file, model, &error);
        EXPECT_TRUE(store) << describeError(error);
        return store;
    }
    std::vector<std::shared_ptr<EtyDealer>> all(StoreContext& context) {
        auto found = context.fetch();
        EXPECT_TRUE(found);
        return found.value_or(std::vector<std::shared_ptr<EtyDealer>>{});
    }

    TempDir dir;
    std::filesystem::path file = dir / "sub" / "KAVTrader.sqlite";
};

}  // namespace

// ---- the store layer -------------------------------------------------------

TEST_F(StoreFileTest, RecordsSurviveReopeningInTheOrderTheyWereAdded) {
    {
        StoreContext context(open());
        EXPECT_TRUE(all(context).empty());
        for (const auto& [key, name] : std::vector<std::pair<std::string, std::string>>{
                 {"KAVFX", "KAV 外汇"}, {"GOLDEX", "金汇通贵金属"}, {"kavdemo", "KAV 模拟交易"}}) {
            *context.insertNewDealer() = dealer(key, name);
        }
        EXPECT_TRUE(context.hasChanges());
        ASSERT_TRUE(context.save());
        EXPECT_FALSE(context.hasChanges());
        // One object per record while the context lives.
        EXPECT_EQ(all(context)[1], all(context)[1]);
    }
    {
        StoreContext context(open());
        auto records = all(context);
        ASSERT_EQ(keysOf(records), (std::vector<std::string>{"KAVFX", "GOLDEX", "kavdemo"}));
        EXPECT_EQ(*records[1], dealer("GOLDEX", "金汇通贵金属"));
        // Change one, delete one, add one: the new one goes after the others,
        // even though a row before it was deleted.
        records[0]->isSelected = true;
        context.deleteObject(records[1]);
        *context.insertNewDealer() = dealer("NEWFX", "新汇");
        ASSERT_TRUE(context.save());
    }
    StoreContext context(open());
    auto records = all(context);
    ASSERT_EQ(keysOf(records), (std::vector<std::string>{"KAVFX", "kavdemo", "NEWFX"}));
    EXPECT_TRUE(records[0]->isSelected);
    EXPECT_FALSE(records[1]->isSelected);
    auto selected = context.fetch([](const EtyDealer& d) { return d.isSelected; });
    ASSERT_TRUE(selected);
    EXPECT_EQ(keysOf(*selected), std::vector<std::string>{"KAVFX"});
}

TEST_F(StoreFileTest, ValuesGoInAsParametersWhateverTheyHold) {
    const EtyDealer odd = dealer("x'); DROP TABLE EtyDealer; --", "名字 \"引号\" 'quote' \\ %s");
    {
        StoreContext context(open());
        *context.insertNewDealer() = odd;
        ASSERT_TRUE(context.save());
    }
    StoreContext context(open());
    auto records = all(context);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(*records[0], odd);
}

TEST_F(StoreFileTest, ALaterSchemaStepAddsAColumnAndKeepsTheRows) {
    {
        StoreContext context(open());
        *context.insertNewDealer() = dealer("KAVFX", "KAV 外汇");
        ASSERT_TRUE(context.save());
    }
    StoreModel later = StoreModel::kavTrader();
    later.migrations.push_back({"ALTER TABLE EtyDealer ADD COLUMN webService TEXT"});
    {
        auto store = open(later);
        ASSERT_TRUE(store);
        EXPECT_EQ(store->schemaVersion(), 2);
        StoreContext context(store);
        ASSERT_EQ(keysOf(all(context)), std::vector<std::string>{"KAVFX"});
        *context.insertNewDealer() = dealer("GOLDEX", "金汇通贵金属");
        ASSERT_TRUE(context.save());
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(webService IS NULL) FROM EtyDealer", -1, &stmt,
                                 nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), 2);
    sqlite3_finalize(stmt);
    sqlite3_close(db);

    // The older release refuses the newer file rather than misread it, and
    // leaves it whole.
    platform::Error error;
    EXPECT_FALSE(SQLiteStore::open(file, StoreModel::kavTrader(), &error));
    EXPECT_NE(error.localizedDescription.find("newer"), std::string::npos);
    StoreContext context(open(later));
    EXPECT_EQ(keysOf(all(context)), (std::vector<std::string>{"KAVFX", "GOLDEX"}));
}

TEST_F(StoreFileTest, AFailedSaveLosesNothingAndTheNextSaveWritesIt) {
    StoreContext context(open());
    *context.insertNewDealer() = dealer("KAVFX", "KAV 外汇");
    ASSERT_TRUE(context.save());
    all(context)[0]->dealerName = "改名";
    *context.insertNewDealer() = dealer("GOLDEX", "金汇通贵金属");

    // Another connection holds the write lock: the save cannot write.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    platform::Error error;
    EXPECT_FALSE(context.save(&error));
    EXPECT_EQ(error.domain, "SQLite");
    EXPECT_TRUE(context.hasChanges());
    EXPECT_EQ(keysOf(all(context)), (std::vector<std::string>{"KAVFX", "GOLDEX"}));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    ASSERT_TRUE(context.save(&error)) << describeError(error);
    StoreContext reopened(open());
    auto records = all(reopened);
    ASSERT_EQ(keysOf(records), (std::vector<std::string>{"KAVFX", "GOLDEX"}));
    EXPECT_EQ(records[0]->dealerName, "改名");
}

// ---- the dealer manager -----------------------------------------------------

namespace {

class DealerManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::files::setDataRoot(data.path());
        platform::UserDefaults::resetStandard();
    }
    void TearDown() override {
        platform::files::setDataRoot({});
        platform::UserDefaults::resetStandard();
    }

    // A result of a lookup: "ok", or "code|message".
    std::string lookup(const std::string& url) {
        std::string result;
        manager().searchDelaerWithURL(
            url, [&] { result = "ok"; },
            [&](const std::string& code, const std::string& message) {
                result = code + "|" + message;
            });
        EXPECT_TRUE(time.runUntil([&] { return !result.empty(); }));
        return result;
    }
    std::string lookupKey(const std::string& key) {
        return lookup(sim().dealerUrl() + "/getdealer.php?key=" + key);
    }
    DealerManager manager() { return DealerManager(app->dealerStore()); }
    std::vector<std::string> listed() {
        auto list = manager().getLocalDealerArray();
        EXPECT_TRUE(list);
        return list ? keysOf(*list) : std::vector<std::string>{};
    }
    std::vector<std::string> selectedKeys() {
        std::vector<std::string> keys;
        for (const auto& d :
             manager().getLocalDealerArray().value_or(std::vector<std::shared_ptr<EtyDealer>>{}))
            if (d->isSelected) keys.push_back(d->dealerKey);
        return keys;
    }
    // A new application delegate over the same Documents folder: what a
    // second run of the application finds.
    void restart() { app = std::make_shared<AppDelegate>(); }
    DealerSim& sim() {
        if (!sim_) sim_ = std::make_unique<DealerSim>();
        return *sim_;
    }

    TempDir data;
    VirtualTime time;
    std::shared_ptr<AppDelegate> app = std::make_shared<AppDelegate>();
    std::unique_ptr<DealerSim> sim_;
};

}  // namespace

TEST_F(DealerManagerTest, AddsFindsSelectsListsAndDeletesAcrossRestarts) {
    EXPECT_EQ(manager().getCurrentSelectedDealer(), nullptr);
    EXPECT_TRUE(listed().empty());
    EXPECT_TRUE(manager().isStoreAvailable());

    EXPECT_EQ(lookupKey("KAVFX"), "ok");
    EXPECT_EQ(lookupKey("GOLDEX"), "ok");
    EXPECT_EQ(lookupKey("kavdemo"), "ok");
    EXPECT_EQ(listed(), (std::vector<std::string>{"KAVFX", "GOLDEX", "kavdemo"}));
    EXPECT_TRUE(selectedKeys().empty());  // added, not selected
    auto gold = manager().getEtyDealerWithDealerKey("GOLDEX");
    ASSERT_TRUE(gold);
    EXPECT_EQ(gold->dealerName, "金汇通贵金属");
    EXPECT_EQ(gold->hostDemo, "");
    EXPECT_EQ(gold->hostReal, sim().realLoginUrl());
    EXPECT_EQ(gold->dealerLogo, "logo.png");
    EXPECT_EQ(gold->lastTime, time.clock().wallTime());
    EXPECT_EQ(manager().getEtyDealerWithDealerKey("NOPE"), nullptr);

    // The same key again: refused with the stored name, even from a
    // definition that changed meanwhile, and nothing is added.
    EXPECT_EQ(lookupKey("GOLDEX"), "1|搜索的交易商已经存在\n【 金汇通贵金属 】");
    EXPECT_EQ(listed().size(), 3u);
    EXPECT_EQ(lookupKey("UNKNOWN"), "1|交易商不存在");

    // None selected: the first becomes the selected one, and stays so.
    restart();
    auto first = manager().getCurrentSelectedDealer();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->dealerKey, "KAVFX");
    EXPECT_EQ(selectedKeys(), std::vector<std::string>{"KAVFX"});
    manager().setCurrentSelectedDealerWithDealerKey("GOLDEX");
    EXPECT_EQ(selectedKeys(), std::vector<std::string>{"GOLDEX"});
    EXPECT_EQ(manager().getCurrentSelectedDealer()->dealerKey, "GOLDEX");

    restart();
    EXPECT_EQ(listed(), (std::vector<std::string>{"KAVFX", "GOLDEX", "kavdemo"}));
    EXPECT_EQ(selectedKeys(), std::vector<std::string>{"GOLDEX"});
    // The selected dealer deleted the way the dealer list deletes it: the
    // next answer selects one of the rest.
    app->managedObjectContext()->deleteObject(manager().getEtyDealerWithDealerKey("GOLDEX"));
    ASSERT_TRUE(app->saveContext());
    restart();
    EXPECT_EQ(listed(), (std::vector<std::string>{"KAVFX", "kavdemo"}));
    EXPECT_TRUE(selectedKeys().empty());
    EXPECT_EQ(manager().getCurrentSelectedDealer()->dealerKey, "KAVFX");
    // A key that is not stored leaves none selected.
    manager().setCurrentSelectedDealerWithDealerKey("GOLDEX");
    restart();
    EXPECT_TRUE(selectedKeys().empty());
}

TEST_F(DealerManagerTest, OddRepliesAndTransportFailures) {
    HttpTestServer server;
    const auto reply = [&](const std::string& body, unsigned status = 200) {
        static int n = 0;
        const std::string target = "/dealer/getdealer.php?key=" + std::to_string(++n);
        server.route(target, status, body);
        return lookup(server.url(target));
    };
    const std::string data =
        R"("data":{"dealerKey":12345,"dealerName":"数字","dealerIcon":"i.png",)"
        R"("dealerLogo":"l.png","hostDemo":"ws://d/","hostReal":"ws://r/"})";

    EXPECT_EQ(reply("{" + data + "}", 404), "1|查询失败。");
    EXPECT_EQ(lookup(ClosedPort().url("/dealer/getdealer.php?key=A")), "1|查询失败。");
    EXPECT_EQ(lookup("http://127.0.0.1:1/bad key"), "1|查询失败。");
    EXPECT_EQ(reply("<html>busy</html>"), "1|查询返回内容解析失败。");
    EXPECT_EQ(reply("[1, 2]"), "1|查询返回内容解析失败。");
    EXPECT_EQ(reply(R"({"retCode":0,"data":"KAVFX"})"), "1|查询返回内容解析失败。");
    EXPECT_EQ(reply(R"({"retCode":0,"data":{"dealerName":"无键"}})"), "1|查询返回内容解析失败。");
    // The service's own refusal, its texts as they stand.
    EXPECT_EQ(reply(R"({"retCode":7,"message":"维护中"})"), "7|维护中");
    EXPECT_EQ(reply(R"({"retCode":"2","message":"缺少识别号"})"), "2|缺少识别号");
    EXPECT_TRUE(listed().empty());

    // No retCode counts as success; a number is kept as its decimal text.
    EXPECT_EQ(reply("{" + data + "}"), "ok");
    auto stored = manager().getEtyDealerWithDealerKey("12345");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->dealerName, "数字");
    EXPECT_EQ(stored->hostReal, "ws://r/");
    EXPECT_EQ(reply(R"({"retCode":"0",)" + data + "}"), "1|搜索的交易商已经存在\n【 数字 】");
}

// A store file that is no readable store of ours would refuse every dealer
// for good: it is kept aside as ".corrupt", whole, and a fresh store is made.
TEST_F(DealerManagerTest, AnUnreadableStoreFileIsKeptAsideAndAFreshOneMade) {
    const auto path = platform::files::documentsRoot() / AppDelegate::kStoreFileName;
    const auto aside = path.string() + ".corrupt";
    // A real store with a dealer, whose bytes the damaged kinds start from.
    ASSERT_EQ(lookupKey("KAVFX"), "ok");
    restart();
    const std::string sound = platform::files::readFile(path).value_or("");
    ASSERT_GT(sound.size(), 8192u);
    const auto foreign = [](const std::filesystem::path& file) {
        sqlite3* db = nullptr;
        sqlite3_open(file.c_str(), &db);
        sqlite3_exec(db, "CREATE TABLE EtyDealer (name TEXT); PRAGMA user_version = 1", nullptr,
                     nullptr, nullptr);
        sqlite3_close(db);
    };
    struct Kind {
        const char* name;
        std::function<void()> make;
        bool folder = false;
    };
    const std::vector<Kind> kinds = {
        {"garbage", [&] { platform::files::writeFileAtomic(path, std::string(4096, 'x')); }},
        {"cut short", [&] { platform::files::writeFileAtomic(path, sound.substr(0, 5000)); }},
        {"empty pages",
         [&] {
             std::string damaged = sound;
             std::fill(damaged.begin() + 4096, damaged.end(), '\xA5');
             platform::files::writeFileAtomic(path, damaged);
         }},
        {"someone else's database", [&] { foreign(path); }},
        {"a folder", [&] { platform::files::makeDirectories(path / "inside"); }, true},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        std::filesystem::remove_all(path);
        std::filesystem::remove_all(aside);
        kind.make();
        const std::string before = platform::files::readFile(path).value_or("");
        restart();
        platform::LogCapture logs;
        ASSERT_NE(app->managedObjectContext(), nullptr);
        EXPECT_EQ(logs.count("Unresolved error SQLite "), 1u);
        EXPECT_TRUE(logs.contains("Store " + path.string() + " is unreadable; kept as " + aside +
                                  ", a new one is made"));
        if (kind.folder)
            EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(aside) / "inside"));
        else
            EXPECT_EQ(platform::files::readFile(aside), before);
        // The fresh store lists nothing and keeps what is added, across restarts.
        EXPECT_TRUE(manager().isStoreAvailable());
        EXPECT_TRUE(listed().empty());
        EXPECT_EQ(lookupKey("GOLDEX"), "ok");
        restart();
        EXPECT_EQ(listed(), std::vector<std::string>{"GOLDEX"});
    }
}

// Only when no store can be made at all is it unavailable: a lookup reaches
// the service but cannot keep the answer, and says so.
TEST_F(DealerManagerTest, WhenNoStoreCanBeMadeTheStoreIsUnavailable) {
    // The Documents folder cannot be made: a file holds its name.
    const auto documents = platform::files::documentsRoot();
    platform::files::makeDirectories(documents.parent_path());
    ASSERT_TRUE(platform::files::writeFileAtomic(documents, "not a folder"));

    platform::LogCapture logs;
    EXPECT_EQ(app->managedObjectContext(), nullptr);
    EXPECT_EQ(logs.count("Unresolved error SQLite 14: unable to open database file, {"), 1u)
        << (logs.lines().empty() ? "" : logs.lines()[0]);
    EXPECT_FALSE(manager().isStoreAvailable());
    EXPECT_EQ(manager().getCurrentSelectedDealer(), nullptr);
    EXPECT_FALSE(manager().getLocalDealerArray());
    EXPECT_EQ(manager().getEtyDealerWithDealerKey("KAVFX"), nullptr);
    manager().setCurrentSelectedDealerWithDealerKey("KAVFX");
    EXPECT_TRUE(app->saveContext());  // nothing to save
    EXPECT_EQ(lookupKey("KAVFX"), std::string("1|") + DealerManager::kStoreUnavailable);
    // Tried and logged once.
    EXPECT_EQ(logs.count("Unresolved error"), 1u);
    EXPECT_EQ(platform::files::readFile(documents), "not a folder");
}

// A store locked by another run of the application when it is first used
// is in passing trouble, not unavailable for good: the next use opens it.
TEST_F(DealerManagerTest, AStoreLockedAtItsFirstUseOpensAtTheNext) {
    ASSERT_EQ(lookupKey("KAVFX"), "ok");
    restart();
    const auto path = platform::files::documentsRoot() / AppDelegate::kStoreFileName;
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_FALSE(manager().isStoreAvailable());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    EXPECT_TRUE(manager().isStoreAvailable());
    EXPECT_EQ(listed(), std::vector<std::string>{"KAVFX"});
    EXPECT_EQ(lookupKey("GOLDEX"), "ok");
    EXPECT_FALSE(platform::files::fileExists(path.string() + ".corrupt"));
}

// A store of a newer release is refused, and left as it is.
TEST_F(DealerManagerTest, ANewerStoreIsRefusedUntouched) {
    const auto path = platform::files::documentsRoot() / AppDelegate::kStoreFileName;
    ASSERT_EQ(lookupKey("KAVFX"), "ok");
    restart();
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 7", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }
    const auto before = platform::files::readFile(path);
    platform::LogCapture logs;
    EXPECT_EQ(app->managedObjectContext(), nullptr);
    EXPECT_TRUE(logs.contains("newer release"));
    EXPECT_FALSE(logs.contains("is unreadable"));
    EXPECT_EQ(lookupKey("GOLDEX"), std::string("1|") + DealerManager::kStoreUnavailable);
    EXPECT_EQ(platform::files::readFile(path), before);
    EXPECT_FALSE(platform::files::fileExists(path.string() + ".corrupt"));
}

TEST_F(DealerManagerTest, AnAdditionThatCannotBeSavedIsNotKept) {
    ASSERT_EQ(lookupKey("KAVFX"), "ok");
    const auto path = platform::files::documentsRoot() / AppDelegate::kStoreFileName;
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    platform::LogCapture logs;
    EXPECT_EQ(lookupKey("GOLDEX"), std::string("1|") + DealerManager::kStoreUnavailable);
    EXPECT_TRUE(logs.contains("Unresolved error SQLite 5: database is locked"));
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);

    // Not listed, and not written behind the user's back by the next save.
    EXPECT_EQ(listed(), std::vector<std::string>{"KAVFX"});
    manager().setCurrentSelectedDealerWithDealerKey("KAVFX");
    restart();
    EXPECT_EQ(listed(), std::vector<std::string>{"KAVFX"});
    EXPECT_EQ(selectedKeys(), std::vector<std::string>{"KAVFX"});
    EXPECT_EQ(lookupKey("GOLDEX"), "ok");
}

// Two runs of the application on one data folder, both started before
// either added the dealer (as two first starts do): the one that adds it
// second is told it is stored already, and the store keeps it once.
TEST_F(DealerManagerTest, ADealerAddedByAnotherRunMeanwhileIsNotStoredTwice) {
    ASSERT_TRUE(listed().empty());  // this run has read the store
    auto other = std::make_shared<AppDelegate>();
    ASSERT_TRUE(DealerManager(other->dealerStore()).getLocalDealerArray());
    ASSERT_EQ(lookupKey("KAVFX"), "ok");

    std::string result;
    DealerManager(other->dealerStore())
        .searchDelaerWithURL(
            sim().dealerUrl() + "/getdealer.php?key=KAVFX", [&] { result = "ok"; },
            [&](const std::string& code, const std::string& message) {
                result = code + "|" + message;
            });
    ASSERT_TRUE(time.runUntil([&] { return !result.empty(); }));
    EXPECT_EQ(result, "1|搜索的交易商已经存在\n【 KAV 外汇 】");
    EXPECT_TRUE(DealerManager(other->dealerStore()).getLocalDealerArray()->empty());
    other.reset();
    restart();
    EXPECT_EQ(listed(), std::vector<std::string>{"KAVFX"});
}
