// The application's session shell against the simulated dealer: start-up on
// the login screen, the first-start dealer, a login, pushes on the event bus,
// the reconnect banner, forced re-logins (and the silence of the old session
// afterwards), logout, settings, the shake action and termination.
#include "tests/app/AppTestSupport.h"

#include "app/AccountCenterViewController.h"
#include "app/MenuViewController.h"
#include "platform/ui/NavigationController.h"
#include "ui/services/BroadcastManager.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/trade/MarketOpenViewController.h"
#include "ui/trade/QuotationViewController.h"

using namespace kavtest;
using platform::ui::UIDriver;
using platform::ui::UIView;

namespace {

// Every broadcast of the six record actions, in order: "<action> <count>".
struct BusRecorder {
    BusRecorder() {
        for (const char* action : {kActionReceiveTradeQuotation, kActionReceiveAccountChange,
                                   kActionReceiveHoldBillChange, kActionReceiveHoldPositionChange,
                                   kActionReceiveLimitBillChange, kActionReceiveCloseBillChange}) {
            tokens.push_back(platform::NotificationCenter::defaultCenter().addObserver(
                action, [this, action](const platform::Notification& n) {
                    auto message = MoMessage::of(n);
                    if (!message) return;
                    messages.emplace_back(action, message);
                }));
        }
    }
    size_t count(const std::string& action) const {
        return std::count_if(messages.begin(), messages.end(),
                             [&](const auto& m) { return m.first == action; });
    }
    template <typename T>
    MODList<T> last(const std::string& action) const {
        for (auto it = messages.rbegin(); it != messages.rend(); ++it)
            if (it->first == action)
                if (const auto* list = it->second->template objAs<MODList<T>>()) return *list;
        return {};
    }

    std::vector<platform::ObserverToken> tokens;
    std::vector<std::pair<std::string, std::shared_ptr<MoMessage>>> messages;
};

class SessionTest : public AppTest {
  protected:
    // Everything the dealer has received so far: packages and heartbeats.
    size_t received() {
        size_t n = sim.packages().size();
        for (auto service : {SimService::Login, SimService::Trade, SimService::Quote,
                             SimService::Message, SimService::History})
            n += static_cast<size_t>(sim.heartbeats(service));
        return n;
    }
    // The old session is silent: nothing reaches the dealer and no
    // connection of it stays open, while a minute passes (heartbeats every
    // 60 s, reconnects every 5 s).
    void expectSilenceFor(const std::string& why) {
        const size_t before = received();
        for (int i = 0; i < 70; ++i)
            until([] { return false; }, 1);
        EXPECT_EQ(received(), before) << why;
        EXPECT_TRUE(sim.connections().empty()) << why;
    }
    // The session ends with the alert; while it is up the old service object
    // is silent, even though something (here the test, in the application
    // the old session's screens) still holds it; its closing brings a fresh
    // login screen.
    void expectAlertThenFreshLogin(const std::string& message,
                                   const std::shared_ptr<KAVBizSDK>& old, const std::string& shot) {
        ASSERT_TRUE(until([&] { return UIDriver::viewWithText(message) != nullptr; }))
            << UIDriver::dumpViewTree();
        // Dropped at once: stopped, and no longer anyone's delegate.
        EXPECT_EQ(app->bizSDK(), nullptr);
        EXPECT_EQ(old->delegate(), nullptr);
        run("wait 0.5\nshot " + shot + "\n");
        expectSilenceFor(message);
        run("tap 确定\nwait-text 登录\nwait 0.5\n");
        auto login = rootAs<LoginViewController>();
        ASSERT_TRUE(login);
        ASSERT_TRUE(app->bizSDK());
        EXPECT_NE(app->bizSDK(), old);
        EXPECT_EQ(app->bizSDK()->delegate(), login);
        EXPECT_FALSE(app->sysdb()->isOnline());
        EXPECT_EQ(viewsTagged(AppDelegate::kTagConnectMsg), 0u);
    }
    // The board's first row opens its order screen (a modal, with a chart),
    // once the board has its rows.
    platform::ui::UIViewController* openOrderScreen(MainDrawerViewController& drawer) {
        auto board = std::dynamic_pointer_cast<QuotationViewController>(
            drawer.navigationControllerForType(0)->viewControllers().front());
        if (!board) return nullptr;
        auto table = board->view()->viewWithTag<platform::ui::UITableView>(
            QuotationViewController::kTagTable);
        if (!table ||
            !until([&] { return !board->isLoadingData() && table->numberOfRowsInSection(0) > 0; }))
            return nullptr;
        board->tableViewDidSelectRowAtIndexPath(table.get(),
                                                platform::ui::NSIndexPath::indexPathForRow(0, 0));
        until([&] { return drawer.presentedViewController() != nullptr; });
        return drawer.presentedViewController();
    }
};

TEST_F(SessionTest, StartUpShowsTheLoginScreenWithAFreshServiceObject) {
    launch();
    ASSERT_TRUE(app->window);
    EXPECT_TRUE(app->window->isKeyWindow());
    EXPECT_EQ(app->window->frame(), platform::ui::UIScreen::mainScreen().bounds());
    auto login = rootAs<LoginViewController>();
    ASSERT_TRUE(login);
    ASSERT_TRUE(app->bizSDK());
    ASSERT_TRUE(app->sysdb());
    EXPECT_EQ(app->bizSDK()->delegate(), login);
    EXPECT_EQ(app->bizSDK()->timeOut(), 10);
    EXPECT_FALSE(app->sysdb()->isOnline());
    EXPECT_TRUE(logs.contains("SDK 版本：【1.2.091601】"));
    EXPECT_TRUE(platform::ui::UIApplication::sharedApplication().isIdleTimerDisabled());
    EXPECT_EQ(platform::ui::UITextField::appearance().keyboardAppearance,
              platform::ui::UIKeyboardAppearance::Dark);

    // An empty store: after 0.6 s the built-in dealer is looked up. Its
    // answer is held until the overlay has been seen: on a loaded machine a
    // tenth of a second on the screen's clock can outlast the whole look-up.
    sim.holdWeb("dealer");
    run("wait 0.5\nexpect-no-text 正在初始化服务\nwait 0.2\nexpect-text 正在初始化服务\n");
    ASSERT_EQ(sim.waitForHttpRequests("dealer", 1).size(), 1u);
    sim.releaseHeld();
    run("wait-text 登录\nwait-gone 正在初始化服务\nwait 0.5\nshot login\n");
    EXPECT_EQ(sim.httpRequests("dealer").size(), 1u);
    ASSERT_TRUE(login->currentDealer());
    EXPECT_EQ(login->currentDealer()->dealerKey, "KAVFX");
    EXPECT_TRUE(login->currentDealer()->isSelected);
    EXPECT_TRUE(UIDriver::viewWithText("KAV 外汇"));
    EXPECT_EQ(login, root());
}

TEST_F(SessionTest, AfterALoginRecordPushesReachTheEventBus) {
    launchToLogin();
    logIn();
    auto drawer = rootAs<MainDrawerViewController>();
    auto sdk = app->bizSDK();
    EXPECT_EQ(sdk->delegate(), app);
    EXPECT_TRUE(app->sysdb()->isOnline());
    EXPECT_EQ(app->sysdb()->valueWithTag(settingTag::trUid, ""), "1001");
    EXPECT_EQ(app->sysdb()->valueWithTag(settingTag::dealerKey, ""), "KAVFX");
    const auto login = sim.packages(SimService::Login, "1003");
    ASSERT_EQ(login.size(), 1u);
    EXPECT_EQ(login[0].data("uid"), "1001");

    BusRecorder bus;
    sim.setQuote("EURUSD", 1.10250);
    ASSERT_TRUE(until([&] { return bus.count(kActionReceiveTradeQuotation) > 0; }));
    // The records themselves: a screen holding one sees every later quote.
    const auto quoted = bus.last<MODSymbolInfo>(kActionReceiveTradeQuotation);
    ASSERT_EQ(quoted.size(), 1u);
    EXPECT_EQ(quoted[0], sdk->getSymbolWith("EURUSD"));
    EXPECT_EQ(bus.count(kActionReceiveAccountChange), 0u);  // no ticket yet: no re-pricing
    // A list goes out once, whole and in its order; rates go nowhere.
    const MODList<MODSymbolInfo> three(sdk->symbolInfos().begin(), sdk->symbolInfos().begin() + 3);
    const size_t before = bus.messages.size();
    app->onQuotedReceived(three);
    app->onExchangeRateChange({std::make_shared<MODCERInfo>()});
    ASSERT_EQ(bus.messages.size(), before + 1);
    EXPECT_EQ(bus.last<MODSymbolInfo>(kActionReceiveTradeQuotation), three);
    EXPECT_EQ(bus.messages.back().second->what, 0);

    const auto eurusd = sdk->getSymbolWith("EURUSD");
    bool opened = false;
    sdk->marketOpenWithSymbol(
        "EURUSD", 1, "b", eurusd->ask, 50, 0, 0, "", [&] { opened = true; }, nullptr);
    ASSERT_TRUE(until([&] {
        return opened && bus.count(kActionReceiveHoldBillChange) &&
               bus.count(kActionReceiveHoldPositionChange) &&
               bus.count(kActionReceiveAccountChange);
    }));
    const auto ticket = bus.last<MODHoldBill>(kActionReceiveHoldBillChange);
    ASSERT_EQ(ticket.size(), 1u);
    EXPECT_EQ(ticket[0]->symbolCode, "EURUSD");
    EXPECT_EQ(bus.last<MODHoldPosition>(kActionReceiveHoldPositionChange).at(0)->quantityBuy, 1);
    EXPECT_EQ(bus.last<MODUserAccount>(kActionReceiveAccountChange).at(0)->currencyCode, "USD");

    bool placed = false;
    sdk->limitOpenWithSymbol(
        "EURUSD", 1, "b", 1.09, 0, 0, "0", "", [&] { placed = true; }, nullptr);
    ASSERT_TRUE(until([&] { return placed && bus.count(kActionReceiveLimitBillChange); }));
    EXPECT_EQ(bus.last<MODLimitBill>(kActionReceiveLimitBillChange).at(0)->orderPrice, 1.09);

    // A closed ticket reaches the closed-ticket list's action.
    bool closed = false;
    sdk->marketCloseWithOrder(
        sdk->getHoldBillWith(ticket[0]->orderCode), 1, 50, 0, "", [&] { closed = true; }, nullptr);
    ASSERT_TRUE(until([&] { return closed && bus.count(kActionReceiveCloseBillChange); }));
    const auto closedTickets = bus.last<MODCloseBill>(kActionReceiveCloseBillChange);
    ASSERT_EQ(closedTickets.size(), 1u);
    EXPECT_EQ(closedTickets[0]->orderCodeRe.empty() ? closedTickets[0]->orderCode
                                                    : closedTickets[0]->orderCodeRe,
              ticket[0]->orderCode);
    EXPECT_EQ(drawer, root());
}

TEST_F(SessionTest, TheReconnectBannerShowsOnceWhileAChannelReconnects) {
    launchToLogin();
    logIn();
    const long tag = AppDelegate::kTagConnectMsg;
    // Codes that change nothing on screen.
    const std::string before = UIDriver::dumpViewTree();
    for (int code : {5, 6, 7, 8, 9, 2, 12})
        app->onNetworkStatus(code);
    EXPECT_EQ(UIDriver::dumpViewTree(), before);

    // The dealer drops the quote connection: it reconnects 5 s later.
    BusRecorder bus;
    sim.closeConnections(SimService::Quote);
    ASSERT_TRUE(until([&] { return viewsTagged(tag) == 1; }, 10));
    run("expect-text 网络重连中......\nshot reconnect-banner\n");
    auto banner = app->window->viewWithTag(tag);
    EXPECT_EQ(banner->frame(), app->window->bounds());
    EXPECT_EQ(banner->superview().get(), app->window.get());
    EXPECT_EQ(app->window->subviews().back(), banner);  // over everything
    // The banner takes the touches meant for the screen below.
    EXPECT_EQ(app->window->hitTest(platform::ui::CGPointMake(160, 400), nullptr), banner.get());
    app->onNetworkStatus(1);
    app->onNetworkStatus(4);
    EXPECT_EQ(viewsTagged(tag), 1u);

    ASSERT_TRUE(until([&] { return viewsTagged(tag) == 0; }, 20));
    EXPECT_TRUE(until([&] { return sim.connections(SimService::Quote, true).size() == 1; }, 5));
    // The session goes on: quotes arrive on the new connection.
    sim.setQuote("XAUUSD", 2010);
    EXPECT_TRUE(until([&] { return bus.count(kActionReceiveTradeQuotation) > 0; }));

    // A closed channel (4) shows it too; 2 with no banner does nothing.
    app->onNetworkStatus(4);
    app->onNetworkStatus(1);
    EXPECT_EQ(viewsTagged(tag), 1u);
    app->onNetworkStatus(2);
    app->onNetworkStatus(2);
    EXPECT_EQ(viewsTagged(tag), 0u);
    EXPECT_EQ(rootAs<MainDrawerViewController>(), root());
}

// The order screen's chart keeps a spinner of its own under the banner's tag:
// a reconnect while it is open still shows the banner, and its end takes the
// banner away, not the chart's spinner.
TEST_F(SessionTest, TheReconnectBannerIsNotConfusedWithAScreensOwnView) {
    launchToLogin();
    logIn();
    auto drawer = rootAs<MainDrawerViewController>();
    auto* order = openOrderScreen(*drawer);
    ASSERT_TRUE(order);
    auto spinner = order->view()->viewWithTag(AppDelegate::kTagConnectMsg);
    ASSERT_TRUE(spinner);  // the chart's own
    const auto banner = [&]() -> std::shared_ptr<UIView> {
        for (const auto& view : app->window->subviews())
            if (view->tag() == AppDelegate::kTagConnectMsg) return view;
        return nullptr;
    };

    sim.closeConnections(SimService::Quote);
    ASSERT_TRUE(until([&] { return banner() != nullptr; }, 10)) << UIDriver::dumpViewTree();
    EXPECT_EQ(app->window->subviews().back(), banner());
    ASSERT_TRUE(until([&] { return banner() == nullptr; }, 20));
    EXPECT_EQ(order->view()->viewWithTag(AppDelegate::kTagConnectMsg), spinner);
    EXPECT_EQ(drawer->presentedViewController(), order);
}

// The order screen turns with the phone, banner or not: the banner still
// dims the whole turned screen and takes every touch, its bar across the top.
TEST_F(SessionTest, TheReconnectBannerCoversTheScreenAfterATurn) {
    launchToLogin();
    logIn();
    auto drawer = rootAs<MainDrawerViewController>();
    auto* order = openOrderScreen(*drawer);
    ASSERT_TRUE(order);
    sim.closeConnections(SimService::Quote);
    ASSERT_TRUE(until(
        [&] { return app->window->subviews().back()->tag() == AppDelegate::kTagConnectMsg; }, 10));
    const auto banner = app->window->subviews().back();
    const auto covers = [&](const std::string& turn) {
        const auto bounds = app->window->bounds();
        EXPECT_EQ(banner->frame(), bounds) << turn;
        for (const auto& point :
             {platform::ui::CGPointMake(bounds.size.width - 10, 45),
              platform::ui::CGPointMake(bounds.size.width - 10, bounds.size.height - 10),
              platform::ui::CGPointMake(10, bounds.size.height - 10)}) {
            auto* hit = app->window->hitTest(point, nullptr);
            EXPECT_TRUE(hit && hit->isDescendantOfView(banner.get())) << turn;
        }
        auto label = UIDriver::viewWithText(AppDelegate::kConnectMsg);
        ASSERT_TRUE(label) << turn;
        EXPECT_EQ(label->superview()->frame(),
                  platform::ui::CGRectMake(0, 30, bounds.size.width, 30))
            << turn;
        EXPECT_EQ(label->frame().size.width, bounds.size.width) << turn;
    };
    run("rotate left\nwait 1\nshot reconnect-banner-landscape\n");
    ASSERT_GT(app->window->bounds().size.width, app->window->bounds().size.height);
    covers("landscape");
    run("rotate portrait\nwait 1\n");
    covers("portrait");
}

TEST_F(SessionTest, ARefusedTokenEndsTheSessionAndTheOldOneFallsSilent) {
    launchToLogin();
    logIn();
    auto old = app->bizSDK();
    // Tokens refused, then the trading connection drops: its reconnect
    // checks the token and fails (status 10) while the banner is up.
    sim.invalidateTokens("1001");
    sim.closeConnections(SimService::Trade);
    expectAlertThenFreshLogin(AppDelegate::kMsgTradeDisconnected, old, "relogin-token");
}

TEST_F(SessionTest, AChannelThatCannotReopenEndsTheSession) {
    launchToLogin();
    logIn();
    auto old = app->bizSDK();
    sim.stallHandshakes(SimService::Message, -1);
    sim.closeConnections(SimService::Message);
    expectAlertThenFreshLogin(AppDelegate::kMsgConnectFailed, old, "relogin-open-timeout");
}

TEST_F(SessionTest, TheSameAccountElsewhereEndsTheSession) {
    launchToLogin();
    logIn();
    auto old = app->bizSDK();
    sim.push(SimService::Trade, "4010");
    expectAlertThenFreshLogin(AppDelegate::kMsgSameUser, old, "relogin-same-user");

    // The server's status 11 says the same.
    logIn();
    old = app->bizSDK();
    sim.push(SimService::Trade, "sys_9001", {{"actCode", "11"}});
    expectAlertThenFreshLogin(AppDelegate::kMsgSameUser, old, "relogin-status-11");
}

TEST_F(SessionTest, TheDealerEndingTheSessionEndsItOnTheScreenToo) {
    launchToLogin();
    logIn();
    auto old = app->bizSDK();
    sim.push(SimService::Trade, "4012");
    expectAlertThenFreshLogin(AppDelegate::kMsgTradeDisconnected, old, "relogin-terminal");
}

TEST_F(SessionTest, AnAlertOfTheEndedSessionDoesNotComeBackOverTheNewLoginScreen) {
    launchToLogin();
    logIn();
    auto drawer = rootAs<MainDrawerViewController>();
    ASSERT_TRUE(drawer);
    auto* centre = dynamic_cast<platform::ui::UINavigationController*>(
        drawer->rightDrawerViewController().get());
    ASSERT_NE(centre, nullptr);
    drawer->toggleDrawerSide(DrawerSideRight, true, nullptr);
    run("wait 1\n");
    UIDriver::tap(UIDriver::viewWithTag<platform::ui::UIButton>(
        AccountCenterViewController::kTagLogout));
    run("wait-text 确定要注销登录吗？ 2\n");
    // A notice comes over the question, as an order's result would.
    KAVAlertView::showAlertWithTitle("提示", "委托已成交", std::string("确定"), nullptr);
    run("wait 0.5\n");
    // The account is taken over while the customer is asked about the logout.
    sim.push(SimService::Trade, "4010");
    run("wait-text " + std::string(AppDelegate::kMsgSameUser) + " 5\nwait 0.5\n");
    run("tap 确定\nwait-text 登录\nwait 1\n");
    ASSERT_TRUE(rootAs<LoginViewController>());
    // The notice still tells what happened; the question belonged to the
    // session that ended: it is gone, and the form takes the touches.
    run("wait-text 委托已成交 1\nwait 0.5\ntap 确定\nwait 1\n");
    EXPECT_EQ(UIDriver::viewWithText("确定要注销登录吗？"), nullptr) << UIDriver::dumpViewTree();
    EXPECT_TRUE(KAVAlertViewStack::sharedInstance().alertViews().empty());
    run("tap-tag 7001\n");
}

TEST_F(SessionTest, ARefusedLoginGivesAFreshLoginScreen) {
    launchToLogin();
    auto first = rootAs<LoginViewController>();
    auto old = app->bizSDK();
    run("tap-tag 7001\nwait 0.3\ntype 1001\ntap-tag 7002\nwait 0.3\ntype 654321\ntap Done\nwait "
        "0.3\n"
        "tap 登录\n");
    expectAlertThenFreshLogin("登录失败，原因：MA-账户或密码错误", old, "relogin-login-refused");
    EXPECT_NE(rootAs<LoginViewController>(), first);
    // Nothing typed survives into the new screen's password.
    EXPECT_EQ(UIDriver::viewsWithText("654321").size(), 0u);
    EXPECT_TRUE(logs.contains(">>> 开始登录系统"));
}

TEST_F(SessionTest, LogoutShowsItsProgressForOneSecondThenTheLoginScreen) {
    launchToLogin();
    logIn();
    auto old = app->bizSDK();
    auto oldSettings = app->sysdb();
    old->logout();
    run("expect-text 正在注销……\nwait 0.4\nshot logout\nwait 0.4\nexpect-text 正在注销……\n");
    EXPECT_TRUE(rootAs<MainDrawerViewController>());
    run("wait-gone 正在注销…… 1\nwait-text 登录 1\n");
    ASSERT_TRUE(rootAs<LoginViewController>());
    EXPECT_NE(app->bizSDK(), old);
    EXPECT_NE(app->sysdb(), oldSettings);
    EXPECT_EQ(app->sysdb()->valueWithTag(settingTag::trUid, ""), "1001");
    EXPECT_EQ(app->sysdb()->setting()->trUid, "1001");
    old.reset();
    expectSilenceFor("after logout");
}

TEST_F(SessionTest, SettingChangesReachTheCurrentSessionOnce) {
    launch();
    app->loadLoginView();
    app->loadLoginView();
    time.drain();
    logs.clear();
    app->sysdb()->setValue("30", settingTag::timeOut);
    app->sysdb()->setValue("0", settingTag::isLockSceen);
    app->sysdb()->loadSetting();
    // One observation, however many sessions were started.
    EXPECT_EQ(logs.count("收到参数变更通知"), 1u);
    EXPECT_EQ(app->bizSDK()->timeOut(), 30);
    EXPECT_FALSE(platform::ui::UIApplication::sharedApplication().isIdleTimerDisabled());
    // A store of a settings screen announces its changes the same way.
    sysDB other;
    other.setValue("1", settingTag::isLockSceen);
    other.setValue("15", settingTag::timeOut);
    app->sysdb()->loadSetting();
    EXPECT_TRUE(platform::ui::UIApplication::sharedApplication().isIdleTimerDisabled());
    EXPECT_EQ(app->bizSDK()->timeOut(), 15);
    // The next session starts with the stored time-out.
    app->loadLoginView();
    EXPECT_EQ(app->bizSDK()->timeOut(), 15);
}

TEST_F(SessionTest, TheShakeJumpsToTheChosenScreenOnlyWhenItShould) {
    launchToLogin();
    const auto shook = [&] { return platform::audio::recordedPlays().size(); };
    app->sysdb()->setValue("3", settingTag::shakeValue);
    run("shake\n");  // not logged in
    EXPECT_EQ(shook(), 0u);
    EXPECT_TRUE(logs.contains("接收到设备摇晃事件"));
    logIn();
    auto drawer = rootAs<MainDrawerViewController>();
    ASSERT_TRUE(drawer);

    app->sysdb()->setValue("0", settingTag::shakeValue);
    run("shake\n");
    EXPECT_EQ(shook(), 0u);
    EXPECT_EQ(drawer->currentNavigationControllerType, 0);

    app->sysdb()->setValue("2", settingTag::shakeValue);
    run("rotate left\nshake\nrotate right\nshake\nrotate portrait\n");
    EXPECT_EQ(shook(), 0u);
    EXPECT_EQ(drawer->currentNavigationControllerType, 0);

    // A modal screen is put away first.
    auto modal = std::make_shared<platform::ui::UIViewController>();
    drawer->presentViewController(modal, false);
    time.advance(1);
    ASSERT_EQ(drawer->presentedViewController(), modal.get());
    run("shake\nwait 1\n");
    EXPECT_EQ(shook(), 1u);
    EXPECT_EQ(platform::audio::recordedPlays()[0].file.filename(), "shake.wav");
    EXPECT_EQ(drawer->presentedViewController(), nullptr);
    EXPECT_EQ(drawer->currentNavigationControllerType, 5);
    app->sysdb()->setValue("3", settingTag::shakeValue);
    run("shake\n");
    EXPECT_EQ(drawer->currentNavigationControllerType, 2);
}

TEST_F(SessionTest, TheRootIsReplacedOutsideTheReplacedScreensCallbacks) {
    launchToLogin();
    auto login = rootAs<LoginViewController>();
    bool stillRootInside = false;
    auto button =
        std::make_shared<platform::ui::UIButton>(platform::ui::CGRectMake(0, 500, 320, 60));
    button->setTitle("换屏", platform::ui::UIControlStateNormal);
    button->addTarget(
        [&](platform::ui::UIControl*, platform::ui::UIEvent*) {
            app->loadLoginView();
            // Still on screen while its own handler runs.
            stillRootInside = root() == login && login->view()->window() == app->window.get();
        },
        platform::ui::UIControlEventTouchUpInside);
    login->view()->addSubview(button);
    run("tap 换屏\n");
    EXPECT_TRUE(stillRootInside);
    time.drain();
    EXPECT_NE(rootAs<LoginViewController>(), login);
    EXPECT_EQ(login->view()->window(), nullptr);

    // The banner never covers a new login screen.
    app->showConnectMsg();
    ASSERT_EQ(viewsTagged(AppDelegate::kTagConnectMsg), 1u);
    app->loadLoginView();
    time.drain();
    EXPECT_EQ(viewsTagged(AppDelegate::kTagConnectMsg), 0u);
}

// Nothing looks the session up: each screen is handed it by the one that made
// it. Every screen of a session, from the login screen's dealer list to an
// order screen the board opens, holds the session's service object and
// settings store, and a new login screen is handed the new session.
TEST_F(SessionTest, EveryScreenHoldsTheSessionItWasHanded) {
    launchToLogin();
    const auto holdsSession = [&](const BaseViewController* screen, const std::string& which) {
        ASSERT_NE(screen, nullptr) << which;
        EXPECT_EQ(screen->bizSDK(), app->bizSDK()) << which;
        EXPECT_EQ(screen->sysdb(), app->sysdb()) << which;
    };
    auto login = rootAs<LoginViewController>();
    ASSERT_TRUE(login);
    holdsSession(login.get(), "login screen");
    holdsSession(login->dealerListViewController().get(), "dealer list");

    logIn();
    auto drawer = rootAs<MainDrawerViewController>();
    holdsSession(drawer->menuViewController().get(), "menu");
    auto* right = dynamic_cast<platform::ui::UINavigationController*>(
        drawer->rightDrawerViewController().get());
    ASSERT_TRUE(right);
    holdsSession(dynamic_cast<AccountCenterViewController*>(right->viewControllers().front().get()),
                 "account centre");
    for (int32_t type = 0; type < MainDrawerViewController::kScreenTypes; ++type) {
        drawer->onCallNavigationControllerWithType(type, {});
        auto stack = drawer->navigationControllerForType(type);
        ASSERT_TRUE(stack) << type;
        holdsSession(dynamic_cast<BaseViewController*>(stack->viewControllers().front().get()),
                     "centre screen " + std::to_string(type));
    }
    until([] { return false; }, 1);

    // The board hands it on to the order screen a row opens.
    auto board = std::dynamic_pointer_cast<QuotationViewController>(
        drawer->navigationControllerForType(0)->viewControllers().front());
    ASSERT_TRUE(board);
    drawer->onCallNavigationControllerWithType(0, {});
    until([] { return false; }, 1);
    auto table =
        board->view()->viewWithTag<platform::ui::UITableView>(QuotationViewController::kTagTable);
    ASSERT_TRUE(table);
    board->tableViewDidSelectRowAtIndexPath(table.get(),
                                            platform::ui::NSIndexPath::indexPathForRow(0, 0));
    ASSERT_TRUE(until([&] { return drawer->presentedViewController() != nullptr; }));
    auto* order =
        dynamic_cast<platform::ui::UINavigationController*>(drawer->presentedViewController());
    ASSERT_TRUE(order);
    holdsSession(dynamic_cast<MarketOpenViewController*>(order->topViewController()),
                 "market order");

    drawer->dismissViewControllerAnimated(false);

    // A forced re-login: the fresh login screen holds the new session.
    const auto old = app->bizSDK();
    app->reLoginWith(AppDelegate::kMsgSameUser);
    run("wait-text 确定 5\ntap 确定\nwait-text 登录 5\n");
    auto fresh = rootAs<LoginViewController>();
    ASSERT_TRUE(fresh);
    EXPECT_NE(app->bizSDK(), old);
    holdsSession(fresh.get(), "fresh login screen");
}

TEST_F(SessionTest, TerminationSavesTheDealerStore) {
    launchToLogin();
    auto dealer = DealerManager(app->dealerStore()).getEtyDealerWithDealerKey("KAVFX");
    ASSERT_TRUE(dealer);
    dealer->dealerName = "改了名字";
    auto extra = app->managedObjectContext()->insertNewDealer();
    extra->dealerKey = "LOCAL";
    platform::ui::UIApplication::sharedApplication().enterBackground();
    platform::ui::UIApplication::sharedApplication().enterForeground();
    EXPECT_TRUE(app->managedObjectContext()->hasChanges());  // nothing saved on the way
    platform::ui::UIApplication::sharedApplication().terminate();
    EXPECT_FALSE(app->managedObjectContext()->hasChanges());

    auto next = std::make_shared<AppDelegate>();
    auto stored = DealerManager(next->dealerStore()).getLocalDealerArray();
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), 2u);
    EXPECT_EQ(stored->at(0)->dealerName, "改了名字");
    EXPECT_EQ(stored->at(1)->dealerKey, "LOCAL");
}

}  // namespace
