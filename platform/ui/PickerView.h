#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace platform::ui {

class UIPickerView;

class UIPickerViewDataSource {
  public:
    virtual ~UIPickerViewDataSource() = default;
    virtual long numberOfComponentsInPickerView(UIPickerView* picker) = 0;
    virtual long pickerViewNumberOfRowsInComponent(UIPickerView* picker, long component) = 0;
};

// Every method is optional. A row shows the view from viewForRow (which may
// reuse the view handed in), else a label with titleForRow.
class UIPickerViewDelegate {
  public:
    virtual ~UIPickerViewDelegate() = default;
    virtual std::string pickerViewTitleForRow(UIPickerView*, long row, long component) {
        (void)row, (void)component;
        return {};
    }
    virtual UIViewPtr pickerViewViewForRow(UIPickerView*, long row, long component,
                                           UIViewPtr reusing) {
        (void)row, (void)component, (void)reusing;
        return nullptr;
    }
    virtual void pickerViewDidSelectRow(UIPickerView*, long row, long component) {
        (void)row, (void)component;
    }
    virtual double pickerViewRowHeightForComponent(UIPickerView*, long) { return 44; }
    // 0: the components share the width equally.
    virtual double pickerViewWidthForComponent(UIPickerView*, long) { return 0; }
};

// Wheels of rows, one per component, the selected row of each in the middle
// band. Dragging a wheel and letting go selects the row that stops in the
// band; tapping a row selects it; both report didSelectRow. selectRow in code
// reports nothing. subviews()[0] holds the wheels; subviews()[1] and [2] are
// the two selection lines (restyled by screens that want another look).
class UIPickerView : public UIView {
  public:
    explicit UIPickerView(const CGRect& frame = CGRectZero);
    ~UIPickerView() override;

    std::weak_ptr<UIPickerViewDataSource> dataSource;
    std::weak_ptr<UIPickerViewDelegate> delegate;
    bool showsSelectionIndicator = true;

    long numberOfComponents() const;
    long numberOfRowsInComponent(long component) const;
    void selectRow(long row, long component, bool animated);
    long selectedRowInComponent(long component) const;
    void reloadAllComponents();
    void reloadComponent(long component);
    // The view shown for a row, when it is on screen.
    UIView* viewForRow(long row, long component) const;
    double rowHeightForComponent(long component) const;

    void layoutSubviews() override;
    static constexpr double kStandardHeight = 216;

    class Wheel;

  private:
    void rebuild();
    UIViewPtr wheels_;
    UIViewPtr topLine_, bottomLine_;
    std::vector<std::shared_ptr<Wheel>> columns_;
};

}  // namespace platform::ui
