// Layers turned about the vertical axis with perspective: the near edge is
// drawn taller than the far one, the picture has no seams between its
// strips, sublayers go along, and an edge-on layer draws nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/ui/Driver.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"

using namespace platform::ui;

namespace {

struct PerspectiveScene {
    kavtest::VirtualTime time;
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(CGRectMake(0, 0, 200, 200));
    std::shared_ptr<UIView> card = std::make_shared<UIView>(CGRectMake(50, 50, 100, 100));
    PerspectiveScene() {
        window->setBackgroundColor(UIColor::whiteColor());
        card->setBackgroundColor(UIColor::redColor());
        window->addSubview(card);
        window->makeKeyAndVisible();
    }
    // The card turned by `angle` about its vertical middle, seen from 500
    // points away.
    void turn(double angle) {
        CATransform3D t = CATransform3DIdentity;
        t.m34 = -1.0 / 500;
        card->layer().setTransform(CATransform3DRotate(t, angle, 0, 1, 0));
    }
    UIImagePtr render() { return UIDriver::renderImage(1, window.get()); }
};

bool isRed(const UIColor& c) {
    return c.red > 0.9 && c.green < 0.1 && c.blue < 0.1 && c.alpha > 0.99;
}
bool isBlue(const UIColor& c) {
    return c.blue > 0.9 && c.red < 0.1 && c.green < 0.1;
}

// Rows of the column that are (fully) red.
int redHeight(const UIImagePtr& img, int x) {
    int n = 0;
    for (int y = 0; y < img->pixelHeight(); ++y)
        n += isRed(img->pixelAt(x, y)) ? 1 : 0;
    return n;
}

TEST(Perspective, TurnedLayerIsTallerAtItsNearEdgeAndWithoutSeams) {
    PerspectiveScene s;
    const double a = std::numbers::pi / 4;
    s.turn(a);
    auto img = s.render();
    // Edge u (from the middle) lands at x = u cos a / w and is h / w tall,
    // with w = 1 + u sin a / 500: the left edge comes nearer, the right
    // one goes away.
    auto edgeX = [&](double u) { return 100 + u * std::cos(a) / (1 + u * std::sin(a) / 500); };
    auto height = [&](double u) { return 100 / (1 + u * std::sin(a) / 500); };
    const int nearX = static_cast<int>(std::ceil(edgeX(-50))) + 1;
    const int farX = static_cast<int>(std::floor(edgeX(50))) - 2;
    EXPECT_NEAR(redHeight(img, nearX), height(-50), 3);
    EXPECT_NEAR(redHeight(img, farX), height(50), 3);
    EXPECT_GT(redHeight(img, nearX) - redHeight(img, farX), 10);
    // Beyond the projected edges the window shows.
    EXPECT_EQ(redHeight(img, nearX - 4), 0);
    EXPECT_EQ(redHeight(img, farX + 4), 0);
    // Every pixel of the middle row between the edges is fully red: the
    // strips meet without a seam.
    for (int x = nearX; x <= farX; ++x)
        EXPECT_TRUE(isRed(img->pixelAt(x, 100))) << "x " << x;
}

TEST(Perspective, SublayersAreProjectedWithTheirLayerAndEdgeOnDrawsNothing) {
    PerspectiveScene s;
    auto stripe = std::make_shared<UIView>(CGRectMake(0, 0, 10, 100));
    stripe->setBackgroundColor(UIColor::blueColor());
    s.card->addSubview(stripe);
    s.turn(std::numbers::pi / 4);
    auto img = s.render();
    // The blue stripe sits at the near (left) edge and is as tall as the
    // card there, not 100 points as the flat drawing would have it.
    int x = 0;
    while (x < 200 && !isBlue(img->pixelAt(x, 100)))
        ++x;
    ASSERT_LT(x, 100);
    int blue = 0;
    for (int y = 0; y < 200; ++y)
        blue += isBlue(img->pixelAt(x + 1, y)) ? 1 : 0;
    EXPECT_GT(blue, 104);

    s.turn(-std::numbers::pi / 2);
    img = s.render();
    for (int px = 0; px < 200; px += 5)
        EXPECT_EQ(redHeight(img, px), 0) << "x " << px;
}

}  // namespace
