#pragma once

// What the account, settings and notice screens share: their back button,
// the landscape check that keeps a turned phone from closing a screen by
// accident, the bundle's string lookup and the screens' navigation-bar look.

#include <functional>
#include <memory>
#include <string>

#include "platform/ui/Button.h"
#include "platform/ui/ViewController.h"

namespace accountkit {

// The status bar and the navigation bar above a screen that lies under them.
inline constexpr double kBarsHeight = 64;
inline constexpr double kBackButtonSize = 24;

// The 24 x 24 back button ("nav_backicon" in grey 160) as the screen's left
// bar button: the custom view of the item already there, else of a new one.
// `action` gets the button on touch-up-inside.
std::shared_ptr<platform::ui::UIButton> setupBackButton(
    platform::ui::UIViewController& screen, long tag,
    std::function<void(platform::ui::UIControl*)> action);

// True while the device is held on its side (orientation 3 or 4).
bool isDeviceLandscape();

// The text through the main bundle's string table (the text itself when the
// bundle does not translate it).
std::string localized(const std::string& text);

// The black bar style on the screen's navigation controller, when it has one.
void useBlackNavigationBar(platform::ui::UIViewController& screen);

}  // namespace accountkit
