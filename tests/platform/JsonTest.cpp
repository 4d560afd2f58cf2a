#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "platform/Json.h"

using platform::Json;
using platform::parseJson;

namespace {

Json parsed(const std::string& text) {
    auto json = parseJson(text);
    EXPECT_TRUE(json.has_value()) << text;
    return json.value_or(Json());
}

TEST(Json, ParsesStrictlyWithoutThrowing) {
    const Json j = parsed(R"({"b":1,"a":[true,null,"x"],"c":{"d":-2.5}})");
    EXPECT_EQ(j.dump(), R"({"b":1,"a":[true,null,"x"],"c":{"d":-2.5}})");  // member order kept

    for (const char* bad : {"", " ", "{", "{} x", "{'a':1}", "[1,]", "{\"a\":1,}", "// c\n{}",
                            "NaN", "[1e400]", "{\"a\" 1}", "\"\xff\xfe\"", "01", "[.5]"}) {
        std::optional<Json> result;
        EXPECT_NO_THROW(result = parseJson(bad)) << bad;
        EXPECT_FALSE(result.has_value()) << '"' << bad << '"';
    }
}

// A NUL byte has no place in JSON text (inside a string it must be escaped),
// yet the tree parser takes it for the end of the input: the text before it
// would be read as the whole, and whatever follows it never looked at.
TEST(Json, RefusesATextWithANulByteAnywhere) {
    using namespace std::string_literals;
    for (const std::string& text :
         {"{\"event\":\"4002\"}\0"s, "{\"event\":\"4002\"}\0{\"event\":\"1003\"}"s,
          "[1]\0junk"s, "\0{}"s, "{\"a\":\"x\0y\"}"s}) {
        EXPECT_FALSE(parseJson(text).has_value()) << text.size();
    }
    // Escaped, it is an ordinary character of a string.
    EXPECT_EQ(parsed(R"({"a":"x\u0000y"})")["a"].get<std::string>(), "x\0y"s);
}

TEST(Json, RefusesDeepNestingButNotBracketsInsideStrings) {
    const auto nested = [](int depth) {
        return std::string(static_cast<size_t>(depth), '[') +
               std::string(static_cast<size_t>(depth), ']');
    };
    EXPECT_TRUE(parseJson(nested(200)).has_value());
    EXPECT_FALSE(parseJson(nested(100000)).has_value());
    const std::string brackets(5000, '[');
    EXPECT_TRUE(parseJson("[\"" + brackets + "\", \"\\\"" + brackets + "\"]").has_value());
}

TEST(Json, MemberTreatsNullAsMissing) {
    const Json j = parsed(R"({"a":1,"n":null,"s":"x"})");
    ASSERT_NE(platform::jsonMember(j, "a"), nullptr);
    EXPECT_EQ(*platform::jsonMember(j, "a"), 1);
    EXPECT_EQ(platform::jsonMember(j, "n"), nullptr);
    EXPECT_EQ(platform::jsonMember(j, "missing"), nullptr);
    EXPECT_EQ(platform::jsonMember(parsed("[1,2]"), "a"), nullptr);
    EXPECT_EQ(platform::jsonMember(parsed("\"a\""), "a"), nullptr);
}

TEST(Json, IntegerConversionAcceptsNumbersAndNumericTexts) {
    const Json j = parsed(R"({
        "int": 12, "neg": -12.9, "pos": 12.9, "text": "12abc", "negText": "-7",
        "plusText": "+3", "word": "abc", "empty": "", "decimalText": "1.9", "yes": true,
        "no": false, "list": [1], "obj": {"a": 1}, "huge": 18446744073709551615,
        "big": 1e300, "small": -1e300, "bigText": "99999999999999999999", "null": null})");
    const std::pair<const char*, int64_t> cases[] = {
        {"int", 12},
        {"neg", -12},
        {"pos", 12},
        {"text", 12},
        {"negText", -7},
        {"plusText", 3},
        {"word", 0},
        {"empty", 0},
        {"decimalText", 1},
        {"yes", 1},
        {"no", 0},
        {"list", 0},
        {"obj", 0},
        {"null", 0},
        {"missing", 0},
        {"huge", std::numeric_limits<int64_t>::max()},
        {"big", std::numeric_limits<int64_t>::max()},
        {"small", std::numeric_limits<int64_t>::min()},
        {"bigText", std::numeric_limits<int64_t>::max()},
    };
    for (const auto& [key, expected] : cases) {
        EXPECT_EQ(platform::jsonInteger(j, key), expected) << key;
    }
}

TEST(Json, DoubleConversionReadsTheLeadingNumber) {
    const Json j = parsed(R"({
        "num": 1.5, "int": 7, "text": "1.5abc", "frac": "-.5", "exp": "1e3x", "word": "abc",
        "nan": "nan", "inf": "-inf", "dot": ".", "yes": true, "list": [2]})");
    const std::pair<const char*, double> cases[] = {
        {"num", 1.5},    {"int", 7.0},  {"text", 1.5}, {"frac", -0.5},
        {"exp", 1000.0}, {"word", 0.0}, {"nan", 0.0},  {"inf", 0.0},
        {"dot", 0.0},    {"yes", 1.0},  {"list", 0.0}, {"missing", 0.0},
    };
    for (const auto& [key, expected] : cases) {
        EXPECT_EQ(platform::jsonDouble(j, key), expected) << key;
    }
}

TEST(Json, TextConversionGivesTheShortestNumberText) {
    const Json j = parsed(R"({
        "s": "abc", "i": 5, "f": 5.0, "g": 1.1, "q": -0.25, "u": 18446744073709551615,
        "t": true, "z": false, "n": null, "a": [], "o": {}, "e": ""})");
    EXPECT_EQ(platform::jsonText(j, "s"), "abc");
    EXPECT_EQ(platform::jsonText(j, "i"), "5");
    EXPECT_EQ(platform::jsonText(j, "f"), "5");
    EXPECT_EQ(platform::jsonText(j, "g"), "1.1");
    EXPECT_EQ(platform::jsonText(j, "q"), "-0.25");
    EXPECT_EQ(platform::jsonText(j, "u"), "18446744073709551615");
    EXPECT_EQ(platform::jsonText(j, "t"), "1");
    EXPECT_EQ(platform::jsonText(j, "z"), "0");
    EXPECT_EQ(platform::jsonText(j, "e"), "");
    for (const char* none : {"n", "a", "o", "missing"}) {
        EXPECT_FALSE(platform::jsonText(j, none).has_value()) << none;
        EXPECT_EQ(platform::jsonString(j, none), "") << none;
    }
    EXPECT_EQ(platform::jsonString(j, "g"), "1.1");
}

}  // namespace
