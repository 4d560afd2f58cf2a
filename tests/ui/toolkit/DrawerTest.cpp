// The drawer container driven by calls, on the virtual clock: opening,
// closing and toggling with their durations, refusals, the three ways of
// replacing the centre with the appearance calls in order, the centre's hit
// test in each interaction mode, widths and restoration.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/ui/toolkit/DrawerStage.h"

using namespace drawertest;

namespace {

using Strings = std::vector<std::string>;

TEST(Drawer, OpensClosesAndTogglesByCallWithTheirDurations) {
    DrawerStage s;
    std::vector<bool> done;
    // 260 points at 840 points per second: 0.3095 s.
    s.drawer->openDrawerSide(DrawerSideLeft, true, s.record(done));
    EXPECT_TRUE(s.drawer->isAnimatingDrawer());
    EXPECT_FALSE(s.drawer->view()->isUserInteractionEnabled());
    s.time.advance(0.30);
    EXPECT_TRUE(done.empty());
    s.time.advance(0.02);
    ASSERT_EQ(done, std::vector<bool>{true});
    EXPECT_EQ(s.drawer->openSide(), DrawerSideLeft);
    EXPECT_EQ(s.centerX(), 260);
    EXPECT_TRUE(s.drawer->view()->isUserInteractionEnabled());
    EXPECT_EQ(*s.log, (Strings{"left willAppear", "left didAppear"}));

    // Towards the other side: refused at once, nothing moves.
    s.drawer->toggleDrawerSide(DrawerSideRight, true, s.record(done));
    EXPECT_EQ(done.back(), false);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideLeft);

    // Towards the open side: closes, again 0.3095 s.
    s.drawer->toggleDrawerSide(DrawerSideLeft, true, s.record(done));
    // A second move while one runs is refused.
    s.drawer->openDrawerSide(DrawerSideRight, true, s.record(done));
    EXPECT_EQ(done.back(), false);
    s.time.advance(0.30);
    EXPECT_EQ(done.size(), 3u);
    s.time.advance(0.02);
    EXPECT_EQ(done.back(), true);
    EXPECT_EQ(s.centerX(), 0);
    EXPECT_TRUE(s.left->view()->isHidden());

    // 100 points would take 0.119 s: the move lasts the minimum 0.15 s.
    s.drawer->setMaximumRightDrawerWidth(100);
    done.clear();
    s.drawer->toggleDrawerSide(DrawerSideRight, true, s.record(done));
    s.time.advance(0.14);
    EXPECT_TRUE(done.empty());
    s.time.advance(0.02);
    EXPECT_EQ(done, std::vector<bool>{true});
    EXPECT_EQ(s.drawer->visibleRightDrawerWidth(), 100);
}

// A move without animation is over when the call returns, so the next call
// in the same turn starts from where it left the drawer. Ended only at the
// next turn, a close and an open at once left the opened drawer's view
// hidden (black beside the centre) and the drawer told it had gone.
TEST(Drawer, MovesWithoutAnimationAreOverWhenTheCallReturns) {
    DrawerStage s;
    std::vector<bool> done;
    s.drawer->openDrawerSide(DrawerSideLeft, false, s.record(done));
    EXPECT_EQ(done, std::vector<bool>{true});
    EXPECT_EQ(s.drawer->openSide(), DrawerSideLeft);
    EXPECT_EQ(s.centerX(), 260);
    EXPECT_EQ(*s.log, (Strings{"left willAppear", "left didAppear"}));

    // Closed and opened again in one turn.
    s.log->clear();
    s.drawer->closeDrawerAnimated(false, s.record(done));
    s.drawer->openDrawerSide(DrawerSideLeft, false, s.record(done));
    s.time.advance(1);
    EXPECT_EQ(done, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(s.drawer->openSide(), DrawerSideLeft);
    EXPECT_EQ(s.centerX(), 260);
    EXPECT_FALSE(s.left->view()->isHidden());
    EXPECT_EQ(*s.log, (Strings{"left willDisappear", "left didDisappear", "left willAppear",
                               "left didAppear"}));

    // From one side to the other in one turn.
    s.log->clear();
    s.drawer->closeDrawerAnimated(false, nullptr);
    s.drawer->openDrawerSide(DrawerSideRight, false, nullptr);
    s.time.advance(1);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideRight);
    EXPECT_EQ(s.centerX(), -260);
    EXPECT_FALSE(s.right->view()->isHidden());
    EXPECT_TRUE(s.left->view()->isHidden());
    EXPECT_EQ(*s.log, (Strings{"left willDisappear", "left didDisappear", "right willAppear",
                               "right didAppear"}));
    EXPECT_TRUE(s.drawer->view()->isUserInteractionEnabled());
}

TEST(Drawer, OpeningASideWithoutADrawerIsRefusedAndTheContainerStaysUsable) {
    DrawerStage s(true, false);
    std::vector<bool> done;
    for (DrawerSide side : {DrawerSideRight, DrawerSideNone, static_cast<DrawerSide>(3)}) {
        done.clear();
        s.drawer->openDrawerSide(side, true, s.record(done));
        s.drawer->toggleDrawerSide(side, true, s.record(done));
        EXPECT_EQ(done, (std::vector<bool>{false, false})) << drawerSideNumber(side);
        EXPECT_FALSE(s.drawer->isAnimatingDrawer());
        EXPECT_TRUE(s.drawer->view()->isUserInteractionEnabled());
        EXPECT_EQ(s.drawer->openSide(), DrawerSideNone);
    }
    // Nor does a drawer or a width for a side that holds no drawers change
    // anything.
    auto stray = std::make_shared<Screen>("stray", s.log);
    s.drawer->setDrawerViewController(stray, DrawerSideNone);
    s.drawer->setMaximumDrawerWidth(100, DrawerSideNone, false, nullptr);
    EXPECT_EQ(stray->parentViewController(), nullptr);
    EXPECT_EQ(s.centerX(), 0);
    EXPECT_TRUE(s.log->empty());

    // The container still opens the side it has, and takes touches.
    s.drawer->setOpenDrawerGestureModeMask(OpenGesturePanCenterView);
    s.drag({60, 300}, {260, 300});
    s.time.advance(1);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideLeft);

    // The width of a side without a drawer reads 0; the set one returns
    // with the drawer.
    EXPECT_EQ(s.drawer->maximumRightDrawerWidth(), 0);
    s.drawer->setRightDrawerViewController(s.right);
    EXPECT_EQ(s.drawer->maximumRightDrawerWidth(), 260);
}

TEST(Drawer, ReplacingTheCentreWithoutMovingCallsTheAppearanceOfBoth) {
    auto log = std::make_shared<std::vector<std::string>>();
    auto first = std::make_shared<Screen>("first", log);
    DrawerStage s(true, true, first);
    log->clear();
    auto second = std::make_shared<Screen>("second", log);
    s.drawer->setCenterViewController(second);
    EXPECT_EQ(*log, (Strings{"first willDisappear", "first didDisappear", "second willAppear",
                             "second didAppear"}));

    // The same centre again changes nothing.
    log->clear();
    s.drawer->setCenterViewController(second);
    s.drawer->setCenterViewControllerWithCloseAnimation(second, true, nullptr);
    EXPECT_TRUE(log->empty());

    // With a drawer open and no animation, the swap leaves the drawer open.
    s.drawer->openDrawerSide(DrawerSideLeft, false, nullptr);
    s.time.drain();
    log->clear();
    std::vector<bool> done;
    s.drawer->setCenterViewControllerWithCloseAnimation(first, false, s.record(done));
    EXPECT_EQ(done, std::vector<bool>{true});
    EXPECT_EQ(*log, (Strings{"second willDisappear", "second didDisappear", "first willAppear",
                             "first didAppear"}));
    EXPECT_EQ(s.centerX(), 260);
}

TEST(Drawer, ReplacingTheCentreWithTheCloseAnimationTellsBothCentresAndTheDrawer) {
    DrawerStage s;
    auto log = s.log;
    auto first = std::make_shared<Screen>("first", log);
    s.drawer->setCenterViewController(first);
    s.drawer->openDrawerSide(DrawerSideLeft, false, nullptr);
    s.time.drain();
    log->clear();
    auto second = std::make_shared<Screen>("second", log);
    std::vector<bool> done;
    s.drawer->setCenterViewControllerWithCloseAnimation(second, true, s.record(done));
    // The old centre leaves at once; the new one appears while the drawer
    // closes over it.
    EXPECT_EQ(*log, (Strings{"first willDisappear", "first didDisappear", "second willAppear",
                             "left willDisappear"}));
    EXPECT_EQ(s.drawer->openSide(), DrawerSideLeft);
    s.time.advance(0.31);
    EXPECT_EQ(*log, (Strings{"first willDisappear", "first didDisappear", "second willAppear",
                             "left willDisappear", "left didDisappear", "second didAppear"}));
    EXPECT_EQ(done, std::vector<bool>{true});
    EXPECT_FALSE(first->isAppearing());
}

TEST(Drawer, ReplacingTheCentreWithTheFullCloseSlidesItOffAndBackInOrder) {
    DrawerStage s;
    auto log = s.log;
    auto first = std::make_shared<Screen>("first", log);
    s.drawer->setCenterViewController(first);
    s.drawer->openDrawerSide(DrawerSideRight, false, nullptr);
    s.time.drain();
    log->clear();
    auto second = std::make_shared<Screen>("second", log);
    std::vector<bool> done;
    s.drawer->setCenterViewControllerWithFullCloseAnimation(second, true, s.record(done));
    EXPECT_EQ(*log, (Strings{"first willDisappear"}));
    EXPECT_TRUE(s.drawer->isAnimatingDrawer());
    // First leg: from -260 to -320, 60 points, the minimum 0.15 s; the drawer
    // takes the whole width meanwhile.
    s.time.advance(0.151);
    EXPECT_EQ(s.shownCenterX(), -320);
    EXPECT_EQ(s.right->view()->frame().size.width, 320);
    EXPECT_EQ(*log, (Strings{"first willDisappear", "first didDisappear", "second willAppear",
                             "right willDisappear"}));
    // Second leg after 0.1 s: 320 points at 840 per second.
    s.time.advance(0.1 + 0.19);
    EXPECT_NEAR(s.shownCenterX(), -160, 40);
    s.time.advance(0.19);
    EXPECT_EQ(*log, (Strings{"first willDisappear", "first didDisappear", "second willAppear",
                             "right willDisappear", "second didAppear", "right didDisappear"}));
    EXPECT_EQ(done, std::vector<bool>{true});
    EXPECT_EQ(s.drawer->openSide(), DrawerSideNone);
    EXPECT_EQ(s.right->view()->frame(), CGRectMake(60, 0, 260, 568));

    // With nothing open there is nothing to slide: the swap still tells
    // both centres.
    log->clear();
    s.drawer->setCenterViewControllerWithFullCloseAnimation(first, true, s.record(done));
    EXPECT_EQ(*log, (Strings{"second willDisappear", "second didDisappear", "first willAppear",
                             "first didAppear"}));
    EXPECT_EQ(done.back(), true);
}

// A centre set while the full close slides the old one off is the newer
// wish: the slide's end must not put the centre it started with back over it.
TEST(Drawer, ACentreSetDuringTheFullCloseIsNotReplacedByTheSlidesOwn) {
    DrawerStage s;
    s.drawer->openDrawerSide(DrawerSideLeft, false, nullptr);
    auto slid = std::make_shared<Screen>("slid", s.log);
    auto later = std::make_shared<Screen>("later", s.log);
    std::vector<bool> done;
    s.drawer->setCenterViewControllerWithFullCloseAnimation(slid, true, s.record(done));
    s.time.advance(0.05);
    s.drawer->setCenterViewController(later);
    s.time.advance(2);
    EXPECT_EQ(s.drawer->centerViewController().get(), later.get());
    EXPECT_EQ(later->parentViewController(), s.drawer.get());
    EXPECT_EQ(slid->parentViewController(), nullptr);
    EXPECT_FALSE(slid->isViewLoaded() && slid->view()->superview());
    EXPECT_EQ(s.drawer->openSide(), DrawerSideNone);
    EXPECT_EQ(s.centerX(), 0);
    EXPECT_EQ(done.back(), true);
    EXPECT_EQ(std::count(s.log->begin(), s.log->end(), "slid willAppear"), 0);
    EXPECT_EQ(std::count(s.log->begin(), s.log->end(), "later didAppear"), 1);
}

TEST(Drawer, CentreTakesTouchesWhileADrawerIsOpenOnlyAsItsModeAllows) {
    DrawerStage s;
    const CGPoint onContent{200, 300};
    auto hit = [&](CGPoint p) { return s.window->hitTest(p, nullptr); };
    auto inCenter = [&](UIView* v) {
        return v && v->isDescendantOfView(s.drawer->centerContainerView());
    };
    EXPECT_EQ(hit(onContent), s.content->view());

    s.drawer->openDrawerSide(DrawerSideLeft, false, nullptr);
    s.time.drain();
    UIScreenRenderer::layoutWindows();
    // The bar moved along with the centre. Default mode: the bar only.
    const CGPoint onBar{290, 40};
    EXPECT_TRUE(hit(onBar)->isDescendantOfView(s.nav->navigationBar()));
    EXPECT_FALSE(inCenter(hit({290, 300})));

    s.drawer->setCenterHiddenInteractionMode(CenterInteractionNone);
    EXPECT_FALSE(inCenter(hit(onBar)));
    EXPECT_FALSE(inCenter(hit({290, 300})));

    s.drawer->setCenterHiddenInteractionMode(CenterInteractionFull);
    EXPECT_TRUE(hit(onBar)->isDescendantOfView(s.nav->navigationBar()));
    EXPECT_EQ(hit({290, 300}), s.content->view());
}

TEST(Drawer, DrawersTakeTheirStripAndFollowANewWidth) {
    DrawerStage s;
    EXPECT_EQ(kav_visibleDrawerFrame(s.right.get()), CGRectMake(60, 0, 260, 568));
    EXPECT_TRUE(CGRectIsNull(kav_visibleDrawerFrame(s.nav.get())));
    EXPECT_EQ(kav_drawerController(s.content.get()), s.drawer.get());
    // An open side follows a new width, animated at 840 points per second.
    s.drawer->openDrawerSide(DrawerSideLeft, false, nullptr);
    s.time.drain();
    std::vector<bool> done;
    s.drawer->setMaximumLeftDrawerWidth(200, true, s.record(done));
    s.time.advance(0.14);
    EXPECT_TRUE(done.empty());
    s.time.advance(0.02);
    EXPECT_EQ(done, std::vector<bool>{true});
    EXPECT_EQ(s.centerX(), 200);
    EXPECT_EQ(s.left->view()->frame(), CGRectMake(0, 0, 200, 568));
}

TEST(Drawer, RestoredStateOpensTheRecordedSideWithoutAnimation) {
    DrawerStage s(false, false);
    auto left = std::make_shared<Screen>("restored-left", s.log);
    KAVStateCoder closed;
    closed.encodeObject(s.right, "KAVDrawerRightDrawer");
    s.drawer->decodeRestorableStateWithCoder(closed);
    s.time.drain();
    EXPECT_EQ(s.drawer->rightDrawerViewController(), s.right);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideNone);

    KAVStateCoder open;
    open.encodeObject(left, "KAVDrawerLeftDrawer");
    open.encodeInteger(1, "KAVDrawerOpenSide");
    s.drawer->decodeRestorableStateWithCoder(open);
    EXPECT_FALSE(s.drawer->isAnimatingDrawer());
    s.time.drain();
    EXPECT_EQ(s.centerX(), 260);
    EXPECT_EQ(*s.log, (Strings{"restored-left willAppear", "restored-left didAppear"}));
    KAVStateCoder recorded;
    s.drawer->encodeRestorableStateWithCoder(recorded);
    EXPECT_EQ(recorded.decodeIntegerForKey("KAVDrawerOpenSide"), 1);
    EXPECT_EQ(recorded.decodeObjectForKey("KAVDrawerCenter"), s.nav);
}

TEST(Drawer, ARecordedNumberThatNamesNoSideOpensNothing) {
    // Beyond 32 bits too: 2^32 + 1 is not the left side.
    for (int64_t number : {int64_t{3}, int64_t{-1}, (int64_t{1} << 32) + 1}) {
        DrawerStage s(true, true);
        KAVStateCoder stored;
        stored.encodeInteger(number, "KAVDrawerOpenSide");
        s.drawer->decodeRestorableStateWithCoder(stored);
        s.time.drain();
        EXPECT_EQ(s.drawer->openSide(), DrawerSideNone) << number;
        EXPECT_EQ(s.centerX(), 0) << number;
    }
}

}  // namespace
