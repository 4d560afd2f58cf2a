#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/JsonDocument.h"
#include "tests/support/TestSupport.h"

using platform::Json;
using platform::JsonDocument;
using platform::JsonView;

namespace {

// The text with the room behind it that the fast parser reads ahead into.
std::string padded(std::string text) {
    text.reserve(text.size() + JsonDocument::kPadding);
    return text;
}

std::shared_ptr<const JsonDocument> fast(const std::string& text) {
    return JsonDocument::parse(text);
}

// Same value, same kinds all the way down. Integers may differ in
// signedness only where it shows nowhere: "-0" is a signed zero in the tree
// and an unsigned one here, and every conversion reads both as 0.
void expectSameTree(const Json& a, const Json& b, const std::string& where) {
    if (a.is_number_integer() && b.is_number_integer()) {
        ASSERT_EQ(a.dump(), b.dump()) << where;
        ASSERT_TRUE(a.type() == b.type() || a.get<int64_t>() == 0) << where;
        return;
    }
    ASSERT_EQ(a.type(), b.type()) << where;
    ASSERT_EQ(a.dump(), b.dump()) << where;
    if (a.is_object()) {
        auto ib = b.begin();
        for (auto ia = a.begin(); ia != a.end(); ++ia, ++ib) {
            ASSERT_EQ(ia.key(), ib.key()) << where;
            expectSameTree(ia.value(), ib.value(), where + "." + ia.key());
        }
    } else if (a.is_array()) {
        for (size_t i = 0; i < a.size(); ++i)
            expectSameTree(a[i], b[i], where + "[" + std::to_string(i) + "]");
    }
}

const std::vector<std::string> kTexts = {
    R"({"event":"4002","msgOrder":"12","data":{"children":[{"symbolCode":"EURUSD","priceCurrent":"1.10100"}]}})",
    R"({"a":1,"a":2,"b":{"c":[1,-1,1.5,-0,-0.0,1e2,1E-2,9223372036854775807,18446744073709551615]}})",
    R"({"a":null,"b":true,"c":false,"d":"\u0000\u00e9\ud83d\ude00\n","e":{},"f":[]})",
    R"({"k":"x","k":null})",
    R"([1,2,3])",
    R"("just a text")",
    R"(  {"spaced" :  [ 1 , { "x" : "y" } ] }  )",
    "{\"\xe4\xbd\xa0\":\"\xe5\xa5\xbd\"}",
    // What the fast parser leaves to the tree parser, which decides.
    "\xEF\xBB\xBF{\"bom\":1}",
    R"({"big":18446744073709551616,"small":-9223372036854775809})",
    R"({"deep":)" + std::string(300, '[') + std::string(300, ']') + "}",
    // Refused by both.
    R"({"a":1,})",
    R"({"a":"\ud800"})",
    "{\"a\":\"\xc0\x80\"}",
    R"({"a":1e400})",
    R"({'a':1})",
    R"({"a":01})",
    R"({"a":1} x)",
    "",
};

}  // namespace

// Every text the fast parser takes reads as the tree parser reads it; what
// it does not take is left to the tree parser, never read otherwise.
TEST(JsonDocument, TakesOnlyWhatTheTreeParserTakesAndBuildsTheSameTree) {
    size_t taken = 0;
    for (const std::string& t : kTexts) {
        const std::string text = padded(t);
        const auto reference = platform::parseJson(text);
        const auto document = fast(text);
        if (!document) continue;
        ++taken;
        ASSERT_TRUE(reference) << "taken by the fast parser only: " << text;
        expectSameTree(document->root().toJson(), *reference, text);
    }
    EXPECT_GE(taken, 8u);  // the ordinary texts take the fast road
    EXPECT_FALSE(fast(padded("\xEF\xBB\xBF{}")));
    EXPECT_FALSE(fast(padded(R"({"big":18446744073709551616})")));
    const std::string deep = padded(std::string(257, '[') + std::string(257, ']'));
    EXPECT_FALSE(fast(deep));
    EXPECT_FALSE(platform::parseJson(deep));
    const std::string deepest = padded(std::string(256, '[') + std::string(256, ']'));
    EXPECT_EQ(static_cast<bool>(fast(deepest)), static_cast<bool>(platform::parseJson(deepest)));
}

// A member is read as jsonMember reads the tree: the later of a key given
// twice, null as missing; and its conversions are the tree's.
TEST(JsonDocument, MembersAndConversionsMatchTheTree) {
    const std::string text = padded(
        R"({"dup":"1","dup":"2","nul":"x","nul":null,"n":-12.75,"u":18446744073709551615,)"
        R"("i":-9007199254740993,"s":"3.5abc","t":true,"f":false,"z":-0,"e":"","o":{"p":1},"a":[1]})");
    const auto document = fast(text);
    ASSERT_TRUE(document);
    const JsonView root = document->root();
    const Json tree = *platform::parseJson(text);
    EXPECT_EQ(root.member("dup").string(), "2");
    EXPECT_FALSE(root.member("nul"));
    EXPECT_FALSE(root.member("missing"));
    EXPECT_FALSE(root.member("n").member("x"));
    for (const char* key :
         {"dup", "nul", "n", "u", "i", "s", "t", "f", "z", "e", "o", "a", "missing"}) {
        const JsonView v = root.member(key);
        const Json* j = platform::jsonMember(tree, key);
        EXPECT_EQ(static_cast<bool>(v), j != nullptr) << key;
        EXPECT_EQ(v.integer(), platform::jsonInteger(j)) << key;
        const double dv = v.number(), dj = platform::jsonDouble(j);
        EXPECT_TRUE(dv == dj && std::signbit(dv) == std::signbit(dj)) << key;
        EXPECT_EQ(v.text(), platform::jsonText(j)) << key;
    }
    std::vector<std::string> keys;
    root.forEachMember([&](std::string_view k, JsonView) { keys.emplace_back(k); });
    EXPECT_EQ(keys.size(), 14u);  // every member as written, the repeated ones too
    int sum = 0;
    root.member("a").forEachElement([&](JsonView e) { sum += static_cast<int>(e.integer()); });
    EXPECT_EQ(sum, 1);
}

// A document still held keeps what it read while the next messages are
// parsed; one let go is parsed into again, and reads the new message whole.
TEST(JsonDocument, ADocumentHeldKeepsItsValuesWhileLaterOnesAreParsed) {
    const std::string first = padded(R"({"event":"4002","price":"1.10100"})");
    const std::string second = padded(R"({"event":"4016","price":"2.5","more":[1,2,3]})");
    const std::string third = padded(R"({"event":"x"})");
    const auto kept = fast(first);
    ASSERT_TRUE(kept);
    const void* keptAt = kept.get();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        auto later = fast(second);
        ASSERT_TRUE(later);
        EXPECT_NE(later.get(), keptAt);
        EXPECT_EQ(later->root().member("price").string(), "2.5");
        later.reset();
        const auto last = fast(third);
        ASSERT_TRUE(last);
        EXPECT_EQ(last->root().member("event").string(), "x");
        EXPECT_FALSE(last->root().member("price"));
        EXPECT_EQ(kept->root().member("event").string(), "4002");
        EXPECT_EQ(kept->root().member("price").string(), "1.10100");
    }
    // A text beyond what a kept document is for reads as well.
    std::string big = R"({"pad":")" + std::string(100 * 1024, 'a') + R"(","event":"big"})";
    const auto large = fast(padded(big));
    ASSERT_TRUE(large);
    EXPECT_EQ(large->root().member("event").string(), "big");
    EXPECT_EQ(kept->root().member("price").string(), "1.10100");
}

// A document read one message after another is parsed into again while
// its reader alone holds it; one held elsewhere keeps what it read, and the
// reader goes on in a document of its own. A text the fast parser refuses
// leaves a document for the next one.
TEST(JsonDocument, ParsedIntoAgainOnlyWhileNobodyElseHoldsIt) {
    const std::string first = padded(R"({"event":"4002","price":"1.10100"})");
    const std::string second = padded(R"({"event":"4016","more":[1,2,3]})");
    const std::string refused = padded(R"({"event":)");
    std::shared_ptr<const JsonDocument> doc;
    // The first text goes where parse puts it, shared with the thread; the
    // reader then goes on in a document of its own, parsed into again.
    ASSERT_TRUE(JsonDocument::parseInto(first, doc));
    ASSERT_TRUE(JsonDocument::parseInto(first, doc));
    const JsonDocument* const at = doc.get();
    ASSERT_TRUE(JsonDocument::parseInto(second, doc));
    EXPECT_EQ(doc.get(), at);
    EXPECT_EQ(doc->root().member("event").string(), "4016");
    EXPECT_FALSE(doc->root().member("price"));

    const auto held = doc;
    ASSERT_TRUE(JsonDocument::parseInto(first, doc));
    EXPECT_NE(doc.get(), at);
    EXPECT_EQ(doc->root().member("price").string(), "1.10100");
    EXPECT_EQ(held->root().member("event").string(), "4016");
    int sum = 0;
    held->root().member("more").forEachElement(
        [&](JsonView e) { sum += static_cast<int>(e.integer()); });
    EXPECT_EQ(sum, 6);

    const JsonDocument* const own = doc.get();
    EXPECT_FALSE(JsonDocument::parseInto(refused, doc));
    ASSERT_TRUE(doc);
    ASSERT_TRUE(JsonDocument::parseInto(second, doc));
    EXPECT_EQ(doc.get(), own);
    EXPECT_EQ(doc->root().member("event").string(), "4016");
    EXPECT_TRUE(doc->keptForNext());
    // One that read a large text is not worth keeping.
    const std::string big =
        padded(R"({"pad":")" + std::string(JsonDocument::kKeptDocumentText, 'a') + R"("})");
    ASSERT_TRUE(JsonDocument::parseInto(big, doc));
    EXPECT_FALSE(doc->keptForNext());
}

// Walked in place, a long object of prices, numbers and nested values reads
// member for member what the tree reads: every key in order, and every
// price the same double bit for bit (the plain decimals read inline, the
// rest as the tree's conversions read them).
TEST(JsonDocument, AWalkOverManyMembersReadsEveryPriceAsTheTreeDoes) {
    kavtest::XorShift next{0x9E3779B97F4A7C15ull};
    std::string text = "{";
    for (int m = 0; m < 400; ++m) {
        if (m) text += ',';
        text += "\"k" + std::to_string(m) + "\":";
        std::string price = next() % 5 == 0 ? "-" : "";
        for (size_t i = 0, whole = 1 + next() % 6; i < whole; ++i)
            price += static_cast<char>('0' + next() % 10);
        price += '.';
        for (size_t i = 0, fraction = next() % 11; i < fraction; ++i)
            price += static_cast<char>('0' + next() % 10);
        static const char* kTails[] = {"", "", "", "e-2", "x", "1234567890"};
        price += kTails[next() % std::size(kTails)];
        switch (next() % 6) {
            case 0:  // a number of the document's own
                text += std::to_string(next() % 100000) + "." + std::to_string(next() % 1000) +
                        (next() % 2 ? "e-2" : "");
                break;
            case 1:
                text += R"({"in":[1,-2,3.5],"s":")" + price + "\"}";
                break;
            default:
                text += "\"" + price + "\"";
                break;
        }
    }
    text += "}";
    text = padded(text);
    const auto reference = platform::parseJson(text);
    ASSERT_TRUE(reference) << text;
    const auto document = fast(text);
    ASSERT_TRUE(document);
    auto expected = reference->items().begin();
    size_t seen = 0;
    document->root().forEachMember([&](std::string_view key, const JsonView& value) {
        ASSERT_EQ(key, expected.key());
        const double got = value.number(), want = platform::jsonDouble(&expected.value());
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << key << " " << expected.value().dump();
        ++expected;
        ++seen;
    });
    EXPECT_EQ(seen, reference->size());
}

// Every short text of digits, points, signs and letters reads in place as the
// tree reads it, bit for bit: the eight-byte reading of a price takes only
// what it reads exactly as the plain decimal reading does.
TEST(JsonDocument, ShortPricesReadInPlaceAsTheTreeReadsThem) {
    kavtest::XorShift next{0xD1B54A32D192ED03ull};
    static const char kChars[] = "0123456789012345678901234567890123456789......-eE+x ";
    std::vector<std::string> prices = {"1.10100", "0.5",   "00.50", "99999.99",  "9999999.9",
                                       "1.",      ".5",    "1..5",  "12345678",  "1.2345678",
                                       "-1.5",    "1.5e3", "1.5x",  "0.0000001", "7.0000000"};
    for (int round = 0; round < 60000; ++round) {
        std::string price;
        for (size_t i = 0, n = 1 + next() % 10; i < n; ++i)
            price += kChars[next() % (sizeof kChars - 1)];
        prices.push_back(price);
    }
    std::string text = "[";
    for (const std::string& price : prices)
        text += (text.size() > 1 ? ",\"" : "\"") + price + "\"";
    text = padded(text + "]");
    const auto reference = platform::parseJson(text);
    ASSERT_TRUE(reference);
    const auto document = fast(text);
    ASSERT_TRUE(document);
    size_t i = 0;
    document->root().forEachElement([&](const JsonView& value) {
        const double got = value.number(), want = platform::jsonDouble(&(*reference)[i]);
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0)
            << prices[i] << " " << got << " " << want;
        ++i;
    });
    EXPECT_EQ(i, prices.size());
}

namespace {

using platform::JsonFlatText;

// What a flat read holds, one line a member, as the document holds the same
// text: the top's members but "data", the later "data"'s members but
// "children", the elements of its later "children".
std::string flatLines(const JsonFlatText& flat) {
    std::string out;
    for (const auto& m : flat.members())
        out += "top " + std::string(m.key) + "=" + std::string(m.value) + "\n";
    out += flat.hasNest() ? "nest\n" : "no nest\n";
    for (const auto& m : flat.nestMembers())
        out += "nest " + std::string(m.key) + "=" + std::string(m.value) + "\n";
    size_t i = 0;
    flat.forEachElement([&](const JsonFlatText::Member* from, const JsonFlatText::Member* to) {
        for (; from != to; ++from)
            out += "element " + std::to_string(i) + " " + std::string(from->key) + "=" +
                   std::string(from->value) + "\n";
        ++i;
    });
    return out + "elements " + std::to_string(i) + "\n";
}

std::string documentLines(const JsonView& root) {
    std::string out;
    JsonView data;
    root.forEachMember([&](std::string_view key, const JsonView& value) {
        if (key == "data") {
            data = value;
            return;
        }
        out += "top " + std::string(key) + "=" + std::string(value.string()) + "\n";
    });
    out += data.isObject() ? "nest\n" : "no nest\n";
    JsonView children;
    data.forEachMember([&](std::string_view key, const JsonView& value) {
        if (key == "children") {
            children = value;
            return;
        }
        out += "nest " + std::string(key) + "=" + std::string(value.string()) + "\n";
    });
    size_t i = 0;
    children.forEachElement([&](const JsonView& element) {
        element.forEachMember([&](std::string_view key, const JsonView& value) {
            out += "element " + std::to_string(i) + " " + std::string(key) + "=" +
                   std::string(value.string()) + "\n";
        });
        ++i;
    });
    return out + "elements " + std::to_string(i) + "\n";
}

// Whether the flat read takes the text; when it does, the document takes it
// too and holds the same strings in the same places.
bool flatReadAsTheDocument(JsonFlatText& flat, const std::string& text) {
    if (!flat.read(text, "data", "children")) return false;
    const auto document = fast(text);
    EXPECT_TRUE(document) << "read flat, refused by the document: " << text;
    if (!document) return true;
    EXPECT_EQ(flatLines(flat), documentLines(document->root())) << text;
    return true;
}

const std::string kQuotePush =
    R"({"event":"4002","token":"","msgOrder":"0","retCode":"0","message":"","encrypt":"0",)"
    R"("data":{"children":[{"symbolCode":"EURUSD","bid":"1.10100","priceCurrent":"1.10100",)"
    R"("lastTime":"2026-01-05 10:00:00"},{"symbolCode":"黄金","priceHighest":"2350.5"}]}})";

}  // namespace

// A package of plain texts is read flat, with the strings the document
// reads; any other text is left to the document, which decides.
TEST(JsonFlatText, ReadsOnlyPlainTextsTheDocumentTakesAndTheSameStrings) {
    JsonFlatText flat;
    const std::vector<std::string> read = {
        kQuotePush,
        R"(  { "event" : "4002" ,"data" : { "children" : [ { "a" : "1" } , { } ] } }  )",
        "{\"event\":\"4002\",\n\t\"data\":{\"x\":\"y\",\"children\":[]}\r\n}",
        R"({"k":"1","k":"2","data":{"children":[{"a":"1"}],"children":[{"b":"2"}]}})",
        R"({"data":{"children":[{"a":"1"}]},"data":{"z":"3"}})",
        R"({"event":"4002"})",
        R"({})",
        "{\"\xe4\xbd\xa0\":\"\xe5\xa5\xbd\",\"data\":{}}",
    };
    std::string text;
    for (const std::string& t : read) {
        text = padded(t);
        EXPECT_TRUE(flatReadAsTheDocument(flat, text)) << t;
    }
    // The views are the text's own bytes.
    ASSERT_EQ(flat.members().size(), 1u);
    EXPECT_EQ(flat.members()[0].value.data(), text.data() + 8);
    EXPECT_EQ(flat.members()[0].value, "\xe5\xa5\xbd");

    const std::vector<std::string> left = {
        // Taken by the document, but not plain texts.
        R"({"event":"4002","msgOrder":12})",
        R"({"event":"4002","data":{"children":[{"bid":1.1}]}})",
        R"({"event":null})",
        R"({"event":"a\"b"})",
        R"({"ev\u0065nt":"4002"})",
        R"({"data":"x"})",
        R"({"data":{"children":{"a":"1"}}})",
        R"({"data":{"children":["a"]}})",
        R"({"data":{"children":[{"a":{"b":"c"}}]}})",
        R"({"data":{"other":["a"]}})",
        R"({"other":{"a":"b"}})",
        R"(["a"])",
        R"("a")",
        // Refused by the document as well.
        R"({"a":"1",})",
        R"({"a":"1"}{"b":"2"})",
        R"({"a":"1"} x)",
        R"({"a" "1"})",
        R"({"a":"1" "b":"2"})",
        R"({"a":"1")",
        R"({"data":{"children":[{"a":"1"}]})",
        R"({"data":{"children":[{"a":"1"},]}})",
        R"({"a":})",
        // A value followed by a colon, then more than a skip past it checks.
        R"({"event":"4002","event":"4ildren":[1,Y"x",{"a":[]}],"p[1,ara":null0,"b":[-1]}})",
        "{\"a\":\"\x01\"}",
        "{\"a\":\"\xc0\x80\"}",
        "{\"a\":\"1",
        "",
    };
    for (const std::string& t : left)
        EXPECT_FALSE(flatReadAsTheDocument(flat, padded(t))) << t;
}

// Texts near a quote push, a few bytes changed at random: whatever the flat
// read takes, the document takes and reads the same.
TEST(JsonFlatText, ChangedQuotePushesAreReadFlatOnlyAsTheDocumentReadsThem) {
    JsonFlatText flat;
    std::mt19937 random(20261209);
    const std::string bytes = "{}[]:,\" \\ax0.\n";
    size_t readFlat = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string text = kQuotePush;
        const int edits = 1 + static_cast<int>(random() % 3);
        for (int e = 0; e < edits; ++e) {
            const size_t at = random() % text.size();
            const char c = bytes[random() % bytes.size()];
            switch (random() % 3) {
                case 0:
                    text[at] = c;
                    break;
                case 1:
                    text.insert(text.begin() + static_cast<std::ptrdiff_t>(at), c);
                    break;
                default:
                    text.erase(at, 1);
                    break;
            }
        }
        if (flatReadAsTheDocument(flat, padded(text))) ++readFlat;
        if (HasFailure()) break;
    }
    // Edits inside a string's bytes leave a text that is still read flat.
    EXPECT_GT(readFlat, 400u);
}
