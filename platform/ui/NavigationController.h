#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <memory>
#include <vector>

#include "platform/ui/NavigationBar.h"
#include "platform/ui/ViewController.h"

namespace platform::ui {

// A stack of screens with a navigation bar: push slides the new screen in
// from the right, pop slides it out; the screen below is covered and
// uncovered with its appearance callbacks. Screen views fill the
// controller's view, or the part below the bars for a screen that does not
// extend its layout under them; the bar (and the 20-point status bar area
// above it) lies over them unless hidden.
class UINavigationController : public UIViewController {
  public:
    explicit UINavigationController(UIViewControllerPtr root = nullptr);

    const std::vector<UIViewControllerPtr>& viewControllers() const { return stack_; }
    void setViewControllers(const std::vector<UIViewControllerPtr>& controllers, bool animated);
    UIViewController* topViewController() const {
        return stack_.empty() ? nullptr : stack_.back().get();
    }
    UIViewController* visibleViewController() const;

    void pushViewController(const UIViewControllerPtr& controller, bool animated);
    UIViewControllerPtr popViewControllerAnimated(bool animated);
    std::vector<UIViewControllerPtr> popToRootViewControllerAnimated(bool animated);
    std::vector<UIViewControllerPtr> popToViewController(UIViewController* controller,
                                                         bool animated);

    UINavigationBar* navigationBar();
    bool isNavigationBarHidden() const { return barHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated = false);

    void loadView() override;
    void viewDidLoad() override {}
    bool managesChildAppearance() const override { return true; }

  protected:
    // Appearance of the navigation controller goes to its top screen.
    void forwardManagedAppearance(bool begin, bool appearing, bool animated) override;

  private:
    friend class UIViewController;
    class ContainerView;
    void showTop(UIViewController* previous, bool animated, bool pushing,
                 std::function<void()> after);
    void placeChild(UIViewController* controller);
    CGRect frameForChild(UIViewController* controller);
    // The status bar and, unless hidden, the navigation bar.
    double barsHeight() const;
    void updateBar();
    void layoutBar();

    std::vector<UIViewControllerPtr> stack_;
    std::shared_ptr<UINavigationBar> bar_;
    UIViewPtr barBackdrop_;
    bool barHidden_ = false;
    bool transitioning_ = false;
};

}  // namespace platform::ui
