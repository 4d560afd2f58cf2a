#pragma once

#include "ui/toolkit/BaseNavigationController.h"

// A navigation stack that rotates when its top screen does (the market-order
// screen's landscape chart).
class RotateNavigationController : public BaseNavigationController {
  public:
    using BaseNavigationController::BaseNavigationController;
    bool shouldAutorotate() const override;
};
