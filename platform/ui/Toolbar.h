#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <vector>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/NavigationController.h"

namespace platform::ui {

// A bar of bar button items laid out from the left: fixed spaces take their
// width, flexible spaces share what is left, other items their natural width.
class UIToolbar : public UIView {
  public:
    explicit UIToolbar(const CGRect& frame = CGRectZero);

    const std::vector<UIBarButtonItemPtr>& items() const { return items_; }
    void setItems(const std::vector<UIBarButtonItemPtr>& items, bool animated = false);
    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle s);
    std::optional<UIColor> barTintColor() const { return barTintColor_; }
    void setBarTintColor(std::optional<UIColor> c);
    bool translucent = true;
    // The view showing an item (null for spaces).
    UIView* viewForItem(const UIBarButtonItem* item) const;

    void layoutSubviews() override;
    void drawRect(CGRect rect) override;
    void tintColorDidChange() override { rebuild(); }

  private:
    void rebuild();
    std::vector<UIBarButtonItemPtr> items_;
    std::vector<UIViewPtr> views_;
    UIBarStyle barStyle_ = UIBarStyle::Default;
    std::optional<UIColor> barTintColor_;
};

}  // namespace platform::ui
