// The login screen in the launched application against the simulated
// dealer: the first start, the input checks, logins to the real and the demo
// system, refusals and a channel that does not open, the dealer list behind
// the form, the registration dealer's registration and password reset, the
// remembered account and the keyboard.
#include "app/AppConfig.h"
#include "app/DealerManager.h"
#include "app/LoginRoad.h"
#include "app/LoginViewController.h"
#include "app/RegisterService.h"
#include "app/UIRegister.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TableView.h"
#include "tests/app/AppTestSupport.h"
#include "ui/toolkit/KAVAlertViewStack.h"
#include "ui/toolkit/UIKAVInputField.h"

using namespace kavtest;
using platform::ui::UIDriver;
using platform::ui::UIView;
using LVC = LoginViewController;

namespace {

// Named in full: in a unity batch the screen tests' stage (apptest::AppTest) is in sight too.
class LoginScreenTest : public kavtest::AppTest {
  protected:
    std::shared_ptr<LVC> screen() { return rootAs<LVC>(); }
    // Views are placed by the layout pass, which runs before drawing: a
    // test that reads positions runs it first, as the screen would.
    template <typename T = UIView>
    T* tagged(long tag) {
        platform::ui::UIScreenRenderer::layoutWindows();
        return UIDriver::viewWithTag<T>(tag, app->window.get());
    }
    platform::ui::UITextField* field(long tag) {
        auto* row = tagged<UIKAVInputField>(tag);
        return row ? row->textField().get() : nullptr;
    }
    std::string topAlert() {
        const auto& alerts = KAVAlertViewStack::sharedInstance().alertViews();
        return alerts.empty() ? "" : alerts.back()->messageLabel()->text();
    }
    // Waits for the alert, shoots it when asked, and closes it.
    ::testing::AssertionResult alerted(const std::string& message,
                                       const std::string& button = "确定",
                                       const std::string& shot = "") {
        if (!until([&] { return topAlert() == message; }, 20))
            return ::testing::AssertionFailure()
                   << "no alert \"" << message << "\"; top is \"" << topAlert() << "\"";
        run("wait 0.4\n" + (shot.empty() ? "" : "shot " + shot + "\n") + "tap " + button +
            "\nwait 0.5\n");
        return ::testing::AssertionSuccess();
    }
    // Taps into the field and types, as a user would (the form moves first).
    void type(long tag, const std::string& text) {
        UIDriver::tap(field(tag));
        run("wait 0.3\n");
        field(tag)->setText("");
        UIDriver::typeText(text);
    }
    void doneEditing() {
        if (UIDriver::isVisible(UIDriver::viewWithText("Done"))) run("tap Done\nwait 0.3\n");
    }
    void pressLogin() {
        doneEditing();
        UIDriver::tap(tagged(LVC::kTagLogin));
    }
    void chooseSegment(long tag, long index) {
        auto* control = tagged<platform::ui::UISegmentedControl>(tag);
        const auto f = control->frame();
        const double x = f.size.width / 4 * (index == 0 ? 1 : 3);
        UIDriver::tapAt(control->convertPointToView({x, f.size.height / 2}, nullptr));
        run("wait 0.4\n");
    }
    size_t loginsSent() { return sim.packages(SimService::Login, "1003").size(); }
    std::string setting(int tag) { return app->sysdb()->valueWithTag(tag, "<none>"); }
    // Stores the dealers of the keys (looked up at the simulated dealer) and
    // selects the first.
    void storeDealers(const std::vector<std::string>& keys) {
        DealerManager manager(app->dealerStore());
        for (const auto& key : keys) {
            bool done = false;
            manager.searchDelaerWithURL(
                sim.dealerUrl() + "/getdealer.php?key=" + key, [&] { done = true; },
                [&](const std::string&, const std::string& m) {
                    ADD_FAILURE() << m;
                    done = true;
                });
            ASSERT_TRUE(until([&] { return done; }));
        }
        manager.setCurrentSelectedDealerWithDealerKey(keys.front());
    }
    // A fresh launch over the stored dealers.
    void relaunch() {
        KAVProgressHUD::dismiss();
        app->window.reset();
        app.reset();
        platform::ui::UIApplication::sharedApplication().resetForTesting();
        launch();
        ASSERT_TRUE(until([&] { return tagged(LVC::kTagLogin) != nullptr; }));
        run("wait 0.5\n");
    }
    bool logoShown() {
        auto* logo = tagged<platform::ui::UIImageView>(LVC::kTagLogo);
        return logo && logo->image();
    }
    ScopedEnv registerService{appconfig::kRegisterServiceVariable, sim.registerUrl().c_str()};
};

TEST_F(LoginScreenTest, AFirstStartLooksUpTheBuiltInDealerAfterAMomentAndSelectsIt) {
    // The lookup's answer is kept back while the screen is looked at: over
    // loopback it can otherwise arrive, and end the wait, within the very
    // step of the clock that started it.
    sim.holdWeb("dealer");
    launch();
    time.advance(0.5);
    EXPECT_FALSE(KAVProgressHUD::isVisible());
    EXPECT_TRUE(sim.httpRequests("dealer").empty());
    EXPECT_TRUE(screen()->view()->backgroundColor().patternImage) << "the launch picture shows";
    run("shot login-launch\n");
    time.advance(0.15);
    EXPECT_TRUE(KAVProgressHUD::isVisible());
    EXPECT_TRUE(UIDriver::isVisible(UIDriver::viewWithText(LVC::kMsgInitialising)));
    run("shot login-first-start\n");
    ASSERT_EQ(sim.waitForHttpRequests("dealer", 1).size(), 1u);
    sim.releaseHeld();

    ASSERT_TRUE(until([&] { return tagged(LVC::kTagLogin) && !KAVProgressHUD::isVisible(); }));
    auto lookups = sim.httpRequests("dealer");
    ASSERT_EQ(lookups.size(), 1u);
    EXPECT_EQ(lookups[0]["query"]["key"], "KAVFX");
    auto selected = DealerManager(app->dealerStore()).getCurrentSelectedDealer();
    ASSERT_TRUE(selected);
    EXPECT_EQ(selected->dealerKey, "KAVFX");
    EXPECT_TRUE(selected->isSelected);
    EXPECT_EQ(screen()->currentDealer(), selected);
    ASSERT_TRUE(until([&] { return logoShown(); })) << "the dealer's logo";
    EXPECT_FALSE(screen()->view()->backgroundColor().patternImage);

    // Any dealer but the registration dealer: the system choice, on the real
    // system; no password reset.
    EXPECT_TRUE(UIDriver::isVisible(tagged(LVC::kTagSystem)));
    EXPECT_EQ(tagged<platform::ui::UISegmentedControl>(LVC::kTagSystem)->selectedSegmentIndex(), 1);
    EXPECT_FALSE(UIDriver::isVisible(tagged(LVC::kTagRegisterChoice)));
    EXPECT_FALSE(UIDriver::isVisible(tagged(LVC::kTagForgot)));
    EXPECT_TRUE(UIDriver::isVisible(tagged(LVC::kTagChangeDealer)));
    run("wait 0.3\nshot login\n");
}

TEST_F(LoginScreenTest, WithTheDealerServiceDownTheEmptyDealerListIsUncovered) {
    sim.webAnswer("dealer", 503, "unavailable", "text/plain", -1);
    launch();
    ASSERT_TRUE(alerted(LVC::kMsgAddDealerFirst, "确认", "login-no-dealer"));
    ASSERT_TRUE(until([&] { return screen()->isShowingDealer(); }));
    run("wait 0.6\nshot login-no-dealer-list\n");
    auto* table = tagged<platform::ui::UITableView>(DealerListViewController::kTagTable);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->numberOfRowsInSection(0), 0);
    EXPECT_GE(tagged(LVC::kTagForm)->frame().origin.y, screen()->view()->bounds().size.height);
    EXPECT_FALSE(logoShown());

    // Covered again without a dealer: the login asks for one, sends nothing.
    UIDriver::tap(tagged(LVC::kTagChangeDealer));
    run("wait 0.6\n");
    EXPECT_FALSE(screen()->isShowingDealer());
    type(LVC::kTagAccount, "1001");
    type(LVC::kTagPassword, "123456");
    pressLogin();
    EXPECT_TRUE(alerted(LVC::kMsgChooseDealer));
    EXPECT_EQ(loginsSent(), 0u);
}

TEST_F(LoginScreenTest, TheInputChecksSendNothing) {
    launchToLogin();
    struct Case {
        const char* account;
        const char* password;
        const char* message;
    } cases[] = {
        {"", "123456", LVC::kMsgEnterAccount},
        {"  ", "123456", LVC::kMsgEnterAccount},  // blanks only
        {"1001", "", LVC::kMsgEnterPassword},
        {"1001", " ", LVC::kMsgEnterPassword},
    };
    for (const auto& c : cases) {
        field(LVC::kTagAccount)->setText(c.account);
        field(LVC::kTagPassword)->setText(c.password);
        pressLogin();
        EXPECT_TRUE(alerted(c.message)) << c.account << "/" << c.password;
        EXPECT_FALSE(KAVProgressHUD::isVisible());
    }
    EXPECT_EQ(loginsSent(), 0u);
    EXPECT_EQ(root(), screen());
}

TEST_F(LoginScreenTest, ALoginToTheRealSystemOpensTheDrawerAndKeepsTheAccountAndDealer) {
    launchToLogin();
    type(LVC::kTagAccount, "1001");
    type(LVC::kTagPassword, "123456");
    run("shot login-typed\n");
    pressLogin();
    run("wait 0.2\nshot login-logging-in\n");
    ASSERT_TRUE(until([&] { return rootAs<MainDrawerViewController>() != nullptr; }));
    auto logins = sim.packages(SimService::Login, "1003");
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].path, "/real");
    EXPECT_EQ(logins[0].data("uid"), "1001");
    EXPECT_EQ(logins[0].data("vcode"), "");
    EXPECT_EQ(setting(settingTag::trUid), "1001");
    EXPECT_EQ(setting(settingTag::dealerKey), "KAVFX");
    EXPECT_TRUE(app->sysdb()->isOnline());
    EXPECT_EQ(app->bizSDK()->delegate().get(), static_cast<WSPushMessage*>(app.get()));
}

TEST_F(LoginScreenTest, TheDemoSystemLogsInToTheDemoHost) {
    launchToLogin();
    chooseSegment(LVC::kTagSystem, 0);
    EXPECT_EQ(setting(settingTag::loginSRV), "0");
    run("shot login-demo\n");
    type(LVC::kTagAccount, "1002");
    type(LVC::kTagPassword, "123456");
    pressLogin();
    ASSERT_TRUE(until([&] { return rootAs<MainDrawerViewController>() != nullptr; }));
    auto logins = sim.packages(SimService::Login, "1003");
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].path, "/demo");
    EXPECT_EQ(setting(settingTag::trUid), "1002");
}

TEST_F(LoginScreenTest, TheRegistrationDealerChosenAfterTheDemoSystemLogsInToItsRealHost) {
    launch();
    ASSERT_TRUE(until([&] { return tagged(LVC::kTagLogin) != nullptr; }));
    storeDealers({"kavdemo"});
    DealerManager(app->dealerStore()).setCurrentSelectedDealerWithDealerKey("KAVFX");
    relaunch();
    chooseSegment(LVC::kTagSystem, 0);
    // The registration dealer has no choice of system: the control that
    // said "demo" for the dealer before goes out of sight.
    run("tap-tag 1005\nwait 1\ntap \"KAV 模拟交易\"\nwait 1\n");
    ASSERT_FALSE(UIDriver::isVisible(tagged(LVC::kTagSystem)));
    type(LVC::kTagAccount, "1001");
    type(LVC::kTagPassword, "123456");
    pressLogin();
    ASSERT_TRUE(until([&] { return rootAs<MainDrawerViewController>() != nullptr; }))
        << topAlert();
    auto logins = sim.packages(SimService::Login, "1003");
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].path, "/real");
    EXPECT_EQ(setting(settingTag::dealerKey), "kavdemo");
}

TEST_F(LoginScreenTest, ARefusedLoginShowsTheServersReasonOnAFreshScreen) {
    launchToLogin();
    auto first = screen();
    // An account with a trailing blank goes out with it.
    type(LVC::kTagAccount, "1001 ");
    type(LVC::kTagPassword, "123456");
    pressLogin();
    ASSERT_TRUE(alerted("登录失败，原因：MA-账户或密码错误", "确定", "login-refused"));
    EXPECT_EQ(sim.packages(SimService::Login, "1003").at(0).data("uid"), "1001 ");
    ASSERT_TRUE(until([&] { return screen() && screen() != first && tagged(LVC::kTagLogin); }));
    EXPECT_EQ(field(LVC::kTagPassword)->text(), "");
}

TEST_F(LoginScreenTest, AReplyWithoutTheHistoryAddressEndsTheLoginWithItsReason) {
    sim.omitHistoryAddress(true);
    launchToLogin();
    type(LVC::kTagAccount, "1001");
    type(LVC::kTagPassword, "123456");
    pressLogin();
    EXPECT_TRUE(alerted("登录失败，原因：历史行情服务地址无效"));
    EXPECT_EQ(rootAs<MainDrawerViewController>(), nullptr);
}

TEST_F(LoginScreenTest, AChannelThatDoesNotOpenKeepsTheScreenWithWhatWasTyped) {
    launchToLogin();
    auto first = screen();
    sim.stallHandshakes(SimService::Login, 1);
    type(LVC::kTagAccount, "1001");
    type(LVC::kTagPassword, "123456");
    pressLogin();
    ASSERT_TRUE(alerted(LVC::kMsgConnectFailed, "确定", "login-timeout"));
    // The channel's report and the login's failure both come, in either
    // order: one alert, the same screen.
    run("wait 15\n");
    EXPECT_EQ(topAlert(), "");
    EXPECT_EQ(screen(), first);
    EXPECT_EQ(field(LVC::kTagAccount)->text(), "1001");
    EXPECT_EQ(field(LVC::kTagPassword)->text(), "123456");
    EXPECT_FALSE(KAVProgressHUD::isVisible());
}

TEST_F(LoginScreenTest, AConnectFailureWhileASuccessfulLoginsOverlayGoesLeavesTheSessionOpen) {
    launchToLogin();
    type(LVC::kTagAccount, "1001");
    type(LVC::kTagPassword, "123456");
    pressLogin();
    // The login has succeeded once its overlay starts to go; the form is
    // still the root and hears the channels until the drawer takes over.
    ASSERT_TRUE(until([&] { return !KAVProgressHUD::isVisible(); }));
    auto form = screen();
    ASSERT_NE(form, nullptr);
    auto sdk = app->bizSDK();
    form->onNetworkStatus(3);  // a channel's reopen gave up meanwhile
    ASSERT_TRUE(until([&] { return rootAs<MainDrawerViewController>() != nullptr; }));
    run("wait 1\n");
    // Not a login that failed: no alert, and the session just opened stays open.
    EXPECT_EQ(topAlert(), "");
    EXPECT_EQ(app->bizSDK(), sdk);
    const auto trader = sdk->channelNamed(KAVBizSDK::kWSTrader);
    ASSERT_NE(trader, nullptr);
    EXPECT_EQ(trader->Status(), webSocket::kStatusOpen);
    EXPECT_TRUE(app->sysdb()->isOnline());
}

TEST_F(LoginScreenTest, ALoginCutOffByTheSameAccountElsewhereEndsWithAFreshScreen) {
    launchToLogin();
    auto first = screen();
    // The login stands at its symbol query when the account is taken over.
    sim.holdReply("2009");
    type(LVC::kTagAccount, "1001");
    type(LVC::kTagPassword, "123456");
    pressLogin();
    ASSERT_TRUE(until([&] { return !sim.packages(SimService::Trade, "2009").empty(); }));
    sim.push(SimService::Trade, "4010");
    // The session is closed: the login ends rather than keeping its overlay
    // over the form for good.
    ASSERT_TRUE(until([&] { return !topAlert().empty(); }, 20)) << "the overlay stays";
    EXPECT_EQ(topAlert().rfind(LoginRoad::kMsgLoginFailed, 0), 0u) << topAlert();
    sim.releaseHeld();
    run("wait 0.4\ntap 确定\nwait 0.5\n");
    ASSERT_TRUE(until([&] { return screen() && screen() != first && tagged(LVC::kTagLogin); }));
    EXPECT_EQ(rootAs<MainDrawerViewController>(), nullptr);
    EXPECT_FALSE(KAVProgressHUD::isVisible());
}

TEST_F(LoginScreenTest, ADealerHostThatIsNoAddressFailsTheLoginAtOnce) {
    launch();
    ASSERT_TRUE(until([&] { return tagged(LVC::kTagLogin) != nullptr; }));
    // A dealer record whose real host is a script and whose demo host is a blank.
    sim.webAnswer("dealer", 200,
                  R"x({"retCode":"0","message":"","data":{"dealerKey":"BADHOST",)x"
                  R"x("dealerName":"坏地址","dealerIcon":"icon.png","dealerLogo":"logo.png",)x"
                  R"x("hostDemo":" ","hostReal":"javascript:alert(1)","webService":")x" +
                      sim.dealerUrl() + R"x("}})x",
                  "application/json");
    storeDealers({"BADHOST"});
    relaunch();
    ASSERT_EQ(screen()->currentDealer()->dealerKey, "BADHOST");
    auto first = screen();
    type(LVC::kTagAccount, "1001");
    type(LVC::kTagPassword, "123456");
    for (long system : {1, 0}) {
        chooseSegment(LVC::kTagSystem, system);
        pressLogin();
        // Said within a moment, not after the channel's open time-out.
        EXPECT_TRUE(until([&] { return topAlert() == LVC::kMsgConnectFailed; }, 1)) << system;
        ASSERT_TRUE(alerted(LVC::kMsgConnectFailed, "确定", system ? "login-bad-host" : ""));
        EXPECT_EQ(screen(), first);
        EXPECT_EQ(field(LVC::kTagAccount)->text(), "1001");
        EXPECT_FALSE(KAVProgressHUD::isVisible());
    }
    EXPECT_EQ(loginsSent(), 0u);
    // Nothing more comes after the time-out would have passed.
    run("wait 12\n");
    EXPECT_EQ(topAlert(), "");
    EXPECT_EQ(screen(), first);
}

TEST_F(LoginScreenTest, ADealerWithoutTheChosenSystemIsRefusedHere) {
    launch();
    ASSERT_TRUE(until([&] { return tagged(LVC::kTagLogin) != nullptr; }));
    storeDealers({"GOLDEX"});  // no demo system
    relaunch();
    EXPECT_EQ(screen()->currentDealer()->dealerKey, "GOLDEX");
    chooseSegment(LVC::kTagSystem, 0);
    type(LVC::kTagAccount, "1001");
    type(LVC::kTagPassword, "123456");
    pressLogin();
    EXPECT_TRUE(alerted(LVC::kMsgNoDemoHost));
    EXPECT_EQ(loginsSent(), 0u);
    EXPECT_EQ(root(), screen());
    // Its real system works.
    chooseSegment(LVC::kTagSystem, 1);
    pressLogin();
    ASSERT_TRUE(until([&] { return rootAs<MainDrawerViewController>() != nullptr; }));
    EXPECT_EQ(setting(settingTag::dealerKey), "GOLDEX");
}

TEST_F(LoginScreenTest, TheDealerListLiesBehindTheForm) {
    launchToLogin();
    ASSERT_TRUE(until([&] { return logoShown(); }));
    auto* change = tagged(LVC::kTagChangeDealer);
    UIDriver::tap(change);
    run("wait 0.6\n");
    EXPECT_TRUE(screen()->isShowingDealer());
    EXPECT_NEAR(std::atan2(change->transform().b, change->transform().a), 179.0 * M_PI / 180, 1e-6);

    // The search bar hides the change button; a dealer added by key.
    UIDriver::tap(tagged(DealerListViewController::kTagAdd));
    run("wait 0.3\n");
    EXPECT_FALSE(UIDriver::isVisible(change));
    UIDriver::typeText("GOLDEX\n");
    ASSERT_TRUE(until([&] { return !KAVProgressHUD::isVisible(); }));
    run("wait 0.5\nshot login-dealer-list\n");
    // It stays away while the search bar is up (its cancel button lies
    // under it).
    EXPECT_FALSE(UIDriver::isVisible(change));
    auto* table = tagged<platform::ui::UITableView>(DealerListViewController::kTagTable);
    ASSERT_EQ(table->numberOfRowsInSection(0), 2);

    // Another dealer: the list is covered, the search is over, its logo loads.
    const auto firstLogo = tagged<platform::ui::UIImageView>(LVC::kTagLogo)->image();
    UIDriver::tap(table->cellForRowAtIndexPath({0, 1}));
    run("wait 0.6\n");
    EXPECT_FALSE(screen()->isShowingDealer());
    EXPECT_EQ(screen()->currentDealer()->dealerKey, "GOLDEX");
    EXPECT_TRUE(UIDriver::isVisible(change));
    EXPECT_EQ(table->tableHeaderView(), nullptr);
    platform::ui::UIImagePtr shown;
    ASSERT_TRUE(until([&] {
        shown = tagged<platform::ui::UIImageView>(LVC::kTagLogo)->image();
        return shown && shown != firstLogo;
    }));
    ASSERT_EQ(sim.httpRequests("logo").size(), 2u);
    EXPECT_EQ(sim.httpRequests("logo")[1]["path"], "/dealer/GOLDEX/logo.png");

    // The selected one again: covered, the logo not loaded again.
    UIDriver::tap(change);
    run("wait 0.6\n");
    UIDriver::tap(table->cellForRowAtIndexPath({0, 1}));
    run("wait 0.6\n");
    EXPECT_FALSE(screen()->isShowingDealer());
    EXPECT_EQ(tagged<platform::ui::UIImageView>(LVC::kTagLogo)->image(), shown);
    EXPECT_EQ(sim.httpRequests("logo").size(), 2u);

    // Every dealer deleted: covering the list takes the logo away.
    auto context = app->managedObjectContext();
    const auto stored = DealerManager(app->dealerStore()).getLocalDealerArray().value();
    for (const auto& d : stored)
        context->deleteObject(d);
    app->saveContext();
    UIDriver::tap(change);
    run("wait 0.6\n");
    UIDriver::tap(change);
    run("wait 0.6\n");
    EXPECT_FALSE(logoShown());
    EXPECT_EQ(screen()->currentDealer(), nullptr);
}

TEST_F(LoginScreenTest, ALogoThatArrivesAfterAnotherDealerWasChosenStaysAway) {
    // The built-in dealer's logo is slow to come.
    sim.holdWeb("logo");
    launchToLogin();
    ASSERT_EQ(screen()->currentDealer()->dealerKey, "KAVFX");
    EXPECT_FALSE(logoShown());

    // Meanwhile the user adds and picks another dealer, whose logo comes.
    UIDriver::tap(tagged(LVC::kTagChangeDealer));
    run("wait 0.6\n");
    UIDriver::tap(tagged(DealerListViewController::kTagAdd));
    run("wait 0.3\n");
    UIDriver::typeText("GOLDEX\n");
    auto* table = tagged<platform::ui::UITableView>(DealerListViewController::kTagTable);
    ASSERT_TRUE(until([&] { return table->numberOfRowsInSection(0) == 2; }))
        << UIDriver::dumpViewTree();
    ASSERT_TRUE(until([&] { return !KAVProgressHUD::isVisible(); }));
    run("wait 0.5\n");
    table = tagged<platform::ui::UITableView>(DealerListViewController::kTagTable);
    UIDriver::tap(table->cellForRowAtIndexPath({0, 1}));
    run("wait 0.6\n");
    ASSERT_EQ(screen()->currentDealer()->dealerKey, "GOLDEX");
    ASSERT_TRUE(until([&] { return logoShown(); }));
    const auto goldex = tagged<platform::ui::UIImageView>(LVC::kTagLogo)->image();

    // The first dealer's logo arrives late: it is cached, not shown.
    sim.releaseHeld();
    const auto cached = platform::files::documentsPath("Res/Images/Dealer/KAVFX_logo.png");
    ASSERT_TRUE(until([&] { return platform::files::fileExists(*cached); }));
    run("wait 0.5\n");
    EXPECT_EQ(tagged<platform::ui::UIImageView>(LVC::kTagLogo)->image(), goldex);

    // Picked again, it shows at once from the cache.
    UIDriver::tap(tagged(LVC::kTagChangeDealer));
    run("wait 0.6\n");
    UIDriver::tap(table->cellForRowAtIndexPath({0, 0}));
    run("wait 0.6\n");
    ASSERT_EQ(screen()->currentDealer()->dealerKey, "KAVFX");
    EXPECT_TRUE(logoShown());
    EXPECT_NE(tagged<platform::ui::UIImageView>(LVC::kTagLogo)->image(), goldex);
}

TEST_F(LoginScreenTest, TheRegistrationDealerRegistersADemoAccountAndLogsItIn) {
    launch();
    ASSERT_TRUE(until([&] { return tagged(LVC::kTagLogin) != nullptr; }));
    storeDealers({"kavdemo"});
    relaunch();
    EXPECT_FALSE(UIDriver::isVisible(tagged(LVC::kTagSystem)));
    EXPECT_TRUE(UIDriver::isVisible(tagged(LVC::kTagRegisterChoice)));
    EXPECT_TRUE(UIDriver::isVisible(tagged(LVC::kTagForgot)));
    run("shot login-kavdemo\n");

    chooseSegment(LVC::kTagRegisterChoice, 1);
    auto* panel = tagged<UIRegister>(LVC::kTagRegisterPanel);
    ASSERT_NE(panel, nullptr);
    EXPECT_DOUBLE_EQ(panel->frame().origin.y, tagged(LVC::kTagForm)->frame().origin.y + 100);
    EXPECT_TRUE(screen()->isShowingRegister());
    EXPECT_EQ(setting(settingTag::loginSRV), "1");
    run("shot login-register\n");

    auto row = [&](long tag) {
        return panel->viewWithTag<UIKAVInputField>(tag)->textField().get();
    };
    for (auto [tag, text] :
         std::vector<std::pair<long, std::string>>{{UIRegister::kTagEmail, "trader@example.com"},
                                                   {UIRegister::kTagPassword, "secret1"},
                                                   {UIRegister::kTagConfirm, "secret1"}}) {
        UIDriver::tap(row(tag));
        run("wait 0.3\n");
        UIDriver::typeText(text);
    }
    UIDriver::tap(panel->viewWithTag<platform::ui::UIButton>(UIRegister::kTagRegister).get());
    ASSERT_TRUE(alerted(UIRegister::kMsgRegistered, "确定", "login-registered"));
    run("wait 0.4\n");
    EXPECT_EQ(tagged(LVC::kTagRegisterPanel), nullptr);
    EXPECT_FALSE(screen()->isShowingRegister());
    EXPECT_EQ(
        tagged<platform::ui::UISegmentedControl>(LVC::kTagRegisterChoice)->selectedSegmentIndex(),
        0);
    EXPECT_EQ(field(LVC::kTagAccount)->text(), "trader@example.com");
    EXPECT_DOUBLE_EQ(screen()->view()->frame().origin.y, 0);

    // The registration dealer logs in to its real system.
    type(LVC::kTagPassword, "secret1");
    pressLogin();
    ASSERT_TRUE(until([&] { return rootAs<MainDrawerViewController>() != nullptr; }));
    EXPECT_EQ(sim.packages(SimService::Login, "1003").at(0).path, "/real");
}

TEST_F(LoginScreenTest, LeavingTheRegistrationWhileTypingClosesTheKeyboardAndMovesTheScreenBack) {
    launch();
    ASSERT_TRUE(until([&] { return tagged(LVC::kTagLogin) != nullptr; }));
    storeDealers({"kavdemo"});
    relaunch();
    chooseSegment(LVC::kTagRegisterChoice, 1);
    auto* panel = tagged<UIRegister>(LVC::kTagRegisterPanel);
    ASSERT_NE(panel, nullptr);
    auto* email = panel->viewWithTag<UIKAVInputField>(UIRegister::kTagEmail)->textField().get();
    UIDriver::tap(email);
    run("wait 0.3\nshot login-register-typing\n");
    ASSERT_LT(screen()->view()->frame().origin.y, 0) << "the screen moved for the keyboard";

    // "使用已有账户" with the keyboard up: the panel slides out, and the
    // keyboard and the screen's shift go with it.
    auto* choice = tagged<platform::ui::UISegmentedControl>(LVC::kTagRegisterChoice);
    const auto f = choice->frame();
    UIDriver::tapAt(choice->convertPointToView({f.size.width / 4, f.size.height / 2}, nullptr));
    EXPECT_FALSE(email->isFirstResponder()) << "the keyboard closes as the panel starts out";
    run("wait 0.4\nshot login-register-left\n");
    EXPECT_EQ(tagged(LVC::kTagRegisterPanel), nullptr);
    EXPECT_DOUBLE_EQ(screen()->view()->frame().origin.y, 0);
}

TEST_F(LoginScreenTest, APasswordResetIsConfirmedFirstAndSaysHowItWent) {
    launch();
    ASSERT_TRUE(until([&] { return tagged(LVC::kTagLogin) != nullptr; }));
    storeDealers({"kavdemo"});
    relaunch();
    field(LVC::kTagAccount)->setText(" ");
    UIDriver::tap(tagged(LVC::kTagForgot));
    EXPECT_TRUE(alerted(LVC::kMsgEnterAccountFirst));

    field(LVC::kTagAccount)->setText("10 01");
    UIDriver::tap(tagged(LVC::kTagForgot));
    EXPECT_TRUE(alerted(LVC::kMsgConfirmReset, "取消", "login-reset-confirm"));
    EXPECT_TRUE(sim.httpRequests("reset").empty());

    struct Case {
        std::function<void()> arrange;
        std::string account;
        std::string message;
    } cases[] = {
        {[] {}, "10 01", LVC::kMsgResetSent},
        {[] {}, "nobody", "账户不存在"},
        {[&] { sim.webAnswer("reset", 200, "<html>error</html>"); }, "1001",
         LVC::kMsgResetUnreadable},
        {[&] { sim.webAnswer("reset", 500, ""); }, "1001", LVC::kMsgTransportFailed},
        // An answer that does not say how it went sent no link.
        {[&] { sim.webAnswer("reset", 200, R"({"message":"账户不存在"})", "application/json"); },
         "1001", LVC::kMsgResetUnreadable},
    };
    for (const auto& c : cases) {
        c.arrange();
        field(LVC::kTagAccount)->setText(c.account);
        UIDriver::tap(tagged(LVC::kTagForgot));
        ASSERT_TRUE(alerted(LVC::kMsgConfirmReset, "确定"));
        EXPECT_TRUE(alerted(c.message)) << c.account;
    }
    auto resets = sim.httpRequests("reset");
    ASSERT_EQ(resets.size(), 5u);
    EXPECT_EQ(resets[0]["query"]["login_code"], "1001");  // blanks removed
    EXPECT_EQ(resets[0]["query"]["pwd_type"], "1");
}

TEST_F(LoginScreenTest, TheAccountIsRememberedOnlyWhileTheSwitchIsOn) {
    launchToLogin();
    type(LVC::kTagAccount, "1002");
    doneEditing();
    EXPECT_EQ(setting(settingTag::trUid), "1002");  // kept as it is typed
    relaunch();
    EXPECT_EQ(field(LVC::kTagAccount)->text(), "1002");
    EXPECT_TRUE(tagged<platform::ui::UISwitch>(LVC::kTagRemember)->isOn());

    UIDriver::tap(tagged(LVC::kTagRemember));
    run("wait 0.3\n");
    EXPECT_EQ(setting(settingTag::isKeepAccount), "0");
    relaunch();
    EXPECT_EQ(field(LVC::kTagAccount)->text(), "");
    EXPECT_FALSE(tagged<platform::ui::UISwitch>(LVC::kTagRemember)->isOn());
}

TEST_F(LoginScreenTest, TheFormMovesSoTheFieldStandsAboveTheKeyboardBar) {
    launchToLogin();
    UIView* v = screen()->view();
    // The account field ends 151 + 105 + 40 points down; it goes to 568 / 2 - 44.
    UIDriver::tap(field(LVC::kTagAccount));
    run("wait 0.3\n");
    EXPECT_DOUBLE_EQ(v->frame().origin.y, 240 - 296);
    run("tap-tag 7002\nwait 0.3\n");
    EXPECT_DOUBLE_EQ(v->frame().origin.y, 240 - 335);
    run("shot login-keyboard\n");
    doneEditing();
    EXPECT_DOUBLE_EQ(v->frame().origin.y, 0);
}

}  // namespace

TEST_F(LoginScreenTest, TheDealerTakenWhenTheListIsCoveredShowsItsOwnLogo) {
    // No dealer after the first start; one is added and the list covered:
    // the dealer taken shows its logo.
    sim.webAnswer("dealer", 503, "unavailable", "text/plain", 1);
    launch();
    ASSERT_TRUE(alerted(LVC::kMsgAddDealerFirst, "确认"));
    ASSERT_TRUE(until([&] { return screen()->isShowingDealer(); }));
    run("wait 0.6\n");
    auto* table = tagged<platform::ui::UITableView>(DealerListViewController::kTagTable);
    const auto add = [&](const std::string& key, long rows) {
        UIDriver::tap(tagged(DealerListViewController::kTagAdd));
        run("wait 0.3\n");
        screen()->dealerListViewController()->searchBar()->setText("");
        UIDriver::typeText(key + "\n");
        ASSERT_TRUE(until([&] { return table->numberOfRowsInSection(0) == rows; }));
        ASSERT_TRUE(until([&] { return !KAVProgressHUD::isVisible(); }));
        run("wait 0.5\ntap 取消\nwait 0.3\n");  // the search bar makes way for the change button
    };
    const auto cover = [&] {
        UIDriver::tap(tagged(LVC::kTagChangeDealer));
        run("wait 0.6\n");
        ASSERT_FALSE(screen()->isShowingDealer());
        ASSERT_TRUE(screen()->currentDealer());
    };
    const auto logo = [&] { return tagged<platform::ui::UIImageView>(LVC::kTagLogo)->image(); };
    add("GOLDEX", 1);
    EXPECT_FALSE(logoShown());
    cover();
    EXPECT_EQ(screen()->currentDealer()->dealerKey, "GOLDEX");
    ASSERT_TRUE(until([&] { return logoShown(); }, 5)) << "no logo for the dealer in use";
    const auto goldexLogo = logo();

    // The dealer in use is swiped away and the list covered: the other one
    // is taken, and its logo replaces the deleted dealer's.
    UIDriver::tap(tagged(LVC::kTagChangeDealer));
    run("wait 0.6\n");
    add("KAVFX", 2);
    const auto r = table->rectForRowAtIndexPath({0, 0});
    const auto start =
        table->convertPointToView({r.size.width - 30, platform::ui::CGRectGetMidY(r)}, nullptr);
    UIDriver::drag(start, {start.x - 150, start.y});
    run("wait 0.4\ntap 删除\nwait 0.5\n");
    ASSERT_TRUE(alerted(DealerListViewController::kMsgConfirmDelete));
    ASSERT_EQ(table->numberOfRowsInSection(0), 1);
    cover();
    EXPECT_EQ(screen()->currentDealer()->dealerKey, "KAVFX");
    EXPECT_TRUE(until([&] { return logo() && logo() != goldexLogo; }, 5))
        << "the deleted dealer's logo stays";
}

TEST_F(LoginScreenTest, ASessionEndedOnTheSidewaysOrderScreenComesBackToAnUprightForm) {
    launchToLogin();
    logIn();
    // The market order from the board's first row, held sideways: it turns.
    // The board's rows come with the session's symbols and their quotes,
    // which reach it in real time: a row tapped before is laid out anew.
    run("wait-text 欧元美元 10\nwait 1\n");
    // And the board ignores taps while it loads its marks (its spinner
    // turns), as a person waits for it: on a slow machine a second is not
    // always enough.
    ASSERT_TRUE(until([] { return !UIDriver::isLoading(); }));
    platform::ui::UIScreenRenderer::layoutWindows();
    auto rows = UIDriver::viewsOfClass("QuotationCell");
    ASSERT_FALSE(rows.empty());
    UIDriver::tap(rows.front());
    // The board stays upright: only the order screen, once it is up, turns.
    ASSERT_TRUE(until([&] {
        const auto drawer = rootAs<MainDrawerViewController>();
        return drawer && drawer->presentedViewController() != nullptr;
    }));
    run("wait 1\nrotate left\n");
    auto& application = platform::ui::UIApplication::sharedApplication();
    ASSERT_EQ(application.statusBarOrientation(),
              platform::ui::UIInterfaceOrientation::LandscapeLeft);
    // The session ends there: its token refused on the trading channel's
    // reconnection.
    sim.invalidateTokens();
    sim.closeConnections(SimService::Trade);
    ASSERT_TRUE(alerted(AppDelegate::kMsgTradeDisconnected));
    ASSERT_TRUE(until([&] { return screen() && tagged(LVC::kTagLogin); }));
    run("wait 1\n");
    // The form stood sideways, its password and login button below the
    // screen, and stayed so when the device was turned upright.
    EXPECT_EQ(application.statusBarOrientation(), platform::ui::UIInterfaceOrientation::Portrait);
    run("rotate portrait\n");
    EXPECT_EQ(application.statusBarOrientation(), platform::ui::UIInterfaceOrientation::Portrait);
    auto* login = tagged(LVC::kTagLogin);
    ASSERT_TRUE(login);
    EXPECT_EQ(UIDriver::whyNotReached(UIDriver::screenCenterOf(login), login), "");
    run("shot login-after-a-sideways-session\n");
    // Held sideways again, the form stays upright.
    run("rotate right\n");
    EXPECT_EQ(application.statusBarOrientation(), platform::ui::UIInterfaceOrientation::Portrait);
    run("rotate portrait\n");
    logIn();
}
