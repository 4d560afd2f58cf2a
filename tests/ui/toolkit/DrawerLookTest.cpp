// The drawer's buttons and looks: the drawn menu bars read from pixels in
// both colour sets, the shared bar-button image, and the visual states
// (slide and scale, parallax, swinging door) with what they draw.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "tests/ui/toolkit/DrawerStage.h"
#include "ui/toolkit/KAVDrawerBarButtonItem.h"
#include "ui/toolkit/KAVDrawerMenuButtonView.h"
#include "ui/toolkit/KAVDrawerVisualState.h"

using namespace drawertest;

namespace {

bool near(const UIColor& a, const UIColor& b, double tolerance = 0.02) {
    return std::fabs(a.red - b.red) <= tolerance && std::fabs(a.green - b.green) <= tolerance &&
           std::fabs(a.blue - b.blue) <= tolerance && std::fabs(a.alpha - b.alpha) <= tolerance;
}

// The button's own drawing at 10 pixels per point, so that tenths of points
// show.
UIImagePtr drawnTenfold(KAVDrawerMenuButtonView& button) {
    UIGraphicsBeginImageContextWithOptions(button.bounds().size, false, 10);
    button.drawRect(button.bounds());
    UIImagePtr image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

// `over` drawn over `under`.
UIColor over(const UIColor& top, const UIColor& under) {
    const double a = top.alpha + under.alpha * (1 - top.alpha);
    auto mix = [&](double t, double u) {
        return (t * top.alpha + u * under.alpha * (1 - top.alpha)) / a;
    };
    return {mix(top.red, under.red), mix(top.green, under.green), mix(top.blue, under.blue), a};
}

TEST(DrawerButtons, MenuButtonDrawsItsThreeBarsWithShadowsInTheStateColours) {
    kavtest::VirtualTime time;
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 40, 40));
    auto button = std::make_shared<KAVDrawerMenuButtonView>(CGRectMake(0, 0, 30, 30));
    window->addSubview(button);
    window->makeKeyAndVisible();
    const UIColor bar = UIColor::colorWithWhite(1, 0.9);
    const UIColor shadow = UIColor::colorWithWhite(0, 0.5);

    auto img = drawnTenfold(*button);
    // 30 x 30: bars 24 wide and 4.8 high at x 3 and y 3.6, 12 and 20.4,
    // each over its shadow, which lies one point lower.
    for (double top : {3.6, 12.0, 20.4}) {
        const int y0 = static_cast<int>(std::lround(top * 10)), y1 = y0 + 48, mid = y0 + 24;
        EXPECT_TRUE(near(img->pixelAt(150, y0 + 5), bar)) << top;
        EXPECT_TRUE(near(img->pixelAt(31, mid), over(bar, shadow))) << top;
        EXPECT_TRUE(near(img->pixelAt(268, mid), over(bar, shadow))) << top;
        EXPECT_TRUE(near(img->pixelAt(150, y1 + 5), shadow)) << top;
        // Beside the bar, above it and below its shadow: nothing.
        for (auto [x, y] : {std::pair{28, mid}, {272, mid}, {150, y0 - 3}, {150, y1 + 13}})
            EXPECT_EQ(img->pixelAt(x, y).alpha, 0) << top << " " << x << "," << y;
    }

    // Held down: the highlighted colours; let go: the normal ones again.
    TouchInput::touchDown(1, {15, 15});
    EXPECT_TRUE(button->layer().needsDisplay());
    img = drawnTenfold(*button);
    EXPECT_TRUE(near(img->pixelAt(150, 41), UIColor::rgb255(139, 135, 136, 0.9)));
    EXPECT_TRUE(near(img->pixelAt(150, 89), UIColor::colorWithWhite(0, 0.2)));
    TouchInput::touchUp(1, {15, 15});
    EXPECT_TRUE(near(drawnTenfold(*button)->pixelAt(150, 41), bar));

    // Only normal and highlighted have colours; setting another state
    // stores nothing but redraws.
    EXPECT_FALSE(button->menuButtonColorForState(UIControlStateSelected).has_value());
    UIScreenRenderer::renderScreen(1);
    button->setMenuButtonColor(UIColor::redColor(), UIControlStateSelected);
    EXPECT_TRUE(button->layer().needsDisplay());
    EXPECT_EQ(button->menuButtonColorForState(UIControlStateNormal), bar);
}

TEST(DrawerButtons, BarButtonItemUsesTheSharedDrawnImageOrTheCallersImage) {
    auto image = KAVDrawerBarButtonItem::drawerButtonItemImage();
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), CGSizeMake(26, 26));
    const double k = image->scale();
    auto at = [&](double x, double y) {
        return image->pixelAt(static_cast<int>(x * k), static_cast<int>(y * k));
    };
    // Three white lines 16 wide and 1 high at x 5 and y 18, 12 and 6.
    for (double y : {6.0, 12.0, 18.0}) {
        EXPECT_TRUE(near(at(5, y), UIColor::whiteColor())) << y;
        EXPECT_TRUE(near(at(20.5, y), UIColor::whiteColor())) << y;
        for (auto [px, py] : {std::pair{4.5, y}, {21.5, y}, {12, y + 1.5}, {12, y - 0.5}})
            EXPECT_EQ(at(px, py).alpha, 0) << px << "," << py;
    }

    UIBarButtonItem* sender = nullptr;
    auto item = std::make_shared<KAVDrawerBarButtonItem>([&](UIBarButtonItem* s) { sender = s; });
    EXPECT_EQ(item->image, image);
    item->touchUpInside(item.get());
    EXPECT_EQ(sender, item.get());
    // A plain item: no drawn view, so its colours cannot be set.
    item->setMenuButtonColor(UIColor::redColor(), UIControlStateNormal);
    EXPECT_FALSE(item->menuButtonColorForState(UIControlStateNormal).has_value());
    auto own = UIImage::imageNamed("nav_usericon");
    EXPECT_EQ(std::make_shared<KAVDrawerBarButtonItem>(nullptr, own)->image, own);
}

// Where a point of the layer's bounds is drawn in its superlayer, through
// the whole transform with its perspective.
CGPoint shown(const CALayer& layer, CGPoint local) {
    const CALayerState& s = layer.model();
    const double u = local.x - s.anchorPoint.x * s.bounds.size.width;
    const double v = local.y - s.anchorPoint.y * s.bounds.size.height;
    const CATransform3D& m = s.transform;
    const double w = u * m.m14 + v * m.m24 + m.m44;
    return {(u * m.m11 + v * m.m21 + m.m41) / w + s.position.x,
            (u * m.m12 + v * m.m22 + m.m42) / w + s.position.y};
}

TEST(DrawerVisualStates, SlideScaleParallaxAndDoorSetTheDrawersTransform) {
    DrawerStage s;
    CALayer& left = s.left->view()->layer();
    auto slideScale = KAVDrawerVisualState::slideAndScaleVisualStateBlock();
    slideScale(s.drawer.get(), DrawerSideLeft, 0);
    // 0: at 90%, 50 points to the right, transparent.
    EXPECT_NEAR(left.transform().m11, 0.9, 1e-12);
    EXPECT_NEAR(left.transform().m41, 50, 1e-12);
    EXPECT_EQ(s.left->view()->alpha(), 0);
    slideScale(s.drawer.get(), DrawerSideLeft, 1);
    EXPECT_EQ(left.transform(), CATransform3DIdentity);
    EXPECT_EQ(s.left->view()->alpha(), 1);

    // Parallax 2 shifts a 260 wide drawer by -130 when closed, the slide
    // (factor 1) by -260; beyond full width both stretch.
    KAVDrawerVisualState::parallaxVisualStateBlockWithParallaxFactor(2)(s.drawer.get(),
                                                                        DrawerSideLeft, 0);
    EXPECT_NEAR(left.transform().m41, -130, 1e-12);
    KAVDrawerVisualState::slideVisualStateBlock()(s.drawer.get(), DrawerSideLeft, 0);
    EXPECT_NEAR(left.transform().m41, -260, 1e-12);
    KAVDrawerVisualState::slideVisualStateBlock()(s.drawer.get(), DrawerSideLeft, 1.1);
    EXPECT_NEAR(left.transform().m11, 1.1, 1e-12);

    // The door turns about the drawer's right edge, which stays at the
    // centre's left edge: edge-on when closed, flat when open, and in
    // between its far edge recedes (drawn shorter).
    auto door = KAVDrawerVisualState::swingingDoorVisualStateBlock();
    door(s.drawer.get(), DrawerSideLeft, 0);
    EXPECT_EQ(left.anchorPoint(), CGPointMake(1.0, 0.5));
    EXPECT_TRUE(left.shouldRasterize);
    EXPECT_NEAR(shown(left, {0, 284}).x, 0, 1e-9);
    EXPECT_NEAR(shown(left, {260, 284}).x, 0, 1e-9);
    door(s.drawer.get(), DrawerSideLeft, 1);
    EXPECT_NEAR(shown(left, {0, 0}).x, 0, 1e-9);
    EXPECT_NEAR(shown(left, {260, 568}).x, 260, 1e-9);
    door(s.drawer.get(), DrawerSideLeft, 0.5);
    EXPECT_NEAR(shown(left, {260, 0}).x, 130, 1e-9);
    EXPECT_GT(shown(left, {0, 0}).y, 20);  // the far edge's top comes down
    door(s.drawer.get(), DrawerSideRight, 0.5);
    EXPECT_NEAR(shown(s.right->view()->layer(), {0, 0}).x, 190, 1e-9);
    EXPECT_EQ(s.right->view()->layer().anchorPoint(), CGPointMake(0.0, 0.5));

    // The container puts the drawer back flat after a move; rasterising stays.
    s.drawer->setDrawerVisualStateBlock(door);
    s.drawer->openDrawerSide(DrawerSideLeft, true, nullptr);
    s.time.advance(0.4);
    EXPECT_EQ(left.transform(), CATransform3DIdentity);
    EXPECT_EQ(left.anchorPoint(), CGPointMake(0.5, 0.5));
    EXPECT_EQ(s.left->view()->alpha(), 1);
    EXPECT_TRUE(left.shouldRasterize);
}

// The column's extent of the drawer's colour, in rows.
int blueRows(const UIImagePtr& img, int x) {
    int n = 0;
    for (int y = 0; y < img->pixelHeight(); ++y) {
        const UIColor c = img->pixelAt(x, y);
        n += std::fabs(c.red - 39 / 255.0) < 0.05 && std::fabs(c.blue - 192 / 255.0) < 0.05;
    }
    return n;
}

TEST(DrawerVisualStates, DoorIsDrawnInPerspectiveWhileThePanHoldsItHalfOpen) {
    DrawerStage s;
    s.drawer->setOpenDrawerGestureModeMask(OpenGesturePanCenterView);
    s.drawer->setDrawerVisualStateBlock(KAVDrawerVisualState::swingingDoorVisualStateBlock());
    // A finger holds the centre at 130: the door is half open.
    s.hold({20, 300}, {150, 300});
    ASSERT_EQ(s.centerX(), 130);
    auto img = UIDriver::renderImage(1, s.window.get());
    // The door is hinged at the centre's edge: drawn almost full height near
    // it, shorter towards its far edge, which reaches past the screen's edge.
    EXPECT_GT(blueRows(img, 100), 530);
    EXPECT_GT(blueRows(img, 5), 400);
    EXPECT_GT(blueRows(img, 100) - blueRows(img, 5), 40);
    EXPECT_EQ(blueRows(img, 140), 0);
    writeScreenshot(img, "drawer-swinging-door");
    TouchInput::touchUp(1, {150, 300});
}

}  // namespace
