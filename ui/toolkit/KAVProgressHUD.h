#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Control.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Layer.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/ShapeLayer.h"
#include "platform/ui/View.h"

// How the overlay treats the rest of the screen while it is shown.
enum KAVProgressHUDMaskType : uint32_t {
    KAVProgressHUDMaskTypeNone = 1,      // touches pass through; nothing drawn
    KAVProgressHUDMaskTypeClear = 2,     // touches blocked; nothing drawn
    KAVProgressHUDMaskTypeBlack = 3,     // touches blocked; black at alpha 0.5
    KAVProgressHUDMaskTypeGradient = 4,  // touches blocked; radial dimming
};

// Posted on the default notification centre. The appear and disappear notices
// carry the status text under KAVProgressHUDStatusUserInfoKey (no entry when
// there is no text); the touch notice carries the touch event (UIEvent*) as
// its object.
inline constexpr const char* KAVProgressHUDWillAppearNotification =
    "KAVProgressHUDWillAppearNotification";
inline constexpr const char* KAVProgressHUDDidAppearNotification =
    "KAVProgressHUDDidAppearNotification";
inline constexpr const char* KAVProgressHUDWillDisappearNotification =
    "KAVProgressHUDWillDisappearNotification";
inline constexpr const char* KAVProgressHUDDidDisappearNotification =
    "KAVProgressHUDDidDisappearNotification";
inline constexpr const char* KAVProgressHUDDidReceiveTouchEventNotification =
    "KAVProgressHUDDidReceiveTouchEventNotification";
inline constexpr const char* KAVProgressHUDStatusUserInfoKey = "KAVProgressHUDStatusUserInfoKey";

// The application's one busy and status overlay: a rounded translucent box
// in the middle of the screen with a spinner, a progress ring or an image
// above a status text, optionally over a mask that blocks the rest of the
// screen. One shared view, driven through the class operations; any screen
// shows it and any screen dismisses it.
//
// The overlay counts as shown from the moment a show is called, not from the
// end of its fade-in: a dismissal that comes first (an order refused before
// its call returns) still fades it out and runs its completion, and a show
// during the fade-out takes the overlay over again. Every dismissal's
// completion runs exactly once, when its fade-out ends.
class KAVProgressHUD : public platform::ui::UIView {
  public:
    using UIColor = platform::ui::UIColor;
    using UIFont = platform::ui::UIFont;
    using UIImagePtr = platform::ui::UIImagePtr;
    using CGFloat = platform::ui::CGFloat;
    using CGPoint = platform::ui::CGPoint;
    using CGRect = platform::ui::CGRect;
    using UIOffset = platform::ui::UIOffset;
    using Completion = std::function<void()>;

    static constexpr double kFadeDuration = 0.15;
    static constexpr CGFloat kAppearScale = 1.3;
    static constexpr CGFloat kDisappearScale = 0.8;
    static constexpr CGFloat kRingRadius = 14;
    static constexpr int kRingSamples = 72;

    // ---- class operations (main thread; each acts on the shared view) ----
    static std::shared_ptr<KAVProgressHUD> sharedView();
    static void show();
    static void showWithStatus(const std::string& status);
    static void showWithMaskType(uint32_t maskType);
    static void showWithStatus(const std::string& status, uint32_t maskType);
    static void showProgress(float progress);
    static void showProgress(float progress, const std::string& status);
    static void showProgress(float progress, const std::string& status, uint32_t maskType);
    static void showSuccessWithStatus(const std::string& status);
    static void showErrorWithStatus(const std::string& status);
    static void showImage(UIImagePtr image, const std::string& status);
    static void setStatus(const std::string& status);
    static void popActivity();
    static void dismiss();
    static void dismissWithComplete(Completion completion);
    static void setOffsetFromCenter(UIOffset offset);
    static void resetOffsetFromCenter();
    static bool isVisible();

    // The values every overlay starts with unless set on it (the platform's
    // appearance proxy): a getter takes its own value, else the proxy's
    // (which it keeps), else the default.
    struct Appearance {
        std::optional<UIColor> hudBackgroundColor;
        std::optional<UIColor> hudForegroundColor;
        std::optional<UIColor> hudStatusShadowColor;
        std::optional<UIColor> hudRingBackgroundColor;
        std::optional<UIColor> hudRingForegroundColor;
        std::optional<UIFont> hudFont;
        UIImagePtr hudSuccessImage;
        UIImagePtr hudErrorImage;
    };
    static Appearance& appearance();

    // Use sharedView(); public for std::make_shared.
    explicit KAVProgressHUD(const CGRect& frame);
    ~KAVProgressHUD() override;

    // ---- fields ----
    platform::ui::UIControl* overlayView();
    platform::ui::UIView* hudView();
    platform::ui::UILabel* stringLabel();
    platform::ui::UIImageView* imageView();
    platform::ui::UIActivityIndicatorView* spinnerView();
    std::shared_ptr<platform::ui::CAShapeLayer> ringLayer();
    std::shared_ptr<platform::ui::CAShapeLayer> backgroundRingLayer();
    uint32_t maskType() const { return maskType_; }
    void setMaskType(uint32_t maskType) { maskType_ = maskType; }
    // The pending automatic dismissal of an image display.
    bool hasFadeOutTimer() const { return fadeOutTimer_.isValid(); }
    double fadeOutTimerFireDate() const { return fadeOutTimer_.fireDate(); }
    void setFadeOutTimer(platform::Timer timer);
    float progress() const { return progress_; }
    uint32_t activityCount() const { return activityCount_; }
    UIOffset offsetFromCenter() const { return offsetFromCenter_; }
    // Mask types 1 and 2 leave the rest of the screen undimmed.
    bool isClear() const;
    // Height of the on-screen keyboard now (0 when none is shown).
    CGFloat visibleKeyboardHeight() const;

    UIColor hudBackgroundColor();
    void setHudBackgroundColor(std::optional<UIColor> c);
    UIColor hudForegroundColor();
    void setHudForegroundColor(std::optional<UIColor> c) { hudForegroundColor_ = c; }
    UIColor hudStatusShadowColor();
    void setHudStatusShadowColor(std::optional<UIColor> c) { hudStatusShadowColor_ = c; }
    UIColor hudRingBackgroundColor();
    void setHudRingBackgroundColor(std::optional<UIColor> c) { hudRingBackgroundColor_ = c; }
    UIColor hudRingForegroundColor();
    void setHudRingForegroundColor(std::optional<UIColor> c) { hudRingForegroundColor_ = c; }
    UIFont hudFont();
    void setHudFont(std::optional<UIFont> f) { hudFont_ = f; }
    UIImagePtr hudSuccessImage();
    void setHudSuccessImage(UIImagePtr i) { hudSuccessImage_ = std::move(i); }
    UIImagePtr hudErrorImage();
    void setHudErrorImage(UIImagePtr i) { hudErrorImage_ = std::move(i); }

    // ---- instance operations ----
    void drawRect(CGRect rect) override;
    // Sizes the box for the text and the image area and places what it holds.
    void updatePosition();
    // Places the box: above the keyboard of the notice (or the keyboard shown
    // now when there is none), moved by the offset.
    void positionHUD(const platform::Notification* notification);
    void moveToPoint(CGPoint point, CGFloat rotateAngle);
    void overlayViewDidReceiveTouchEvent(platform::ui::UIControl* sender,
                                         platform::ui::UIEvent* event);
    // The status dictionary of the notices (empty when the label has no text).
    std::map<std::string, std::any> notificationUserInfo();
    void cancelRingLayerAnimation();
    static CGPoint pointOnCircleWithCenter(CGPoint center, CGFloat radius, CGFloat angleInDegrees);
    static platform::ui::CGPathRef createCirclePathWithCenter(CGPoint center, CGFloat radius,
                                                              int sampleCount);
    std::shared_ptr<platform::ui::CAShapeLayer> createRingLayerWithCenter(CGPoint center,
                                                                          CGFloat radius,
                                                                          CGFloat lineWidth,
                                                                          const UIColor& color);
    // 0.06 s per character (UTF-16 units) plus 0.3 s, at most 5 s.
    static double displayDurationForString(const std::string& text);

  private:
    enum class Phase { Hidden, Appearing, Shown, Disappearing };

    void showProgressInternal(float progress, const std::string& status, uint32_t maskType);
    void showImageInternal(UIImagePtr image, const std::string& status, double duration);
    void setStatusInternal(const std::string& status);
    void dismissInternal(Completion completion);
    void registerNotifications();
    void attachToWindow();
    void finishDismissal(uint64_t generation,
                         const std::shared_ptr<std::vector<Completion>>& completions);
    void setAccessibility(const std::string& status);
    void postAccessibilityNotices(const std::string& status);

    std::shared_ptr<platform::ui::UIControl> overlayView_;
    std::shared_ptr<platform::ui::UIView> hudView_;
    std::shared_ptr<platform::ui::UILabel> stringLabel_;
    std::shared_ptr<platform::ui::UIImageView> imageView_;
    std::shared_ptr<platform::ui::UIActivityIndicatorView> spinnerView_;
    std::shared_ptr<platform::ui::CAShapeLayer> backgroundRingLayer_;
    std::shared_ptr<platform::ui::CAShapeLayer> ringLayer_;
    uint32_t maskType_ = KAVProgressHUDMaskTypeNone;
    platform::Timer fadeOutTimer_;
    float progress_ = -1;
    uint32_t activityCount_ = 0;
    UIOffset offsetFromCenter_{};

    std::optional<UIColor> hudBackgroundColor_;
    std::optional<UIColor> hudForegroundColor_;
    std::optional<UIColor> hudStatusShadowColor_;
    std::optional<UIColor> hudRingBackgroundColor_;
    std::optional<UIColor> hudRingForegroundColor_;
    std::optional<UIFont> hudFont_;
    UIImagePtr hudSuccessImage_;
    UIImagePtr hudErrorImage_;

    Phase phase_ = Phase::Hidden;
    // Counts displays and dismissals, so that the end of an animation that
    // was overtaken does nothing but what is still due.
    uint64_t generation_ = 0;
    // Completions of the dismissal under way, run once when its fade-out
    // ends; each dismissal keeps its own list, even when a show overtakes it.
    std::shared_ptr<std::vector<Completion>> pendingCompletions_;
    std::map<std::string, std::any> appearInfo_;
    std::map<std::string, std::any> disappearInfo_;
    // Keyboard and orientation notices while shown; dropping them unregisters.
    std::vector<platform::ObserverToken> observers_;
};
