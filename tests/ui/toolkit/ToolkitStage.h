#pragma once

// What the toolkit tests share: a screen-sized application window with a
// plain screen on it (a caption and a button that counts its taps), on the
// virtual clock, and the folder the PNGs go to.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/toolkit/StageSupport.h"
#include "ui/toolkit/KAVProgressHUD.h"

namespace toolkittest {

using namespace platform::ui;

// A screen like the application's: dark grey, a caption at the top and a
// wide button low on it.
class PlainScreen : public UIViewController {
  public:
    static constexpr long kTagButton = 1004;
    // The screens' dark grey.
    static constexpr int kBackground = 30;
    int taps = 0;
    std::shared_ptr<UIButton> button;

    void viewDidLoad() override {
        UIView* v = view();
        v->setBackgroundColor(UIColor::grey255(kBackground));
        auto caption = std::make_shared<UILabel>(CGRectMake(20, 40, 280, 30));
        caption->setText("现货黄金 2034.55");
        caption->setTextColor(UIColor::grey255(240));
        v->addSubview(caption);
        button = std::make_shared<UIButton>(CGRectMake(20, 450, 280, 50));
        button->setTitle("买入", UIControlStateNormal);
        button->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
        button->setBackgroundColor(UIColor::rgb255(19, 145, 55));
        button->setTag(kTagButton);
        button->addTarget([this](UIControl*, UIEvent*) { ++taps; }, UIControlEventTouchUpInside);
        v->addSubview(button);
    }
};

// Frames go through centre and bounds, so compare them to a hair.
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

class ToolkitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UIApplication::sharedApplication().resetForTesting();
        window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
        window->setBackgroundColor(UIColor::whiteColor());
        screen = std::make_shared<PlainScreen>();
        window->setRootViewController(screen);
        window->makeKeyAndVisible();
        UIScreenRenderer::layoutWindows();
    }
    void TearDown() override {
        window->endEditing(true);
        // Nothing of one test may reach into the next.
        KAVProgressHUD::dismiss();
        KAVProgressHUD::resetOffsetFromCenter();
        kavtest::dismissAlerts(time);
        time.advance(1);
        UIApplication::sharedApplication().resetForTesting();
        window->setRootViewController(nullptr);
        window.reset();
        time.advance(0.1);
    }

    // Where the PNGs go: $KAV_SCREENSHOTS when set, else a temporary folder.
    std::filesystem::path shots() const {
        const auto folder = kavtest::screenshotFolder();
        return folder.empty() ? temp.path() : folder;
    }
    UIImagePtr snapshot(const std::string& name) {
        const auto path = shots() / (name + ".png");
        EXPECT_TRUE(UIDriver::renderPNG(path, 1));
        return UIImage::imageWithContentsOfFile(path);
    }

    kavtest::VirtualTime time;
    kavtest::TempDir temp;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<PlainScreen> screen;
};

}  // namespace toolkittest
