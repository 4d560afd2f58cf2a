#pragma once

// A drawer container in a key 320 x 568 window on the virtual clock: a
// navigation stack as centre and two drawers, every screen writing its
// appearance calls into one shared log ("center willAppear", ...).

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Driver.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/TouchInput.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/toolkit/StageSupport.h"
#include "ui/toolkit/KAVDrawerController.h"

namespace drawertest {

using namespace platform::ui;
using Log = std::shared_ptr<std::vector<std::string>>;

using kavtest::writeScreenshot;

class Screen : public UIViewController {
  public:
    Screen(std::string name, Log log, UIColor colour = UIColor::grey255(40))
        : name_(std::move(name)), log_(std::move(log)), colour_(colour) {}
    void viewDidLoad() override { view()->setBackgroundColor(colour_); }
    void viewWillAppear(bool) override { note("willAppear"); }
    void viewDidAppear(bool) override { note("didAppear"); }
    void viewWillDisappear(bool) override { note("willDisappear"); }
    void viewDidDisappear(bool) override { note("didDisappear"); }
    const std::string& name() const { return name_; }

  private:
    void note(const char* what) { log_->push_back(name_ + " " + what); }
    std::string name_;
    Log log_;
    UIColor colour_;
};

struct DrawerStage {
    kavtest::VirtualTime time;
    Log log = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(UIScreen::mainScreen().bounds());
    std::shared_ptr<Screen> content = std::make_shared<Screen>("center", log, UIColor::grey255(30));
    std::shared_ptr<UINavigationController> nav = std::make_shared<UINavigationController>(content);
    std::shared_ptr<Screen> left =
        std::make_shared<Screen>("left", log, UIColor::rgb255(39, 140, 192));
    std::shared_ptr<Screen> right =
        std::make_shared<Screen>("right", log, UIColor::rgb255(187, 46, 36));
    std::shared_ptr<KAVDrawerController> drawer;

    // A centre (the navigation stack unless given) and the drawers asked for.
    explicit DrawerStage(bool withLeft = true, bool withRight = true,
                         UIViewControllerPtr center = nullptr) {
        drawer = KAVDrawerController::create(center ? center : nav, withLeft ? left : nullptr,
                                             withRight ? right : nullptr);
        drawer->setMaximumLeftDrawerWidth(260);
        drawer->setMaximumRightDrawerWidth(260);
        window->setRootViewController(drawer);
        window->makeKeyAndVisible();
        UIScreenRenderer::layoutWindows();
        log->clear();
    }
    ~DrawerStage() {
        window->endEditing(true);
        time.advance(2);
    }

    // Where the centre is (its model) and where it is drawn now.
    CGFloat centerX() const { return drawer->centerContainerView()->frame().origin.x; }
    CGFloat shownCenterX() const {
        return drawer->centerContainerView()->layer().presentation().frame().origin.x;
    }
    // A completion that records its flag.
    DrawerCompletion record(std::vector<bool>& into) {
        return [&into](bool finished) { into.push_back(finished); };
    }
    // A finger moved from one point to another in `steps` even moves over
    // `seconds`, then lifted.
    void drag(CGPoint from, CGPoint to, double seconds = 0.1, int steps = 10) {
        UIDriver::drag(from, to, seconds, steps);
    }
    // A finger put down at `from` and moved to `to`, where it stays down
    // (lift it with TouchInput::touchUp(1, to)).
    void hold(CGPoint from, CGPoint to) {
        TouchInput::touchDown(1, from);
        time.advance(0.05);
        TouchInput::touchMove(1, {from.x + 20, from.y});
        time.advance(0.05);
        TouchInput::touchMove(1, to);
    }
};

}  // namespace drawertest
