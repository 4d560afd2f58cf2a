#include "ui/toolkit/BaseNavigationController.h"

using namespace platform::ui;

void BaseNavigationController::viewDidLoad() {
    UINavigationController::viewDidLoad();
    view()->setBackgroundColor(UIColor::grey255(30));
}
