#pragma once

#include "platform/ui/NavigationController.h"

// The navigation stack of the screens: dark grey behind its screens, never
// rotating.
class BaseNavigationController : public platform::ui::UINavigationController {
  public:
    using UINavigationController::UINavigationController;
    void viewDidLoad() override;
    bool shouldAutorotate() const override { return false; }
};
