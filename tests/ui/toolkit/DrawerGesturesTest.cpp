// The drawer's gestures and motion on the virtual clock, with the headless
// driver's fingers: the stretch past a drawer's width, the end-of-pan rule
// on both sides of 200 points per second, the bounce's keyframes, the
// gesture masks, a pan that begins during a move, and a pan that starts
// over a table row.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "tests/ui/toolkit/DrawerStage.h"

using namespace drawertest;

namespace {

using Strings = std::vector<std::string>;

// The running move of the centre container: its duration and curve.
struct Move {
    double duration = 0;
    CAMediaTimingFunction curve;
};
Move centerMove(DrawerStage& s) {
    auto a = s.drawer->centerContainerView()->layer().animationForKey("position");
    if (!a) return {};
    return {a->duration, a->timingFunction};
}
const CAMediaTimingFunction kEaseOut =
    CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseOut);
const CAMediaTimingFunction kEaseInOut =
    CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseInEaseOut);

// The side open, then the centre parked at x as a pan would leave it.
void parkAt(DrawerStage& s, DrawerSide side, CGFloat x) {
    s.drawer->openDrawerSide(side, false, nullptr);
    s.time.drain();
    CGRect f = s.drawer->centerContainerView()->frame();
    f.origin.x = x;
    s.drawer->centerContainerView()->setFrame(f);
}

TEST(DrawerGestures, PullPastTheWidthResistsAndStretchesTheDrawer) {
    DrawerStage s;
    // 320 wide, 260 open: maximum overshoot 6, linear range 4.5.
    EXPECT_EQ(s.drawer->roundedOriginXForDrawerConstriants(262), 262);
    EXPECT_EQ(s.drawer->roundedOriginXForDrawerConstriants(270), 265);
    EXPECT_EQ(s.drawer->roundedOriginXForDrawerConstriants(300), 266);
    EXPECT_EQ(s.drawer->roundedOriginXForDrawerConstriants(400), 268);
    EXPECT_EQ(s.drawer->roundedOriginXForDrawerConstriants(-270), -265);
    CGFloat previous = 0;
    for (CGFloat x = 0; x < 20000; x += 7) {
        const CGFloat got = s.drawer->roundedOriginXForDrawerConstriants(x);
        EXPECT_LE(got, 269) << x;
        EXPECT_GE(got, previous) << x;
        previous = got;
    }

    // A finger 40 points beyond the open position holds the centre at 266,
    // the drawer stretched along x and shifted by half its growth.
    s.drawer->setOpenDrawerGestureModeMask(OpenGesturePanCenterView);
    s.hold({10, 300}, {310, 300});
    EXPECT_EQ(s.centerX(), 266);
    EXPECT_FALSE(s.drawer->view()->isUserInteractionEnabled());
    const CATransform3D t = s.left->view()->layer().transform();
    const double percent = 266.0 / 260;
    EXPECT_NEAR(t.m11, percent, 1e-9);
    EXPECT_NEAR(t.m41, percent * 260 * (percent - 1) / 2, 1e-9);
    TouchInput::touchUp(1, {310, 300});
    s.time.advance(1);
    EXPECT_EQ(s.centerX(), 260);
    EXPECT_EQ(s.left->view()->layer().transform(), CATransform3DIdentity);
    EXPECT_TRUE(s.drawer->view()->isUserInteractionEnabled());

    // Without stretching the centre stops at the width; towards a side
    // without a drawer it does not move.
    s.drawer->setShouldStretchDrawer(false);
    EXPECT_EQ(s.drawer->roundedOriginXForDrawerConstriants(300), 260);
    s.drawer->setRightDrawerViewController(nullptr);
    EXPECT_EQ(s.drawer->roundedOriginXForDrawerConstriants(-50), 0);
}

TEST(DrawerGestures, EndOfPanDecidesByVelocityBeyond200ElseByPosition) {
    DrawerStage s;
    // Left open, 120 of 260 shown, slow: below half, so it closes at the
    // default velocity without options (120 points: the minimum 0.15 s).
    parkAt(s, DrawerSideLeft, 120);
    s.drawer->finishAnimationForPanGestureWithXVelocity(150, nullptr);
    Move m = centerMove(s);
    EXPECT_DOUBLE_EQ(m.duration, 0.15);
    EXPECT_EQ(m.curve, kEaseInOut);
    s.time.advance(0.2);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideNone);

    // At 130 (half) it opens.
    parkAt(s, DrawerSideLeft, 130);
    s.drawer->finishAnimationForPanGestureWithXVelocity(150, nullptr);
    s.time.advance(0.2);
    EXPECT_EQ(s.centerX(), 260);

    // Exactly 200 is not fast: the position rule closes from 120.
    parkAt(s, DrawerSideLeft, 120);
    s.drawer->finishAnimationForPanGestureWithXVelocity(200, nullptr);
    s.time.advance(0.2);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideNone);

    // 201 opens from 120 at no less than 400 points per second, easing out:
    // 140 points in 0.35 s.
    parkAt(s, DrawerSideLeft, 120);
    s.drawer->finishAnimationForPanGestureWithXVelocity(201, nullptr);
    m = centerMove(s);
    EXPECT_DOUBLE_EQ(m.duration, 140.0 / 400);
    EXPECT_EQ(m.curve, kEaseOut);
    s.time.advance(0.4);
    EXPECT_EQ(s.centerX(), 260);
    s.drawer->closeDrawerAnimated(false, nullptr);
    s.time.drain();

    // Right side: its right edge at 200 is beyond 320 - 130, so it closes;
    // at 190 it opens.
    parkAt(s, DrawerSideRight, -120);
    s.drawer->finishAnimationForPanGestureWithXVelocity(-150, nullptr);
    s.time.advance(0.3);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideNone);
    parkAt(s, DrawerSideRight, -130);
    s.drawer->finishAnimationForPanGestureWithXVelocity(150, nullptr);
    s.time.advance(0.3);
    EXPECT_EQ(s.centerX(), -260);

    // Nothing open: answered NO at once.
    s.drawer->closeDrawerAnimated(false, nullptr);
    s.time.drain();
    std::vector<bool> done;
    s.drawer->finishAnimationForPanGestureWithXVelocity(900, s.record(done));
    EXPECT_EQ(done, std::vector<bool>{false});
}

TEST(DrawerGestures, BounceRunsThe32KeyframesAndEndsWhereItStarted) {
    DrawerStage s;
    std::vector<bool> done;
    s.drawer->bouncePreviewForDrawerSide(DrawerSideLeft, s.record(done));
    static const int shape[32] = {0,   32, 60, 83, 100, 114, 124, 128, 128, 124, 114,
                                  100, 83, 60, 32, 0,   24,  42,  54,  62,  64,  62,
                                  54,  42, 24, 0,  18,  28,  32,  28,  18,  0};
    CALayer& layer = s.drawer->centerContainerView()->layer();
    auto shownX = [&] { return std::get<double>(layer.presentationValueForKeyPath("position.x")); };
    double elapsed = 0;
    // Peaks at +50, +25 and +12.5 points, evenly spaced over 0.8 s.
    for (int i = 0; i < 32; ++i) {
        const double at = 0.8 * i / 31;
        s.time.advance(at - elapsed);
        elapsed = at;
        EXPECT_NEAR(shownX(), 160 + 50.0 * shape[i] / 128, 1e-6) << "keyframe " << i;
        if (i == 30) {
            EXPECT_TRUE(done.empty());
        }
    }
    s.time.advance(0.01);
    EXPECT_EQ(done, std::vector<bool>{true});
    EXPECT_TRUE(layer.animationKeys().empty());
    EXPECT_DOUBLE_EQ(shownX(), 160);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideNone);
    EXPECT_EQ(*s.log, (Strings{"left willAppear", "left didAppear", "left willDisappear",
                               "left didDisappear"}));

    // The right side bounces the other way, by the distance asked for.
    s.drawer->bouncePreviewForDrawerSide(DrawerSideRight, 20, nullptr);
    s.time.advance(0.8 * 7 / 31);
    EXPECT_NEAR(shownX(), 160 - 20, 1e-6);
    s.time.advance(1);

    // Not while a side is open, nor towards a side without a drawer.
    s.drawer->openDrawerSide(DrawerSideLeft, false, nullptr);
    s.time.drain();
    s.drawer->bouncePreviewForDrawerSide(DrawerSideLeft, s.record(done));
    EXPECT_EQ(done.back(), false);
    s.drawer->closeDrawerAnimated(false, nullptr);
    s.time.drain();
    s.drawer->setRightDrawerViewController(nullptr);
    s.drawer->bouncePreviewForDrawerSide(DrawerSideRight, s.record(done));
    EXPECT_EQ(done.back(), false);
}

// A drawer opened while its bounce still runs stays on screen: the bounce's
// end must not tell it that it went away, and the close that follows does.
TEST(DrawerGestures, ADrawerOpenedDuringItsBounceIsNotToldItWentAway) {
    for (const bool byPan : {false, true}) {
        SCOPED_TRACE(byPan ? "opened by a pan" : "opened by a call");
        DrawerStage s;
        s.drawer->setOpenDrawerGestureModeMask(OpenGesturePanCenterView);
        std::vector<bool> done;
        s.drawer->bouncePreviewForDrawerSide(DrawerSideLeft, s.record(done));
        s.time.advance(0.2);
        if (byPan)
            s.drag({60, 300}, {260, 300}, 0.1, 10);
        else
            s.drawer->openDrawerSide(DrawerSideLeft, true, nullptr);
        s.time.advance(2);
        EXPECT_EQ(done, std::vector<bool>{true});
        EXPECT_EQ(s.drawer->openSide(), DrawerSideLeft);
        EXPECT_EQ(s.centerX(), 260);
        EXPECT_EQ(*s.log, (Strings{"left willAppear", "left didAppear"}));

        s.log->clear();
        s.drawer->closeDrawerAnimated(true, nullptr);
        s.time.advance(1);
        EXPECT_EQ(*s.log, (Strings{"left willDisappear", "left didDisappear"}));
    }

    // An open still under way when the bounce ends keeps the drawer too.
    DrawerStage s;
    s.drawer->bouncePreviewForDrawerSide(DrawerSideLeft, nullptr);
    s.time.advance(0.75);
    s.drawer->openDrawerSide(DrawerSideLeft, true, nullptr);
    s.time.advance(2);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideLeft);
    EXPECT_EQ(*s.log, (Strings{"left willAppear", "left didAppear"}));
}

TEST(DrawerGestures, EachMaskBitAdmitsItsOwnGestureAndNothingPassesMasksOfZero) {
    DrawerStage s;
    std::vector<UIGestureRecognizer*> completed;
    s.drawer->setGestureCompletionBlock(
        [&](KAVDrawerController*, UIGestureRecognizer* g) { completed.push_back(g); });
    // Whether a fast drag opens a drawer; closed again afterwards.
    auto opens = [&](CGPoint from, CGPoint to) {
        s.drag(from, to);
        s.time.advance(1);
        const bool opened = s.drawer->openSide() != DrawerSideNone;
        s.drawer->closeDrawerAnimated(false, nullptr);
        s.time.advance(1);
        return opened;
    };
    const CGPoint edge{10, 300}, content{100, 300}, bar{100, 40};
    const CGPoint right{300, 300};
    EXPECT_FALSE(opens(edge, right) || opens(content, right) || opens(bar, {300, 40}));
    EXPECT_TRUE(completed.empty());

    s.drawer->setOpenDrawerGestureModeMask(OpenGestureBezelPan);
    EXPECT_FALSE(opens(content, right));
    EXPECT_TRUE(opens(edge, right));
    EXPECT_TRUE(opens({310, 300}, {10, 300}));
    EXPECT_EQ(completed,
              (std::vector<UIGestureRecognizer*>{s.drawer->panGesture(), s.drawer->panGesture()}));
    s.drawer->setOpenDrawerGestureModeMask(OpenGesturePanNavigationBar);
    EXPECT_FALSE(opens(content, right));
    EXPECT_TRUE(opens(bar, {300, 40}));
    s.drawer->setOpenDrawerGestureModeMask(OpenGesturePanCenterView);
    EXPECT_FALSE(opens(bar, {300, 40}));
    EXPECT_TRUE(opens(content, right));

    // Open, a close mask of 0 lets nothing through; a tap on the content
    // closes under its bit, then the completion gets the tap recogniser.
    s.drawer->openDrawerSide(DrawerSideLeft, false, nullptr);
    s.time.drain();
    s.drag({300, 300}, {20, 300});
    UIDriver::tapAt({290, 300});
    s.time.advance(1);
    EXPECT_EQ(s.centerX(), 260);
    completed.clear();
    s.drawer->setCloseDrawerGestureModeMask(CloseGestureTapCenterView);
    UIDriver::tapAt({290, 40});  // the bar: not this bit
    s.time.advance(1);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideLeft);
    UIDriver::tapAt({290, 300});
    EXPECT_TRUE(completed.empty());
    s.time.advance(1);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideNone);
    EXPECT_EQ(completed, std::vector<UIGestureRecognizer*>{s.drawer->tapGesture()});

    // A tap while closed reaches the tap recogniser only through the custom
    // block, and then does nothing.
    int asked = 0;
    s.drawer->setGestureShouldRecognizeTouchBlock(
        [&](KAVDrawerController*, UIGestureRecognizer* g, UITouch*) {
            ++asked;
            return g == s.drawer->tapGesture();
        });
    s.drawer->setOpenDrawerGestureModeMask(OpenGestureCustom);
    UIDriver::tapAt(content);
    s.time.advance(1);
    EXPECT_EQ(asked, 2);  // once for each recogniser
    EXPECT_EQ(s.drawer->openSide(), DrawerSideNone);
    EXPECT_EQ(completed.size(), 1u);
}

// A move by code while a finger drags the centre (a close asked for by the
// program, an open, a centre swapped with the close) takes over: the drag
// ends there, and the centre comes to rest where the move puts it, not
// wherever the finger let go of it.
TEST(DrawerGestures, AMoveByCodeDuringAPanTakesOverFromTheFinger) {
    enum Move { Close, OpenRight, SwapAndClose };
    for (const Move move : {Close, OpenRight, SwapAndClose}) {
        SCOPED_TRACE(move);
        DrawerStage s;
        s.drawer->setOpenDrawerGestureModeMask(OpenGesturePanCenterView);
        s.drawer->setCloseDrawerGestureModeMask(CloseGesturePanCenterView);
        int gestureEnds = 0;
        s.drawer->setGestureCompletionBlock(
            [&](KAVDrawerController*, UIGestureRecognizer*) { ++gestureEnds; });
        std::vector<bool> done;
        s.hold({100, 300}, {250, 300});
        ASSERT_EQ(s.drawer->openSide(), DrawerSideLeft);
        ASSERT_EQ(s.centerX(), 150);
        if (move == Close) s.drawer->closeDrawerAnimated(true, s.record(done));
        if (move == OpenRight) s.drawer->openDrawerSide(DrawerSideRight, true, s.record(done));
        if (move == SwapAndClose)
            s.drawer->setCenterViewControllerWithCloseAnimation(
                std::make_shared<Screen>("other", s.log), true, s.record(done));
        s.time.advance(0.1);
        TouchInput::touchMove(1, {280, 300});
        s.time.advance(0.05);
        TouchInput::touchUp(1, {280, 300});
        s.time.advance(2);

        EXPECT_EQ(done, std::vector<bool>{true});
        EXPECT_EQ(gestureEnds, 0) << "the drag was cut short, not ended";
        EXPECT_FALSE(s.drawer->isAnimatingDrawer());
        EXPECT_TRUE(s.drawer->view()->isUserInteractionEnabled());
        if (move == OpenRight) {
            EXPECT_EQ(s.drawer->openSide(), DrawerSideRight);
            EXPECT_EQ(s.centerX(), -260);
            EXPECT_FALSE(s.right->view()->isHidden());
        } else {
            EXPECT_EQ(s.drawer->openSide(), DrawerSideNone);
            EXPECT_EQ(s.centerX(), 0);
            EXPECT_TRUE(s.left->view()->isHidden());
        }
        EXPECT_EQ(s.shownCenterX(), s.centerX());

        // The next drag works as ever.
        s.drawer->closeDrawerAnimated(false, nullptr);
        s.time.drain();
        s.drag({100, 300}, {300, 300});
        s.time.advance(1);
        EXPECT_EQ(s.drawer->openSide(), DrawerSideLeft);
        EXPECT_EQ(s.centerX(), 260);
        EXPECT_EQ(gestureEnds, 1);
    }
}

// Dragged with two fingers, the centre stays under the finger left when the
// other lifts (it jumped by half the fingers' distance, here over to the
// right drawer).
TEST(DrawerGestures, ACentreDraggedWithTwoFingersFollowsTheOneLeft) {
    DrawerStage s;
    s.drawer->setOpenDrawerGestureModeMask(OpenGesturePanCenterView);
    TouchInput::touchDown(1, {50, 300});
    TouchInput::touchDown(2, {150, 300});
    for (int step = 1; step <= 4; ++step) {
        s.time.advance(0.02);
        TouchInput::touchMove(1, {50.0 + 10 * step, 300});
        TouchInput::touchMove(2, {150.0 + 10 * step, 300});
    }
    EXPECT_EQ(s.centerX(), 40);
    s.time.advance(0.02);
    TouchInput::touchUp(2, {190, 300});
    s.time.advance(0.02);
    TouchInput::touchMove(1, {91, 300});
    EXPECT_EQ(s.centerX(), 41);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideLeft);
    s.time.advance(0.5);  // held still: the place decides
    TouchInput::touchUp(1, {91, 300});
    s.time.advance(1);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideNone);  // 41 of 260: closes
}

TEST(DrawerGestures, APanBeginningDuringAMoveGivesWayAndTheNextPanWorks) {
    DrawerStage s;
    s.drawer->setOpenDrawerGestureModeMask(OpenGesturePanCenterView);
    s.drawer->setCloseDrawerGestureModeMask(CloseGesturePanCenterView);
    // A slow pan to x 100 settles closed: a move of 0.15 s starts.
    s.drag({60, 300}, {160, 300}, 1.0, 20);
    ASSERT_TRUE(s.drawer->isAnimatingDrawer());
    // Another finger pans at once, while the centre still moves.
    TouchInput::touchDown(2, {200, 300});
    TouchInput::touchMove(2, {240, 300});
    EXPECT_EQ(s.drawer->panGesture()->state(), UIGestureRecognizerState::Possible);
    EXPECT_TRUE(s.drawer->panGesture()->isEnabled());
    TouchInput::touchUp(2, {240, 300});
    s.time.advance(1);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideNone);
    EXPECT_EQ(s.centerX(), 0);
    EXPECT_TRUE(s.drawer->view()->isUserInteractionEnabled());

    // The recogniser takes the next pan.
    s.drag({60, 300}, {260, 300});
    s.time.advance(1);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideLeft);
}

// Rows that cannot be edited.
struct Rows : UITableViewDataSource {
    long tableViewNumberOfRowsInSection(UITableView*, long) override { return 20; }
    UITableViewCellPtr tableViewCellForRowAtIndexPath(UITableView*, NSIndexPath ip) override {
        auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyle::Default, "row");
        cell->textLabel()->setText("EURUSD " + std::to_string(ip.row));
        return cell;
    }
};

TEST(DrawerGestures, APanThatStartsOverATableRowOpensTheDrawer) {
    DrawerStage s;
    auto rows = std::make_shared<Rows>();
    auto table = std::make_shared<UITableView>(s.content->view()->bounds());
    table->dataSource = rows;
    s.content->view()->addSubview(table);
    s.drawer->setOpenDrawerGestureModeMask(OpenGesturePanCenterView);
    UIScreenRenderer::layoutWindows();
    const CGPoint start{60, 200};
    ASSERT_TRUE(s.window->hitTest(start, nullptr)->isDescendantOfView(table.get()));
    s.drag(start, {260, 200});
    s.time.advance(1);
    EXPECT_EQ(s.drawer->openSide(), DrawerSideLeft);
}

}  // namespace
