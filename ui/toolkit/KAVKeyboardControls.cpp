#include "ui/toolkit/KAVKeyboardControls.h"

#include <algorithm>

#include "platform/MainThread.h"
#include "platform/ui/Bundle.h"
#include "platform/ui/Device.h"
#include "platform/ui/Screen.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"

using namespace platform::ui;

namespace {

constexpr const char* kStringsTable = "KAVKeyboardControls";

std::string localized(const char* key) {
    return NSBundle::mainBundle().localizedStringForKey(key, "", kStringsTable);
}

}  // namespace

std::shared_ptr<KAVKeyboardControls> KAVKeyboardControls::initWithFields(
    const std::vector<UIViewPtr>& fields) {
    KAV_ASSERT_MAIN_THREAD();
    auto bar = std::make_shared<KAVKeyboardControls>();
    bar->build(fields);
    return bar;
}

KAVKeyboardControls::KAVKeyboardControls()
    : UIView(CGRectMake(0, 0, UIScreen::mainScreen().bounds().size.width, kBarHeight)) {}

KAVKeyboardControls::~KAVKeyboardControls() = default;

void KAVKeyboardControls::build(const std::vector<UIViewPtr>& fields) {
    toolbar_ = std::make_shared<UIToolbar>(frame());
    toolbar_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin |
                                  UIViewAutoresizingFlexibleWidth |
                                  UIViewAutoresizingFlexibleRightMargin);
    toolbar_->setBarStyle(UIBarStyle::Black);
    addSubview(toolbar_);

    // This platform is of the newer generation: arrows, not the two-segment
    // control of older systems.
    std::weak_ptr<KAVKeyboardControls> weak = weakSelf<KAVKeyboardControls>();
    leftArrowButton_ = UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItem::PreviousArrow,
                                                           [weak](UIBarButtonItem*) {
                                                               if (auto bar = weak.lock())
                                                                   bar->selectPreviousField();
                                                           });
    leftArrowButton_->setEnabled(false);
    rightArrowButton_ = UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItem::NextArrow,
                                                            [weak](UIBarButtonItem*) {
                                                                if (auto bar = weak.lock())
                                                                    bar->selectNextField();
                                                            });
    rightArrowButton_->setEnabled(false);
    tintArrows();

    doneButton_ = UIBarButtonItem::itemWithTitle(localized("Done"), UIBarButtonItemStyle::Done,
                                                 [weak](UIBarButtonItem* sender) {
                                                     if (auto bar = weak.lock())
                                                         bar->doneButtonPressed(sender);
                                                 });

    setVisibleControls(KAVKeyboardControlPreviousNext | KAVKeyboardControlDone);
    setFields(fields);
}

// ---- list and active field -------------------------------------------------

std::vector<UIViewPtr> KAVKeyboardControls::fields() const {
    std::vector<UIViewPtr> out;
    out.reserve(fields_.size());
    for (const auto& weak : fields_)
        if (auto field = weak.lock()) out.push_back(field);
    return out;
}

void KAVKeyboardControls::setFields(const std::vector<UIViewPtr>& fields) {
    const auto current = this->fields();
    if (current == fields && current.size() == fields_.size()) return;
    auto self = sharedSelf<UIView>();
    for (const auto& field : fields) {
        // Text views of this platform never take the keyboard, so only text
        // fields get the bar over their keys.
        if (auto* textField = dynamic_cast<UITextField*>(field.get()))
            textField->setInputAccessoryView(self);
    }
    fields_.assign(fields.begin(), fields.end());
}

long KAVKeyboardControls::activeIndex() const {
    auto active = activeField_.lock();
    if (!active) return -1;
    for (size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].lock() == active) return static_cast<long>(i);
    return -1;
}

void KAVKeyboardControls::setActiveField(UIView* field) {
    if (field == activeField()) return;
    if (!field) {
        activeField_.reset();
        return;
    }
    auto it = std::find_if(fields_.begin(), fields_.end(),
                           [field](const auto& weak) { return weak.lock().get() == field; });
    if (it == fields_.end()) return;
    activeField_ = *it;
    if (!field->isFirstResponder()) field->becomeFirstResponder();
    updatePrevoidNextEnabledStates();
}

void KAVKeyboardControls::updatePrevoidNextEnabledStates() {
    const long i = activeIndex();
    if (i < 0) return;
    const long count = static_cast<long>(fields_.size());
    const bool previous = i >= 1;
    const bool next = i < count - 1;
    if (segmentedControl_) {
        segmentedControl_->setEnabled(previous, 0);
        segmentedControl_->setEnabled(next, 1);
    } else {
        leftArrowButton_->setEnabled(previous);
        rightArrowButton_->setEnabled(next);
    }
}

// ---- stepping ---------------------------------------------------------------

void KAVKeyboardControls::step(long to, int32_t direction) {
    auto field = fields_[static_cast<size_t>(to)].lock();
    if (!field) return;
    auto keep = sharedSelf<KAVKeyboardControls>();
    setActiveField(field.get());
    if (auto d = delegate.lock()) d->keyboardControls(this, field.get(), direction);
}

void KAVKeyboardControls::selectPreviousField() {
    const long i = activeIndex();
    if (i <= 0) return;
    step(i - 1, KAVKeyboardControlsDirectionPrevious);
}

void KAVKeyboardControls::selectNextField() {
    const long i = activeIndex();
    if (i < 0 || i >= static_cast<long>(fields_.size()) - 1) return;
    step(i + 1, KAVKeyboardControlsDirectionNext);
}

void KAVKeyboardControls::segmentedControlValueChanged(UISegmentedControl* sender) {
    UIDevice::currentDevice().playInputClick();
    switch (sender ? sender->selectedSegmentIndex() : UISegmentedControlNoSegment) {
        case 0:
            selectPreviousField();
            break;
        case 1:
            selectNextField();
            break;
        default:
            break;
    }
}

void KAVKeyboardControls::doneButtonPressed(UIBarButtonItem*) {
    auto keep = sharedSelf<KAVKeyboardControls>();
    if (auto d = delegate.lock()) d->keyboardControlsDonePressed(this);
}

// ---- look -------------------------------------------------------------------

void KAVKeyboardControls::setVisibleControls(int32_t mask) {
    if (mask == visibleControls_) return;
    visibleControls_ = mask;
    toolbar_->setItems(toolbarItems());
}

std::vector<UIBarButtonItemPtr> KAVKeyboardControls::toolbarItems() {
    std::vector<UIBarButtonItemPtr> items;
    if (visibleControls_ & KAVKeyboardControlPreviousNext) {
        if (segmentedControlItem_) {
            items.push_back(segmentedControlItem_);
        } else {
            auto gap = UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItem::FixedSpace);
            gap->width = kArrowSpacing;
            items.insert(items.end(), {leftArrowButton_, gap, rightArrowButton_});
        }
    }
    if (visibleControls_ & KAVKeyboardControlDone) {
        items.push_back(UIBarButtonItem::itemWithSystemItem(UIBarButtonSystemItem::FlexibleSpace));
        items.push_back(doneButton_);
    }
    return items;
}

void KAVKeyboardControls::setBarStyle(int32_t style) {
    if (style == barStyle_) return;
    toolbar_->setBarStyle(static_cast<UIBarStyle>(style));
    barStyle_ = style;
    tintArrows();
}

// On the dark bar the arrows are white (a disabled one the bar's readable
// grey), as the keyboard's own keys; on a light bar they take the tint.
void KAVKeyboardControls::tintArrows() {
    const std::optional<UIColor> tint =
        toolbar_->barStyle() == UIBarStyle::Default ? std::nullopt
                                                    : std::optional(UIColor::whiteColor());
    for (const auto& arrow : {leftArrowButton_, rightArrowButton_})
        if (arrow && arrow->tintColor != tint) arrow->setTintColor(tint);
}

void KAVKeyboardControls::setBarTintColor(std::optional<UIColor> color) {
    if (color == barTintColor_) return;
    toolbar_->setBarTintColor(color);
    barTintColor_ = color;
}

void KAVKeyboardControls::setSegmentedControlTintControl(std::optional<UIColor> color) {
    if (color == segmentedTint_) return;
    if (segmentedControl_) segmentedControl_->setTintColor(color);
    segmentedTint_ = color;
}

void KAVKeyboardControls::setPreviousTitle(const std::string& title) {
    if (previousTitle_ == title) return;
    if (segmentedControl_) segmentedControl_->setTitle(title, 0);
    previousTitle_ = title;
}

void KAVKeyboardControls::setNextTitle(const std::string& title) {
    if (nextTitle_ == title) return;
    if (segmentedControl_) segmentedControl_->setTitle(title, 1);
    nextTitle_ = title;
}

void KAVKeyboardControls::setDoneTitle(const std::string& title) {
    if (doneTitle_ == title) return;
    doneButton_->setTitle(title);
    doneTitle_ = title;
}

void KAVKeyboardControls::setDoneTintColor(std::optional<UIColor> color) {
    if (color == doneTint_) return;
    doneButton_->setTintColor(color);
    doneTint_ = color;
}
