#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Control.h"
#include "platform/ui/TableView.h"
#include "ui/toolkit/BaseViewController.h"
#include "ui/toolkit/CellTextField.h"
#include "ui/toolkit/SettingDelegate.h"

// Edits one number setting (the default deviation or quantity) on the
// number pad. Every keystroke goes at once to the settings delegate under
// the setting's tag; there is nothing to confirm.
class UITextInput : public BaseViewController,
                    public platform::ui::UITableViewDataSource,
                    public platform::ui::UITableViewDelegate,
                    public SettingDelegate {
  public:
    static constexpr long kTagBack = 1001;
    // The tag of the one row, whatever setting it edits.
    static constexpr int kTagRow = 2001;
    static constexpr const char* kCellIdentifier = "OPTIONAL_ITEM_CELL";

    // The setting `tag`, the screen's title, the row's caption and the text to start with.
    UITextInput(int tag, const std::string& title, const std::string& itemLabel,
                const std::string& value);

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    void makeView();
    void setupLeftMenuButton();
    void setupRightMenuButton() {}
    void makeCell();
    void onValueChange(const std::string& value, int Tag) override;
    void onCellSelected(platform::ui::UITableViewCell*) override {}
    void buttonPressed(platform::ui::UIControl* sender);

    long numberOfSectionsInTableView(platform::ui::UITableView*) override { return 1; }
    long tableViewNumberOfRowsInSection(platform::ui::UITableView*, long) override {
        return static_cast<long>(_cells.size());
    }
    platform::ui::UITableViewCellPtr tableViewCellForRowAtIndexPath(
        platform::ui::UITableView* table, platform::ui::NSIndexPath indexPath) override;
    double tableViewHeightForRowAtIndexPath(platform::ui::UITableView*,
                                            platform::ui::NSIndexPath) override {
        return 45;
    }
    void tableViewDidSelectRowAtIndexPath(platform::ui::UITableView*,
                                          platform::ui::NSIndexPath) override {}

    std::shared_ptr<SettingDelegate> settingDelegate() const { return settingDelegate_.lock(); }
    void setSettingDelegate(std::weak_ptr<SettingDelegate> d) { settingDelegate_ = std::move(d); }
    int settingTag() const { return _tag; }
    CellTextField* cell() const { return _cells.empty() ? nullptr : _cells.front().get(); }

  private:
    std::shared_ptr<platform::ui::UITableView> _list;
    std::vector<std::shared_ptr<CellTextField>> _cells;
    int _tag;
    std::string _itemLabel;
    std::string _value;
    std::weak_ptr<SettingDelegate> settingDelegate_;
};
