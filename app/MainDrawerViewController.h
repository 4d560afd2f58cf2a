#pragma once

#include "platform/ui/ViewController.h"

// The root screen of a logged-in session. For now it holds only what the
// session shell needs of it: the screen a shake asks for.
class MainDrawerViewController : public platform::ui::UIViewController {
  public:
    void viewDidLoad() override;
    bool shouldAutorotate() const override { return false; }

    // The shake action's value: 1 the quotation board, 2 the account
    // information, 3 the pending orders; any other value names a menu row.
    void pushViewWith(long value);
    // The screen type last asked for (0 quotation board ... 6 bulletins).
    long currentNavigationControllerType = 0;
};
