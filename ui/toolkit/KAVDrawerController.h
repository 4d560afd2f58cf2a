#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/ui/PanGestureRecognizer.h"
#include "platform/ui/TapGestureRecognizer.h"
#include "platform/ui/ViewController.h"
#include "ui/toolkit/KAVDrawerCenterContainerView.h"
#include "ui/toolkit/KAVStateCoder.h"

class KAVDrawerController;

// Gestures that may open a closed drawer (bit set; each place is where the
// touch begins).
enum OpenDrawerGestureMode : int32_t {
    OpenGestureModeNone = 0,
    OpenGesturePanNavigationBar = 1 << 1,
    OpenGesturePanCenterView = 1 << 2,
    // Within 20 points of the edge on a side that has a drawer.
    OpenGestureBezelPan = 1 << 3,
    // The gestureShouldRecognizeTouch block says yes.
    OpenGestureCustom = 1 << 4,
    OpenGestureModeAll = OpenGesturePanNavigationBar | OpenGesturePanCenterView |
                         OpenGestureBezelPan | OpenGestureCustom,
};

// Gestures that may close an open drawer (bit set).
enum CloseDrawerGestureMode : int32_t {
    CloseGestureModeNone = 0,
    CloseGesturePanNavigationBar = 1 << 1,
    CloseGesturePanCenterView = 1 << 2,
    // Within 20 points of the edge on the centre's far side.
    CloseGestureBezelPan = 1 << 3,
    CloseGestureTapNavigationBar = 1 << 4,
    CloseGestureTapCenterView = 1 << 5,
    // Neither on the centre's content nor on its bar: on the open drawer.
    CloseGesturePanDrawerView = 1 << 6,
    CloseGestureCustom = 1 << 7,
    CloseGestureModeAll = CloseGesturePanNavigationBar | CloseGesturePanCenterView |
                          CloseGestureBezelPan | CloseGestureTapNavigationBar |
                          CloseGestureTapCenterView | CloseGesturePanDrawerView |
                          CloseGestureCustom,
};

using DrawerControllerDrawerVisualStateBlock =
    std::function<void(KAVDrawerController* drawerController, DrawerSide drawerSide,
                       platform::ui::CGFloat percentVisible)>;
using DrawerGestureShouldRecognizeTouchBlock =
    std::function<bool(KAVDrawerController* drawerController,
                       platform::ui::UIGestureRecognizer* gesture, platform::ui::UITouch* touch)>;
using DrawerGestureCompletionBlock = std::function<void(
    KAVDrawerController* drawerController, platform::ui::UIGestureRecognizer* gesture)>;
using DrawerCompletion = std::function<void(bool finished)>;

// The root container of the main screen: one centre screen and up to two side
// drawers. A drawer is opened by sliding the centre aside (by call or by a
// pan), and closed by sliding it back. The container forwards the
// appearance and rotation calls to its children itself, keeps a shadow
// along the centre's edge and can paint a bar behind the status bar.
//
// Moves are serialised: while one runs (`isAnimatingDrawer`) another open or
// close is refused with NO, and the container's view takes no touches
// during an animated move. Make it with std::make_shared (or create()):
// its gestures and children refer to it weakly.
class KAVDrawerController : public platform::ui::UIViewController,
                            public platform::ui::UIGestureRecognizerDelegate {
  public:
    using CGFloat = platform::ui::CGFloat;
    using CGRect = platform::ui::CGRect;
    using CGPoint = platform::ui::CGPoint;
    using UIViewControllerPtr = platform::ui::UIViewControllerPtr;

    static constexpr CGFloat kDefaultWidth = 280;
    static constexpr CGFloat kDefaultAnimationVelocity = 840;
    static constexpr double kMinimumAnimationDuration = 0.15;
    static constexpr CGFloat kBezelRange = 20;
    static constexpr CGFloat kStatusBarHeight = 20;
    static constexpr CGFloat kPanVelocityThreshold = 200;
    static constexpr CGFloat kMinimumPanSpeed = 400;
    static constexpr CGFloat kOvershootShare = 0.1;
    static constexpr CGFloat kOvershootLinearShare = 0.75;
    static constexpr CGFloat kStretchSoftening = 15000;
    static constexpr CGFloat kDefaultBounceDistance = 50;
    static constexpr double kBounceDuration = 0.8;
    static constexpr CGFloat kShadowRadius = 10;
    static constexpr CGFloat kShadowOpacity = 0.8;

    // The defaults: widths 280, velocity 840, shadow and stretch on, both
    // gesture masks 0, centre mode navigation bar only.
    KAVDrawerController();
    ~KAVDrawerController() override;

    // A container (or a subclass) holding the screens, set in the order
    // centre, left, right; either drawer may be null.
    template <typename T = KAVDrawerController>
    static std::shared_ptr<T> create(const UIViewControllerPtr& center,
                                     const UIViewControllerPtr& left,
                                     const UIViewControllerPtr& right) {
        auto drawer = std::make_shared<T>();
        drawer->setCenterViewController(center);
        drawer->setLeftDrawerViewController(left);
        drawer->setRightDrawerViewController(right);
        return drawer;
    }

    // ---- opening and closing (completions may be empty) ----
    // Nothing open: opens the side. The side is open: closes it. The other
    // side is open: only answers NO.
    void toggleDrawerSide(DrawerSide side, bool animated, DrawerCompletion completion);
    void openDrawerSide(DrawerSide side, bool animated, DrawerCompletion completion);
    // The move takes distance / |velocity| seconds, at least 0.15 s (0
    // without animation). A side without a drawer (or none) answers NO and
    // changes nothing.
    void openDrawerSide(DrawerSide side, bool animated, CGFloat velocity, unsigned options,
                        DrawerCompletion completion);
    void closeDrawerAnimated(bool animated, DrawerCompletion completion);
    void closeDrawerAnimated(bool animated, CGFloat velocity, unsigned options,
                             DrawerCompletion completion);
    // Bounces the centre to hint at a drawer (50 points by default).
    void bouncePreviewForDrawerSide(DrawerSide side, DrawerCompletion completion);
    void bouncePreviewForDrawerSide(DrawerSide side, CGFloat distance, DrawerCompletion completion);

    // ---- children ----
    const UIViewControllerPtr& centerViewController() const { return centerViewController_; }
    void setCenterViewController(const UIViewControllerPtr& controller);
    // `animated` here means the caller forwards the appearance calls itself.
    void setCenterViewController(const UIViewControllerPtr& controller, bool animated);
    // Swaps the centre; with a drawer open and `animated`, the drawer then
    // closes over the new centre.
    void setCenterViewControllerWithCloseAnimation(const UIViewControllerPtr& controller,
                                                   bool withCloseAnimation,
                                                   DrawerCompletion completion);
    // Slides the old centre fully off, swaps, slides the new one in.
    void setCenterViewControllerWithFullCloseAnimation(const UIViewControllerPtr& controller,
                                                       bool withFullCloseAnimation,
                                                       DrawerCompletion completion);
    const UIViewControllerPtr& leftDrawerViewController() const {
        return leftDrawerViewController_;
    }
    void setLeftDrawerViewController(const UIViewControllerPtr& controller);
    const UIViewControllerPtr& rightDrawerViewController() const {
        return rightDrawerViewController_;
    }
    void setRightDrawerViewController(const UIViewControllerPtr& controller);
    void setDrawerViewController(const UIViewControllerPtr& controller, DrawerSide side);
    // Left or right drawer; null for any other side.
    UIViewControllerPtr sideDrawerViewControllerForSide(DrawerSide side) const;
    // None gives the centre, left and right their drawers, anything else null.
    UIViewControllerPtr childViewControllerForSide(DrawerSide side) const;

    // ---- widths and motion ----
    // Reads 0 while the side has no drawer.
    CGFloat maximumLeftDrawerWidth() const;
    CGFloat maximumRightDrawerWidth() const;
    void setMaximumLeftDrawerWidth(CGFloat width);
    void setMaximumRightDrawerWidth(CGFloat width);
    void setMaximumLeftDrawerWidth(CGFloat width, bool animated, DrawerCompletion completion);
    void setMaximumRightDrawerWidth(CGFloat width, bool animated, DrawerCompletion completion);
    void setMaximumDrawerWidth(CGFloat width, DrawerSide side, bool animated,
                               DrawerCompletion completion);
    // How far each drawer shows now.
    CGFloat visibleLeftDrawerWidth() const;
    CGFloat visibleRightDrawerWidth() const;
    CGFloat animationVelocity() const { return animationVelocity_; }
    void setAnimationVelocity(CGFloat velocity) { animationVelocity_ = velocity; }
    bool shouldStretchDrawer() const { return shouldStretchDrawer_; }
    void setShouldStretchDrawer(bool stretch) { shouldStretchDrawer_ = stretch; }
    DrawerSide openSide() const { return openSide_; }
    bool isAnimatingDrawer() const { return animatingDrawer_; }

    // ---- gestures ----
    int32_t openDrawerGestureModeMask() const { return openDrawerGestureModeMask_; }
    void setOpenDrawerGestureModeMask(int32_t mask) { openDrawerGestureModeMask_ = mask; }
    int32_t closeDrawerGestureModeMask() const { return closeDrawerGestureModeMask_; }
    void setCloseDrawerGestureModeMask(int32_t mask) { closeDrawerGestureModeMask_ = mask; }
    CenterInteractionMode centerHiddenInteractionMode() const {
        return centerHiddenInteractionMode_;
    }
    void setCenterHiddenInteractionMode(CenterInteractionMode mode);
    void setDrawerVisualStateBlock(DrawerControllerDrawerVisualStateBlock block) {
        drawerVisualState_ = std::move(block);
    }
    const DrawerControllerDrawerVisualStateBlock& drawerVisualState() const {
        return drawerVisualState_;
    }
    void setGestureShouldRecognizeTouchBlock(DrawerGestureShouldRecognizeTouchBlock block) {
        gestureShouldRecognizeTouch_ = std::move(block);
    }
    void setGestureCompletionBlock(DrawerGestureCompletionBlock block) {
        gestureCompletion_ = std::move(block);
    }
    // The container's recognisers (made when its view loads).
    platform::ui::UIPanGestureRecognizer* panGesture() const { return pan_.get(); }
    platform::ui::UITapGestureRecognizer* tapGesture() const { return tap_.get(); }

    // ---- look ----
    bool showsShadow() const { return showsShadow_; }
    void setShowsShadow(bool shows);
    bool showsStatusBarBackgroundView() const { return showsStatusBarBackgroundView_; }
    void setShowsStatusBarBackgroundView(bool shows);
    platform::ui::UIColor statusBarViewBackgroundColor() const;
    void setStatusBarViewBackgroundColor(const platform::ui::UIColor& color);

    // ---- views ----
    // Holds the drawers' views and, in front, the centre container.
    platform::ui::UIView* childControllerContainerView();
    // Made when the first centre is installed.
    KAVDrawerCenterContainerView* centerContainerView() const { return centerContainerView_.get(); }
    platform::ui::UIView* dummyStatusBarView();
    // The centre container's frame when the current pan began; null otherwise.
    CGRect startingPanRect() const { return startingPanRect_; }

    // ---- gesture rules ----
    bool gestureRecognizerShouldReceiveTouch(platform::ui::UIGestureRecognizer* recognizer,
                                             platform::ui::UITouch* touch) override;
    int32_t possibleOpenGestureModesForGestureRecognizer(
        platform::ui::UIGestureRecognizer* recognizer, platform::ui::UITouch* touch);
    int32_t possibleCloseGestureModesForGestureRecognizer(
        platform::ui::UIGestureRecognizer* recognizer, platform::ui::UITouch* touch);
    // Areas, in the child container's coordinates.
    bool isPointContainedWithinNavigationRect(CGPoint point);
    bool isPointContainedWithinCenterViewContentRect(CGPoint point);
    bool isPointContainedWithinLeftBezelRect(CGPoint point);
    bool isPointContainedWithinRightBezelRect(CGPoint point);
    void panGestureCallback(platform::ui::UIPanGestureRecognizer& pan);
    void tapGestureCallback(platform::ui::UITapGestureRecognizer& tap);
    // Opens or closes after a pan by its end velocity (points per second).
    void finishAnimationForPanGestureWithXVelocity(CGFloat xVelocity, DrawerCompletion completion);
    // The centre's x for a wanted x: held to the drawers' widths, or
    // stretched with resistance beyond them.
    CGFloat roundedOriginXForDrawerConstriants(CGFloat originX);
    double animationDurationForAnimationDistance(CGFloat distance) const;

    // ---- visual states ----
    void updateDrawerVisualStateForDrawerSide(DrawerSide side, CGFloat percentVisible);
    void applyOvershootScaleTransformForDrawerSide(DrawerSide side, CGFloat percentVisible);
    void resetDrawerVisualStateForDrawerSide(DrawerSide side);
    void updateShadowForCenterView();

    // ---- status bar and restoration ----
    platform::ui::UIViewController* childViewControllerForStatusBarStyle() const override;
    platform::ui::UIViewController* childViewControllerForStatusBarHidden() const override;
    void setNeedsStatusBarAppearanceUpdateIfSupported();
    void encodeRestorableStateWithCoder(KAVStateCoder& coder) const;
    void decodeRestorableStateWithCoder(const KAVStateCoder& coder);

    // ---- the controller's own calls ----
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutomaticallyForwardAppearanceMethods() const override { return false; }
    bool shouldAutomaticallyForwardRotationMethods() const override { return false; }
    bool shouldAutorotate() const override { return false; }
    bool shouldAutorotateToInterfaceOrientation(
        platform::ui::UIInterfaceOrientation) const override {
        return true;
    }
    void willRotateToInterfaceOrientation(platform::ui::UIInterfaceOrientation orientation,
                                          double duration) override;
    void willAnimateRotationToInterfaceOrientation(platform::ui::UIInterfaceOrientation orientation,
                                                   double duration) override;
    void didRotateFromInterfaceOrientation(platform::ui::UIInterfaceOrientation from) override;

  protected:
    void setOpenSide(DrawerSide side);
    void setAnimatingDrawer(bool animating);
    void prepareToPresentDrawer(DrawerSide side, bool animated);
    void setupGestureRecognizers();

  private:
    // Move duration for a distance at a velocity; a velocity that is not a
    // positive number falls back to animationVelocity.
    double durationFor(CGFloat distance, CGFloat velocity) const;
    CGFloat stretchedOriginX(CGFloat originX, CGFloat target, CGFloat maximumOvershoot) const;
    CGRect navigationBarRect();
    void installCenterContainer();
    // Ends a finger's drag of the centre before a move by code.
    void cancelPanInProgress();
    // The side is open, or the centre stands (or is moving) aside for it.
    bool isDrawerSideUncovered(DrawerSide side) const;
    std::weak_ptr<KAVDrawerController> weakDrawer() { return weakSelf<KAVDrawerController>(); }

    UIViewControllerPtr centerViewController_;
    UIViewControllerPtr leftDrawerViewController_;
    UIViewControllerPtr rightDrawerViewController_;
    CGFloat maximumLeftDrawerWidth_ = kDefaultWidth;
    CGFloat maximumRightDrawerWidth_ = kDefaultWidth;
    CGFloat animationVelocity_ = kDefaultAnimationVelocity;
    bool shouldStretchDrawer_ = true;
    DrawerSide openSide_ = DrawerSideNone;
    int32_t openDrawerGestureModeMask_ = OpenGestureModeNone;
    int32_t closeDrawerGestureModeMask_ = CloseGestureModeNone;
    CenterInteractionMode centerHiddenInteractionMode_ = CenterInteractionNavigationBarOnly;
    bool showsShadow_ = true;
    bool showsStatusBarBackgroundView_ = false;
    std::optional<platform::ui::UIColor> statusBarViewBackgroundColor_;
    platform::ui::UIViewPtr childControllerContainerView_;
    std::shared_ptr<KAVDrawerCenterContainerView> centerContainerView_;
    platform::ui::UIViewPtr dummyStatusBarView_;
    CGRect startingPanRect_ = platform::ui::CGRectNull;
    DrawerControllerDrawerVisualStateBlock drawerVisualState_;
    DrawerGestureShouldRecognizeTouchBlock gestureShouldRecognizeTouch_;
    DrawerGestureCompletionBlock gestureCompletion_;
    bool animatingDrawer_ = false;
    std::shared_ptr<platform::ui::UIPanGestureRecognizer> pan_;
    std::shared_ptr<platform::ui::UITapGestureRecognizer> tap_;
};

// Where a screen stands in a drawer container (every controller has these).
// The drawer container above the controller, starting at its parent; null
// when there is none.
KAVDrawerController* kav_drawerController(const platform::ui::UIViewController* controller);
// The frame a drawer's view takes: the left drawer's strip at the left of
// the container's view, the right drawer's at its right (a drawer may be the
// controller itself or its navigation controller); the null rectangle for a
// controller that is no drawer.
platform::ui::CGRect kav_visibleDrawerFrame(platform::ui::UIViewController* controller);
