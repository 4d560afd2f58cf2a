#pragma once

#include <memory>

#include "platform/ui/Control.h"
#include "platform/ui/TableView.h"
#include "ui/toolkit/BaseViewController.h"
#include "ui/toolkit/SettingDelegate.h"

// A settings screen: the grouped settings table below the bars, the back
// button on the left reporting to `buttonPressed`, rows of 45 points made
// once by `makeCell` and kept (they keep what was typed), and the settings
// delegate its rows report to. The system settings and the editors it
// pushes (shake action, number setting, password change) tell only what
// their rows are and what their buttons do.
class SettingsScreen : public BaseViewController,
                       public platform::ui::UITableViewDataSource,
                       public platform::ui::UITableViewDelegate,
                       public SettingDelegate {
  public:
    static constexpr long kTagBack = 1001;

    // The base screen's, then the view.
    void viewDidLoad() override;
    // The table fills the view below the bars.
    void viewDidLayoutSubviews() override;

    // The look, the bar buttons and the table, then the rows.
    virtual void makeView();
    void setupLeftMenuButton();
    void setupRightMenuButton() override {}
    virtual void makeCell() = 0;
    // The back button: an editor goes back to the system settings, unless the
    // phone is on its side (a turned phone must not close it by accident).
    virtual void buttonPressed(platform::ui::UIControl* sender);
    void onCellSelected(platform::ui::UITableViewCell*) override {}

    double tableViewHeightForRowAtIndexPath(platform::ui::UITableView*,
                                            platform::ui::NSIndexPath) override {
        return 45;
    }

    // The screen that hears an edited value (the system settings, for the
    // editors it pushes).
    std::shared_ptr<SettingDelegate> settingDelegate() const { return settingDelegate_.lock(); }
    void setSettingDelegate(std::weak_ptr<SettingDelegate> d) { settingDelegate_ = std::move(d); }
    platform::ui::UITableView* list() const { return _list.get(); }

  protected:
    std::shared_ptr<platform::ui::UITableView> _list;

  private:
    std::weak_ptr<SettingDelegate> settingDelegate_;
};
