#pragma once

#include <memory>
#include <vector>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Button.h"
#include "platform/ui/ViewController.h"

namespace platform::ui {

enum class UIBarStyle { Default = 0, Black = 1, BlackTranslucent = 2 };

// The 44-point bar at the top of a navigation stack: the top screen's title
// (or title view) in the middle, its left and right bar button items at the
// sides (a back button on the left when the stack is deeper than one and the
// screen sets no left item). Image items are drawn in the tint colour.
class UINavigationBar : public UIView {
  public:
    explicit UINavigationBar(const CGRect& frame = CGRectZero);

    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle s);
    std::optional<UIColor> barTintColor() const { return barTintColor_; }
    void setBarTintColor(std::optional<UIColor> c);
    bool translucent = true;
    // Title font and colour (the platform's title text attributes).
    std::optional<UIFont> titleFont;
    std::optional<UIColor> titleColor;

    // Shows an item; `back` is the item below it (for the back button).
    void showItem(UINavigationItem* item, UINavigationItem* back, const std::string& backTitle,
                  std::function<void()> backAction);
    UINavigationItem* topItem() const { return item_; }
    // The views made for the current items (tests and the drawer's hit test).
    UIView* leftItemView() const { return left_.get(); }
    UIView* rightItemView() const { return right_.get(); }
    UILabel* titleLabel() const { return title_.get(); }

    void layoutSubviews() override;
    void drawRect(CGRect rect) override;
    void tintColorDidChange() override { rebuild(); }

    // A view that shows one bar button item (used by bars and toolbars).
    static UIViewPtr makeItemView(const UIBarButtonItemPtr& item, UIColor tint, bool bold);

  private:
    void rebuild();
    UIColor backgroundColorForStyle() const;

    UIBarStyle barStyle_ = UIBarStyle::Default;
    std::optional<UIColor> barTintColor_;
    UINavigationItem* item_ = nullptr;
    UINavigationItem* back_ = nullptr;
    std::string backTitle_;
    std::function<void()> backAction_;
    std::shared_ptr<UILabel> title_;
    UIViewPtr titleView_;
    UIViewPtr left_;
    UIViewPtr right_;
};

// A stack of screens with a navigation bar: push slides the new screen in
// from the right, pop slides it out; the screen below is covered and
// uncovered with its appearance callbacks. Screen views fill the
// controller's view; the bar (and the 20-point status bar area above it)
// lies over them unless hidden.
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
    class ContainerView;
    void showTop(UIViewController* previous, bool animated, bool pushing,
                 std::function<void()> after);
    void placeChild(UIViewController* controller);
    void updateBar();
    void layoutBar();

    std::vector<UIViewControllerPtr> stack_;
    std::shared_ptr<UINavigationBar> bar_;
    UIViewPtr barBackdrop_;
    bool barHidden_ = false;
    bool transitioning_ = false;
};

}  // namespace platform::ui
