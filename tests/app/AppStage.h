#pragma once

// What the application's screen tests share: a screen-sized window on the
// virtual clock, the folder the PNGs go to, and a clean slate between tests
// (no overlay, no alert, no camera left over).

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/Audio.h"
#include "platform/ui/Application.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/toolkit/StageSupport.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVAlertViewStack.h"
#include "ui/toolkit/KAVProgressHUD.h"

namespace apptest {

using namespace platform::ui;

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UIApplication::sharedApplication().resetForTesting();
        platform::audio::clearRecordedPlays();
        window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
        window->setBackgroundColor(UIColor::whiteColor());
    }
    void TearDown() override {
        window->endEditing(true);
        KAVProgressHUD::dismiss();
        closeAlerts();
        time.advance(1);
        UIApplication::sharedApplication().resetForTesting();
        window->setRootViewController(nullptr);
        window.reset();
        time.advance(0.1);
    }

    void show(const UIViewControllerPtr& root) {
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        UIScreenRenderer::layoutWindows();
    }

    void closeAlerts() { kavtest::dismissAlerts(time); }

    // The message of the alert on top, or "" when none is up.
    std::string topAlertMessage() const {
        const auto& alerts = KAVAlertViewStack::sharedInstance().alertViews();
        if (alerts.empty()) return "";
        return alerts.back()->messageLabel()->text();
    }
    size_t alertCount() const { return KAVAlertViewStack::sharedInstance().alertViews().size(); }
    // Taps the button of the top alert that shows `title`.
    bool tapAlertButton(const std::string& title) {
        const auto& alerts = KAVAlertViewStack::sharedInstance().alertViews();
        if (alerts.empty()) return false;
        for (const auto& button : alerts.back()->buttons()) {
            if (button->debugText() == title) {
                UIDriver::tap(button.get());
                time.advance(0.5);
                return true;
            }
        }
        return false;
    }
    bool visibleText(const std::string& text) const {
        return UIDriver::isVisible(UIDriver::viewWithText(text));
    }

    // Where the PNGs go: $KAV_SCREENSHOTS when set, else a temporary folder.
    std::filesystem::path shots() const {
        const auto folder = kavtest::screenshotFolder();
        return folder.empty() ? temp.path() : folder;
    }
    UIImagePtr snapshot(const std::string& name) {
        UIScreenRenderer::layoutWindows();
        const auto path = shots() / (name + ".png");
        EXPECT_TRUE(UIDriver::renderPNG(path, 1));
        return UIImage::imageWithContentsOfFile(path);
    }

    kavtest::VirtualTime time;
    kavtest::TempDir temp;
    std::shared_ptr<UIWindow> window;
};

}  // namespace apptest
