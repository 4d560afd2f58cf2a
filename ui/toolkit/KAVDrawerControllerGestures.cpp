// The drawer container's touch handling and motion: which touches its pan
// and tap take under the gesture masks, how a pan drags the centre (held to
// the drawers' widths, stretched with resistance beyond them), how the end
// of a pan decides, the duration rule, the visual-state hook, the bounce and
// the shadow of the centre.
#include <algorithm>
#include <array>
#include <cmath>

#include "platform/ui/NavigationController.h"
#include "platform/ui/Transaction.h"
#include "ui/toolkit/KAVDrawerController.h"

using namespace platform::ui;

namespace {

// The bounce's shape in 128ths of its distance: three humps of 128, 64 and
// 32.
constexpr std::array<int, 32> kBounceShape = {0,   32, 60, 83, 100, 114, 124, 128, 128, 124, 114,
                                              100, 83, 60, 32, 0,   24,  42,  54,  62,  64,  62,
                                              54,  42, 24, 0,  18,  28,  32,  28,  18,  0};

CGRect leftStrip(const CGRect& r, CGFloat width) {
    return CGRectMake(r.origin.x, r.origin.y, std::min(width, r.size.width), r.size.height);
}

CGRect rightStrip(const CGRect& r, CGFloat width) {
    const CGFloat w = std::min(width, r.size.width);
    return CGRectMake(r.origin.x + r.size.width - w, r.origin.y, w, r.size.height);
}

}  // namespace

// ---- recognisers and their masks ------------------------------------------

void KAVDrawerController::setupGestureRecognizers() {
    auto weak = weakDrawer();
    pan_ = std::make_shared<UIPanGestureRecognizer>([weak](UIGestureRecognizer& recognizer) {
        if (auto self = weak.lock())
            self->panGestureCallback(static_cast<UIPanGestureRecognizer&>(recognizer));
    });
    pan_->delegate = weakSelf<UIGestureRecognizerDelegate>();
    view()->addGestureRecognizer(pan_);
    tap_ = std::make_shared<UITapGestureRecognizer>([weak](UIGestureRecognizer& recognizer) {
        if (auto self = weak.lock())
            self->tapGestureCallback(static_cast<UITapGestureRecognizer&>(recognizer));
    });
    tap_->delegate = weakSelf<UIGestureRecognizerDelegate>();
    view()->addGestureRecognizer(tap_);
}

bool KAVDrawerController::gestureRecognizerShouldReceiveTouch(UIGestureRecognizer* recognizer,
                                                              UITouch* touch) {
    if (openSide_ == DrawerSideNone)
        return (openDrawerGestureModeMask_ &
                possibleOpenGestureModesForGestureRecognizer(recognizer, touch)) != 0;
    return (closeDrawerGestureModeMask_ &
            possibleCloseGestureModesForGestureRecognizer(recognizer, touch)) != 0;
}

int32_t KAVDrawerController::possibleOpenGestureModesForGestureRecognizer(
    UIGestureRecognizer* recognizer, UITouch* touch) {
    const CGPoint point = touch->locationInView(childControllerContainerView());
    int32_t modes = OpenGestureModeNone;
    if (recognizer == pan_.get()) {
        if (isPointContainedWithinNavigationRect(point)) modes |= OpenGesturePanNavigationBar;
        if (isPointContainedWithinCenterViewContentRect(point)) modes |= OpenGesturePanCenterView;
        if ((isPointContainedWithinLeftBezelRect(point) && leftDrawerViewController_) ||
            (isPointContainedWithinRightBezelRect(point) && rightDrawerViewController_))
            modes |= OpenGestureBezelPan;
    }
    if ((openDrawerGestureModeMask_ & OpenGestureCustom) && gestureShouldRecognizeTouch_ &&
        gestureShouldRecognizeTouch_(this, recognizer, touch))
        modes |= OpenGestureCustom;
    return modes;
}

int32_t KAVDrawerController::possibleCloseGestureModesForGestureRecognizer(
    UIGestureRecognizer* recognizer, UITouch* touch) {
    const CGPoint point = touch->locationInView(childControllerContainerView());
    int32_t modes = CloseGestureModeNone;
    if (recognizer == tap_.get()) {
        if (isPointContainedWithinNavigationRect(point)) modes |= CloseGestureTapNavigationBar;
        if (isPointContainedWithinCenterViewContentRect(point)) modes |= CloseGestureTapCenterView;
    } else if (recognizer == pan_.get()) {
        const bool onBar = isPointContainedWithinNavigationRect(point);
        const bool onContent = isPointContainedWithinCenterViewContentRect(point);
        if (onBar) modes |= CloseGesturePanNavigationBar;
        if (onContent) modes |= CloseGesturePanCenterView;
        if ((openSide_ == DrawerSideLeft && isPointContainedWithinRightBezelRect(point)) ||
            (openSide_ == DrawerSideRight && isPointContainedWithinLeftBezelRect(point)))
            modes |= CloseGestureBezelPan;
        if (!onContent && !onBar) modes |= CloseGesturePanDrawerView;
    }
    if ((closeDrawerGestureModeMask_ & CloseGestureCustom) && gestureShouldRecognizeTouch_ &&
        gestureShouldRecognizeTouch_(this, recognizer, touch))
        modes |= CloseGestureCustom;
    return modes;
}

CGRect KAVDrawerController::navigationBarRect() {
    auto* navigation = dynamic_cast<UINavigationController*>(centerViewController_.get());
    if (!navigation) return CGRectNull;
    UINavigationBar* bar = navigation->navigationBar();
    UIView* children = childControllerContainerView();
    return CGRectIntersection(bar->convertRectToView(bar->bounds(), children), children->bounds());
}

bool KAVDrawerController::isPointContainedWithinNavigationRect(CGPoint point) {
    return CGRectContainsPoint(navigationBarRect(), point);
}

bool KAVDrawerController::isPointContainedWithinCenterViewContentRect(CGPoint point) {
    if (!centerContainerView_) return false;
    const CGRect content =
        CGRectIntersection(centerContainerView_->frame(), childControllerContainerView()->bounds());
    return CGRectContainsPoint(content, point) && !isPointContainedWithinNavigationRect(point);
}

bool KAVDrawerController::isPointContainedWithinLeftBezelRect(CGPoint point) {
    return CGRectContainsPoint(leftStrip(childControllerContainerView()->bounds(), kBezelRange),
                               point) &&
           isPointContainedWithinCenterViewContentRect(point);
}

bool KAVDrawerController::isPointContainedWithinRightBezelRect(CGPoint point) {
    return CGRectContainsPoint(rightStrip(childControllerContainerView()->bounds(), kBezelRange),
                               point) &&
           isPointContainedWithinCenterViewContentRect(point);
}

// ---- pan and tap ----------------------------------------------------------

void KAVDrawerController::panGestureCallback(UIPanGestureRecognizer& pan) {
    switch (pan.state()) {
        case UIGestureRecognizerState::Began:
            if (animatingDrawer_) {
                // Only this pan gives way to the move under way; the
                // recogniser takes the next one.
                pan.setEnabled(false);
                pan.setEnabled(true);
                return;
            }
            if (!centerContainerView_) return;
            startingPanRect_ = centerContainerView_->frame();
            [[fallthrough]];
        case UIGestureRecognizerState::Changed: {
            if (CGRectIsNull(startingPanRect_)) return;
            view()->setUserInteractionEnabled(false);
            CGRect frame = startingPanRect_;
            const CGPoint translation = pan.translationInView(centerContainerView_.get());
            frame.origin.x =
                roundedOriginXForDrawerConstriants(startingPanRect_.origin.x + translation.x);
            frame = CGRectIntegral(frame);
            const CGFloat x = frame.origin.x;
            DrawerSide side = DrawerSideNone;
            CGFloat percentVisible = 0;
            if (x > 0) {
                side = DrawerSideLeft;
                percentVisible = x / maximumLeftDrawerWidth();
            } else if (x < 0) {
                side = DrawerSideRight;
                percentVisible = -x / maximumRightDrawerWidth();
            }
            if (side != openSide_) {
                if (auto leaving = sideDrawerViewControllerForSide(openSide_)) {
                    leaving->beginAppearanceTransition(false, false);
                    leaving->endAppearanceTransition();
                }
                if (auto coming = sideDrawerViewControllerForSide(side)) {
                    prepareToPresentDrawer(side, false);
                    coming->endAppearanceTransition();
                }
                setOpenSide(side);
            }
            updateDrawerVisualStateForDrawerSide(side, percentVisible);
            centerContainerView_->setCenter({CGRectGetMidX(frame), CGRectGetMidY(frame)});
            return;
        }
        case UIGestureRecognizerState::Ended:
        case UIGestureRecognizerState::Cancelled: {
            if (CGRectIsNull(startingPanRect_)) return;
            startingPanRect_ = CGRectNull;
            const CGPoint velocity = pan.velocityInView(childControllerContainerView());
            auto weak = weakDrawer();
            std::shared_ptr<UIGestureRecognizer> recognizer = pan_;
            finishAnimationForPanGestureWithXVelocity(velocity.x, [weak, recognizer](bool) {
                auto self = weak.lock();
                if (self && self->gestureCompletion_)
                    self->gestureCompletion_(self.get(), recognizer.get());
            });
            view()->setUserInteractionEnabled(true);
            return;
        }
        default:
            return;
    }
}

void KAVDrawerController::tapGestureCallback(UITapGestureRecognizer&) {
    if (openSide_ == DrawerSideNone || animatingDrawer_) return;
    auto weak = weakDrawer();
    std::shared_ptr<UIGestureRecognizer> recognizer = tap_;
    closeDrawerAnimated(true, [weak, recognizer](bool) {
        auto self = weak.lock();
        if (self && self->gestureCompletion_)
            self->gestureCompletion_(self.get(), recognizer.get());
    });
}

void KAVDrawerController::finishAnimationForPanGestureWithXVelocity(CGFloat xVelocity,
                                                                    DrawerCompletion completion) {
    const CGFloat speed = std::max(std::fabs(xVelocity), kMinimumPanSpeed);
    const CGRect frame = centerContainerView_ ? centerContainerView_->frame() : CGRectZero;
    if (openSide_ == DrawerSideLeft) {
        if (xVelocity > kPanVelocityThreshold)
            openDrawerSide(DrawerSideLeft, true, speed, UIViewAnimationOptionCurveEaseOut,
                           std::move(completion));
        else if (xVelocity < -kPanVelocityThreshold)
            closeDrawerAnimated(true, speed, UIViewAnimationOptionCurveEaseOut,
                                std::move(completion));
        else if (frame.origin.x < maximumLeftDrawerWidth() / 2.0)
            closeDrawerAnimated(true, std::move(completion));
        else
            openDrawerSide(DrawerSideLeft, true, std::move(completion));
    } else if (openSide_ == DrawerSideRight) {
        if (xVelocity > kPanVelocityThreshold)
            closeDrawerAnimated(true, speed, UIViewAnimationOptionCurveEaseOut,
                                std::move(completion));
        else if (xVelocity < -kPanVelocityThreshold)
            openDrawerSide(DrawerSideRight, true, speed, UIViewAnimationOptionCurveEaseOut,
                           std::move(completion));
        else if (CGRectGetMaxX(frame) > childControllerContainerView()->bounds().size.width -
                                            maximumRightDrawerWidth() / 2.0)
            closeDrawerAnimated(true, std::move(completion));
        else
            openDrawerSide(DrawerSideRight, true, std::move(completion));
    } else if (completion) {
        completion(false);
    }
}

CGFloat KAVDrawerController::roundedOriginXForDrawerConstriants(CGFloat originX) {
    const CGFloat width = centerContainerView_ ? centerContainerView_->frame().size.width : 0;
    if (originX < -maximumRightDrawerWidth()) {
        if (shouldStretchDrawer_ && rightDrawerViewController_)
            return stretchedOriginX(originX, -maximumRightDrawerWidth(),
                                    (width - maximumRightDrawerWidth()) * kOvershootShare);
        return -maximumRightDrawerWidth();
    }
    if (originX > maximumLeftDrawerWidth()) {
        if (shouldStretchDrawer_ && leftDrawerViewController_)
            return stretchedOriginX(originX, maximumLeftDrawerWidth(),
                                    (width - maximumLeftDrawerWidth()) * kOvershootShare);
        return maximumLeftDrawerWidth();
    }
    return originX;
}

CGFloat KAVDrawerController::stretchedOriginX(CGFloat originX, CGFloat target,
                                              CGFloat maximumOvershoot) const {
    const CGFloat delta = std::fabs(originX - target);
    const CGFloat linear = maximumOvershoot * kOvershootLinearShare;
    if (delta < linear) return originX;
    // Past the linear range the pull meets a resistance that grows without
    // bound: the overshoot approaches twice the linear range.
    const CGFloat d = delta - linear;
    const CGFloat overshoot = linear + d * linear / std::sqrt(d * d + kStretchSoftening);
    return target < 0 ? target - std::round(overshoot) : target + std::round(overshoot);
}

double KAVDrawerController::animationDurationForAnimationDistance(CGFloat distance) const {
    return durationFor(distance, animationVelocity_);
}

// ---- visual states --------------------------------------------------------

void KAVDrawerController::updateDrawerVisualStateForDrawerSide(DrawerSide side,
                                                               CGFloat percentVisible) {
    if (drawerVisualState_)
        drawerVisualState_(this, side, percentVisible);
    else if (shouldStretchDrawer_)
        applyOvershootScaleTransformForDrawerSide(side, percentVisible);
}

void KAVDrawerController::applyOvershootScaleTransformForDrawerSide(DrawerSide side,
                                                                    CGFloat percentVisible) {
    if (percentVisible < 1.0) return;
    const UIViewControllerPtr drawer = sideDrawerViewControllerForSide(side);
    if (!drawer) return;
    const CGFloat width =
        side == DrawerSideLeft ? maximumLeftDrawerWidth_ : -maximumRightDrawerWidth_;
    CATransform3D transform = CATransform3DMakeScale(percentVisible, 1, 1);
    transform = CATransform3DTranslate(transform, width * (percentVisible - 1) / 2, 0, 0);
    drawer->view()->layer().setTransform(transform);
}

void KAVDrawerController::resetDrawerVisualStateForDrawerSide(DrawerSide side) {
    const UIViewControllerPtr drawer = sideDrawerViewControllerForSide(side);
    if (!drawer) return;
    drawer->view()->layer().setAnchorPoint({0.5, 0.5});
    drawer->view()->layer().setTransform(CATransform3DIdentity);
    drawer->view()->setAlpha(1.0);
}

// ---- bounce and shadow ----------------------------------------------------

void KAVDrawerController::bouncePreviewForDrawerSide(DrawerSide side, DrawerCompletion completion) {
    bouncePreviewForDrawerSide(side, kDefaultBounceDistance, std::move(completion));
}

void KAVDrawerController::bouncePreviewForDrawerSide(DrawerSide side, CGFloat distance,
                                                     DrawerCompletion completion) {
    const UIViewControllerPtr drawer = sideDrawerViewControllerForSide(side);
    if (!drawer || openSide_ != DrawerSideNone || !centerContainerView_) {
        if (completion) completion(false);
        return;
    }
    prepareToPresentDrawer(side, true);
    updateDrawerVisualStateForDrawerSide(side, 1.0);

    CATransaction::begin();
    auto weak = weakDrawer();
    CATransaction::setCompletionBlock([weak, drawer, side, completion] {
        drawer->endAppearanceTransition();
        // An open or a pan that uncovered this drawer while it bounced keeps
        // it on screen: it is not told that it went away (its close will).
        auto self = weak.lock();
        if (!self || !self->isDrawerSideUncovered(side)) {
            drawer->beginAppearanceTransition(false, false);
            drawer->endAppearanceTransition();
        }
        if (completion) completion(true);
    });
    const CGFloat direction = side == DrawerSideLeft ? 1 : -1;
    const CGFloat midX = CGRectGetMidX(centerContainerView_->bounds());
    auto bounce = CAKeyframeAnimation::animationWithKeyPath("position.x");
    for (int k : kBounceShape)
        bounce->values.emplace_back(midX + direction * distance * k / 128.0);
    bounce->repeatCount = 1;
    bounce->duration = kBounceDuration;
    bounce->fillMode = kCAFillModeForwards;
    bounce->removedOnCompletion = true;
    bounce->autoreverses = false;
    centerContainerView_->layer().addAnimation(bounce, "bouncing");
    CATransaction::commit();
}

bool KAVDrawerController::isDrawerSideUncovered(DrawerSide side) const {
    if (side == DrawerSideNone) return false;
    if (openSide_ == side) return true;
    // A move under way has already set the centre where it will end.
    const CGFloat x = centerContainerView_ ? centerContainerView_->frame().origin.x : 0;
    return side == DrawerSideLeft ? x > 0 : x < 0;
}

void KAVDrawerController::updateShadowForCenterView() {
    if (!centerContainerView_) return;
    CALayer& layer = centerContainerView_->layer();
    if (showsShadow_) {
        layer.setMasksToBounds(false);
        layer.setShadowRadius(kShadowRadius);
        layer.setShadowOpacity(kShadowOpacity);
        // A fixed rectangle: the shadow never has to be traced from the
        // centre's content, and is replaced only when the size changes.
        const CGRect bounds = centerContainerView_->bounds();
        if (!CGRectEqualToRect(CGPathGetBoundingBox(layer.shadowPath()), bounds))
            layer.setShadowPath(CGPathCreateWithRect(bounds));
    } else if (layer.shadowPath()) {
        layer.setShadowRadius(0);
        layer.setShadowOpacity(0);
        layer.setShadowPath(nullptr);
        layer.setMasksToBounds(true);
    }
}
