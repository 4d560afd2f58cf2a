#include "platform/JsonDocument.h"

#include <simdjson.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <atomic>
#include <new>

#include "platform/Strings.h"

namespace platform {

namespace dom = simdjson::dom;

static_assert(sizeof(dom::element) <= 16 && alignof(dom::element) <= 8,
              "JsonView holds the parser's element in place");
static_assert(JsonDocument::kPadding >= simdjson::SIMDJSON_PADDING);

struct JsonViewAccess {
    static JsonView make(const dom::element& e) {
        JsonView v;
        // Made in place and read in place below: the words the walk has
        // just written are read as they were written, not as one copy.
        ::new (static_cast<void*>(v.element_)) dom::element(e);
        v.present_ = true;
        switch (e.type()) {
            case dom::element_type::NULL_VALUE:
                v.kind_ = JsonView::Kind::Null;
                break;
            case dom::element_type::OBJECT:
                v.kind_ = JsonView::Kind::Object;
                break;
            case dom::element_type::ARRAY:
                v.kind_ = JsonView::Kind::Array;
                break;
            case dom::element_type::STRING:
                v.kind_ = JsonView::Kind::String;
                break;
            case dom::element_type::INT64:
            case dom::element_type::UINT64:
            case dom::element_type::DOUBLE:
                v.kind_ = JsonView::Kind::Number;
                break;
            default:
                v.kind_ = JsonView::Kind::Other;
                break;
        }
        return v;
    }
    static const dom::element& element(const JsonView& v) {
        return *std::launder(reinterpret_cast<const dom::element*>(v.element_));
    }
    static bool present(const JsonView& v) { return v.present_; }
};

namespace {

// Nesting the fast parser takes: anything deeper is left to parseJson, which
// refuses more than 256 levels.
constexpr size_t kFastParserMaxDepth = 256;

// The longest text whose document is kept for the next message.
constexpr size_t kKeptDocumentText = 64 * 1024;

using A = JsonViewAccess;

}  // namespace

struct JsonDocument::Impl {
    dom::document document;
};

JsonDocument::JsonDocument() : impl_(std::make_unique<Impl>()) {}
JsonDocument::~JsonDocument() = default;

std::shared_ptr<const JsonDocument> JsonDocument::parse(std::string_view text) {
    // One parser per thread keeps its working buffers between messages.
    thread_local dom::parser parser;
    if ((parser.capacity() < text.size() + 1 || parser.max_depth() != kFastParserMaxDepth) &&
        parser.allocate(std::max<size_t>(text.size() + 1, 4096), kFastParserMaxDepth) != simdjson::SUCCESS)
        return nullptr;
    // The document of the last message is parsed into again once nobody
    // holds it any more: a quote push then allocates nothing here. One
    // still held (a package kept, or read on another thread) stays as it
    // is; a large message gets a document of its own, which goes with it
    // (a document takes some ten times the text).
    thread_local std::shared_ptr<JsonDocument> spare;
    std::shared_ptr<JsonDocument> doc;
    if (text.size() > kKeptDocumentText) {
        doc = std::make_shared<JsonDocument>();
    } else {
        if (!spare || spare.use_count() != 1) spare = std::make_shared<JsonDocument>();
        // What its last holder did with it, on whatever thread, happened
        // before it is written again.
        std::atomic_thread_fence(std::memory_order_acquire);
        doc = spare;
    }
    const auto result = parser.parse_into_document(doc->impl_->document,
                                                   reinterpret_cast<const uint8_t*>(text.data()),
                                                   text.size(), /*realloc_if_needed=*/false);
    if (result.error() != simdjson::SUCCESS) return nullptr;
    return doc;
}

JsonView JsonDocument::root() const {
    return A::make(impl_->document.root());
}

// --- JsonView ------------------------------------------------------------------

JsonView JsonView::member(std::string_view key) const {
    if (!isObject()) return {};
    dom::element found;
    bool have = false;
    // The last of a key given twice: the tree keeps the later value.
    for (const auto field : dom::object(A::element(*this).get_object().value_unsafe())) {
        if (field.key == key) {
            found = field.value;
            have = true;
        }
    }
    if (!have || found.is_null()) return {};
    return A::make(found);
}

std::string_view JsonView::string() const {
    if (!isString()) return {};
    return A::element(*this).get_string().value_unsafe();
}

int64_t JsonView::integer() const {
    if (!*this) return 0;
    const dom::element& e = A::element(*this);
    switch (e.type()) {
        case dom::element_type::INT64:
            return e.get_int64().value_unsafe();
        case dom::element_type::UINT64: {
            const uint64_t u = e.get_uint64().value_unsafe();
            constexpr uint64_t kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
            return u > kMax ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(u);
        }
        case dom::element_type::DOUBLE: {
            // Truncated toward zero and held to the range, as jsonInteger does.
            constexpr double kLimit = 9223372036854775808.0;
            const double d = e.get_double().value_unsafe();
            if (std::isnan(d)) return 0;
            if (d >= kLimit) return std::numeric_limits<int64_t>::max();
            if (d <= -kLimit) return std::numeric_limits<int64_t>::min();
            return static_cast<int64_t>(d);
        }
        case dom::element_type::BOOL:
            return e.get_bool().value_unsafe() ? 1 : 0;
        case dom::element_type::STRING:
            return leadingInteger(e.get_string().value_unsafe());
        default:
            return 0;
    }
}

double JsonView::number() const {
    if (!*this) return 0.0;
    const dom::element& e = A::element(*this);
    switch (e.type()) {
        case dom::element_type::INT64:
            return static_cast<double>(e.get_int64().value_unsafe());
        case dom::element_type::UINT64:
            return static_cast<double>(e.get_uint64().value_unsafe());
        case dom::element_type::DOUBLE:
            return e.get_double().value_unsafe();
        case dom::element_type::BOOL:
            return e.get_bool().value_unsafe() ? 1.0 : 0.0;
        case dom::element_type::STRING:
            return leadingDouble(e.get_string().value_unsafe());
        default:
            return 0.0;
    }
}

bool JsonView::textInto(std::string& out) const {
    if (!*this) return false;
    const dom::element& e = A::element(*this);
    switch (e.type()) {
        case dom::element_type::STRING:
            out.assign(e.get_string().value_unsafe());
            return true;
        case dom::element_type::INT64: {
            const int64_t i = e.get_int64().value_unsafe();
            // Non-negative integers are unsigned in the tree; the digits are the same.
            out = i >= 0 ? std::to_string(static_cast<uint64_t>(i)) : std::to_string(i);
            return true;
        }
        case dom::element_type::UINT64:
            out = std::to_string(e.get_uint64().value_unsafe());
            return true;
        case dom::element_type::DOUBLE:
            out = shortestDouble(e.get_double().value_unsafe());
            return true;
        case dom::element_type::BOOL:
            out = e.get_bool().value_unsafe() ? "1" : "0";
            return true;
        default:
            return false;
    }
}

std::optional<std::string> JsonView::text() const {
    std::string out;
    if (!textInto(out)) return std::nullopt;
    return out;
}

void JsonView::forEach(Visit visit, void* ctx, bool members) const {
    if (!present_) return;
    const dom::element& e = A::element(*this);
    if (members) {
        if (e.type() != dom::element_type::OBJECT) return;
        // The iterator's own key and value, not the pair it would copy out.
        const dom::object object = e.get_object().value_unsafe();
        for (auto it = object.begin(), end = object.end(); it != end; ++it) {
            const std::string_view key = it.key();
            const JsonView value = A::make(it.value());
            visit(ctx, key, value);
        }
    } else {
        if (e.type() != dom::element_type::ARRAY) return;
        const std::string_view none;
        for (const dom::element item : dom::array(e.get_array().value_unsafe())) {
            const JsonView value = A::make(item);
            visit(ctx, none, value);
        }
    }
}

namespace {

Json treeOf(const dom::element& e) {
    switch (e.type()) {
        case dom::element_type::OBJECT: {
            Json object = Json::object();
            // operator[] as the tree parse does: a key given twice keeps its
            // first place and takes the later value.
            for (const auto field : dom::object(e.get_object().value_unsafe()))
                object[std::string(field.key)] = treeOf(field.value);
            return object;
        }
        case dom::element_type::ARRAY: {
            Json array = Json::array();
            for (const dom::element item : dom::array(e.get_array().value_unsafe()))
                array.push_back(treeOf(item));
            return array;
        }
        case dom::element_type::STRING:
            return Json(std::string(e.get_string().value_unsafe()));
        case dom::element_type::INT64: {
            const int64_t i = e.get_int64().value_unsafe();
            if (i >= 0) return Json(static_cast<uint64_t>(i));
            return Json(i);
        }
        case dom::element_type::UINT64:
            return Json(e.get_uint64().value_unsafe());
        case dom::element_type::DOUBLE:
            return Json(e.get_double().value_unsafe());
        case dom::element_type::BOOL:
            return Json(e.get_bool().value_unsafe());
        case dom::element_type::NULL_VALUE:
        default:
            return Json(nullptr);
    }
}

}  // namespace

Json JsonView::toJson() const {
    if (!present_) return Json(nullptr);
    return treeOf(A::element(*this));
}

}  // namespace platform
