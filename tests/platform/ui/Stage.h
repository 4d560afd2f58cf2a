#pragma once

#include <memory>

#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"

namespace uitest {

// A key, visible, screen-sized window on the virtual clock. On the way out it
// closes any keyboard and lets the animations end, so no timer outlives the
// test.
struct Stage {
    kavtest::VirtualTime time;
    std::shared_ptr<platform::ui::UIWindow> window =
        std::make_shared<platform::ui::UIWindow>(platform::ui::UIScreen::mainScreen().bounds());
    Stage() { window->makeKeyAndVisible(); }
    ~Stage() {
        window->endEditing(true);
        time.advance(1);
    }
};

}  // namespace uitest
