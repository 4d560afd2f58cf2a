#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Display.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/Window.h"
#include "platform/ui/sdl-window/DesktopWindow.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"

using namespace platform::ui;

namespace {

// The largest difference of a colour component between two images of the
// same size (0..1).
double difference(const UIImagePtr& a, const UIImagePtr& b) {
    double worst = 0;
    for (int y = 0; y < a->pixelHeight(); y += 3)
        for (int x = 0; x < a->pixelWidth(); x += 3) {
            UIColor p = a->pixelAt(x, y), q = b->pixelAt(x, y);
            worst = std::max({worst, std::fabs(p.red - q.red), std::fabs(p.green - q.green),
                              std::fabs(p.blue - q.blue)});
        }
    return worst;
}

TEST(DesktopWindow, LinkedItIsTheDisplayAndDrawsOnlyWhatChanged) {
    kavtest::ScopedEnv driver("SDL_VIDEODRIVER", "dummy");
    kavtest::ScopedEnv display("DISPLAY", ":99");
    ASSERT_TRUE(UIDisplayBackendAvailable());
    auto opened = UIDisplayOpen(2);
    ASSERT_TRUE(opened);
    auto* desktop = dynamic_cast<DesktopWindow*>(opened.get());
    ASSERT_TRUE(desktop);

    auto window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    window->setBackgroundColor(UIColor::grey255(40));
    std::vector<std::shared_ptr<UILabel>> labels;
    for (int i = 0; i < 12; ++i) {
        auto label = std::make_shared<UILabel>(CGRectMake(20, 20 + i * 40, 200, 30));
        label->setText("1.0" + std::to_string(8345 + i));
        label->setTextColor(UIColor::whiteColor());
        window->addSubview(label);
        labels.push_back(label);
    }
    window->makeKeyAndVisible();

    ASSERT_TRUE(desktop->drawFrameIfNeeded());
    EXPECT_EQ(desktop->framesDrawn(), 1u);
    EXPECT_EQ(difference(desktop->shownImage(), UIScreenRenderer::renderScreen(2)), 0);

    // Nothing changed: no frame, no work.
    EXPECT_FALSE(desktop->drawFrameIfNeeded());
    EXPECT_EQ(desktop->framesDrawn(), 1u);

    // One label: only its area is composited and uploaded.
    labels[5]->setText("1.09999");
    ASSERT_TRUE(desktop->drawFrameIfNeeded());
    EXPECT_EQ(desktop->framesDrawn(), 2u);
    ASSERT_EQ(desktop->lastFrame().damage.size(), 1u);
    EXPECT_EQ(desktop->lastFrame().damage[0], CGRectMake(20, 220, 200, 30));
    EXPECT_EQ(difference(desktop->shownImage(), UIScreenRenderer::renderScreen(2)), 0);

    window->setHidden(true);
    window.reset();
    opened.reset();
}

}  // namespace
