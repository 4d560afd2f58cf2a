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

#include "platform/Json.h"

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
    JsonView member(std::string_view key) const;
    // A string's bytes; empty for anything else.
    std::string_view string() const;

    // The reply value conversions of jsonInteger, jsonDouble and jsonText.
    int64_t integer() const;
    double number() const;
    std::optional<std::string> text() const;
    // jsonText's rule without a copy: false when there is no text form.
    bool textInto(std::string& out) const;

    // An array's elements, or an object's members (key and value), in order.
    template <typename F>
    void forEachElement(F&& f) const {
        forEach([](void* ctx, const std::string_view&,
                   const JsonView& v) { (*static_cast<F*>(ctx))(v); },
                &f, false);
    }
    template <typename F>
    void forEachMember(F&& f) const {
        forEach([](void* ctx, const std::string_view& k,
                   const JsonView& v) { (*static_cast<F*>(ctx))(k, v); },
                &f, true);
    }

    // The value as the tree parse makes it: non-negative integers unsigned,
    // negative ones signed, a key given twice keeps its first place and its
    // last value.
    Json toJson() const;

  private:
    friend struct JsonViewAccess;
    // By reference: the visitor reads the few words it needs of what the
    // walk has just written, rather than a copy that waits for those writes.
    using Visit = void (*)(void*, const std::string_view&, const JsonView&);
    void forEach(Visit visit, void* ctx, bool members) const;

    // The fast parser's element: a document and a place in it; and what it
    // holds, told once when the view is made, which the reading asks of
    // every member.
    enum class Kind : uint8_t { Missing, Null, Object, Array, String, Number, Other };
    alignas(8) unsigned char element_[16] = {};
    bool present_ = false;
    Kind kind_ = Kind::Missing;
};

class JsonDocument {
  public:
    // Parses `text`, whose buffer must hold at least kPadding readable bytes
    // beyond its end (a std::string with that much capacity to spare).
    // Null when the fast parser does not take the text as it is (not JSON,
    // nested more than 256 deep, an integer beyond 64 bits, a byte order
    // mark): the caller then reads it with parseJson, which decides.
    static std::shared_ptr<const JsonDocument> parse(std::string_view text);
    static constexpr size_t kPadding = 64;

    JsonView root() const;

    JsonDocument();
    ~JsonDocument();
    JsonDocument(const JsonDocument&) = delete;
    JsonDocument& operator=(const JsonDocument&) = delete;

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
