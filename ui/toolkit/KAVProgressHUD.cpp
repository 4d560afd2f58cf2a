#include "ui/toolkit/KAVProgressHUD.h"

#include <algorithm>
#include <cmath>

#include "platform/MainThread.h"
#include "platform/Strings.h"
#include "platform/ui/Accessibility.h"
#include "platform/ui/Application.h"
#include "platform/ui/Canvas.h"
#include "platform/ui/Image.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/Text.h"
#include "platform/ui/Transaction.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

using namespace platform::ui;

namespace {

constexpr CGFloat kBoxCornerRadius = 10;
constexpr CGFloat kPlainBoxSide = 100;
constexpr CGSize kTextBounds{200, 300};
constexpr CGFloat kImageSide = 28;
constexpr CGFloat kSpinnerSide = 37;
constexpr CGFloat kImageCentreY = 36;
constexpr CGFloat kSpinnerCentreYWithText = 40.5;
constexpr CGFloat kLabelYWithImage = 66;
constexpr CGFloat kLabelYTextOnly = 9;
constexpr CGFloat kTextMarginWithImage = 80;
constexpr CGFloat kTextMarginTextOnly = 20;
constexpr CGFloat kSideInsets = 24;
constexpr CGFloat kLabelInset = 12;
constexpr CGFloat kVerticalPlace = 0.45;
// The box shows the screen through it a little, like a frosted bar.
constexpr CGFloat kBoxTranslucency = 0.93;

// Length of a UTF-8 text in UTF-16 units: what the display duration counts.
size_t utf16Length(const std::string& text) {
    size_t units = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) == 0x80) continue;  // continuation byte
        units += (c >= 0xF0) ? 2 : 1;      // four-byte sequences need a surrogate pair
    }
    return units;
}

bool isKeyboardShowNotice(const std::string& name) {
    return name == UIKeyboardWillShowNotification || name == UIKeyboardDidShowNotification;
}

}  // namespace

// ---- shared view and class operations --------------------------------------

std::shared_ptr<KAVProgressHUD> KAVProgressHUD::sharedView() {
    KAV_ASSERT_MAIN_THREAD();
    // Lives for the whole process, like the platform's shared views.
    static std::shared_ptr<KAVProgressHUD> shared =
        std::make_shared<KAVProgressHUD>(UIScreen::mainScreen().bounds());
    return shared;
}

KAVProgressHUD::Appearance& KAVProgressHUD::appearance() {
    static Appearance proxy;
    return proxy;
}

void KAVProgressHUD::show() {
    showProgress(-1, "", KAVProgressHUDMaskTypeNone);
}
void KAVProgressHUD::showWithStatus(const std::string& status) {
    showProgress(-1, status, KAVProgressHUDMaskTypeNone);
}
void KAVProgressHUD::showWithMaskType(uint32_t maskType) {
    showProgress(-1, "", maskType);
}
void KAVProgressHUD::showWithStatus(const std::string& status, uint32_t maskType) {
    showProgress(-1, status, maskType);
}
void KAVProgressHUD::showProgress(float progress) {
    showProgress(progress, "", KAVProgressHUDMaskTypeNone);
}
void KAVProgressHUD::showProgress(float progress, const std::string& status) {
    showProgress(progress, status, KAVProgressHUDMaskTypeNone);
}
void KAVProgressHUD::showProgress(float progress, const std::string& status, uint32_t maskType) {
    sharedView()->showProgressInternal(progress, status, maskType);
}
void KAVProgressHUD::showSuccessWithStatus(const std::string& status) {
    showImage(sharedView()->hudSuccessImage(), status);
}
void KAVProgressHUD::showErrorWithStatus(const std::string& status) {
    showImage(sharedView()->hudErrorImage(), status);
}
void KAVProgressHUD::showImage(UIImagePtr image, const std::string& status) {
    sharedView()->showImageInternal(std::move(image), status, displayDurationForString(status));
}
void KAVProgressHUD::setStatus(const std::string& status) {
    sharedView()->setStatusInternal(status);
}

void KAVProgressHUD::popActivity() {
    auto hud = sharedView();
    // Nothing to pop: the count stays at 0 instead of wrapping round to the
    // largest count, after which no pop would ever dismiss again.
    if (hud->activityCount_ == 0) return;
    if (--hud->activityCount_ == 0) dismiss();
}

void KAVProgressHUD::dismiss() {
    sharedView()->dismissInternal(nullptr);
}
void KAVProgressHUD::dismissWithComplete(Completion completion) {
    sharedView()->dismissInternal(std::move(completion));
}
void KAVProgressHUD::setOffsetFromCenter(UIOffset offset) {
    sharedView()->offsetFromCenter_ = offset;
}
void KAVProgressHUD::resetOffsetFromCenter() {
    setOffsetFromCenter(UIOffsetZero);
}

bool KAVProgressHUD::isVisible() {
    const Phase phase = sharedView()->phase_;
    return phase == Phase::Appearing || phase == Phase::Shown;
}

// ---- creation and fields ----------------------------------------------------

KAVProgressHUD::KAVProgressHUD(const CGRect& frame) : UIView(frame) {
    setUserInteractionEnabled(false);
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
    setAlpha(0);
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
}

KAVProgressHUD::~KAVProgressHUD() = default;

UIControl* KAVProgressHUD::overlayView() {
    if (!overlayView_) {
        overlayView_ = std::make_shared<UIControl>(UIScreen::mainScreen().bounds());
        overlayView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                          UIViewAutoresizingFlexibleHeight);
        overlayView_->setBackgroundColor(UIColor::clearColor());
        overlayView_->setOpaque(false);
        std::weak_ptr<KAVProgressHUD> weak = weakSelf<KAVProgressHUD>();
        overlayView_->addTarget(
            [weak](UIControl* sender, UIEvent* event) {
                if (auto hud = weak.lock()) hud->overlayViewDidReceiveTouchEvent(sender, event);
            },
            UIControlEventTouchDown);
    }
    return overlayView_.get();
}

UIView* KAVProgressHUD::hudView() {
    if (!hudView_) {
        hudView_ = std::make_shared<UIView>(CGRectZero);
        hudView_->layer().setCornerRadius(kBoxCornerRadius);
        hudView_->setClipsToBounds(true);
        hudView_->setOpaque(false);
        const UIColor tint = hudBackgroundColor();
        hudView_->setBackgroundColor(tint.colorWithAlphaComponent(tint.alpha * kBoxTranslucency));
        hudView_->setAutoresizingMask(
            UIViewAutoresizingFlexibleBottomMargin | UIViewAutoresizingFlexibleTopMargin |
            UIViewAutoresizingFlexibleRightMargin | UIViewAutoresizingFlexibleLeftMargin);
        addSubview(hudView_);
    }
    return hudView_.get();
}

UILabel* KAVProgressHUD::stringLabel() {
    if (!stringLabel_) {
        stringLabel_ = std::make_shared<UILabel>(CGRectZero);
        stringLabel_->setBackgroundColor(UIColor::clearColor());
        stringLabel_->setAdjustsFontSizeToFitWidth(true);
        stringLabel_->setTextAlignment(NSTextAlignment::Center);
        stringLabel_->baselineAdjustment = 1;  // centres
        stringLabel_->setTextColor(UIColor::darkGrayColor());
        stringLabel_->setFont(hudFont());
        stringLabel_->setNumberOfLines(0);
    }
    if (!stringLabel_->superview()) hudView()->addSubview(stringLabel_);
    return stringLabel_.get();
}

UIImageView* KAVProgressHUD::imageView() {
    if (!imageView_) imageView_ = std::make_shared<UIImageView>(CGRectMake(0, 0, 28, 28));
    if (!imageView_->superview()) hudView()->addSubview(imageView_);
    return imageView_.get();
}

UIActivityIndicatorView* KAVProgressHUD::spinnerView() {
    if (!spinnerView_) {
        spinnerView_ =
            std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::WhiteLarge);
        spinnerView_->hidesWhenStopped = true;
        spinnerView_->setColor(UIColor::grayColor());
        spinnerView_->setBounds(CGRectMake(0, 0, kSpinnerSide, kSpinnerSide));
        spinnerView_->setHidden(true);
    }
    if (!spinnerView_->superview()) hudView()->addSubview(spinnerView_);
    return spinnerView_.get();
}

std::shared_ptr<CAShapeLayer> KAVProgressHUD::ringLayer() {
    if (!ringLayer_) {
        const CGRect box = hudView()->frame();
        ringLayer_ = createRingLayerWithCenter(
            CGPointMake(CGRectGetWidth(box) / 2, CGRectGetHeight(box) / 2), kRingRadius, 1,
            hudRingForegroundColor());
        hudView()->layer().addSublayer(ringLayer_);
    }
    return ringLayer_;
}

std::shared_ptr<CAShapeLayer> KAVProgressHUD::backgroundRingLayer() {
    if (!backgroundRingLayer_) {
        const CGRect box = hudView()->frame();
        backgroundRingLayer_ = createRingLayerWithCenter(
            CGPointMake(CGRectGetWidth(box) / 2, CGRectGetHeight(box) / 2), kRingRadius, 1,
            hudRingBackgroundColor());
        backgroundRingLayer_->setStrokeEnd(1);
        hudView()->layer().addSublayer(backgroundRingLayer_);
    }
    return backgroundRingLayer_;
}

void KAVProgressHUD::setFadeOutTimer(platform::Timer timer) {
    fadeOutTimer_ = std::move(timer);  // assigning cancels the earlier one
}

bool KAVProgressHUD::isClear() const {
    return maskType_ == KAVProgressHUDMaskTypeNone || maskType_ == KAVProgressHUDMaskTypeClear;
}

CGFloat KAVProgressHUD::visibleKeyboardHeight() const {
    const auto& keyboard = UIKeyboard::shared();
    return keyboard.isVisible() ? keyboard.frame().size.height : 0;
}

// Appearance properties: own value, else the proxy's (kept), else the default.
#define KAV_HUD_APPEARANCE(name, type, fallback) \
    type KAVProgressHUD::name() {                \
        if (name##_) return *name##_;            \
        if (appearance().name) {                 \
            name##_ = appearance().name;         \
            return *name##_;                     \
        }                                        \
        return fallback;                         \
    }
KAV_HUD_APPEARANCE(hudBackgroundColor, UIColor, UIColor::whiteColor())
KAV_HUD_APPEARANCE(hudForegroundColor, UIColor, UIColor::colorWithWhite(0, 0.8))
KAV_HUD_APPEARANCE(hudStatusShadowColor, UIColor, UIColor::colorWithWhite(200 / 255.0, 0.8))
KAV_HUD_APPEARANCE(hudRingBackgroundColor, UIColor, UIColor::whiteColor())
KAV_HUD_APPEARANCE(hudRingForegroundColor, UIColor, tintColor())
KAV_HUD_APPEARANCE(hudFont, UIFont, UIFont::preferredFontForTextStyle("UIFontTextStyleHeadline"))
#undef KAV_HUD_APPEARANCE

UIImagePtr KAVProgressHUD::hudSuccessImage() {
    if (hudSuccessImage_) return hudSuccessImage_;
    if (appearance().hudSuccessImage) return hudSuccessImage_ = appearance().hudSuccessImage;
    return UIImage::imageNamed("KAVProgressHUD.bundle/success-black");
}

UIImagePtr KAVProgressHUD::hudErrorImage() {
    if (hudErrorImage_) return hudErrorImage_;
    if (appearance().hudErrorImage) return hudErrorImage_ = appearance().hudErrorImage;
    return UIImage::imageNamed("KAVProgressHUD.bundle/error-black");
}

void KAVProgressHUD::setHudBackgroundColor(std::optional<UIColor> c) {
    hudBackgroundColor_ = c;
    if (hudView_) {
        const UIColor tint = hudBackgroundColor();
        hudView_->setBackgroundColor(tint.colorWithAlphaComponent(tint.alpha * kBoxTranslucency));
    }
}

// ---- showing ----------------------------------------------------------------

void KAVProgressHUD::attachToWindow() {
    UIControl* overlay = overlayView();
    if (!overlay->superview()) {
        // The front-most window of normal level: over the screens, under the
        // keyboard and the alerts.
        auto windows = UIApplication::sharedApplication().windows();
        for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
            if ((*it)->windowLevel() != UIWindowLevelNormal) continue;
            overlay->setFrame((*it)->bounds());
            (*it)->addSubview(overlayView_);
            break;
        }
    } else if (auto parent = overlay->superview();
               parent && parent->subviews().back() != overlayView_) {
        // A screen installed since the last show must not cover the overlay.
        parent->bringSubviewToFront(overlay);
    }
    if (!superview()) {
        setFrame(overlay->bounds());
        overlay->addSubview(sharedSelf<UIView>());
    }
}

void KAVProgressHUD::showProgressInternal(float progress, const std::string& status,
                                          uint32_t maskType) {
    KAV_ASSERT_MAIN_THREAD();
    auto keep = sharedSelf<KAVProgressHUD>();
    attachToWindow();

    fadeOutTimer_.invalidate();
    imageView()->setHidden(true);
    maskType_ = maskType;
    // Any progress below 0, or none at all (a download's 0 / 0), is the
    // indefinite wait: stored as -1, so laying the box out again later does
    // not bring the rings back over the spinner.
    if (!(progress >= 0)) progress = -1;
    progress_ = progress;
    stringLabel()->setText(status);
    updatePosition();

    if (progress >= 0) {
        imageView()->setImage(nullptr);
        imageView()->setHidden(false);
        spinnerView()->stopAnimating();
        ringLayer()->setStrokeEnd(progress);
        if (progress == 0) ++activityCount_;
    } else {
        ++activityCount_;
        cancelRingLayerAnimation();
        spinnerView()->startAnimating();
    }

    // Mask type 1 lets touches through to the screen; every other type blocks
    // them from this moment on, fade-in or not.
    overlayView()->setUserInteractionEnabled(maskType_ != KAVProgressHUDMaskTypeNone);
    setAccessibility(status);
    overlayView()->setHidden(false);
    positionHUD(nullptr);

    if (phase_ == Phase::Hidden || phase_ == Phase::Disappearing) {
        // A fresh display, or one that takes over a fade-out: the fade-out's
        // end then only runs its completions.
        const uint64_t generation = ++generation_;
        phase_ = Phase::Appearing;
        pendingCompletions_.reset();  // the overtaken fade-out keeps its own list
        appearInfo_ = notificationUserInfo();
        platform::NotificationCenter::defaultCenter().post(
            {KAVProgressHUDWillAppearNotification, {}, appearInfo_});
        registerNotifications();

        UIView* box = hudView();
        const CGAffineTransform placed = box->transform();
        box->setTransform(CGAffineTransformScale(placed, kAppearScale, kAppearScale));
        if (isClear()) {
            setAlpha(1);
            box->setAlpha(0);
        } else {
            box->setAlpha(1);  // a clear display's fade-out may have left it at 0
        }
        std::weak_ptr<KAVProgressHUD> weak = weakSelf<KAVProgressHUD>();
        UIView::animateWithDuration(
            kFadeDuration, 0,
            UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState,
            [this, box, placed] {
                box->setTransform(placed);
                if (isClear())
                    box->setAlpha(1);
                else
                    setAlpha(1);
            },
            [weak, generation](bool) {
                auto hud = weak.lock();
                if (!hud || hud->generation_ != generation || hud->phase_ != Phase::Appearing)
                    return;  // dismissed (or shown anew) before the fade-in ended
                hud->phase_ = Phase::Shown;
                platform::NotificationCenter::defaultCenter().post(
                    {KAVProgressHUDDidAppearNotification, {}, hud->appearInfo_});
                hud->postAccessibilityNotices(hud->stringLabel()->text());
            });
    }
    setNeedsDisplay();
}

void KAVProgressHUD::showImageInternal(UIImagePtr image, const std::string& status,
                                       double duration) {
    KAV_ASSERT_MAIN_THREAD();
    progress_ = -1;
    cancelRingLayerAnimation();
    if (!isVisible()) show();

    imageView()->setImage(std::move(image));
    imageView()->setHidden(false);
    stringLabel()->setText(status);
    updatePosition();
    spinnerView()->stopAnimating();
    setAccessibility(status);
    postAccessibilityNotices(status);

    std::weak_ptr<KAVProgressHUD> weak = weakSelf<KAVProgressHUD>();
    setFadeOutTimer(platform::Timer::schedule(duration, false, [weak] {
        if (auto hud = weak.lock()) hud->dismissInternal(nullptr);
    }));
}

void KAVProgressHUD::setStatusInternal(const std::string& status) {
    stringLabel()->setText(status);
    updatePosition();
}

void KAVProgressHUD::setAccessibility(const std::string& status) {
    // With touches passing through, only the box is the overlay's element;
    // a blocking mask makes the whole overlay one.
    UIView* element = maskType_ == KAVProgressHUDMaskTypeNone ? hudView() : this;
    UIView* other = element == this ? hudView() : this;
    element->setAccessibilityLabel(status);
    element->setIsAccessibilityElement(true);
    other->setAccessibilityLabel({});
    other->setIsAccessibilityElement(false);
}

void KAVProgressHUD::postAccessibilityNotices(const std::string& status) {
    UIAccessibilityPostNotification(UIAccessibilityScreenChangedNotification);
    UIAccessibilityPostNotification(UIAccessibilityAnnouncementNotification, status);
}

// ---- dismissing -------------------------------------------------------------

void KAVProgressHUD::dismissInternal(Completion completion) {
    KAV_ASSERT_MAIN_THREAD();
    if (phase_ == Phase::Hidden) return;  // nothing shown: the completion is not run
    if (phase_ == Phase::Disappearing) {
        // Already fading out: this dismissal ends with that one.
        if (completion && pendingCompletions_)
            pendingCompletions_->push_back(std::move(completion));
        return;
    }
    auto keep = sharedSelf<KAVProgressHUD>();
    const uint64_t generation = ++generation_;
    phase_ = Phase::Disappearing;
    activityCount_ = 0;
    fadeOutTimer_.invalidate();
    auto completions = std::make_shared<std::vector<Completion>>();
    if (completion) completions->push_back(std::move(completion));
    pendingCompletions_ = completions;
    disappearInfo_ = notificationUserInfo();
    platform::NotificationCenter::defaultCenter().post(
        {KAVProgressHUDWillDisappearNotification, {}, disappearInfo_});

    UIView* box = hudView();
    std::weak_ptr<KAVProgressHUD> weak = weakSelf<KAVProgressHUD>();
    UIView::animateWithDuration(
        kFadeDuration, 0,
        UIViewAnimationOptionLayoutSubviews | UIViewAnimationOptionAllowUserInteraction,
        [this, box] {
            box->setTransform(
                CGAffineTransformScale(box->transform(), kDisappearScale, kDisappearScale));
            if (isClear())
                box->setAlpha(0);
            else
                setAlpha(0);
        },
        [weak, generation, completions](bool) {
            if (auto hud = weak.lock()) hud->finishDismissal(generation, completions);
        });
}

void KAVProgressHUD::finishDismissal(uint64_t generation,
                                     const std::shared_ptr<std::vector<Completion>>& completions) {
    auto keep = sharedSelf<KAVProgressHUD>();
    if (generation == generation_ && phase_ == Phase::Disappearing) {
        phase_ = Phase::Hidden;
        pendingCompletions_.reset();
        setAlpha(0);
        if (hudView_) hudView_->setAlpha(0);
        observers_.clear();
        cancelRingLayerAnimation();
        // Off screen, the spinner would turn on for ever and keep asking for
        // frames.
        if (spinnerView_) spinnerView_->stopAnimating();
        if (hudView_) hudView_->removeFromSuperview();
        hudView_.reset();
        if (overlayView_) overlayView_->removeFromSuperview();
        overlayView_.reset();
        UIAccessibilityPostNotification(UIAccessibilityScreenChangedNotification);
        platform::NotificationCenter::defaultCenter().post(
            {KAVProgressHUDDidDisappearNotification, {}, disappearInfo_});
        if (UIWindow* key = UIWindow::keyWindow())
            if (auto root = key->rootViewController()) root->setNeedsStatusBarAppearanceUpdate();
    }
    // Overtaken by a show or not, whoever waited for this dismissal hears
    // that it ended, once.
    std::vector<Completion> run;
    run.swap(*completions);
    for (auto& completion : run)
        if (completion) completion();
}

// ---- notices and touches ----------------------------------------------------

void KAVProgressHUD::registerNotifications() {
    observers_.clear();
    auto& center = platform::NotificationCenter::defaultCenter();
    std::weak_ptr<KAVProgressHUD> weak = weakSelf<KAVProgressHUD>();
    for (const char* name : {UIApplicationDidChangeStatusBarOrientationNotification,
                             UIKeyboardWillHideNotification, UIKeyboardDidHideNotification,
                             UIKeyboardWillShowNotification, UIKeyboardDidShowNotification}) {
        observers_.push_back(center.addObserver(name, [weak](const platform::Notification& n) {
            if (auto hud = weak.lock()) hud->positionHUD(&n);
        }));
    }
}

std::map<std::string, std::any> KAVProgressHUD::notificationUserInfo() {
    std::map<std::string, std::any> info;
    const std::string& text = stringLabel()->text();
    if (!text.empty()) info[KAVProgressHUDStatusUserInfoKey] = text;
    return info;
}

void KAVProgressHUD::overlayViewDidReceiveTouchEvent(UIControl*, UIEvent* event) {
    platform::NotificationCenter::defaultCenter().post(
        KAVProgressHUDDidReceiveTouchEventNotification, event);
}

// ---- layout -----------------------------------------------------------------

void KAVProgressHUD::updatePosition() {
    UILabel* label = stringLabel();
    const std::string& text = label->text();
    const bool imageAreaUsed = imageView()->image() || imageView()->isHidden();

    CGFloat width = kPlainBoxSide;
    CGFloat height = kPlainBoxSide;
    CGRect labelFrame = CGRectZero;
    if (!text.empty()) {
        TextStyle style;
        style.font = label->font();
        style.lineBreakMode = NSLineBreakMode::ByWordWrapping;
        style.numberOfLines = 0;
        const CGSize measured = NSStringBoundingSize(text, kTextBounds, style);
        height = measured.height + (imageAreaUsed ? kTextMarginWithImage : kTextMarginTextOnly);
        if (measured.width > kPlainBoxSide) width = std::ceil(measured.width / 2) * 2;
        const CGFloat labelY = imageAreaUsed ? kLabelYWithImage : kLabelYTextOnly;
        if (height > kPlainBoxSide) {
            labelFrame = CGRectMake(kLabelInset, labelY, width, measured.height);
            width += kSideInsets;
        } else {
            width += kSideInsets;
            labelFrame = CGRectMake(0, labelY, width, measured.height);
        }
    }

    UIView* box = hudView();
    box->setBounds(CGRectMake(0, 0, width, height));
    const CGPoint middle = CGPointMake(width / 2, height / 2);
    const CGPoint imageCentre = text.empty() ? middle : CGPointMake(width / 2, kImageCentreY);
    imageView()->setCenter(imageCentre);
    label->setHidden(text.empty());
    label->setFrame(labelFrame);
    spinnerView()->setCenter(
        CGPointMake(std::ceil(width / 2) + 0.5,
                    text.empty() ? std::ceil(height / 2) + 0.5 : kSpinnerCentreYWithText));
    if (progress_ != -1) {
        // The background ring first, so that the progress ring lies above it.
        CATransaction::begin();
        CATransaction::setDisableActions(true);
        backgroundRingLayer()->setPosition(imageCentre);
        ringLayer()->setPosition(imageCentre);
        CATransaction::commit();
    }
}

void KAVProgressHUD::positionHUD(const platform::Notification* notification) {
    CGFloat keyboardHeight = 0;
    double duration = 0;
    if (notification) {
        const auto& info = notification->userInfo;
        if (isKeyboardShowNotice(notification->name)) {
            if (auto it = info.find(UIKeyboardFrameBeginUserInfoKey); it != info.end())
                if (const auto* frame = std::any_cast<CGRect>(&it->second))
                    keyboardHeight = frame->size.height;
        }
        if (auto it = info.find(UIKeyboardAnimationDurationUserInfoKey); it != info.end())
            if (const auto* d = std::any_cast<double>(&it->second)) duration = *d;
    } else {
        keyboardHeight = visibleKeyboardHeight();
    }

    // The windows of this platform turn with the interface, so the screen's
    // size and the keyboard's frame are already in the turned coordinates:
    // the box is placed as in portrait and never rotated itself.
    const CGSize screen = UIScreenRenderer::screenSize();
    const CGFloat statusBarHeight = UIApplication::sharedApplication().statusBarFrame().size.height;
    CGFloat freeHeight = screen.height;
    if (keyboardHeight > 0) freeHeight += 2 * statusBarHeight;
    freeHeight -= keyboardHeight;
    const CGPoint centre = CGPointMake(screen.width / 2, std::floor(freeHeight * kVerticalPlace));

    if (notification) {
        std::weak_ptr<KAVProgressHUD> weak = weakSelf<KAVProgressHUD>();
        UIView::animateWithDuration(
            duration, 0, UIViewAnimationOptionAllowUserInteraction,
            [weak, centre] {
                if (auto hud = weak.lock()) hud->moveToPoint(centre, 0);
            },
            nullptr);
    } else {
        moveToPoint(centre, 0);
    }
}

void KAVProgressHUD::moveToPoint(CGPoint point, CGFloat rotateAngle) {
    UIView* box = hudView();
    box->setTransform(CGAffineTransformMakeRotation(rotateAngle));
    box->setCenter(
        CGPointMake(point.x + offsetFromCenter_.horizontal, point.y + offsetFromCenter_.vertical));
}

// ---- drawing ----------------------------------------------------------------

void KAVProgressHUD::drawRect(CGRect) {
    Canvas* c = UIGraphicsGetCurrentContext();
    if (!c) return;
    const CGRect b = bounds();
    if (maskType_ == KAVProgressHUDMaskTypeBlack) {
        c->setFillColor(UIColor::colorWithWhite(0, 0.5));
        c->fillRect(b);
    } else if (maskType_ == KAVProgressHUDMaskTypeGradient) {
        CGGradient gradient{{UIColor::colorWithWhite(0, 0), UIColor::colorWithWhite(0, 0.75)},
                            {0, 1}};
        const CGPoint centre =
            CGPointMake(b.size.width / 2, (b.size.height - visibleKeyboardHeight()) / 2);
        const CGFloat radius = std::min(b.size.width, b.size.height);
        c->drawRadialGradient(gradient, centre, 0, centre, radius,
                              kCGGradientDrawsAfterEndLocation);
    }
}

// ---- rings ------------------------------------------------------------------

void KAVProgressHUD::cancelRingLayerAnimation() {
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    if (hudView_) hudView_->layer().removeAllAnimations();
    if (ringLayer_) {
        ringLayer_->setStrokeEnd(0);
        ringLayer_->removeFromSuperlayer();
    }
    ringLayer_.reset();
    if (backgroundRingLayer_) backgroundRingLayer_->removeFromSuperlayer();
    backgroundRingLayer_.reset();
    CATransaction::commit();
}

CGPoint KAVProgressHUD::pointOnCircleWithCenter(CGPoint, CGFloat radius, CGFloat angleInDegrees) {
    // In the ring layer's own coordinates: the centre is (radius, radius).
    const CGFloat a = angleInDegrees * M_PI / 180;
    return CGPointMake(radius + radius * std::cos(a), radius + radius * std::sin(a));
}

CGPathRef KAVProgressHUD::createCirclePathWithCenter(CGPoint center, CGFloat radius,
                                                     int sampleCount) {
    UIBezierPath path;
    const CGPoint first = pointOnCircleWithCenter(center, radius, -90);
    path.moveToPoint(first);
    if (sampleCount >= 2) {
        const CGFloat step = 360.0 / sampleCount;
        for (int k = 1; k < sampleCount; ++k)
            path.addLineToPoint(pointOnCircleWithCenter(center, radius, -90 + k * step));
        path.addLineToPoint(first);
    }
    return CGPathCreateCopy(path);
}

std::shared_ptr<CAShapeLayer> KAVProgressHUD::createRingLayerWithCenter(CGPoint center,
                                                                        CGFloat radius,
                                                                        CGFloat lineWidth,
                                                                        const UIColor& color) {
    auto ring = CAShapeLayer::layer();
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    ring->setFrame(CGRectMake(center.x - radius, center.y - radius, 2 * radius, 2 * radius));
    ring->setFillColor(UIColor::clearColor());
    ring->setStrokeColor(color);
    ring->setLineWidth(lineWidth);
    ring->lineJoin = CGLineJoin::Bevel;
    ring->lineCap = CGLineCap::Butt;
    ring->setPath(createCirclePathWithCenter(center, radius, kRingSamples));
    CATransaction::commit();
    return ring;
}

double KAVProgressHUD::displayDurationForString(const std::string& text) {
    return std::min(static_cast<double>(utf16Length(text)) * 0.06 + 0.3, 5.0);
}
