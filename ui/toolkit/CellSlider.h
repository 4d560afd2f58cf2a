#pragma once

#include <cstdint>

#include "platform/ui/Label.h"
#include "platform/ui/Slider.h"
#include "ui/toolkit/SettingCell.h"

// A whole number of seconds between a minimum and a maximum, chosen on a
// slider; the label shows it ("10 秒") and every change of the slider is
// reported, rounded to whole seconds.
class CellSlider : public SettingCell {
  public:
    CellSlider(const std::string& title, int Tag, const std::string& Value, int32_t MinValue,
               int32_t MaxValue);

    void onSliderChange(platform::ui::UIControl* sender);

    platform::ui::UILabel* valueLabel() const { return valueLabel_.get(); }
    platform::ui::UISlider* slider() const { return slider_.get(); }

    void layoutSubviews() override;

  private:
    void makeView();
    int32_t minValue_;
    int32_t maxValue_;
    std::shared_ptr<platform::ui::UILabel> valueLabel_;
    std::shared_ptr<platform::ui::UISlider> slider_;
};
