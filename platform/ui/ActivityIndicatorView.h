#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <optional>

#include "platform/ui/View.h"

namespace platform::ui {

enum class UIActivityIndicatorViewStyle { WhiteLarge = 0, White = 1, Gray = 2 };

// A spinner: turns while animating; hidden when stopped (unless told not to).
class UIActivityIndicatorView : public UIView {
  public:
    explicit UIActivityIndicatorView(
        UIActivityIndicatorViewStyle style = UIActivityIndicatorViewStyle::White);
    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle s);
    std::optional<UIColor> color;
    void setColor(std::optional<UIColor> c);
    bool hidesWhenStopped = true;
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }
    CGSize sizeThatFits(CGSize) const override;
    void drawRect(CGRect rect) override;

  private:
    UIActivityIndicatorViewStyle style_;
    bool animating_ = false;
};

}  // namespace platform::ui
