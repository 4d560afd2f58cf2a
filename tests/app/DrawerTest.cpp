// The session's main screen against the simulated dealer, logged in to the
// dealer whose label file renames the menu: the board in the centre, the
// function menu in the left drawer and the account centre in the right one,
// the centre screens made once and kept, a board row opening the market
// order, and the shake action's screens.
#include "tests/app/AppTestSupport.h"

#include "app/MenuViewController.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/TableView.h"
#include "ui/trade/HoldDetailViewController.h"
#include "ui/trade/MarketOpenViewController.h"
#include "ui/trade/QuotationCell.h"
#include "ui/trade/QuotationViewController.h"
#include "ui/trade/ViewBuySellButton.h"

using namespace kavtest;
using namespace platform::ui;

namespace {

class DrawerTest : public AppTest {
  protected:
    // Logged in to "GOLDEX", the dealer with a label file; the drawer up.
    void logInToLabelledDealer() {
        launchToLogin();
        DealerManager dealers(app->dealerStore());
        bool added = false;
        dealers.searchDelaerWithURL(
            sim.dealerUrl() + "/getdealer.php?key=GOLDEX", [&] { added = true; },
            [](const std::string& code, const std::string& message) {
                ADD_FAILURE() << code << " " << message;
            });
        ASSERT_TRUE(until([&] { return added; }));
        dealers.setCurrentSelectedDealerWithDealerKey("GOLDEX");
        logIn();
        drawer = rootAs<MainDrawerViewController>();
        ASSERT_TRUE(drawer);
        settle();
    }
    // Lets moves and deferred steps finish and the windows lay out.
    void settle(double seconds = 1) {
        until([] { return false; }, seconds);
        UIScreenRenderer::layoutWindows();
    }
    void shot(const std::string& name) { run("shot " + name + "\n"); }
    // The market order of gold, opened from the board at once (the flash
    // order setting on); null when it does not come up.
    MarketOpenViewController* openGoldOrder() {
        app->sysdb()->setValue("1", settingTag::isFlashOrder);
        auto* board = dynamic_cast<QuotationViewController*>(centerScreen());
        if (!board) return nullptr;
        UIDriver::tap(UIDriver::viewWithText("现货黄金", board->view()));
        settle();
        auto* presented = dynamic_cast<UINavigationController*>(drawer->presentedViewController());
        return presented ? dynamic_cast<MarketOpenViewController*>(presented->topViewController())
                         : nullptr;
    }

    UINavigationController* centerStack() const {
        return dynamic_cast<UINavigationController*>(drawer->centerViewController().get());
    }
    UIViewController* centerScreen() const {
        auto* stack = centerStack();
        return stack ? stack->topViewController() : nullptr;
    }
    // The drawer buttons of the centre screen's bar.
    void tapBarButton(bool left) {
        UINavigationBar* bar = centerStack()->navigationBar();
        UIView* item = left ? bar->leftItemView() : bar->rightItemView();
        ASSERT_TRUE(item);
        UIDriver::tap(item);
        settle();
    }
    // The texts of the menu's rows, top to bottom.
    std::vector<std::string> menuRows() {
        auto table = drawer->menuViewController()->view()->viewWithTag<UITableView>(
            MenuViewController::kTagTable);
        std::vector<std::string> rows;
        for (long i = 0; i < table->numberOfRowsInSection(0); ++i) {
            auto* cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(i, 0));
            rows.push_back(cell ? cell->textLabel()->text() : "(not shown)");
        }
        return rows;
    }
    void tapMenuRow(const std::string& text) {
        UIView* row = UIDriver::viewWithText(text, drawer->menuViewController()->view());
        ASSERT_TRUE(row) << text;
        UIDriver::tap(row);
        settle();
    }
    // The board's name labels in row order.
    std::vector<std::string> boardNames(QuotationViewController& board) {
        std::vector<std::string> names;
        for (const auto& row : board.rows())
            names.push_back(row->symbolName);
        return names;
    }

    std::shared_ptr<MainDrawerViewController> drawer;
};

TEST_F(DrawerTest, TheBoardIsInTheCentreTheMenuAtTheLeftTheAccountCentreAtTheRight) {
    logInToLabelledDealer();
    EXPECT_EQ(drawer->currentNavigationControllerType, 0);
    auto* board = dynamic_cast<QuotationViewController*>(centerScreen());
    ASSERT_TRUE(board);
    EXPECT_EQ(drawer->navigationControllerForType(0).get(), centerStack());
    // Every symbol of the session, in the service's order, with its quote.
    std::vector<std::string> expected;
    for (const auto& symbol : app->bizSDK()->symbolInfos())
        expected.push_back(symbol->symbolName);
    EXPECT_EQ(boardNames(*board), expected);
    EXPECT_EQ(UIDriver::viewsOfType<QuotationCell>(board->view()).size(), expected.size());
    EXPECT_TRUE(UIDriver::viewWithText("欧元美元", board->view()));
    EXPECT_EQ(drawer->openSide(), DrawerSideNone);
    shot("drawer-board");

    // The menu button: the menu with the dealer's captions, 260 wide.
    tapBarButton(true);
    EXPECT_EQ(drawer->openSide(), DrawerSideLeft);
    EXPECT_EQ(drawer->visibleLeftDrawerWidth(), 260);
    EXPECT_EQ(menuRows(), (std::vector<std::string>{"报价", "资金账户", "持仓单", "头寸", "挂单",
                                                    "成交记录", "交易商公告"}));
    EXPECT_EQ(drawer->menuViewController()->menuTypeArray(),
              (std::vector<int32_t>{0, 5, 1, 3, 2, 4, 6}));
    EXPECT_TRUE(UIDriver::viewWithText("功能菜单"));
    shot("drawer-menu");
    // The row of the screen already shown closes the menu over the same board.
    tapMenuRow("报价");
    EXPECT_EQ(drawer->openSide(), DrawerSideNone);
    EXPECT_EQ(centerScreen(), board);

    // The user button: the account centre; the same button closes it.
    tapBarButton(false);
    EXPECT_EQ(drawer->openSide(), DrawerSideRight);
    EXPECT_EQ(drawer->visibleRightDrawerWidth(), 260);
    EXPECT_TRUE(UIDriver::viewWithText("用户中心"));
    shot("drawer-account-centre");
    tapBarButton(false);
    EXPECT_EQ(drawer->openSide(), DrawerSideNone);

    // A pan from the left edge opens the menu; a tap on the centre closes it.
    UIDriver::drag(CGPointMake(3, 300), CGPointMake(240, 300), 0.3);
    settle();
    EXPECT_EQ(drawer->openSide(), DrawerSideLeft);
    UIDriver::tapAt(CGPointMake(300, 300));
    settle();
    EXPECT_EQ(drawer->openSide(), DrawerSideNone);
    EXPECT_EQ(centerScreen(), board);

    // Quotes reach the board through the session: the row of the symbol
    // shows the dealer's new bid.
    ASSERT_LT(board->rows().front()->bid.toDouble(), 1.2);
    sim.setQuote("EURUSD", 1.23456);
    ASSERT_TRUE(until([&] { return board->rows().front()->bid.toDouble() > 1.2; }));
    UIScreenRenderer::layoutWindows();
    auto* first = board->view()
                      ->viewWithTag<UITableView>(tradelist::kTagTable)
                      ->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0));
    ASSERT_TRUE(first);
    EXPECT_TRUE(UIDriver::viewWithText("1.234", first)) << UIDriver::dumpViewTree(first);
}

TEST_F(DrawerTest, EachCentreScreenIsMadeOnceAndKeptWithItsStack) {
    logInToLabelledDealer();
    auto boardStack = drawer->navigationControllerForType(0);
    auto* board = centerScreen();
    // Something pushed on the board's stack stays there while away.
    auto pushed = std::make_shared<BaseViewController>();
    boardStack->pushViewController(pushed, false);
    settle();

    for (int32_t type = 1; type < MainDrawerViewController::kScreenTypes; ++type)
        EXPECT_FALSE(drawer->navigationControllerForType(type)) << type;
    // The pushed screen has a back button where the menu button was: the
    // menu comes from the edge.
    UIDriver::drag(CGPointMake(3, 300), CGPointMake(240, 300), 0.3);
    settle();
    ASSERT_EQ(drawer->openSide(), DrawerSideLeft);
    tapMenuRow("持仓单");
    EXPECT_EQ(drawer->openSide(), DrawerSideNone);
    EXPECT_EQ(drawer->currentNavigationControllerType, 1);
    EXPECT_TRUE(dynamic_cast<HoldDetailViewController*>(centerScreen()));
    auto tickets = drawer->navigationControllerForType(1);
    EXPECT_EQ(tickets.get(), centerStack());
    // Its bar has both drawer buttons, and they reach the drawer.
    tapBarButton(true);
    EXPECT_EQ(drawer->openSide(), DrawerSideLeft);
    shot("drawer-menu-over-tickets");

    tapMenuRow("头寸");
    EXPECT_EQ(drawer->currentNavigationControllerType, 3);
    auto positions = drawer->navigationControllerForType(3);
    ASSERT_TRUE(positions);
    EXPECT_EQ(positions.get(), centerStack());
    EXPECT_TRUE(UIDriver::viewWithText("头寸", positions->view()));

    tapBarButton(true);
    tapMenuRow("报价");
    EXPECT_EQ(drawer->currentNavigationControllerType, 0);
    EXPECT_EQ(drawer->navigationControllerForType(0), boardStack);
    EXPECT_EQ(centerStack(), boardStack.get());
    EXPECT_EQ(boardStack->viewControllers().size(), 2u);
    EXPECT_EQ(centerScreen(), pushed.get());
    boardStack->popViewControllerAnimated(false);
    settle();
    EXPECT_EQ(centerScreen(), board);

    // Second visits reuse the screens made on the first.
    tapBarButton(true);
    tapMenuRow("头寸");
    EXPECT_EQ(drawer->navigationControllerForType(3), positions);
    EXPECT_EQ(centerStack(), positions.get());
    tapBarButton(true);
    tapMenuRow("持仓单");
    EXPECT_EQ(drawer->navigationControllerForType(1), tickets);
    EXPECT_EQ(centerStack(), tickets.get());

    // A type beyond the menu only changes the type asked for.
    drawer->onCallNavigationControllerWithType(9, {});
    settle();
    EXPECT_EQ(drawer->currentNavigationControllerType, 9);
    EXPECT_EQ(centerStack(), tickets.get());
    drawer->onCallNavigationControllerWithType(-1, {});
    settle();
    EXPECT_EQ(drawer->currentNavigationControllerType, -1);
    EXPECT_EQ(centerStack(), tickets.get());
    EXPECT_FALSE(drawer->navigationControllerForType(-1));
    EXPECT_FALSE(drawer->navigationControllerForType(7));

    // A side number that names no drawer toggles nothing.
    for (int32_t side : {0, 3, -1}) {
        drawer->onCallToggleDrawerSide(side);
        settle();
        EXPECT_EQ(drawer->openSide(), DrawerSideNone) << side;
    }
    drawer->onCallToggleDrawerSide(2);
    settle();
    EXPECT_EQ(drawer->openSide(), DrawerSideRight);
}

TEST_F(DrawerTest, ABoardRowOpensTheMarketOrderScreenOfItsSymbol) {
    logInToLabelledDealer();
    auto* board = dynamic_cast<QuotationViewController*>(centerScreen());
    ASSERT_TRUE(board);
    UIView* gold = UIDriver::viewWithText("现货黄金", board->view());
    ASSERT_TRUE(gold);
    UIDriver::tap(gold);
    settle();
    auto* presented = dynamic_cast<UINavigationController*>(drawer->presentedViewController());
    ASSERT_TRUE(presented) << UIDriver::dumpViewTree();
    auto* order = dynamic_cast<MarketOpenViewController*>(presented->topViewController());
    ASSERT_TRUE(order);
    ASSERT_TRUE(order->symbolInfo());
    EXPECT_EQ(order->symbolInfo()->symbolCode, "XAUUSD");
    shot("drawer-board-market-order");
    // The shake puts the order screen away and shows the pending orders,
    // under the dealer's own caption of that row.
    app->sysdb()->setValue("3", settingTag::shakeValue);
    run("shake\nwait 1\n");
    EXPECT_EQ(drawer->presentedViewController(), nullptr);
    EXPECT_EQ(drawer->currentNavigationControllerType, 2);
    EXPECT_EQ(centerStack(), drawer->navigationControllerForType(2).get());
    EXPECT_EQ(centerScreen()->title(), "挂单");
}

TEST_F(DrawerTest, TheBoardComesBackUprightFromAnOrderClosedWithTheDeviceSideways) {
    logInToLabelledDealer();
    auto* order = openGoldOrder();
    ASSERT_TRUE(order);
    UIDriver::tap(order->view()->viewWithTag(ViewBuySellButton::kTagBuy).get());
    ASSERT_TRUE(until([] { return UIDriver::viewWithText("下单成功。") != nullptr; }));
    settle();
    // Turned while the result shows: the alert on top keeps the interface
    // upright. Its answer puts the order screen away.
    run("rotate left\n");
    auto& application = UIApplication::sharedApplication();
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientation::Portrait);
    int turns = 0;
    auto counting = platform::NotificationCenter::defaultCenter().addObserver(
        UIApplicationDidChangeStatusBarOrientationNotification,
        [&](const platform::Notification&) { ++turns; });
    run("tap 确定\nwait 1\n");
    ASSERT_EQ(drawer->presentedViewController(), nullptr);
    // The order screen on its way out turned the interface sideways as the
    // alert went, and back as it was gone: the board stayed upright, and
    // nothing turned.
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientation::Portrait);
    EXPECT_EQ(turns, 0);
    run("rotate portrait\n");
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientation::Portrait);
    EXPECT_EQ(UIScreenRenderer::screenSize().width, 320);
}

TEST_F(DrawerTest, AnOrderScreenPutAwayWhileTurnedSidewaysLeavesTheBoardUpright) {
    logInToLabelledDealer();
    auto* order = openGoldOrder();
    ASSERT_TRUE(order);
    // The device turned while the order is on its way: the order screen
    // turns with it, and its result's answer puts it away sideways.
    sim.holdReply("3001");
    UIDriver::tap(order->view()->viewWithTag(ViewBuySellButton::kTagBuy).get());
    ASSERT_FALSE(sim.waitForPackages("3001", 1).empty());
    run("rotate left\n");
    auto& application = UIApplication::sharedApplication();
    ASSERT_EQ(application.statusBarOrientation(), UIInterfaceOrientation::LandscapeLeft);
    sim.releaseHeld();
    ASSERT_TRUE(until([] { return UIDriver::viewWithText("下单成功。") != nullptr; }));
    run("wait 0.5\ntap 确定\nwait 1\n");
    ASSERT_EQ(drawer->presentedViewController(), nullptr);
    // The board, laid out upright only, stood sideways and stayed so with
    // the device upright again.
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientation::Portrait);
    run("rotate portrait\n");
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientation::Portrait);
    EXPECT_EQ(UIScreenRenderer::screenSize().width, 320);
    shot("board-after-a-sideways-order");
}

TEST_F(DrawerTest, TheShakeSettingOpensItsScreens) {
    logInToLabelledDealer();
    const auto shake = [&](const std::string& value) {
        app->sysdb()->setValue(value, settingTag::shakeValue);
        run("shake\nwait 1\n");
    };
    shake("2");
    EXPECT_EQ(drawer->currentNavigationControllerType, 5);
    EXPECT_EQ(centerStack(), drawer->navigationControllerForType(5).get());
    EXPECT_EQ(centerScreen()->title(), "资金账户");
    // Shown, it has asked for the account and shows its currency.
    EXPECT_TRUE(until([&] {
        UIScreenRenderer::layoutWindows();
        return UIDriver::viewWithText("USD", centerScreen()->view()) != nullptr;
    })) << UIDriver::dumpViewTree(centerScreen()->view());
    shot("drawer-shake-account");
    shake("3");
    EXPECT_EQ(drawer->currentNavigationControllerType, 2);
    EXPECT_EQ(centerStack(), drawer->navigationControllerForType(2).get());
    shake("1");
    EXPECT_EQ(drawer->currentNavigationControllerType, 0);
    EXPECT_TRUE(dynamic_cast<QuotationViewController*>(centerScreen()));
    // With the menu open the shake closes it over the chosen screen.
    tapBarButton(true);
    ASSERT_EQ(drawer->openSide(), DrawerSideLeft);
    shake("2");
    EXPECT_EQ(drawer->openSide(), DrawerSideNone);
    EXPECT_EQ(drawer->currentNavigationControllerType, 5);

    // Values the setting screen cannot store: a row number is taken as one,
    // anything beyond the menu changes nothing.
    shake("6");
    EXPECT_EQ(drawer->currentNavigationControllerType, 6);
    auto* shown = centerStack();
    // A number past the integers names no row either (not the row of its
    // low bits: 2^32 + 2 is no 2).
    for (const char* value : {"7", "42", "4294967298"}) {
        shake(value);
        EXPECT_EQ(drawer->currentNavigationControllerType, 6) << value;
        EXPECT_EQ(centerStack(), shown) << value;
    }
    EXPECT_EQ(MenuViewController::rowForShakeValue(-1), -1);
    EXPECT_EQ(MenuViewController::rowForShakeValue(3), 4);
}

}  // namespace
