// A controller places its subviews in the layout pass: viewWillLayoutSubviews,
// the view's own layoutSubviews and viewDidLayoutSubviews run, in that order,
// whenever the controller's view needs layout (shown, resized, asked to).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"

using namespace platform::ui;

namespace {

class RecordingView : public UIView {
  public:
    std::vector<std::string>* journal = nullptr;
    void layoutSubviews() override { journal->push_back("view.layoutSubviews"); }
};

class PlacingScreen : public UIViewController {
  public:
    std::vector<std::string> journal;
    std::shared_ptr<UIView> bar = std::make_shared<UIView>();

    void loadView() override {
        auto v = std::make_shared<RecordingView>();
        v->journal = &journal;
        setView(v);
    }
    void viewDidLoad() override { view()->addSubview(bar); }
    void viewWillLayoutSubviews() override { journal.push_back("willLayout"); }
    void viewDidLayoutSubviews() override {
        journal.push_back("didLayout");
        bar->setFrame(
            CGRectMake(0, view()->bounds().size.height - 44, view()->bounds().size.width, 44));
    }
};

}  // namespace

TEST(ControllerLayout, TheControllerPlacesItsSubviewsInTheLayoutPass) {
    auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    auto screen = std::make_shared<PlacingScreen>();
    window->setRootViewController(screen);
    window->makeKeyAndVisible();
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(screen->journal,
              (std::vector<std::string>{"willLayout", "view.layoutSubviews", "didLayout"}));
    EXPECT_EQ(screen->bar->frame(), CGRectMake(0, 524, 320, 44));

    // Nothing changed: no second pass.
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(screen->journal.size(), 3u);

    // A new size places it again, from the new bounds.
    window->setFrame(CGRectMake(0, 0, 568, 320));
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(screen->journal.size(), 6u);
    EXPECT_EQ(screen->bar->frame(), CGRectMake(0, 276, 568, 44));
    screen->view()->setNeedsLayout();
    UIScreenRenderer::layoutWindows();
    EXPECT_EQ(screen->journal.back(), "didLayout");
    EXPECT_EQ(screen->journal.size(), 9u);
}
