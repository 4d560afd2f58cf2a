#pragma once

#include <memory>
#include <string>

#include "platform/ui/TableViewCell.h"
#include "ui/toolkit/SettingDelegate.h"

// What the settings cells share: the dark row with the title in the standard
// text label in mid grey, the setting's tag as the cell's tag, its current
// text in Value, and the delegate the changes go to. The settings screen
// makes each cell once and keeps it; the table does not reuse them.
class SettingCell : public platform::ui::UITableViewCell {
  public:
    static constexpr long kTagValue = 1001;

    const std::string& Title() const { return Title_; }
    void setTitle(const std::string& title);
    const std::string& Value() const { return Value_; }

    std::weak_ptr<SettingDelegate> delegate;

  protected:
    SettingCell(const std::string& title, int tag, const std::string& value);
    // Reports the text of the setting to the delegate, when one is set.
    void report(const std::string& value);

    std::string Title_;
    std::string Value_;
};
