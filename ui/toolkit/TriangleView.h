#pragma once

#include <optional>

#include "platform/ui/Color.h"
#include "platform/ui/View.h"

// A filled triangle pointing right, as wide as the view and three times as
// tall as wide: the mark beside the price panels of the trading screens.
// Nothing is drawn until it has a colour.
class TriangleView : public platform::ui::UIView {
  public:
    explicit TriangleView(const platform::ui::CGRect& frame = platform::ui::CGRectZero);

    std::optional<platform::ui::UIColor> markColor() const { return markColor_; }
    void setColor(const platform::ui::UIColor& color);

    void drawRect(platform::ui::CGRect rect) override;

  private:
    std::optional<platform::ui::UIColor> markColor_;
};
