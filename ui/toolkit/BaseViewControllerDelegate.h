#pragma once

#include <any>
#include <cstdint>

// What a screen asks of the screen that holds it in the drawer: show the
// screen of a menu type, or toggle a side drawer. Senders call both methods
// whenever a delegate is set, so an adopter implements both.
class BaseViewControllerDelegate {
  public:
    virtual ~BaseViewControllerDelegate() = default;
    // Shows the screen of the menu type (the side menu sends an empty userInfo).
    virtual void onCallNavigationControllerWithType(int32_t type, const std::any& userInfo) = 0;
    // Toggles a side drawer: 1 left, 2 right.
    virtual void onCallToggleDrawerSide(int32_t side) = 0;
};
