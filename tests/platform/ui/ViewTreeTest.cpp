#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <thread>

#include "platform/ui/Accessibility.h"
#include "platform/ui/Control.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/detail/Compositor.h"
#include "tests/support/TestSupport.h"

using namespace platform::ui;

namespace {

class CountingView : public UIView {
  public:
    using UIView::UIView;
    int layouts = 0;
    int draws = 0;
    void layoutSubviews() override { ++layouts; }
    void drawRect(CGRect) override {
        ++draws;
        if (auto* c = UIGraphicsGetCurrentContext()) {
            c->setFillColor(UIColor::redColor());
            c->fillRect(bounds());
        }
    }
};

// Fills itself with its tint colour.
class TintView : public UIView {
  public:
    using UIView::UIView;
    void drawRect(CGRect) override {
        if (auto* c = UIGraphicsGetCurrentContext()) {
            c->setFillColor(tintColor());
            c->fillRect(bounds());
        }
    }
};

// Refuses touches on its left half, as a custom hit test would.
class HalfView : public UIView {
  public:
    using UIView::UIView;
    UIView* hitTest(CGPoint p, UIEvent* e) override {
        return p.x < bounds().size.width / 2 ? nullptr : UIView::hitTest(p, e);
    }
};

TEST(ViewTree, FrameFollowsBoundsCenterAndTransform) {
    auto v = std::make_shared<UIView>(CGRectMake(10, 20, 100, 50));
    EXPECT_EQ(v->center(), (CGPoint{60, 45}));
    EXPECT_EQ(v->bounds(), CGRectMake(0, 0, 100, 50));
    v->setTransform(CGAffineTransformMakeScale(2, 2));
    EXPECT_EQ(v->frame(), CGRectMake(-40, -5, 200, 100));  // scaled about the centre
    EXPECT_EQ(v->bounds().size, (CGSize{100, 50}));
    v->setTransform(CGAffineTransformIdentity);
    v->setCenter({0, 0});
    EXPECT_EQ(v->frame(), CGRectMake(-50, -25, 100, 50));
}

TEST(ViewTree, SubviewOrderAndLayersStayInStep) {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    auto a = std::make_shared<UIView>(), b = std::make_shared<UIView>(),
         c = std::make_shared<UIView>();
    auto line = CALayer::layer();
    root->layer().addSublayer(line);  // a free-standing layer below the views
    root->addSubview(a);
    root->addSubview(b);
    root->insertSubviewBelow(c, b.get());
    EXPECT_EQ(root->subviews(), (std::vector<UIViewPtr>{a, c, b}));
    root->bringSubviewToFront(a.get());
    root->sendSubviewToBack(b.get());
    EXPECT_EQ(root->subviews(), (std::vector<UIViewPtr>{b, c, a}));
    auto& layers = root->layer().sublayers();
    ASSERT_EQ(layers.size(), 4u);
    EXPECT_EQ(layers[0], b->layerPtr());
    EXPECT_EQ(layers[3], a->layerPtr());
    // The views keep their order relative to each other whatever the free layer does.
    std::vector<CALayer*> viewLayers;
    for (auto& l : layers)
        if (l != line) viewLayers.push_back(l.get());
    EXPECT_EQ(viewLayers, (std::vector<CALayer*>{&b->layer(), &c->layer(), &a->layer()}));

    c->removeFromSuperview();
    EXPECT_EQ(c->superview(), nullptr);
    EXPECT_EQ(root->subviews().size(), 2u);
    EXPECT_EQ(a->superview(), root);
}

// A free-standing layer held by its superlayer alone, taken off through the
// superlayer's own list: it lives until it is off (its area on the screen
// is handed on to be drawn again after it has left the list).
TEST(ViewTree, ALayerHeldOnlyByItsSuperlayerIsTakenOffWhole) {
    kavtest::VirtualTime time;
    auto window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    window->makeKeyAndVisible();
    {
        auto line = CALayer::layer();
        line->setFrame(CGRectMake(0, 100, 320, 1));
        line->setBackgroundColor(UIColor::redColor());
        window->layer().addSublayer(line);
    }
    const size_t count = window->layer().sublayers().size();
    window->layer().sublayers().back()->removeFromSuperlayer();
    EXPECT_EQ(window->layer().sublayers().size(), count - 1);
    EXPECT_TRUE(UIScreenRenderer::needsFrame());
    window->setHidden(true);
}

TEST(ViewTree, SuperviewLinkIsWeakAndTagsAreFound) {
    auto child = std::make_shared<UIView>();
    child->setTag(7);
    {
        auto parent = std::make_shared<UIView>();
        auto mid = std::make_shared<UIView>();
        parent->addSubview(mid);
        mid->addSubview(child);
        EXPECT_EQ(parent->viewWithTag(7), child);
        EXPECT_EQ(parent->viewWithTag(8), nullptr);
        EXPECT_TRUE(child->isDescendantOfView(parent.get()));
    }
    // The parents are gone: the child does not keep them alive.
    EXPECT_EQ(child->superview(), nullptr);
}

TEST(ViewTree, TypedTagLookupGivesTheKindAskedForOrNothing) {
    auto root = std::make_shared<UIView>();
    root->setTag(1);
    auto panel = std::make_shared<UIView>();
    panel->setTag(1000);
    auto price = std::make_shared<UILabel>();
    price->setTag(1003);
    auto later = std::make_shared<UILabel>();  // same tag, further on
    later->setTag(1000);
    root->addSubview(panel);
    panel->addSubview(price);
    root->addSubview(later);

    EXPECT_EQ(root->viewWithTag<UILabel>(1003), price);
    EXPECT_EQ(root->viewWithTag<UIView>(1), root);
    // The first view with the tag is not a label: no label, and never the
    // panel taken for one.
    EXPECT_EQ(root->viewWithTag<UILabel>(1000), nullptr);
    EXPECT_EQ(root->viewWithTag(1000), panel);
    EXPECT_EQ(root->viewWithTag<UIControl>(1003), nullptr);
    EXPECT_EQ(root->viewWithTag<UILabel>(5), nullptr);
    EXPECT_EQ(panel->viewWithTag<UILabel>(1003), price);

    // What was found stays usable after the screen lets go of it.
    std::weak_ptr<UILabel> watch = price;
    auto held = root->viewWithTag<UILabel>(1003);
    price->removeFromSuperview();
    price.reset();
    root.reset();
    ASSERT_FALSE(watch.expired());
    held->setText("1.08345");
    EXPECT_EQ(held->text(), "1.08345");
}

TEST(ViewTree, ConvertsPointsThroughTransforms) {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 320, 568));
    auto box = std::make_shared<UIView>(CGRectMake(100, 100, 100, 100));
    root->addSubview(box);
    box->setTransform(CGAffineTransformMakeScale(2, 2));  // frame (50, 50, 200, 200)
    CGPoint p = box->convertPointToView({10, 10}, root.get());
    EXPECT_DOUBLE_EQ(p.x, 70);
    EXPECT_DOUBLE_EQ(p.y, 70);
    CGPoint back = box->convertPointFromView(p, root.get());
    EXPECT_NEAR(back.x, 10, 1e-9);
    EXPECT_NEAR(back.y, 10, 1e-9);
}

TEST(HitTest, FollowsTransformsVisibilityAndOverrides) {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 320, 568));
    auto box = std::make_shared<UIView>(CGRectMake(100, 100, 100, 100));
    root->addSubview(box);
    box->setTransform(CGAffineTransformMakeScale(2, 2));  // covers 50..250
    EXPECT_EQ(root->hitTest({60, 60}, nullptr), box.get());
    EXPECT_EQ(root->hitTest({40, 60}, nullptr), root.get());

    box->setTransform(CGAffineTransformMakeRotation(M_PI / 4));
    // The rotated square's corner region near (100, 100) is outside it now.
    EXPECT_EQ(root->hitTest({102, 102}, nullptr), root.get());
    EXPECT_EQ(root->hitTest({150, 150}, nullptr), box.get());
    box->setTransform(CGAffineTransformIdentity);

    box->setAlpha(0.005);
    EXPECT_EQ(root->hitTest({150, 150}, nullptr), root.get());
    box->setAlpha(1);
    box->setHidden(true);
    EXPECT_EQ(root->hitTest({150, 150}, nullptr), root.get());
    box->setHidden(false);
    box->setUserInteractionEnabled(false);
    EXPECT_EQ(root->hitTest({150, 150}, nullptr), root.get());
    box->setUserInteractionEnabled(true);

    auto half = std::make_shared<HalfView>(CGRectMake(0, 0, 100, 100));
    box->addSubview(half);
    EXPECT_EQ(root->hitTest({110, 150}, nullptr), box.get());  // left half refused
    EXPECT_EQ(root->hitTest({190, 150}, nullptr), half.get());
    // A subview outside its superview's bounds takes no touch there.
    auto outside = std::make_shared<UIView>(CGRectMake(120, 0, 50, 50));
    box->addSubview(outside);
    EXPECT_EQ(root->hitTest({230, 110}, nullptr), root.get());
}

// A view scaled to nothing (collapsed before it is taken away, or not yet
// grown) shows nothing and takes no touch: the point cannot be brought into
// its space, and its centre must not stand in for every point.
TEST(HitTest, AViewScaledToNothingTakesNoTouch) {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 320, 568));
    auto panel = std::make_shared<UIView>(CGRectMake(0, 0, 320, 568));
    auto button = std::make_shared<UIView>(CGRectMake(100, 200, 120, 168));
    panel->addSubview(button);
    root->addSubview(panel);
    EXPECT_EQ(root->hitTest({10, 10}, nullptr), panel.get());
    for (const auto& nothing : {CGAffineTransformMakeScale(0, 0), CGAffineTransformMakeScale(1, 0),
                                CGAffineTransformMakeScale(0, 2)}) {
        panel->setTransform(nothing);
        EXPECT_EQ(root->hitTest({10, 10}, nullptr), root.get());
        EXPECT_EQ(root->hitTest({160, 284}, nullptr), root.get());
        EXPECT_EQ(root->hitTest({300, 550}, nullptr), root.get());
    }
    panel->setTransform(CGAffineTransformIdentity);
    EXPECT_EQ(root->hitTest({160, 284}, nullptr), button.get());
}

TEST(Layout, RunsOnSizeChangesNeedsLayoutAndNewSubviewsNeverOnMoves) {
    auto v = std::make_shared<CountingView>(CGRectMake(0, 0, 100, 100));
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 1);  // a new view lays out once
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 1);

    v->setFrame(CGRectMake(50, 60, 100, 100));  // moved only
    v->setCenter({10, 10});
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 1);

    v->setFrame(CGRectMake(0, 0, 120, 100));
    v->setNeedsLayout();
    v->setNeedsLayout();
    EXPECT_EQ(v->layouts, 1);  // nothing runs before the pass
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 2);  // coalesced into one pass

    v->addSubview(std::make_shared<UIView>());
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 3);

    v->setTransform(CGAffineTransformMakeScale(2, 2));  // frame changes, bounds do not
    v->layoutIfNeeded();
    EXPECT_EQ(v->layouts, 3);
}

// A view whose layout runs a given step.
class StepView : public CountingView {
  public:
    using CountingView::CountingView;
    std::function<void()> step;
    void layoutSubviews() override {
        CountingView::layoutSubviews();
        if (step) step();
    }
};

// A quote's frame lays out one table deep in a screen of many views: the
// pass goes down the views above it and looks at none of their siblings.
TEST(Layout, APassGoesStraightToWhatAskedPastItsSiblings) {
    auto root = std::make_shared<CountingView>(CGRectMake(0, 0, 320, 568));
    auto middle = std::make_shared<CountingView>(CGRectMake(0, 0, 320, 500));
    auto leaf = std::make_shared<CountingView>(CGRectMake(0, 0, 320, 400));
    std::vector<std::shared_ptr<CountingView>> siblings;
    for (int i = 0; i < 10; ++i) {
        siblings.push_back(std::make_shared<CountingView>(CGRectMake(0, 0, 10, 10)));
        (i < 5 ? root : middle)->addSubview(siblings.back());
        if (i == 2) root->addSubview(middle);
        if (i == 7) middle->addSubview(leaf);
    }
    root->layoutIfNeeded();
    const int leafLayouts = leaf->layouts, middleLayouts = middle->layouts;

    leaf->setNeedsLayout();
    auto& visits = detail::compositor::layoutVisits();
    visits = 0;
    root->layoutIfNeeded();
    EXPECT_EQ(leaf->layouts, leafLayouts + 1);
    EXPECT_EQ(middle->layouts, middleLayouts);
    EXPECT_EQ(visits, 3u);  // root, middle, leaf

    // Two that asked under one view: both are laid out, each once.
    leaf->setNeedsLayout();
    siblings[8]->setNeedsLayout();
    const int siblingLayouts = siblings[8]->layouts;
    root->layoutIfNeeded();
    EXPECT_EQ(leaf->layouts, leafLayouts + 2);
    EXPECT_EQ(siblings[8]->layouts, siblingLayouts + 1);
    visits = 0;
    root->layoutIfNeeded();
    EXPECT_EQ(visits, 1u);  // nothing left below the root

    // One that asked and then left (and is gone): the pass finds what else
    // asked there, and never the one that left.
    auto leaving = std::make_shared<CountingView>(CGRectMake(0, 0, 10, 10));
    middle->addSubview(leaving);
    root->layoutIfNeeded();
    leaving->setNeedsLayout();
    leaving->removeFromSuperview();
    leaving.reset();
    siblings[9]->setNeedsLayout();
    const int lastLayouts = siblings[9]->layouts;
    root->layoutIfNeeded();
    EXPECT_EQ(siblings[9]->layouts, lastLayouts + 1);
    EXPECT_EQ(leaf->layouts, leafLayouts + 2);
}

// A layout that asks for its siblings' layouts: those after it are laid out
// in the same pass, those before it in the next, as a walk of all the
// subviews in order does.
TEST(Layout, ALayoutAskingForItsSiblingsIsFollowedInSubviewOrder) {
    auto parent = std::make_shared<CountingView>(CGRectMake(0, 0, 320, 568));
    auto before = std::make_shared<CountingView>(CGRectMake(0, 0, 10, 10));
    auto asking = std::make_shared<StepView>(CGRectMake(0, 0, 10, 10));
    auto after = std::make_shared<CountingView>(CGRectMake(0, 0, 10, 10));
    parent->addSubview(before);
    parent->addSubview(asking);
    parent->addSubview(after);
    parent->layoutIfNeeded();
    ASSERT_EQ(before->layouts, 1);
    ASSERT_EQ(after->layouts, 1);

    asking->step = [&] {
        before->setNeedsLayout();
        after->setNeedsLayout();
    };
    asking->setNeedsLayout();
    parent->layoutIfNeeded();
    EXPECT_EQ(asking->layouts, 2);
    EXPECT_EQ(after->layouts, 2);
    EXPECT_EQ(before->layouts, 1);
    asking->step = nullptr;
    parent->layoutIfNeeded();
    EXPECT_EQ(before->layouts, 2);
    EXPECT_EQ(after->layouts, 2);
    EXPECT_EQ(asking->layouts, 2);

    // Asked again during its own layout: laid out again in the next pass.
    asking->step = [&] {
        asking->step = nullptr;
        asking->setNeedsLayout();
    };
    asking->setNeedsLayout();
    parent->layoutIfNeeded();
    EXPECT_EQ(asking->layouts, 3);
    parent->layoutIfNeeded();
    EXPECT_EQ(asking->layouts, 4);
    EXPECT_EQ(after->layouts, 2);
}

TEST(Layout, AutoresizingSpreadsTheChangeOverFlexibleParts) {
    auto parent = std::make_shared<UIView>(CGRectMake(0, 0, 300, 200));
    auto fill = std::make_shared<UIView>(CGRectMake(10, 10, 280, 180));
    fill->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    auto right = std::make_shared<UIView>(CGRectMake(250, 10, 40, 40));
    right->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin);
    auto centred = std::make_shared<UIView>(CGRectMake(100, 0, 100, 10));
    centred->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin |
                                 UIViewAutoresizingFlexibleRightMargin);
    parent->addSubview(fill);
    parent->addSubview(right);
    parent->addSubview(centred);
    parent->setFrame(CGRectMake(0, 0, 400, 300));
    EXPECT_EQ(fill->frame(), CGRectMake(10, 10, 380, 280));
    EXPECT_EQ(right->frame(), CGRectMake(350, 10, 40, 40));
    EXPECT_EQ(centred->frame(), CGRectMake(150, 0, 100, 10));
}

TEST(Drawing, RedrawIsCoalescedAndOnlyWhenSomethingChanged) {
    kavtest::VirtualTime time;
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto v = std::make_shared<CountingView>(CGRectMake(0, 0, 50, 50));
    window->addSubview(v);
    window->makeKeyAndVisible();
    UIDriver::renderImage();
    EXPECT_EQ(v->draws, 1);
    UIDriver::renderImage();
    EXPECT_EQ(v->draws, 1);  // the drawing is kept

    v->setNeedsDisplay();
    v->setNeedsDisplay();
    v->setNeedsDisplay();
    auto img = UIDriver::renderImage();
    EXPECT_EQ(v->draws, 2);
    EXPECT_EQ(img->pixelAt(25, 25), UIColor::redColor());

    // Moving the view draws the screen again but reuses the view's drawing.
    v->setCenter({100, 100});
    img = UIDriver::renderImage();
    EXPECT_EQ(v->draws, 2);
    EXPECT_EQ(img->pixelAt(100, 100), UIColor::redColor());

    // A new size asks for a new drawing.
    v->setBounds(CGRectMake(0, 0, 60, 60));
    UIDriver::renderImage();
    EXPECT_EQ(v->draws, 3);
}

TEST(Drawing, TheWindowsDimmingReachesEveryViewAndLeavesThemAll) {
    kavtest::VirtualTime time;
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->setTintColor(UIColor::blueColor());
    auto inherits = std::make_shared<TintView>(CGRectMake(0, 0, 50, 50));
    auto holder = std::make_shared<UIView>(CGRectMake(100, 0, 100, 100));
    auto own = std::make_shared<TintView>(CGRectMake(0, 0, 50, 50));
    own->setTintColor(UIColor::redColor());
    holder->addSubview(own);
    window->addSubview(inherits);
    window->addSubview(holder);
    window->makeKeyAndVisible();
    auto img = UIDriver::renderImage();
    EXPECT_EQ(img->pixelAt(25, 25), UIColor::blueColor());
    EXPECT_EQ(img->pixelAt(125, 25), UIColor::redColor());

    // An alert dims the window: every view, also one with its own tint.
    auto isDimmed = [](const UIColor& c) {
        return std::fabs(c.red - 0.5) < 0.01 && c.red == c.green && c.green == c.blue;
    };
    window->setTintAdjustmentMode(UIViewTintAdjustmentMode::Dimmed);
    img = UIDriver::renderImage();
    EXPECT_TRUE(isDimmed(img->pixelAt(25, 25)));
    EXPECT_TRUE(isDimmed(img->pixelAt(125, 25)));

    // Gone again, each view shows its own colour again.
    window->setTintAdjustmentMode(UIViewTintAdjustmentMode::Automatic);
    img = UIDriver::renderImage();
    EXPECT_EQ(img->pixelAt(25, 25), UIColor::blueColor());
    EXPECT_EQ(img->pixelAt(125, 25), UIColor::redColor());
}

TEST(Driver, FindsViewsAndDumpsTheTree) {
    kavtest::VirtualTime time;
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto label = std::make_shared<UILabel>(CGRectMake(10, 10, 100, 20));
    label->setText("行情");
    label->setTag(42);
    auto hidden = std::make_shared<UILabel>(CGRectMake(10, 40, 100, 20));
    hidden->setText("行情");
    hidden->setHidden(true);
    window->addSubview(label);
    window->addSubview(hidden);
    window->makeKeyAndVisible();

    EXPECT_EQ(UIDriver::viewWithTag(42), label.get());
    EXPECT_EQ(UIDriver::viewWithTag<UILabel>(42), label.get());
    EXPECT_EQ(UIDriver::viewWithTag<UIControl>(42), nullptr);
    EXPECT_EQ(UIDriver::viewsWithText("行情"), (std::vector<UIView*>{label.get()}));
    EXPECT_EQ(UIDriver::viewsOfClass("UILabel").size(), 2u);
    EXPECT_EQ(UIDriver::viewsOfType<UILabel>().size(), 2u);
    std::string dump = UIDriver::dumpViewTree();
    EXPECT_NE(dump.find("UIWindow frame={{0, 0}, {320, 568}}"), std::string::npos);
    EXPECT_NE(dump.find("  UILabel tag=42 frame={{10, 10}, {100, 20}} text=\"行情\"\n"),
              std::string::npos);
    EXPECT_NE(dump.find("text=\"行情\" hidden"), std::string::npos);
}

TEST(Driver, RecordsWhatTheScreensAnnounce) {
    kavtest::VirtualTime time;
    UIDriver::clearAccessibilityNotifications();
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto button = std::make_shared<UIControl>(CGRectMake(10, 10, 100, 40));
    button->addTarget(
        [](UIControl*, UIEvent*) {
            UIAccessibilityPostNotification(UIAccessibilityScreenChangedNotification);
            UIAccessibilityPostNotification(UIAccessibilityAnnouncementNotification, "正在登录");
        },
        UIControlEventTouchUpInside);
    window->addSubview(button);
    window->makeKeyAndVisible();
    const double start = time.clock().now();

    UIDriver::tap(button.get());
    time.advance(2);
    UIAccessibilityPostNotification(UIAccessibilityAnnouncementNotification, "登录成功");
    using Posted = accessibility::PostedNotification;
    EXPECT_EQ(
        UIDriver::accessibilityNotifications(),
        (std::vector<Posted>{{UIAccessibilityScreenChangedNotification, "", start},
                             {UIAccessibilityAnnouncementNotification, "正在登录", start},
                             {UIAccessibilityAnnouncementNotification, "登录成功", start + 2}}));
    EXPECT_EQ(UIDriver::announcements(), (std::vector<std::string>{"正在登录", "登录成功"}));

    // A long session keeps only the latest ones.
    for (int i = 0; i < 1000; ++i)
        UIAccessibilityPostNotification(UIAccessibilityAnnouncementNotification, std::to_string(i));
    EXPECT_LE(UIDriver::accessibilityNotifications().size(), 256u);
    EXPECT_EQ(UIDriver::announcements().back(), "999");
    UIDriver::clearAccessibilityNotifications();
    EXPECT_TRUE(UIDriver::announcements().empty());
}

#ifndef NDEBUG
// The view tree is main-thread state: a change made from the network thread
// or a work queue must fail where it is made, not corrupt a tree later.
TEST(ViewTreeDeathTest, ChangesOffTheMainThreadStopAtOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto offMain = [](const std::function<void()>& change) { std::thread(change).join(); };
    auto parent = std::make_shared<UIView>(CGRectMake(0, 0, 100, 100));
    auto child = std::make_shared<UIView>(CGRectMake(0, 0, 10, 10));
    EXPECT_DEATH(offMain([&] { parent->addSubview(child); }),
                 "addSubview called off the main thread");
    parent->addSubview(child);
    EXPECT_DEATH(offMain([&] { child->removeFromSuperview(); }),
                 "removeFromSuperview called off the main thread");
    EXPECT_DEATH(offMain([&] { child->setFrame(CGRectMake(5, 5, 10, 10)); }),
                 "setFrame called off the main thread");
    auto line = CALayer::layer();
    EXPECT_DEATH(offMain([&] { parent->layer().addSublayer(line); }),
                 "insertSublayerAtIndex called off the main thread");
    EXPECT_DEATH(offMain([&] { child->layer().setOpacity(0.5); }),
                 "willChange called off the main thread");
    // The same changes on the main thread are fine.
    child->setFrame(CGRectMake(5, 5, 10, 10));
    parent->layer().addSublayer(line);
    child->removeFromSuperview();
    EXPECT_TRUE(parent->subviews().empty());
}
#endif

}  // namespace
