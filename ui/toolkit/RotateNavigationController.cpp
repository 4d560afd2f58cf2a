#include "ui/toolkit/RotateNavigationController.h"

bool RotateNavigationController::shouldAutorotate() const {
    const auto* top = topViewController();
    return top && top->shouldAutorotate();
}
