#include "ui/toolkit/KAVDrawerCenterContainerView.h"

using namespace platform::ui;

UIView* KAVDrawerCenterContainerView::hitTest(CGPoint point, UIEvent* event) {
    UIView* hit = UIView::hitTest(point, event);
    if (!hit || openSide == DrawerSideNone) return hit;
    CGRect navigationBarRect = CGRectNull;
    if (UINavigationBar* bar = navigationBarContainedWithinSubviewsOfView(this))
        navigationBarRect = bar->convertRectToView(bar->bounds(), this);
    if (centerInteractionMode == CenterInteractionNavigationBarOnly &&
        !CGRectContainsPoint(navigationBarRect, point))
        return nullptr;
    if (centerInteractionMode == CenterInteractionNone) return nullptr;
    return hit;
}

UINavigationBar* KAVDrawerCenterContainerView::navigationBarContainedWithinSubviewsOfView(
    UIView* view) {
    for (const auto& sub : view->subviews()) {
        if (auto* bar = dynamic_cast<UINavigationBar*>(sub.get()); bar && !bar->subviews().empty())
            return bar;
        if (auto* inner = navigationBarContainedWithinSubviewsOfView(sub.get())) return inner;
    }
    return nullptr;
}
