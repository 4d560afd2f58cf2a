#include "platform/JsonDocument.h"

#include <simdjson.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/Strings.h"

namespace platform {

namespace dom = simdjson::dom;

static_assert(JsonDocument::kPadding >= simdjson::SIMDJSON_PADDING);
static_assert(simdjson::internal::JSON_VALUE_MASK == 0x00FFFFFFFFFFFFFFull,
              "JsonView reads the parser's tape words as the parser lays them out");

namespace {

// Nesting the fast parser takes: anything deeper is left to parseJson, which
// refuses more than 256 levels.
constexpr size_t kFastParserMaxDepth = 256;

// One parser per thread keeps its working buffers between messages.
dom::parser* threadParser(size_t textSize) {
    thread_local dom::parser parser;
    if ((parser.capacity() < textSize + 1 || parser.max_depth() != kFastParserMaxDepth) &&
        parser.allocate(std::max<size_t>(textSize + 1, 4096), kFastParserMaxDepth) !=
            simdjson::SUCCESS)
        return nullptr;
    return &parser;
}

}  // namespace

struct JsonDocument::Impl {
    dom::document document;
};

JsonDocument::JsonDocument() : impl_(std::make_unique<Impl>()) {}
JsonDocument::~JsonDocument() = default;

bool JsonDocument::parseText(std::string_view text) {
    dom::parser* parser = threadParser(text.size());
    if (!parser) return false;
    largest_ = std::max(largest_, text.size());
    const auto result =
        parser->parse_into_document(impl_->document, reinterpret_cast<const uint8_t*>(text.data()),
                                    text.size(), /*realloc_if_needed=*/false);
    // The buffers may have grown to the text: read where they are now.
    tape_ = impl_->document.tape.get();
    strings_ = impl_->document.string_buf.get();
    return result.error() == simdjson::SUCCESS;
}

namespace {

// A document to parse into: the thread's spare while nobody else holds it
// (a quote push then allocates nothing), else a new one. A large message
// gets a document of its own, which goes with it.
std::shared_ptr<JsonDocument> threadDocument(size_t textSize) {
    thread_local std::shared_ptr<JsonDocument> spare;
    if (textSize > JsonDocument::kKeptDocumentText) return std::make_shared<JsonDocument>();
    if (!spare || spare.use_count() != 1) spare = std::make_shared<JsonDocument>();
    // What its last holder did with it, on whatever thread, happened
    // before it is written again.
    std::atomic_thread_fence(std::memory_order_acquire);
    return spare;
}

}  // namespace

std::shared_ptr<const JsonDocument> JsonDocument::parse(std::string_view text) {
    // The document of the last message is parsed into again once nobody
    // holds it any more; one still held (a package kept, or read on another
    // thread) stays as it is.
    std::shared_ptr<JsonDocument> doc = threadDocument(text.size());
    if (!doc->parseText(text)) return nullptr;
    return doc;
}

bool JsonDocument::parseInto(std::string_view text, std::shared_ptr<const JsonDocument>& document) {
    JsonDocument* into;
    if (document && document.use_count() == 1) {
        // As above: the last holder elsewhere is done with it.
        std::atomic_thread_fence(std::memory_order_acquire);
        // Nobody else holds it: it is this caller's to write.
        into = const_cast<JsonDocument*>(document.get());
    } else if (!document) {
        // A reader's first text (one reader after another, each reading
        // one text) goes into the thread's spare, as parse does.
        auto doc = threadDocument(text.size());
        into = doc.get();
        document = std::move(doc);
    } else {
        // Held elsewhere: the reader goes on in a document of its own.
        auto doc = std::make_shared<JsonDocument>();
        into = doc.get();
        document = std::move(doc);
    }
    return into->parseText(text);
}

// --- JsonFlatText --------------------------------------------------------------

namespace {

namespace od = simdjson::ondemand;

// One reader per thread keeps its working buffers between texts.
od::parser& flatParser() {
    thread_local od::parser parser;
    return parser;
}

bool jsonSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The bytes between the quotes of a string, in a text with no escape,
// from its token (which runs up to the next token, blanks included); false
// for any other value.
inline bool plainString(std::string_view token, std::string_view& out) {
    while (!token.empty() && jsonSpace(token.back()))
        token.remove_suffix(1);
    if (token.size() < 2 || token.front() != '"' || token.back() != '"') return false;
    out = token.substr(1, token.size() - 2);
    return true;
}

// A key, in a text with no escape: the bytes up to its closing quote,
// found back from where its value starts, past the colon and any blanks.
inline std::string_view plainKey(const od::raw_json_string& key, const char* valueStart) {
    const char* end = valueStart - 1;
    while (*end != '"')
        --end;
    return std::string_view(key.raw(), static_cast<size_t>(end - key.raw()));
}

// Every member of an object whose values are all plain strings, but for
// `nested` (when not empty), handed to `onNested` with its value.
template <typename OnNested>
bool readMembers(od::object object, std::vector<JsonFlatText::Member>& members,
                 std::string_view nested, OnNested&& onNested) {
    for (auto item : object) {
        od::field field;
        if (std::move(item).get(field) != simdjson::SUCCESS) return false;
        od::value value = field.value();
        const std::string_view token = value.raw_json_token();
        const std::string_view key = plainKey(field.key(), token.data());
        if (!nested.empty() && key == nested) {
            if (!onNested(value)) return false;
            continue;
        }
        std::string_view text;
        if (!plainString(token, text)) return false;
        // Taken, not left for the iterator to skip: a skip past a value
        // checks less of what follows it than the next member's reading.
        od::raw_json_string taken;
        if (value.get_raw_json_string().get(taken) != simdjson::SUCCESS) return false;
        members.push_back({key, text});
    }
    return true;
}

}  // namespace

bool JsonFlatText::read(std::string_view text, std::string_view nest, std::string_view list) {
    members_.clear();
    nestMembers_.clear();
    elementMembers_.clear();
    ends_.clear();
    hasNest_ = false;
    // An escape anywhere (a backslash can stand nowhere else) is left to the
    // document, which reads it.
    if (std::memchr(text.data(), '\\', text.size())) return false;
    od::document doc;
    if (flatParser()
            .iterate(text.data(), text.size(), text.size() + JsonDocument::kPadding)
            .get(doc) != simdjson::SUCCESS)
        return false;
    od::object top;
    if (doc.get_object().get(top) != simdjson::SUCCESS) return false;
    const auto readList = [&](od::value value) {
        // A list given twice: the later one counts.
        elementMembers_.clear();
        ends_.clear();
        od::array array;
        if (value.get_array().get(array) != simdjson::SUCCESS) return false;
        for (auto item : array) {
            od::object element;
            if (item.get_object().get(element) != simdjson::SUCCESS) return false;
            if (!readMembers(element, elementMembers_, {}, [](od::value) { return false; }))
                return false;
            ends_.push_back(static_cast<uint32_t>(elementMembers_.size()));
        }
        return true;
    };
    const auto readNest = [&](od::value value) {
        // So does a nest given twice.
        hasNest_ = true;
        nestMembers_.clear();
        elementMembers_.clear();
        ends_.clear();
        od::object object;
        if (value.get_object().get(object) != simdjson::SUCCESS) return false;
        return readMembers(object, nestMembers_, list, readList);
    };
    if (!readMembers(top, members_, nest, readNest)) return false;
    // Nothing may follow the object.
    return doc.current_location().error() == simdjson::OUT_OF_BOUNDS;
}

// --- JsonView ------------------------------------------------------------------

int64_t JsonView::anyInteger() const {
    switch (kind_) {
        case Kind::Number:
            switch (tag()) {
                case 'l':
                    return static_cast<int64_t>(bits());
                case 'u': {
                    const uint64_t u = bits();
                    constexpr uint64_t kMax =
                        static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
                    return u > kMax ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(u);
                }
                default: {
                    // Truncated toward zero and held to the range, as jsonInteger does.
                    constexpr double kLimit = 9223372036854775808.0;
                    const double d = std::bit_cast<double>(bits());
                    if (std::isnan(d)) return 0;
                    if (d >= kLimit) return std::numeric_limits<int64_t>::max();
                    if (d <= -kLimit) return std::numeric_limits<int64_t>::min();
                    return static_cast<int64_t>(d);
                }
            }
        case Kind::Bool:
            return tag() == 't' ? 1 : 0;
        case Kind::String:
            return leadingInteger(string());
        default:
            return 0;
    }
}

double JsonView::anyNumber() const {
    switch (kind_) {
        case Kind::String:
            return leadingDouble(string());
        case Kind::Number:
            switch (tag()) {
                case 'l':
                    return static_cast<double>(static_cast<int64_t>(bits()));
                case 'u':
                    return static_cast<double>(bits());
                default:
                    return std::bit_cast<double>(bits());
            }
        case Kind::Bool:
            return tag() == 't' ? 1.0 : 0.0;
        default:
            return 0.0;
    }
}

bool JsonView::textInto(std::string& out) const {
    switch (kind_) {
        case Kind::String:
            out.assign(string());
            return true;
        case Kind::Number:
            switch (tag()) {
                case 'l': {
                    const auto i = static_cast<int64_t>(bits());
                    // Non-negative integers are unsigned in the tree; the digits are the same.
                    out = i >= 0 ? std::to_string(static_cast<uint64_t>(i)) : std::to_string(i);
                    return true;
                }
                case 'u':
                    out = std::to_string(bits());
                    return true;
                default:
                    out = shortestDouble(std::bit_cast<double>(bits()));
                    return true;
            }
        case Kind::Bool:
            out = tag() == 't' ? "1" : "0";
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

Json JsonView::treeOf(const JsonView& v) {
    switch (v.kind_) {
        case Kind::Object: {
            Json object = Json::object();
            // operator[] as the tree parse does: a key given twice keeps its
            // first place and takes the later value.
            v.forEachMember([&](std::string_view key, const JsonView& value) {
                object[std::string(key)] = treeOf(value);
            });
            return object;
        }
        case Kind::Array: {
            Json array = Json::array();
            v.forEachElement([&](const JsonView& item) { array.push_back(treeOf(item)); });
            return array;
        }
        case Kind::String:
            return Json(std::string(v.string()));
        case Kind::Number:
            switch (v.tag()) {
                case 'l': {
                    const auto i = static_cast<int64_t>(v.bits());
                    if (i >= 0) return Json(static_cast<uint64_t>(i));
                    return Json(i);
                }
                case 'u':
                    return Json(v.bits());
                default:
                    return Json(std::bit_cast<double>(v.bits()));
            }
        case Kind::Bool:
            return Json(v.tag() == 't');
        default:
            return Json(nullptr);
    }
}

Json JsonView::toJson() const {
    return treeOf(*this);
}

}  // namespace platform
