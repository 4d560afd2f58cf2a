#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

#include <memory>
#include <string>

#include "platform/ui/Control.h"
#include "platform/ui/Text.h"

namespace platform::ui {

class UITextField;

// Every method is optional; the defaults allow everything.
class UITextFieldDelegate {
  public:
    virtual ~UITextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(UITextField*) { return true; }
    virtual void textFieldDidBeginEditing(UITextField*) {}
    virtual bool textFieldShouldEndEditing(UITextField*) { return true; }
    virtual void textFieldDidEndEditing(UITextField*) {}
    // `range` counts characters (code points) of the current text.
    virtual bool textFieldShouldChangeCharactersInRange(UITextField*, NSRange range,
                                                        const std::string& replacement) {
        (void)range, (void)replacement;
        return true;
    }
    virtual bool textFieldShouldClear(UITextField*) { return true; }
    virtual bool textFieldShouldReturn(UITextField*) { return true; }
};

enum class UITextBorderStyle { None = 0, Line = 1, Bezel = 2, RoundedRect = 3 };
enum class UITextFieldViewMode { Never = 0, WhileEditing = 1, UnlessEditing = 2, Always = 3 };
// The platform's numbers: 4 is the number pad, 8 the decimal pad.
enum class UIKeyboardType {
    Default = 0,
    ASCIICapable = 1,
    NumbersAndPunctuation = 2,
    URL = 3,
    NumberPad = 4,
    PhonePad = 5,
    NamePhonePad = 6,
    EmailAddress = 7,
    DecimalPad = 8
};
enum class UIKeyboardAppearance { Default = 0, Dark = 1, Light = 2 };
enum class UIReturnKeyType { Default = 0, Go = 1, Search = 6, Done = 9 };

inline constexpr const char* UITextFieldTextDidChangeNotification =
    "UITextFieldTextDidChangeNotification";

// One line of editable text. Tapping it makes it the first responder (the
// simulated keyboard shows); typed text goes through the delegate's
// should-change rule at the end of the text, then editing-changed fires.
// The return key asks textFieldShouldReturn and sends editing-did-end-on-exit.
class UITextField : public UIControl {
  public:
    explicit UITextField(const CGRect& frame = CGRectZero);

    // The appearance proxy: values every text field made from now on starts with.
    struct Appearance {
        UIKeyboardAppearance keyboardAppearance = UIKeyboardAppearance::Default;
    };
    static Appearance& appearance();

    const std::string& text() const { return text_; }
    void setText(const std::string& text);
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(const std::string& p);
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& f);
    const UIColor& textColor() const { return textColor_; }
    void setTextColor(const UIColor& c);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment a);
    UITextBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(UITextBorderStyle s);
    bool isSecureTextEntry() const { return secure_; }
    void setSecureTextEntry(bool s);
    UITextFieldViewMode clearButtonMode = UITextFieldViewMode::Never;
    UIKeyboardType keyboardType = UIKeyboardType::Default;
    UIKeyboardAppearance keyboardAppearance = UIKeyboardAppearance::Default;
    UIReturnKeyType returnKeyType = UIReturnKeyType::Default;
    int autocorrectionType = 0;
    int autocapitalizationType = 0;
    bool clearsOnBeginEditing = false;
    std::weak_ptr<UITextFieldDelegate> delegate;
    void setInputAccessoryView(UIViewPtr v);
    UIViewPtr inputAccessoryView() const override { return accessory_; }

    bool isEditing() const { return editing_; }

    // Geometry hooks (subclasses inset the text).
    virtual CGRect textRectForBounds(const CGRect& bounds) const;
    virtual CGRect editingRectForBounds(const CGRect& bounds) const;
    virtual CGRect placeholderRectForBounds(const CGRect& bounds) const {
        return textRectForBounds(bounds);
    }
    virtual CGRect clearButtonRectForBounds(const CGRect& bounds) const;
    bool clearButtonShown() const;

    // Responder.
    bool canBecomeFirstResponder() const override { return isEnabled(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    bool acceptsTextInput() const override { return editing_; }
    bool hasText() const override { return !text_.empty(); }
    void insertText(const std::string& text) override;
    void deleteBackward() override;

    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void drawRect(CGRect rect) override;
    // What the field shows: a secure field's bullets, never its text (a
    // script's dump of the screen must not write out a password).
    std::string debugText() const override { return shownText(); }

  private:
    // The text as drawn: one bullet a character when secure.
    std::string shownText() const;
    // Applies a replacement at the end of the text when the delegate allows:
    // `range` in characters for the delegate, the bytes from `from` on
    // replaced in place, so that a key costs the same in a long text as in a
    // short one.
    void replace(NSRange range, size_t from, const std::string& replacement);

    std::string text_;
    // The characters of text_, kept with it: a key at the end of a long text
    // need not count them again.
    size_t length_ = 0;
    std::string placeholder_;
    UIFont font_ = UIFont::systemFontOfSize(17);
    UIColor textColor_ = UIColor::blackColor();
    NSTextAlignment alignment_ = NSTextAlignment::Left;
    UITextBorderStyle borderStyle_ = UITextBorderStyle::None;
    bool secure_ = false;
    bool editing_ = false;
    UIViewPtr accessory_;
};

}  // namespace platform::ui
