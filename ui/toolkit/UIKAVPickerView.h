#pragma once

#include <memory>

#include "platform/ui/PickerView.h"

// The picker wheel of the picker sheet, restyled for its dark ground: a dark
// translucent band 36 high across the middle behind the rows, and mid grey
// selection lines.
class UIKAVPickerView : public platform::ui::UIPickerView {
  public:
    static constexpr platform::ui::CGFloat kBandHeight = 36;

    explicit UIKAVPickerView(const platform::ui::CGRect& frame = platform::ui::CGRectZero);

    void layoutSubviews() override;
    platform::ui::UIView* band() const { return band_.get(); }

  private:
    platform::ui::UIViewPtr band_;
};
