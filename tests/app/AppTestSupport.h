#pragma once

// The application under test: a fresh data folder, the dealer-definition
// service pointed at the simulated dealer, the application launched with
// its real delegate on the virtual clock, and the script runner to drive it
// as a user would.

#include <gtest/gtest.h>

#include <sstream>

#include "Core/SDK/KAVBizSDK.h"
#include "app/AppDelegate.h"
#include "app/LoginViewController.h"
#include "app/MainDrawerViewController.h"
#include "app/ScriptRunner.h"
#include "platform/Audio.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/Driver.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "tests/support/DealerSim.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/toolkit/StageSupport.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVAlertViewStack.h"
#include "ui/toolkit/KAVProgressHUD.h"

namespace kavtest {

class AppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::files::setDataRoot(data.path());
        platform::UserDefaults::resetStandard();
        platform::audio::clearRecordedPlays();
        platform::ui::UIApplication::sharedApplication().resetForTesting();
    }
    void TearDown() override {
        platform::ui::UIApplication::sharedApplication().resetForTesting();
        if (app) app->window.reset();
        app.reset();
        // What is in flight lands (a lookup, a reply), then whatever a screen
        // left up goes, so the next test starts on a clear screen.
        platform::RunLoop::main().runUntil([] { return false; }, 0.2);
        time.advance(1);
        // An alert leaves the stack when its fade has run on the clock, not
        // when it is dismissed: closing them without moving the clock would
        // go round for ever after a failed test left one up.
        dismissAlerts(time);
        KAVProgressHUD::dismiss();
        time.advance(1);
        platform::files::setDataRoot({});
        platform::UserDefaults::resetStandard();
    }

    void launch() {
        app = std::make_shared<AppDelegate>();
        platform::ui::UIApplication::sharedApplication().launch(app);
    }
    // Runs the script's lines; every one must pass. The lines printed.
    std::string run(const std::string& script) {
        std::istringstream in(script);
        std::ostringstream out;
        ScriptRunner runner(out, shots(), nullptr);
        EXPECT_TRUE(runner.run(in)) << out.str();
        return out.str();
    }
    // Where `shot` writes: $KAV_SCREENSHOTS, else a folder of this test.
    std::filesystem::path shots() {
        const auto folder = screenshotFolder();
        return folder.empty() ? data.path() / "shots" : folder;
    }
    // Runs the main run loop (network from real time, timers on the virtual
    // clock) until the predicate holds or `limit` virtual seconds passed.
    bool until(const std::function<bool()>& predicate, double limit = 30) {
        auto& loop = platform::RunLoop::main();
        for (double waited = 0;; waited += 0.05) {
            loop.drain();
            if (predicate()) return true;
            if (waited >= limit) return false;
            loop.runUntil(predicate, 0.002);
            loop.advance(0.05);
        }
    }
    std::shared_ptr<platform::ui::UIViewController> root() const {
        return app && app->window ? app->window->rootViewController() : nullptr;
    }
    template <typename T>
    std::shared_ptr<T> rootAs() const {
        return std::dynamic_pointer_cast<T>(root());
    }
    // Launches with the built-in dealer found on the simulated dealer, and
    // waits for the login form.
    void launchToLogin() {
        launch();
        run("wait-text 登录 5\nwait-gone 正在初始化服务\nwait 0.5\n");
    }
    // Logs in through the form; waits until the session is open.
    void logIn(const std::string& account = "1001", const std::string& password = "123456") {
        // A remembered account is deleted first, as a user would.
        std::string erase;
        for (int i = 0; i < 16; ++i)
            erase += "\\b";
        // The form moves with the keyboard: each tap waits for it to stand
        // still, and the keyboard is put away (its bar's Done) before the
        // login button.
        run("tap-tag 7001\nwait 0.3\ntype \"" + erase + account +
            "\"\ntap-tag 7002\nwait 0.3\ntype \"" + password +
            "\"\ntap Done\nwait 0.3\ntap 登录\n");
        ASSERT_TRUE(until([&] { return rootAs<MainDrawerViewController>() != nullptr; }))
            << platform::ui::UIDriver::dumpViewTree();
    }
    // Views with the tag in the window, visible or not.
    size_t viewsTagged(long tag) {
        size_t n = 0;
        platform::ui::UIDriver::forEachView(app->window.get(), [&](platform::ui::UIView* v) {
            if (v->tag() == tag) ++n;
        });
        return n;
    }

    TempDir data;
    VirtualTime time;
    DealerSim sim;
    ScopedEnv dealerService{"KAV_DEALER_SERVICE", sim.dealerUrl().c_str()};
    platform::LogCapture logs;
    std::shared_ptr<AppDelegate> app;
};

}  // namespace kavtest
