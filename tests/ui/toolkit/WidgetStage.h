#pragma once

// The widget tests' stage: a key, screen-sized window with the screens' dark
// ground on the virtual clock, frame and colour comparisons, and the PNGs
// (into $KAV_SCREENSHOTS when set).

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "platform/ui/Application.h"
#include "platform/ui/Driver.h"
#include "platform/ui/ScreenRenderer.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/toolkit/StageSupport.h"

namespace widgettest {

using namespace platform::ui;

inline ::testing::AssertionResult sameWidgetRect(const CGRect& a, const CGRect& e) {
    const double d = std::fabs(a.origin.x - e.origin.x) + std::fabs(a.origin.y - e.origin.y) +
                     std::fabs(a.size.width - e.size.width) +
                     std::fabs(a.size.height - e.size.height);
    if (a == e || d < 1e-6) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << NSStringFromCGRect(a) << " is not " << NSStringFromCGRect(e);
}

inline ::testing::AssertionResult sameColor(const UIColor& a, const UIColor& e,
                                            double tolerance = 2.5 / 255) {
    if (std::fabs(a.red - e.red) <= tolerance && std::fabs(a.green - e.green) <= tolerance &&
        std::fabs(a.blue - e.blue) <= tolerance && std::fabs(a.alpha - e.alpha) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << a.description() << " is not " << e.description();
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
        window.reset();
        UIApplication::sharedApplication().resetForTesting();
        time.advance(0.1);
    }
    UIImagePtr snapshot(const std::string& name) {
        UIScreenRenderer::layoutWindows();
        auto folder = kavtest::screenshotFolder();
        if (folder.empty()) folder = temp.path();
        EXPECT_TRUE(UIDriver::renderPNG(folder / (name + ".png")));
        return UIImage::imageWithContentsOfFile(folder / (name + ".png"));
    }

    kavtest::VirtualTime time;
    kavtest::TempDir temp;
    std::shared_ptr<UIWindow> window;
};

}  // namespace widgettest
