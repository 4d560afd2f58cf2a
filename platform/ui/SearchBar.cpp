#include "platform/ui/SearchBar.h"

namespace platform::ui {

// Turns the field's delegate calls into the search bar's.
class UISearchBar::Relay : public UITextFieldDelegate {
  public:
    explicit Relay(UISearchBar* bar) : bar_(bar) {}
    bool textFieldShouldBeginEditing(UITextField*) override {
        auto d = bar_->delegate.lock();
        return !d || d->searchBarShouldBeginEditing(bar_);
    }
    void textFieldDidBeginEditing(UITextField*) override {
        if (auto d = bar_->delegate.lock()) d->searchBarTextDidBeginEditing(bar_);
    }
    void textFieldDidEndEditing(UITextField*) override {
        if (auto d = bar_->delegate.lock()) d->searchBarTextDidEndEditing(bar_);
    }
    bool textFieldShouldReturn(UITextField*) override {
        if (auto d = bar_->delegate.lock()) d->searchBarSearchButtonClicked(bar_);
        return true;
    }
    UISearchBar* bar_;
};

UISearchBar::UISearchBar(const CGRect& frame)
    : UIView(frame.size.height > 0
                 ? frame
                 : CGRectMake(frame.origin.x, frame.origin.y, frame.size.width, 44)) {
    setOpaque(false);
    field_ = std::make_shared<UITextField>();
    field_->setBorderStyle(UITextBorderStyle::RoundedRect);
    field_->setFont(UIFont::systemFontOfSize(14));
    field_->returnKeyType = UIReturnKeyType::Search;
    field_->clearButtonMode = UITextFieldViewMode::WhileEditing;
    relay_ = std::make_shared<Relay>(this);
    field_->delegate = relay_;
    UISearchBar* self = this;
    field_->addTarget(
        [self](UIControl*, UIEvent*) {
            if (auto d = self->delegate.lock())
                d->searchBarTextDidChange(self, self->field_->text());
        },
        UIControlEventEditingChanged);
    addSubview(field_);
    cancel_ = UIButton::buttonWithType(UIButtonType::System);
    cancel_->setTitle("Cancel", UIControlStateNormal);
    cancel_->titleLabel()->setFont(UIFont::systemFontOfSize(17));
    cancel_->addTarget(
        [self](UIControl*, UIEvent*) {
            if (auto d = self->delegate.lock()) d->searchBarCancelButtonClicked(self);
        },
        UIControlEventTouchUpInside);
    cancel_->setHidden(true);
    addSubview(cancel_);
}

void UISearchBar::setShowsCancelButton(bool shows, bool) {
    showsCancel_ = shows;
    cancel_->setHidden(!shows);
    setNeedsLayout();
}

void UISearchBar::setBarStyle(UIBarStyle s) {
    barStyle_ = s;
    if (s != UIBarStyle::Default)
        cancel_->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    setNeedsDisplay();
}

void UISearchBar::layoutSubviews() {
    const CGRect b = bounds();
    const double cancelWidth = showsCancel_ ? 60 : 0;
    field_->setFrame(CGRectMake(8, (b.size.height - 28) / 2, b.size.width - 16 - cancelWidth, 28));
    cancel_->setFrame(CGRectMake(b.size.width - cancelWidth, 0, cancelWidth, b.size.height));
}

void UISearchBar::drawRect(CGRect) {
    auto* c = UIGraphicsGetCurrentContext();
    if (!c) return;
    c->setFillColor(barStyle_ == UIBarStyle::Default ? UIColor::rgb255(201, 201, 206)
                                                     : UIColor::blackColor());
    c->fillRect(bounds());
}

}  // namespace platform::ui
