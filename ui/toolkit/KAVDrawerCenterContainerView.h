#pragma once

#include <cstdint>

#include "platform/ui/NavigationController.h"
#include "platform/ui/View.h"

// Drawer sides: as a child selector, none names the centre.
enum DrawerSide : int32_t {
    DrawerSideNone = 0,
    DrawerSideLeft = 1,
    DrawerSideRight = 2,
};

// What the centre accepts while a drawer is open.
enum CenterInteractionMode : int32_t {
    CenterInteractionNone = 0,
    CenterInteractionFull = 1,
    CenterInteractionNavigationBarOnly = 2,
};

// The view that holds the centre's view and moves aside to uncover a drawer.
// While a drawer is open it lets touches reach the centre only as its
// interaction mode allows.
class KAVDrawerCenterContainerView : public platform::ui::UIView {
  public:
    using UIView::UIView;

    // Copies of the container's values, kept in step by the container.
    DrawerSide openSide = DrawerSideNone;
    CenterInteractionMode centerInteractionMode = CenterInteractionNavigationBarOnly;

    platform::ui::UIView* hitTest(platform::ui::CGPoint point,
                                  platform::ui::UIEvent* event) override;
    // The first navigation bar with at least one subview, depth first from
    // `view`; null when there is none.
    static platform::ui::UINavigationBar* navigationBarContainedWithinSubviewsOfView(
        platform::ui::UIView* view);
};
