#include "ui/toolkit/KAVDrawerVisualState.h"

#include <algorithm>
#include <numbers>

#include "platform/ui/Screen.h"

using namespace platform::ui;

namespace {

constexpr CGFloat kMinimumScale = 0.9;
constexpr CGFloat kSlideDistance = 50;
// The eye's distance for the door's perspective, in points.
constexpr CGFloat kEyeDistance = 1000;

// Beyond full width a drawer stretches along x, its edge held to the centre.
CATransform3D stretchTransform(CGFloat percentVisible, CGFloat shift) {
    CATransform3D t = CATransform3DMakeScale(percentVisible, 1, 1);
    return CATransform3DTranslate(t, shift, 0, 0);
}

}  // namespace

DrawerControllerDrawerVisualStateBlock KAVDrawerVisualState::slideAndScaleVisualStateBlock() {
    return [](KAVDrawerController* drawerController, DrawerSide side, CGFloat percentVisible) {
        const CGFloat scale = kMinimumScale + percentVisible * (1 - kMinimumScale);
        const CATransform3D scaleTransform = CATransform3DMakeScale(scale, scale, scale);
        const CGFloat distance = kSlideDistance * percentVisible;
        CATransform3D translate = CATransform3DIdentity;
        UIViewControllerPtr drawer;
        if (side == DrawerSideLeft) {
            drawer = drawerController->leftDrawerViewController();
            translate = CATransform3DMakeTranslation(kSlideDistance - distance, 0, 0);
        } else if (side == DrawerSideRight) {
            drawer = drawerController->rightDrawerViewController();
            translate = CATransform3DMakeTranslation(-(kSlideDistance - distance), 0, 0);
        }
        if (!drawer) return;
        drawer->view()->layer().setTransform(CATransform3DConcat(scaleTransform, translate));
        drawer->view()->setAlpha(percentVisible);
    };
}

DrawerControllerDrawerVisualStateBlock KAVDrawerVisualState::slideVisualStateBlock() {
    return parallaxVisualStateBlockWithParallaxFactor(1.0);
}

DrawerControllerDrawerVisualStateBlock KAVDrawerVisualState::swingingDoorVisualStateBlock() {
    return [](KAVDrawerController* drawerController, DrawerSide side, CGFloat percentVisible) {
        constexpr CGFloat halfTurn = std::numbers::pi / 2;
        UIViewControllerPtr drawer;
        CGPoint anchor;
        CGFloat d, angle, xOffset;
        if (side == DrawerSideLeft) {
            drawer = drawerController->leftDrawerViewController();
            d = std::max(drawerController->maximumLeftDrawerWidth(),
                         drawerController->visibleLeftDrawerWidth());
            anchor = {1.0, 0.5};
            angle = percentVisible * halfTurn - halfTurn;
            xOffset = d * percentVisible - d / 2;
        } else {
            drawer = drawerController->rightDrawerViewController();
            d = std::max(drawerController->maximumRightDrawerWidth(),
                         drawerController->visibleRightDrawerWidth());
            anchor = {0.0, 0.5};
            angle = halfTurn - percentVisible * halfTurn;
            xOffset = d / 2 - d * percentVisible;
        }
        if (!drawer) return;
        CALayer& layer = drawer->view()->layer();
        layer.setAnchorPoint(anchor);
        layer.shouldRasterize = true;
        layer.rasterizationScale = UIScreen::mainScreen().scale();
        CATransform3D transform;
        if (percentVisible <= 1.0) {
            transform = CATransform3DIdentity;
            transform.m34 = -1.0 / kEyeDistance;
            transform = CATransform3DRotate(transform, angle, 0, 1, 0);
            transform = CATransform3DConcat(transform, CATransform3DMakeTranslation(xOffset, 0, 0));
        } else {
            transform = stretchTransform(percentVisible, side == DrawerSideLeft ? d / 2 : -d / 2);
        }
        layer.setTransform(transform);
    };
}

DrawerControllerDrawerVisualStateBlock
KAVDrawerVisualState::parallaxVisualStateBlockWithParallaxFactor(CGFloat parallaxFactor) {
    return [parallaxFactor](KAVDrawerController* drawerController, DrawerSide side,
                            CGFloat percentVisible) {
        UIViewControllerPtr drawer;
        CATransform3D transform = CATransform3DIdentity;
        if (side == DrawerSideLeft) {
            drawer = drawerController->leftDrawerViewController();
            const CGFloat width = drawerController->maximumLeftDrawerWidth();
            const CGFloat d = std::max(width, drawerController->visibleLeftDrawerWidth());
            transform = percentVisible <= 1.0
                            ? CATransform3DMakeTranslation(
                                  -d / parallaxFactor + d * percentVisible / parallaxFactor, 0, 0)
                            : stretchTransform(percentVisible, width * (percentVisible - 1) / 2);
        } else if (side == DrawerSideRight) {
            drawer = drawerController->rightDrawerViewController();
            const CGFloat width = drawerController->maximumRightDrawerWidth();
            const CGFloat d = std::max(width, drawerController->visibleRightDrawerWidth());
            transform = percentVisible <= 1.0
                            ? CATransform3DMakeTranslation(
                                  d / parallaxFactor - d * percentVisible / parallaxFactor, 0, 0)
                            : stretchTransform(percentVisible, -width * (percentVisible - 1) / 2);
        }
        if (drawer) drawer->view()->layer().setTransform(transform);
    };
}
