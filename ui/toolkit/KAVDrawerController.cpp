// The drawer container: children, code-driven opening and closing, centre
// swaps, widths, appearance and rotation forwarding, status-bar bar and
// restoration. Gestures, the pan's motion, the visual-state hooks, the
// bounce and the shadow are in KAVDrawerControllerGestures.cpp.
#include "ui/toolkit/KAVDrawerController.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "platform/Strings.h"
#include "platform/ui/Device.h"
#include "platform/ui/Screen.h"

using namespace platform::ui;

namespace {

constexpr const char* kLeftDrawerKey = "KAVDrawerLeftDrawer";
constexpr const char* kRightDrawerKey = "KAVDrawerRightDrawer";
constexpr const char* kCenterKey = "KAVDrawerCenter";
constexpr const char* kOpenSideKey = "KAVDrawerOpenSide";

void finish(const DrawerCompletion& completion, bool finished) {
    if (completion) completion(finished);
}

// A move of the centre. Without animation it is over when this returns, its
// end included: ended only at the next turn of the run loop, a second move
// asked for in the same turn would start from a drawer not yet settled and be
// undone by the first one's end.
void moveCentre(bool animated, double duration, unsigned options,
                const std::function<void()>& animations,
                const std::function<void(bool)>& completion) {
    if (!animated) {
        UIView::performWithoutAnimation(animations);
        completion(true);
        return;
    }
    UIView::animateWithDuration(duration, 0, options, animations, completion);
}

// The status-bar bar exists from system version 7 on.
bool systemHasStatusBarUnderContent() {
    return platform::leadingDouble(UIDevice::currentDevice().systemVersion()) >= 7.0;
}

}  // namespace

KAVDrawerController::KAVDrawerController() = default;

KAVDrawerController::~KAVDrawerController() {
    // The recognisers may outlive the container in a touch that is still
    // down; they must not call back into it.
    if (pan_) pan_->removeAllTargets();
    if (tap_) tap_->removeAllTargets();
}

// ---- views ----------------------------------------------------------------

UIView* KAVDrawerController::childControllerContainerView() {
    if (!childControllerContainerView_) {
        CGRect frame = view()->bounds();
        if (showsStatusBarBackgroundView_) {
            frame.origin.y = kStatusBarHeight;
            frame.size.height -= kStatusBarHeight;
        }
        childControllerContainerView_ = std::make_shared<UIView>(frame);
        childControllerContainerView_->setBackgroundColor(UIColor::clearColor());
        childControllerContainerView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                                           UIViewAutoresizingFlexibleHeight);
        view()->addSubview(childControllerContainerView_);
    }
    return childControllerContainerView_.get();
}

UIView* KAVDrawerController::dummyStatusBarView() {
    if (!dummyStatusBarView_) {
        dummyStatusBarView_ = std::make_shared<UIView>(
            CGRectMake(0, 0, view()->bounds().size.width, kStatusBarHeight));
        dummyStatusBarView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
        dummyStatusBarView_->setBackgroundColor(statusBarViewBackgroundColor());
        dummyStatusBarView_->setHidden(!showsStatusBarBackgroundView_);
        view()->addSubview(dummyStatusBarView_);
    }
    return dummyStatusBarView_.get();
}

void KAVDrawerController::installCenterContainer() {
    UIView* parent = childControllerContainerView();
    centerContainerView_ = std::make_shared<KAVDrawerCenterContainerView>(parent->bounds());
    centerContainerView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                              UIViewAutoresizingFlexibleHeight);
    centerContainerView_->setBackgroundColor(UIColor::clearColor());
    centerContainerView_->openSide = openSide_;
    centerContainerView_->centerInteractionMode = centerHiddenInteractionMode_;
    parent->addSubview(centerContainerView_);
}

// ---- opening and closing --------------------------------------------------

double KAVDrawerController::durationFor(CGFloat distance, CGFloat velocity) const {
    double speed = std::fabs(velocity);
    if (!(speed > 0) || !std::isfinite(speed)) speed = std::fabs(animationVelocity_);
    if (!(speed > 0) || !std::isfinite(speed)) return kMinimumAnimationDuration;
    return std::max(std::fabs(distance) / speed, kMinimumAnimationDuration);
}

void KAVDrawerController::toggleDrawerSide(DrawerSide side, bool animated,
                                           DrawerCompletion completion) {
    if (openSide_ == DrawerSideNone) {
        openDrawerSide(side, animated, std::move(completion));
    } else if ((side == DrawerSideLeft && openSide_ == DrawerSideLeft) ||
               (side == DrawerSideRight && openSide_ == DrawerSideRight)) {
        closeDrawerAnimated(animated, std::move(completion));
    } else {
        finish(completion, false);
    }
}

void KAVDrawerController::openDrawerSide(DrawerSide side, bool animated,
                                         DrawerCompletion completion) {
    openDrawerSide(side, animated, animationVelocity_, 0, std::move(completion));
}

void KAVDrawerController::openDrawerSide(DrawerSide side, bool animated, CGFloat velocity,
                                         unsigned options, DrawerCompletion completion) {
    if (animatingDrawer_) {
        finish(completion, false);
        return;
    }
    // A side without a drawer cannot open: refused before anything changes,
    // so the container does not stay marked as moving and keep refusing
    // every touch.
    const UIViewControllerPtr drawer = sideDrawerViewControllerForSide(side);
    if (!drawer) {
        finish(completion, false);
        return;
    }
    if (!centerContainerView_) installCenterContainer();
    cancelPanInProgress();
    setAnimatingDrawer(animated);
    const bool presenting = openSide_ != side;
    if (presenting) prepareToPresentDrawer(side, animated);

    CGRect target = centerContainerView_->frame();
    target.origin.x =
        side == DrawerSideLeft ? maximumLeftDrawerWidth() : -maximumRightDrawerWidth();
    const CGFloat distance = std::fabs(centerContainerView_->frame().origin.x - target.origin.x);
    const double duration = animated ? durationFor(distance, velocity) : 0;
    auto weak = weakDrawer();
    moveCentre(
        animated, duration, options,
        [this, side, target] {
            setNeedsStatusBarAppearanceUpdateIfSupported();
            centerContainerView_->setFrame(target);
            updateDrawerVisualStateForDrawerSide(side, 1.0);
        },
        [weak, drawer, side, presenting, completion](bool finished) {
            auto self = weak.lock();
            if (!self) return;
            if (presenting) drawer->endAppearanceTransition();
            self->setOpenSide(side);
            self->resetDrawerVisualStateForDrawerSide(side);
            self->setAnimatingDrawer(false);
            finish(completion, finished);
        });
}

void KAVDrawerController::closeDrawerAnimated(bool animated, DrawerCompletion completion) {
    closeDrawerAnimated(animated, animationVelocity_, 0, std::move(completion));
}

void KAVDrawerController::closeDrawerAnimated(bool animated, CGFloat velocity, unsigned options,
                                              DrawerCompletion completion) {
    if (animatingDrawer_ || !centerContainerView_) {
        finish(completion, false);
        return;
    }
    cancelPanInProgress();
    setAnimatingDrawer(animated);
    const CGRect target = childControllerContainerView()->bounds();
    const CGFloat x = centerContainerView_->frame().origin.x;
    const double duration = animated ? durationFor(x, velocity) : 0;

    DrawerSide visibleSide = DrawerSideNone;
    CGFloat percentVisible = 0;
    if (x > 0) {
        visibleSide = DrawerSideLeft;
        const CGFloat width = maximumLeftDrawerWidth();
        percentVisible = width > 0 ? std::max<CGFloat>(0, x / width) : 0;
    } else if (x < 0) {
        visibleSide = DrawerSideRight;
        const CGFloat width = maximumRightDrawerWidth();
        percentVisible = width > 0 ? std::max<CGFloat>(0, -x / width) : 0;
    }
    const UIViewControllerPtr drawer = sideDrawerViewControllerForSide(visibleSide);
    updateDrawerVisualStateForDrawerSide(visibleSide, percentVisible);
    if (drawer) drawer->beginAppearanceTransition(false, animated);

    auto weak = weakDrawer();
    moveCentre(
        animated, duration, options,
        [this, visibleSide, target] {
            setNeedsStatusBarAppearanceUpdateIfSupported();
            centerContainerView_->setFrame(target);
            updateDrawerVisualStateForDrawerSide(visibleSide, 0.0);
        },
        [weak, drawer, visibleSide, completion](bool finished) {
            auto self = weak.lock();
            if (!self) return;
            if (drawer) drawer->endAppearanceTransition();
            self->setOpenSide(DrawerSideNone);
            self->resetDrawerVisualStateForDrawerSide(visibleSide);
            self->setAnimatingDrawer(false);
            finish(completion, finished);
        });
}

void KAVDrawerController::prepareToPresentDrawer(DrawerSide side, bool animated) {
    const DrawerSide other = side == DrawerSideLeft    ? DrawerSideRight
                             : side == DrawerSideRight ? DrawerSideLeft
                                                       : DrawerSideNone;
    if (auto otherDrawer = sideDrawerViewControllerForSide(other)) {
        childControllerContainerView()->sendSubviewToBack(otherDrawer->view());
        otherDrawer->view()->setHidden(true);
    }
    const UIViewControllerPtr drawer = sideDrawerViewControllerForSide(side);
    if (!drawer) return;
    drawer->view()->setHidden(false);
    resetDrawerVisualStateForDrawerSide(side);
    drawer->view()->setFrame(kav_visibleDrawerFrame(drawer.get()));
    updateDrawerVisualStateForDrawerSide(side, 0.0);
    drawer->beginAppearanceTransition(true, animated);
}

void KAVDrawerController::setOpenSide(DrawerSide side) {
    if (openSide_ != side) {
        openSide_ = side;
        if (centerContainerView_) centerContainerView_->openSide = side;
        if (side == DrawerSideNone) {
            if (leftDrawerViewController_) leftDrawerViewController_->view()->setHidden(true);
            if (rightDrawerViewController_) rightDrawerViewController_->view()->setHidden(true);
        }
    }
    setNeedsStatusBarAppearanceUpdateIfSupported();
}

void KAVDrawerController::cancelPanInProgress() {
    if (CGRectIsNull(startingPanRect_)) return;
    // A move by code takes over from a finger dragging the centre: the drag
    // ends here without deciding anything, or it would go on moving the
    // centre under the move and leave it wherever the finger let go.
    startingPanRect_ = CGRectNull;
    if (pan_) {
        pan_->setEnabled(false);
        pan_->setEnabled(true);
    }
    view()->setUserInteractionEnabled(true);
}

void KAVDrawerController::setAnimatingDrawer(bool animating) {
    animatingDrawer_ = animating;
    view()->setUserInteractionEnabled(!animating);
}

// ---- children -------------------------------------------------------------

void KAVDrawerController::setCenterViewController(const UIViewControllerPtr& controller) {
    setCenterViewController(controller, false);
}

void KAVDrawerController::setCenterViewController(const UIViewControllerPtr& controller,
                                                  bool animated) {
    if (controller == centerViewController_) return;
    if (!centerContainerView_) installCenterContainer();

    if (UIViewControllerPtr old = centerViewController_) {
        old->willMoveToParentViewController(nullptr);
        if (!animated) old->beginAppearanceTransition(false, false);
        old->removeFromParentViewController();
        if (old->isViewLoaded()) old->view()->removeFromSuperview();
        if (!animated) old->endAppearanceTransition();
    }
    centerViewController_ = controller;
    if (!controller) return;

    addChildViewController(controller);
    UIView* centerView = controller->view();
    centerView->setFrame(childControllerContainerView()->bounds());
    centerView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth |
                                    UIViewAutoresizingFlexibleHeight);
    centerContainerView_->addSubview(controller->viewPtr());
    childControllerContainerView()->bringSubviewToFront(centerContainerView_.get());
    updateShadowForCenterView();
    if (!animated) {
        if (view()->window()) {
            controller->beginAppearanceTransition(true, false);
            controller->endAppearanceTransition();
        }
        controller->didMoveToParentViewController(this);
    }
}

void KAVDrawerController::setCenterViewControllerWithCloseAnimation(
    const UIViewControllerPtr& controller, bool withCloseAnimation, DrawerCompletion completion) {
    const bool closing = openSide_ != DrawerSideNone && withCloseAnimation;
    if (!closing) {
        setCenterViewController(controller, false);
        finish(completion, true);
        return;
    }
    const bool changed = controller != centerViewController_;
    // The old centre leaves the screen at once; it is told so, as the other
    // ways of replacing the centre tell it.
    const UIViewControllerPtr old = changed ? centerViewController_ : nullptr;
    if (old) old->beginAppearanceTransition(false, true);
    setCenterViewController(controller, true);
    if (old) old->endAppearanceTransition();
    updateDrawerVisualStateForDrawerSide(openSide_, 1.0);
    if (changed && controller) controller->beginAppearanceTransition(true, true);
    auto weak = weakDrawer();
    closeDrawerAnimated(true, [weak, controller, changed, completion](bool finished) {
        auto self = weak.lock();
        if (self && changed && controller) {
            controller->endAppearanceTransition();
            controller->didMoveToParentViewController(self.get());
        }
        finish(completion, finished);
    });
}

void KAVDrawerController::setCenterViewControllerWithFullCloseAnimation(
    const UIViewControllerPtr& controller, bool withFullCloseAnimation,
    DrawerCompletion completion) {
    if (openSide_ == DrawerSideNone || !withFullCloseAnimation || animatingDrawer_) {
        // Nothing slides off: the centre is swapped with its appearance calls
        // (a swap "animated" here would tell neither centre anything).
        setCenterViewController(controller, false);
        if (openSide_ != DrawerSideNone)
            closeDrawerAnimated(withFullCloseAnimation, std::move(completion));
        else
            finish(completion, true);
        return;
    }
    const bool changed = controller != centerViewController_;
    const UIViewControllerPtr drawer = sideDrawerViewControllerForSide(openSide_);
    const CGRect childBounds = childControllerContainerView()->bounds();
    const CGFloat offscreenX =
        openSide_ == DrawerSideRight ? -childBounds.size.width : childBounds.size.width;
    const double firstLeg = animationDurationForAnimationDistance(
        std::fabs(centerContainerView_->frame().origin.x - offscreenX));
    const UIViewControllerPtr old = centerViewController_;
    cancelPanInProgress();
    setAnimatingDrawer(true);
    if (changed && old) old->beginAppearanceTransition(false, true);

    CGRect offscreen = centerContainerView_->frame();
    offscreen.origin.x = offscreenX;
    auto weak = weakDrawer();
    UIView::animateWithDuration(
        firstLeg, 0, 0,
        [this, drawer, offscreen, childBounds] {
            centerContainerView_->setFrame(offscreen);
            if (drawer) drawer->view()->setFrame(childBounds);
        },
        [weak, controller, changed = changed, old, drawer, completion](bool) mutable {
            auto self = weak.lock();
            if (!self) return;
            // A centre set meanwhile is the newer wish: it stays (and has
            // told the old one already); only the slide home remains.
            if (self->centerViewController_ != old) changed = false;
            const CGRect parked = self->centerContainerView_->frame();
            if (changed) self->setCenterViewController(controller, true);
            self->centerContainerView_->setFrame(parked);
            const DrawerSide side = self->openSide_;
            self->updateDrawerVisualStateForDrawerSide(side, 1.0);
            if (changed) {
                if (old) old->endAppearanceTransition();
                if (controller) controller->beginAppearanceTransition(true, true);
            }
            if (drawer) drawer->beginAppearanceTransition(false, true);
            const CGRect home = self->childControllerContainerView()->bounds();
            UIView::animateWithDuration(
                self->animationDurationForAnimationDistance(home.size.width), 0.1, 0,
                [self, home, side] {
                    self->centerContainerView_->setFrame(home);
                    self->updateDrawerVisualStateForDrawerSide(side, 0.0);
                },
                [weak, controller, changed, drawer, side, completion](bool finished) {
                    auto self = weak.lock();
                    if (!self) return;
                    if (changed && controller) {
                        controller->endAppearanceTransition();
                        controller->didMoveToParentViewController(self.get());
                    }
                    if (drawer) drawer->endAppearanceTransition();
                    self->resetDrawerVisualStateForDrawerSide(side);
                    if (drawer) drawer->view()->setFrame(kav_visibleDrawerFrame(drawer.get()));
                    self->setOpenSide(DrawerSideNone);
                    self->setAnimatingDrawer(false);
                    finish(completion, finished);
                });
        });
}

void KAVDrawerController::setLeftDrawerViewController(const UIViewControllerPtr& controller) {
    setDrawerViewController(controller, DrawerSideLeft);
}

void KAVDrawerController::setRightDrawerViewController(const UIViewControllerPtr& controller) {
    setDrawerViewController(controller, DrawerSideRight);
}

void KAVDrawerController::setDrawerViewController(const UIViewControllerPtr& controller,
                                                  DrawerSide side) {
    // Only the two sides hold drawers; a controller for any other side is
    // not taken in at all.
    if (side != DrawerSideLeft && side != DrawerSideRight) return;
    const UIViewControllerPtr current = sideDrawerViewControllerForSide(side);
    if (current == controller) return;
    if (current) {
        current->beginAppearanceTransition(false, false);
        if (current->isViewLoaded()) current->view()->removeFromSuperview();
        current->endAppearanceTransition();
        current->willMoveToParentViewController(nullptr);
        current->removeFromParentViewController();
    }
    unsigned resizing = UIViewAutoresizingFlexibleHeight;
    if (side == DrawerSideLeft) {
        leftDrawerViewController_ = controller;
        resizing |= UIViewAutoresizingFlexibleRightMargin;
    } else {
        rightDrawerViewController_ = controller;
        resizing |= UIViewAutoresizingFlexibleLeftMargin;
    }
    if (!controller) return;

    addChildViewController(controller);
    UIView* parent = childControllerContainerView();
    const bool centerShown = centerContainerView_ && centerContainerView_->superviewRaw() == parent;
    if (openSide_ == side && centerShown) {
        parent->insertSubviewBelow(controller->viewPtr(), centerContainerView_.get());
        controller->beginAppearanceTransition(true, false);
        controller->endAppearanceTransition();
    } else {
        parent->addSubview(controller->viewPtr());
        parent->sendSubviewToBack(controller->view());
        controller->view()->setHidden(true);
    }
    controller->didMoveToParentViewController(this);
    controller->view()->setAutoresizingMask(resizing);
    controller->view()->setFrame(kav_visibleDrawerFrame(controller.get()));
}

UIViewControllerPtr KAVDrawerController::sideDrawerViewControllerForSide(DrawerSide side) const {
    if (side == DrawerSideLeft) return leftDrawerViewController_;
    if (side == DrawerSideRight) return rightDrawerViewController_;
    return nullptr;
}

UIViewControllerPtr KAVDrawerController::childViewControllerForSide(DrawerSide side) const {
    switch (side) {
        case DrawerSideNone:
            return centerViewController_;
        case DrawerSideLeft:
            return leftDrawerViewController_;
        case DrawerSideRight:
            return rightDrawerViewController_;
    }
    return nullptr;
}

// ---- widths ---------------------------------------------------------------

CGFloat KAVDrawerController::maximumLeftDrawerWidth() const {
    return leftDrawerViewController_ ? maximumLeftDrawerWidth_ : 0;
}

CGFloat KAVDrawerController::maximumRightDrawerWidth() const {
    return rightDrawerViewController_ ? maximumRightDrawerWidth_ : 0;
}

void KAVDrawerController::setMaximumLeftDrawerWidth(CGFloat width) {
    setMaximumDrawerWidth(width, DrawerSideLeft, false, nullptr);
}

void KAVDrawerController::setMaximumRightDrawerWidth(CGFloat width) {
    setMaximumDrawerWidth(width, DrawerSideRight, false, nullptr);
}

void KAVDrawerController::setMaximumLeftDrawerWidth(CGFloat width, bool animated,
                                                    DrawerCompletion completion) {
    setMaximumDrawerWidth(width, DrawerSideLeft, animated, std::move(completion));
}

void KAVDrawerController::setMaximumRightDrawerWidth(CGFloat width, bool animated,
                                                     DrawerCompletion completion) {
    setMaximumDrawerWidth(width, DrawerSideRight, animated, std::move(completion));
}

void KAVDrawerController::setMaximumDrawerWidth(CGFloat width, DrawerSide side, bool animated,
                                                DrawerCompletion completion) {
    if (side != DrawerSideLeft && side != DrawerSideRight) {
        finish(completion, true);
        return;
    }
    CGFloat& stored = side == DrawerSideLeft ? maximumLeftDrawerWidth_ : maximumRightDrawerWidth_;
    const CGFloat change = width - stored;
    stored = width;
    const UIViewControllerPtr drawer = sideDrawerViewControllerForSide(side);
    if (openSide_ != side || !centerContainerView_) {
        if (drawer) drawer->view()->setFrame(kav_visibleDrawerFrame(drawer.get()));
        finish(completion, true);
        return;
    }
    CGRect target = centerContainerView_->frame();
    target.origin.x = side == DrawerSideLeft ? width : -width;
    UIView::animateWithDuration(
        animated ? animationDurationForAnimationDistance(std::fabs(change)) : 0, 0, 0,
        [this, target, drawer] {
            centerContainerView_->setFrame(target);
            if (drawer) drawer->view()->setFrame(kav_visibleDrawerFrame(drawer.get()));
        },
        [completion](bool finished) { finish(completion, finished); });
}

CGFloat KAVDrawerController::visibleLeftDrawerWidth() const {
    if (!centerContainerView_) return 0;
    const CGFloat x = centerContainerView_->frame().origin.x;
    return x > 0 ? x : 0;
}

CGFloat KAVDrawerController::visibleRightDrawerWidth() const {
    if (!centerContainerView_ || !childControllerContainerView_) return 0;
    const CGRect frame = centerContainerView_->frame();
    if (frame.origin.x >= 0) return 0;
    return childControllerContainerView_->bounds().size.width - CGRectGetMaxX(frame);
}

void KAVDrawerController::setCenterHiddenInteractionMode(CenterInteractionMode mode) {
    if (mode == centerHiddenInteractionMode_) return;
    centerHiddenInteractionMode_ = mode;
    if (centerContainerView_) centerContainerView_->centerInteractionMode = mode;
}

// ---- look -----------------------------------------------------------------

void KAVDrawerController::setShowsShadow(bool shows) {
    showsShadow_ = shows;
    updateShadowForCenterView();
}

void KAVDrawerController::setShowsStatusBarBackgroundView(bool shows) {
    if (!systemHasStatusBarUnderContent()) {
        showsStatusBarBackgroundView_ = false;
        return;
    }
    if (shows == showsStatusBarBackgroundView_) return;
    showsStatusBarBackgroundView_ = shows;
    CGRect frame = childControllerContainerView()->frame();
    const CGFloat height = view()->bounds().size.height;
    frame.origin.y = shows ? kStatusBarHeight : 0;
    frame.size.height = shows ? height - kStatusBarHeight : height;
    childControllerContainerView()->setFrame(frame);
    dummyStatusBarView()->setHidden(!shows);
}

UIColor KAVDrawerController::statusBarViewBackgroundColor() const {
    return statusBarViewBackgroundColor_.value_or(UIColor::blackColor());
}

void KAVDrawerController::setStatusBarViewBackgroundColor(const UIColor& color) {
    statusBarViewBackgroundColor_ = color;
    dummyStatusBarView()->setBackgroundColor(color);
}

UIViewController* KAVDrawerController::childViewControllerForStatusBarStyle() const {
    return childViewControllerForSide(openSide_).get();
}

UIViewController* KAVDrawerController::childViewControllerForStatusBarHidden() const {
    return childViewControllerForSide(openSide_).get();
}

void KAVDrawerController::setNeedsStatusBarAppearanceUpdateIfSupported() {
    setNeedsStatusBarAppearanceUpdate();
}

// ---- restoration ----------------------------------------------------------

void KAVDrawerController::encodeRestorableStateWithCoder(KAVStateCoder& coder) const {
    if (leftDrawerViewController_) coder.encodeObject(leftDrawerViewController_, kLeftDrawerKey);
    if (rightDrawerViewController_) coder.encodeObject(rightDrawerViewController_, kRightDrawerKey);
    if (centerViewController_) coder.encodeObject(centerViewController_, kCenterKey);
    coder.encodeInteger(drawerSideNumber(openSide_), kOpenSideKey);
}

void KAVDrawerController::decodeRestorableStateWithCoder(const KAVStateCoder& coder) {
    if (auto left = coder.decodeObjectForKey(kLeftDrawerKey)) setLeftDrawerViewController(left);
    if (auto right = coder.decodeObjectForKey(kRightDrawerKey)) setRightDrawerViewController(right);
    if (auto center = coder.decodeObjectForKey(kCenterKey)) setCenterViewController(center);
    // A number that names no side (a state written by something else) opens nothing.
    const auto side = drawerSideFromNumber(coder.decodeIntegerForKey(kOpenSideKey));
    if (side && *side != DrawerSideNone) openDrawerSide(*side, false, nullptr);
}

// ---- appearance and rotation ----------------------------------------------

void KAVDrawerController::viewDidLoad() {
    UIViewController::viewDidLoad();
    view()->setBackgroundColor(UIColor::blackColor());
    setupGestureRecognizers();
}

void KAVDrawerController::viewWillAppear(bool animated) {
    UIViewController::viewWillAppear(animated);
    if (centerViewController_) centerViewController_->beginAppearanceTransition(true, animated);
    if (auto drawer = sideDrawerViewControllerForSide(openSide_))
        drawer->beginAppearanceTransition(true, animated);
}

void KAVDrawerController::viewDidAppear(bool animated) {
    UIViewController::viewDidAppear(animated);
    updateShadowForCenterView();
    if (centerViewController_) centerViewController_->endAppearanceTransition();
    if (auto drawer = sideDrawerViewControllerForSide(openSide_)) drawer->endAppearanceTransition();
}

void KAVDrawerController::viewWillDisappear(bool animated) {
    UIViewController::viewWillDisappear(animated);
    if (centerViewController_) centerViewController_->beginAppearanceTransition(false, animated);
    if (auto drawer = sideDrawerViewControllerForSide(openSide_))
        drawer->beginAppearanceTransition(false, animated);
}

void KAVDrawerController::viewDidDisappear(bool animated) {
    UIViewController::viewDidDisappear(animated);
    if (centerViewController_) centerViewController_->endAppearanceTransition();
    if (auto drawer = sideDrawerViewControllerForSide(openSide_)) drawer->endAppearanceTransition();
}

void KAVDrawerController::willRotateToInterfaceOrientation(UIInterfaceOrientation orientation,
                                                           double duration) {
    UIViewController::willRotateToInterfaceOrientation(orientation, duration);
    // A pan in progress is cancelled: the geometry it started from is gone.
    for (const auto& recognizer : std::vector(view()->gestureRecognizers())) {
        if (recognizer->state() != UIGestureRecognizerState::Changed) continue;
        recognizer->setEnabled(false);
        recognizer->setEnabled(true);
        resetDrawerVisualStateForDrawerSide(openSide_);
    }
    for (const auto& child : std::vector(childViewControllers()))
        child->willRotateToInterfaceOrientation(orientation, duration);
}

void KAVDrawerController::willAnimateRotationToInterfaceOrientation(
    UIInterfaceOrientation orientation, double duration) {
    UIViewController::willAnimateRotationToInterfaceOrientation(orientation, duration);
    if (showsShadow_ && centerContainerView_) {
        CALayer& layer = centerContainerView_->layer();
        const CGPathRef oldPath = layer.shadowPath();
        updateShadowForCenterView();
        if (oldPath) {
            auto animation = CABasicAnimation::animationWithKeyPath("shadowPath");
            animation->fromValue = oldPath;
            animation->toValue = layer.shadowPath();
            animation->duration = duration;
            animation->timingFunction =
                CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseInEaseOut);
            layer.addAnimation(animation, "transition");
        }
    }
    for (const auto& child : std::vector(childViewControllers()))
        child->willAnimateRotationToInterfaceOrientation(orientation, duration);
}

void KAVDrawerController::didRotateFromInterfaceOrientation(UIInterfaceOrientation from) {
    UIViewController::didRotateFromInterfaceOrientation(from);
    for (const auto& child : std::vector(childViewControllers()))
        child->didRotateFromInterfaceOrientation(from);
}

// ---- where a controller stands in a drawer --------------------------------

KAVDrawerController* kav_drawerController(const UIViewController* controller) {
    if (!controller) return nullptr;
    for (UIViewController* p = controller->parentViewController(); p; p = p->parentViewController())
        if (auto* drawer = dynamic_cast<KAVDrawerController*>(p)) return drawer;
    return nullptr;
}

CGRect kav_visibleDrawerFrame(UIViewController* controller) {
    KAVDrawerController* drawer = kav_drawerController(controller);
    if (!drawer) return CGRectNull;
    const UIViewController* navigation = controller->navigationController();
    auto is = [&](const UIViewControllerPtr& side) {
        return side && (side.get() == controller || side.get() == navigation);
    };
    const CGRect bounds = drawer->view()->bounds();
    if (is(drawer->leftDrawerViewController()))
        return CGRectMake(bounds.origin.x, bounds.origin.y, drawer->maximumLeftDrawerWidth(),
                          bounds.size.height);
    if (is(drawer->rightDrawerViewController())) {
        const CGFloat width = drawer->maximumRightDrawerWidth();
        return CGRectMake(bounds.size.width - width, bounds.origin.y, width, bounds.size.height);
    }
    return CGRectNull;
}
