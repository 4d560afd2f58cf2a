#pragma once

#include "platform/ui/Switch.h"
#include "ui/toolkit/SettingCell.h"

// An on/off setting: on exactly when its value is "1"; each flip reports
// "1" or "0".
class CellSwitch : public SettingCell {
  public:
    CellSwitch(const std::string& title, int Tag, const std::string& Value);

    void onSwitchChange(platform::ui::UIControl* sender);
    platform::ui::UISwitch* switchView() const { return switch_.get(); }

    void layoutSubviews() override;

  private:
    void makeView();
    std::shared_ptr<platform::ui::UISwitch> switch_;
};
