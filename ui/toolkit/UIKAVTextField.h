#pragma once

#include <cstdint>

#include "platform/ui/TextField.h"

// A text field whose text starts `margin` points in from its left edge, so
// text never touches the border the input rows draw around it.
class UIKAVTextField : public platform::ui::UITextField {
  public:
    explicit UIKAVTextField(const platform::ui::CGRect& frame = platform::ui::CGRectZero,
                            int32_t Margin = 0);

    int32_t margin() const { return margin_; }
    void setMargin(int32_t margin);

    // The bounds moved right by the margin and narrowed by it, editing or not.
    platform::ui::CGRect textRectForBounds(const platform::ui::CGRect& bounds) const override;
    platform::ui::CGRect editingRectForBounds(const platform::ui::CGRect& bounds) const override;

  private:
    int32_t margin_ = 0;
};
