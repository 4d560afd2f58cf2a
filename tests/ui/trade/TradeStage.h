#pragma once

// What the trading-screen tests share: a session logged in to the simulated
// dealer, which the test hands to the screens, its record pushes relayed to
// the event bus as the application delegate relays them, a window on the
// virtual clock, and the PNGs.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/ui/Application.h"
#include "platform/ui/Driver.h"
#include "platform/ui/Image.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/DealerLogin.h"
#include "tests/support/DealerSim.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/toolkit/StageSupport.h"
#include "ui/services/BroadcastManager.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAStringUtils.h"
#include "ui/toolkit/KAVProgressHUD.h"
#include "ui/toolkit/PushBusRelay.h"
#include "ui/toolkit/ScreenContext.h"
#include "ui/trade/LSConvert.h"

namespace tradetest {

using namespace platform::ui;

// The price as the order screens print it.
inline std::string shown(double price, int decimals) {
    return KAStringUtils::notRounding(lsconvert::decimal(price), decimals);
}

// The application delegate's relay of the record pushes to the event bus;
// the rest of what the service object reports is taken and dropped.
class BusDelegate : public PushBusRelay {
  public:
    void onNetworkStatus(int32_t) override {}
    void onLogout() override {}
};

// How near a pixel is to a colour given on the 0..255 scale.
inline double colourDistance(const UIColor& pixel, int r, int g, int b) {
    return std::fabs(pixel.red * 255 - r) + std::fabs(pixel.green * 255 - g) +
           std::fabs(pixel.blue * 255 - b);
}

// Pixels of the rendered screen within the view's frame that lie near the colour.
inline int pixelsNear(const UIImagePtr& shot, const UIView* view, int r, int g, int b,
                      double tolerance = 40) {
    const CGRect frame = view->convertRectToView(view->bounds(), nullptr);
    const double scale = shot->scale();
    int count = 0;
    for (int y = static_cast<int>(frame.origin.y * scale);
         y < static_cast<int>((frame.origin.y + frame.size.height) * scale); ++y)
        for (int x = static_cast<int>(frame.origin.x * scale);
             x < static_cast<int>((frame.origin.x + frame.size.width) * scale); ++x)
            if (x >= 0 && y >= 0 && x < shot->pixelWidth() && y < shot->pixelHeight() &&
                colourDistance(shot->pixelAt(x, y), r, g, b) < tolerance)
                ++count;
    return count;
}

class LiveTradeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UIApplication::sharedApplication().resetForTesting();
        ASSERT_TRUE(kavtest::logInAtDealer(time, *sdk, sim));
        sdk->setDelegate(bus);
    }
    void TearDown() override {
        KAVProgressHUD::dismiss();
        kavtest::dismissAlerts(time);
        sdk->setDelegate({});
        sdk->stopConnect();
        time.advance(1);
        if (window) window->setRootViewController(nullptr);
        window.reset();
        UIApplication::sharedApplication().resetForTesting();
        time.advance(0.1);
    }

    // Puts the controller into a key window of the given size.
    void show(const UIViewControllerPtr& root, CGRect frame = UIScreen::mainScreen().bounds()) {
        window = std::make_shared<UIWindow>(frame);
        window->setBackgroundColor(UIColor::whiteColor());
        window->setRootViewController(root);
        window->makeKeyAndVisible();
        UIScreenRenderer::layoutWindows();
        time.advance(0.5);
    }
    // A plain root screen in the window, to present an order screen's stack
    // as the board and the lists do.
    void showRoot() {
        root = std::make_shared<UIViewController>();
        show(root);
    }
    // The stack presented over the root, its animation run out.
    void presentOnRoot(const UIViewControllerPtr& stack) {
        root->presentViewController(stack, true);
        time.advance(1);
    }
    // The field of the newest package of the event the dealer's trade
    // service received, if there is one.
    std::optional<std::string> lastAtDealer(const std::string& event, const std::string& key) {
        const auto packages = sim.packages(kavtest::SimService::Trade, event);
        return packages.empty() ? std::nullopt : packages.back().child(key);
    }
    UIImagePtr shot(const std::string& name) {
        UIScreenRenderer::layoutWindows();
        auto image = UIDriver::renderImage(1);
        kavtest::writeScreenshot(image, name);
        return image;
    }

    kavtest::VirtualTime time;
    kavtest::DealerSim sim;
    std::shared_ptr<KAVBizSDK> sdk = std::make_shared<KAVBizSDK>();
    std::shared_ptr<sysDB> store = std::make_shared<sysDB>();
    std::shared_ptr<BusDelegate> bus = std::make_shared<BusDelegate>();
    // What the screens under test are handed.
    ScreenContext context{sdk, store};
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIViewController> root;
};

}  // namespace tradetest
