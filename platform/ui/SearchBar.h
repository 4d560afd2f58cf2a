#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <memory>
#include <string>

#include "platform/ui/Button.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"

namespace platform::ui {

class UISearchBar;

// Every method is optional.
class UISearchBarDelegate {
  public:
    virtual ~UISearchBarDelegate() = default;
    virtual bool searchBarShouldBeginEditing(UISearchBar*) { return true; }
    virtual void searchBarTextDidBeginEditing(UISearchBar*) {}
    virtual void searchBarTextDidEndEditing(UISearchBar*) {}
    virtual void searchBarTextDidChange(UISearchBar*, const std::string& text) { (void)text; }
    virtual void searchBarSearchButtonClicked(UISearchBar*) {}
    virtual void searchBarCancelButtonClicked(UISearchBar*) {}
};

// A 44-point bar with a rounded search field and, when shown, a Cancel
// button. The return key is the search button.
class UISearchBar : public UIView {
  public:
    explicit UISearchBar(const CGRect& frame = CGRectZero);

    std::string text() const { return field_->text(); }
    void setText(const std::string& t) { field_->setText(t); }
    std::string placeholder() const { return field_->placeholder(); }
    void setPlaceholder(const std::string& p) { field_->setPlaceholder(p); }
    bool showsCancelButton() const { return showsCancel_; }
    void setShowsCancelButton(bool shows, bool animated = false);
    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle s);
    UIKeyboardType keyboardType() const { return field_->keyboardType; }
    void setKeyboardType(UIKeyboardType t) { field_->keyboardType = t; }
    std::weak_ptr<UISearchBarDelegate> delegate;
    UITextField* searchField() const { return field_.get(); }
    UIButton* cancelButton() const { return cancel_.get(); }

    bool becomeFirstResponder() override { return field_->becomeFirstResponder(); }
    bool resignFirstResponder() override { return field_->resignFirstResponder(); }
    bool isFirstResponderInside() const { return field_->isFirstResponder(); }

    void layoutSubviews() override;
    void drawRect(CGRect rect) override;

  private:
    class Relay;
    std::shared_ptr<UITextField> field_;
    std::shared_ptr<UIButton> cancel_;
    std::shared_ptr<Relay> relay_;
    bool showsCancel_ = false;
    UIBarStyle barStyle_ = UIBarStyle::Default;
};

}  // namespace platform::ui
