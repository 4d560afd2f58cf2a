#include "platform/ui/TextField.h"

#include <pango/pango.h>

#include <algorithm>
#include <vector>

#include "platform/NotificationCenter.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/detail/Setters.h"

namespace platform::ui {

namespace {
constexpr double kClearButtonSize = 19;
constexpr double kCaretGap = 1;
constexpr double kCaretWidth = 2;

// Where the last character as the user sees it starts: a letter with its
// combining marks, an emoji with its skin tone or its joined members, a flag
// of two letters go with one key, as they came with one (deleting code point
// by code point left a bare mark, another emoji or half a flag, and a
// joiner no one can see). Only the end of the text is looked at, so a key
// costs the same in a long text as in a short one.
size_t lastGraphemeStart(const std::string& text) {
    // The last code point's first byte: back over the continuation bytes.
    size_t last = text.size() - 1;
    while (last > 0 && (static_cast<unsigned char>(text[last]) & 0xC0) == 0x80)
        --last;
    const unsigned char lead = static_cast<unsigned char>(text[last]);
    if (lead < 0x80 && !(lead == '\n' && last > 0 && text[last - 1] == '\r')) return last;
    if ((lead & 0xC0) == 0x80 || last == 0) return last;
    constexpr size_t kTail = 256;
    size_t from = text.size() > kTail ? text.size() - kTail : 0;
    while (from < last && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80)
        ++from;
    const std::string_view tail = std::string_view(text).substr(from);
    if (!g_utf8_validate(tail.data(), static_cast<gssize>(tail.size()), nullptr)) return last;
    const glong characters = g_utf8_strlen(tail.data(), static_cast<gssize>(tail.size()));
    std::vector<PangoLogAttr> attrs(static_cast<size_t>(characters) + 1);
    pango_get_log_attrs(tail.data(), static_cast<int>(tail.size()), -1,
                        pango_language_get_default(), attrs.data(),
                        static_cast<int>(attrs.size()));
    glong start = characters - 1;
    while (start > 0 && !attrs[static_cast<size_t>(start)].is_cursor_position)
        --start;
    return from + static_cast<size_t>(g_utf8_offset_to_pointer(tail.data(), start) - tail.data());
}
}  // namespace

UITextField::Appearance& UITextField::appearance() {
    static Appearance proxy;
    return proxy;
}

UITextField::UITextField(const CGRect& frame) : UIControl(frame) {
    UIKeyboard::install();
    keyboardAppearance = appearance().keyboardAppearance;
    setOpaque(false);
    contentVerticalAlignment = UIControlContentVerticalAlignment::Center;
}

void UITextField::setText(const std::string& t) {
    if (text_ == t) return;
    text_ = t;
    length_ = UTF8Length(text_);
    setNeedsDisplay();
}
void UITextField::setPlaceholder(const std::string& p) {
    KAV_SET_AND_REDRAW(placeholder_, p);
}
void UITextField::setFont(const UIFont& f) {
    KAV_SET_AND_REDRAW(font_, f);
}
void UITextField::setTextColor(const UIColor& c) {
    KAV_SET_AND_REDRAW(textColor_, c);
}
void UITextField::setTextAlignment(NSTextAlignment a) {
    KAV_SET_AND_REDRAW(alignment_, a);
}
void UITextField::setBorderStyle(UITextBorderStyle s) {
    KAV_SET_AND_REDRAW(borderStyle_, s);
}
void UITextField::setSecureTextEntry(bool s) {
    KAV_SET_AND_REDRAW(secure_, s);
}

void UITextField::setInputAccessoryView(UIViewPtr v) {
    accessory_ = std::move(v);
}

CGRect UITextField::textRectForBounds(const CGRect& b) const {
    const double inset = borderStyle_ == UITextBorderStyle::None ? 0 : 7;
    CGRect r = CGRectInset(b, inset, 0);
    if (CGRectIsNull(r)) r = b;
    if (clearButtonShown()) r.size.width = std::max(0.0, r.size.width - kClearButtonSize - 4);
    return r;
}

CGRect UITextField::editingRectForBounds(const CGRect& b) const {
    return textRectForBounds(b);
}

CGRect UITextField::clearButtonRectForBounds(const CGRect& b) const {
    return CGRectMake(b.size.width - kClearButtonSize - 5, (b.size.height - kClearButtonSize) / 2,
                      kClearButtonSize, kClearButtonSize);
}

bool UITextField::clearButtonShown() const {
    if (text_.empty()) return false;
    switch (clearButtonMode) {
        case UITextFieldViewMode::Always:
            return true;
        case UITextFieldViewMode::WhileEditing:
            return editing_;
        case UITextFieldViewMode::UnlessEditing:
            return !editing_;
        default:
            return false;
    }
}

bool UITextField::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    auto keep = sharedSelf<UITextField>();
    auto d = delegate.lock();
    if (d && !d->textFieldShouldBeginEditing(this)) return false;
    // Editing before the responder changes, so the keyboard sees a field
    // that takes text.
    editing_ = true;
    if (!UIControl::becomeFirstResponder()) {
        editing_ = false;
        return false;
    }
    if (clearsOnBeginEditing) {
        text_.clear();
        length_ = 0;
    }
    setNeedsDisplay();
    if (d) d->textFieldDidBeginEditing(this);
    sendActionsForControlEvents(UIControlEventEditingDidBegin);
    return true;
}

bool UITextField::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    auto keep = sharedSelf<UITextField>();
    auto d = delegate.lock();
    if (d && !d->textFieldShouldEndEditing(this)) return false;
    if (!UIControl::resignFirstResponder()) return false;
    editing_ = false;
    setNeedsDisplay();
    if (d) d->textFieldDidEndEditing(this);
    sendActionsForControlEvents(UIControlEventEditingDidEnd);
    return true;
}

void UITextField::replace(NSRange range, size_t from, const std::string& replacement) {
    auto keep = sharedSelf<UITextField>();
    const size_t bytes = text_.size(), characters = length_;
    if (auto d = delegate.lock();
        d && !d->textFieldShouldChangeCharactersInRange(this, range, replacement))
        return;
    if (text_.size() == bytes && length_ == characters) {
        text_.replace(from, std::string::npos, replacement);
        length_ = range.location + UTF8Length(replacement);
    } else {  // the delegate set another text: the characters of the range go
        text_ = UTF8Replace(text_, range, replacement);
        length_ = UTF8Length(text_);
    }
    setNeedsDisplay();
    sendActionsForControlEvents(UIControlEventEditingChanged);
    NotificationCenter::defaultCenter().post(UITextFieldTextDidChangeNotification, std::any(this));
}

void UITextField::insertText(const std::string& t) {
    if (!editing_) return;
    if (t == "\n") {
        auto keep = sharedSelf<UITextField>();
        if (auto d = delegate.lock()) d->textFieldShouldReturn(this);
        sendActionsForControlEvents(UIControlEventEditingDidEndOnExit);
        return;
    }
    replace(NSMakeRange(length_, 0), text_.size(), t);
}

void UITextField::deleteBackward() {
    if (!editing_ || text_.empty()) return;
    const size_t last = lastGraphemeStart(text_);
    // The code points the key takes; a text of stray continuation bytes
    // alone (a damaged stored value) counts none, and its deletion starts
    // at 0, not below it.
    const size_t count = std::max<size_t>(1, UTF8Length(std::string_view(text_).substr(last)));
    replace(NSMakeRange(length_ >= count ? length_ - count : 0, count), last, "");
}

void UITextField::touchesEnded(const UITouchSet& touches, UIEvent* event) {
    const bool wasTracking = isTracking();
    UIControl::touchesEnded(touches, event);
    if (!wasTracking || touches.empty() || !isEnabled()) return;
    CGPoint p = touches.front()->locationInView(this);
    if (!CGRectContainsPoint(bounds(), p)) return;
    if (clearButtonShown() &&
        CGRectContainsPoint(CGRectInset(clearButtonRectForBounds(bounds()), -6, -6), p)) {
        auto keep = sharedSelf<UITextField>();
        if (auto d = delegate.lock(); d && !d->textFieldShouldClear(this)) return;
        text_.clear();
        length_ = 0;
        setNeedsDisplay();
        sendActionsForControlEvents(UIControlEventEditingChanged);
        return;
    }
    becomeFirstResponder();
}

std::string UITextField::shownText() const {
    if (!secure_) return text_;
    std::string bullets;
    bullets.reserve(length_ * 3);
    for (size_t i = 0; i < length_; ++i)
        bullets += "•";
    return bullets;
}

void UITextField::drawRect(CGRect) {
    auto* ctx = UIGraphicsGetCurrentContext();
    if (!ctx) return;
    const CGRect b = bounds();
    if (borderStyle_ == UITextBorderStyle::RoundedRect) {
        auto box = UIBezierPath::bezierPathWithRoundedRect(CGRectInset(b, 0.5, 0.5), 5);
        ctx->setFillColor(UIColor::whiteColor());
        ctx->fillPath(box);
        ctx->setStrokeColor(UIColor::grey255(204));
        ctx->setLineWidth(0.5);
        ctx->strokePath(box);
    } else if (borderStyle_ == UITextBorderStyle::Line ||
               borderStyle_ == UITextBorderStyle::Bezel) {
        ctx->setStrokeColor(UIColor::blackColor());
        ctx->strokeRect(CGRectInset(b, 0.5, 0.5));
    }
    TextStyle style;
    style.font = font_;
    style.alignment = alignment_;
    style.numberOfLines = 1;
    style.lineBreakMode = NSLineBreakMode::ByClipping;
    style.centerVertically = true;
    const std::string shown = shownText();
    const CGRect area = editing_ ? editingRectForBounds(b) : textRectForBounds(b);
    // While editing, the caret needs room at the end of the text; a text too
    // long for the field scrolls so that its end and the caret stay in view
    // (the start goes out on the left), as it does while typing on the
    // platform. Not editing, a long text shows its start.
    const double caretRoom = editing_ ? kCaretGap + kCaretWidth : 0;
    const double textWidth = shown.empty() ? 0 : NSStringSizeWithFont(shown, font_).width;
    CGRect textArea = area;
    if (editing_ &&
        (alignment_ == NSTextAlignment::Right || textWidth + caretRoom > area.size.width))
        textArea.size.width = std::max(0.0, area.size.width - caretRoom);
    const bool scrolled = editing_ && textWidth > textArea.size.width;
    double caretX = textArea.origin.x;
    if (shown.empty()) {
        if (!placeholder_.empty()) {
            style.color = UIColor::colorWithWhite(0.7, 1);
            ctx->drawText(placeholder_, placeholderRectForBounds(b), style);
        }
        if (alignment_ == NSTextAlignment::Center) caretX = CGRectGetMidX(textArea);
        if (alignment_ == NSTextAlignment::Right) caretX = CGRectGetMaxX(textArea);
    } else if (scrolled) {
        style.color = textColor_;
        style.alignment = NSTextAlignment::Left;
        caretX = CGRectGetMaxX(textArea);
        ctx->saveGState();
        ctx->clipToRect(area);
        // One point of slack: the line must not break on rounding.
        ctx->drawText(
            shown, CGRectMake(caretX - textWidth, area.origin.y, textWidth + 1, area.size.height),
            style);
        ctx->restoreGState();
    } else {
        style.color = textColor_;
        const CGSize used = ctx->drawText(shown, textArea, style);
        caretX = textArea.origin.x + used.width;
        if (alignment_ == NSTextAlignment::Center)
            caretX = textArea.origin.x + (textArea.size.width + used.width) / 2;
        if (alignment_ == NSTextAlignment::Right) caretX = CGRectGetMaxX(textArea);
    }
    if (editing_) {
        // The caret at the end of the text (it does not blink: no timer runs
        // while nothing changes).
        const double h = font_.lineHeight();
        ctx->setFillColor(tintColor());
        ctx->fillRect(CGRectMake(caretX + kCaretGap, CGRectGetMidY(area) - h / 2, kCaretWidth, h));
    }
    if (clearButtonShown()) {
        CGRect r = clearButtonRectForBounds(b);
        ctx->setFillColor(UIColor::grey255(180));
        ctx->fillEllipseInRect(r);
        ctx->setStrokeColor(UIColor::whiteColor());
        ctx->setLineWidth(1.5);
        const double k = r.size.width * 0.3;
        ctx->strokeLineSegments({{r.origin.x + k, r.origin.y + k},
                                 {CGRectGetMaxX(r) - k, CGRectGetMaxY(r) - k},
                                 {CGRectGetMaxX(r) - k, r.origin.y + k},
                                 {r.origin.x + k, CGRectGetMaxY(r) - k}});
    }
}

}  // namespace platform::ui
