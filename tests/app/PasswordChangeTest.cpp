// The password change: what the dealer receives for either password kind,
// the success road back to the account centre, a refusal that says why and
// lifts the dimmer, a change the ended session leaves unanswered, the
// typed-twice check (two cleared rows included), and the back button.
#include "app/UIChangePWD.h"
#include "platform/NotificationCenter.h"
#include "platform/ui/SegmentedControl.h"
#include "tests/app/AccountStage.h"

using namespace accounttest;

namespace {

class PasswordChangeTest : public AccountScreenTest {
  protected:
    // Account centre stand-in presenting the settings stack, with the
    // password screen pushed on it as the settings list does.
    void openScreen() {
        centre = show(std::make_shared<BaseViewController>());
        settingsRoot = std::make_shared<BaseViewController>();
        settings = std::make_shared<BaseNavigationController>(settingsRoot);
        centre->presentViewController(settings, true);
        settle();
        screen = std::make_shared<UIChangePWD>();
        screen->setContext(session);
        settings->pushViewController(screen, true);
        settle();
    }
    void type(int rowTag, const std::string& text) {
        UIDriver::tap(screen->cellWithTag(rowTag)->txtField().get());
        UIDriver::typeText(text);
        settle(0.1);
    }
    void confirm() {
        UIDriver::tap(UIDriver::viewWithTag<UIButton>(UIChangePWD::kTagConfirm));
        settle(0.1);
    }
    bool dimmed() { return screen->view()->viewWithTag(UIChangePWD::kTagDimmer) != nullptr; }
    std::vector<kavtest::SimPackage> changesAtDealer() {
        return sim->packages(kavtest::SimService::Trade, "1009");
    }

    std::shared_ptr<BaseNavigationController> centre;
    std::shared_ptr<BaseViewController> settingsRoot;
    std::shared_ptr<BaseNavigationController> settings;
    std::shared_ptr<UIChangePWD> screen;
};

TEST_F(PasswordChangeTest, ChangesTheLoginPasswordWithTheTypedOldOneAndReturnsToTheCentre) {
    logIn();
    openScreen();
    EXPECT_EQ(screen->title(), "修改登录密码");
    snapshot("password-change");

    sim->holdReply("1009");
    type(UIChangePWD::kTagOld, "123456");
    type(UIChangePWD::kTagNew, "654321");
    type(UIChangePWD::kTagRepeat, "654321");
    confirm();
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    EXPECT_TRUE(dimmed());
    EXPECT_EQ(UIResponder::currentFirstResponder(), nullptr) << "the keyboard closed";
    settle(0.3);
    snapshot("password-change-submitting");

    const auto sent = sim->waitForPackages("1009", 1);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].child("pwdType"), "1");
    EXPECT_EQ(sent[0].child("newPWD"), "654321");
    EXPECT_EQ(sent[0].child("oldPWD"), "123456");
    EXPECT_EQ(sent[0].error, "");
    sim->releaseHeld();

    ASSERT_TRUE(waitFor([&] { return shows("修改密码操作成功。"); }));
    EXPECT_FALSE(KAVProgressHUD::isVisible());
    EXPECT_EQ(topAlert()->titleLabel()->text(), "操作提示");
    snapshot("password-change-done");
    tapAlertButton("确定");
    EXPECT_EQ(centre->presentedViewController(), nullptr) << "the whole settings stack closed";

    // The dealer now takes the new password.
    auto again = std::make_shared<KAVBizSDK>();
    bool ok = false;
    kavtest::Reported failed;
    again->loginWithUserId(
        "1001", "654321", "", {sim->realLoginUrl()}, [&] { ok = true; }, failed.failure());
    ASSERT_TRUE(time.runUntil([&] { return ok || failed.calls > 0; }));
    EXPECT_TRUE(ok) << failed.message;
    again->stopConnect();
}

TEST_F(PasswordChangeTest, RefusedFundPasswordChangeSaysWhyAndLiftsTheDimmer) {
    logIn();
    openScreen();
    // The second segment, as a finger would pick it.
    auto* kind = UIDriver::viewWithTag<UISegmentedControl>(UIChangePWD::kTagType);
    ASSERT_NE(kind, nullptr);
    const CGPoint centreOfKind = UIDriver::screenCenterOf(kind);
    UIDriver::tapAt(CGPointMake(centreOfKind.x + kind->bounds().size.width / 4, centreOfKind.y));
    settle(0.1);
    EXPECT_EQ(screen->pwdType(), UIChangePWD::kFundPassword);
    EXPECT_EQ(screen->title(), "修改登录密码");

    type(UIChangePWD::kTagOld, "000000");  // not the fund password
    type(UIChangePWD::kTagNew, "111111");
    type(UIChangePWD::kTagRepeat, "111111");
    confirm();
    ASSERT_TRUE(waitFor([&] { return shows("原密码错误"); }));
    const auto sent = changesAtDealer();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].child("pwdType"), "2");
    EXPECT_EQ(sent[0].child("oldPWD"), "000000");
    EXPECT_EQ(topAlert()->titleLabel()->text(), "操作提示");
    EXPECT_FALSE(KAVProgressHUD::isVisible());
    EXPECT_FALSE(dimmed());
    snapshot("password-change-refused");
    tapAlertButton("Ok");

    // The screen stays, with what was typed, and takes a corrected attempt.
    EXPECT_EQ(settings->topViewController(), screen.get());
    EXPECT_EQ(screen->cellWithTag(UIChangePWD::kTagNew)->txtField()->text(), "111111");
    UIDriver::tap(screen->cellWithTag(UIChangePWD::kTagOld)->txtField().get());
    UIDriver::typeText("\b\b\b\b\b\b123456");
    confirm();
    ASSERT_TRUE(waitFor([&] { return shows("修改密码操作成功。"); }));
    EXPECT_EQ(changesAtDealer().back().child("oldPWD"), "123456");
}

TEST_F(PasswordChangeTest, AChangeTheEndedSessionLeavesUnansweredTakesItsOverlayDown) {
    logIn();
    openScreen();
    sim->holdReply("1009");
    type(UIChangePWD::kTagOld, "123456");
    type(UIChangePWD::kTagNew, "654321");
    type(UIChangePWD::kTagRepeat, "654321");
    confirm();
    ASSERT_EQ(sim->waitForPackages("1009", 1).size(), 1u);
    ASSERT_TRUE(KAVProgressHUD::isVisible());
    ASSERT_TRUE(dimmed());

    // The session ends (as a login elsewhere ends it): its requests are
    // dropped without an answer. The overlay, which takes every touch, must
    // not outlive it over the login screen that comes next.
    sdk()->stopConnect();
    settle();
    EXPECT_FALSE(KAVProgressHUD::isVisible());
    EXPECT_FALSE(dimmed());
    EXPECT_FALSE(shows("修改密码操作成功。"));
}

TEST_F(PasswordChangeTest, NewPasswordMustBeTypedTwiceAlikeAndNotBeEmpty) {
    logIn();
    openScreen();
    auto refused = [&](const std::string& why) {
        SCOPED_TRACE(why);
        confirm();
        EXPECT_TRUE(shows("新密码输入有误，请重新设置"));
        EXPECT_EQ(topAlert()->titleLabel()->text(), "操作提示");
        EXPECT_FALSE(KAVProgressHUD::isVisible());
        EXPECT_FALSE(dimmed());
        tapAlertButton("Ok");
        EXPECT_EQ(topAlert(), nullptr);
    };
    refused("no row touched");
    type(UIChangePWD::kTagNew, "abc");
    refused("the repeat row never edited");
    type(UIChangePWD::kTagRepeat, "abd");
    refused("typed differently");
    // Both rows typed alike and then cleared: no password at all.
    UIDriver::tap(screen->cellWithTag(UIChangePWD::kTagRepeat)->txtField().get());
    UIDriver::typeText("\b\b\b");
    UIDriver::tap(screen->cellWithTag(UIChangePWD::kTagNew)->txtField().get());
    UIDriver::typeText("\b\b\b");
    settle(0.1);
    refused("both rows cleared");
    EXPECT_TRUE(changesAtDealer().empty());
}

TEST_F(PasswordChangeTest, BackReloadsTheSettingsAndReturnsUnlessTheDeviceLiesOnItsSide) {
    openScreen();
    int loads = 0;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        kNoticeSettingsLoaded, [&](const platform::Notification&) { ++loads; });
    auto* back = UIDriver::viewWithTag<UIButton>(UIChangePWD::kTagBack);
    ASSERT_NE(back, nullptr);

    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::LandscapeRight);
    UIDriver::tap(back);
    settle();
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(settings->topViewController(), screen.get());

    UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
    settle();
    UIDriver::tap(back);
    settle();
    EXPECT_EQ(loads, 2);
    EXPECT_EQ(settings->topViewController(), settingsRoot.get());
    EXPECT_NE(centre->presentedViewController(), nullptr) << "only the password screen closed";
}

}  // namespace
