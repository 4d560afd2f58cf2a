#pragma once

#include <memory>

#include "platform/ui/Button.h"
#include "platform/ui/View.h"

// Told when the close button of a UIKAVKBAccessorView is touched.
class keyboardToolBarDelegate {
  public:
    virtual ~keyboardToolBarDelegate() = default;
    virtual void onToolBarPressed(platform::ui::UIButton* sender) = 0;
};

// A dark bar with one close button at its right end ("关闭"), on top of the
// picker sheet. The button reports every touch event it sees, so one tap
// reaches the delegate several times (down, up inside...): receivers must
// take a repeated report as one.
class UIKAVKBAccessorView : public platform::ui::UIView {
  public:
    static constexpr platform::ui::CGFloat kButtonWidth = 40;
    static constexpr platform::ui::CGFloat kButtonHeight = 25;

    explicit UIKAVKBAccessorView(const platform::ui::CGRect& frame = platform::ui::CGRectZero);

    std::weak_ptr<keyboardToolBarDelegate> delegate;

    void onButtonClick(platform::ui::UIControl* sender);
    platform::ui::UIButton* closeButton() const { return button_.get(); }

  private:
    std::shared_ptr<platform::ui::UIButton> button_;
};
