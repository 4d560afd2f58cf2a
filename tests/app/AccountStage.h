#pragma once

// What the account screen tests share: a phone-sized window on the virtual
// clock, a session (service object and settings store) the test hands to
// the screens, optionally logged in to the simulated dealer, and the PNGs
// written to $KAV_SCREENSHOTS.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/Device.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "tests/support/DealerLogin.h"
#include "tests/support/DealerSim.h"
#include "tests/support/ServiceTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/toolkit/StageSupport.h"
#include "ui/services/BroadcastManager.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/BaseNavigationController.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVAlertViewStack.h"
#include "ui/toolkit/KAVProgressHUD.h"
#include "ui/toolkit/PushBusRelay.h"
#include "ui/toolkit/ScreenContext.h"

namespace accounttest {

using namespace platform::ui;

// Every setting the screens read or write, so each test starts from the defaults.
inline constexpr int kSettingTags[] = {2001, 2002, 2003, 2004, 2005, 2006,
                                       2007, 2008, 2009, 3001, 3003, 3005};

// A colour read from a rendered screen, on the 0..255 scale.
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}
inline Rgb rgbOf(const UIColor& c) {
    auto level = [](double v) { return static_cast<int>(v * 255 + 0.5); };
    return {level(c.red), level(c.green), level(c.blue)};
}

// The application delegate's relay of the record pushes to the event bus,
// counting the account pushes.
struct BusRelay : PushBusRelay {
    void onAccountChange(const MODList<MODUserAccount>& accounts) override {
        ++accountPushes;
        PushBusRelay::onAccountChange(accounts);
    }
    static void postAccounts(const MODList<MODUserAccount>& accounts) {
        auto message = std::make_shared<MoMessage>();
        message->obj = accounts;
        BroadcastManager::postMessage(message, kActionReceiveAccountChange);
    }
    int accountPushes = 0;
};

class AccountScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UIApplication::sharedApplication().resetForTesting();
        UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
        for (int tag : kSettingTags)
            platform::UserDefaults::standard().removeObjectForKey("key_" + std::to_string(tag));
        session = {std::make_shared<KAVBizSDK>(), std::make_shared<sysDB>()};
        window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
        window->setBackgroundColor(UIColor::whiteColor());
        window->makeKeyAndVisible();
    }

    void TearDown() override {
        window->endEditing(true);
        KAVProgressHUD::dismiss();
        kavtest::dismissAlerts(time);
        if (sdk()) sdk()->stopConnect();
        time.advance(1);
        window->setRootViewController(nullptr);
        window.reset();
        UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
        session = {};
        UIApplication::sharedApplication().resetForTesting();
        time.advance(0.1);
    }

    const std::shared_ptr<KAVBizSDK>& sdk() const { return session.bizSDK; }
    const std::shared_ptr<sysDB>& store() const { return session.sysdb; }

    // Starts the simulated dealer and logs the session in as 1001.
    void logIn(const std::string& user = "1001") {
        sim = std::make_unique<kavtest::DealerSim>();
        ASSERT_TRUE(kavtest::logInAtDealer(time, *sdk(), *sim, user));
        sdk()->setDelegate(relay);
    }

    // The screen as the root of its own navigation stack in the window, shown.
    std::shared_ptr<BaseNavigationController> show(const UIViewControllerPtr& screen) {
        auto nav = std::make_shared<BaseNavigationController>(screen);
        window->setRootViewController(nav);
        settle();
        return nav;
    }
    void settle(double seconds = 0.6) {
        UIScreenRenderer::layoutWindows();
        time.advance(seconds);
        UIScreenRenderer::layoutWindows();
    }
    // Runs the main run loop until the condition holds (for replies from the
    // dealer, which arrive on real time), then lets animations finish.
    // Virtual time moves on in small steps meanwhile, so that the overlay's
    // and the alerts' animations run as they would.
    bool waitFor(const std::function<bool()>& condition, double realTimeout = 10) {
        const int steps = static_cast<int>(realTimeout / 0.05);
        for (int i = 0; i < steps && !condition(); ++i) {
            time.runUntil(condition, 0.05);
            time.advance(0.05);
            UIScreenRenderer::layoutWindows();
        }
        const bool met = condition();
        settle(0.5);
        return met;
    }

    bool shows(const std::string& text) {
        return UIDriver::isVisible(UIDriver::viewWithText(text));
    }
    KAVAlertView* topAlert() {
        const auto& alerts = KAVAlertViewStack::sharedInstance().alertViews();
        return alerts.empty() ? nullptr : alerts.back().get();
    }
    // Closes the top alert with its button of that caption.
    void tapAlertButton(const std::string& caption) {
        UIView* button = UIDriver::viewWithText(caption);
        ASSERT_NE(button, nullptr) << caption;
        UIDriver::tap(button);
        settle();
    }

    // The screen now, written to $KAV_SCREENSHOTS (when set) as NAME.png.
    UIImagePtr snapshot(const std::string& name) {
        UIScreenRenderer::layoutWindows();
        auto image = UIDriver::renderImage(1);
        kavtest::writeScreenshot(image, name);
        return image;
    }
    static Rgb pixel(const UIImagePtr& image, int x, int y) { return rgbOf(image->pixelAt(x, y)); }
    // How many pixels of the view, as rendered, lie near the colour.
    static int pixelsNear(const UIImagePtr& shot, const UIView* view, Rgb colour,
                          int tolerance = 40) {
        const CGRect frame = view->convertRectToView(view->bounds(), nullptr);
        int count = 0;
        for (int y = static_cast<int>(frame.origin.y); y < static_cast<int>(CGRectGetMaxY(frame));
             ++y)
            for (int x = static_cast<int>(frame.origin.x);
                 x < static_cast<int>(CGRectGetMaxX(frame)); ++x) {
                if (x < 0 || y < 0 || x >= shot->pixelWidth() || y >= shot->pixelHeight()) continue;
                const Rgb p = pixel(shot, x, y);
                if (std::abs(p.r - colour.r) + std::abs(p.g - colour.g) + std::abs(p.b - colour.b) <
                    tolerance)
                    ++count;
            }
        return count;
    }

    kavtest::VirtualTime time;
    kavtest::TempDir temp;
    // What the screens under test are handed.
    ScreenContext session;
    std::unique_ptr<kavtest::DealerSim> sim;
    std::shared_ptr<BusRelay> relay = std::make_shared<BusRelay>();
    std::shared_ptr<UIWindow> window;
};

}  // namespace accounttest
