// The base screen, navigation and cell classes: the session they are handed
// and hand on, the drawer buttons and their sides, the rotation
// rules; and, against the simulated dealer, a logged-in session's screens in
// the drawer, opened and closed from the bar buttons and by a finger.
#include <gtest/gtest.h>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/ui/Label.h"
#include "tests/support/DealerLogin.h"
#include "tests/support/DealerSim.h"
#include "tests/ui/toolkit/DrawerStage.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/toolkit/BaseTableViewCell.h"
#include "ui/toolkit/BaseViewController.h"
#include "ui/toolkit/RotateNavigationController.h"

using namespace drawertest;

namespace {

struct SideRecorder : BaseViewControllerDelegate {
    void onCallNavigationControllerWithType(int32_t, const std::any&) override {}
    void onCallToggleDrawerSide(int32_t side) override { sides.push_back(side); }
    std::vector<int32_t> sides;
};

class TurningScreen : public BaseViewController {
  public:
    bool shouldAutorotate() const override { return true; }
};

TEST(BaseScreens, ScreensAndCellsUseTheSessionTheyAreHandedAndHandItOn) {
    kavtest::VirtualTime time;
    const ScreenContext session{std::make_shared<KAVBizSDK>(), std::make_shared<sysDB>()};
    // Handed nothing: no session, also once the view has loaded.
    auto bare = std::make_shared<BaseViewController>();
    bare->view();
    EXPECT_EQ(bare->bizSDK(), nullptr);
    EXPECT_EQ(bare->sysdb(), nullptr);
    // Handed when made, or after it and before the view loads; the view's
    // loading keeps it.
    auto made = std::make_shared<BaseViewController>(session);
    auto set = std::make_shared<BaseViewController>();
    set->setContext(session);
    for (const auto& screen : {made, set}) {
        screen->view();
        EXPECT_EQ(screen->bizSDK(), session.bizSDK);
        EXPECT_EQ(screen->sysdb(), session.sysdb);
        // What it hands on to the screens and cells it makes.
        EXPECT_EQ(screen->context().bizSDK, session.bizSDK);
        EXPECT_EQ(screen->context().sysdb, session.sysdb);
    }
    BaseTableViewCell cell(UITableViewCellStyle::Default, "row", made->context());
    EXPECT_EQ(cell.bizSDK(), session.bizSDK);
    EXPECT_EQ(cell.sysdb(), session.sysdb);
}

TEST(BaseScreens, DrawerButtonsSendTheirSideAndStacksKeepTheRotationRule) {
    kavtest::VirtualTime time;
    auto window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    auto screen = std::make_shared<TurningScreen>();
    auto nav = std::make_shared<BaseNavigationController>(screen);
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    screen->setupLeftMenuButton();
    screen->setupRightMenuButton();
    UIScreenRenderer::layoutWindows();
    UINavigationBar* bar = nav->navigationBar();
    ASSERT_TRUE(bar->leftItemView() && bar->rightItemView());
    EXPECT_EQ(screen->navigationItem().leftBarButtonItem->image,
              UIImage::imageNamed("nav_menuicon"));

    UIDriver::tap(bar->leftItemView());  // no delegate: nothing
    auto recorder = std::make_shared<SideRecorder>();
    screen->setDelegate(recorder);
    UIDriver::tap(bar->leftItemView());
    UIDriver::tap(bar->rightItemView());
    EXPECT_EQ(recorder->sides, (std::vector<int32_t>{1, 2}));
    // The screen does not keep its delegate alive.
    recorder.reset();
    UIDriver::tap(bar->leftItemView());

    // The plain stack never rotates, the rotating one when its top screen does.
    EXPECT_EQ(nav->view()->backgroundColor(), UIColor::grey255(30));
    EXPECT_FALSE(nav->shouldAutorotate());
    window->setRootViewController(nullptr);
    time.drain();
    EXPECT_TRUE(std::make_shared<RotateNavigationController>(screen)->shouldAutorotate());
    EXPECT_FALSE(
        std::make_shared<RotateNavigationController>(std::make_shared<BaseViewController>())
            ->shouldAutorotate());
}

// ---- a logged-in session in the drawer -------------------------------------

// A screen listing captions, one label each: the menu, the account panel,
// and the board, which lists the session's symbols.
class ListScreen : public BaseViewController {
  public:
    ListScreen(std::vector<std::string> items, UIColor colour)
        : items_(std::move(items)), colour_(colour) {}
    void viewDidLoad() override {
        BaseViewController::viewDidLoad();
        view()->setBackgroundColor(colour_);
        if (items_.empty() && bizSDK())
            for (const auto& symbol : bizSDK()->symbolInfos())
                items_.push_back(symbol->symbolCode + "  " + symbol->symbolName);
        CGFloat y = 80;
        for (const auto& item : items_) {
            auto label = std::make_shared<UILabel>(CGRectMake(20, y, 280, 28));
            label->setText(item);
            label->setTextColor(UIColor::grey255(240));
            view()->addSubview(label);
            y += 40;
        }
    }

  private:
    std::vector<std::string> items_;
    UIColor colour_;
};

// The main drawer's stand-in: the screens' drawer buttons toggle its sides.
class DrawerRoot : public KAVDrawerController, public BaseViewControllerDelegate {
  public:
    void onCallNavigationControllerWithType(int32_t, const std::any&) override {}
    void onCallToggleDrawerSide(int32_t side) override {
        toggleDrawerSide(static_cast<DrawerSide>(side), true, nullptr);
    }
};

TEST(BaseScreensLive, LoggedInBoardOpensItsDrawersFromTheBarAndByFinger) {
    kavtest::VirtualTime time;
    kavtest::DealerSim sim;
    auto sdk = std::make_shared<KAVBizSDK>();
    ASSERT_TRUE(kavtest::logInAtDealer(time, *sdk, sim));
    ASSERT_FALSE(sdk->symbolInfos().empty());

    auto window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    auto board = std::make_shared<ListScreen>(std::vector<std::string>{}, UIColor::grey255(30));
    board->setContext({sdk, std::make_shared<sysDB>()});
    board->setTitle("行情");
    board->setupLeftMenuButton();
    board->setupRightMenuButton();
    auto nav = std::make_shared<BaseNavigationController>(board);
    nav->navigationBar()->setBarStyle(UIBarStyle::Black);
    nav->navigationBar()->setBarTintColor(UIColor::grey255(40));
    auto menu = std::make_shared<ListScreen>(
        std::vector<std::string>{"行情报价", "市价建仓", "持仓明细", "挂单列表", "系统设置"},
        UIColor::grey255(40));
    auto account = std::make_shared<ListScreen>(std::vector<std::string>{"账户信息"},
                                                UIColor::rgb255(39, 140, 192));
    auto root = KAVDrawerController::create<DrawerRoot>(nav, menu, account);
    root->setMaximumLeftDrawerWidth(260);
    root->setOpenDrawerGestureModeMask(OpenGestureModeAll);
    root->setCloseDrawerGestureModeMask(CloseGestureModeAll);
    board->setDelegate(root->weakSelf<DrawerRoot>());
    window->setRootViewController(root);
    window->makeKeyAndVisible();
    UIScreenRenderer::layoutWindows();

    // The board shows the session's symbols.
    EXPECT_EQ(board->bizSDK(), sdk);
    const auto& first = sdk->symbolInfos().front();
    ASSERT_NE(UIDriver::viewWithText(first->symbolCode + "  " + first->symbolName), nullptr);
    auto shot = UIDriver::renderImage(1);
    writeScreenshot(shot, "drawer-closed");
    EXPECT_NEAR(shot->pixelAt(5, 300).red, 30 / 255.0, 0.02);

    // A finger holds the board half way: the menu shows beside it.
    TouchInput::touchDown(1, {20, 300});
    time.advance(0.1);
    TouchInput::touchMove(1, {150, 300});
    EXPECT_EQ(root->centerContainerView()->frame().origin.x, 130);
    shot = UIDriver::renderImage(1);
    writeScreenshot(shot, "drawer-half-open");
    EXPECT_NEAR(shot->pixelAt(5, 300).red, 40 / 255.0, 0.02);
    EXPECT_NEAR(shot->pixelAt(200, 300).red, 30 / 255.0, 0.02);
    // Let go, slowly, short of half way: it closes.
    TouchInput::touchMove(1, {140, 300});
    time.advance(0.3);
    TouchInput::touchUp(1, {140, 300});
    time.advance(1);
    EXPECT_EQ(root->openSide(), DrawerSideNone);

    // The menu button opens the menu; the menu's first item is then on screen.
    UIDriver::tap(nav->navigationBar()->leftItemView());
    time.advance(1);
    EXPECT_EQ(root->openSide(), DrawerSideLeft);
    EXPECT_TRUE(UIDriver::isVisible(UIDriver::viewWithText("行情报价")));
    shot = UIDriver::renderImage(1);
    writeScreenshot(shot, "drawer-open");
    EXPECT_NEAR(shot->pixelAt(5, 300).red, 40 / 255.0, 0.02);
    // The board's bar still takes taps: its user button cannot open the
    // other side; its menu button closes.
    UIDriver::tap(nav->navigationBar()->rightItemView());
    time.advance(1);
    EXPECT_EQ(root->openSide(), DrawerSideLeft);
    UIDriver::tap(nav->navigationBar()->leftItemView());
    time.advance(1);
    EXPECT_EQ(root->openSide(), DrawerSideNone);

    window->setRootViewController(nullptr);
    sdk->stopConnect();
    time.advance(1);
}

}  // namespace
