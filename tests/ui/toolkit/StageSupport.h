#pragma once

// What every screen test's stage shares, whatever it puts on the screen:
// the folder the PNGs go to and the clean-up of the alerts a test left open.

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/ui/Image.h"
#include "tests/support/TestSupport.h"
#include "ui/toolkit/KAVAlertView.h"
#include "ui/toolkit/KAVAlertViewStack.h"

namespace kavtest {

// The folder $KAV_SCREENSHOTS names, made when missing; empty when it is
// not set.
inline std::filesystem::path screenshotFolder() {
    const char* dir = std::getenv("KAV_SCREENSHOTS");
    if (!dir || !*dir) return {};
    std::filesystem::create_directories(dir);
    return dir;
}

// Writes the image as NAME.png into $KAV_SCREENSHOTS when that is set.
inline void writeScreenshot(const platform::ui::UIImagePtr& image, const std::string& name) {
    const auto folder = screenshotFolder();
    if (folder.empty() || !image) return;
    platform::ui::UIImageWritePNG(image, folder / (name + ".png"));
}

// Closes the alerts still shown, the top one first, each with its first
// button and its animation run out, so that none reaches into the next test.
// One that will not close (no button, or already fading) is taken off the
// stack all the same, and the rounds are counted, so this always ends, even
// when each answer brings up another alert.
inline void dismissAlerts(VirtualTime& time) {
    auto& stack = KAVAlertViewStack::sharedInstance();
    for (int round = 0; round < 100 && !stack.alertViews().empty(); ++round) {
        auto top = stack.alertViews().back();
        top->dismissWithClickedButtonIndex(0, false);
        time.advance(0.5);
        if (!stack.alertViews().empty() && stack.alertViews().back() == top) {
            top->hide();
            stack.pop(top.get());
        }
    }
}

}  // namespace kavtest
