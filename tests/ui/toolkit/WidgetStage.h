#pragma once

// What the widget tests share: a key, screen-sized window on the virtual
// clock with the screens' dark ground, a frame comparison, and the PNGs.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/ui/Application.h"
#include "platform/ui/Driver.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"

namespace widgettest {

using namespace platform::ui;

inline ::testing::AssertionResult sameRect(const CGRect& actual, const CGRect& expected) {
    const double e = 1e-6;
    if (std::fabs(actual.origin.x - expected.origin.x) < e &&
        std::fabs(actual.origin.y - expected.origin.y) < e &&
        std::fabs(actual.size.width - expected.size.width) < e &&
        std::fabs(actual.size.height - expected.size.height) < e)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << NSStringFromCGRect(actual) << " is not " << NSStringFromCGRect(expected);
}

// Two colours alike to within rounding of 8-bit pixels.
inline ::testing::AssertionResult sameColor(const UIColor& actual, const UIColor& expected,
                                            double tolerance = 2.5 / 255) {
    if (std::fabs(actual.red - expected.red) <= tolerance &&
        std::fabs(actual.green - expected.green) <= tolerance &&
        std::fabs(actual.blue - expected.blue) <= tolerance &&
        std::fabs(actual.alpha - expected.alpha) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << actual.description() << " is not " << expected.description();
}

class WidgetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UIApplication::sharedApplication().resetForTesting();
        window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
        window->setBackgroundColor(UIColor::grey255(30));
        window->makeKeyAndVisible();
        UIScreenRenderer::layoutWindows();
    }
    void TearDown() override {
        window->endEditing(true);
        time.advance(1);
        for (auto& sub : std::vector<UIViewPtr>(window->subviews()))
            sub->removeFromSuperview();
        window.reset();
        UIApplication::sharedApplication().resetForTesting();
        time.advance(0.1);
    }

    // Where the PNGs go: $KAV_SCREENSHOTS when set, else a temporary folder.
    std::filesystem::path shots() const {
        const char* dir = std::getenv("KAV_SCREENSHOTS");
        if (dir && *dir) {
            std::filesystem::create_directories(dir);
            return dir;
        }
        return temp.path();
    }
    // Renders the screen to <name>.png and reads it back.
    UIImagePtr snapshot(const std::string& name, CGFloat scale = 1) {
        UIScreenRenderer::layoutWindows();
        const auto path = shots() / (name + ".png");
        EXPECT_TRUE(UIDriver::renderPNG(path, scale));
        return UIImage::imageWithContentsOfFile(path);
    }

    kavtest::VirtualTime time;
    kavtest::TempDir temp;
    std::shared_ptr<UIWindow> window;
};

}  // namespace widgettest
