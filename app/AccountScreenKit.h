#pragma once

// What the account, settings and notice screens share: their back button,
// the landscape check that keeps a turned phone from closing a screen by
// accident, the bundle's string lookup, the screens' navigation-bar look and
// the settings screens' table.

#include <functional>
#include <memory>
#include <string>

#include "platform/ui/Button.h"
#include "platform/ui/TableView.h"
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

// The frame of what fills `view` below the status and navigation bars.
platform::ui::CGRect belowBars(const platform::ui::UIView& view);

// Money as the account screens show it: two decimals, a figure that shows
// as zero without a sign ("0.00", never "-0.00": profits that cancel leave
// a tiny negative rest), and "--" for one that is no finite number.
std::string moneyText(double value);
// True when the value shows as zero with two decimals.
bool showsAsZero(double value);
// A number's text without the minus sign of a figure that shows as zero
// ("-0.00" and "-0%" read "0.00" and "0%").
std::string unsignedZero(std::string text);

// The settings screens' look: the black bar over the panel ground, the
// insets left alone (the table is placed below the bars by hand).
void dressSettingsScreen(platform::ui::UIViewController& screen);
// The settings screens' grouped table on the screen ground, its separators
// in the inputs' colour from edge to edge, added to `parent`; it asks
// `source` and `delegate`.
std::shared_ptr<platform::ui::UITableView> addSettingsTable(
    platform::ui::UIView& parent, std::weak_ptr<platform::ui::UITableViewDataSource> source,
    std::weak_ptr<platform::ui::UITableViewDelegate> delegate);

}  // namespace accountkit
