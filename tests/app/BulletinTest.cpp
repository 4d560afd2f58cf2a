// The bulletins: the dealer's list newest first, pull to refresh, an empty
// answer and a failure; the detail screen; and an overlay of another screen
// left alone by the list's answers.
#include "app/UIBulletin.h"
#include "app/UIBulletinDetail.h"
#include "tests/app/AccountStage.h"
#include "ui/toolkit/CellBulletin.h"

using namespace accounttest;

namespace {

class BulletinTest : public AccountScreenTest {
  protected:
    void showList() {
        screen = std::make_shared<UIBulletin>();
        screen->setContext(session);
        nav = show(screen);
        ASSERT_TRUE(waitFor([&] { return screen->rows().has_value(); }));
    }
    std::vector<std::string> titlesShown() {
        std::vector<std::string> titles;
        for (long r = 0; r < screen->list()->numberOfRowsInSection(0); ++r) {
            auto* cell = dynamic_cast<CellBulletin*>(
                screen->list()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(r, 0)));
            titles.push_back(cell ? cell->title()->text() : "<not shown>");
        }
        return titles;
    }
    void pull() {
        UIDriver::drag(CGPointMake(160, 150), CGPointMake(160, 420), 0.4, 12);
        time.advance(0.1);
    }
    size_t queries() { return sim->packages(kavtest::SimService::Message, "2013").size(); }

    std::shared_ptr<UIBulletin> screen;
    std::shared_ptr<BaseNavigationController> nav;
};

TEST_F(BulletinTest, ListsTheDealersBulletinsAndRefreshesOnAPull) {
    logIn();
    showList();
    EXPECT_EQ(screen->title(), "交易商公告");
    EXPECT_EQ(titlesShown(),
              (std::vector<std::string>{"风险提示", "交易时间调整", "模拟交易开放"}));
    EXPECT_EQ(screen->refresh()->attributedTitle(), "下拉列表刷新数据");
    EXPECT_FALSE(screen->refresh()->isRefreshing());
    snapshot("bulletins");

    // A new bulletin shows after a pull, on top; the control says it is working meanwhile.
    sim->addBulletin("周末维护通知", "本周六 02:00 至 06:00 系统维护，期间暂停交易。");
    EXPECT_EQ(screen->rows()->size(), 3u) << "a push alone does not reload the list";
    sim->holdReply("2013");
    pull();
    EXPECT_TRUE(screen->refresh()->isRefreshing());
    EXPECT_EQ(screen->refresh()->attributedTitle(), "正在刷新数据...");
    snapshot("bulletins-refreshing");
    ASSERT_EQ(sim->waitForPackages("2013", 2).size(), 2u);
    sim->releaseHeld();
    ASSERT_TRUE(waitFor([&] { return screen->rows()->size() == 4; }));
    EXPECT_EQ(titlesShown().front(), "周末维护通知");
    EXPECT_FALSE(screen->refresh()->isRefreshing());
    EXPECT_EQ(screen->refresh()->attributedTitle(), "下拉列表刷新数据");

    // An empty answer empties the list.
    sim->clearBulletins();
    pull();
    ASSERT_TRUE(waitFor([&] { return screen->rows()->empty(); }));
    EXPECT_EQ(screen->list()->numberOfRowsInSection(0), 0);
    EXPECT_FALSE(screen->refresh()->isRefreshing());
}

TEST_F(BulletinTest, LateAnswersSayWhyOnFailureAndLeaveAnotherScreensOverlayAlone) {
    logIn();
    showList();
    // A pull whose answer never comes; meanwhile another screen's order
    // runs under its overlay, and the pull times out.
    sim->dropReply("2013");
    pull();
    ASSERT_EQ(sim->waitForPackages("2013", 2).size(), 2u);
    KAVProgressHUD::showWithStatus("正在下单", KAVProgressHUDMaskTypeBlack);
    time.advance(sdk()->timeOut() + 1);
    ASSERT_TRUE(waitFor([&] { return shows("请求超时"); }));
    EXPECT_EQ(topAlert()->titleLabel()->text(), "异常提示");
    EXPECT_EQ(screen->rows()->size(), 3u);
    EXPECT_TRUE(screen->refresh()->isRefreshing()) << "still spinning after a failure";
    EXPECT_TRUE(KAVProgressHUD::isVisible()) << "the order's overlay stays up";
    snapshot("bulletins-failed");
    tapAlertButton("Ok");
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    KAVProgressHUD::dismiss();
    settle();

    // Shown again, the list stops spinning; a pull answered late, under
    // another overlay, fills the list and leaves the overlay up.
    nav->pushViewController(std::make_shared<BaseViewController>(), false);
    settle();
    nav->popViewControllerAnimated(false);
    settle();
    EXPECT_FALSE(screen->refresh()->isRefreshing());
    sim->addBulletin("新公告", "内容");
    sim->holdReply("2013");
    pull();
    ASSERT_EQ(sim->waitForPackages("2013", 3).size(), 3u);
    KAVProgressHUD::showWithStatus("正在下单", KAVProgressHUDMaskTypeBlack);
    settle(0.3);
    sim->releaseHeld();
    ASSERT_TRUE(waitFor([&] { return screen->rows()->size() == 4; }));
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    EXPECT_EQ(KAVProgressHUD::sharedView()->stringLabel()->text(), "正在下单");
    KAVProgressHUD::dismiss();
}

// Answers matched by their number may come in another order than they were
// asked for: the first query's answer, held back by the dealer while a pull
// was answered with the newer list, does not bring the older list back.
TEST_F(BulletinTest, AnOlderAnswerComingLastLeavesTheNewerListShown) {
    logIn();
    sim->holdReply("2013");
    screen = std::make_shared<UIBulletin>();
    screen->setContext(session);
    nav = show(screen);
    ASSERT_EQ(sim->waitForPackages("2013", 1).size(), 1u);
    sim->addBulletin("周末维护通知", "本周六 02:00 至 06:00 系统维护。");
    pull();
    ASSERT_EQ(sim->waitForPackages("2013", 2).size(), 2u);
    ASSERT_TRUE(waitFor([&] { return screen->rows().has_value(); }));
    ASSERT_EQ(screen->rows()->size(), 4u);
    EXPECT_FALSE(screen->refresh()->isRefreshing());

    // The held answer comes now; an answer asked for after it on the same
    // connection comes after it, so once that one is in, the old one has
    // been handled.
    sim->releaseHeld();
    bool answered = false;
    sdk()->queryBulletinOnSuccess([&](const MODList<MODBulletin>&) { answered = true; },
                                  [&](const std::string&, const std::string&) { answered = true; });
    ASSERT_TRUE(waitFor([&] { return answered; }));
    ASSERT_EQ(screen->rows()->size(), 4u) << "the older list came back";
    EXPECT_EQ(titlesShown().front(), "周末维护通知");
    EXPECT_FALSE(screen->refresh()->isRefreshing());

    // A later pull still shows the dealer's list as it is then.
    sim->clearBulletins();
    pull();
    ASSERT_TRUE(waitFor([&] { return screen->rows()->empty(); }));
}

TEST_F(BulletinTest, OpeningABulletinShowsItWholeAndComingBackLeavesTheListAsItWas) {
    logIn();
    std::string content;
    for (int i = 0; i < 60; ++i)
        content += "第" + std::to_string(i + 1) + "条：保证金交易风险较高，请合理控制仓位。\n";
    sim->addBulletin(
        "关于调整部分贵金属及股指商品保证金比例与交易时间的重要通知（请全体客户务必仔细阅读）",
        content);
    showList();
    const size_t asked = queries();
    const auto rowsBefore = *screen->rows();

    UIDriver::tap(screen->list()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)));
    settle();
    auto* stack = dynamic_cast<UINavigationController*>(nav->presentedViewController());
    ASSERT_NE(stack, nullptr);
    auto* detail = dynamic_cast<UIBulletinDetail*>(stack->topViewController());
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->title(), "交易商公告");
    EXPECT_EQ(detail->bulletinTitle()->text(), rowsBefore[0]->title);
    EXPECT_EQ(detail->date()->text(), rowsBefore[0]->date);
    EXPECT_FALSE(detail->date()->text().empty());
    EXPECT_EQ(detail->publish()->text(), "");
    EXPECT_EQ(detail->bulletinContent()->text(), content);
    // The title wraps inside its two lines; the long text scrolls in its own view.
    EXPECT_EQ(detail->bulletinTitle()->frame(), CGRectMake(10, 5, 300, 50));
    EXPECT_GT(detail->bulletinContent()->contentSize().height,
              detail->bulletinContent()->bounds().size.height);
    snapshot("bulletin-detail");

    // On its side the phone keeps the bulletin open.
    auto* back = UIDriver::viewWithTag<UIButton>(UIBulletinDetail::kTagBack);
    ASSERT_NE(back, nullptr);
    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::LandscapeLeft);
    UIDriver::tap(back);
    settle();
    EXPECT_NE(nav->presentedViewController(), nullptr);
    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
    settle();
    UIDriver::tap(back);
    settle();
    EXPECT_EQ(nav->presentedViewController(), nullptr);
    EXPECT_FALSE(screen->refresh()->isRefreshing());
    EXPECT_EQ(*screen->rows(), rowsBefore);
    EXPECT_EQ(queries(), asked) << "reading a bulletin asks for nothing";
}

}  // namespace
