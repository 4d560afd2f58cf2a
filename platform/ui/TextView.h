#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <string>

#include "platform/ui/ScrollView.h"
#include "platform/ui/Text.h"

namespace platform::ui {

// Read-only, scrolling, wrapped text (the bulletin and risk-notice screens).
// Editing is not offered: `editable` is kept but the view never takes the
// keyboard.
class UITextView : public UIScrollView {
  public:
    explicit UITextView(const CGRect& frame = CGRectZero);

    const std::string& text() const { return text_; }
    void setText(const std::string& text);
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& f);
    const UIColor& textColor() const { return color_; }
    void setTextColor(const UIColor& c);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment a);
    bool editable = true;
    bool selectable = true;
    UIEdgeInsets textContainerInset{8, 4, 8, 4};

    void layoutSubviews() override;
    std::string debugText() const override { return text_; }

  private:
    class Content;
    TextStyle style() const;
    std::shared_ptr<Content> content_;
    std::string text_;
    UIFont font_ = UIFont::systemFontOfSize(12);
    UIColor color_ = UIColor::blackColor();
    NSTextAlignment alignment_ = NSTextAlignment::Left;
};

}  // namespace platform::ui
