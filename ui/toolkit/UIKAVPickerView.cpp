#include "ui/toolkit/UIKAVPickerView.h"

#include "ui/toolkit/KAVTheme.h"

using namespace platform::ui;

UIKAVPickerView::UIKAVPickerView(const CGRect& frame) : UIPickerView(frame) {}

void UIKAVPickerView::layoutSubviews() {
    UIPickerView::layoutSubviews();
    const auto& parts = subviews();
    if (parts.size() < 3) return;
    const CGRect b = bounds();
    if (!band_) {
        // Behind the wheels, at the bottom of the view that holds them.
        band_ = std::make_shared<UIView>();
        band_->setBackgroundColor(UIColor::rgb255(20, 20, 20, 0.5));
        band_->setUserInteractionEnabled(false);
        parts[0]->insertSubviewAtIndex(band_, 0);
        parts[1]->setBackgroundColor(kavtheme::dimText());
        parts[2]->setBackgroundColor(kavtheme::dimText());
    }
    band_->setFrame(CGRectMake(0, b.size.height / 2 - kBandHeight / 2, b.size.width, kBandHeight));
}
