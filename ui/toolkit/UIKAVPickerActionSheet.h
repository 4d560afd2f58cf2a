#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/PickerView.h"
#include "platform/ui/View.h"
#include "ui/toolkit/UIKAVKBAccessorView.h"
#include "ui/toolkit/UIKAVPickerView.h"

// Told of every choice made on the wheel of a picker sheet.
class UIKAVPickerActionSheetDelegate {
  public:
    virtual ~UIKAVPickerActionSheetDelegate() = default;
    virtual void didSelectRow(int row, int inComponent, const std::string& string) = 0;
};

// A panel that slides up from the bottom of the screen: a close bar on top
// and a wheel of texts under it, column c row r showing [c][r] of the data.
// Order screens make one, add it to their view and call display() when the
// field it serves is tapped. Hidden, it waits below the screen; the close
// bar, dismiss() and every layout pass of the sheet put it away again.
class UIKAVPickerActionSheet : public platform::ui::UIView,
                               public platform::ui::UIPickerViewDataSource,
                               public platform::ui::UIPickerViewDelegate,
                               public keyboardToolBarDelegate {
  public:
    using CGFloat = platform::ui::CGFloat;
    using DataSource = std::vector<std::vector<std::string>>;

    static constexpr CGFloat kBarHeight = 25;
    static constexpr CGFloat kSheetHeight = 219;
    static constexpr CGFloat kRowHeight = 44;
    static constexpr CGFloat kRowFontSize = 20;
    // Below the bottom edge while waiting, and where dismiss() sends it.
    static constexpr CGFloat kWaitingOffset = 64;
    static constexpr CGFloat kDismissedOffset = 300;
    static constexpr double kAnimationDuration = 0.3;

    // The plain view, without bar or wheel.
    explicit UIKAVPickerActionSheet(const platform::ui::CGRect& frame = platform::ui::CGRectZero);
    // The sheet over the data, as wide as `frame`, out of sight below the screen.
    UIKAVPickerActionSheet(DataSource data, const platform::ui::CGRect& frame);

    std::weak_ptr<keyboardToolBarDelegate> tbDelegate;
    std::weak_ptr<UIKAVPickerActionSheetDelegate> delegate;

    const DataSource& arrayDataSource() const { return arrayDataSource_; }
    // Takes the data and reloads the wheel, so it never shows rows that are gone.
    void setArrayDataSource(DataSource data);

    void display();
    void dismiss();
    bool isDisplayed() const { return isDispay_; }
    // Selects the row when the column and the row exist; otherwise nothing.
    void selectRow(long row, long inComponent, bool animated);

    UIKAVPickerView* pickerView() const { return pickerView_.get(); }
    UIKAVKBAccessorView* toolBar() const { return toolBar_.get(); }

    // Closes the sheet: a layout pass means the view around it changed.
    void layoutSubviews() override;

    // keyboardToolBarDelegate: passed on to tbDelegate, then the sheet goes.
    void onToolBarPressed(platform::ui::UIButton* sender) override;

    // The wheel's data source and delegate.
    long numberOfComponentsInPickerView(platform::ui::UIPickerView* picker) override;
    long pickerViewNumberOfRowsInComponent(platform::ui::UIPickerView* picker,
                                           long component) override;
    std::string pickerViewTitleForRow(platform::ui::UIPickerView* picker, long row,
                                      long component) override;
    platform::ui::UIViewPtr pickerViewViewForRow(platform::ui::UIPickerView* picker, long row,
                                                 long component,
                                                 platform::ui::UIViewPtr reusing) override;
    void pickerViewDidSelectRow(platform::ui::UIPickerView* picker, long row,
                                long component) override;
    double pickerViewRowHeightForComponent(platform::ui::UIPickerView* picker,
                                           long component) override;

  private:
    void makeView();
    // The text at [component][row], or nothing outside the data.
    const std::string* textAt(long row, long component) const;

    std::shared_ptr<UIKAVPickerView> pickerView_;
    std::shared_ptr<UIKAVKBAccessorView> toolBar_;
    bool isDispay_ = false;
    DataSource arrayDataSource_;
};
