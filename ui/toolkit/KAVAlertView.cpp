#include "ui/toolkit/KAVAlertView.h"

#include <algorithm>

#include "platform/MainThread.h"
#include "platform/ui/Application.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/Text.h"
#include "platform/ui/Transaction.h"
#include "ui/toolkit/KAVAlertViewStack.h"

using namespace platform::ui;

namespace {

constexpr CGFloat kTitleX = 9;
constexpr CGFloat kTitleY = 10;
constexpr CGFloat kLabelWidth = 252;
constexpr CGFloat kLabelStartHeight = 44;
constexpr CGFloat kHalfWidth = KAVAlertView::kWidth / 2;
constexpr CGFloat kLineThickness = 0.5;
constexpr CGFloat kStartHeight = 150;
constexpr CGFloat kCornerRadius = 8;
constexpr CGFloat kBoxOpacity = 0.95;
constexpr CGFloat kButtonFontSize = 17;

UIColor boxColor() {
    return UIColor::colorWithWhite(0.25, 1);
}
UIColor dimmingColor() {
    return UIColor::colorWithWhite(0, 0.25);
}
UIColor lineColor() {
    return UIColor::colorWithWhite(0.9, 0.3);
}
UIColor pressedColor() {
    return UIColor::rgb255(94, 196, 221);
}

std::string localizedOk() {
    return NSBundle::mainBundle().localizedStringForKey("Ok", "");
}

// Separator lines appear where they are put, without an implicit animation.
void withoutActions(const std::function<void()>& change) {
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    change();
    CATransaction::commit();
}

}  // namespace

// ---- class operations -------------------------------------------------------

KAVAlertViewPtr KAVAlertView::showAlertWithTitle(const std::string& title) {
    return showAlertWithTitle(title, "", std::nullopt, std::vector<std::string>{}, nullptr,
                              nullptr);
}
KAVAlertViewPtr KAVAlertView::showAlertWithTitle(const std::string& title,
                                                 const std::string& message) {
    return showAlertWithTitle(title, message, std::nullopt, std::vector<std::string>{}, nullptr,
                              nullptr);
}
KAVAlertViewPtr KAVAlertView::showAlertWithTitle(const std::string& title,
                                                 const std::string& message,
                                                 Completion completion) {
    return showAlertWithTitle(title, message, std::nullopt, std::vector<std::string>{}, nullptr,
                              std::move(completion));
}
KAVAlertViewPtr KAVAlertView::showAlertWithTitle(const std::string& title,
                                                 const std::string& message,
                                                 const OptionalTitle& cancelTitle,
                                                 Completion completion) {
    return showAlertWithTitle(title, message, cancelTitle, std::vector<std::string>{}, nullptr,
                              std::move(completion));
}
KAVAlertViewPtr KAVAlertView::showAlertWithTitle(const std::string& title,
                                                 const std::string& message,
                                                 const OptionalTitle& cancelTitle,
                                                 const OptionalTitle& otherTitle,
                                                 Completion completion) {
    return showAlertWithTitle(title, message, cancelTitle, otherTitle, false, nullptr,
                              std::move(completion));
}
KAVAlertViewPtr KAVAlertView::showAlertWithTitle(const std::string& title,
                                                 const std::string& message,
                                                 const OptionalTitle& cancelTitle,
                                                 const OptionalTitle& otherTitle,
                                                 bool buttonsShouldStack, Completion completion) {
    return showAlertWithTitle(title, message, cancelTitle, otherTitle, buttonsShouldStack, nullptr,
                              std::move(completion));
}
KAVAlertViewPtr KAVAlertView::showAlertWithTitle(const std::string& title,
                                                 const std::string& message,
                                                 const OptionalTitle& cancelTitle,
                                                 const std::vector<std::string>& otherTitles,
                                                 Completion completion) {
    return showAlertWithTitle(title, message, cancelTitle, otherTitles, nullptr,
                              std::move(completion));
}
KAVAlertViewPtr KAVAlertView::showAlertWithTitle(const std::string& title,
                                                 const std::string& message,
                                                 const OptionalTitle& cancelTitle,
                                                 const OptionalTitle& otherTitle,
                                                 UIViewPtr contentView, Completion completion) {
    return showAlertWithTitle(title, message, cancelTitle, otherTitle, false,
                              std::move(contentView), std::move(completion));
}
KAVAlertViewPtr KAVAlertView::showAlertWithTitle(const std::string& title,
                                                 const std::string& message,
                                                 const OptionalTitle& cancelTitle,
                                                 const OptionalTitle& otherTitle,
                                                 bool buttonsShouldStack, UIViewPtr contentView,
                                                 Completion completion) {
    auto alert = initWithTitle(title, message, cancelTitle, otherTitle, buttonsShouldStack,
                               std::move(contentView), std::move(completion));
    alert->show();
    return alert;
}
KAVAlertViewPtr KAVAlertView::showAlertWithTitle(const std::string& title,
                                                 const std::string& message,
                                                 const OptionalTitle& cancelTitle,
                                                 const std::vector<std::string>& otherTitles,
                                                 UIViewPtr contentView, Completion completion) {
    auto alert = initWithTitle(title, message, cancelTitle, otherTitles, false,
                               std::move(contentView), std::move(completion));
    alert->show();
    return alert;
}

KAVAlertViewPtr KAVAlertView::initWithTitle(const std::string& title, const std::string& message,
                                            const OptionalTitle& cancelTitle,
                                            const OptionalTitle& otherTitle,
                                            bool buttonsShouldStack, UIViewPtr contentView,
                                            Completion completion) {
    std::vector<std::string> others;
    if (otherTitle) others.push_back(*otherTitle);
    return initWithTitle(title, message, cancelTitle, others, buttonsShouldStack,
                         std::move(contentView), std::move(completion));
}

KAVAlertViewPtr KAVAlertView::initWithTitle(const std::string& title, const std::string& message,
                                            const OptionalTitle& cancelTitle,
                                            const std::vector<std::string>& otherTitles,
                                            bool buttonsShouldStack, UIViewPtr contentView,
                                            Completion completion) {
    KAV_ASSERT_MAIN_THREAD();
    auto alert = std::make_shared<KAVAlertView>();
    alert->build(title, message, cancelTitle, otherTitles, buttonsShouldStack,
                 std::move(contentView), std::move(completion));
    return alert;
}

KAVAlertView::KAVAlertView() = default;
KAVAlertView::~KAVAlertView() = default;

// ---- creation ---------------------------------------------------------------

void KAVAlertView::build(const std::string& title, const std::string& message,
                         const OptionalTitle& cancelTitle,
                         const std::vector<std::string>& otherTitles, bool buttonsShouldStack,
                         UIViewPtr contentView, Completion completion) {
    if (UIWindow* main = windowWithLevel(UIWindowLevelNormal))
        mainWindow_ = main->sharedSelf<UIWindow>();
    const CGRect frame = frameForOrientation(interfaceOrientation());
    alertWindow_ = std::make_shared<UIWindow>(frame);
    alertWindow_->setWindowLevel(UIWindowLevelAlert);
    alertWindow_->setBackgroundColor(UIColor::clearColor());
    alertWindow_->setOpaque(false);

    UIView* root = view();
    root->setFrame(frame);
    root->setBackgroundColor(UIColor::clearColor());
    root->setOpaque(false);

    backgroundView_ = std::make_shared<UIView>(frame);
    backgroundView_->setBackgroundColor(dimmingColor());
    backgroundView_->setAlpha(0);
    backgroundView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                         UIViewAutoresizingFlexibleHeight);
    root->addSubview(backgroundView_);

    alertView_ = std::make_shared<UIView>(CGRectZero);
    alertView_->setBackgroundColor(boxColor());
    alertView_->layer().setCornerRadius(kCornerRadius);
    alertView_->setAlpha(kBoxOpacity);
    alertView_->setClipsToBounds(true);
    root->addSubview(alertView_);

    titleLabel_ =
        std::make_shared<UILabel>(CGRectMake(kTitleX, kTitleY, kLabelWidth, kLabelStartHeight));
    titleLabel_->setText(title);
    titleLabel_->setTextColor(UIColor::whiteColor());
    titleLabel_->setTextAlignment(NSTextAlignment::Center);
    titleLabel_->setFont(UIFont::boldSystemFontOfSize(17));
    titleLabel_->setLineBreakMode(NSLineBreakMode::ByWordWrapping);
    titleLabel_->setNumberOfLines(0);
    titleLabel_->setBackgroundColor(UIColor::clearColor());
    titleLabel_->setFrame(adjustLabelFrameHeight(*titleLabel_));
    alertView_->addSubview(titleLabel_);
    CGFloat y = CGRectGetMaxY(titleLabel_->frame()) + kSpacing;

    if (contentView) {
        contentView_ = std::move(contentView);
        const CGSize size = contentView_->frame().size;
        contentView_->setFrame(CGRectMake(0, y, size.width, size.height));
        contentView_->setCenter(CGPointMake(kHalfWidth, contentView_->center().y));
        alertView_->addSubview(contentView_);
        y += size.height + kSpacing;
    }

    messageLabel_ =
        std::make_shared<UILabel>(CGRectMake(kTitleX, y, kLabelWidth, kLabelStartHeight));
    messageLabel_->setText(message);
    messageLabel_->setTextColor(UIColor::whiteColor());
    messageLabel_->setTextAlignment(NSTextAlignment::Center);
    messageLabel_->setFont(UIFont::systemFontOfSize(15));
    messageLabel_->setLineBreakMode(NSLineBreakMode::ByWordWrapping);
    messageLabel_->setNumberOfLines(0);
    messageLabel_->setBackgroundColor(UIColor::clearColor());
    messageLabel_->setFrame(adjustLabelFrameHeight(*messageLabel_));
    alertView_->addSubview(messageLabel_);

    const CGRect line =
        CGRectMake(0, CGRectGetMaxY(messageLabel_->frame()) + kSpacing, kWidth, kLineThickness);
    addSeparator(line);
    buttonsY_ = CGRectGetMaxY(line);

    buttonsShouldStack_ = buttonsShouldStack;
    addButtonWithTitle(cancelTitle.value_or(localizedOk()));
    for (const auto& other : otherTitles)
        addButtonWithTitle(other);

    alertView_->setBounds(CGRectMake(0, 0, kWidth, kStartHeight));
    completion_ = std::move(completion);
    resizeViews();
    alertView_->setCenter(centerWithFrame(frame));
    setupGestures();
    built_ = true;
}

void KAVAlertView::addSeparator(const CGRect& frame) {
    auto line = lineLayer();
    withoutActions([&] { line->setFrame(frame); });
    alertView_->layer().addSublayer(line);
    lines_.push_back(line);
}

std::vector<CALayer*> KAVAlertView::separatorLines() const {
    std::vector<CALayer*> out;
    for (const auto& line : lines_)
        if (line->superlayer()) out.push_back(line.get());
    std::stable_sort(out.begin(), out.end(), [](CALayer* a, CALayer* b) {
        return a->frame().origin.y < b->frame().origin.y;
    });
    return out;
}

CALayerPtr KAVAlertView::lineLayer() {
    auto line = CALayer::layer();
    withoutActions([&] { line->setBackgroundColor(lineColor()); });
    return line;
}

std::shared_ptr<UIButton> KAVAlertView::genericButton() {
    auto button = UIButton::buttonWithType(UIButtonType::Custom);
    button->setBackgroundColor(UIColor::clearColor());
    button->titleLabel()->setFont(UIFont::systemFontOfSize(kButtonFontSize));
    button->titleLabel()->setAdjustsFontSizeToFitWidth(true);
    button->setTitleEdgeInsets(UIEdgeInsetsMake(2, 2, 2, 2));
    button->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    button->setTitleColor(UIColor::colorWithWhite(0.25, 1), UIControlStateHighlighted);
    std::weak_ptr<KAVAlertView> weak = weakSelf<KAVAlertView>();
    button->addTarget(
        [weak](UIControl* sender, UIEvent*) {
            if (auto alert = weak.lock()) alert->dismiss(sender);
        },
        UIControlEventTouchUpInside);
    button->addTarget(
        [weak](UIControl* sender, UIEvent*) {
            if (auto alert = weak.lock())
                alert->setBackgroundColorForButton(static_cast<UIButton*>(sender));
        },
        UIControlEventTouchDown);
    button->addTarget(
        [weak](UIControl* sender, UIEvent*) {
            if (auto alert = weak.lock())
                alert->clearBackgroundColorForButton(static_cast<UIButton*>(sender));
        },
        UIControlEventTouchDragExit);
    return button;
}

long KAVAlertView::addButtonWithTitle(const std::string& title) {
    auto button = genericButton();
    button->setTitle(title, UIControlStateNormal);
    const UIFont regular = UIFont::systemFontOfSize(kButtonFontSize);

    if (!cancelButton_) {
        cancelButton_ = button;
        button->titleLabel()->setFont(UIFont::boldSystemFontOfSize(kButtonFontSize));
        button->setFrame(CGRectMake(0, buttonsY_, kWidth, kButtonHeight));
    } else if (buttonsShouldStack_) {
        // The new button takes the cancel button's row; the cancel button
        // stays at the bottom.
        otherButton_ = button;
        button->setFrame(cancelButton_->frame());
        const CGFloat y = cancelButton_->frame().origin.y + kButtonHeight;
        cancelButton_->setFrame(CGRectMake(0, y, kWidth, kButtonHeight));
        addSeparator(CGRectMake(0, y, kWidth, kLineThickness));
    } else if (buttons_.size() == 1) {
        verticalLine_ = lineLayer();
        withoutActions([&] {
            verticalLine_->setFrame(
                CGRectMake(kHalfWidth, buttonsY_, kLineThickness, kButtonHeight));
        });
        alertView_->layer().addSublayer(verticalLine_);
        otherButton_ = button;
        button->setFrame(CGRectMake(kHalfWidth, buttonsY_, kHalfWidth, kButtonHeight));
        cancelButton_->setFrame(CGRectMake(0, buttonsY_, kHalfWidth, kButtonHeight));
        cancelButton_->titleLabel()->setFont(regular);
    } else {
        buttons_.back()->titleLabel()->setFont(regular);
        if (buttons_.size() == 2) {
            // From two side by side to rows.
            if (verticalLine_) verticalLine_->removeFromSuperlayer();
            verticalLine_.reset();
            addSeparator(CGRectMake(0, buttonsY_ + kButtonHeight, kWidth, kLineThickness));
            buttons_[1]->setFrame(CGRectMake(0, buttonsY_ + kButtonHeight, kWidth, kButtonHeight));
            cancelButton_->setFrame(CGRectMake(0, buttonsY_, kWidth, kButtonHeight));
        }
        const CGFloat y = buttons_.back()->frame().origin.y + kButtonHeight;
        button->setFrame(CGRectMake(0, y, kWidth, kButtonHeight));
    }

    alertView_->addSubview(button);
    buttons_.push_back(button);
    if (built_) {
        // A button added after the alert was made must not fall outside the box.
        resizeViews();
        alertView_->setCenter(centerWithFrame(backgroundView_->frame()));
    }
    return static_cast<long>(buttons_.size()) - 1;
}

void KAVAlertView::resizeViews() {
    CGFloat height = 0;
    for (const auto& sub : alertView_->subviews()) {
        if (dynamic_cast<UIButton*>(sub.get())) continue;
        height += sub->frame().size.height + kSpacing;
    }
    const size_t count = buttons_.size();
    height += (buttonsShouldStack_ || count > 2) ? count * kButtonHeight : kButtonHeight;
    height += kSpacing;
    CGRect frame = alertView_->frame();
    frame.size.height = height;
    alertView_->setFrame(frame);
}

void KAVAlertView::setupGestures() {
    std::weak_ptr<KAVAlertView> weak = weakSelf<KAVAlertView>();
    tap_ = std::make_shared<UITapGestureRecognizer>([weak](UIGestureRecognizer&) {
        if (auto alert = weak.lock()) alert->dismissWith(static_cast<long>(NSNotFound), true, true);
    });
    tap_->numberOfTapsRequired = 1;
    backgroundView_->addGestureRecognizer(tap_);
    backgroundView_->setUserInteractionEnabled(true);
    backgroundView_->setMultipleTouchEnabled(false);
}

CGRect KAVAlertView::adjustLabelFrameHeight(const UILabel& label) {
    CGRect frame = label.frame();
    if (label.text().empty()) {
        frame.size.height = 0;
        return frame;
    }
    TextStyle style;
    style.font = label.font();
    style.lineBreakMode = NSLineBreakMode::ByWordWrapping;
    style.numberOfLines = 0;
    frame.size.height = NSStringBoundingSize(label.text(), {frame.size.width, 0}, style).height;
    return frame;
}

UIWindow* KAVAlertView::windowWithLevel(UIWindowLevel level) {
    // The visible window of that level, else any.
    UIWindow* hidden = nullptr;
    for (UIWindow* w : UIApplication::sharedApplication().windows()) {
        if (w->windowLevel() != level) continue;
        if (!w->isHidden()) return w;
        if (!hidden) hidden = w;
    }
    return hidden;
}

CGRect KAVAlertView::frameForOrientation(UIInterfaceOrientation orientation) {
    CGRect frame = UIScreen::mainScreen().bounds();
    if (UIInterfaceOrientationIsLandscape(orientation))
        std::swap(frame.size.width, frame.size.height);
    return frame;
}

CGPoint KAVAlertView::centerWithFrame(const CGRect& frame) const {
    return CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame) - statusBarOffset());
}

// ---- showing ----------------------------------------------------------------

void KAVAlertView::show() {
    KAVAlertViewStack::sharedInstance().push(sharedSelf<KAVAlertView>());
}

void KAVAlertView::showInternal() {
    if (!alertWindow_) return;
    // The window keeps its alert alive while it is up.
    if (alertWindow_->rootViewController().get() != this)
        alertWindow_->setRootViewController(sharedSelf<KAVAlertView>());
    UIViewPtr root = viewPtr();
    if (root->superviewRaw() != alertWindow_.get()) alertWindow_->addSubview(root);
    alertWindow_->makeKeyAndVisible();
    visible_ = true;
    showBackgroundView();
    showAlertAnimation();
}

void KAVAlertView::hide() {
    if (isViewLoaded()) view()->removeFromSuperview();
}

void KAVAlertView::showBackgroundView() {
    if (auto main = mainWindow_.lock())
        main->setTintAdjustmentMode(UIViewTintAdjustmentMode::Dimmed);
    UIView* dimming = backgroundView_.get();
    UIView::animateWithDuration(kShowDuration, [dimming] { dimming->setAlpha(1); });
}

void KAVAlertView::showAlertAnimation() {
    auto animation = CAKeyframeAnimation::animationWithKeyPath("transform");
    animation->values = {CATransform3DMakeScale(1.2, 1.2, 1), CATransform3DMakeScale(1.05, 1.05, 1),
                         CATransform3DMakeScale(1, 1, 1)};
    animation->keyTimes = {0, 0.5, 1};
    animation->duration = kShowDuration;
    animation->fillMode = kCAFillModeForwards;
    animation->removedOnCompletion = false;
    alertView_->layer().addAnimation(animation, "showAlert");
}

void KAVAlertView::dismissAlertAnimation() {
    auto animation = CAKeyframeAnimation::animationWithKeyPath("transform");
    animation->values = {CATransform3DMakeScale(1, 1, 1), CATransform3DMakeScale(0.95, 0.95, 1),
                         CATransform3DMakeScale(0.8, 0.8, 1)};
    animation->keyTimes = {0, 0.5, 1};
    animation->duration = kDismissDuration;
    animation->fillMode = kCAFillModeRemoved;
    alertView_->layer().addAnimation(animation, "dismissAlert");
}

// ---- dismissing -------------------------------------------------------------

void KAVAlertView::dismiss(UIControl* sender) {
    dismiss(sender, true);
}

void KAVAlertView::dismiss(UIControl* sender, bool animated) {
    auto it = std::find_if(buttons_.begin(), buttons_.end(),
                           [sender](const auto& b) { return b.get() == sender; });
    const long index = it == buttons_.end() ? -1 : static_cast<long>(it - buttons_.begin());
    dismissWith(index, sender != nullptr && sender == cancelButton_.get(), animated);
}

void KAVAlertView::dismissWithClickedButtonIndex(long index, bool animated) {
    if (index < 0 || index >= static_cast<long>(buttons_.size())) return;
    dismiss(buttons_[static_cast<size_t>(index)].get(), animated);
}

void KAVAlertView::withdraw() {
    completion_ = nullptr;
    dismissWith(-1, true, false);
}

void KAVAlertView::setTapToDismissEnabled(bool enabled) {
    if (tap_) tap_->setEnabled(enabled);
}

void KAVAlertView::dismissWith(long buttonIndex, bool cancelled, bool animated) {
    KAV_ASSERT_MAIN_THREAD();
    // Only a visible alert answers: a second tap or call during the fade-out
    // (or after it) must not run the completion again.
    if (!visible_) return;
    visible_ = false;
    auto keep = sharedSelf<KAVAlertView>();
    const double duration = animated ? kDismissDuration : 0;

    // The last alert up takes the dimming with it, also when others are
    // still fading out (a result shown while its confirmation fades, then
    // closed at once): they are no longer up.
    const bool last = !otherAlertUp();
    UIView* dimming = backgroundView_.get();
    UIView* box = alertView_.get();
    if (last) {
        if (animated) dismissAlertAnimation();
        if (auto main = mainWindow_.lock())
            main->setTintAdjustmentMode(UIViewTintAdjustmentMode::Automatic);
    }
    std::weak_ptr<KAVAlertView> weak = weakSelf<KAVAlertView>();
    UIView::animateWithDuration(
        duration,
        [dimming, box, last] {
            if (last) dimming->setAlpha(0);
            box->setAlpha(0);
        },
        [weak](bool) {
            if (auto alert = weak.lock()) alert->finishDismissal();
        });

    // The choice is reported at once, while the alert fades.
    if (completion_) {
        Completion completion = std::move(completion_);
        completion_ = nullptr;
        completion(cancelled, buttonIndex);
    }
}

void KAVAlertView::finishDismissal() {
    auto keep = sharedSelf<KAVAlertView>();
    auto& stack = KAVAlertViewStack::sharedInstance();
    stack.pop(this);
    hide();
    tearDownWindow();
    if (otherAlertUp()) return;
    // No alert is up: whatever order the alerts went in, the main window
    // shows its own tints again and takes the keys.
    if (auto main = mainWindow_.lock()) {
        if (main->tintAdjustmentMode() == UIViewTintAdjustmentMode::Dimmed)
            main->setTintAdjustmentMode(UIViewTintAdjustmentMode::Automatic);
        if (stack.alertViews().empty()) main->makeKeyAndVisible();
    }
}

bool KAVAlertView::otherAlertUp() const {
    const auto& stack = KAVAlertViewStack::sharedInstance().alertViews();
    return std::any_of(stack.begin(), stack.end(),
                       [this](const auto& a) { return a.get() != this && a->isVisible(); });
}

void KAVAlertView::tearDownWindow() {
    if (!alertWindow_) return;
    auto window = std::move(alertWindow_);
    window->setHidden(true);
    window->removeFromSuperview();
    window->setRootViewController(nullptr);
}

// ---- look -------------------------------------------------------------------

void KAVAlertView::useDefaultIOS7Style() {
    setTapToDismissEnabled(false);
    setAllButtonsTextColor(UIColor::rgb255(0, 122, 255));
    titleLabel_->setTextColor(UIColor::blackColor());
    messageLabel_->setTextColor(UIColor::blackColor());
    setAllButtonsBackgroundColor(UIColor::grey255(217));
    alertView_->setBackgroundColor(UIColor::whiteColor());
}

void KAVAlertView::setWindowTintColor(const UIColor& color) {
    backgroundView_->setBackgroundColor(color);
}
void KAVAlertView::setBackgroundColor(const UIColor& color) {
    alertView_->setBackgroundColor(color);
}
void KAVAlertView::setTitleColor(const UIColor& color) {
    titleLabel_->setTextColor(color);
}
void KAVAlertView::setTitleFont(const UIFont& font) {
    titleLabel_->setFont(font);
}
void KAVAlertView::setMessageColor(const UIColor& color) {
    messageLabel_->setTextColor(color);
}
void KAVAlertView::setMessageFont(const UIFont& font) {
    messageLabel_->setFont(font);
}

namespace {
void pressWithCustomColour(const std::weak_ptr<KAVAlertView>& weak, UIButton* button) {
    button->addTarget(
        [weak](UIControl* sender, UIEvent*) {
            if (auto alert = weak.lock())
                alert->setCustomBackgroundColorForButton(static_cast<UIButton*>(sender));
        },
        UIControlEventTouchDown | UIControlEventTouchDragEnter);
}
}  // namespace

void KAVAlertView::setCancelButtonBackgroundColor(const UIColor& color) {
    cancelButtonBackground_ = color;
    if (cancelButton_) pressWithCustomColour(weakSelf<KAVAlertView>(), cancelButton_.get());
}
void KAVAlertView::setOtherButtonBackgroundColor(const UIColor& color) {
    otherButtonBackground_ = color;
    if (otherButton_) pressWithCustomColour(weakSelf<KAVAlertView>(), otherButton_.get());
}
void KAVAlertView::setAllButtonsBackgroundColor(const UIColor& color) {
    allButtonsBackground_ = color;
    cancelButtonBackground_ = color;
    otherButtonBackground_ = color;
    for (const auto& button : buttons_)
        pressWithCustomColour(weakSelf<KAVAlertView>(), button.get());
}

void KAVAlertView::setCustomBackgroundColorForButton(UIButton* button) {
    if (button == cancelButton_.get() && cancelButtonBackground_)
        button->setBackgroundColor(*cancelButtonBackground_);
    else if (button == otherButton_.get() && otherButtonBackground_)
        button->setBackgroundColor(*otherButtonBackground_);
    else
        button->setBackgroundColor(allButtonsBackground_.value_or(pressedColor()));
}

void KAVAlertView::setCancelButtonTextColor(const UIColor& color) {
    if (!cancelButton_) return;
    cancelButton_->setTitleColor(color, UIControlStateNormal);
    cancelButton_->setTitleColor(color, UIControlStateHighlighted);
}
void KAVAlertView::setOtherButtonTextColor(const UIColor& color) {
    if (!otherButton_) return;
    otherButton_->setTitleColor(color, UIControlStateNormal);
    otherButton_->setTitleColor(color, UIControlStateHighlighted);
}
void KAVAlertView::setAllButtonsTextColor(const UIColor& color) {
    for (const auto& button : buttons_) {
        button->setTitleColor(color, UIControlStateNormal);
        button->setTitleColor(color, UIControlStateHighlighted);
    }
}

void KAVAlertView::setBackgroundColorForButton(UIButton* button) {
    button->setBackgroundColor(pressedColor());
}
void KAVAlertView::clearBackgroundColorForButton(UIButton* button) {
    button->setBackgroundColor(UIColor::clearColor());
}

// ---- screen behaviour -------------------------------------------------------

bool KAVAlertView::prefersStatusBarHidden() const {
    return UIApplication::sharedApplication().isStatusBarHidden();
}

unsigned KAVAlertView::supportedInterfaceOrientations() const {
    return UIInterfaceOrientationMaskAll;
}

void KAVAlertView::willAnimateRotationToInterfaceOrientation(UIInterfaceOrientation o, double) {
    const CGRect frame = frameForOrientation(o);
    backgroundView_->setFrame(frame);
    alertView_->setCenter(centerWithFrame(frame));
}
