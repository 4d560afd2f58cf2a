#include "platform/ui/Text.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bitset>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/Log.h"

namespace platform::ui {

namespace {

// Proportions of the Noto Sans CJK faces: the glyph box is one em, 0.88 of it
// above the baseline. Lines are 1.2 em apart with the box centred.
constexpr double kLineFactor = 1.2;
constexpr double kAscentFactor = 0.88;
constexpr double kFamilyBoxFactor = 1.0;
const char* const kFamily = "Noto Sans CJK SC";

struct TextEngine {
    PangoFontMap* fontMap = nullptr;
    PangoContext* context = nullptr;
    // A context of the same fonts and options for texts shaped without a
    // layout: its font description is set for each text, which would make
    // every layout of the main context lay itself out again.
    PangoContext* shaping = nullptr;
    PangoAttrList* noAttributes = nullptr;
    bool projectFonts = false;
};

std::filesystem::path fontDir() {
    if (const char* dir = std::getenv("KAV_FONT_DIR"); dir && *dir) return dir;
    return "/usr/share/fonts/opentype/noto";
}

TextEngine* createEngine() {
    auto* engine = new TextEngine;
    auto dir = fontDir();
    auto regular = dir / "NotoSansCJK-Regular.ttc";
    auto bold = dir / "NotoSansCJK-Bold.ttc";
    engine->fontMap = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
    if (std::filesystem::exists(regular)) {
        FcConfig* config = FcConfigCreate();
        FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(regular.c_str()));
        if (std::filesystem::exists(bold))
            FcConfigAppFontAddFile(config, reinterpret_cast<const FcChar8*>(bold.c_str()));
        pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(engine->fontMap), config);
        FcConfigDestroy(config);  // the font map holds its own reference
        engine->projectFonts = true;
    } else {
        platform::log("UI: Noto Sans CJK not found in " + dir.string() +
                      "; text uses the system fonts and may measure differently");
    }
    engine->context = pango_font_map_create_context(engine->fontMap);
    engine->shaping = pango_font_map_create_context(engine->fontMap);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    for (PangoContext* context : {engine->context, engine->shaping}) {
        pango_cairo_context_set_font_options(context, options);
        pango_context_set_round_glyph_positions(context, FALSE);
    }
    cairo_font_options_destroy(options);
    engine->noAttributes = pango_attr_list_new();
    return engine;
}

TextEngine& engine() {
    static TextEngine* instance = createEngine();
    return *instance;
}

// The font description of a size and weight, made once: a board lays out
// texts in a handful of sizes, and building a description per text was a
// good part of the cost of a short one.
const PangoFontDescription* describe(const UIFont& font) {
    struct Key {
        double size;
        bool bold;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const { return std::hash<double>()(k.size) * 2 + k.bold; }
    };
    struct Free {
        void operator()(PangoFontDescription* d) const { pango_font_description_free(d); }
    };
    static std::unordered_map<Key, std::unique_ptr<PangoFontDescription, Free>, KeyHash> kept;
    const Key key{std::max(1.0, font.pointSize), font.bold};
    // A layout copies the description it is given: the kept ones may go.
    if (kept.size() >= 256 && !kept.count(key)) kept.clear();
    auto& slot = kept[key];
    if (!slot) {
        PangoFontDescription* desc = pango_font_description_new();
        pango_font_description_set_family(desc, kFamily);
        pango_font_description_set_weight(desc, key.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        pango_font_description_set_absolute_size(desc, key.size * PANGO_SCALE);
        slot.reset(desc);
    }
    return slot.get();
}

// One run of a line as Pango's cairo renderer hands it to cairo: the glyphs
// of one font, each placed from the line's origin in two steps kept apart
// (the run's start, then the glyph's place in the run), as the renderer adds
// them, so that the sums and so the pixels come out the same.
struct GlyphRun {
    cairo_scaled_font_t* font = nullptr;
    double x = 0;  // the run's start from the line's origin (points)
    double y = 0;  // its baseline's shift, down (0: none, and none is added)
    struct Glyph {
        unsigned long index;
        double x;  // from the run's start
        double y;  // off the run's baseline (0: none, and none is added)
    };
    std::vector<Glyph> glyphs;
};

// What a block's layout depends on. `text` views the caller's text while
// the key is looked up, and the block's own copy once kept.
struct BlockKey {
    std::string_view text;
    CGFloat pointSize = 0;
    bool bold = false;
    CGSize bounds{};
    long numberOfLines = 0;
    NSLineBreakMode lineBreakMode = NSLineBreakMode::ByWordWrapping;
    bool justified = false;
    bool singleLineNoWrap = false;
    bool direct = false;  // a line may be shaped alone
    bool operator==(const BlockKey& o) const {
        return text == o.text && pointSize == o.pointSize && bold == o.bold &&
               bounds.width == o.bounds.width && bounds.height == o.bounds.height &&
               numberOfLines == o.numberOfLines && lineBreakMode == o.lineBreakMode &&
               justified == o.justified && singleLineNoWrap == o.singleLineNoWrap &&
               direct == o.direct;
    }
};

// One laid-out block of text: the Pango layout and the lines that are shown
// (none for a line shaped alone, which is drawn from its kept glyphs).
struct Block : std::enable_shared_from_this<Block> {
    // The text laid out, and what it was laid out for (the kept layouts
    // are found by it, and a held layout is checked against it).
    std::string text;
    BlockKey key;
    size_t lineCount = 0;
    double lineHeight = 0;
    double maxWidth = 0;
    int pangoWidth = 0;  // the widest line, in Pango units
    // Every line's runs are kept (below).
    bool glyphsKept = false;
    // A shown line: its width, where it inks from its origin on the baseline
    // (Pango units), and its runs ready for cairo, when every run of the
    // block could be taken as Pango's renderer would draw it (glyphsKept;
    // else the layout is drawn through Pango). The first line is kept in the
    // block itself: most blocks have one, and measuring or drawing it then
    // reads no other memory for its place.
    struct Line {
        double width = 0;
        PangoRectangle ink{};
        std::vector<GlyphRun> runs;
    };
    Line first;
    std::vector<Line> rest;
    PangoLayout* layout = nullptr;
    std::vector<PangoLayoutLine*> lines;

    const Line& line(size_t i) const { return i == 0 ? first : rest[i - 1]; }
    Line& line(size_t i) { return i == 0 ? first : rest[i - 1]; }
    Line& addLine() { return lineCount++ == 0 ? first : rest.emplace_back(); }
    Block() = default;
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    ~Block() {
        for (size_t i = 0; i < lineCount; ++i)
            for (auto& run : line(i).runs)
                cairo_scaled_font_destroy(run.font);
        if (layout) g_object_unref(layout);
    }
};

// The runs of a line as Pango's cairo renderer would draw them: false when
// the line holds anything that renderer draws otherwise (a glyph the font
// lacks, shown as a box; a run with attributes or a centred baseline).
bool keepGlyphs(PangoLayoutLine* line, std::vector<GlyphRun>& out) {
    // Counted wider than Pango's units: a line of some hundred thousand
    // glyphs (a name of megabytes from a reply) runs past what an int holds.
    int64_t xOff = 0;
    for (GSList* l = line->runs; l; l = l->next) {
        const auto* run = static_cast<const PangoGlyphItem*>(l->data);
        const PangoItem* item = run->item;
        if (item->analysis.extra_attrs ||
            (item->analysis.flags & PANGO_ANALYSIS_FLAG_CENTERED_BASELINE))
            return false;
        auto* font = PANGO_CAIRO_FONT(item->analysis.font);
        cairo_scaled_font_t* scaled = font ? pango_cairo_font_get_scaled_font(font) : nullptr;
        if (!scaled || cairo_scaled_font_status(scaled) != CAIRO_STATUS_SUCCESS) return false;
        const int width = pango_glyph_string_get_width(run->glyphs);
        xOff += run->start_x_offset;
        GlyphRun kept;
        kept.x = static_cast<double>(xOff) / PANGO_SCALE;
        kept.y = static_cast<double>(-run->y_offset) / PANGO_SCALE;
        int64_t position = 0;
        for (int i = 0; i < run->glyphs->num_glyphs; ++i) {
            const PangoGlyphInfo& gi = run->glyphs->glyphs[i];
            if (gi.glyph != PANGO_GLYPH_EMPTY) {
                if (gi.glyph & PANGO_GLYPH_UNKNOWN_FLAG) return false;
                kept.glyphs.push_back(
                    {gi.glyph, static_cast<double>(position + gi.geometry.x_offset) / PANGO_SCALE,
                     static_cast<double>(gi.geometry.y_offset) / PANGO_SCALE});
            }
            position += gi.geometry.width;
        }
        kept.font = cairo_scaled_font_reference(scaled);
        out.push_back(std::move(kept));
        xOff += width + run->end_x_offset;
    }
    return true;
}

std::atomic<size_t> gLayoutsMade{0};
std::atomic<size_t> gBytesLaidOut{0};
std::atomic<bool> gGlyphRuns{true};
std::atomic<size_t> gKeptLinesDrawn{0};
std::atomic<size_t> gShapedAlone{0};
std::atomic<size_t> gItemsKnown{0};
std::atomic<size_t> gTextsFromTable{0};
std::atomic<size_t> gTableShapings{0};
std::atomic<size_t> gBlockLookUps{0};
std::atomic<size_t> gBlockSteps{0};

// The items texts of one line in a font were itemized to, by the script
// their item took, with the characters they held. Itemizing decides each of
// these characters alone (the first face that has it, its script, and its
// direction resolving to left to right): a text made only of characters
// already found in one such item is itemized to that item again, and is
// shaped without itemizing it (a new price or time, from the characters of
// the last ones). Characters decided otherwise (brackets, which pair;
// anything but plain ASCII and the unified ideographs) are never taken.
class KnownItems {
  public:
    static bool plain(gunichar c) {
        if (c >= 0x20 && c < 0x7f) return !std::strchr("()[]{}<>", static_cast<int>(c));
        return c >= 0x4E00 && c <= 0x9FFF;
    }
    // The analysis of the text's one item, when it is known; null otherwise.
    const PangoAnalysis* find(const UIFont& font, std::string_view text) const {
        GUnicodeScript script = G_UNICODE_SCRIPT_COMMON;
        for (const char* p = text.data(); p < text.data() + text.size(); p = g_utf8_next_char(p)) {
            const GUnicodeScript s = g_unichar_get_script(g_utf8_get_char(p));
            if (s != G_UNICODE_SCRIPT_COMMON) {
                script = s;
                break;
            }
        }
        const auto it = known_.find({font.pointSize, font.bold, script});
        if (it == known_.end()) return nullptr;
        for (const char* p = text.data(); p < text.data() + text.size(); p = g_utf8_next_char(p))
            if (!it->second.chars.count(g_utf8_get_char(p))) return nullptr;
        return &it->second.item->analysis;
    }
    void learn(const UIFont& font, std::string_view text, const PangoItem& item) {
        for (const char* p = text.data(); p < text.data() + text.size(); p = g_utf8_next_char(p))
            if (!plain(g_utf8_get_char(p))) return;
        if (known_.size() >= 256) known_.clear();
        Known& known = known_[{font.pointSize, font.bold, item.analysis.script}];
        if (!known.item) known.item.reset(pango_item_copy(const_cast<PangoItem*>(&item)));
        const PangoAnalysis& a = known.item->analysis;
        if (a.font != item.analysis.font || a.level != item.analysis.level ||
            a.gravity != item.analysis.gravity || a.language != item.analysis.language)
            return;
        for (const char* p = text.data(); p < text.data() + text.size(); p = g_utf8_next_char(p))
            known.chars.insert(g_utf8_get_char(p));
    }

  private:
    struct Key {
        double size;
        bool bold;
        int script;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            return std::hash<double>()(k.size) * 31 + static_cast<size_t>(k.script) * 2 + k.bold;
        }
    };
    struct FreeItem {
        void operator()(PangoItem* i) const { pango_item_free(i); }
    };
    struct Known {
        std::unique_ptr<PangoItem, FreeItem> item;
        std::unordered_set<gunichar> chars;
    };
    std::unordered_map<Key, Known, KeyHash> known_;
};

// The board's new texts in the project's faces: a price, a time, a spread,
// "最低:" and a price. Their characters (digits, the marks that write
// numbers, a space, the unified ideographs) are shaped each to one glyph
// that keeps its advance and offsets beside its neighbours (no kerning,
// ligature or contextual form joins them), so that such a text is the
// glyphs of its characters one after another, taken from a table, instead
// of a run through the shaper (every tick writes texts never seen before).
// A character enters a face's table once it is shaped alone to one glyph;
// two characters may stand side by side once they are shaped together to
// their two glyphs, unchanged. A character or a pair that is not stays out,
// and a text holding it is shaped. Other faces than the project's may join
// such characters over longer contexts, and are always shaped.
class PlainGlyphs {
  public:
    static bool mark(gunichar c) {
        return (c >= '0' && c <= '9') || c == '.' || c == ',' || c == ':' || c == '-' || c == '+' ||
               c == '%' || c == '/' || c == ' ';
    }
    static bool takes(gunichar c) { return mark(c) || (c >= 0x4E00 && c <= 0x9FFF); }
    ~PlainGlyphs() { clear(); }
    // The text's line as shapeAlone keeps it, from the table: its glyphs
    // placed from the run's start, its ink and its width (Pango units) as
    // pango_glyph_string_extents gives them, and the font it is drawn in;
    // false (nothing filled) when a character is not one of those above, it
    // or a pair of neighbours cannot be taken from the table, or the font has
    // no scaled font. The text is valid UTF-8.
    bool shape(const PangoAnalysis& analysis, std::string_view text, GlyphRun& run,
               PangoRectangle& ink, int& width) {
        if (text.empty() || !engine().projectFonts) return false;
        chars_.clear();
        for (const char* p = text.data(); p < text.data() + text.size(); p = g_utf8_next_char(p)) {
            const gunichar c = g_utf8_get_char(p);
            if (!takes(c)) return false;
            chars_.push_back({c, static_cast<int>(p - text.data()), nullptr});
        }
        Face& face = faceOf(analysis);
        for (Char& ch : chars_)
            if (!(ch.info = face.glyph(ch.c, analysis))) return false;
        for (size_t i = 1; i < chars_.size(); ++i)
            if (!face.pairHolds(chars_[i - 1], chars_[i], analysis)) return false;
        cairo_scaled_font_t* scaled = face.scaledFont();
        if (!scaled) return false;
        // The ink is each glyph's, kept in the table, joined as
        // pango_glyph_string_extents joins them (a glyph that inks nothing
        // adds nothing), so that it is the same rectangle to the unit
        // without asking the font for every glyph of every new text.
        ink = {};
        int position = 0;
        run.glyphs.reserve(chars_.size());
        for (const Char& ch : chars_) {
            // Wider than Pango's units can count (a name of megabytes from a
            // reply): shaped by Pango, as the table could not give its sizes.
            if (position > std::numeric_limits<int>::max() / 2) return false;
            const PangoGlyphGeometry& g = ch.info->info.geometry;
            const PangoRectangle& gi = ch.info->ink;
            if (gi.width != 0 && gi.height != 0) {
                const int x = position + gi.x + g.x_offset;
                const int y = gi.y + g.y_offset;
                if (ink.width == 0 || ink.height == 0) {
                    ink = {x, y, gi.width, gi.height};
                } else {
                    const int left = std::min(ink.x, x);
                    ink.width = std::max(ink.x + ink.width, x + gi.width) - left;
                    ink.x = left;
                    const int top = std::min(ink.y, y);
                    ink.height = std::max(ink.y + ink.height, y + gi.height) - top;
                    ink.y = top;
                }
            }
            run.glyphs.push_back({ch.info->info.glyph,
                                  static_cast<double>(position + g.x_offset) / PANGO_SCALE,
                                  static_cast<double>(g.y_offset) / PANGO_SCALE});
            position += g.width;
        }
        width = position;
        run.font = scaled;
        return true;
    }

  private:
    // A character's glyph and where it inks, from the glyph's origin.
    struct Glyph {
        PangoGlyphInfo info;
        PangoRectangle ink;
    };
    struct Char {
        gunichar c;
        int offset;  // in bytes
        const Glyph* info;
    };
    static bool same(const PangoGlyphInfo& a, const PangoGlyphInfo& b) {
        return a.glyph == b.glyph && a.geometry.width == b.geometry.width &&
               a.geometry.x_offset == b.geometry.x_offset &&
               a.geometry.y_offset == b.geometry.y_offset &&
               a.attr.is_cluster_start == b.attr.is_cluster_start &&
               a.attr.is_color == b.attr.is_color;
    }
    // The text shaped to one glyph a character, each at its own place.
    static bool shaped(const PangoAnalysis& analysis, const char* text, int n, int count,
                       const int* offsets, PangoGlyphString* glyphs) {
        pango_shape_with_flags(text, n, text, n, &analysis, glyphs, PANGO_SHAPE_NONE);
        if (glyphs->num_glyphs != count) return false;
        for (int i = 0; i < count; ++i) {
            const PangoGlyph g = glyphs->glyphs[i].glyph;
            if (glyphs->log_clusters[i] != offsets[i] || g == PANGO_GLYPH_EMPTY ||
                (g & PANGO_GLYPH_UNKNOWN_FLAG))
                return false;
        }
        return true;
    }
    static int encode(gunichar c, char* out) { return g_unichar_to_utf8(c, out); }

    // What shaping depends on besides the text: the font and how the item is
    // read. The marks are kept in arrays, the ideographs in maps.
    struct Face {
        PangoAnalysis analysis;  // its font referenced while the face is kept
        std::bitset<128> known, refused;
        std::array<Glyph, 128> marks{};
        std::bitset<128 * 128> markPairsTried, markPairsHeld;
        std::unordered_map<gunichar, std::optional<Glyph>> wide;
        std::unordered_map<uint64_t, bool> widePairs;
        // The font's scaled font, owned by the font (which the face holds).
        cairo_scaled_font_t* scaled = nullptr;
        bool scaledAsked = false;

        cairo_scaled_font_t* scaledFont() {
            if (!scaledAsked) {
                scaledAsked = true;
                scaled = pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(analysis.font));
                if (scaled && cairo_scaled_font_status(scaled) != CAIRO_STATUS_SUCCESS)
                    scaled = nullptr;
            }
            return scaled;
        }

        const Glyph* glyph(gunichar c, const PangoAnalysis& a) {
            if (c < 128) {
                if (known[c]) return &marks[c];
                if (refused[c]) return nullptr;
            } else if (const auto it = wide.find(c); it != wide.end()) {
                return it->second ? &*it->second : nullptr;
            }
            char one[6];
            const int n = encode(c, one);
            const int zero = 0;
            PangoGlyphString* glyphs = pango_glyph_string_new();
            ++gTableShapings;
            const bool taken = shaped(a, one, n, 1, &zero, glyphs);
            Glyph info{};
            if (taken) {
                info.info = glyphs->glyphs[0];
                pango_font_get_glyph_extents(a.font, info.info.glyph, &info.ink, nullptr);
            }
            pango_glyph_string_free(glyphs);
            if (c < 128) {
                (taken ? known : refused).set(c);
                marks[c] = info;
                return taken ? &marks[c] : nullptr;
            }
            // Kept bounded: a screen of Chinese texts meets a few hundred.
            if (wide.size() >= 4096) {
                wide.clear();
                widePairs.clear();
            }
            auto& slot = wide[c];
            if (taken) slot = info;
            return slot ? &*slot : nullptr;
        }
        bool pairHolds(const Char& a, const Char& b, const PangoAnalysis& an) {
            const bool bothMarks = a.c < 128 && b.c < 128;
            const size_t at = a.c * 128 + b.c;
            if (bothMarks && !marksSwept) sweepMarkPairs(an);
            if (bothMarks && markPairsTried[at]) return markPairsHeld[at];
            const uint64_t key = (static_cast<uint64_t>(a.c) << 32) | b.c;
            if (!bothMarks)
                if (const auto it = widePairs.find(key); it != widePairs.end()) return it->second;
            char two[12];
            const int first = encode(a.c, two);
            const int n = first + encode(b.c, two + first);
            const int offsets[2] = {0, first};
            PangoGlyphString* glyphs = pango_glyph_string_new();
            ++gTableShapings;
            const bool held = shaped(an, two, n, 2, offsets, glyphs) &&
                              same(glyphs->glyphs[0], a.info->info) &&
                              same(glyphs->glyphs[1], b.info->info);
            pango_glyph_string_free(glyphs);
            if (bothMarks) {
                markPairsTried.set(at);
                markPairsHeld[at] = held;
            } else {
                widePairs[key] = held;
            }
            return held;
        }
        // Every pair of marks at once, the first time one is asked for: a
        // price meets a few dozen of the 18 x 18 in its first minute, each
        // a shaping of its own, and a label that fits its font meets them
        // again in every size it tries. One text holding each pair once,
        // shaped in one run, shows every pair whose two glyphs stand
        // unchanged; a pair it does not show so is left to be shaped alone
        // when met, as before.
        void sweepMarkPairs(const PangoAnalysis& an) {
            marksSwept = true;
            static const std::string kSequence = markSequence();
            for (const char c : kMarks)
                glyph(static_cast<unsigned char>(c), an);
            const int n = static_cast<int>(kSequence.size());
            PangoGlyphString* glyphs = pango_glyph_string_new();
            ++gTableShapings;
            pango_shape_with_flags(kSequence.data(), n, kSequence.data(), n, &an, glyphs,
                                   PANGO_SHAPE_NONE);
            // One glyph a character, in order, or nothing is learnt.
            bool oneEach = glyphs->num_glyphs == n;
            for (int i = 0; oneEach && i < n; ++i)
                oneEach = glyphs->log_clusters[i] == i;
            for (int i = 0; oneEach && i + 1 < n; ++i) {
                const auto a = static_cast<unsigned char>(kSequence[i]);
                const auto b = static_cast<unsigned char>(kSequence[i + 1]);
                if (known[a] && known[b] && same(glyphs->glyphs[i], marks[a].info) &&
                    same(glyphs->glyphs[i + 1], marks[b].info)) {
                    markPairsTried.set(a * 128 + b);
                    markPairsHeld.set(a * 128 + b);
                }
            }
            pango_glyph_string_free(glyphs);
        }
        bool marksSwept = false;
    };

    // The marks, and a text in which each ordered pair of them (a mark
    // beside itself too) stands exactly once: a de Bruijn sequence of
    // order two over them, opened into a line.
    static constexpr std::string_view kMarks = "0123456789.,:-+%/ ";
    static std::string markSequence() {
        const size_t k = kMarks.size();
        std::string out;
        // Lyndon words of length 1 or 2 in order, joined: for order two,
        // each symbol i followed by i j for every j above it.
        for (size_t i = 0; i < k; ++i) {
            out += kMarks[i];
            for (size_t j = i + 1; j < k; ++j) {
                out += kMarks[i];
                out += kMarks[j];
            }
        }
        out += kMarks[0];
        return out;
    }

    Face& faceOf(const PangoAnalysis& a) {
        for (auto& face : faces_) {
            const PangoAnalysis& f = face->analysis;
            if (f.font == a.font && f.script == a.script && f.language == a.language &&
                f.level == a.level && f.gravity == a.gravity && f.flags == a.flags)
                return *face;
        }
        if (faces_.size() >= 64) clear();
        auto face = std::make_unique<Face>();
        face->analysis = a;
        face->analysis.extra_attrs = nullptr;
        g_object_ref(a.font);
        faces_.push_back(std::move(face));
        return *faces_.back();
    }
    void clear() {
        for (auto& face : faces_)
            g_object_unref(face->analysis.font);
        faces_.clear();
    }

    std::vector<std::unique_ptr<Face>> faces_;
    std::vector<Char> chars_;
};

// A text of one paragraph laid out on one line is the shaping of its one
// item, as the layout would itemize and shape it: shaped so, without the
// layout's word breaks, line building and its own copies, it costs half as
// much. Only a text the layout would treat no otherwise is taken: no control
// character, tab or line separator, one item of one font, left to right, and
// no glyph the font lacks (the layout draws a box for it). False when not
// taken; the text is then laid out.
bool shapeAlone(Block& block, std::string_view text, const TextStyle& style) {
    // Pango lays out a text that is not UTF-8 with its faults replaced.
    if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7f) return false;
        // U+0085 (C2 85), U+2028 and U+2029 (E2 80 A8/A9) end a paragraph.
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x85)
            return false;
        if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
            (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xA8)
            return false;
    }
    auto& e = engine();
    static KnownItems known;
    const int length = static_cast<int>(text.size());
    GList* items = nullptr;
    const auto freeItems = [&] {
        g_list_free_full(items, [](void* i) { pango_item_free(static_cast<PangoItem*>(i)); });
    };
    const PangoAnalysis* analysis = known.find(style.font, text);
    if (!analysis) {
        pango_context_set_font_description(e.shaping, describe(style.font));
        items = pango_itemize(e.shaping, text.data(), 0, length, e.noAttributes, nullptr);
        const auto* item = items ? static_cast<const PangoItem*>(items->data) : nullptr;
        if (!item || items->next || item->offset != 0 || item->length != length ||
            item->analysis.level != 0 || item->analysis.extra_attrs ||
            (item->analysis.flags &
             (PANGO_ANALYSIS_FLAG_CENTERED_BASELINE | PANGO_ANALYSIS_FLAG_IS_ELLIPSIS |
              PANGO_ANALYSIS_FLAG_NEED_HYPHEN)) ||
            !item->analysis.font) {
            freeItems();
            return false;
        }
        known.learn(style.font, text, *item);
        analysis = &item->analysis;
    } else {
        ++gItemsKnown;
    }
    static PlainGlyphs plain;
    GlyphRun run;
    PangoRectangle ink{};
    int width = 0;
    // A text of the board's characters comes from the table, without a
    // glyph string shaped and measured; any other is shaped.
    bool taken = plain.shape(*analysis, text, run, ink, width);
    if (taken) {
        ++gTextsFromTable;
    } else {
        PangoGlyphString* glyphs = pango_glyph_string_new();
        pango_shape_with_flags(text.data(), length, text.data(), length, analysis, glyphs,
                               PANGO_SHAPE_NONE);
        cairo_scaled_font_t* scaled =
            pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(analysis->font));
        taken = scaled && cairo_scaled_font_status(scaled) == CAIRO_STATUS_SUCCESS;
        int position = 0;
        for (int i = 0; taken && i < glyphs->num_glyphs; ++i) {
            // Wider than Pango's units can count: laid out by Pango whole.
            if (position > std::numeric_limits<int>::max() / 2) {
                taken = false;
                break;
            }
            const PangoGlyphInfo& gi = glyphs->glyphs[i];
            if (gi.glyph != PANGO_GLYPH_EMPTY) {
                if (gi.glyph & PANGO_GLYPH_UNKNOWN_FLAG) taken = false;
                run.glyphs.push_back(
                    {gi.glyph, static_cast<double>(position + gi.geometry.x_offset) / PANGO_SCALE,
                     static_cast<double>(gi.geometry.y_offset) / PANGO_SCALE});
            }
            position += gi.geometry.width;
        }
        if (taken) {
            PangoRectangle logical;
            pango_glyph_string_extents(glyphs, analysis->font, &ink, &logical);
            width = logical.width;
            run.font = scaled;
        }
        pango_glyph_string_free(glyphs);
    }
    if (taken) {
        const double w = static_cast<double>(width) / PANGO_SCALE;
        Block::Line& line = block.addLine();
        line.width = w;
        line.ink = ink;
        block.maxWidth = w;
        block.pangoWidth = width;
        run.font = cairo_scaled_font_reference(run.font);
        line.runs.push_back(std::move(run));
        block.glyphsKept = true;
        ++gShapedAlone;
    }
    freeItems();
    return taken;
}

// The text's first `count` paragraphs, without the break after the last:
// Pango's own paragraphs, each ended by a line feed, a carriage return, CR LF
// or U+2029. (U+2028 and U+0085 break a line within a paragraph, whose
// direction the text after them may set.)
std::string_view firstParagraphs(std::string_view text, long count) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    long breaks = 0;
    for (size_t i = 0; i < n; ++i) {
        size_t length = 0;
        if (p[i] == '\n') {
            length = 1;
        } else if (p[i] == '\r') {
            length = i + 1 < n && p[i + 1] == '\n' ? 2 : 1;
        } else if (p[i] == 0xE2 && i + 2 < n && p[i + 1] == 0x80 && p[i + 2] == 0xA9) {
            length = 3;
        }
        if (length == 0) continue;
        if (++breaks == count) return text.substr(0, i);
        i += length - 1;
    }
    return text;
}

void layoutBlock(Block& block, std::string_view text, CGSize bounds, const TextStyle& style,
                 bool singleLineNoWrap, bool direct) {
    auto& e = engine();
    ++gLayoutsMade;
    block.lineHeight = style.font.lineHeight();

    const double width = bounds.width;
    const double height = bounds.height;
    long maxLines = style.numberOfLines > 0 ? style.numberOfLines : -1;
    if (height > 0) {
        long fit = std::max(1L, static_cast<long>(std::floor(height / block.lineHeight + 1e-6)));
        maxLines = maxLines < 0 ? fit : std::min(maxLines, fit);
    }
    // Every paragraph takes a line at least, and is laid out whatever
    // follows it (its direction, its wrapping, its truncation): the lines
    // shown come from the first paragraphs only. Pango is given no more, or a label of
    // a line or two given thousands of lines would lay out all of them.
    if (maxLines > 0) text = firstParagraphs(text, maxLines);
    const auto mode = style.lineBreakMode;
    const bool truncating = mode == NSLineBreakMode::ByTruncatingTail ||
                            mode == NSLineBreakMode::ByTruncatingHead ||
                            mode == NSLineBreakMode::ByTruncatingMiddle;
    const bool noWrap = singleLineNoWrap || (maxLines == 1 && !truncating);
    // Not limited in width, a paragraph is laid out on one line.
    if (direct && (width <= 0 || noWrap) && shapeAlone(block, text, style)) return;

    block.layout = pango_layout_new(e.context);
    pango_layout_set_font_description(block.layout, describe(style.font));
    pango_layout_set_text(block.layout, text.data(), static_cast<int>(text.size()));
    gBytesLaidOut.store(gBytesLaidOut.load(std::memory_order_relaxed) + text.size(),
                        std::memory_order_relaxed);
    if (width > 0 && !noWrap) {
        pango_layout_set_width(block.layout, static_cast<int>(width * PANGO_SCALE));
        pango_layout_set_wrap(block.layout, mode == NSLineBreakMode::ByCharWrapping
                                                ? PANGO_WRAP_CHAR
                                                : PANGO_WRAP_WORD_CHAR);
        if (style.alignment == NSTextAlignment::Justified)
            pango_layout_set_justify(block.layout, TRUE);
        if (truncating) {
            // Head and middle truncation apply to single lines; a wrapped block
            // truncates its last line at the tail.
            PangoEllipsizeMode ell = PANGO_ELLIPSIZE_END;
            if (maxLines == 1 && mode == NSLineBreakMode::ByTruncatingHead)
                ell = PANGO_ELLIPSIZE_START;
            if (maxLines == 1 && mode == NSLineBreakMode::ByTruncatingMiddle)
                ell = PANGO_ELLIPSIZE_MIDDLE;
            pango_layout_set_ellipsize(block.layout, ell);
            if (maxLines > 0) pango_layout_set_height(block.layout, static_cast<int>(-maxLines));
        }
    }
    // Walked along the list: asking for each line by its index walks the
    // list from its head every time, which for a text of thousands of lines
    // took longer than anything else the text costs.
    long i = 0;
    for (GSList* node = pango_layout_get_lines_readonly(block.layout); node;
         node = node->next, ++i) {
        if (maxLines > 0 && i >= maxLines) break;
        auto* line = static_cast<PangoLayoutLine*>(node->data);
        // The ink comes with the logical extents at no extra shaping.
        PangoRectangle ink, logical;
        pango_layout_line_get_extents(line, &ink, &logical);
        double w = static_cast<double>(logical.width) / PANGO_SCALE;
        block.lines.push_back(line);
        Block::Line& shown = block.addLine();
        shown.width = w;
        shown.ink = ink;
        block.maxWidth = std::max(block.maxWidth, w);
        block.pangoWidth = std::max(block.pangoWidth, logical.width);
    }
    // Kept while the layout is at hand: a block is drawn again and again (a
    // neighbour's change crossing it, a price that comes back), and handing
    // its glyphs to cairo straight spares walking Pango's renderer each time.
    block.glyphsKept = true;
    for (size_t i = 0; i < block.lines.size() && block.glyphsKept; ++i)
        block.glyphsKept = keepGlyphs(block.lines[i], block.line(i).runs);
}

size_t hashOf(const BlockKey& k) {
    size_t h = std::hash<std::string_view>()(k.text);
    const auto mix = [&h](uint64_t v) { h = (h ^ v) * 0x9e3779b97f4a7c15ULL; };
    // A size's bits, mixed in without hashing them as bytes each: equal
    // sizes (0 and -0 too) give equal bits.
    const auto bits = [](double d) {
        uint64_t u = 0;
        if (d != 0) std::memcpy(&u, &d, sizeof u);
        return u;
    };
    mix(bits(k.pointSize));
    mix(bits(k.bounds.width));
    mix(bits(k.bounds.height));
    mix(static_cast<uint64_t>(k.numberOfLines));
    mix(static_cast<uint64_t>(k.lineBreakMode) * 16 + k.bold * 8 + k.justified * 4 +
        k.singleLineNoWrap * 2 + k.direct);
    // The index takes the low bits: the high ones, which the products
    // filled, are folded down.
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 32;
    return h;
}

// The blocks laid out lately, the last few hundred. A price board lays out
// the same few texts again and again (a label measured, then drawn; prices
// that come back), and shaping a text is most of what drawing it costs.
//
// A look-up comes once or twice a label a frame, after the frame's other work
// has pushed the cache's memory out of the processor's caches: what it costs
// is the memory it touches. So the index is one flat array of (hash, slot,
// block) entries probed in line, each block holds its own key, and recency
// is a stamp a slot, not a list spliced on every hit: a look-up touches the
// index entry, the block it finds and its stamp. A text not kept
// takes the slot least recently used, found by scanning the stamps (rare,
// next to shaping the text).
class BlockCache {
  public:
    static constexpr size_t kCapacity = 512;

    std::shared_ptr<const Block> get(std::string_view text, CGSize bounds, const TextStyle& style,
                                     bool singleLineNoWrap, bool direct) {
        // A text of one paragraph that fits its width on one line is laid out
        // the same whether it may wrap, be truncated or neither, and in any
        // height that holds a line: one layout serves the label's measuring
        // (at the size it shrinks to fit), its drawing and its size to fit.
        if (oneParagraph(text)) {
            TextStyle plain;
            plain.font.pointSize = style.font.pointSize;
            plain.font.bold = style.font.bold;
            const bool unlimited = singleLineNoWrap || bounds.width <= 0;
            // In a room, the text's line is taken where it was laid out
            // already (measured or shrunk to fit); a text of one line to show
            // (a label's) is laid out on one line first, as it mostly fits;
            // any other is laid out in its room straight away, as it may not.
            auto block = unlimited || style.numberOfLines == 1
                             ? lookUp(text, CGSizeZero, plain, true, direct)
                             : find(text, CGSizeZero, plain, true, direct);
            const bool oneLine = block && (singleLineNoWrap || block->lineCount == 1);
            if (oneLine && (bounds.width <= 0 || singleLineNoWrap ||
                            block->pangoWidth <= static_cast<int>(bounds.width * PANGO_SCALE)))
                return block;
        }
        return lookUp(text, bounds, style, singleLineNoWrap, direct);
    }

  private:
    // No line feed, carriage return, U+2028, U+2029 or U+0085 in the text:
    // looked for in one pass (it is asked at every look-up).
    static bool oneParagraph(std::string_view text) {
        const auto* p = reinterpret_cast<const unsigned char*>(text.data());
        const size_t n = text.size();
        for (size_t i = 0; i < n; ++i) {
            const unsigned char c = p[i];
            if (c == '\n' || c == '\r') return false;
            if (c == 0xC2 && i + 1 < n && p[i + 1] == 0x85) return false;
            if (c == 0xE2 && i + 2 < n && p[i + 1] == 0x80 && (p[i + 2] & 0xFE) == 0xA8)
                return false;
        }
        return true;
    }

    static BlockKey keyOf(std::string_view text, CGSize bounds, const TextStyle& style,
                          bool singleLineNoWrap, bool direct) {
        return {text,
                style.font.pointSize,
                style.font.bold,
                bounds,
                style.numberOfLines,
                style.lineBreakMode,
                style.alignment == NSTextAlignment::Justified,
                singleLineNoWrap,
                direct};
    }

    // Four times the slots, so that probes stay short (most texts on a
    // board are new prices: probes that find nothing run to a free entry).
    static constexpr size_t kIndexSize = 2048;
    static constexpr size_t kMask = kIndexSize - 1;
    static_assert(kIndexSize >= 4 * kCapacity && (kIndexSize & kMask) == 0);
    // An entry points at its block, which holds its key: a look-up that
    // finds a text reads its entry and the block it hands back, and no slot.
    struct IndexEntry {
        uint32_t hash = 0;
        uint32_t slot = 0;  // its slot + 1; 0: free
        const Block* block = nullptr;
    };

    static void counted(std::atomic<size_t>& n) {
        // Written under the cache's lock; read by tests and benchmarks.
        n.store(n.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }

    // The index position holding `key`, or kIndexSize; `counting` the
    // entries looked at for a look-up's sake.
    size_t position(const BlockKey& key, uint32_t hash, bool counting = true) {
        for (size_t i = hash & kMask;; i = (i + 1) & kMask) {
            const IndexEntry& e = index_[i];
            if (e.slot == 0) return kIndexSize;
            if (counting) counted(gBlockSteps);
            if (e.hash == hash && e.block->key == key) return i;
        }
    }
    // Empties index position `at`, moving back the entries probed past it.
    void unindex(size_t at) {
        size_t hole = at;
        for (size_t j = (at + 1) & kMask; index_[j].slot != 0; j = (j + 1) & kMask) {
            const size_t home = index_[j].hash & kMask;
            if (((j - home) & kMask) >= ((j - hole) & kMask)) {
                index_[hole] = index_[j];
                hole = j;
            }
        }
        index_[hole] = {};
    }

    std::shared_ptr<const Block> find(std::string_view text, CGSize bounds, const TextStyle& style,
                                      bool singleLineNoWrap, bool direct) {
        const BlockKey key = keyOf(text, bounds, style, singleLineNoWrap, direct);
        counted(gBlockLookUps);
        const size_t at = position(key, static_cast<uint32_t>(hashOf(key)));
        if (at == kIndexSize) return nullptr;
        used_[index_[at].slot - 1] = ++tick_;
        return index_[at].block->shared_from_this();
    }
    std::shared_ptr<const Block> lookUp(std::string_view text, CGSize bounds,
                                        const TextStyle& style, bool singleLineNoWrap,
                                        bool direct) {
        const BlockKey key = keyOf(text, bounds, style, singleLineNoWrap, direct);
        const auto hash = static_cast<uint32_t>(hashOf(key));
        counted(gBlockLookUps);
        if (const size_t at = position(key, hash); at != kIndexSize) {
            used_[index_[at].slot - 1] = ++tick_;
            return index_[at].block->shared_from_this();
        }
        auto block = std::make_shared<Block>();
        block->text.assign(text);
        block->key = key;
        block->key.text = block->text;
        layoutBlock(*block, text, bounds, style, singleLineNoWrap, direct);
        size_t slot = slots_.size();
        if (slot < kCapacity) {
            slots_.emplace_back();
            used_.push_back(0);
        } else {
            // Its entry goes while the slot still holds the block it points at.
            slot = leastRecentlyUsed();
            const BlockKey& old = slots_[slot]->key;
            unindex(position(old, static_cast<uint32_t>(hashOf(old)), false));
        }
        slots_[slot] = block;
        used_[slot] = ++tick_;
        size_t i = hash & kMask;
        while (index_[i].slot != 0)
            i = (i + 1) & kMask;
        index_[i] = {hash, static_cast<uint32_t>(slot + 1), block.get()};
        return block;
    }

    // The slot least recently used. Once the cache is full every new text
    // (every new price) takes one, and scanning all the stamps for it was
    // most of what keeping a new text cost: so one scan finds the oldest
    // few dozen, oldest last, and the next texts take them in turn. A slot
    // used since the scan is passed over; any other is the least recently
    // used of all, as every slot the scan left was newer than it and
    // stamps only grow.
    size_t leastRecentlyUsed() {
        while (!victims_.empty()) {
            const Victim v = victims_.back();
            victims_.pop_back();
            if (used_[v.slot] == v.stamp) return v.slot;
        }
        victims_.clear();
        for (size_t i = 0; i < used_.size(); ++i)
            victims_.push_back({used_[i], static_cast<uint32_t>(i)});
        const auto newer = [](const Victim& a, const Victim& b) { return a.stamp > b.stamp; };
        const size_t keep = std::min(kVictims, victims_.size());
        std::nth_element(victims_.begin(), victims_.end() - keep, victims_.end(), newer);
        victims_.erase(victims_.begin(), victims_.end() - keep);
        std::sort(victims_.begin(), victims_.end(), newer);
        const Victim v = victims_.back();
        victims_.pop_back();
        return v.slot;
    }
    static constexpr size_t kVictims = 64;
    struct Victim {
        uint64_t stamp;
        uint32_t slot;
    };
    std::vector<Victim> victims_;

    std::vector<IndexEntry> index_ = std::vector<IndexEntry>(kIndexSize);
    // The blocks kept, which the index entries point at.
    std::vector<std::shared_ptr<const Block>> slots_;
    std::vector<uint64_t> used_;  // each slot's last use
    uint64_t tick_ = 0;
};

// `direct`: a line may be shaped alone (it has then no Pango layout); off,
// the text is laid out by Pango, as drawing through Pango's renderer needs.
std::shared_ptr<const Block> laidOut(std::string_view text, CGSize bounds, const TextStyle& style,
                                     bool singleLineNoWrap, bool direct = gGlyphRuns) {
    static std::mutex mutex;
    static BlockCache cache;
    std::lock_guard lock(mutex);
    return cache.get(text, bounds, style, singleLineNoWrap, direct);
}

}  // namespace

struct TextLayoutAccess {
    // The layout of the text in the room and style: the one held when it is
    // that text's, else looked up and held. The reference lasts while the
    // holder holds it.
    static const Block& layout(TextLayoutHeld& h, std::string_view text, CGSize room,
                               const TextStyle& style, bool direct) {
        const bool justified = style.alignment == NSTextAlignment::Justified;
        const auto* held = static_cast<const Block*>(h.layout_.get());
        if (held && h.room_.width == room.width && h.room_.height == room.height &&
            h.pointSize_ == style.font.pointSize && h.bold_ == style.font.bold &&
            h.numberOfLines_ == style.numberOfLines && h.lineBreakMode_ == style.lineBreakMode &&
            h.justified_ == justified && h.direct_ == direct && held->text == text)
            return *held;
        auto block = laidOut(text, room, style, false, direct);
        h.room_ = room;
        h.pointSize_ = style.font.pointSize;
        h.bold_ = style.font.bold;
        h.numberOfLines_ = style.numberOfLines;
        h.lineBreakMode_ = style.lineBreakMode;
        h.justified_ = justified;
        h.direct_ = direct;
        h.layout_ = std::move(block);
        return *static_cast<const Block*>(h.layout_.get());
    }
};

namespace text {
bool usingProjectFonts() {
    return engine().projectFonts;
}
size_t layoutsMade() {
    return gLayoutsMade;
}

size_t bytesLaidOut() {
    return gBytesLaidOut;
}
void setKeptGlyphs(bool on) {
    gGlyphRuns = on;
}
size_t keptLinesDrawn() {
    return gKeptLinesDrawn;
}
size_t linesShapedAlone() {
    return gShapedAlone;
}
size_t itemsKnown() {
    return gItemsKnown;
}
size_t textsFromTable() {
    return gTextsFromTable;
}
size_t tableShapings() {
    return gTableShapings;
}
size_t blockLookUps() {
    return gBlockLookUps;
}
size_t blockSteps() {
    return gBlockSteps;
}
}  // namespace text

UIFont UIFont::fontWithName(const std::string& name, CGFloat size) {
    return {name, size, name.find("Bold") != std::string::npos};
}

UIFont UIFont::preferredFontForTextStyle(const std::string& style) {
    if (style == "UIFontTextStyleHeadline") return boldSystemFontOfSize(17);
    if (style == "UIFontTextStyleSubheadline") return systemFontOfSize(15);
    if (style == "UIFontTextStyleFootnote") return systemFontOfSize(13);
    if (style == "UIFontTextStyleCaption1") return systemFontOfSize(12);
    return systemFontOfSize(17);
}

CGFloat UIFont::lineHeight() const {
    return pointSize * kLineFactor;
}
CGFloat UIFont::ascender() const {
    return pointSize * ((kLineFactor - kFamilyBoxFactor) / 2 + kAscentFactor);
}
CGFloat UIFont::descender() const {
    return ascender() - lineHeight();
}

CGSize NSStringSizeWithFont(std::string_view text, const UIFont& font) {
    if (text.empty()) return CGSizeZero;
    TextStyle style;
    style.font = font;
    const auto block = laidOut(text, CGSizeZero, style, true);
    return {block->maxWidth, block->lineCount * block->lineHeight};
}

namespace {

// The size a text last shrank to in a font and room: the next text there (a
// board's next low or high price) most likely takes it too, and is shaped
// in it first, the size the label then draws it in.
struct FitRoom {
    double pointSize;
    bool bold;
    double least;
    double width;
    bool operator==(const FitRoom&) const = default;
};
struct FitRoomHash {
    size_t operator()(const FitRoom& r) const {
        return std::hash<double>()(r.pointSize) ^ std::hash<double>()(r.width) * 31 ^
               std::hash<double>()(r.least) * 7 ^ r.bold;
    }
};

}  // namespace

UIFont NSStringFittingFont(std::string_view text, const UIFont& font, CGFloat least,
                           CGFloat width) {
    // Kept under a lock, as the layouts are: text may be measured off the
    // main thread (an image drawn in the background).
    static std::mutex mutex;
    static std::unordered_map<FitRoom, double, FitRoomHash> lastFitted;
    const FitRoom room{font.pointSize, font.bold, least, width};
    const auto taken = [&](const UIFont& fitted) {
        std::lock_guard lock(mutex);
        if (lastFitted.size() >= 256 && !lastFitted.count(room)) lastFitted.clear();
        lastFitted[room] = fitted.pointSize;
        return fitted;
    };
    // Unhinted, a text's width grows with the size in proportion, but for
    // the rounding of each glyph's advance and offset to 1/1024 of a point:
    // a size whose width so found lies clearly on one side of the room is
    // decided without shaping the text in it; only a close one is shaped.
    // That rounding is at most half a unit a glyph at each of two sizes,
    // scaled by their ratio (measured: under 0.73 of a unit a glyph between
    // sizes within a factor of four); a glyph per byte at most bounds it with
    // room to spare. Other faces than the project's may track or hint by
    // size: they keep a quarter of a point of doubt, and are measured from
    // the font's own size only.
    const bool proportional = engine().projectFonts;
    const double bytes = static_cast<double>(text.size());
    const auto slack = [&](double size, double from) {
        if (!proportional) return 0.25 + bytes / 512;
        return (bytes * (1 + std::max(1.0, size / from)) + 8) / 1024;
    };
    // The text is shaped once, in the size the last text in this room took
    // (or the font's own); every other size is found from that width.
    double anchor = font.pointSize;
    if (proportional) {
        std::lock_guard lock(mutex);
        if (auto it = lastFitted.find(room); it != lastFitted.end() && it->second > 0)
            anchor = it->second;
    }
    const double measured = NSStringSizeWithFont(text, font.fontWithSize(anchor)).width;
    const auto widthAt = [&](double size) {
        if (size == anchor) return measured;
        const double expected = measured * size / anchor;
        if (expected <= width - slack(size, anchor)) return expected;
        if (expected > width + slack(size, anchor)) return expected;
        return NSStringSizeWithFont(text, font.fontWithSize(size)).width;
    };
    if (widthAt(font.pointSize) <= width) return taken(font);
    // The sizes tried, largest first: top, top - 0.5, ... down to `least`.
    const double top = std::floor(font.pointSize * 2) / 2;
    if (top < least) return taken(font.fontWithSize(least));
    long last = 0;
    while (top - 0.5 * (last + 1) >= least)
        ++last;
    const auto fits = [&](long k) { return widthAt(top - 0.5 * k) <= width; };
    // The size that fits is looked for from the one the width points to,
    // then checked against its neighbours: a shaping or none where trying
    // each size down from the top shaped a dozen (a price board's low and
    // high shrink on every new price).
    const double estimate = measured > 0 ? anchor * width / measured : 0;
    long k = estimate > 0 ? std::clamp(static_cast<long>(std::ceil((top - estimate) * 2)), 0L, last)
                          : last;
    if (fits(k)) {
        while (k > 0 && fits(k - 1))
            --k;
        return taken(font.fontWithSize(top - 0.5 * k));
    }
    while (++k <= last)
        if (fits(k)) return taken(font.fontWithSize(top - 0.5 * k));
    return taken(font.fontWithSize(least));
}

CGSize NSStringBoundingSize(std::string_view text, CGSize bounds, const TextStyle& style) {
    if (text.empty()) return CGSizeZero;
    const auto block = laidOut(text, bounds, style, false);
    return {block->maxWidth, block->lineCount * block->lineHeight};
}

namespace {

// Where NSStringDrawInRect puts the block's lines in the rectangle: the top
// of the first, and each line's origin on its baseline.
struct Placement {
    double top = 0;
    double used = 0;
    CGPoint origin(const Block& block, size_t i, const CGRect& rect, const TextStyle& style) const {
        double x = rect.origin.x;
        const double room = rect.size.width - block.line(i).width;
        if (rect.size.width > 0) {
            if (style.alignment == NSTextAlignment::Center) x += room / 2;
            if (style.alignment == NSTextAlignment::Right) x += room;
        }
        return {x, top + i * block.lineHeight + style.font.ascender()};
    }
};

Placement place(const Block& block, const CGRect& rect, const TextStyle& style) {
    Placement p;
    p.used = block.lineCount * block.lineHeight;
    p.top = rect.origin.y;
    if (style.centerVertically && rect.size.height > 0) p.top += (rect.size.height - p.used) / 2;
    return p;
}

// A line's kept runs drawn from the current point, as Pango's cairo
// renderer draws them: the origin read back from cairo (where the point was
// rounded to), each run in its own font, inside the caller's saved state.
void showGlyphs(cairo_t* cr, const std::vector<GlyphRun>& runs) {
    double x0 = 0, y0 = 0;
    cairo_get_current_point(cr, &x0, &y0);
    constexpr size_t kOnStack = 64;
    cairo_glyph_t onStack[kOnStack];
    std::vector<cairo_glyph_t> onHeap;
    for (const GlyphRun& run : runs) {
        const double baseX = x0 + run.x;
        const double baseY = run.y != 0 ? y0 + run.y : y0;
        cairo_glyph_t* glyphs = onStack;
        if (run.glyphs.size() > kOnStack) {
            onHeap.resize(run.glyphs.size());
            glyphs = onHeap.data();
        }
        for (size_t k = 0; k < run.glyphs.size(); ++k) {
            const auto& g = run.glyphs[k];
            glyphs[k] = {g.index, baseX + g.x, g.y != 0 ? baseY + g.y : baseY};
        }
        // The font is the only state set; the caller's saved state, restored
        // after the text, puts back the one it had.
        cairo_set_scaled_font(cr, run.font);
        cairo_show_glyphs(cr, glyphs, static_cast<int>(run.glyphs.size()));
    }
}

bool clipsToRect(const CGRect& rect, const TextStyle& style) {
    return style.lineBreakMode == NSLineBreakMode::ByClipping && rect.size.width > 0 &&
           rect.size.height > 0;
}

}  // namespace

// Texts of more lines than this draw only the lines within the clip; the
// labels of the screens (a line or a few) are drawn whole, without asking.
constexpr size_t kLinesAlwaysDrawn = 64;

CGSize NSStringDrawInRect(cairo_t* cr, std::string_view text, const CGRect& rect,
                          const TextStyle& style, TextLayoutHeld* held) {
    if (text.empty()) return CGSizeZero;
    std::shared_ptr<const Block> blockKept;
    const Block* found = held ? &TextLayoutAccess::layout(*held, text, rect.size, style, gGlyphRuns)
                              : (blockKept = laidOut(text, rect.size, style, false)).get();
    const bool kept = found->glyphsKept && gGlyphRuns &&
                      !cairo_surface_has_show_text_glyphs(cairo_get_target(cr));
    // A target that keeps the text beside the glyphs (a recording) takes it
    // from Pango's renderer, and so from a Pango layout (not held: the
    // screen's drawing needs none).
    if (!kept && !found->layout) {
        blockKept = laidOut(text, rect.size, style, false, false);
        found = blockKept.get();
    }
    const Block& block = *found;
    const Placement at = place(block, rect, style);
    cairo_save(cr);
    if (!style.backgroundColor.isClear()) {
        UIColorSetCairoSource(cr, style.backgroundColor);
        cairo_rectangle(cr, rect.origin.x, at.top,
                        rect.size.width > 0 ? rect.size.width : block.maxWidth, at.used);
        cairo_fill(cr);
    }
    if (clipsToRect(rect, style)) {
        cairo_rectangle(cr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height);
        cairo_clip(cr);
    }
    UIColorSetCairoSource(cr, style.color);
    // A long text (a bulletin of thousands of lines scrolled in its view)
    // draws only the lines whose ink reaches into the clip: the others would
    // be handed to cairo and thrown away at every frame.
    const bool culled = block.lineCount > kLinesAlwaysDrawn;
    double clipTop = 0, clipBottom = 0;
    if (culled) {
        double x1, x2;
        cairo_clip_extents(cr, &x1, &clipTop, &x2, &clipBottom);
    }
    for (size_t i = 0; i < block.lineCount; ++i) {
        const CGPoint o = at.origin(block, i, rect, style);
        if (culled) {
            const PangoRectangle& r = block.line(i).ink;
            const double top = o.y + static_cast<double>(r.y) / PANGO_SCALE;
            const double bottom = top + static_cast<double>(r.height) / PANGO_SCALE;
            // A unit more each way for the glyphs' rounding onto pixels.
            if (r.height <= 0 || bottom + 1 < clipTop || top - 1 > clipBottom) continue;
        }
        cairo_move_to(cr, o.x, o.y);
        if (kept) {
            showGlyphs(cr, block.line(i).runs);
            ++gKeptLinesDrawn;
        } else {
            pango_cairo_show_layout_line(cr, block.lines[i]);
        }
    }
    cairo_restore(cr);
    return {block.maxWidth, at.used};
}

CGRect NSStringInkInRect(std::string_view text, const CGRect& rect, const TextStyle& style,
                         TextLayoutHeld* held) {
    if (text.empty()) return CGRectNull;
    std::shared_ptr<const Block> blockKept;
    const Block& block = held ? TextLayoutAccess::layout(*held, text, rect.size, style, gGlyphRuns)
                              : *(blockKept = laidOut(text, rect.size, style, false));
    const Placement at = place(block, rect, style);
    CGRect ink = CGRectNull;
    if (!style.backgroundColor.isClear())
        ink = CGRectMake(rect.origin.x, at.top,
                         rect.size.width > 0 ? rect.size.width : block.maxWidth, at.used);
    for (size_t i = 0; i < block.lineCount; ++i) {
        const PangoRectangle& r = block.line(i).ink;
        if (r.width <= 0 || r.height <= 0) continue;  // spaces only
        const CGPoint o = at.origin(block, i, rect, style);
        ink = CGRectUnion(ink, CGRectMake(o.x + static_cast<double>(r.x) / PANGO_SCALE,
                                          o.y + static_cast<double>(r.y) / PANGO_SCALE,
                                          static_cast<double>(r.width) / PANGO_SCALE,
                                          static_cast<double>(r.height) / PANGO_SCALE));
    }
    if (clipsToRect(rect, style) && !CGRectIsNull(ink)) ink = CGRectIntersection(ink, rect);
    return CGRectIsNull(ink) || CGRectIsEmpty(ink) ? CGRectNull : ink;
}

size_t UTF8Length(std::string_view text) {
    // Counted without a branch, which the compiler turns into a few wide
    // instructions a block: a text field counts its text at every key.
    size_t n = 0;
    for (unsigned char c : text)
        n += (c & 0xC0) != 0x80;
    return n;
}

size_t UTF8Offset(std::string_view text, size_t index) {
    size_t n = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (n == index) return i;
            ++n;
        }
    }
    return text.size();
}

std::string UTF8Replace(std::string_view text, NSRange range, std::string_view replacement) {
    size_t begin = UTF8Offset(text, range.location);
    size_t end = UTF8Offset(text, range.location + range.length);
    std::string out(text.substr(0, begin));
    out += replacement;
    out += text.substr(end);
    return out;
}

}  // namespace platform::ui
