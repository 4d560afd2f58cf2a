#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/Driver.h"
#include "platform/ui/Layer.h"
#include "platform/ui/ShapeLayer.h"
#include "platform/ui/Transaction.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"

using namespace platform::ui;

namespace {

struct Stage {
    kavtest::VirtualTime time;
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    std::shared_ptr<UIView> view = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    Stage() {
        window->addSubview(view);
        window->makeKeyAndVisible();
    }
};

TEST(Animations, ModelChangesAtOnceAndOnlyTheDrawingMoves) {
    Stage s;
    std::vector<bool> done;
    UIView::animateWithDuration(
        1.0, 0, UIViewAnimationOptionCurveLinear,
        [&] {
            s.view->setCenter({250, 50});
        },
        [&](bool finished) { done.push_back(finished); });
    EXPECT_EQ(s.view->center(), (CGPoint{250, 50}));  // the model value
    EXPECT_EQ(s.view->layer().presentation().position, (CGPoint{50, 50}));
    s.time.advance(0.5);
    EXPECT_NEAR(s.view->layer().presentation().position.x, 150, 1e-9);
    EXPECT_TRUE(done.empty());
    s.time.advance(0.5);
    EXPECT_EQ(s.view->layer().presentation().position, (CGPoint{250, 50}));
    EXPECT_EQ(done, (std::vector<bool>{true}));
    EXPECT_EQ(animation::activeCount(), 0u);
}

TEST(Animations, EaseOutIsAheadOfLinearHalfway) {
    Stage s;
    UIView::animateWithDuration(
        1.0, 0, UIViewAnimationOptionCurveEaseOut, [&] { s.view->setAlpha(0); }, nullptr);
    s.time.advance(0.5);
    double alpha = s.view->layer().presentation().opacity;
    EXPECT_LT(alpha, 0.5);  // more than half of the way from 1 to 0
    EXPECT_GT(alpha, 0.0);
    s.time.advance(0.5);
}

TEST(Animations, InterruptedCompletionRunsLaterWithFinishedNo) {
    Stage s;
    std::vector<std::string> order;
    UIView::animateWithDuration(
        1.0, [&] { s.view->setAlpha(0); },
        [&](bool finished) { order.push_back(finished ? "first:yes" : "first:no"); });
    s.time.advance(0.4);
    UIView::animateWithDuration(
        0.5, 0, UIViewAnimationOptionBeginFromCurrentState, [&] { s.view->setAlpha(1); },
        [&](bool finished) { order.push_back(finished ? "second:yes" : "second:no"); });
    // Never inside the call that interrupted it.
    EXPECT_TRUE(order.empty());
    // The new animation starts from what was drawn, not from the old target.
    double shown = s.view->layer().presentation().opacity;
    EXPECT_GT(shown, 0.05);
    EXPECT_LT(shown, 0.95);
    s.time.drain();
    EXPECT_EQ(order, (std::vector<std::string>{"first:no"}));
    s.time.advance(0.5);
    EXPECT_EQ(order, (std::vector<std::string>{"first:no", "second:yes"}));

    UIView::animateWithDuration(
        1.0,
        [&] {
            s.view->setCenter({10, 10});
        },
        [&](bool finished) { order.push_back(finished ? "third:yes" : "third:no"); });
    s.view->layer().removeAllAnimations();
    EXPECT_EQ(order.size(), 2u);
    s.time.drain();
    EXPECT_EQ(order.back(), "third:no");
}

TEST(Animations, ZeroDurationAndUnchangedValuesCompleteOnTheNextTurn) {
    Stage s;
    int calls = 0;
    UIView::animateWithDuration(
        0, [&] { s.view->setAlpha(0.5); }, [&](bool f) { calls += f ? 1 : 100; });
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(s.view->alpha(), 0.5);
    s.time.drain();
    EXPECT_EQ(calls, 1);
    UIView::animateWithDuration(
        0.3, [&] { s.view->setAlpha(0.5); }, [&](bool f) { calls += f ? 1 : 100; });
    s.time.drain();
    EXPECT_EQ(calls, 2);
}

TEST(Animations, DelayHoldsTheStartValueUntilTheAnimationBegins) {
    Stage s;
    bool done = false;
    UIView::animateWithDuration(
        0.2, 0.3, UIViewAnimationOptionCurveLinear, [&] { s.view->setAlpha(0); },
        [&](bool) { done = true; });
    s.time.advance(0.2);
    EXPECT_DOUBLE_EQ(s.view->layer().presentation().opacity, 1.0);
    s.time.advance(0.2);
    EXPECT_NEAR(s.view->layer().presentation().opacity, 0.5, 1e-9);
    EXPECT_FALSE(done);
    s.time.advance(0.1);
    EXPECT_TRUE(done);
}

TEST(Animations, AnimatingViewsTakeNoTouchesUnlessAllowed) {
    Stage s;
    UIView::animateWithDuration(
        1.0, [&] { s.view->setAlpha(0.9); }, nullptr);
    EXPECT_EQ(s.window->hitTest({50, 50}, nullptr), s.window.get());
    s.time.advance(1.0);
    EXPECT_EQ(s.window->hitTest({50, 50}, nullptr), s.view.get());
    UIView::animateWithDuration(
        1.0, 0, UIViewAnimationOptionAllowUserInteraction, [&] { s.view->setAlpha(1); }, nullptr);
    EXPECT_EQ(s.window->hitTest({50, 50}, nullptr), s.view.get());
    s.time.advance(1.0);
}

TEST(Animations, KeyframesOnPositionXAndTransactionCompletion) {
    Stage s;
    bool done = false;
    CATransaction::begin();
    CATransaction::setCompletionBlock([&] { done = true; });
    auto bounce = CAKeyframeAnimation::animationWithKeyPath("position.x");
    bounce->values = {50.0, 100.0, 50.0, 75.0, 50.0};
    bounce->duration = 0.8;
    s.view->layer().addAnimation(bounce, "bouncing");
    CATransaction::commit();
    EXPECT_EQ(s.view->layer().animationKeys(), (std::vector<std::string>{"bouncing"}));
    s.time.advance(0.2);  // the second key frame
    EXPECT_NEAR(s.view->layer().presentation().position.x, 100, 1e-9);
    s.time.advance(0.5);  // between the 4th and 5th
    EXPECT_NEAR(s.view->layer().presentation().position.x, 62.5, 1e-9);
    EXPECT_FALSE(done);
    s.time.advance(0.11);
    EXPECT_TRUE(done);
    EXPECT_TRUE(s.view->layer().animationKeys().empty());
    EXPECT_EQ(s.view->center().x, 50);

    // A kept animation (not removed on completion, fill forwards) holds its end.
    auto grow = CAKeyframeAnimation::animationWithKeyPath("transform");
    grow->values = {CATransform3DMakeScale(1.2, 1.2, 1), CATransform3DMakeScale(1.05, 1.05, 1),
                    CATransform3DMakeScale(2, 2, 1)};
    grow->keyTimes = {0, 0.5, 1};
    grow->duration = 0.3;
    grow->fillMode = kCAFillModeForwards;
    grow->removedOnCompletion = false;
    s.view->layer().addAnimation(grow, "showAlert");
    s.time.advance(1.0);
    EXPECT_DOUBLE_EQ(s.view->layer().presentation().transform.m11, 2);
    EXPECT_DOUBLE_EQ(s.view->layer().transform().m11, 1);
    EXPECT_EQ(animation::activeCount(), 0u);
}

TEST(Animations, FreeLayersAnimateImplicitlyUnlessActionsAreOff) {
    Stage s;
    auto ring = CAShapeLayer::layer();
    s.view->layer().addSublayer(ring);
    ring->setStrokeEnd(0.5);  // implicit: 0.25 s from 1
    EXPECT_DOUBLE_EQ(ring->strokeEnd(), 0.5);
    EXPECT_GT(ring->presentation().strokeEnd, 0.9);
    s.time.advance(0.25);
    EXPECT_DOUBLE_EQ(ring->presentation().strokeEnd, 0.5);

    CATransaction::begin();
    CATransaction::setDisableActions(true);
    ring->setStrokeEnd(0);
    CATransaction::commit();
    EXPECT_DOUBLE_EQ(ring->presentation().strokeEnd, 0);
    EXPECT_TRUE(ring->animationKeys().empty());

    // A view's own layer does not animate outside an animation block.
    s.view->setAlpha(0.3);
    EXPECT_DOUBLE_EQ(s.view->layer().presentation().opacity, 0.3);
}

TEST(Animations, ARemovedViewStopsItsAnimationsUnfinished) {
    Stage s;
    bool finished = true;
    bool called = false;
    {
        auto temp = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
        s.window->addSubview(temp);
        UIView::animateWithDuration(
            1.0, [&] { temp->setAlpha(0); },
            [&](bool f) {
                finished = f;
                called = true;
            });
        temp->removeFromSuperview();
    }
    s.time.drain();
    EXPECT_TRUE(called);
    EXPECT_FALSE(finished);
}

}  // namespace
