#pragma once

#include "platform/ui/Label.h"
#include "ui/toolkit/SettingCell.h"

// A setting shown as a title with its value and a disclosure arrow; the
// settings screen opens the setting's own screen when it is tapped, so the
// cell itself reports nothing.
class CellDetail : public SettingCell {
  public:
    static constexpr platform::ui::CGFloat kValueWidth = 140;
    static constexpr platform::ui::CGFloat kValueHeight = 20;
    // The least room between the caption's text and a long value.
    static constexpr platform::ui::CGFloat kGapAfterTitle = 8;

    CellDetail(const std::string& title, int Tag, const std::string& Value);

    // Shows the text and keeps it as the cell's value.
    void setValue(const std::string& text);
    platform::ui::UILabel* valueLabel() const { return valueLabel_.get(); }

    void layoutSubviews() override;

  private:
    void makeView();
    std::shared_ptr<platform::ui::UILabel> valueLabel_;
};
