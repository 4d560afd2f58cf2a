#pragma once

// Received JSON read in place. A JsonDocument is the parsed text of one
// message, kept as the fast parser laid it out; a JsonView is one value in
// it. Reading a few members this way costs a fraction of building the
// ordered tree (platform::Json), which is made only when someone asks for it
// (toJson), with the same result parseJson gives for the same text.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Json.h"
#include "platform/Strings.h"

namespace platform {

class JsonDocument;

// Whether a key is the literal: its bytes compared at the literal's length,
// known here, in a few word compares rather than a call.
template <size_t N>
inline bool isKey(std::string_view key, const char (&literal)[N]) {
    return key.size() == N - 1 && __builtin_memcmp(key.data(), literal, N - 1) == 0;
}

class JsonView {
  public:
    // Missing.
    JsonView() = default;

    // Present and not JSON null (null counts as missing, as in jsonMember).
    explicit operator bool() const { return kind_ != Kind::Missing && kind_ != Kind::Null; }
    bool isNull() const { return kind_ == Kind::Null; }
    bool isObject() const { return kind_ == Kind::Object; }
    bool isArray() const { return kind_ == Kind::Array; }
    bool isString() const { return kind_ == Kind::String; }
    bool isNumber() const { return kind_ == Kind::Number; }

    // The member under the key; with a key given twice, the later value, as
    // the tree keeps it. Missing when this is no object.
    JsonView member(std::string_view key) const {
        JsonView found;
        forEachMember([&](std::string_view k, const JsonView& v) {
            if (k == key) found = v;
        });
        return found.kind_ == Kind::Null ? JsonView() : found;
    }
    // A string's bytes; empty for anything else.
    std::string_view string() const {
        return kind_ == Kind::String ? stringAt(index_) : std::string_view();
    }

    // The reply value conversions of jsonInteger, jsonDouble and jsonText.
    // A message order's plain digits are read here.
    int64_t integer() const {
        return kind_ == Kind::String ? integerOfText(stringAt(index_)) : anyInteger();
    }
    // A price's plain decimal is read here, inline beside its neighbours.
    double number() const {
        return kind_ == Kind::String ? numberOfText(stringAt(index_)) : anyNumber();
    }
    // The same conversions of a string value's text, wherever it lies:
    // eight bytes must be readable from its start.
    static int64_t integerOfText(std::string_view s) {
        int64_t value = 0;
        size_t i = 0;
        while (i < s.size() && i < 18 && static_cast<unsigned char>(s[i] - '0') < 10)
            value = value * 10 + (s[i++] - '0');
        if (i > 0 && !(i == 18 && i < s.size() && static_cast<unsigned char>(s[i] - '0') < 10))
            return value;
        return leadingInteger(s);
    }
    static double numberOfText(std::string_view s) {
        double plain;
        if (eightByteDecimal(s, plain) || plainDecimal(s, plain)) return plain;
        return leadingDouble(s);
    }
    std::optional<std::string> text() const;
    // jsonText's rule without a copy: false when there is no text form.
    bool textInto(std::string& out) const;

    // An array's elements, or an object's members (key and value), in
    // order. Walked here, where the visitor is seen whole: a quote's
    // members cost a few loads each, not a call and a copy.
    template <typename F>
    void forEachElement(F&& f) const {
        if (kind_ != Kind::Array) return;
        const uint32_t end = closing();
        for (uint32_t i = index_ + 1; i < end;) {
            const JsonView value(tape_, strings_, i);
            f(value);
            i = value.after();
        }
    }
    template <typename F>
    void forEachMember(F&& f) const {
        if (kind_ != Kind::Object) return;
        const uint32_t end = closing();
        for (uint32_t i = index_ + 1; i < end;) {
            const std::string_view key = stringAt(i);
            const JsonView value(tape_, strings_, i + 1);
            f(key, value);
            i = value.after();
        }
    }

    // The value as the tree parse makes it: non-negative integers unsigned,
    // negative ones signed, a key given twice keeps its first place and its
    // last value.
    Json toJson() const;

  private:
    friend class JsonDocument;

    // The fast parser's tape, as it lays a document out: one word a value
    // (two for a number, whose bits follow in the next), its kind in the
    // top byte; a string's word the place of its length and bytes in the
    // string buffer; an object's or array's the index just past its
    // closing word.
    enum class Kind : uint8_t { Missing, Null, Object, Array, String, Number, Bool };
    static constexpr uint64_t kPayload = 0x00FFFFFFFFFFFFFFull;
    static constexpr Kind kindOf(uint64_t word) {
        switch (static_cast<char>(word >> 56)) {
            case 'n':
                return Kind::Null;
            case '{':
                return Kind::Object;
            case '[':
                return Kind::Array;
            case '"':
                return Kind::String;
            case 'l':
            case 'u':
            case 'd':
                return Kind::Number;
            case 't':
            case 'f':
                return Kind::Bool;
            default:
                return Kind::Missing;
        }
    }

    JsonView(const uint64_t* tape, const uint8_t* strings, uint32_t index)
        : tape_(tape), strings_(strings), index_(index), kind_(kindOf(tape[index])) {}

    std::string_view stringAt(uint32_t index) const {
        const uint8_t* at = strings_ + (tape_[index] & kPayload);
        uint32_t length;
        __builtin_memcpy(&length, at, sizeof length);
        return {reinterpret_cast<const char*>(at + sizeof length), length};
    }
    // A price of at most eight bytes, digits with one point between them
    // ("1.10100"), read eight bytes at once: the parser's string buffer, and
    // a received text, have room behind every string. Its digits and power
    // of ten are those plainDecimal takes, divided the same way, so the
    // double is the same; false for anything else, which plainDecimal reads.
    static bool eightByteDecimal(std::string_view s, double& out) {
        static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};
        const size_t n = s.size();
        if (n < 3 || n > 8) return false;
        uint64_t word;
        __builtin_memcpy(&word, s.data(), sizeof word);
        const uint64_t used = n == 8 ? ~0ull : (1ull << (8 * n)) - 1;
        word &= used;
        // The first point: its byte is zero after the exclusive or.
        const uint64_t points = word ^ (0x2E2E2E2E2E2E2E2Eull & used);
        const uint64_t zero =
            (points - 0x0101010101010101ull) & ~points & 0x8080808080808080ull & used;
        if (!zero) return false;
        const size_t point = static_cast<size_t>(__builtin_ctzll(zero)) / 8;
        if (point == 0 || point == n - 1) return false;
        // The digits without the point, the first one in the lowest byte.
        const uint64_t below = (1ull << (8 * point)) - 1;
        const uint64_t digits = (word & below) | ((word >> 8) & ~below & (used >> 8));
        const size_t count = n - 1;
        // Zeros ahead of them up to eight, so that they read as an eight-digit number.
        const uint64_t padded =
            (digits << (8 * (8 - count))) | (0x3030303030303030ull >> (8 * count));
        if ((((padded & 0xF0F0F0F0F0F0F0F0ull) |
              (((padded + 0x0606060606060606ull) & 0xF0F0F0F0F0F0F0F0ull) >> 4)) !=
             0x3333333333333333ull))
            return false;
        uint64_t v = padded - 0x3030303030303030ull;
        v = (v * 10) + (v >> 8);
        v = (((v & 0x000000FF000000FFull) * 0x000F424000000064ull) +
             (((v >> 16) & 0x000000FF000000FFull) * 0x0000271000000001ull)) >>
            32;
        out = static_cast<double>(static_cast<uint32_t>(v)) / kPowers[n - 1 - point];
        return true;
    }
    // The closing word of an object or array.
    uint32_t closing() const { return static_cast<uint32_t>(tape_[index_]) - 1; }
    // The index of the value that follows this one.
    uint32_t after() const {
        switch (kind_) {
            case Kind::Object:
            case Kind::Array:
                return static_cast<uint32_t>(tape_[index_]);
            case Kind::Number:
                return index_ + 2;
            default:
                return index_ + 1;
        }
    }
    // A number's bits, in the word after its own.
    uint64_t bits() const { return tape_[index_ + 1]; }
    char tag() const { return static_cast<char>(tape_[index_] >> 56); }
    static Json treeOf(const JsonView& v);
    double anyNumber() const;
    int64_t anyInteger() const;

    const uint64_t* tape_ = nullptr;
    const uint8_t* strings_ = nullptr;
    uint32_t index_ = 0;
    Kind kind_ = Kind::Missing;
};

// A received text read in one pass, with no document made, when it has
// the shape every package has: an object whose values are all strings,
// but for one member (`nest`) holding an object of the same kind, whose
// one member (`list`) is an array of such objects with no nesting at all.
// Every string without an escape: each value is then the bytes of the
// text between its quotes, read where they lie. Anything else (another
// shape, another kind of value, an escape, a text that is not JSON) is
// not read: the caller parses it into a JsonDocument, which decides. A
// text read here is one the JsonDocument takes, with the same strings.
class JsonFlatText {
  public:
    struct Member {
        std::string_view key;
        std::string_view value;
    };

    // `text` must have JsonDocument::kPadding readable bytes behind it.
    // The views stay good while the text does and until the next read.
    bool read(std::string_view text, std::string_view nest, std::string_view list);
    // The object's own members, in order, `nest` left out.
    const std::vector<Member>& members() const { return members_; }
    // Whether `nest` is there (the later one, given twice), and its
    // members other than `list`.
    bool hasNest() const { return hasNest_; }
    const std::vector<Member>& nestMembers() const { return nestMembers_; }
    // The elements of `list` (of the later one, given twice): element i
    // holds the members from ends()[i - 1] (0 for the first) to ends()[i].
    const std::vector<Member>& elementMembers() const { return elementMembers_; }
    const std::vector<uint32_t>& ends() const { return ends_; }
    // The members of each element in turn.
    template <typename F>
    void forEachElement(F&& f) const {
        uint32_t from = 0;
        for (const uint32_t end : ends_) {
            f(elementMembers_.data() + from, elementMembers_.data() + end);
            from = end;
        }
    }

  private:
    std::vector<Member> members_;
    std::vector<Member> nestMembers_;
    std::vector<Member> elementMembers_;
    std::vector<uint32_t> ends_;
    bool hasNest_ = false;
};

class JsonDocument {
  public:
    // Parses `text`, whose buffer must hold at least kPadding readable bytes
    // beyond its end (a std::string with that much capacity to spare).
    // Null when the fast parser does not take the text as it is (not JSON,
    // nested more than 256 deep, an integer beyond 64 bits, a byte order
    // mark): the caller then reads it with parseJson, which decides.
    static std::shared_ptr<const JsonDocument> parse(std::string_view text);
    // The same, parsed into `document` itself when `document` is held
    // nowhere else (its earlier values then go), else into a document put
    // in its place (the one parse would take, when `document` is null):
    // whoever reads many messages one after the other keeps one document
    // for them, with no count taken on it for each.
    // False when the fast parser does not take the text; `document` then
    // holds nothing to read, and is there for the next text.
    static bool parseInto(std::string_view text, std::shared_ptr<const JsonDocument>& document);
    static constexpr size_t kPadding = 64;

    JsonView root() const {
        // The root word first, the document's value after it.
        return JsonView(tape_, strings_, 1);
    }
    // Whether the document is worth keeping for the next message: it never
    // read a text larger than the ones a document is kept for (a document
    // takes some ten times its text, and keeps what it grew to).
    bool keptForNext() const { return largest_ <= kKeptDocumentText; }
    static constexpr size_t kKeptDocumentText = 64 * 1024;

    JsonDocument();
    ~JsonDocument();
    JsonDocument(const JsonDocument&) = delete;
    JsonDocument& operator=(const JsonDocument&) = delete;

    struct Impl;

  private:
    // Parses into this document, which nobody reads meanwhile.
    bool parseText(std::string_view text);

    std::unique_ptr<Impl> impl_;
    // Where the parser laid out the last text, read by root().
    const uint64_t* tape_ = nullptr;
    const uint8_t* strings_ = nullptr;
    size_t largest_ = 0;
};

}  // namespace platform
