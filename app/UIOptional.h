#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/SettingsScreen.h"
#include "app/modTableViewSection.h"

class sysDB;

// The system settings: screen lock, reconnect, time-out, one-tap orders,
// the default deviation and quantity, the shake action, the remembered
// account and the way to the password change, in three sections. Every
// change is stored at once and announced ("sys_4008"), so the session
// re-applies the time-out and the screen lock; closing confirms nothing.
// The account centre presents it in a navigation stack of its own; the
// editors it opens are pushed on that stack and report back here.
class UIOptional : public SettingsScreen {
  public:
    static constexpr const char* kCellIdentifier = "OPTIONAL_ITEM_CELL";
    static constexpr const char* kTitle = "系统设置";

    // Uses the settings store of the session it is handed (setContext).
    UIOptional();

    void makeView() override;
    void makeCell() override;
    platform::ui::UIViewPtr getHeadWithTitle(const std::string& title);
    std::shared_ptr<modTableViewSection> makeAccount();
    std::shared_ptr<modTableViewSection> makeTrader();
    std::shared_ptr<modTableViewSection> makeBase();
    void buttonPressed(platform::ui::UIControl* sender) override;
    // Stores the value of the tag, announces it, and shows it in the row of
    // the tag when that row shows a value.
    void onValueChange(const std::string& value, int Tag) override;
    // Opens the editor of the row, if it has one.
    void onCellSelected(platform::ui::UITableViewCell* cell) override;

    platform::ui::UIViewPtr tableViewViewForHeaderInSection(platform::ui::UITableView*,
                                                            long section) override;
    double tableViewHeightForHeaderInSection(platform::ui::UITableView*, long) override {
        return 40;
    }
    long numberOfSectionsInTableView(platform::ui::UITableView*) override;
    long tableViewNumberOfRowsInSection(platform::ui::UITableView*, long section) override;
    platform::ui::UITableViewCellPtr tableViewCellForRowAtIndexPath(
        platform::ui::UITableView* table, platform::ui::NSIndexPath indexPath) override;
    void tableViewDidSelectRowAtIndexPath(platform::ui::UITableView* table,
                                          platform::ui::NSIndexPath indexPath) override;

    // The caption of a shake value; values that name no action show "关闭".
    std::string shakeCaption(int32_t value) const;
    // The prebuilt cell of the setting's tag, or null.
    platform::ui::UITableViewCell* cellWithTag(long tag) const;
    const std::vector<std::shared_ptr<modTableViewSection>>& sections() const { return _sections; }
    const std::shared_ptr<sysDB>& store() const { return __sysDB; }

  private:
    std::string stored(int tag, const std::string& defaultValue) const;
    // The stored shake action as a number, read as the settings store reads one.
    int32_t storedShake() const;

    std::vector<std::shared_ptr<modTableViewSection>> _sections;
    std::array<std::string, 4> _shakeCaption;
    std::shared_ptr<sysDB> __sysDB;
};
