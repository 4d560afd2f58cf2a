#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/SettingsScreen.h"
#include "ui/toolkit/CellTextField.h"

// Edits one number setting (the default deviation or quantity) on the
// number pad. Every keystroke goes at once to the settings delegate under
// the setting's tag; there is nothing to confirm.
class UITextInput : public SettingsScreen {
  public:
    // The tag of the one row, whatever setting it edits.
    static constexpr int kTagRow = 2001;
    static constexpr const char* kCellIdentifier = "OPTIONAL_ITEM_CELL";

    // The setting `tag`, the screen's title, the row's caption and the text to start with.
    UITextInput(int tag, const std::string& title, const std::string& itemLabel,
                const std::string& value);

    void makeCell() override;
    void onValueChange(const std::string& value, int Tag) override;

    long tableViewNumberOfRowsInSection(platform::ui::UITableView*, long) override {
        return static_cast<long>(_cells.size());
    }
    platform::ui::UITableViewCellPtr tableViewCellForRowAtIndexPath(
        platform::ui::UITableView* table, platform::ui::NSIndexPath indexPath) override;

    int settingTag() const { return _tag; }
    CellTextField* cell() const { return _cells.empty() ? nullptr : _cells.front().get(); }

  private:
    std::vector<std::shared_ptr<CellTextField>> _cells;
    int _tag;
    std::string _itemLabel;
    std::string _value;
};
