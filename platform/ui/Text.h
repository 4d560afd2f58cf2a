#pragma once

// Main thread only, like all of the UI layer: its objects are used without
// locks, and debug builds stop a change made from another thread
// (platform/MainThread.h).

// Fonts and text layout. Text is laid out by Pango over a font configuration
// the layer owns: Noto Sans CJK only (regular and bold), no hinting, so the
// same text measures and renders the same on every machine. Lines are spaced
// at 1.2 times the point size, with the glyphs centred in the line, close to
// the spacing the screens were designed for.

#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/Color.h"
#include "platform/ui/Geometry.h"

typedef struct _cairo cairo_t;

namespace platform::ui {

struct UIFont {
    std::string fontName = "System";
    CGFloat pointSize = 17;
    bool bold = false;

    bool operator==(const UIFont&) const = default;

    static UIFont systemFontOfSize(CGFloat size) { return {"System", size, false}; }
    static UIFont boldSystemFontOfSize(CGFloat size) { return {"System-Bold", size, true}; }
    // Any face name; names containing "Bold" give the bold face, every other
    // name the regular one (the project ships one family).
    static UIFont fontWithName(const std::string& name, CGFloat size);
    // Text styles: "UIFontTextStyleHeadline" (bold 17), "UIFontTextStyleBody"
    // (17), "UIFontTextStyleSubheadline" (15), "UIFontTextStyleFootnote" (13),
    // "UIFontTextStyleCaption1" (12); anything else 17.
    static UIFont preferredFontForTextStyle(const std::string& style);
    // The label font size of the platform.
    static CGFloat labelFontSize() { return 17; }
    static CGFloat systemFontSize() { return 14; }
    static CGFloat buttonFontSize() { return 18; }

    UIFont fontWithSize(CGFloat size) const { return {fontName, size, bold}; }
    // Distance between the baselines of two lines.
    CGFloat lineHeight() const;
    CGFloat ascender() const;
    CGFloat descender() const;  // negative, as on the platform
};

enum class NSTextAlignment { Left = 0, Center = 1, Right = 2, Justified = 3, Natural = 4 };

enum class NSLineBreakMode {
    ByWordWrapping = 0,
    ByCharWrapping = 1,
    ByClipping = 2,
    ByTruncatingHead = 3,
    ByTruncatingTail = 4,
    ByTruncatingMiddle = 5,
};

// How a block of text is laid out in a rectangle.
struct TextStyle {
    UIFont font;
    UIColor color = UIColor::blackColor();
    NSTextAlignment alignment = NSTextAlignment::Left;
    NSLineBreakMode lineBreakMode = NSLineBreakMode::ByWordWrapping;
    // 0: as many lines as fit; otherwise at most that many.
    long numberOfLines = 0;
    // Centre the lines vertically in the rectangle (labels); else from the top.
    bool centerVertically = false;
    // Background painted behind the text's bounding box (clear: none).
    UIColor backgroundColor = UIColor::clearColor();
};

// The size the text takes in the font: one line per paragraph, no wrapping.
// (0, 0) for an empty text.
CGSize NSStringSizeWithFont(std::string_view text, const UIFont& font);

// The font in which the text fits `width` on one line: the font itself when
// it fits, else the largest half point size below it, not under `least`;
// `least` when none fits.
UIFont NSStringFittingFont(std::string_view text, const UIFont& font, CGFloat least, CGFloat width);

// The size the text takes when laid out within `bounds` (width limits the
// line length, height the number of lines, a dimension of 0 or less meaning
// no limit), wrapping by the style's line-break mode. Not rounded.
CGSize NSStringBoundingSize(std::string_view text, CGSize bounds, const TextStyle& style);

// A text's layout held by whoever measures and draws the same text again and
// again (a label): the text measured or drawn through it in the same room
// and style is taken from it, not looked up among the layouts kept for all,
// a look-up whose memory a frame's other work has pushed out of the
// processor's caches. Another text, room or style is looked up and held in
// its place. Filled by the text functions only.
class TextLayoutHeld {
  public:
    // Lets go of the layout (a text no longer shown).
    void clear() { layout_.reset(); }
    bool holds() const { return layout_ != nullptr; }

  private:
    friend struct TextLayoutAccess;
    std::shared_ptr<const void> layout_;
    // What it was laid out for, besides its text (which it keeps).
    CGSize room_{};
    CGFloat pointSize_ = 0;
    long numberOfLines_ = 0;
    NSLineBreakMode lineBreakMode_ = NSLineBreakMode::ByWordWrapping;
    bool bold_ = false;
    bool justified_ = false;
    bool direct_ = false;
};

// Draws the text in the rectangle of the context (user-space points).
// Returns the size actually used. `held`: the layout is taken from and kept
// there.
CGSize NSStringDrawInRect(cairo_t* cr, std::string_view text, const CGRect& rect,
                          const TextStyle& style, TextLayoutHeld* held = nullptr);

// Where NSStringDrawInRect with the same arguments puts ink: the glyphs'
// own extents as laid out and placed there (and the background, if any),
// found without drawing; null when it inks nothing.
CGRect NSStringInkInRect(std::string_view text, const CGRect& rect, const TextStyle& style,
                         TextLayoutHeld* held = nullptr);

// Number of Unicode code points of a UTF-8 text (the character count of the
// screens).
size_t UTF8Length(std::string_view text);
// Byte offset of the code point at `index` (the text's size when past the end).
size_t UTF8Offset(std::string_view text, size_t index);
// Replaces the code points of `range` by `replacement`; the range is clamped.
std::string UTF8Replace(std::string_view text, NSRange range, std::string_view replacement);

namespace text {
// The font configuration in use: true when the project's Noto Sans CJK faces
// were found (else the system's fonts serve, and measurements may differ).
bool usingProjectFonts();
// Texts shaped so far: a text laid out again in the same font and room is
// taken from the last few hundred kept (tests).
size_t layoutsMade();
// Bytes of text handed to Pango to lay out so far (tests).
size_t bytesLaidOut();
// On (the default), a text of one line is shaped without a Pango layout
// where the layout would shape it no otherwise, and lines are drawn from the
// glyphs kept with their layout; off, every text is laid out by Pango and
// drawn through its renderer. The two measure alike and give the same
// pixels (tests).
void setKeptGlyphs(bool on);
// Lines drawn from kept glyphs, and texts shaped without a layout, so far.
size_t keptLinesDrawn();
size_t linesShapedAlone();
// Texts shaped alone whose item was known from the characters of earlier
// ones, and so not itemized.
size_t itemsKnown();
// Texts of digits, the marks that write numbers and ideographs whose glyphs
// were taken from a face's table instead of being shaped.
size_t textsFromTable();
// Shapings made to fill those tables: characters alone, pairs of them, and
// the one text a face's pairs of marks are learnt from.
size_t tableShapings();
// Look-ups of kept layouts so far, and the entries they looked at on the way
// (benchmarks).
size_t blockLookUps();
size_t blockSteps();
}  // namespace text

}  // namespace platform::ui
