#include <gtest/gtest.h>

#include <cairo.h>

#include <string>
#include <vector>

#include "platform/ui/Text.h"

using namespace platform::ui;

namespace {

// Where and how a text is drawn: the surface's scale, the rectangle (points),
// a clip (points; empty: none) and the operator.
struct Setting {
    double scale;
    CGRect rect;
    CGRect clip;
    cairo_operator_t op = CAIRO_OPERATOR_OVER;
};

// The text drawn over a patterned background (so that blending shows), as
// ARGB bytes; through the kept glyphs or through Pango's renderer.
std::vector<unsigned char> drawn(const std::string& text, const TextStyle& style,
                                 const Setting& at, bool keptGlyphs) {
    constexpr int kWidth = 330, kHeight = 130;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    cairo_pattern_t* ramp = cairo_pattern_create_linear(0, 0, kWidth, kHeight);
    cairo_pattern_add_color_stop_rgba(ramp, 0, 0.9, 0.2, 0.1, 1);
    cairo_pattern_add_color_stop_rgba(ramp, 1, 0.1, 0.3, 0.8, 0.6);
    cairo_set_source(cr, ramp);
    cairo_paint(cr);
    cairo_pattern_destroy(ramp);
    cairo_scale(cr, at.scale, at.scale);
    if (!CGRectIsEmpty(at.clip)) {
        cairo_rectangle(cr, at.clip.origin.x, at.clip.origin.y, at.clip.size.width,
                        at.clip.size.height);
        cairo_clip(cr);
    }
    cairo_set_operator(cr, at.op);
    text::setKeptGlyphs(keptGlyphs);
    NSStringDrawInRect(cr, text, at.rect, style);
    text::setKeptGlyphs(true);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<unsigned char> bytes(data, data + cairo_image_surface_get_stride(surface) * kHeight);
    cairo_surface_destroy(surface);
    return bytes;
}

}  // namespace

// A line drawn from the glyphs kept with its layout gives, byte for byte, the
// pixels Pango's renderer gives: at whole and fractional scales, at whole and
// fractional places, clipped on and off the pixel grid, in colours with and
// without alpha (a disabled label's), with a background, in any alignment,
// wrapped, truncated at either end or the middle, and in the board's mixed
// Chinese and Latin texts.
TEST(TextGlyphs, KeptGlyphsDrawTheSamePixelsAsPango) {
    const std::vector<std::string> texts = {
        "1.08345",
        "最低:1.08120",
        "欧元美元 EUR/USD",
        "AVAWAY fi ffl Tj",
        "  leading and trailing  ",
        "e\u0301 a\u0308 combining",
        "a long text that wraps over a few lines and is cut at the last one shown",
        "第一行\n第二行 second\n\nthird after an empty one",
        "مرحبا hello שלום",
    };
    const std::vector<Setting> settings = {
        {1, CGRectMake(3, 4, 150, 30), CGRectZero},
        {2, CGRectMake(3.25, 4.5, 150, 40), CGRectZero},
        {1.5, CGRectMake(2.3, 1.7, 140, 50), CGRectZero},
        {1.5, CGRectMake(2.3, 1.7, 140, 50), CGRectMake(10.2, 3.1, 40.3, 9.9)},
        {2, CGRectMake(0.5, 0.5, 120, 45), CGRectMake(20, 4, 30, 20)},
        {1, CGRectMake(0, 0, 0, 0), CGRectZero},
        {2, CGRectMake(1, 2, 90, 40), CGRectZero, CAIRO_OPERATOR_SOURCE},
    };
    std::vector<TextStyle> styles;
    {
        TextStyle plain;
        plain.font = UIFont::systemFontOfSize(12);
        styles.push_back(plain);
        TextStyle disabled;
        disabled.font = UIFont::boldSystemFontOfSize(15.5);
        disabled.color = UIColor::rgb255(20, 120, 250);
        disabled.color.alpha *= 0.5;
        disabled.alignment = NSTextAlignment::Center;
        disabled.lineBreakMode = NSLineBreakMode::ByTruncatingMiddle;
        disabled.numberOfLines = 1;
        disabled.centerVertically = true;
        styles.push_back(disabled);
        TextStyle wrapped;
        wrapped.font = UIFont::systemFontOfSize(10);
        wrapped.color = UIColor::whiteColor();
        wrapped.alignment = NSTextAlignment::Right;
        wrapped.numberOfLines = 3;
        wrapped.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
        wrapped.backgroundColor = UIColor::rgb255(0, 0, 0);
        wrapped.backgroundColor.alpha = 0.3;
        styles.push_back(wrapped);
        TextStyle head;
        head.font = UIFont::systemFontOfSize(13);
        head.lineBreakMode = NSLineBreakMode::ByTruncatingHead;
        head.numberOfLines = 1;
        styles.push_back(head);
        TextStyle justified;
        justified.font = UIFont::systemFontOfSize(11);
        justified.alignment = NSTextAlignment::Justified;
        justified.lineBreakMode = NSLineBreakMode::ByCharWrapping;
        justified.color = UIColor::rgb255(200, 30, 30);
        styles.push_back(justified);
        TextStyle clipped;
        clipped.font = UIFont::systemFontOfSize(14);
        clipped.lineBreakMode = NSLineBreakMode::ByClipping;
        styles.push_back(clipped);
    }
    const size_t keptBefore = text::keptLinesDrawn();
    size_t compared = 0;
    for (const auto& text : texts)
        for (size_t s = 0; s < styles.size(); ++s)
            for (size_t a = 0; a < settings.size(); ++a) {
                const auto kept = drawn(text, styles[s], settings[a], true);
                const auto viaPango = drawn(text, styles[s], settings[a], false);
                ASSERT_EQ(kept.size(), viaPango.size());
                size_t first = 0;
                while (first < kept.size() && kept[first] == viaPango[first])
                    ++first;
                EXPECT_EQ(first, kept.size())
                    << "\"" << text << "\" style " << s << " setting " << a << ": byte " << first;
                ++compared;
            }
    EXPECT_EQ(compared, texts.size() * styles.size() * settings.size());
    // The comparison is of the two ways, not of one with itself.
    EXPECT_GT(text::keptLinesDrawn() - keptBefore, compared);
}

// A text with a character no face has is drawn through Pango, which shows
// a box for it; the kept glyphs are not used for it, and the pixels are
// Pango's either way.
TEST(TextGlyphs, ALineWithAMissingGlyphIsDrawnThroughPango) {
    TextStyle style;
    style.font = UIFont::systemFontOfSize(14);
    const Setting at{2, CGRectMake(4, 4, 150, 30), CGRectZero};
    const std::string missing = "price \U000F0001 1.08";
    const size_t before = text::keptLinesDrawn();
    const auto kept = drawn(missing, style, at, true);
    EXPECT_EQ(text::keptLinesDrawn(), before);
    EXPECT_EQ(kept, drawn(missing, style, at, false));
    drawn("price 1.08", style, at, true);
    EXPECT_EQ(text::keptLinesDrawn(), before + 1);
}
