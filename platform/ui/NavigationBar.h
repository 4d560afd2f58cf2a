#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <functional>
#include <optional>
#include <string>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationItem.h"

namespace platform::ui {

enum class UIBarStyle { Default = 0, Black = 1, BlackTranslucent = 2 };

// The 44-point bar at the top of a navigation stack: the top screen's title
// (or title view) in the middle, its left and right bar button items at the
// sides (a back button on the left when the stack is deeper than one and the
// screen sets no left item). Image items are drawn in the tint colour.
class UINavigationBar : public UIView {
  public:
    static constexpr double kHeight = 44;

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

}  // namespace platform::ui
