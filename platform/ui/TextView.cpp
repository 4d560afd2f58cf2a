#include "platform/ui/TextView.h"

namespace platform::ui {

class UITextView::Content : public UIView {
  public:
    explicit Content(UITextView* owner) : owner_(owner) {
        setUserInteractionEnabled(false);
        setOpaque(false);
    }
    void drawRect(CGRect) override {
        auto* ctx = UIGraphicsGetCurrentContext();
        if (!ctx) return;
        ctx->drawText(owner_->text_, bounds(), owner_->style());
    }
    // Told, the text is drawn straight where the screen shows it. Recorded,
    // its ink would be measured by replaying the whole recording, at a cost
    // that grows with the square of its lines: a text of some hundred
    // kilobytes (a dealer's bulletin) held the screen for minutes.
    bool drawingInk(CALayer&, CGRect& ink) override {
        const std::string& text = owner_->text_;
        ink = text.empty() ? CGRectNull : NSStringInkInRect(text, bounds(), owner_->style());
        return true;
    }

  private:
    UITextView* owner_;
};

UITextView::UITextView(const CGRect& frame) : UIScrollView(frame) {
    alwaysBounceVertical = true;
    setBackgroundColor(UIColor::whiteColor());
    content_ = std::make_shared<Content>(this);
    addSubview(content_);
}

TextStyle UITextView::style() const {
    TextStyle s;
    s.font = font_;
    s.color = color_;
    s.alignment = alignment_;
    s.lineBreakMode = NSLineBreakMode::ByWordWrapping;
    return s;
}

void UITextView::setText(const std::string& t) {
    text_ = t;
    content_->setNeedsDisplay();
    setNeedsLayout();
}
void UITextView::setFont(const UIFont& f) {
    font_ = f;
    content_->setNeedsDisplay();
    setNeedsLayout();
}
void UITextView::setTextColor(const UIColor& c) {
    color_ = c;
    content_->setNeedsDisplay();
}
void UITextView::setTextAlignment(NSTextAlignment a) {
    alignment_ = a;
    content_->setNeedsDisplay();
}

void UITextView::layoutSubviews() {
    const double width =
        std::max(0.0, bounds().size.width - textContainerInset.left - textContainerInset.right);
    const CGSize used = NSStringBoundingSize(text_, {width, 0}, style());
    content_->setFrame(
        CGRectMake(textContainerInset.left, textContainerInset.top, width, used.height));
    setContentSize(
        {bounds().size.width, used.height + textContainerInset.top + textContainerInset.bottom});
}

}  // namespace platform::ui
