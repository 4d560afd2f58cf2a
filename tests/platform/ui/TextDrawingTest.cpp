#include <gtest/gtest.h>

#include <cairo.h>

#include <string>
#include <vector>

#include "platform/ui/Canvas.h"
#include "platform/ui/Text.h"
#include "tests/platform/ui/Stage.h"

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
std::vector<unsigned char> drawn(const std::string& text, const TextStyle& style, const Setting& at,
                                 bool keptGlyphs) {
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
    return uitest::takeBytes(surface);
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
    const size_t aloneBefore = text::linesShapedAlone();
    size_t compared = 0;
    for (const auto& text : texts)
        for (size_t s = 0; s < styles.size(); ++s) {
            // Measured alike: on one line, in a room, and where it inks.
            const auto measures = [&](bool direct) {
                text::setKeptGlyphs(direct);
                std::vector<double> m;
                const CGSize one = NSStringSizeWithFont(text, styles[s].font);
                m.insert(m.end(), {one.width, one.height});
                for (const auto& at : settings) {
                    const CGSize room = NSStringBoundingSize(text, at.rect.size, styles[s]);
                    const CGRect ink = NSStringInkInRect(text, at.rect, styles[s]);
                    m.insert(m.end(), {room.width, room.height, ink.origin.x, ink.origin.y,
                                       ink.size.width, ink.size.height});
                }
                text::setKeptGlyphs(true);
                return m;
            };
            const auto direct = measures(true);
            EXPECT_EQ(direct, measures(false)) << "\"" << text << "\" style " << s;
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
        }
    EXPECT_EQ(compared, texts.size() * styles.size() * settings.size());
    // The comparison is of the two ways, not of one with itself: most lines
    // were drawn from kept glyphs, and the texts of one line shaped alone.
    EXPECT_GT(text::keptLinesDrawn() - keptBefore, compared);
    EXPECT_GE(text::linesShapedAlone() - aloneBefore, 8u);
}

// The board's texts of one line are shaped alone, also when they are new
// (a time, a price), and measure and draw as Pango's layout of them does; a
// text the layout would shape otherwise (two scripts, a tab, a line break,
// right to left) is laid out. (Of a text of many paragraphs, a line shows the
// first alone: see AFewLinesOfAHugeTextLayOutOnlyTheParagraphsTheyShow.)
TEST(TextGlyphs, OneLineTextsAreShapedAloneOnlyWhereTheLayoutWouldNotDiffer) {
    TextStyle style;
    style.font = UIFont::systemFontOfSize(12.5);
    style.numberOfLines = 1;
    style.centerVertically = true;
    const Setting at{2, CGRectMake(3.5, 2, 120, 16), CGRectZero};
    const size_t known = text::itemsKnown();
    for (int i = 0; i < 60; ++i) {
        const std::string texts[] = {
            "最高:" + std::to_string(38000 + i * 7) + "." + std::to_string(i % 10),
            (i < 10 ? "0" : "") + std::to_string(i) + ":3" + std::to_string(i % 10) + ":15",
            std::to_string(1.08 + i / 997.0).substr(0, 7)};
        for (const auto& text : texts) {
            const size_t alone = text::linesShapedAlone();
            const auto direct = drawn(text, style, at, true);
            EXPECT_EQ(text::linesShapedAlone(), alone + 1) << text;
            EXPECT_EQ(direct, drawn(text, style, at, false)) << text;
        }
    }
    // Most were not itemized: their characters were those of earlier texts.
    EXPECT_GE(text::itemsKnown() - known, 150u);
    // Characters known each in an item of its own script are not taken
    // together: the text is itemized, and laid out in two items.
    drawn("USD", style, at, true);
    drawn("最高", style, at, true);
    for (const std::string text :
         {"欧元美元 EUR", "USD最高", "最高USD", "a\tb", "שלום", "a\u2028b", "bad \xff utf-8"}) {
        const size_t alone = text::linesShapedAlone();
        const auto direct = drawn(text, style, at, true);
        EXPECT_EQ(text::linesShapedAlone(), alone) << text;
        EXPECT_EQ(direct, drawn(text, style, at, false)) << text;
    }
}

// A new price, time, spread or low ("最低:1.08345") takes its glyphs from its
// face's table of characters, and measures, inks and draws exactly as
// Pango's layout of it does: every text of three of the board's characters
// (where one character's neighbours could change its glyph or place), and
// random longer ones, in the board's sizes and in sizes a shrinking label
// fits to.
TEST(TextGlyphs, TextsTakenFromATableMeasureAndDrawAsPangoShapesThem) {
    if (!text::usingProjectFonts()) GTEST_SKIP() << "the table serves the project's faces only";
    std::vector<std::string> marks;
    for (const char c : std::string("0123456789.,:-+%/ "))
        marks.emplace_back(1, c);
    for (const char* ideograph : {"最", "低", "高", "差"})
        marks.emplace_back(ideograph);
    const auto measures = [](const std::string& text, const TextStyle& style, bool direct) {
        text::setKeptGlyphs(direct);
        const CGSize one = NSStringSizeWithFont(text, style.font);
        const CGRect ink = NSStringInkInRect(text, CGRectMake(0.25, 1.5, 200, 30), style);
        text::setKeptGlyphs(true);
        return std::vector<double>{one.width,    one.height,     ink.origin.x,
                                   ink.origin.y, ink.size.width, ink.size.height};
    };
    const size_t before = text::textsFromTable();
    size_t compared = 0;
    for (const UIFont& font : {UIFont::systemFontOfSize(14), UIFont::boldSystemFontOfSize(16)}) {
        TextStyle style;
        style.font = font;
        for (const std::string& a : marks)
            for (const std::string& b : marks)
                for (const std::string& c : marks) {
                    const std::string text = a + b + c;
                    if (text == "   ") continue;  // inks nothing, as it should
                    ASSERT_EQ(measures(text, style, true), measures(text, style, false))
                        << "\"" << text << "\" at " << font.pointSize;
                    ++compared;
                }
    }
    unsigned seed = 12345;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    const Setting settings[] = {{1, CGRectMake(3, 4, 200, 30), CGRectZero},
                                {1.5, CGRectMake(2.3, 1.7, 190, 40), CGRectZero},
                                {2, CGRectMake(0.5, 3.25, 150, 30), CGRectMake(20, 4, 60, 20)}};
    for (int i = 0; i < 240; ++i) {
        TextStyle style;
        style.font = i % 3 ? UIFont::systemFontOfSize(8.5 + (i % 17) * 0.5)
                           : UIFont::boldSystemFontOfSize(12 + (i % 5));
        style.numberOfLines = 1;
        style.alignment = i % 2 ? NSTextAlignment::Right : NSTextAlignment::Left;
        std::string text;
        for (size_t n = 1 + next() % 18; n > 0; --n)
            text += marks[next() % marks.size()];
        EXPECT_EQ(measures(text, style, true), measures(text, style, false))
            << "\"" << text << "\"";
        const Setting& at = settings[i % 3];
        EXPECT_EQ(drawn(text, style, at, true), drawn(text, style, at, false))
            << "\"" << text << "\" at " << style.font.pointSize;
        ++compared;
    }
    // The comparison is of the table with the shaper: nearly every direct
    // text was taken from the table.
    EXPECT_GE(text::textsFromTable() - before, compared * 9 / 10);
    // Anything else is shaped: a letter, a bracket, a character beyond ASCII.
    for (const std::string text : {"1.0834a", "(12)", "12\u00a0345", "最高：1", "USD最高"}) {
        TextStyle style;
        style.font = UIFont::systemFontOfSize(14);
        const size_t taken = text::textsFromTable();
        EXPECT_EQ(measures(text, style, true), measures(text, style, false)) << text;
        EXPECT_EQ(text::textsFromTable(), taken) << text;
    }
}

// A face's pairs of marks are learnt together the first time one is met,
// not each shaped alone as a price first shows it: a size no other test
// uses meets a hundred new prices with its marks shaped once each and its
// pairs in one run, and every one of them is taken from the table.
TEST(TextGlyphs, AFaceLearnsItsPairsOfMarksInOneShaping) {
    if (!text::usingProjectFonts()) GTEST_SKIP() << "the table serves the project's faces only";
    TextStyle style;
    style.font = UIFont::systemFontOfSize(27.25);
    style.numberOfLines = 1;
    unsigned seed = 77;
    const auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    const std::string marks = "0123456789.,:-+%/ ";
    const size_t shapings = text::tableShapings();
    const size_t taken = text::textsFromTable();
    for (int i = 0; i < 100; ++i) {
        std::string text;
        for (size_t n = 2 + next() % 12; n > 0; --n)
            text += marks[next() % marks.size()];
        NSStringInkInRect(text + std::to_string(i), CGRectMake(0, 0, 400, 40), style);
    }
    EXPECT_EQ(text::textsFromTable() - taken, 100u);
    EXPECT_LE(text::tableShapings() - shapings, marks.size() + 1);
}

// A text shaped alone drawn into a recording (which keeps the text beside
// the glyphs) is drawn through Pango's layout, and the recording replays to
// the same pixels.
TEST(TextGlyphs, ARecordingTakesTheTextFromPangosLayout) {
    TextStyle style;
    style.font = UIFont::systemFontOfSize(13);
    style.color = UIColor::rgb255(30, 160, 90);
    const std::string text = "最低:1.07771";
    const auto replayed = [&](bool direct) {
        text::setKeptGlyphs(direct);
        cairo_surface_t* recording =
            cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
        cairo_t* rcr = cairo_create(recording);
        NSStringDrawInRect(rcr, text, CGRectMake(2.25, 3, 100, 20), style);
        cairo_destroy(rcr);
        text::setKeptGlyphs(true);
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 240, 60);
        cairo_t* cr = cairo_create(surface);
        cairo_scale(cr, 2, 2);
        cairo_set_source_surface(cr, recording, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_destroy(recording);
        return uitest::takeBytes(surface);
    };
    const size_t kept = text::keptLinesDrawn();
    const auto direct = replayed(true);
    EXPECT_EQ(text::keptLinesDrawn(), kept);
    EXPECT_EQ(direct, replayed(false));
    EXPECT_NE(direct, std::vector<unsigned char>(direct.size(), 0));
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

// A canvas's alpha fades a text and its background as the style's own
// alpha would, and a canvas at full alpha draws the style as it is.
TEST(TextGlyphs, ACanvasAlphaFadesTheTextAsTheStylesAlphaWould) {
    const auto drawnOn = [](double canvasAlpha, const TextStyle& style) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 120, 40);
        cairo_t* cr = cairo_create(surface);
        cairo_set_source_rgb(cr, 0.2, 0.6, 0.9);
        cairo_paint(cr);
        cairo_scale(cr, 2, 2);
        {
            Canvas canvas(cr);
            canvas.setAlpha(canvasAlpha);
            canvas.drawText("最低:1.08345", CGRectMake(1, 2, 56, 14), style);
        }
        cairo_destroy(cr);
        return uitest::takeBytes(surface);
    };
    TextStyle style;
    style.font = UIFont::systemFontOfSize(11);
    style.numberOfLines = 1;
    style.backgroundColor = UIColor::grey255(240);
    TextStyle faded = style;
    faded.color.alpha *= 0.4;
    faded.backgroundColor.alpha *= 0.4;
    EXPECT_EQ(drawnOn(0.4, style), drawnOn(1, faded));
    EXPECT_NE(drawnOn(1, style), drawnOn(1, faded));
}

// A line wider than a glyph position in Pango's units can count (a dealer's
// name of a few megabytes, from a reply) is laid out and drawn without an
// overflow in the count of its glyphs' places, and its kept glyphs draw what
// Pango's renderer draws.
TEST(TextGlyphs, ALineWiderThanPangoCountsIsDrawnWithoutOverflow) {
    std::string wide;
    for (int i = 0; i < 140000; ++i)
        wide += "汉";
    TextStyle style;
    style.font = UIFont::systemFontOfSize(17);
    for (const auto mode : {NSLineBreakMode::ByTruncatingTail, NSLineBreakMode::ByClipping}) {
        style.lineBreakMode = mode;
        const Setting at{2, CGRectMake(10, 10, 300, 30), CGRectZero};
        EXPECT_EQ(drawn(wide, style, at, true), drawn(wide, style, at, false));
    }
}

// A label of a line or two given a text of thousands of paragraphs (a
// dealer's bulletin, a server's message in an alert): only the paragraphs
// that can show are laid out, and it draws as it would with any other rest.
// Each paragraph takes a line at least, whatever ends it (CR LF once), and a
// first paragraph that wraps takes more.
TEST(TextLayout, AFewLinesOfAHugeTextLayOutOnlyTheParagraphsTheyShow) {
    std::string rest, few;
    for (int i = 0; i < 20000; ++i) {
        rest += "第" + std::to_string(i) + "行 line that follows\n";
        if (i == 4) few = rest + "and no more";
    }
    const std::vector<std::string> heads = {
        "一\r\n二\u2028三",
        "a first paragraph long enough to wrap over more than the lines shown here",
        "\n\n",
        "x\ry\u0085z\u2029",
        "12 \u2028مرحبا",  // the line after U+2028 sets the direction of the one before
    };
    TextStyle two;
    two.font = UIFont::systemFontOfSize(12);
    two.numberOfLines = 2;
    TextStyle cut = two;
    cut.numberOfLines = 3;
    cut.lineBreakMode = NSLineBreakMode::ByTruncatingTail;
    TextStyle roomy = two;
    roomy.numberOfLines = 0;  // as many as the rectangle's height holds
    const Setting at{1, CGRectMake(3, 4, 160, 46), CGRectZero};
    TextStyle one = two;
    one.numberOfLines = 1;
    for (const std::string& head : heads)
        for (const TextStyle& style : {one, two, cut, roomy}) {
            SCOPED_TRACE(head + " in " + std::to_string(style.numberOfLines) + " lines");
            const size_t before = text::bytesLaidOut();
            const auto huge = drawn(head + "\n" + rest, style, at, true);
            EXPECT_LT(text::bytesLaidOut() - before, 1000u);
            EXPECT_EQ(huge, drawn(head + "\n" + few, style, at, true));
        }
}
