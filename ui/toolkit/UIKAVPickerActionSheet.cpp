#include "ui/toolkit/UIKAVPickerActionSheet.h"

#include <algorithm>

#include "platform/ui/Device.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "ui/services/sysDB.h"
#include "ui/toolkit/UIViewAdditions.h"

using namespace platform::ui;

UIKAVPickerActionSheet::UIKAVPickerActionSheet(const CGRect& frame) : UIView(frame) {}

UIKAVPickerActionSheet::UIKAVPickerActionSheet(DataSource data, const CGRect& frame)
    : UIView(frame), arrayDataSource_(std::move(data)) {
    const CGFloat screenHeight = UIScreen::mainScreen().bounds().size.height;
    setFrame(CGRectMake(0, screenHeight + kWaitingOffset, frame.size.width, kSheetHeight));
    makeView();
}

void UIKAVPickerActionSheet::makeView() {
    setBackgroundColor(UIColor::clearColor());
    const CGFloat width = bounds().size.width;

    toolBar_ = std::make_shared<UIKAVKBAccessorView>(CGRectMake(0, 0, width, kBarHeight));
    toolBar_->delegate = weakSelf<keyboardToolBarDelegate>();
    addSubview(toolBar_);

    // The wheel fills the sheet under the bar: the picker's standard height
    // would reach below the sheet, and its last row below the screen.
    pickerView_ = std::make_shared<UIKAVPickerView>(
        CGRectMake(0, CGRectGetMaxY(toolBar_->frame()), width, kSheetHeight - kBarHeight));
    pickerView_->dataSource = weakSelf<UIPickerViewDataSource>();
    pickerView_->delegate = weakSelf<UIPickerViewDelegate>();
    pickerView_->showsSelectionIndicator = true;
    pickerView_->setBackgroundColor(UIColor::rgb255(40, 40, 40, 0.1));
    pickerView_->setHidden(true);
    addSubview(pickerView_);

    auto backing = std::make_shared<UIView>(
        CGRectMake(0, CGRectGetMaxY(toolBar_->frame()), width, kSheetHeight - kBarHeight));
    // Opaque: what lies under the sheet (the chart) must not show through
    // its rows.
    backing->setBackgroundColor(UIColor::rgb255(10, 10, 10));
    insertSubviewAtIndex(backing, 0);
}

void UIKAVPickerActionSheet::setArrayDataSource(DataSource data) {
    arrayDataSource_ = std::move(data);
    if (pickerView_) pickerView_->reloadAllComponents();
}

void UIKAVPickerActionSheet::display() {
    if (isDispay_) return;
    if (pickerView_) pickerView_->setHidden(false);
    const CGSize screen = UIScreen::mainScreen().bounds().size;
    const bool landscape = UIDeviceOrientationIsLandscape(UIDevice::currentDevice().orientation());
    const CGFloat width = bounds().size.width;
    // The bottom of the view that holds it: after the interface has turned
    // that view is wider than high, while the screen keeps its upright size.
    const CGSize area = superviewRaw() ? superviewRaw()->bounds().size : screen;
    CGFloat top = area.height - kSheetHeight;
    CGFloat left = landscape ? (area.width - width) / 2 : 0;
    if (landscape && sysDB::isIPhone4()) {
        // Never lower than the bottom of the area: the whole wheel shows.
        top = std::min(screen.width / 2 - 40, area.height - kSheetHeight);
        left = (screen.height - width) / 2;
    }
    UIViewAdditions::setLeft(*this, left);
    std::weak_ptr<UIKAVPickerActionSheet> weak = weakSelf<UIKAVPickerActionSheet>();
    UIView::animateWithDuration(kAnimationDuration, [weak, top] {
        if (auto self = weak.lock()) UIViewAdditions::setTop(*self, top);
    });
    isDispay_ = true;
}

void UIKAVPickerActionSheet::dismiss() {
    if (!isDispay_) return;
    const CGFloat target = UIScreen::mainScreen().bounds().size.height + kDismissedOffset;
    std::weak_ptr<UIKAVPickerActionSheet> weak = weakSelf<UIKAVPickerActionSheet>();
    UIView::animateWithDuration(kAnimationDuration, [weak, target] {
        auto self = weak.lock();
        if (!self) return;
        UIViewAdditions::setTop(*self, target);
        if (self->pickerView_) self->pickerView_->setHidden(true);
    });
    isDispay_ = false;
}

void UIKAVPickerActionSheet::layoutSubviews() {
    dismiss();
}

void UIKAVPickerActionSheet::onToolBarPressed(UIButton* sender) {
    if (auto d = tbDelegate.lock()) d->onToolBarPressed(sender);
    dismiss();
}

void UIKAVPickerActionSheet::selectRow(long row, long inComponent, bool animated) {
    if (!pickerView_ || !textAt(row, inComponent)) return;
    pickerView_->selectRow(row, inComponent, animated);
}

const std::string* UIKAVPickerActionSheet::textAt(long row, long component) const {
    if (component < 0 || component >= static_cast<long>(arrayDataSource_.size())) return nullptr;
    const auto& column = arrayDataSource_[static_cast<size_t>(component)];
    if (row < 0 || row >= static_cast<long>(column.size())) return nullptr;
    return &column[static_cast<size_t>(row)];
}

long UIKAVPickerActionSheet::numberOfComponentsInPickerView(UIPickerView*) {
    return static_cast<long>(arrayDataSource_.size());
}

long UIKAVPickerActionSheet::pickerViewNumberOfRowsInComponent(UIPickerView*, long component) {
    if (component < 0 || component >= static_cast<long>(arrayDataSource_.size())) return 0;
    return static_cast<long>(arrayDataSource_[static_cast<size_t>(component)].size());
}

std::string UIKAVPickerActionSheet::pickerViewTitleForRow(UIPickerView*, long row, long component) {
    const std::string* text = textAt(row, component);
    return text ? *text : std::string();
}

UIViewPtr UIKAVPickerActionSheet::pickerViewViewForRow(UIPickerView* picker, long row,
                                                       long component, UIViewPtr reusing) {
    auto label = std::dynamic_pointer_cast<UILabel>(reusing);
    if (!label) {
        const CGFloat width = picker ? picker->bounds().size.width : bounds().size.width;
        label = std::make_shared<UILabel>(CGRectMake(0, 0, width, kRowHeight));
        label->setTextAlignment(NSTextAlignment::Center);
        label->setFont(UIFont::systemFontOfSize(kRowFontSize));
        label->setBackgroundColor(UIColor::clearColor());
        label->setTextColor(UIColor::whiteColor());
    }
    const std::string* text = textAt(row, component);
    label->setText(text ? *text : std::string());
    return label;
}

void UIKAVPickerActionSheet::pickerViewDidSelectRow(UIPickerView*, long row, long component) {
    const std::string* text = textAt(row, component);
    if (!text) return;
    // A copy: the receiver may replace the data while it handles the choice.
    const std::string chosen = *text;
    if (auto d = delegate.lock())
        d->didSelectRow(static_cast<int>(row), static_cast<int>(component), chosen);
}

double UIKAVPickerActionSheet::pickerViewRowHeightForComponent(UIPickerView*, long) {
    return kRowHeight;
}
