#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <string>

#include "platform/ui/Text.h"
#include "platform/ui/View.h"

namespace platform::ui {

// Read-only text: one font and colour, alignment, a number of lines (0: as
// many as fit), word wrapping or tail truncation, and shrinking the font to
// fit the width. The text is centred vertically in the bounds.
class UILabel : public UIView {
  public:
    explicit UILabel(const CGRect& frame = CGRectZero);

    const std::string& text() const { return text_; }
    void setText(const std::string& text);
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& font);
    const UIColor& textColor() const { return textColor_; }
    void setTextColor(const UIColor& color);
    std::optional<UIColor> highlightedTextColor() const { return highlightedTextColor_; }
    void setHighlightedTextColor(std::optional<UIColor> color);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool h);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment a);
    long numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(long n);
    NSLineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(NSLineBreakMode m);
    // Single-line labels only: the font shrinks (down to pointSize x
    // minimumScaleFactor) until the text fits the width.
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSizeToFitWidth_; }
    void setAdjustsFontSizeToFitWidth(bool a);
    CGFloat minimumScaleFactor() const { return minimumScaleFactor_; }
    void setMinimumScaleFactor(CGFloat f);
    // Kept for the screens that set it; the text is always centred vertically.
    int baselineAdjustment = 0;

    // The font actually used for drawing at the current width.
    UIFont fittedFont() const;
    // The rectangle the text takes inside `bounds` with at most `lines` lines.
    virtual CGRect textRectForBounds(const CGRect& bounds, long lines) const;
    virtual void drawTextInRect(const CGRect& rect);

    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(CGRect rect) override;
    // A label's own drawing tells its ink; a subclass that draws otherwise
    // (drawRect, drawTextInRect) tells it only if it overrides this too.
    bool drawingInk(CALayer& layer, CGRect& ink) override;
    std::string debugText() const override { return text_; }

  protected:
    TextStyle style() const { return style(fittedFont()); }
    // The label's style drawn in another font.
    TextStyle style(const UIFont& font) const;
    // The largest half point size of the font down to `least` in which the
    // text fits the width (NSStringFittingFont), kept while the text and the
    // font stay: a label shrunk to fit is measured and drawn again and again.
    UIFont fontFitting(CGFloat width, CGFloat least) const;
    // The text's ink and drawing in the rectangle and style, through the
    // layout the label holds (the same text is not looked up again).
    CGRect textInk(const CGRect& rect, const TextStyle& style);
    void drawText(const CGRect& rect, const TextStyle& style);

  private:
    std::string text_;
    UIFont font_ = UIFont::systemFontOfSize(17);
    UIColor textColor_ = UIColor::blackColor();
    std::optional<UIColor> highlightedTextColor_;
    bool highlighted_ = false;
    bool enabled_ = true;
    NSTextAlignment alignment_ = NSTextAlignment::Left;
    long numberOfLines_ = 1;
    NSLineBreakMode lineBreakMode_ = NSLineBreakMode::ByTruncatingTail;
    bool adjustsFontSizeToFitWidth_ = false;
    CGFloat minimumScaleFactor_ = 0;
    // The text's layout as last measured or drawn.
    TextLayoutHeld layout_;
    // The font the text last fitted, for the width and least size it was
    // found for (zero size: none); cleared when the text or the font changes.
    struct Fitted {
        CGFloat width = 0;
        CGFloat least = 0;
        UIFont font{"", 0, false};
    };
    mutable Fitted fitted_;
};

}  // namespace platform::ui
