#include "ui/toolkit/UIKAVTextField.h"

#include <algorithm>

using namespace platform::ui;

UIKAVTextField::UIKAVTextField(const CGRect& frame, int32_t Margin)
    : UITextField(frame), margin_(Margin) {}

void UIKAVTextField::setMargin(int32_t margin) {
    if (margin == margin_) return;
    margin_ = margin;
    setNeedsDisplay();
}

CGRect UIKAVTextField::textRectForBounds(const CGRect& bounds) const {
    CGRect r = CGRectMake(bounds.origin.x + margin_, bounds.origin.y,
                          std::max(0.0, bounds.size.width - margin_), bounds.size.height);
    // The text stops short of the clear button instead of running under it.
    if (clearButtonShown())
        r.size.width = std::max(0.0, clearButtonRectForBounds(bounds).origin.x - 4 - r.origin.x);
    return r;
}

CGRect UIKAVTextField::editingRectForBounds(const CGRect& bounds) const {
    return textRectForBounds(bounds);
}
