#pragma once

#include <string>

#include "platform/ui/TableViewCell.h"

// What the settings screen hears from its cells. The cells call it whenever
// a delegate is set, so a delegate implements both.
class SettingDelegate {
  public:
    virtual ~SettingDelegate() = default;
    // The setting of `Tag` now has the text `value` ("1"/"0" for a switch,
    // whole seconds for a slider, the whole text of a text field).
    virtual void onValueChange(const std::string& value, int Tag) = 0;
    // The screen tells itself which row was tapped.
    virtual void onCellSelected(platform::ui::UITableViewCell* cell) = 0;
};
