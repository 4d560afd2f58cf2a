#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/SegmentedControl.h"
#include "platform/ui/Toolbar.h"
#include "platform/ui/View.h"

class KAVKeyboardControls;

// What a form hears from its keyboard bar. Both are optional: the default
// does nothing.
class KAVKeyboardControlsDelegate {
  public:
    virtual ~KAVKeyboardControlsDelegate() = default;
    // The bar made `field` active; direction 0 is previous, 1 next.
    virtual void keyboardControls(KAVKeyboardControls* controls, platform::ui::UIView* field,
                                  int32_t direction) {
        (void)controls, (void)field, (void)direction;
    }
    virtual void keyboardControlsDonePressed(KAVKeyboardControls* controls) { (void)controls; }
};

// Bits of visibleControls.
enum KAVKeyboardControl : int32_t {
    KAVKeyboardControlPreviousNext = 1 << 0,
    KAVKeyboardControlDone = 1 << 1,
};

enum KAVKeyboardControlsDirection : int32_t {
    KAVKeyboardControlsDirectionPrevious = 0,
    KAVKeyboardControlsDirectionNext = 1,
};

// The bar on top of the keyboard in the application's forms: arrows to step
// to the previous or next field of an ordered list, and a Done button. It
// puts itself above the keyboard of every text field of the list, follows
// the field the form makes active, enables the arrows by that field's place
// in the list, and tells its delegate what happened. It neither resigns the
// field nor hides on Done: the form decides.
class KAVKeyboardControls : public platform::ui::UIView {
  public:
    using UIColor = platform::ui::UIColor;
    using UIViewPtr = platform::ui::UIViewPtr;
    using UIBarButtonItemPtr = platform::ui::UIBarButtonItemPtr;

    static constexpr platform::ui::CGFloat kBarHeight = 44.0;
    static constexpr platform::ui::CGFloat kArrowSpacing = 22.0;

    // Makes the bar over the fields (none for an empty list).
    static std::shared_ptr<KAVKeyboardControls> initWithFields(
        const std::vector<UIViewPtr>& fields = {});

    // Use initWithFields; public for std::make_shared.
    KAVKeyboardControls();
    ~KAVKeyboardControls() override;

    std::weak_ptr<KAVKeyboardControlsDelegate> delegate;

    int32_t visibleControls() const { return visibleControls_; }
    void setVisibleControls(int32_t mask);
    // The fields of the list that still exist, in stepping order.
    std::vector<UIViewPtr> fields() const;
    void setFields(const std::vector<UIViewPtr>& fields);
    platform::ui::UIView* activeField() const { return activeField_.lock().get(); }
    void setActiveField(platform::ui::UIView* field);

    int32_t barStyle() const { return barStyle_; }
    void setBarStyle(int32_t style);
    std::optional<UIColor> barTintColor() const { return barTintColor_; }
    void setBarTintColor(std::optional<UIColor> color);
    std::optional<UIColor> segmentedControlTintControl() const { return segmentedTint_; }
    void setSegmentedControlTintControl(std::optional<UIColor> color);
    std::optional<std::string> previousTitle() const { return previousTitle_; }
    void setPreviousTitle(const std::string& title);
    std::optional<std::string> nextTitle() const { return nextTitle_; }
    void setNextTitle(const std::string& title);
    std::optional<std::string> doneTitle() const { return doneTitle_; }
    void setDoneTitle(const std::string& title);
    std::optional<UIColor> doneTintColor() const { return doneTint_; }
    void setDoneTintColor(std::optional<UIColor> color);

    platform::ui::UIToolbar* toolbar() const { return toolbar_.get(); }
    // The two-segment control of older systems; none on this platform, where
    // the arrows serve.
    platform::ui::UISegmentedControl* segmentedControl() const { return segmentedControl_.get(); }
    platform::ui::UIBarButtonItem* leftArrowButton() const { return leftArrowButton_.get(); }
    platform::ui::UIBarButtonItem* rightArrowButton() const { return rightArrowButton_.get(); }
    platform::ui::UIBarButtonItem* doneButton() const { return doneButton_.get(); }
    platform::ui::UIBarButtonItem* segmentedControlItem() const {
        return segmentedControlItem_.get();
    }

    // The system's input click may sound while the bar is shown.
    bool enableInputClicksWhenVisible() const { return true; }

    // Target actions.
    void selectPreviousField();
    void selectNextField();
    void segmentedControlValueChanged(platform::ui::UISegmentedControl* sender);
    void doneButtonPressed(platform::ui::UIBarButtonItem* sender);

  private:
    void build(const std::vector<UIViewPtr>& fields);
    void updatePrevoidNextEnabledStates();
    void tintArrows();
    std::vector<UIBarButtonItemPtr> toolbarItems();
    // The place of the active field in the list, or -1.
    long activeIndex() const;
    void step(long to, int32_t direction);

    int32_t visibleControls_ = 0;
    // Held weakly: each text field holds the bar as its accessory view, and
    // the form's view tree holds the fields.
    std::vector<std::weak_ptr<platform::ui::UIView>> fields_;
    std::weak_ptr<platform::ui::UIView> activeField_;
    int32_t barStyle_ = 0;
    std::optional<UIColor> barTintColor_;
    std::optional<UIColor> segmentedTint_;
    std::optional<std::string> previousTitle_;
    std::optional<std::string> nextTitle_;
    std::optional<std::string> doneTitle_;
    std::optional<UIColor> doneTint_;
    std::shared_ptr<platform::ui::UIToolbar> toolbar_;
    std::shared_ptr<platform::ui::UISegmentedControl> segmentedControl_;
    UIBarButtonItemPtr leftArrowButton_;
    UIBarButtonItemPtr rightArrowButton_;
    UIBarButtonItemPtr doneButton_;
    UIBarButtonItemPtr segmentedControlItem_;
};
