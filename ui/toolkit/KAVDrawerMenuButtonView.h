#pragma once

#include <optional>

#include "platform/ui/Button.h"

// A button that draws the drawer's three-bar menu symbol itself, each bar
// with a one-point shadow below, in a normal and a highlighted colour set.
class KAVDrawerMenuButtonView : public platform::ui::UIButton {
  public:
    using UIColor = platform::ui::UIColor;

    explicit KAVDrawerMenuButtonView(const platform::ui::CGRect& frame = platform::ui::CGRectZero);

    // State 0 (normal) and 1 (highlighted) have colours; any other state
    // has none, and setting one for it stores nothing (but still redraws).
    std::optional<UIColor> menuButtonColorForState(unsigned state) const;
    void setMenuButtonColor(const UIColor& color, unsigned state);
    std::optional<UIColor> shadowColorForState(unsigned state) const;
    void setShadowColor(const UIColor& color, unsigned state);

    void drawRect(platform::ui::CGRect rect) override;
    void touchesBegan(const platform::ui::UITouchSet& touches,
                      platform::ui::UIEvent* event) override;
    void touchesEnded(const platform::ui::UITouchSet& touches,
                      platform::ui::UIEvent* event) override;
    void touchesCancelled(const platform::ui::UITouchSet& touches,
                          platform::ui::UIEvent* event) override;
    void setSelected(bool selected) override;
    void setHighlighted(bool highlighted) override;
    void tintColorDidChange() override;

  private:
    UIColor menuButtonNormalColor_;
    UIColor menuButtonHighlightedColor_;
    UIColor shadowNormalColor_;
    UIColor shadowHighlightedColor_;
};
