// The account centre as the right drawer of a logged-in application: the
// selected dealer's logo (downloaded once, then kept; an empty place when it
// cannot be had), the settings and notice rows, the version line that does
// nothing, and the logout that asks first.
#include "app/AccountCenterViewController.h"
#include "app/DealerManager.h"
#include "app/UIAboutViewController.h"
#include "app/UIOptional.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/Slider.h"
#include "platform/ui/Switch.h"
#include "tests/app/AppTestSupport.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/toolkit/CellSlider.h"
#include "ui/toolkit/CellSwitch.h"
#include "ui/toolkit/KAVDrawerController.h"

using namespace kavtest;
using namespace platform::ui;

namespace {

class AccountCentreTest : public AppTest {
  protected:
    // The account centre opened at the right of the session's drawer: the
    // main drawer's own, or (`fresh`) a new one made now in a drawer of its
    // own, 260 wide, for a dealer record changed after the login.
    void openCentre(bool fresh = false) {
        auto main = rootAs<MainDrawerViewController>();
        if (main && !fresh) {
            auto* stack =
                dynamic_cast<UINavigationController*>(main->rightDrawerViewController().get());
            ASSERT_NE(stack, nullptr);
            centre = std::dynamic_pointer_cast<AccountCenterViewController>(
                stack->viewControllers().front());
            ASSERT_NE(centre, nullptr);
            drawer = main;
        } else {
            auto board = std::make_shared<BaseViewController>();
            centre = std::make_shared<AccountCenterViewController>(app->appContext());
            drawer = KAVDrawerController::create(
                std::make_shared<BaseNavigationController>(board), nullptr,
                std::make_shared<BaseNavigationController>(centre));
            drawer->setMaximumRightDrawerWidth(AccountCenterViewController::kDrawerWidth);
            app->replaceRootViewController(drawer);
            ASSERT_TRUE(until([&] { return root() == drawer; }));
        }
        drawer->toggleDrawerSide(DrawerSideRight, true, nullptr);
        settle(1);
    }
    // Time passes on the virtual clock, then the screen is laid out as a
    // frame would.
    void settle(double seconds) {
        UIDriver::advance(seconds);
        UIScreenRenderer::layoutWindows();
    }
    UITableViewCell* row(long r) {
        return centre->list()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(r, 0));
    }
    UIButton* logoutButton() {
        return UIDriver::viewWithTag<UIButton>(AccountCenterViewController::kTagLogout);
    }
    std::filesystem::path logoFile() {
        return AccountCenterViewController::logoPath("KAVFX", "logo.png");
    }

    std::shared_ptr<AccountCenterViewController> centre;
    std::shared_ptr<KAVDrawerController> drawer;
};

TEST_F(AccountCentreTest, ShowsTheDealersLogoItsRowsAndVersionsAndOpensItsScreens) {
    launchToLogin();
    logIn();
    openCentre();
    ASSERT_TRUE(until([&] { return centre->logo()->image() != nullptr; }));
    EXPECT_EQ(sim.httpRequests("logo").size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(logoFile())) << "kept for the next time";
    settle(0.5);
    EXPECT_EQ(centre->title(), "用户中心");
    ASSERT_EQ(centre->list()->numberOfRowsInSection(0), 3);
    for (long r = 0; r < 3; ++r)
        ASSERT_NE(row(r), nullptr) << UIDriver::dumpViewTree();
    EXPECT_EQ(row(0)->textLabel()->text(), "系统设置");
    EXPECT_EQ(row(1)->textLabel()->text(), "风险提示");
    EXPECT_EQ(row(2)->textLabel()->text(),
              "版本号 : " + sysDB::getCurrentFullVersion() + " - " + app->bizSDK()->ver());
    EXPECT_EQ(logoutButton()->currentTitle(), "注销 : 1001");
    for (long r = 0; r < 3; ++r)
        EXPECT_EQ(row(r)->accessoryType(), UITableViewCellAccessoryType::DisclosureIndicator);
    // The logo spans the drawer's 260 points, in the dealer's colour.
    EXPECT_EQ(centre->logo()->frame().size.width, 260);
    run("shot account-centre\n");
    const auto shot = UIDriver::renderImage(1);
    const CGRect logo = centre->logo()->convertRectToView(centre->logo()->bounds(), nullptr);
    const UIColor middle =
        shot->pixelAt(static_cast<int>(CGRectGetMidX(logo)), static_cast<int>(CGRectGetMidY(logo)));
    EXPECT_NE(middle, UIColor::grey255(230)) << "the logo is drawn";

    // The version row does nothing; the others open their screen in a stack
    // of its own over the whole session.
    UIDriver::tap(row(2));
    settle(0.6);
    EXPECT_EQ(drawer->presentedViewController(), nullptr);
    UIDriver::tap(row(0));
    settle(0.6);
    auto* stack = dynamic_cast<UINavigationController*>(drawer->presentedViewController());
    ASSERT_NE(stack, nullptr);
    EXPECT_NE(dynamic_cast<UIOptional*>(stack->topViewController()), nullptr);
    run("shot account-centre-settings\n");
    // A change in the settings reaches the running session at once.
    auto* settings = dynamic_cast<UIOptional*>(stack->topViewController());
    UIDriver::tap(
        dynamic_cast<CellSwitch*>(settings->cellWithTag(settingTag::isLockSceen))->switchView());
    EXPECT_FALSE(UIApplication::sharedApplication().isIdleTimerDisabled());
    UISlider* slider =
        dynamic_cast<CellSlider*>(settings->cellWithTag(settingTag::timeOut))->slider();
    const CGRect track = slider->convertRectToView(slider->bounds(), nullptr);
    const CGRect thumb = slider->thumbRect();
    const CGPoint grip = CGPointMake(track.origin.x + CGRectGetMidX(thumb), CGRectGetMidY(track));
    UIDriver::drag(grip, CGPointMake(grip.x - 200, grip.y), 0.3, 10);
    EXPECT_EQ(app->bizSDK()->timeOut(), 5);
    EXPECT_EQ(app->sysdb()->valueWithTag(settingTag::timeOut, ""), "5");
    UIDriver::tap(UIDriver::viewWithTag<UIButton>(UIOptional::kTagBack));
    settle(0.6);
    EXPECT_EQ(drawer->presentedViewController(), nullptr);
    UIDriver::tap(row(1));
    settle(0.6);
    stack = dynamic_cast<UINavigationController*>(drawer->presentedViewController());
    ASSERT_NE(stack, nullptr);
    EXPECT_NE(dynamic_cast<UIAboutViewController*>(stack->topViewController()), nullptr);
    UIDriver::tap(UIDriver::viewWithTag<UIButton>(UIAboutViewController::kTagBack));
    settle(0.6);
    EXPECT_EQ(drawer->presentedViewController(), nullptr);

    // A centre made later takes the kept logo without asking again.
    openCentre(true);
    EXPECT_NE(centre->logo()->image(), nullptr);
    EXPECT_EQ(sim.httpRequests("logo").size(), 1u);
}

TEST_F(AccountCentreTest, LogoutAsksFirstAndThenEndsTheSession) {
    launchToLogin();
    logIn();
    openCentre();
    auto session = app->bizSDK();
    UIDriver::tap(logoutButton());
    settle(0.5);
    ASSERT_TRUE(UIDriver::viewWithText("确定要注销登录吗？"));
    EXPECT_TRUE(UIDriver::viewWithText("退出提示"));
    run("shot account-centre-logout\n");
    // Cancelled: the session and the drawer stay as they were.
    run("tap 取消\nwait 0.5\n");
    EXPECT_EQ(root(), drawer);
    EXPECT_EQ(app->bizSDK(), session);
    EXPECT_TRUE(sim.waitForConnections(SimService::Trade, 1, true));

    UIDriver::tap(logoutButton());
    run("wait 0.5\ntap 确定\nwait-text 正在注销…… 1\nwait-text 登录 3\n");
    EXPECT_NE(rootAs<LoginViewController>(), nullptr);
    EXPECT_NE(app->bizSDK(), session);
    EXPECT_TRUE(until([&] { return sim.connections(SimService::Trade).empty(); }));
}

TEST_F(AccountCentreTest, ALogoThatCannotBeHadLeavesAnEmptyPlace) {
    launchToLogin();
    logIn();
    // The selected dealer names a logo its server does not have, and no
    // account is stored.
    auto dealer = DealerManager(app->dealerStore()).getCurrentSelectedDealer();
    ASSERT_NE(dealer, nullptr);
    dealer->dealerLogo = "missing.png";
    app->saveContext();
    app->sysdb()->setValue("", settingTag::trUid);
    openCentre(true);
    // The drawer's own centre asked for the logo at the login; this one asks
    // for the missing one.
    ASSERT_EQ(sim.waitForHttpRequests("logo", 2).size(), 2u);
    settle(1);
    EXPECT_EQ(centre->logo()->image(), nullptr);
    EXPECT_FALSE(
        std::filesystem::exists(AccountCenterViewController::logoPath("KAVFX", "missing.png")));
    EXPECT_EQ(logoutButton()->currentTitle(), "注销 : ");
    run("shot account-centre-no-logo\n");
}

}  // namespace
