#pragma once

#include <memory>
#include <optional>

#include "platform/ui/BarButtonItem.h"
#include "ui/toolkit/KAVDrawerMenuButtonView.h"

// The navigation-bar button that opens a drawer: a plain image item with the
// three-bar image drawn once for the process, or the caller's image. (Only
// systems before version 7 showed it as a drawn custom view; `buttonView`
// holds that view there and stays null here.)
class KAVDrawerBarButtonItem : public platform::ui::UIBarButtonItem {
  public:
    using UIColor = platform::ui::UIColor;

    explicit KAVDrawerBarButtonItem(Action action);
    KAVDrawerBarButtonItem(Action action, platform::ui::UIImagePtr image);

    // 26 x 26 points, three white bars 16 wide and 1 high at y 18, 12 and 6;
    // made once, at the screen's scale.
    static platform::ui::UIImagePtr drawerButtonItemImage();

    // Sends the item's action with the sender.
    void touchUpInside(platform::ui::UIBarButtonItem* sender);

    const std::shared_ptr<KAVDrawerMenuButtonView>& buttonView() const { return buttonView_; }
    // Passed to buttonView (nothing without one).
    std::optional<UIColor> menuButtonColorForState(unsigned state) const;
    void setMenuButtonColor(const UIColor& color, unsigned state);
    std::optional<UIColor> shadowColorForState(unsigned state) const;
    void setShadowColor(const UIColor& color, unsigned state);
    // The item's tint, and buttonView's when there is one.
    void setTintColor(std::optional<UIColor> color);

  private:
    std::shared_ptr<KAVDrawerMenuButtonView> buttonView_;
};
