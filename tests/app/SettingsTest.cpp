// The settings screens: the three sections from the stored values, each
// control storing its tag at once and announcing it so the session
// re-applies the time-out and the screen lock; the number editors storing
// every keystroke and taking digits only; the shake editor; out-of-range
// stored values; the back buttons of a phone held on its side.
#include "app/UIChangePWD.h"
#include "app/UIOptional.h"
#include "app/UIShakeSet.h"
#include "app/UITextInput.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/ui/Slider.h"
#include "platform/ui/Switch.h"
#include "tests/app/AccountStage.h"
#include "ui/toolkit/CellDetail.h"
#include "ui/toolkit/CellSlider.h"
#include "ui/toolkit/CellSwitch.h"

using namespace accounttest;

namespace {

class SettingsTest : public AccountScreenTest {
  protected:
    void SetUp() override {
        AccountScreenTest::SetUp();
        // Every change is announced, so the session re-applies it.
        settingsNotice = platform::NotificationCenter::defaultCenter().addObserver(
            kNoticeSettingsLoaded, [this](const platform::Notification&) { ++notices; });
    }
    void TearDown() override {
        settingsNotice.reset();
        AccountScreenTest::TearDown();
    }
    void storeValue(int tag, const std::string& value) {
        platform::UserDefaults::standard().setString("key_" + std::to_string(tag), value);
    }
    std::string storedValue(int tag) {
        return platform::UserDefaults::standard()
            .stringForKey("key_" + std::to_string(tag))
            .value_or("<none>");
    }
    // The account centre stand-in presents the settings in their own stack.
    void openSettings() {
        centre = show(std::make_shared<BaseViewController>());
        settings = std::make_shared<UIOptional>();
        settings->setContext(session);
        stack = std::make_shared<BaseNavigationController>(settings);
        centre->presentViewController(stack, true);
        settle();
    }
    template <typename T>
    T* row(int tag) {
        return dynamic_cast<T*>(settings->cellWithTag(tag));
    }
    std::string detail(int tag) { return row<CellDetail>(tag)->valueLabel()->text(); }
    void tapRow(int tag) {
        UIDriver::tap(settings->cellWithTag(tag));
        settle();
    }
    void back() {
        auto buttons = UIDriver::viewsOfType<UIButton>(stack->navigationBar());
        ASSERT_FALSE(buttons.empty());
        UIDriver::tap(buttons.front());
        settle();
    }

    int notices = 0;
    platform::ObserverToken settingsNotice;
    std::shared_ptr<BaseNavigationController> centre;
    std::shared_ptr<UIOptional> settings;
    std::shared_ptr<BaseNavigationController> stack;
};

TEST_F(SettingsTest, SectionsShowTheStoredValuesAndEveryControlStoresAndAnnouncesItsTag) {
    storeValue(2004, "1");
    storeValue(2007, "8");
    storeValue(2009, "2");
    openSettings();
    EXPECT_EQ(settings->title(), "系统设置");
    for (const char* header : {"基本设置", "操作设置", "账户设置"})
        EXPECT_TRUE(shows(header)) << header;
    // Stored values and the defaults of what was never stored.
    for (int tag : {2001, 2002, 2004, 2005})
        EXPECT_TRUE(row<CellSwitch>(tag)->switchView()->isOn());
    EXPECT_EQ(row<CellSlider>(2003)->valueLabel()->text(), "10 秒");
    EXPECT_EQ(row<CellSwitch>(2004)->Title(), "一键市价下单");
    EXPECT_EQ(row<CellDetail>(2007)->Title(), "默认允许偏离点差");
    EXPECT_EQ(detail(2007), "8");
    EXPECT_EQ(detail(2008), "1");
    EXPECT_EQ(detail(2009), "进入资金账户");
    EXPECT_EQ(row<CellDetail>(2006)->Title(), "修改密码");
    EXPECT_EQ(detail(2006), "");
    snapshot("settings");

    // Each switch stores "1"/"0" under its tag and announces it at once.
    const int before = notices;
    for (int tag : {2001, 2002, 2004, 2005}) {
        SCOPED_TRACE(tag);
        UIDriver::tap(row<CellSwitch>(tag)->switchView());
        EXPECT_EQ(storedValue(tag), "0");
    }
    EXPECT_EQ(notices, before + 4);
    EXPECT_FALSE(store()->setting()->isLockSceen) << "the screen may dim";
    UIDriver::tap(row<CellSwitch>(2001)->switchView());
    EXPECT_EQ(storedValue(2001), "1");
    EXPECT_TRUE(store()->setting()->isLockSceen);

    // The slider stores every whole second it passes.
    std::vector<int> timeOuts;
    auto watch = platform::NotificationCenter::defaultCenter().addObserver(
        kNoticeSettingsLoaded,
        [&](const platform::Notification&) { timeOuts.push_back(store()->setting()->timeOut); });
    UISlider* slider = row<CellSlider>(2003)->slider();
    const CGRect thumb = slider->thumbRect();
    const CGPoint from = UIDriver::screenCenterOf(slider);
    const CGPoint start =
        CGPointMake(from.x - slider->bounds().size.width / 2 + CGRectGetMidX(thumb), from.y);
    UIDriver::drag(start, CGPointMake(start.x + 200, start.y), 0.5, 20);
    settle(0.2);
    ASSERT_FALSE(timeOuts.empty());
    EXPECT_EQ(timeOuts.back(), 25);
    EXPECT_EQ(storedValue(2003), "25");
    EXPECT_EQ(row<CellSlider>(2003)->valueLabel()->text(), "25 秒");
    for (size_t i = 1; i < timeOuts.size(); ++i)
        EXPECT_GE(timeOuts[i], timeOuts[i - 1]);
    EXPECT_GT(timeOuts.size(), 2u) << "intermediate values are stored too";
    snapshot("settings-changed");

    // Back closes the settings; what was changed stays stored.
    back();
    EXPECT_EQ(centre->presentedViewController(), nullptr);
    EXPECT_EQ(sysDB().setting()->timeOut, 25);
}

TEST_F(SettingsTest, NumberEditorsStoreEveryKeystrokeAndTheRowShowsItOnReturn) {
    openSettings();
    tapRow(2007);
    auto* editor = dynamic_cast<UITextInput*>(stack->topViewController());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->title(), "设置默认偏离点差");
    EXPECT_EQ(editor->cell()->Title(), "默认偏离点差");
    EXPECT_EQ(editor->cell()->txtField()->text(), "5");
    EXPECT_EQ(editor->cell()->txtField()->keyboardType, UIKeyboardType::NumberPad);

    std::vector<std::string> stored;
    auto watch = platform::NotificationCenter::defaultCenter().addObserver(
        kNoticeSettingsLoaded,
        [&](const platform::Notification&) { stored.push_back(storedValue(2007)); });
    UIDriver::tap(editor->cell()->txtField().get());
    UIDriver::typeText("\b12");
    EXPECT_EQ(stored, (std::vector<std::string>{"", "1", "12"}));
    EXPECT_EQ(store()->setting()->pointMove, 12);
    snapshot("settings-deviation");
    // Return closes the keyboard; the row stays below the bars.
    const CGFloat listTop = editor->list()->frame().origin.y;
    ASSERT_GT(listTop, 0);
    UIDriver::typeText("\n");
    settle(0.5);
    EXPECT_FALSE(editor->cell()->txtField()->isFirstResponder());
    EXPECT_EQ(editor->list()->frame().origin.y, listTop);
    snapshot("settings-deviation-returned");
    back();
    EXPECT_EQ(stack->topViewController(), settings.get());
    EXPECT_EQ(detail(2007), "12");

    // Clearing the quantity stores the empty text; the row shows it empty.
    tapRow(2008);
    editor = dynamic_cast<UITextInput*>(stack->topViewController());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->title(), "设置默认交易数量");
    EXPECT_EQ(editor->cell()->Title(), "默认交易数量");
    UIDriver::tap(editor->cell()->txtField().get());
    UIDriver::typeText("\b");
    EXPECT_EQ(storedValue(2008), "");
    back();
    EXPECT_EQ(detail(2008), "");
}

TEST_F(SettingsTest, ALongNumberTypedKeyByKeyCostsTheSameAtEveryKey) {
    openSettings();
    tapRow(2007);
    auto* editor = dynamic_cast<UITextInput*>(stack->topViewController());
    ASSERT_NE(editor, nullptr);
    UITextField* field = editor->cell()->txtField().get();
    UIDriver::tap(field);
    UIDriver::typeText("\b");
    settle();

    // What the keys cost, counted: the settings file's writes, the longest
    // of them, the waits for the disk and the log's bytes. The keys come in
    // no time on the clock, as from a script or a held key.
    struct Cost {
        size_t writes = 0;
        uintmax_t longest = 0;
        size_t syncs = 0;
        size_t logged = 0;
    };
    const auto count = [](Cost& cost) {
        platform::files::setAtomicWriteHook([&cost](const std::filesystem::path& temporary) {
            ++cost.writes;
            cost.longest = std::max(cost.longest, std::filesystem::file_size(temporary));
        });
        platform::files::setFileSyncHook([&cost](const std::filesystem::path&) { ++cost.syncs; });
    };
    const auto stopCounting = [] {
        platform::files::setAtomicWriteHook({});
        platform::files::setFileSyncHook({});
    };
    const auto typeKeys = [&](size_t keys) {
        Cost cost;
        count(cost);
        platform::LogCapture log;
        UIDriver::typeText(std::string(keys, '7'));
        stopCounting();
        for (const auto& line : log.lines())
            cost.logged += line.size();
        return cost;
    };
    const Cost first = typeKeys(1000);
    typeKeys(2000);
    const Cost last = typeKeys(1000);
    const std::string typed(4000, '7');
    EXPECT_EQ(field->text(), typed);
    // Every key stored and in the file at once, one write of the file a key,
    // no wait for the disk, and the log no longer by the thousandth key than
    // by the first.
    EXPECT_EQ(storedValue(2007), typed);
    EXPECT_EQ(platform::UserDefaults(platform::UserDefaults::standard().file())
                  .stringForKey("key_2007"),
              typed);
    EXPECT_EQ(store()->setting()->pointMove, INT32_MAX);
    EXPECT_EQ(first.writes, 1000u);
    EXPECT_EQ(last.writes, 1000u);
    EXPECT_LT(last.longest, typed.size() + 1000);
    EXPECT_EQ(first.syncs, 0u);
    EXPECT_EQ(last.syncs, 0u);
    EXPECT_GT(first.logged, 1000u);
    EXPECT_LE(last.logged, first.logged + first.logged / 10);

    // The disk is waited for once, after the delay, and nothing is written
    // again.
    Cost after;
    count(after);
    time.advance(platform::UserDefaults::kSaveDelay);
    stopCounting();
    EXPECT_EQ(after.syncs, 1u);
    EXPECT_EQ(after.writes, 0u);
    back();
    EXPECT_EQ(detail(2007), typed);
}

TEST_F(SettingsTest, NumberEditorsTakeDigitsOnly) {
    openSettings();
    for (int tag : {2007, 2008}) {
        SCOPED_TRACE(tag);
        tapRow(tag);
        auto* editor = dynamic_cast<UITextInput*>(stack->topViewController());
        ASSERT_NE(editor, nullptr);
        UITextField* field = editor->cell()->txtField().get();
        UIDriver::tap(field);
        UIDriver::typeText(std::string(field->text().size(), '\b') + "abc");
        EXPECT_EQ(field->text(), "");
        EXPECT_EQ(storedValue(tag), "");
        UIDriver::typeText("1.5x-2 ");
        EXPECT_EQ(field->text(), "152");
        EXPECT_EQ(storedValue(tag), "152");
        back();
        EXPECT_EQ(detail(tag), "152");
    }
}

TEST_F(SettingsTest, ShakeEditorShowsTheStoredChoiceAndStoresEveryChange) {
    storeValue(2009, "2");
    openSettings();
    tapRow(2009);
    auto* shake = dynamic_cast<UIShakeSet*>(stack->topViewController());
    ASSERT_NE(shake, nullptr);
    EXPECT_EQ(shake->title(), "摇一摇设置");
    EXPECT_TRUE(shake->switchCell()->switchView()->isOn());
    auto marked = [&] {
        std::vector<long> tags;
        for (auto* cell : shake->choiceCells())
            if (cell->accessoryType() == UITableViewCellAccessoryType::Checkmark)
                tags.push_back(cell->tag());
        return tags;
    };
    ASSERT_EQ(shake->choiceCells().size(), 3u);
    EXPECT_EQ(shake->choiceCells()[2]->textLabel()->text(), "进入限价单");
    EXPECT_EQ(marked(), std::vector<long>{2});
    snapshot("settings-shake");

    // Off: the choices go and the action is off.
    UIDriver::tap(shake->switchCell()->switchView());
    settle(0.2);
    EXPECT_TRUE(shake->choiceCells().empty());
    EXPECT_EQ(shake->list()->numberOfSections(), 1);
    EXPECT_EQ(storedValue(2009), "0");
    back();
    EXPECT_EQ(detail(2009), "关闭");

    // On again: three choices, none marked, and the action stays off until one is chosen.
    tapRow(2009);
    shake = dynamic_cast<UIShakeSet*>(stack->topViewController());
    ASSERT_NE(shake, nullptr);
    EXPECT_FALSE(shake->switchCell()->switchView()->isOn());
    UIDriver::tap(shake->switchCell()->switchView());
    settle(0.2);
    ASSERT_EQ(shake->choiceCells().size(), 3u);
    EXPECT_TRUE(marked().empty());
    EXPECT_EQ(storedValue(2009), "0");
    UIDriver::tap(UIDriver::viewWithText("进入报价牌"));
    settle(0.2);
    EXPECT_EQ(storedValue(2009), "1");
    EXPECT_EQ(marked(), std::vector<long>{1});
    UIDriver::tap(UIDriver::viewWithText("进入限价单"));
    settle(0.2);
    EXPECT_EQ(storedValue(2009), "3");
    EXPECT_EQ(marked(), std::vector<long>{3});
    snapshot("settings-shake-chosen");
    back();
    EXPECT_EQ(detail(2009), "进入限价单");
}

TEST_F(SettingsTest, ShakeEditorNamesThePendingOrdersAsTheDealerDoes) {
    // A dealer that calls the pending orders "挂单": the settings row, the
    // menu and the editor's choice must all say so.
    store()->setValue("GOLDEX", 3003);
    storeValue(2009, "3");
    openSettings();
    EXPECT_EQ(detail(2009), "进入挂单");
    tapRow(2009);
    auto* shake = dynamic_cast<UIShakeSet*>(stack->topViewController());
    ASSERT_NE(shake, nullptr);
    ASSERT_EQ(shake->choiceCells().size(), 3u);
    EXPECT_EQ(shake->choiceCells()[2]->textLabel()->text(), "进入挂单");
    EXPECT_EQ(shake->choiceCells()[2]->accessoryType(), UITableViewCellAccessoryType::Checkmark);
    snapshot("settings-shake-dealer-label");
}

TEST_F(SettingsTest, ShakeValuesThatNameNoActionShowTheDefault) {
    for (const char* value : {"7", "-1", "4", "abc"}) {
        SCOPED_TRACE(value);
        storeValue(2009, value);
        openSettings();
        EXPECT_EQ(detail(2009), "关闭");
        // The editor shows the switch on with no choice marked.
        tapRow(2009);
        auto* shake = dynamic_cast<UIShakeSet*>(stack->topViewController());
        ASSERT_NE(shake, nullptr);
        for (auto* cell : shake->choiceCells())
            EXPECT_EQ(cell->accessoryType(), UITableViewCellAccessoryType::None);
        window->setRootViewController(nullptr);
        settle();
    }
}

TEST_F(SettingsTest, ShakeRowAndEditorNameTheScreenAShakeOpens) {
    // A value written with blanks in front (a settings file edited by hand)
    // is read by the shake as the number after them: the row and the mark
    // must name that screen, not "off".
    const struct {
        const char* value;
        const char* caption;
    } cases[] = {{" 2", "进入资金账户"}, {"\t3", "进入限价单"}, {"\n 1", "进入报价牌"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        storeValue(2009, c.value);
        openSettings();
        EXPECT_EQ(detail(2009), c.caption);
        tapRow(2009);
        auto* shake = dynamic_cast<UIShakeSet*>(stack->topViewController());
        ASSERT_NE(shake, nullptr);
        const int32_t opened = store()->integerWithTag(2009);
        std::vector<long> marked;
        for (auto* cell : shake->choiceCells())
            if (cell->accessoryType() == UITableViewCellAccessoryType::Checkmark)
                marked.push_back(cell->tag());
        EXPECT_EQ(marked, std::vector<long>{opened});
        window->setRootViewController(nullptr);
        settle();
    }
}

TEST_F(SettingsTest, TimeOutSliderStandsAtTheTimeOutTheSessionUses) {
    // A hand-edited time-out with blanks in front is used by the session as
    // the number after them: the thumb must stand there, not at the minimum.
    for (const char* value : {" 15", "\t20", "\n 12", "18"}) {
        SCOPED_TRACE(value);
        storeValue(2003, value);
        store()->loadSetting();
        openSettings();
        const int32_t used = store()->setting()->timeOut;
        EXPECT_EQ(row<CellSlider>(2003)->slider()->value(), static_cast<float>(used));
        EXPECT_GT(used, 5) << "the stored number is read past its blanks";
        if (used == 15) snapshot("settings-timeout-with-blanks");
        window->setRootViewController(nullptr);
        settle();
    }
}

TEST_F(SettingsTest, PasswordRowOpensThePasswordChangeAndBackButtonsHoldOnItsSide) {
    openSettings();
    // The password row lies below the fold: a finger brings it up first.
    UIDriver::drag(CGPointMake(160, 500), CGPointMake(160, 200), 0.5, 10);
    settle(1);
    ASSERT_TRUE(UIDriver::isVisible(settings->cellWithTag(2006)));
    snapshot("settings-bottom");
    tapRow(2006);
    EXPECT_NE(dynamic_cast<UIChangePWD*>(stack->topViewController()), nullptr);
    back();
    EXPECT_EQ(stack->topViewController(), settings.get());
    UIDriver::drag(CGPointMake(160, 200), CGPointMake(160, 500), 0.5, 10);
    settle(1);

    // On its side the editors stay open...
    for (int tag : {2007, 2009}) {
        UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
        tapRow(tag);
        UIDevice::currentDevice().setOrientation(UIDeviceOrientation::LandscapeLeft);
        back();
        EXPECT_NE(stack->topViewController(), settings.get()) << tag;
        UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
        back();
        EXPECT_EQ(stack->topViewController(), settings.get()) << tag;
    }
    // ...and the settings reload the store but stay up.
    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::LandscapeRight);
    const int before = notices;
    back();
    EXPECT_EQ(notices, before + 1);
    EXPECT_NE(centre->presentedViewController(), nullptr);
    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
    back();
    EXPECT_EQ(centre->presentedViewController(), nullptr);
}

}  // namespace
