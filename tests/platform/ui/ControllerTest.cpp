#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Dispatch.h"
#include "platform/Files.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/Device.h"
#include "platform/ui/Display.h"
#include "platform/ui/Driver.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/TableView.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"

using namespace platform::ui;

namespace {

std::vector<std::string> journal;

// Writes every callback into the journal as "name.callback".
class Screen : public UIViewController {
  public:
    explicit Screen(std::string name) : name_(std::move(name)) { setTitle(name_); }
    void viewDidLoad() override { journal.push_back(name_ + ".load"); }
    void viewWillAppear(bool) override { journal.push_back(name_ + ".willAppear"); }
    void viewDidAppear(bool) override { journal.push_back(name_ + ".didAppear"); }
    void viewWillDisappear(bool) override { journal.push_back(name_ + ".willDisappear"); }
    void viewDidDisappear(bool) override { journal.push_back(name_ + ".didDisappear"); }
    void willRotateToInterfaceOrientation(UIInterfaceOrientation o, double d) override {
        journal.push_back(name_ + ".willRotate");
        UIViewController::willRotateToInterfaceOrientation(o, d);
    }
    bool shouldAutorotate() const override { return rotates; }
    unsigned supportedInterfaceOrientations() const override {
        return rotates ? UIInterfaceOrientationMaskAllButUpsideDown
                       : UIInterfaceOrientationMaskPortrait;
    }
    bool rotates = false;

  private:
    std::string name_;
};

// A container that forwards appearance to its child itself.
class Container : public Screen {
  public:
    using Screen::Screen;
    bool shouldAutomaticallyForwardAppearanceMethods() const override { return false; }
    UIViewControllerPtr child;
    void viewWillAppear(bool a) override {
        Screen::viewWillAppear(a);
        if (child) child->beginAppearanceTransition(true, a);
    }
    void viewDidAppear(bool a) override {
        Screen::viewDidAppear(a);
        if (child) child->endAppearanceTransition();
    }
    void viewWillDisappear(bool a) override {
        Screen::viewWillDisappear(a);
        if (child) child->beginAppearanceTransition(false, a);
    }
    void viewDidDisappear(bool a) override {
        Screen::viewDidDisappear(a);
        if (child) child->endAppearanceTransition();
    }
};

struct App {
    kavtest::VirtualTime time;
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    App() {
        journal.clear();
        UIApplication::sharedApplication().resetForTesting();
        UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
    }
    ~App() {
        window->setRootViewController(nullptr);
        time.drain();
        UIDevice::currentDevice().setOrientation(UIDeviceOrientation::Portrait);
        UIApplication::sharedApplication().resetForTesting();
    }
};

using Lines = std::vector<std::string>;

TEST(Controllers, ViewLoadsLazilyAndRootAppearsWithTheWindow) {
    App app;
    auto a = std::make_shared<Screen>("A");
    EXPECT_FALSE(a->isViewLoaded());
    app.window->setRootViewController(a);
    EXPECT_EQ(journal, (Lines{"A.load"}));  // not shown yet: the window is hidden
    app.window->makeKeyAndVisible();
    EXPECT_EQ(journal, (Lines{"A.load", "A.willAppear", "A.didAppear"}));
    EXPECT_EQ(a->view()->frame(), app.window->bounds());
}

TEST(Controllers, PushAndPopCoverAndUncoverWithCallbacksInOrder) {
    App app;
    auto a = std::make_shared<Screen>("A");
    auto b = std::make_shared<Screen>("B");
    auto nav = std::make_shared<UINavigationController>(a);
    app.window->setRootViewController(nav);
    app.window->makeKeyAndVisible();
    journal.clear();

    nav->pushViewController(b, true);
    EXPECT_EQ(journal, (Lines{"A.willDisappear", "B.load", "B.willAppear"}));
    app.time.advance(0.4);
    EXPECT_EQ(journal, (Lines{"A.willDisappear", "B.load", "B.willAppear", "A.didDisappear",
                              "B.didAppear"}));
    EXPECT_EQ(nav->topViewController(), b.get());
    EXPECT_EQ(b->navigationController(), nav.get());
    EXPECT_EQ(a->view()->window(), nullptr);  // covered screens leave the window

    journal.clear();
    nav->popViewControllerAnimated(true);
    app.time.advance(0.4);
    EXPECT_EQ(journal, (Lines{"B.willDisappear", "A.willAppear", "B.didDisappear", "A.didAppear"}));
    EXPECT_EQ(b->parentViewController(), nullptr);

    // Pop to root from a deeper stack: only the top and the root are told.
    auto c = std::make_shared<Screen>("C");
    nav->pushViewController(b, false);
    nav->pushViewController(c, false);
    journal.clear();
    nav->popToRootViewControllerAnimated(false);
    EXPECT_EQ(journal, (Lines{"C.willDisappear", "A.willAppear", "C.didDisappear", "A.didAppear"}));
    EXPECT_EQ(nav->viewControllers().size(), 1u);
}

// A pop or push while a slide still runs: the slide that ends afterwards
// leaves the screen now on top in the window, and a screen popped and pushed
// back stays a child of the stack.
TEST(Controllers, AStackChangedDuringASlideKeepsItsTopScreenShown) {
    App app;
    auto a = std::make_shared<Screen>("A");
    auto b = std::make_shared<Screen>("B");
    auto nav = std::make_shared<UINavigationController>(a);
    app.window->setRootViewController(nav);
    app.window->makeKeyAndVisible();

    nav->pushViewController(b, true);
    app.time.advance(0.1);
    nav->popViewControllerAnimated(true);  // back while B still slides in
    app.time.advance(0.5);
    EXPECT_EQ(nav->topViewController(), a.get());
    EXPECT_EQ(a->view()->window(), app.window.get());
    EXPECT_EQ(a->view()->frame(), CGRectMake(0, 0, 320, 568));
    EXPECT_EQ(b->view()->window(), nullptr);
    EXPECT_EQ(b->parentViewController(), nullptr);
    EXPECT_TRUE(a->isAppearing());

    nav->pushViewController(b, false);
    nav->popViewControllerAnimated(true);
    app.time.advance(0.1);
    nav->pushViewController(b, true);  // the same screen again while it slides out
    app.time.advance(0.5);
    EXPECT_EQ(nav->topViewController(), b.get());
    EXPECT_EQ(b->view()->window(), app.window.get());
    EXPECT_EQ(b->parentViewController(), nav.get());
    EXPECT_EQ(a->view()->window(), nullptr);
}

// A screen whose view is a table, as the list screens are.
class ListScreen : public UIViewController {
  public:
    explicit ListScreen(unsigned edges) : edges_(edges) {}
    std::shared_ptr<UITableView> table;
    void loadView() override {
        table = std::make_shared<UITableView>(UIScreen::mainScreen().bounds());
        setView(table);
    }
    void viewDidLoad() override { setEdgesForExtendedLayout(edges_); }

  private:
    unsigned edges_;
};

TEST(Controllers, EdgesForExtendedLayoutPlaceTheViewUnderOrBelowTheBars) {
    App app;
    auto under = std::make_shared<ListScreen>(UIRectEdgeAll);
    auto below = std::make_shared<ListScreen>(UIRectEdgeNone);
    auto nav = std::make_shared<UINavigationController>(under);
    app.window->setRootViewController(nav);
    app.window->makeKeyAndVisible();

    // Under the bars: the whole screen, the table's content inset by them.
    EXPECT_EQ(under->view()->frame(), CGRectMake(0, 0, 320, 568));
    EXPECT_EQ(under->table->contentInset().top, 64);
    EXPECT_EQ(under->table->contentOffset().y, -64);

    // Below the bars: the view starts under the navigation bar and the table
    // needs no inset.
    nav->pushViewController(below, false);
    EXPECT_EQ(below->view()->frame(), CGRectMake(0, 64, 320, 504));
    EXPECT_EQ(below->table->contentInset().top, 0);
    EXPECT_EQ(below->table->contentOffset().y, 0);
    // The first row shows right under the bar.
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(UIDriver::screenCenterOf(below->view()).y, 64 + 504 / 2);

    nav->setNavigationBarHidden(true);
    EXPECT_EQ(below->view()->frame(), CGRectMake(0, 20, 320, 548));
    nav->setNavigationBarHidden(false);

    // Changed while shown: the view moves at once.
    below->setEdgesForExtendedLayout(UIRectEdgeAll);
    EXPECT_EQ(below->view()->frame(), CGRectMake(0, 0, 320, 568));
    EXPECT_EQ(below->table->contentInset().top, 64);
    below->setEdgesForExtendedLayout(UIRectEdgeBottom);
    EXPECT_EQ(below->view()->frame(), CGRectMake(0, 64, 320, 504));

    // Sliding in and out, each ends where it belongs.
    nav->popViewControllerAnimated(true);
    app.time.advance(0.4);
    EXPECT_EQ(under->view()->frame(), CGRectMake(0, 0, 320, 568));
    nav->pushViewController(below, true);
    app.time.advance(0.4);
    EXPECT_EQ(below->view()->frame(), CGRectMake(0, 64, 320, 504));
}

TEST(Controllers, ModalPresentAndDismissCoverTheScreenBelow) {
    App app;
    auto a = std::make_shared<Screen>("A");
    auto list = std::make_shared<Screen>("List");
    auto nav = std::make_shared<UINavigationController>(list);
    auto container = std::make_shared<Container>("Drawer");
    container->child = nav;
    container->addChildViewController(nav);
    container->view()->addSubview(nav->viewPtr());
    nav->didMoveToParentViewController(container.get());
    app.window->setRootViewController(container);
    app.window->makeKeyAndVisible();
    EXPECT_TRUE(list->isVisible());
    journal.clear();

    auto order = std::make_shared<UINavigationController>(a);
    bool presented = false;
    list->presentViewController(order, true, [&] { presented = true; });
    EXPECT_EQ(journal,
              (Lines{"A.load", "Drawer.willDisappear", "List.willDisappear", "A.willAppear"}));
    EXPECT_EQ(container->presentedViewController(), order.get());
    EXPECT_EQ(order->presentingViewController(), container.get());
    app.time.advance(0.4);
    EXPECT_TRUE(presented);
    EXPECT_EQ(journal,
              (Lines{"A.load", "Drawer.willDisappear", "List.willDisappear", "A.willAppear",
                     "Drawer.didDisappear", "List.didDisappear", "A.didAppear"}));
    EXPECT_FALSE(list->isVisible());

    // The screen inside the presented stack closes it.
    journal.clear();
    bool dismissed = false;
    a->dismissViewControllerAnimated(true, [&] { dismissed = true; });
    EXPECT_EQ(journal, (Lines{"A.willDisappear", "Drawer.willAppear", "List.willAppear"}));
    EXPECT_FALSE(dismissed);
    app.time.advance(0.4);
    EXPECT_TRUE(dismissed);
    EXPECT_EQ(journal, (Lines{"A.willDisappear", "Drawer.willAppear", "List.willAppear",
                              "A.didDisappear", "Drawer.didAppear", "List.didAppear"}));
    EXPECT_EQ(container->presentedViewController(), nullptr);
    EXPECT_TRUE(list->isVisible());

    // Without animation the callbacks run at once; the completion later.
    journal.clear();
    dismissed = false;
    container->presentViewController(std::make_shared<Screen>("M"), false, nullptr);
    container->dismissViewControllerAnimated(false, [&] { dismissed = true; });
    EXPECT_FALSE(dismissed);
    app.time.drain();
    EXPECT_TRUE(dismissed);
    EXPECT_EQ(journal.back(), "List.didAppear");
}

TEST(Controllers, ChildViewsFollowTheirAutoForwardingParent) {
    App app;
    auto parent = std::make_shared<Screen>("P");
    auto child = std::make_shared<Screen>("C");
    app.window->setRootViewController(parent);
    app.window->makeKeyAndVisible();
    journal.clear();
    parent->addChildViewController(child);
    parent->view()->addSubview(child->viewPtr());
    child->didMoveToParentViewController(parent.get());
    EXPECT_EQ(journal, (Lines{"C.load", "C.willAppear", "C.didAppear"}));
    journal.clear();
    child->willMoveToParentViewController(nullptr);
    child->view()->removeFromSuperview();
    child->removeFromParentViewController();
    EXPECT_EQ(journal, (Lines{"C.willDisappear", "C.didDisappear"}));
    // Repeated transitions to the state already reached do nothing.
    child->beginAppearanceTransition(false, false);
    child->endAppearanceTransition();
    EXPECT_EQ(journal.size(), 2u);
}

// Replaces the window's root from inside a callback of the old root, as the
// login screen does after a successful login.
class ReplacingScreen : public Screen {
  public:
    ReplacingScreen(std::shared_ptr<UIWindow> w, std::weak_ptr<bool> alive)
        : Screen("Old"), window_(std::move(w)), alive_(std::move(alive)) {}
    void viewDidAppear(bool a) override {
        Screen::viewDidAppear(a);
        window_->setRootViewController(std::make_shared<Screen>("New"));
        // Still alive here, inside its own callback.
        journal.push_back(name() + ".stillHere");
    }
    std::string name() const { return "Old"; }
    ~ReplacingScreen() override { journal.push_back("Old.released"); }

  private:
    std::shared_ptr<UIWindow> window_;
    std::weak_ptr<bool> alive_;
};

TEST(Controllers, RootReplacedInsideOldRootCallbackIsReleasedLater) {
    App app;
    auto old = std::make_shared<ReplacingScreen>(app.window, std::weak_ptr<bool>());
    std::weak_ptr<ReplacingScreen> weakOld = old;
    app.window->setRootViewController(old);
    old.reset();
    app.window->makeKeyAndVisible();
    EXPECT_EQ(journal, (Lines{"Old.load", "Old.willAppear", "Old.didAppear", "Old.willDisappear",
                              "Old.didDisappear", "New.load", "New.willAppear", "New.didAppear",
                              "Old.stillHere"}));
    EXPECT_FALSE(weakOld.expired());
    app.time.drain();
    EXPECT_TRUE(weakOld.expired());
    EXPECT_EQ(journal.back(), "Old.released");
    EXPECT_EQ(app.window->subviews().size(), 1u);
}

TEST(Windows, VisibleWindowsAreOrderedByLevelThenByShowingThenByMaking) {
    App app;
    app.window->makeKeyAndVisible();
    const auto make = [](UIWindowLevel level) {
        auto w = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
        w->setWindowLevel(level);
        return w;
    };
    auto alert = make(UIWindowLevelAlert), first = make(UIWindowLevelNormal),
         second = make(UIWindowLevelNormal), shown = make(UIWindowLevelNormal),
         hidden = make(UIWindowLevelAlert);
    alert->makeKeyAndVisible();
    shown->makeKeyAndVisible();
    // Never made key: shown in the order they were made, behind those that were.
    second->setHidden(false);
    first->setHidden(false);
    const auto others = [&] {
        std::vector<UIWindow*> out;
        for (auto* w : UIWindow::visibleWindows())
            if (w != app.window.get()) out.push_back(w);
        return out;
    };
    EXPECT_EQ(others(), (std::vector<UIWindow*>{first.get(), second.get(), shown.get(), alert.get()}));
    // Made key again: to the front of its level; a level raised: above.
    first->makeKeyAndVisible();
    EXPECT_EQ(others(), (std::vector<UIWindow*>{second.get(), shown.get(), first.get(), alert.get()}));
    second->setWindowLevel(UIWindowLevelAlert + 1);
    EXPECT_EQ(others(), (std::vector<UIWindow*>{shown.get(), first.get(), alert.get(), second.get()}));
    alert->setHidden(true);
    EXPECT_EQ(others(), (std::vector<UIWindow*>{shown.get(), first.get(), second.get()}));
}

TEST(Windows, LevelsOrderTheScreenAndTouchesGoToTheFrontWindow) {
    App app;
    auto root = std::make_shared<Screen>("A");
    app.window->setRootViewController(root);
    app.window->makeKeyAndVisible();
    auto alert = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    alert->setWindowLevel(UIWindowLevelAlert);
    auto normal2 = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    alert->makeKeyAndVisible();
    normal2->setHidden(false);
    auto visible = UIWindow::visibleWindows();
    ASSERT_GE(visible.size(), 3u);
    EXPECT_EQ(visible.back(), alert.get());
    EXPECT_EQ(UIApplication::sharedApplication().keyWindow(), alert.get());
    auto windows = UIApplication::sharedApplication().windows();
    EXPECT_EQ(windows.back(), alert.get());

    int hits = 0;
    auto control = std::make_shared<UIControl>(CGRectMake(0, 0, 320, 568));
    control->addTarget([&](UIControl*, UIEvent*) { ++hits; }, UIControlEventTouchUpInside);
    root->view()->addSubview(control);
    UIDriver::tapAt({100, 100});
    EXPECT_EQ(hits, 0);  // the alert window covers it
    alert->setHidden(true);
    normal2->setHidden(true);
    app.window->makeKeyWindow();
    UIDriver::tapAt({100, 100});
    EXPECT_EQ(hits, 1);
    EXPECT_TRUE(app.window->isKeyWindow());
}

TEST(Application, ShakeReachesTheDelegateAndRotationAsksTheTopScreen) {
    App app;
    struct Delegate : UIApplicationDelegate {
        int shakes = 0;
        void motionEnded(UIEventSubtype m, UIEvent*) override {
            if (m == UIEventSubtype::MotionShake) ++shakes;
        }
    };
    auto delegate = std::make_shared<Delegate>();
    auto& application = UIApplication::sharedApplication();
    application.launch(delegate);
    auto a = std::make_shared<Screen>("A");
    auto nav = std::make_shared<UINavigationController>(a);
    app.window->setRootViewController(nav);
    app.window->makeKeyAndVisible();
    UIDriver::shake();
    EXPECT_EQ(delegate->shakes, 1);

    // The navigation controller does not ask its top screen: it rotates.
    journal.clear();
    UIDriver::rotate(UIDeviceOrientation::LandscapeLeft);
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientation::LandscapeLeft);
    EXPECT_EQ(app.window->bounds().size, (CGSize{568, 320}));
    EXPECT_EQ(a->view()->bounds().size, (CGSize{568, 320}));
    EXPECT_EQ(journal, (Lines{"A.willRotate"}));
    UIDriver::rotate(UIDeviceOrientation::Portrait);
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientation::Portrait);

    // A screen that does not rotate keeps the interface in portrait.
    auto fixed = std::make_shared<Screen>("F");
    app.window->setRootViewController(fixed);
    UIDriver::rotate(UIDeviceOrientation::LandscapeRight);
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientation::Portrait);
    EXPECT_EQ(UIDevice::currentDevice().orientation(), UIDeviceOrientation::LandscapeRight);

    application.setIdleTimerDisabled(true);
    EXPECT_TRUE(application.isIdleTimerDisabled());
    EXPECT_TRUE(application.openURL("tel://4008888"));
    EXPECT_EQ(application.openedURLs(), (std::vector<std::string>{"tel://4008888"}));
    EXPECT_EQ(application.statusBarFrame(), CGRectMake(0, 0, 320, 20));
}

// The interface turned while a presented screen slides in or out: the
// screen ends covering the window as it is now, not as it was when the
// slide began.
TEST(Application, AScreenPresentedOrDismissedWhileTheInterfaceTurnsCoversTheTurnedWindow) {
    App app;
    auto base = std::make_shared<Screen>("B");
    base->rotates = true;
    app.window->setRootViewController(base);
    app.window->makeKeyAndVisible();
    auto top = std::make_shared<Screen>("T");
    top->rotates = true;
    base->presentViewController(top, true);
    app.time.advance(0.1);
    UIDriver::rotate(UIDeviceOrientation::LandscapeLeft);
    app.time.advance(1);
    EXPECT_EQ(app.window->bounds().size, (CGSize{568, 320}));
    EXPECT_EQ(top->view()->frame(), app.window->bounds());

    top->dismissViewControllerAnimated(true);
    app.time.advance(0.1);
    UIDriver::rotate(UIDeviceOrientation::Portrait);
    app.time.advance(1);
    EXPECT_EQ(app.window->bounds().size, (CGSize{320, 568}));
    EXPECT_EQ(base->view()->frame(), app.window->bounds());
    EXPECT_EQ(top->presentingViewController(), nullptr);
}

TEST(Application, PresentedScreenTurnsWithTheWindowAndTakesTouchesAcrossIt) {
    App app;
    auto base = std::make_shared<Screen>("B");
    base->rotates = true;
    app.window->setRootViewController(base);
    app.window->makeKeyAndVisible();
    auto top = std::make_shared<Screen>("T");
    top->rotates = true;
    base->presentViewController(top, false);
    app.time.advance(0.5);
    int taps = 0;
    auto button = std::make_shared<UIControl>(CGRectMake(480, 100, 60, 60));
    button->addTarget([&](UIControl*, UIEvent*) { ++taps; }, UIControlEventTouchUpInside);
    top->view()->addSubview(button);

    UIDriver::rotate(UIDeviceOrientation::LandscapeLeft);
    EXPECT_EQ(top->view()->bounds().size, (CGSize{568, 320}));
    // Beyond the portrait width: reached only when the screen turned too.
    UIDriver::tap(button.get());
    EXPECT_EQ(taps, 1);
    UIDriver::rotate(UIDeviceOrientation::Portrait);
    EXPECT_EQ(top->view()->bounds().size, (CGSize{320, 568}));
}

TEST(Application, MainLaunchesRunsAndTerminatesHeadless) {
    App app;
    struct Delegate : UIApplicationDelegate {
        std::vector<std::string> calls;
        bool applicationDidFinishLaunchingWithOptions(
            UIApplication&, const std::map<std::string, std::string>&) override {
            calls.push_back("launched");
            // A scripted run ends by stopping the main run loop.
            platform::dispatch::async_main([] { platform::RunLoop::main().stop(); });
            return true;
        }
        void applicationDidBecomeActive(UIApplication&) override { calls.push_back("active"); }
        void applicationDidEnterBackground(UIApplication&) override {
            calls.push_back("background");
        }
        void applicationWillEnterForeground(UIApplication&) override {
            calls.push_back("foreground");
        }
        void applicationWillTerminate(UIApplication&) override { calls.push_back("terminate"); }
    };
    auto delegate = std::make_shared<Delegate>();
    char name[] = "app";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(UIApplicationMain(1, argv, [&] { return delegate; }), 0);
    EXPECT_EQ(delegate->calls, (Lines{"launched", "active", "terminate"}));
    auto& application = UIApplication::sharedApplication();
    application.enterBackground();
    application.enterForeground();
    EXPECT_EQ(application.applicationState(), UIApplicationState::Active);
    EXPECT_EQ(delegate->calls,
              (Lines{"launched", "active", "terminate", "background", "foreground", "active"}));
}

TEST(Application, GoingToTheBackgroundAndEndingWriteTheSettingsAtOnce) {
    App app;
    kavtest::TempDir data;
    platform::files::setDataRoot(data.path());
    platform::UserDefaults::resetStandard();
    const auto onDisk = [&](const std::string& key) {
        return platform::UserDefaults(data / "Preferences/defaults.json").stringForKey(key);
    };
    auto& application = UIApplication::sharedApplication();
    auto& settings = platform::UserDefaults::standard();
    // The clock stands still: only the application's own steps write.
    settings.setString("key_2003", "20");
    EXPECT_FALSE(onDisk("key_2003").has_value());
    application.enterBackground();
    EXPECT_EQ(onDisk("key_2003"), "20");
    application.enterForeground();
    settings.setString("key_2003", "25");
    application.terminate();
    EXPECT_EQ(onDisk("key_2003"), "25");

    platform::files::setDataRoot({});
    platform::UserDefaults::resetStandard();
}

TEST(Application, MainShowsTheLinkedDisplayOnlyWhenAskedFor) {
    App app;
    // A stand-in display back end: it runs the loop and counts.
    struct FakeDisplay : UIDisplay {
        int* runs;
        explicit FakeDisplay(int* r) : runs(r) {}
        void run() override {
            ++*runs;
            platform::RunLoop::main().run();
        }
        unsigned long framesDrawn() const override { return 0; }
    };
    int opened = 0, runs = 0;
    CGFloat scale = 0;
    auto stopAtLaunch = [] {
        struct Quick : UIApplicationDelegate {
            bool applicationDidFinishLaunchingWithOptions(
                UIApplication&, const std::map<std::string, std::string>&) override {
                platform::dispatch::async_main([] { platform::RunLoop::main().stop(); });
                return true;
            }
        };
        return std::make_shared<Quick>();
    };
    char name[] = "app", window[] = "--window";
    char* plain[] = {name, nullptr};
    char* asked[] = {name, window, nullptr};

    // No back end linked: "--window" runs headless all the same.
    ASSERT_FALSE(UIDisplayBackendAvailable());
    EXPECT_EQ(UIApplicationMain(2, asked, stopAtLaunch), 0);

    UIDisplayRegisterBackend([&](CGFloat s) -> std::unique_ptr<UIDisplay> {
        ++opened;
        scale = s;
        return std::make_unique<FakeDisplay>(&runs);
    });
    EXPECT_EQ(UIApplicationMain(1, plain, stopAtLaunch), 0);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(UIApplicationMain(2, asked, stopAtLaunch), 0);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(scale, 2);
    {
        kavtest::ScopedEnv env("KAV_WINDOW", "1");
        EXPECT_EQ(UIApplicationMain(1, plain, stopAtLaunch), 0);
        EXPECT_EQ(runs, 2);
    }
    // A back end that finds no desktop: headless.
    UIDisplayRegisterBackend([&](CGFloat) { return std::unique_ptr<UIDisplay>(); });
    EXPECT_EQ(UIApplicationMain(2, asked, stopAtLaunch), 0);
    EXPECT_EQ(runs, 2);
    UIDisplayRegisterBackend(nullptr);
}

}  // namespace
