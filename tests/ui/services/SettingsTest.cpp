#include <gtest/gtest.h>

#include <vector>

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "platform/ui/Bundle.h"
#include "tests/ui/services/ServicesFixture.h"
#include "ui/services/sysDB.h"

namespace {

using Settings = kavtest::FreshDataTest;

// Counts "sys_4008" notices for as long as it lives.
struct LoadCounter {
    int count = 0;
    platform::ObserverToken token = platform::NotificationCenter::defaultCenter().addObserver(
        kNoticeSettingsLoaded, [this](const platform::Notification& n) {
            EXPECT_FALSE(n.object.has_value());
            ++count;
        });
};

TEST_F(Settings, AFreshInstallationReadsTheDefaults) {
    sysDB db;
    const modSetting& s = *db.setting();
    EXPECT_TRUE(s.isLockSceen);
    EXPECT_TRUE(s.autoConnect);
    EXPECT_EQ(s.timeOut, 10);
    EXPECT_FALSE(s.isFlashOrder);
    EXPECT_TRUE(s.isKeepAccount);
    EXPECT_EQ(s.pointMove, 5);
    EXPECT_FLOAT_EQ(s.orderQuantity, 1.0f);
    EXPECT_EQ(s.shakeValue, 0);
    EXPECT_EQ(s.trUid, "");
    EXPECT_EQ(s.dealerKey, "");
    EXPECT_EQ(s.loginSRV, 1);
    EXPECT_FALSE(db.isOnline());
    EXPECT_EQ(db.valueWithTag(settingTag::timeOut, "none"), "none") << "defaults are not stored";
}

TEST_F(Settings, StoredTextsAreParsedByTheRuleOfTheirTag) {
    kavtest::VirtualTime time;
    sysDB db;
    const modSetting& s = *db.setting();
    db.setValue("true", settingTag::isLockSceen);
    EXPECT_FALSE(s.isLockSceen) << "only \"1\" is on";
    db.setValue("1", settingTag::isFlashOrder);
    EXPECT_TRUE(s.isFlashOrder);
    db.setValue("12abc", settingTag::timeOut);
    EXPECT_EQ(s.timeOut, 12);
    db.setValue("  -7 points", settingTag::pointMove);
    EXPECT_EQ(s.pointMove, -7);
    db.setValue("abc", settingTag::shakeValue);
    EXPECT_EQ(s.shakeValue, 0);
    db.setValue("99999999999", settingTag::loginSRV);
    EXPECT_EQ(s.loginSRV, INT32_MAX);
    db.setValue("0.5", settingTag::orderQuantity);
    EXPECT_FLOAT_EQ(s.orderQuantity, 0.5f);
    db.setValue("8001", settingTag::trUid);
    EXPECT_EQ(s.trUid, "8001");

    // Kept as texts under key_<tag>, in the file at once, and read by every
    // store.
    EXPECT_EQ(platform::UserDefaults::standard().stringForKey("key_2003"), "12abc");
    const auto file = platform::UserDefaults::standard().file();
    EXPECT_EQ(platform::UserDefaults(file).stringForKey("key_2001"), "true");
    EXPECT_EQ(platform::UserDefaults(file).stringForKey("key_3001"), "8001");
    sysDB other;
    EXPECT_EQ(other.setting()->timeOut, 12);
    EXPECT_FLOAT_EQ(other.setting()->orderQuantity, 0.5f);
    db.setValue("30", settingTag::timeOut);
    EXPECT_EQ(other.valueWithTag(settingTag::timeOut, "10"), "30") << "read afresh";
    EXPECT_EQ(other.setting()->timeOut, 12) << "another store's model waits for loadSetting";
}

TEST_F(Settings, TagsWithoutAFieldAreStoredButChangeNothing) {
    sysDB db;
    const modSetting before = *db.setting();
    db.setValue("x", settingTag::changePassword);
    db.setValue("y", 4000);
    EXPECT_EQ(db.valueWithTag(2006, ""), "x");
    EXPECT_EQ(platform::UserDefaults::standard().stringForKey("key_4000"), "y");
    const modSetting& after = *db.setting();
    EXPECT_EQ(after.isLockSceen, before.isLockSceen);
    EXPECT_EQ(after.timeOut, before.timeOut);
    EXPECT_EQ(after.pointMove, before.pointMove);
    EXPECT_EQ(after.shakeValue, before.shakeValue);
    EXPECT_EQ(after.loginSRV, before.loginSRV);
    EXPECT_EQ(after.trUid, before.trUid);
    EXPECT_EQ(after.dealerKey, before.dealerKey);
}

// Notes the order in which the settings are read.
class RecordingStore : public sysDB {
  public:
    std::string valueWithTag(int tag, const std::string& defaultValue) const override {
        tags.push_back(tag);
        return sysDB::valueWithTag(tag, defaultValue);
    }
    mutable std::vector<int> tags;
};

TEST_F(Settings, EveryLoadReadsInItsOrderAndAnnouncesItself) {
    LoadCounter loads;
    RecordingStore db;
    EXPECT_EQ(loads.count, 1) << "a new store loads";
    sysDB second;
    EXPECT_EQ(loads.count, 2);

    db.setValue("20", settingTag::timeOut);
    EXPECT_EQ(loads.count, 2) << "storing posts nothing";
    db.loadSetting();
    EXPECT_EQ(loads.count, 3);
    EXPECT_EQ(db.tags,
              (std::vector<int>{2001, 2002, 2003, 2004, 2007, 2008, 2005, 3003, 2009, 3001, 3005}));
    // An observer of the notice already sees the loaded values.
    int seen = 0;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        kNoticeSettingsLoaded,
        [&](const platform::Notification&) { seen = second.setting()->timeOut; });
    second.loadSetting();
    EXPECT_EQ(seen, 20);
}

TEST_F(Settings, LabelsComeFromTheSelectedDealersFile) {
    kavtest::ScopedEnv bundle("KAV_BUNDLE_DIR", nullptr);  // the shipped resources
    sysDB db;
    EXPECT_EQ(db.getLabelWithKey("实时行情", "实时行情"), "实时行情") << "no dealer yet";

    db.setValue("GOLDEX", settingTag::dealerKey);
    EXPECT_EQ(db.setting()->dealerKey, "GOLDEX");
    EXPECT_EQ(db.getLabelWithKey("实时行情", "实时行情"), "报价");
    EXPECT_EQ(db.getLabelWithKey("点差", "点差"), "点差") << "a caption the dealer keeps";

    // Each store has its own table; loading the settings does not load it.
    sysDB other;
    EXPECT_EQ(other.setting()->dealerKey, "GOLDEX");
    EXPECT_EQ(other.getLabelWithKey("实时行情", "实时行情"), "实时行情");

    platform::LogCapture log;
    db.setValue("NOSUCHDEALER", settingTag::dealerKey);
    EXPECT_TRUE(log.contains("未找到交易商【NOSUCHDEALER】定义文件"));
    EXPECT_EQ(db.getLabelWithKey("实时行情", "实时行情"), "实时行情");

    // A key that climbs out of the folder names no file, even one that would
    // land on a real label file.
    db.setValue("../DealerDEF/GOLDEX", settingTag::dealerKey);
    EXPECT_EQ(db.getLabelWithKey("实时行情", "实时行情"), "实时行情");
    EXPECT_EQ(log.count("定义文件"), 2u);
}

TEST_F(Settings, ALabelFileThatIsNoObjectLeavesTheDefaults) {
    kavtest::TempDir bundleDir;
    kavtest::ScopedEnv bundle("KAV_BUNDLE_DIR", bundleDir.path().c_str());
    ASSERT_TRUE(platform::files::makeDirectories(bundleDir / "DealerDEF"));
    ASSERT_TRUE(platform::files::writeFileAtomic(bundleDir / "DealerDEF/GOOD.json",
                                                 R"({"头寸": "Position", "平仓": 7})"));
    ASSERT_TRUE(
        platform::files::writeFileAtomic(bundleDir / "DealerDEF/BROKEN.json", R"({"头寸": )"));
    ASSERT_TRUE(platform::files::writeFileAtomic(bundleDir / "DealerDEF/LIST.json", R"(["头寸"])"));
    sysDB db;
    db.loadLabelWithKey("GOOD");
    EXPECT_EQ(db.getLabelWithKey("头寸", "头寸"), "Position");
    EXPECT_EQ(db.getLabelWithKey("平仓", "平仓"), "7");
    for (const char* key : {"BROKEN", "LIST"}) {
        platform::LogCapture log;
        db.loadLabelWithKey(key);
        EXPECT_EQ(db.getLabelWithKey("头寸", "头寸"), "头寸") << key;
        EXPECT_FALSE(log.contains("定义文件")) << "the file exists";
    }
}

TEST_F(Settings, LabelsComeFromWhereTheMainBundleLies) {
    kavtest::TempDir bundleDir;
    ASSERT_TRUE(platform::files::makeDirectories(bundleDir / "DealerDEF"));
    ASSERT_TRUE(platform::files::writeFileAtomic(bundleDir / "DealerDEF/GOLDEX.json",
                                                 R"({"实时行情": "Quotes"})"));
    auto& mainBundle = platform::ui::NSBundle::mainBundle();
    mainBundle.setBundlePath(bundleDir.path());
    sysDB db;
    db.setValue("GOLDEX", settingTag::dealerKey);
    const std::string label = db.getLabelWithKey("实时行情", "实时行情");
    db.setValue("../DealerDEF/GOLDEX", settingTag::dealerKey);
    const std::string climbed = db.getLabelWithKey("实时行情", "实时行情");
    mainBundle.setBundlePath({});
    EXPECT_EQ(label, "Quotes");
    EXPECT_EQ(climbed, "实时行情") << "still only plain file names";
}

}  // namespace
