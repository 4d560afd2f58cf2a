// Stacked alerts on the virtual clock and the headless driver: the box and
// its button rows, what the completion hears for each button and for a tap
// outside, at most one completion whatever the taps, the window torn down
// with each dismissal, and the stack bringing the previous alert back.
#include <cmath>

#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Text.h"
#include "platform/ui/TouchInput.h"
#include "tests/ui/toolkit/ToolkitStage.h"

using namespace toolkittest;

namespace {

struct Choice {
    bool cancelled;
    long index;
    bool operator==(const Choice&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Choice& c) {
    return os << "(" << (c.cancelled ? "cancelled" : "chosen") << ", " << c.index << ")";
}

// Height of a text in the alert's label width.
CGFloat textHeight(const std::string& text, const UIFont& font) {
    TextStyle style;
    style.font = font;
    style.lineBreakMode = NSLineBreakMode::ByWordWrapping;
    return NSStringBoundingSize(text, {252, 0}, style).height;
}

class AlertViewTest : public ToolkitTest {
  protected:
    std::vector<Choice> choices;
    KAVAlertView::Completion record() {
        return [this](bool cancelled, long index) { choices.push_back({cancelled, index}); };
    }
    static std::vector<UIWindow*> alertWindows() {
        std::vector<UIWindow*> out;
        for (auto* w : UIWindow::visibleWindows())
            if (w->windowLevel() == UIWindowLevelAlert) out.push_back(w);
        return out;
    }
    static const std::vector<KAVAlertViewPtr>& stack() {
        return KAVAlertViewStack::sharedInstance().alertViews();
    }
    static CGRect frameOf(UIButton* b) { return b->frame(); }
    // Finger down and up on a view, as a user taps.
    static void tap(UIView* view) { UIDriver::tap(view); }
};

TEST_F(AlertViewTest, ConfirmationBoxHasTwoButtonsSideBySideUnderTheTexts) {
    auto alert = KAVAlertView::showAlertWithTitle("交易提示", "确定要注销登录吗？", "取消", "确定",
                                                  record());
    time.advance(0.4);
    UIView* box = alert->alertView();
    const CGFloat title = textHeight("交易提示", UIFont::boldSystemFontOfSize(17));
    const CGFloat message = textHeight("确定要注销登录吗？", UIFont::systemFontOfSize(15));
    EXPECT_EQ(alert->titleLabel()->frame(), CGRectMake(9, 10, 252, title));
    EXPECT_EQ(alert->messageLabel()->frame(), CGRectMake(9, 10 + title + 10, 252, message));
    const CGFloat buttonsY = 10 + title + 10 + message + 10 + 0.5;
    EXPECT_DOUBLE_EQ(alert->buttonsY(), buttonsY);
    EXPECT_EQ(frameOf(alert->cancelButton()), CGRectMake(0, buttonsY, 135, 44));
    EXPECT_EQ(frameOf(alert->otherButton()), CGRectMake(135, buttonsY, 135, 44));
    ASSERT_NE(alert->verticalLine(), nullptr);
    EXPECT_EQ(alert->verticalLine()->frame(), CGRectMake(135, buttonsY, 0.5, 44));
    EXPECT_EQ(alert->cancelButton()->titleLabel()->font(), UIFont::systemFontOfSize(17));
    // 270 wide; the texts, the one row of buttons and the margins high;
    // in the middle of the screen.
    EXPECT_DOUBLE_EQ(box->bounds().size.width, 270);
    EXPECT_NEAR(box->bounds().size.height, (title + 10) + (message + 10) + 44 + 10, 1e-9);
    EXPECT_EQ(box->center(), CGPointMake(160, 284));
    EXPECT_TRUE(UIDriver::isVisible(UIDriver::viewWithText("确定要注销登录吗？")));
    snapshot("alert-two-buttons");
}

TEST_F(AlertViewTest, OneButtonAlertSpansTheBoxWithTheLocalisedOk) {
    auto alert = KAVAlertView::showAlertWithTitle("", "网络连接失败，请稍后再试");
    time.advance(0.4);
    ASSERT_EQ(alert->buttons().size(), 1u);
    EXPECT_EQ(alert->cancelButton()->currentTitle(), "Ok");
    EXPECT_EQ(alert->cancelButton()->titleLabel()->font(), UIFont::boldSystemFontOfSize(17));
    // No title: the message moves up to 20.
    EXPECT_DOUBLE_EQ(alert->titleLabel()->frame().size.height, 0);
    EXPECT_DOUBLE_EQ(alert->messageLabel()->frame().origin.y, 20);
    EXPECT_EQ(frameOf(alert->cancelButton()), CGRectMake(0, alert->buttonsY(), 270, 44));
    EXPECT_EQ(alert->verticalLine(), nullptr);
    snapshot("alert-one-button");
    tap(UIDriver::viewWithText("Ok"));
    time.advance(0.3);
    EXPECT_TRUE(stack().empty());
}

TEST_F(AlertViewTest, ThreeButtonsBecomeRowsWithSeparatorsAboveTheSecondOnly) {
    auto alert = KAVAlertView::showAlertWithTitle(
        "平仓", "请选择平仓方式", "取消", std::vector<std::string>{"按单平仓", "按品种平仓"},
        record());
    time.advance(0.4);
    const CGFloat y = alert->buttonsY();
    ASSERT_EQ(alert->buttons().size(), 3u);
    EXPECT_EQ(frameOf(alert->buttons()[0].get()), CGRectMake(0, y, 270, 44));
    EXPECT_EQ(frameOf(alert->buttons()[1].get()), CGRectMake(0, y + 44, 270, 44));
    EXPECT_EQ(frameOf(alert->buttons()[2].get()), CGRectMake(0, y + 88, 270, 44));
    EXPECT_EQ(alert->verticalLine(), nullptr);
    const auto lines = alert->separatorLines();
    ASSERT_EQ(lines.size(), 2u);  // over the buttons, and over the second row
    EXPECT_EQ(lines[0]->frame(), CGRectMake(0, y - 0.5, 270, 0.5));
    EXPECT_EQ(lines[1]->frame(), CGRectMake(0, y + 44, 270, 0.5));
    for (const auto& b : alert->buttons())
        EXPECT_EQ(b->titleLabel()->font(), UIFont::systemFontOfSize(17));
    const CGFloat texts = alert->titleLabel()->frame().size.height + 10 +
                          alert->messageLabel()->frame().size.height + 10;
    EXPECT_NEAR(alert->alertView()->bounds().size.height, texts + 3 * 44 + 10, 1e-9);
    snapshot("alert-three-buttons");

    tap(UIDriver::viewWithText("按品种平仓"));
    EXPECT_EQ(choices, (std::vector<Choice>{{false, 2}}));
}

TEST_F(AlertViewTest, StackedButtonsPutTheOtherAboveTheCancel) {
    auto alert =
        KAVAlertView::showAlertWithTitle("交易提示", "确认下单？", "取消", "确定", true, record());
    time.advance(0.4);
    const CGFloat y = alert->buttonsY();
    EXPECT_EQ(frameOf(alert->otherButton()), CGRectMake(0, y, 270, 44));
    EXPECT_EQ(frameOf(alert->cancelButton()), CGRectMake(0, y + 44, 270, 44));
    EXPECT_EQ(alert->cancelButton()->titleLabel()->font(), UIFont::boldSystemFontOfSize(17));
    EXPECT_EQ(alert->verticalLine(), nullptr);
    const CGFloat texts = alert->titleLabel()->frame().size.height + 10 +
                          alert->messageLabel()->frame().size.height + 10;
    EXPECT_NEAR(alert->alertView()->bounds().size.height, texts + 2 * 44 + 10, 1e-9);
    snapshot("alert-two-stacked");
    tap(UIDriver::viewWithText("取消"));
    EXPECT_EQ(choices, (std::vector<Choice>{{true, 0}}));
}

TEST_F(AlertViewTest, CompletionHearsWhichButtonOrATapOutside) {
    KAVAlertView::showAlertWithTitle("交易提示", "确认下单？", "取消", "确定", record());
    time.advance(0.4);
    tap(UIDriver::viewWithText("取消"));
    time.advance(0.3);
    KAVAlertView::showAlertWithTitle("交易提示", "确认下单？", "取消", "确定", record());
    time.advance(0.4);
    tap(UIDriver::viewWithText("确定"));
    time.advance(0.3);
    KAVAlertView::showAlertWithTitle("交易提示", "确认下单？", "取消", "确定", record());
    time.advance(0.4);
    UIDriver::tapAt(CGPointMake(20, 540));  // on the dimmed screen, outside the box
    time.advance(0.3);
    const std::vector<Choice> expected = {
        {true, 0}, {false, 1}, {true, static_cast<long>(NSNotFound)}};
    EXPECT_EQ(choices, expected);
    EXPECT_EQ(screen->taps, 0) << "the alert's window took every touch";

    // A tap on the box but off its buttons chooses nothing.
    auto alert =
        KAVAlertView::showAlertWithTitle("交易提示", "确认下单？", "取消", "确定", record());
    time.advance(0.4);
    UIDriver::tapAt(alert->alertView()->convertPointToView(CGPointMake(135, 15), nullptr));
    EXPECT_TRUE(alert->isVisible());
    // Tap-outside can be turned off.
    alert->setTapToDismissEnabled(false);
    UIDriver::tapAt(CGPointMake(20, 540));
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(choices.size(), 3u);
}

TEST_F(AlertViewTest, CompletionRunsOnceWhateverTheTapsAndCalls) {
    int orders = 0;
    auto alert = KAVAlertView::showAlertWithTitle(
        "交易提示", "确认下单？", "取消", "确定", [&](bool cancelled, long) {
            if (!cancelled) ++orders;  // the confirmed order is sent here
        });
    time.advance(0.4);
    // An index out of range does nothing.
    alert->dismissWithClickedButtonIndex(5, true);
    alert->dismissWithClickedButtonIndex(-1, true);
    time.advance(0.5);
    EXPECT_TRUE(alert->isVisible());
    UIView* confirm = UIDriver::viewWithText("确定");
    ASSERT_NE(confirm, nullptr);
    tap(confirm);
    // The second tap of a double tap lands during the fade-out.
    time.advance(0.05);
    tap(confirm);
    UIDriver::tapAt(CGPointMake(20, 540));
    alert->dismissWithClickedButtonIndex(1, true);
    alert->dismiss(alert->otherButton(), false);
    time.advance(1);
    EXPECT_EQ(orders, 1);
    EXPECT_EQ(screen->taps, 0);

    // Once gone, the alert's window is gone with it: the screen takes the
    // touches, and further calls do nothing.
    EXPECT_EQ(alert->alertWindow(), nullptr);
    EXPECT_TRUE(alertWindows().empty());
    EXPECT_TRUE(stack().empty());
    EXPECT_TRUE(window->isKeyWindow());
    UIDriver::tap(screen->button.get());
    EXPECT_EQ(screen->taps, 1);
    alert->dismissWithClickedButtonIndex(1, false);
    time.advance(0.5);
    EXPECT_EQ(orders, 1);
}

TEST_F(AlertViewTest, AWithdrawnAlertGoesWithoutAnAnswer) {
    int answers = 0;
    auto alert = KAVAlertView::showAlertWithTitle("交易提示", "确认下单？", "取消", "确定",
                                                  [&](bool, long) { ++answers; });
    time.advance(0.4);
    alert->withdraw();
    time.advance(0.5);
    EXPECT_EQ(answers, 0);
    EXPECT_FALSE(alert->isVisible());
    EXPECT_TRUE(stack().empty());
    EXPECT_TRUE(alertWindows().empty());
    UIDriver::tap(screen->button.get());
    EXPECT_EQ(screen->taps, 1);
}

TEST_F(AlertViewTest, AButtonStillHeldWhenTheAlertHasClosedLiftsOnNothing) {
    int orders = 0;
    KAVAlertView::showAlertWithTitle("交易提示", "确认下单？", "取消", "确定",
                                     [&](bool cancelled, long) {
                                         if (!cancelled) ++orders;
                                     });
    time.advance(0.4);
    UIView* confirm = UIDriver::viewWithText("确定");
    ASSERT_NE(confirm, nullptr);
    const CGPoint at = UIDriver::screenCenterOf(confirm);
    tap(confirm);
    // A double click whose second press lands during the fade-out and comes
    // up after it, the alert's window gone by then.
    time.advance(0.05);
    TouchInput::touchDown(7, at);
    time.advance(0.5);
    EXPECT_TRUE(alertWindows().empty());
    TouchInput::touchMove(7, CGPointMake(at.x + 4, at.y));
    TouchInput::touchUp(7, CGPointMake(at.x + 4, at.y));
    EXPECT_EQ(TouchInput::activeTouchCount(), 0u);
    EXPECT_EQ(orders, 1);
    EXPECT_EQ(screen->taps, 0);
    UIDriver::tap(screen->button.get());
    EXPECT_EQ(screen->taps, 1);
}

TEST_F(AlertViewTest, NewestAlertShowsAndTheOneBelowComesBack) {
    auto first = KAVAlertView::showAlertWithTitle("提示", "第一个", "取消", "确定", record());
    time.advance(0.4);
    EXPECT_EQ(window->tintAdjustmentMode(), UIViewTintAdjustmentMode::Dimmed);
    auto second = KAVAlertView::showAlertWithTitle("提示", "第二个", "知道了", record());
    time.advance(0.4);
    ASSERT_EQ(stack().size(), 2u);
    EXPECT_EQ(UIDriver::viewWithText("第一个"), nullptr) << "covered: off screen";
    EXPECT_NE(UIDriver::viewWithText("第二个"), nullptr);
    EXPECT_TRUE(second->alertWindow()->isKeyWindow());
    EXPECT_TRUE(first->isVisible());

    tap(UIDriver::viewWithText("知道了"));
    time.advance(0.1);
    // The dimming stays while an alert is left.
    EXPECT_EQ(first->backgroundView()->alpha(), 1);
    EXPECT_EQ(window->tintAdjustmentMode(), UIViewTintAdjustmentMode::Dimmed);
    time.advance(0.2);
    // The second alert's window is torn down; the first is back, replayed.
    EXPECT_EQ(second->alertWindow(), nullptr);
    ASSERT_EQ(alertWindows().size(), 1u);
    EXPECT_EQ(alertWindows().front(), first->alertWindow());
    EXPECT_TRUE(first->alertWindow()->isKeyWindow());
    EXPECT_NE(UIDriver::viewWithText("第一个"), nullptr);
    EXPECT_NE(first->alertView()->layer().animationForKey("showAlert"), nullptr);

    tap(UIDriver::viewWithText("确定"));
    time.advance(0.3);
    EXPECT_EQ(choices, (std::vector<Choice>{{true, 0}, {false, 1}}));
    EXPECT_TRUE(alertWindows().empty());
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_NE(window->tintAdjustmentMode(), UIViewTintAdjustmentMode::Dimmed);
}

TEST_F(AlertViewTest, AlertDismissedWhileCoveredLeavesTheTopAlone) {
    auto first = KAVAlertView::showAlertWithTitle("提示", "第一个", "取消", "确定", record());
    time.advance(0.4);
    auto second = KAVAlertView::showAlertWithTitle("提示", "第二个", "知道了", record());
    time.advance(0.4);
    const auto shown = second->alertView()->layer().animationForKey("showAlert");
    ASSERT_NE(shown, nullptr);
    first->dismissWithClickedButtonIndex(0, true);
    time.advance(0.3);
    EXPECT_EQ(first->alertWindow(), nullptr);
    ASSERT_EQ(stack().size(), 1u);
    EXPECT_EQ(stack().front(), second);
    ASSERT_EQ(alertWindows().size(), 1u);
    EXPECT_TRUE(second->alertWindow()->isKeyWindow());
    EXPECT_EQ(second->alertView()->layer().animationForKey("showAlert"), shown) << "not replayed";
    EXPECT_EQ(choices, (std::vector<Choice>{{true, 0}}));
}

TEST_F(AlertViewTest, ResultAlertShownFromTheCompletionStaysUp) {
    // The order road: the confirmation's completion shows the result.
    KAVAlertView::showAlertWithTitle("交易提示", "确认下单？", "取消", "确定",
                                     [&](bool cancelled, long) {
                                         if (!cancelled)
                                             KAVAlertView::showAlertWithTitle("", "下单成功。");
                                     });
    time.advance(0.4);
    tap(UIDriver::viewWithText("确定"));
    time.advance(1);
    ASSERT_EQ(stack().size(), 1u);
    auto result = stack().front();
    EXPECT_TRUE(result->isVisible());
    EXPECT_TRUE(result->alertWindow()->isKeyWindow());
    ASSERT_EQ(alertWindows().size(), 1u);
    EXPECT_TRUE(UIDriver::isVisible(UIDriver::viewWithText("下单成功。")));
    EXPECT_EQ(window->tintAdjustmentMode(), UIViewTintAdjustmentMode::Dimmed);
    tap(UIDriver::viewWithText("Ok"));
    time.advance(0.3);
    EXPECT_TRUE(alertWindows().empty());
    EXPECT_NE(window->tintAdjustmentMode(), UIViewTintAdjustmentMode::Dimmed);
}

// What a failed test leaves up is closed by the stage's clean-up, which
// ends: an alert still fading, a stack of them, and one an answer brings up.
TEST_F(AlertViewTest, TheStagesCleanUpClosesWhatATestLeftUpAndEnds) {
    KAVAlertView::showAlertWithTitle("", "甲", "取消", "确定", record());
    KAVAlertView::showAlertWithTitle("", "乙", "取消", "确定", [&](bool cancelled, long index) {
        choices.push_back({cancelled, index});
        KAVAlertView::showAlertWithTitle("", "丙", "取消", "确定", record());
    });
    auto fading = KAVAlertView::showAlertWithTitle("", "丁", "取消", "确定", record());
    time.advance(0.4);
    fading->dismissWithClickedButtonIndex(1, true);  // its fade not yet run
    ASSERT_EQ(stack().size(), 3u);
    kavtest::dismissAlerts(time);
    EXPECT_TRUE(stack().empty());
    EXPECT_TRUE(alertWindows().empty());
    // Each answered once, with its first button.
    EXPECT_EQ(choices, (std::vector<Choice>{{false, 1}, {true, 0}, {true, 0}, {true, 0}}));
}

TEST_F(AlertViewTest, ResultClosedWhileItsConfirmationFadesGivesBackEveryTint) {
    // The order road on a fast dealer: the result comes up while the
    // confirmation still fades, and is closed before that fade ends.
    KAVAlertView::showAlertWithTitle("交易提示", "确认下单？", "取消", "确定",
                                     [&](bool cancelled, long) {
                                         if (!cancelled)
                                             KAVAlertView::showAlertWithTitle("", "下单成功。");
                                     });
    time.advance(0.4);
    tap(UIDriver::viewWithText("确定"));
    time.advance(0.05);
    ASSERT_EQ(stack().size(), 2u);
    // A screen opened meanwhile, with a control of its own tint.
    auto selector = std::make_shared<UISegmentedControl>(std::vector<std::string>{"平买", "平卖"});
    selector->setFrame(CGRectMake(20, 100, 280, 30));
    selector->setTintColor(UIColor::rgb255(39, 140, 192));
    selector->setSelectedSegmentIndex(0);
    screen->view()->addSubview(selector);
    tap(UIDriver::viewWithText("Ok"));
    time.advance(0.05);
    UIScreenRenderer::layoutWindows();
    time.advance(1);

    EXPECT_TRUE(stack().empty());
    EXPECT_TRUE(alertWindows().empty());
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(UIDriver::viewWithText("确认下单？"), nullptr) << "the confirmation stays gone";
    EXPECT_NE(window->tintAdjustmentMode(), UIViewTintAdjustmentMode::Dimmed);
    const auto img = snapshot("alert-tint-after-fast-result");
    // The selected segment is filled with the control's accent, not grey.
    const UIColor fill = img->pixelAt(60, 115);
    EXPECT_NEAR(fill.red * 255, 39, 3);
    EXPECT_NEAR(fill.green * 255, 140, 3);
    EXPECT_NEAR(fill.blue * 255, 192, 3);
}

// An alert shown again (while up, or after it went) is not stacked twice:
// a stale entry kept the main window from ever taking the keys back.
TEST_F(AlertViewTest, AnAlertShownAgainIsStackedOnce) {
    auto first = KAVAlertView::showAlertWithTitle("提示", "第一个", "取消", "确定", record());
    auto second = KAVAlertView::showAlertWithTitle("提示", "第二个", "知道了", record());
    time.advance(0.4);
    first->show();  // back on top
    time.advance(0.4);
    ASSERT_EQ(stack().size(), 2u);
    EXPECT_EQ(stack().back(), first);
    EXPECT_TRUE(first->alertWindow()->isKeyWindow());
    EXPECT_NE(UIDriver::viewWithText("第一个"), nullptr);
    EXPECT_EQ(UIDriver::viewWithText("第二个"), nullptr);

    tap(UIDriver::viewWithText("确定"));
    first->show();  // fading out: not brought back
    time.advance(0.3);
    ASSERT_EQ(stack().size(), 1u);
    EXPECT_EQ(first->alertWindow(), nullptr);
    EXPECT_TRUE(second->alertWindow()->isKeyWindow());
    tap(UIDriver::viewWithText("知道了"));
    time.advance(0.3);
    first->show();  // gone already: nothing to show
    time.advance(0.3);
    EXPECT_TRUE(stack().empty());
    EXPECT_TRUE(alertWindows().empty());
    EXPECT_TRUE(window->isKeyWindow());
    EXPECT_EQ(choices, (std::vector<Choice>{{false, 1}, {true, 0}}));

    // The next alert still gives the keys back when it goes.
    KAVAlertView::showAlertWithTitle("提示", "第三个", "知道了", record());
    time.advance(0.4);
    tap(UIDriver::viewWithText("知道了"));
    time.advance(0.3);
    EXPECT_TRUE(stack().empty());
    EXPECT_TRUE(window->isKeyWindow());
}

TEST_F(AlertViewTest, ContentViewSitsBetweenTitleAndMessage) {
    auto content = std::make_shared<UIView>(CGRectMake(0, 0, 200, 60));
    content->setBackgroundColor(UIColor::rgb255(39, 140, 192));
    auto alert = KAVAlertView::showAlertWithTitle("修改密码", "请输入新密码", "取消", "确定",
                                                  content, record());
    time.advance(0.4);
    const CGFloat title = alert->titleLabel()->frame().size.height;
    EXPECT_TRUE(sameRect(content->frame(), CGRectMake(35, 10 + title + 10, 200, 60)));
    EXPECT_DOUBLE_EQ(alert->messageLabel()->frame().origin.y, 10 + title + 10 + 60 + 10);
    EXPECT_NEAR(
        alert->alertView()->bounds().size.height,
        (title + 10) + (60 + 10) + (alert->messageLabel()->frame().size.height + 10) + 44 + 10,
        1e-9);
}

TEST_F(AlertViewTest, ButtonAddedLaterGrowsTheBox) {
    auto alert = KAVAlertView::initWithTitle("提示", "选择", "取消", std::vector<std::string>{"一"},
                                             false, nullptr, record());
    const CGFloat before = alert->alertView()->bounds().size.height;
    EXPECT_EQ(alert->addButtonWithTitle("二"), 2);
    EXPECT_NEAR(alert->alertView()->bounds().size.height, before + 2 * 44, 1e-9);
    alert->show();
    time.advance(0.4);
    tap(UIDriver::viewWithText("二"));
    EXPECT_EQ(choices, (std::vector<Choice>{{false, 2}}));
}

}  // namespace
