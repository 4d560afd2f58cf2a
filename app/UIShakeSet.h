#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/SettingsScreen.h"
#include "ui/toolkit/CellSwitch.h"

class sysDB;

// The shake action: a switch, and while it is on the three screens a shake
// may open, the chosen one marked. Every change goes at once to the settings
// delegate as the shake setting ("0" off, "1" to "3" the screen).
class UIShakeSet : public SettingsScreen {
  public:
    static constexpr const char* kCellIdentifier = "OPTIONAL_SHAKE_CELL";
    static constexpr const char* kTitle = "摇一摇设置";
    static constexpr long kSectionChoices = 1;

    // `value`: the stored shake setting; empty counts as "0". Makes its own
    // settings store (which loads the settings).
    UIShakeSet(int tag, const std::string& value);

    void makeView() override;
    void makeCell() override;
    // The switch: on shows the choices (the action stays as it was), off
    // hides them and turns the action off; either way the delegate hears the
    // action.
    void onValueChange(const std::string& value, int Tag) override;

    long numberOfSectionsInTableView(platform::ui::UITableView*) override {
        return static_cast<long>(_sections.size());
    }
    long tableViewNumberOfRowsInSection(platform::ui::UITableView*, long section) override;
    platform::ui::UITableViewCellPtr tableViewCellForRowAtIndexPath(
        platform::ui::UITableView* table, platform::ui::NSIndexPath indexPath) override;
    // A choice marks its row and becomes the action.
    void tableViewDidSelectRowAtIndexPath(platform::ui::UITableView* table,
                                          platform::ui::NSIndexPath indexPath) override;

    const std::string& value() const { return _value; }
    CellSwitch* switchCell() const;
    // The choice cells (tags 1 to 3) while shown, else none.
    std::vector<platform::ui::UITableViewCell*> choiceCells() const;

  private:
    std::vector<platform::ui::UITableViewCellPtr> makeChoices();
    void reportValue();

    std::vector<std::vector<platform::ui::UITableViewCellPtr>> _sections;
    int _tag;
    std::string _value;
    std::shared_ptr<sysDB> __sysDB;
};
