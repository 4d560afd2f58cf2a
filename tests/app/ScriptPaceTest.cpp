// The script at a person's pace, against the simulated dealer: each command
// acts on a settled, laid-out screen, with no wait between commands, and a
// tap fails with its reason where a finger could not reach what it names.
#include <regex>

#include "platform/Strings.h"
#include "platform/ui/Button.h"
#include "platform/ui/Responder.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Window.h"
#include "tests/app/AppTestSupport.h"
#include "ui/toolkit/UIKAVInputField.h"

using namespace kavtest;
using platform::ui::UIDriver;
using platform::ui::UITextField;

namespace {

size_t occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class ScriptPaceTest : public AppTest {
  protected:
    // Runs the script to its end or first failure; the lines printed.
    std::string attempt(const std::string& script) {
        std::istringstream in(script);
        std::ostringstream out;
        ScriptRunner runner(out, shots(), nullptr);
        runner.run(in);
        return out.str();
    }
    // The login form's field in the input row with the tag.
    UITextField* field(long tag) {
        auto* row = UIDriver::viewWithTag<UIKAVInputField>(tag);
        return row ? row->textField().get() : nullptr;
    }
    // Logged in with the commands alone: no wait between them.
    void logInWithoutWaits() {
        std::string erase;
        for (int i = 0; i < 16; ++i)
            erase += "\\b";
        run("tap-tag 7001\ntype \"" + erase + "1001\"\ntap-tag 7002\ntype 123456\n");
        ASSERT_TRUE(field(LoginViewController::kTagAccount));
        EXPECT_EQ(field(LoginViewController::kTagAccount)->text(), "1001");
        EXPECT_EQ(field(LoginViewController::kTagPassword)->text(), "123456");
        run("tap Done\ntap 登录\nwait-text 欧元美元 30\n");
        ASSERT_TRUE(rootAs<MainDrawerViewController>());
    }
};

}  // namespace

TEST_F(ScriptPaceTest, TapThenTypeIntoTheLoginFieldsLogsInWithoutWaits) {
    launchToLogin();
    logInWithoutWaits();
}

TEST_F(ScriptPaceTest, WaitGoneOfAnAlertLetsTheNextTapReachTheScreenBeneath) {
    launchToLogin();
    auto alert = KAVAlertView::showAlertWithTitle("提示", "网络不可用");
    run("wait-text 网络不可用\n");
    // The alert goes by itself (as when the session answers), fading out.
    alert->dismissWithClickedButtonIndex(0, true);
    run("wait-gone 网络不可用\ntap-tag 7001\n");
    EXPECT_EQ(platform::ui::UIResponder::currentFirstResponder(),
              field(LoginViewController::kTagAccount));
}

TEST_F(ScriptPaceTest, ATapUnderAnAlertFailsAsCovered) {
    launchToLogin();
    auto alert = KAVAlertView::showAlertWithTitle("提示", "网络不可用");
    const std::string out = attempt("wait-text 网络不可用\ntap-tag 7001\n");
    EXPECT_TRUE(std::regex_search(
        out, std::regex(R"(\nfail tap-tag 7001: covered by \w+ tag=-?\d+ at \(\d+(\.\d+)?, \d+(\.\d+)?\)\n$)")))
        << out;
    EXPECT_EQ(platform::ui::UIResponder::currentFirstResponder(), nullptr);
    alert->dismissWithClickedButtonIndex(0, false);
    run("wait-gone 网络不可用\n");
}

// Right after the login the board still loads (its spinner turns, its taps
// are ignored) and reloads its rows on quotes: the tap waits for the answer,
// as a person would, and opens the euro row.
TEST_F(ScriptPaceTest, MarketScreenSegmentsAreTextsATapSwitches) {
    launchToLogin();
    logInWithoutWaits();
    // The dump names every segment and the one selected.
    const std::string out = run("tap 欧元美元\nwait-text 市价建仓-欧元美元 5\ndump\n");
    EXPECT_NE(out.find("segments=[\"市价建仓\", \"限价建仓\"] selected=0"), std::string::npos)
        << out;
    // The limit segment's title is a text; its tap opens the limit order (the
    // market screen's segment switches to the other screen).
    run("expect-text 限价建仓\ntap 限价建仓\nexpect-text 限价建仓-欧元美元\n");
}

TEST_F(ScriptPaceTest, ADumpRightAfterAnAccordionOpensListsTheOpenRow) {
    launchToLogin();
    logInWithoutWaits();
    // A lot bought, then the net positions, whose row opens at a tap.
    run("tap 欧元美元\nwait-text 市价建仓-欧元美元 5\ntap-at 240 160\n"
        "wait-text 确定要提交市价建仓吗? 5\ntap 确定\nwait-text 下单成功。 10\ntap 确定\n"
        "tap-at 22 42\ntap 头寸\nwait-text 净头寸 10\nwait-text 欧元美元 10\n");
    const std::string out = run("tap 欧元美元\ndump\n");
    EXPECT_TRUE(std::regex_search(out, std::regex("UIButton[^\\n]* text=\"平仓\"[^\\n]*\\n")))
        << out;
    EXPECT_FALSE(std::regex_search(out, std::regex("text=\"平仓\"[^\\n]* hidden\\n"))) << out;
}

TEST_F(ScriptPaceTest, ATapOnARowBelowTheScreenFailsAsOffScreen) {
    launchToLogin();
    logInWithoutWaits();
    run("tap-at 298 42\ntap 系统设置\nwait-text 修改密码 5\n");
    const std::string out = attempt("tap 修改密码\n");
    EXPECT_TRUE(
        std::regex_search(out, std::regex(R"(^fail tap 修改密码: off screen at \(\d+(\.\d+)?, 58\d(\.\d+)?\)\n$)")))
        << out;
}

// A long number typed into the settings' deviation field: each key costs
// what the first did. Counted, not timed: one write of the settings file a
// key, no wait for the disk while the keys come (at most one a `type`,
// however long), and the log's bytes (no more for the last thousand keys than
// for the first).
TEST_F(ScriptPaceTest, FourThousandKeysInTheSettingsFieldEachCostWhatTheFirstDid) {
    launchToLogin();
    logInWithoutWaits();
    run("tap-at 298 42\ntap 系统设置\ntap 默认允许偏离点差\n");
    UITextField* typedInto = nullptr;
    for (auto* f : UIDriver::viewsOfType<UITextField>())
        if (UIDriver::isVisible(f)) typedInto = f;
    ASSERT_TRUE(typedInto) << UIDriver::dumpViewTree();
    const auto at = UIDriver::screenCenterOf(typedInto);
    run(platform::stringf("tap-at %.0f %.0f\ntype \\b\n", at.x, at.y));
    ASSERT_EQ(platform::ui::UIResponder::currentFirstResponder(), typedInto);

    struct Cost {
        size_t writes = 0;
        size_t syncs = 0;
        size_t logged = 0;
    };
    const auto settings = platform::UserDefaults::standard().file();
    const auto type = [&](size_t keys) {
        Cost cost;
        platform::files::setAtomicWriteHook([&](const std::filesystem::path& temporary) {
            if (temporary.parent_path() == settings.parent_path()) ++cost.writes;
        });
        platform::files::setFileSyncHook([&](const std::filesystem::path& file) {
            if (file == settings) ++cost.syncs;
        });
        platform::LogCapture log;
        run("type " + std::string(keys, '7') + "\n");
        platform::files::setAtomicWriteHook({});
        platform::files::setFileSyncHook({});
        for (const auto& line : log.lines())
            cost.logged += line.size();
        return cost;
    };
    const Cost first = type(1000);
    type(2000);
    const Cost last = type(1000);
    EXPECT_EQ(typedInto->text(), std::string(4000, '7'));
    EXPECT_EQ(first.writes, 1000u);
    EXPECT_EQ(last.writes, 1000u);
    EXPECT_LE(first.syncs, 1u);
    EXPECT_LE(last.syncs, 1u);
    EXPECT_GT(first.logged, 1000u);
    EXPECT_LE(last.logged, first.logged + first.logged / 10);
}

// Several views with one tag: the tap goes to the front-most one that takes
// the touch at its centre, skipping a disabled control and a hidden view.
TEST_F(ScriptPaceTest, TapTagTapsTheFrontMostViewWithTheTagThatTakesTheTouch) {
    launchToLogin();
    auto* window = platform::ui::UIWindow::keyWindow();
    ASSERT_TRUE(window);
    std::vector<int> pressed;
    std::vector<platform::ui::UIButtonPtr> buttons;
    for (int i = 0; i < 4; ++i) {
        auto button = std::make_shared<platform::ui::UIButton>(
            platform::ui::CGRectMake(20 + i * 70, 500, 60, 40));
        button->setTag(9100);
        button->addTarget([&pressed, i](platform::ui::UIControl*, platform::ui::UIEvent*) { pressed.push_back(i); },
                          platform::ui::UIControlEventTouchUpInside);
        window->addSubview(button);
        buttons.push_back(button);
    }
    buttons[3]->setHidden(true);
    buttons[2]->setEnabled(false);
    run("tap-tag 9100\n");
    EXPECT_EQ(pressed, (std::vector<int>{1}));
    // The dump shows every one of them, the hidden and the disabled too.
    const std::string out = run("dump\n");
    EXPECT_EQ(occurrences(out, "tag=9100 "), 4u) << out;
    for (auto& b : buttons)
        b->removeFromSuperview();
}

// The market screen's back button (tag 2000) and its quantity's step-down
// button, which reuses 2000 inside the input: the back button is the one
// drawn in front, and `tap-tag 2000` closes the screen, the quantity kept.
TEST_F(ScriptPaceTest, TapTagOnAScreenWhoseInputReusesTheTagTapsTheFrontMost) {
    launchToLogin();
    logInWithoutWaits();
    run("tap 欧元美元\nwait-text 市价建仓-欧元美元 5\n");
    const std::string before = run("dump\n");
    EXPECT_GE(occurrences(before, "tag=2000 "), 2u) << before;
    run("tap-tag 2000\nwait-gone 市价建仓-欧元美元 5\n");
    ASSERT_TRUE(rootAs<MainDrawerViewController>());
}
