#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/Layer.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

class KAVAlertView;
using KAVAlertViewPtr = std::shared_ptr<KAVAlertView>;

// The application's modal alert: a dark rounded box with a title, a message,
// an optional caller's view and one or more buttons, in a window of its own
// at alert level over a dimmed screen. The user's choice reaches the
// completion as (cancelled, button index): the first button and a tap outside
// the box count as cancelled; a tap outside has the index NSNotFound.
//
// The completion runs at most once, whatever the taps and calls: a second
// tap during the fade-out (which would send a confirmed order twice) finds
// the alert no longer visible and does nothing. Each dismissed alert tears
// its window down when its fade-out ends, so none stays on screen or takes
// touches. Alerts shown while one is up stack: the newest is shown, and
// dismissing it brings back the one below (KAVAlertViewStack).
class KAVAlertView : public platform::ui::UIViewController {
  public:
    using Completion = std::function<void(bool cancelled, long buttonIndex)>;
    using OptionalTitle = std::optional<std::string>;
    using UIColor = platform::ui::UIColor;
    using UIFont = platform::ui::UIFont;
    using UIButton = platform::ui::UIButton;
    using CGFloat = platform::ui::CGFloat;
    using CGRect = platform::ui::CGRect;
    using CGPoint = platform::ui::CGPoint;

    static constexpr CGFloat kWidth = 270;
    static constexpr CGFloat kButtonHeight = 44;
    static constexpr CGFloat kSpacing = 10;
    static constexpr double kShowDuration = 0.3;
    static constexpr double kDismissDuration = 0.2;

    // ---- class operations: each makes an alert, shows it and returns it.
    // A missing cancel title (std::nullopt) gives the localised "Ok". ----
    static KAVAlertViewPtr showAlertWithTitle(const std::string& title);
    static KAVAlertViewPtr showAlertWithTitle(const std::string& title, const std::string& message);
    static KAVAlertViewPtr showAlertWithTitle(const std::string& title, const std::string& message,
                                              Completion completion);
    static KAVAlertViewPtr showAlertWithTitle(const std::string& title, const std::string& message,
                                              const OptionalTitle& cancelTitle,
                                              Completion completion);
    static KAVAlertViewPtr showAlertWithTitle(const std::string& title, const std::string& message,
                                              const OptionalTitle& cancelTitle,
                                              const OptionalTitle& otherTitle,
                                              Completion completion);
    static KAVAlertViewPtr showAlertWithTitle(const std::string& title, const std::string& message,
                                              const OptionalTitle& cancelTitle,
                                              const OptionalTitle& otherTitle,
                                              bool buttonsShouldStack, Completion completion);
    static KAVAlertViewPtr showAlertWithTitle(const std::string& title, const std::string& message,
                                              const OptionalTitle& cancelTitle,
                                              const std::vector<std::string>& otherTitles,
                                              Completion completion);
    static KAVAlertViewPtr showAlertWithTitle(const std::string& title, const std::string& message,
                                              const OptionalTitle& cancelTitle,
                                              const OptionalTitle& otherTitle,
                                              platform::ui::UIViewPtr contentView,
                                              Completion completion);
    static KAVAlertViewPtr showAlertWithTitle(const std::string& title, const std::string& message,
                                              const OptionalTitle& cancelTitle,
                                              const OptionalTitle& otherTitle,
                                              bool buttonsShouldStack,
                                              platform::ui::UIViewPtr contentView,
                                              Completion completion);
    static KAVAlertViewPtr showAlertWithTitle(const std::string& title, const std::string& message,
                                              const OptionalTitle& cancelTitle,
                                              const std::vector<std::string>& otherTitles,
                                              platform::ui::UIViewPtr contentView,
                                              Completion completion);

    // Builds an alert without showing it.
    static KAVAlertViewPtr initWithTitle(const std::string& title, const std::string& message,
                                         const OptionalTitle& cancelTitle,
                                         const std::vector<std::string>& otherTitles,
                                         bool buttonsShouldStack,
                                         platform::ui::UIViewPtr contentView,
                                         Completion completion);
    static KAVAlertViewPtr initWithTitle(const std::string& title, const std::string& message,
                                         const OptionalTitle& cancelTitle,
                                         const OptionalTitle& otherTitle, bool buttonsShouldStack,
                                         platform::ui::UIViewPtr contentView,
                                         Completion completion);

    // Use initWithTitle; public for std::make_shared.
    KAVAlertView();
    ~KAVAlertView() override;

    // ---- operations ----
    // Adds a button below (or beside) the others; returns its index.
    long addButtonWithTitle(const std::string& title);
    // Puts the alert on top of the shared stack.
    void show();
    // As if the button at `index` had been pressed; nothing for an index out
    // of range.
    void dismissWithClickedButtonIndex(long index, bool animated);
    // Taken off the screen at once without an answer: the completion does
    // not run, since what the alert asked about is no longer there to act on
    // (the session it belonged to has ended).
    void withdraw();
    void setTapToDismissEnabled(bool enabled);
    // The dismissal road; `sender` is one of the buttons.
    void dismiss(platform::ui::UIControl* sender);
    void dismiss(platform::ui::UIControl* sender, bool animated);

    // Shown on top of the stack / taken off screen while covered.
    void showInternal();
    void hide();
    void showBackgroundView();
    void showAlertAnimation();
    void dismissAlertAnimation();

    // ---- fields ----
    bool isVisible() const { return visible_; }
    bool buttonsShouldStack() const { return buttonsShouldStack_; }
    platform::ui::UIWindow* mainWindow() const { return mainWindow_.lock().get(); }
    platform::ui::UIWindow* alertWindow() const { return alertWindow_.get(); }
    platform::ui::UIView* backgroundView() const { return backgroundView_.get(); }
    platform::ui::UIView* alertView() const { return alertView_.get(); }
    platform::ui::UILabel* titleLabel() const { return titleLabel_.get(); }
    platform::ui::UILabel* messageLabel() const { return messageLabel_.get(); }
    platform::ui::UIView* contentView() const { return contentView_.get(); }
    UIButton* cancelButton() const { return cancelButton_.get(); }
    UIButton* otherButton() const { return otherButton_.get(); }
    const std::vector<std::shared_ptr<UIButton>>& buttons() const { return buttons_; }
    CGFloat buttonsY() const { return buttonsY_; }
    platform::ui::CALayer* verticalLine() const { return verticalLine_.get(); }
    platform::ui::UITapGestureRecognizer* tap() const { return tap_.get(); }
    // The separator lines drawn in the box, top to bottom as added.
    std::vector<platform::ui::CALayer*> separatorLines() const;

    // ---- look ----
    void useDefaultIOS7Style();
    void setWindowTintColor(const UIColor& color);
    void setBackgroundColor(const UIColor& color);
    void setTitleColor(const UIColor& color);
    void setTitleFont(const UIFont& font);
    void setMessageColor(const UIColor& color);
    void setMessageFont(const UIFont& font);
    void setCancelButtonBackgroundColor(const UIColor& color);
    void setOtherButtonBackgroundColor(const UIColor& color);
    void setAllButtonsBackgroundColor(const UIColor& color);
    std::optional<UIColor> cancelButtonBackgroundColor() const { return cancelButtonBackground_; }
    std::optional<UIColor> otherButtonBackgroundColor() const { return otherButtonBackground_; }
    std::optional<UIColor> allButtonsBackgroundColor() const { return allButtonsBackground_; }
    void setCustomBackgroundColorForButton(UIButton* button);
    void setCancelButtonTextColor(const UIColor& color);
    void setOtherButtonTextColor(const UIColor& color);
    void setAllButtonsTextColor(const UIColor& color);

    // ---- helpers ----
    static platform::ui::UIWindow* windowWithLevel(platform::ui::UIWindowLevel level);
    static CGRect frameForOrientation(platform::ui::UIInterfaceOrientation orientation);
    CGPoint centerWithFrame(const CGRect& frame) const;
    CGFloat statusBarOffset() const { return 0; }
    // The label's frame with the height its text takes at its width.
    static CGRect adjustLabelFrameHeight(const platform::ui::UILabel& label);
    std::shared_ptr<UIButton> genericButton();
    static platform::ui::CALayerPtr lineLayer();
    void setupGestures();
    void resizeViews();
    void setBackgroundColorForButton(UIButton* button);
    void clearBackgroundColorForButton(UIButton* button);

    // ---- screen behaviour ----
    bool prefersStatusBarHidden() const override;
    unsigned supportedInterfaceOrientations() const override;
    bool shouldAutorotate() const override { return false; }
    bool shouldAutorotateToInterfaceOrientation(
        platform::ui::UIInterfaceOrientation) const override {
        return true;
    }
    void willAnimateRotationToInterfaceOrientation(platform::ui::UIInterfaceOrientation o,
                                                   double duration) override;

  private:
    void build(const std::string& title, const std::string& message,
               const OptionalTitle& cancelTitle, const std::vector<std::string>& otherTitles,
               bool buttonsShouldStack, platform::ui::UIViewPtr contentView, Completion completion);
    void addSeparator(const CGRect& frame);
    // The dismissal road for a button (its index) or the tap outside.
    void dismissWith(long buttonIndex, bool cancelled, bool animated);
    void finishDismissal();
    // Whether an alert other than this one is on the stack and not being
    // dismissed.
    bool otherAlertUp() const;
    void tearDownWindow();

    bool visible_ = false;
    bool buttonsShouldStack_ = false;
    bool built_ = false;
    std::weak_ptr<platform::ui::UIWindow> mainWindow_;
    std::shared_ptr<platform::ui::UIWindow> alertWindow_;
    platform::ui::UIViewPtr backgroundView_;
    platform::ui::UIViewPtr alertView_;
    std::shared_ptr<platform::ui::UILabel> titleLabel_;
    platform::ui::UIViewPtr contentView_;
    std::shared_ptr<platform::ui::UILabel> messageLabel_;
    std::shared_ptr<UIButton> cancelButton_;
    std::shared_ptr<UIButton> otherButton_;
    std::vector<std::shared_ptr<UIButton>> buttons_;
    CGFloat buttonsY_ = 0;
    platform::ui::CALayerPtr verticalLine_;
    std::vector<platform::ui::CALayerPtr> lines_;
    std::shared_ptr<platform::ui::UITapGestureRecognizer> tap_;
    Completion completion_;
    std::optional<UIColor> cancelButtonBackground_;
    std::optional<UIColor> otherButtonBackground_;
    std::optional<UIColor> allButtonsBackground_;
};
