#include "platform/ui/Screen.h"

namespace platform::ui {

UIScreen& UIScreen::mainScreen() {
    static UIScreen screen;
    return screen;
}

}  // namespace platform::ui
