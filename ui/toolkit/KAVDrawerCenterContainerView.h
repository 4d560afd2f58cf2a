#pragma once

#include <cstdint>
#include <optional>

#include "platform/ui/NavigationController.h"
#include "platform/ui/View.h"

// Drawer sides: as a child selector, none names the centre. The numbers are
// the ones a screen's drawer buttons send and the restorable state keeps.
enum class DrawerSide : int32_t {
    None = 0,
    Left = 1,
    Right = 2,
};
inline constexpr DrawerSide DrawerSideNone = DrawerSide::None;
inline constexpr DrawerSide DrawerSideLeft = DrawerSide::Left;
inline constexpr DrawerSide DrawerSideRight = DrawerSide::Right;

constexpr int32_t drawerSideNumber(DrawerSide side) {
    return static_cast<int32_t>(side);
}

// The side a number names; none for any other number.
constexpr std::optional<DrawerSide> drawerSideFromNumber(int64_t number) {
    switch (number) {
        case drawerSideNumber(DrawerSide::None):
            return DrawerSide::None;
        case drawerSideNumber(DrawerSide::Left):
            return DrawerSide::Left;
        case drawerSideNumber(DrawerSide::Right):
            return DrawerSide::Right;
        default:
            return std::nullopt;
    }
}

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
