#include "Core/KAVPackage.h"

#include <atomic>
#include <limits>

#include "Core/Funs.h"
#include "platform/Strings.h"

using platform::Json;

namespace {

// JSON string escaping of the characters that would end or break a string:
// the quote, the backslash and the control characters. Everything else,
// non-ASCII text included, goes out as it is, so ordinary values render the
// same bytes they always did.
void appendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    out += platform::stringf("\\u%04x",
                                             static_cast<unsigned>(static_cast<unsigned char>(c)));
                } else {
                    out += c;
                }
        }
    }
}

// The text a value is sent as: strings as they are, numbers in their
// shortest decimal form, anything else as its JSON text.
std::string textForm(const Json& value) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_null()) return std::string();
    if (auto text = platform::jsonText(&value)) return *text;
    return value.dump();
}

// "key": "value" with one blank after the colon.
void appendMember(std::string& out, std::string_view key, const Json& value) {
    out += '"';
    appendEscaped(out, key);
    out += "\": \"";
    appendEscaped(out, textForm(value));
    out += '"';
}

// The first element of a "children" or "parames" array, when it is an
// object; only that element is ever sent.
const Json* firstObject(const Json& value) {
    if (!value.is_array() || value.empty() || !value.front().is_object()) return nullptr;
    return &value.front();
}

int32_t clampedOrder(int64_t order) {
    return order > std::numeric_limits<int32_t>::max()   ? std::numeric_limits<int32_t>::max()
           : order < std::numeric_limits<int32_t>::min() ? std::numeric_limits<int32_t>::min()
                                                         : static_cast<int32_t>(order);
}

// A received value of a text field: a string as it is, a number as its
// text, anything else empty.
std::string receivedText(const Json& object, std::string_view key) {
    const Json* value = platform::jsonMember(object, key);
    if (!value || !(value->is_string() || value->is_number())) return std::string();
    return platform::jsonText(value).value_or(std::string());
}

// A received value of a text field, read in place: a string where the
// document holds it.
inline void receivedText(const platform::JsonView& value, KAVEnvelopeText& out) {
    if (value.isString()) {
        out.refer(value.string());
    } else if (value.isNumber()) {
        std::string text;
        value.textInto(text);
        out.set(std::move(text));
    } else {
        out.clear();
    }
}

// The flag a package is made with.
constexpr char kDefaultEncrypt[] = "1";

}  // namespace

void KAVPackage::releaseDocument() const {
    event_.str();
    retCode_.str();
    message_.str();
    encrypt_.str();
    // Kept for the next text unless it grew to a large one. Not let go
    // here: a view of it taken before the tree was built reads on.
    if (document_ && document_->keptForNext()) spare_.document = std::move(document_);
    document_.reset();
}

void KAVPackage::readDataFromText() const {
    dataInText_ = false;
    flat_.valid = false;
    // The flat read took the text, so the document takes it too; the tree
    // parser stands behind it all the same. A copy of the package holds a
    // copy of the text that may lack the parser's room: the document is
    // parsed from one that has it (its strings are its own).
    std::string_view text = strData_.view();
    std::string roomy;
    if (!strData_.roomBehind(platform::JsonDocument::kPadding)) {
        roomy.reserve(text.size() + platform::JsonDocument::kPadding);
        roomy.assign(text);
        text = roomy;
    }
    if (platform::JsonDocument::parseInto(text, spare_.document)) {
        const platform::JsonView data = spare_.document->root().member("data");
        dataView_ = data.isObject() ? data : platform::JsonView();
        document_ = std::move(spare_.document);
        return;
    }
    auto parsed = platform::parseJson(text);
    const Json* data = parsed ? platform::jsonMember(*parsed, "data") : nullptr;
    kavData_ = data && data->is_object() ? std::move(*const_cast<Json*>(data)) : Json::object();
}

void KAVPackage::keepDataOfText() const {
    // Data that still lies only in the text about to be replaced is parsed
    // out of it first: a text then refused leaves the package as it was. A
    // channel empties its package before the next text, so this costs it
    // nothing.
    if (dataInText_) readDataFromText();
}

void KAVPackage::materialize() const {
    if (dataInText_) readDataFromText();
    if (!document_) return;
    kavData_ = dataView_.isObject() ? dataView_.toJson() : Json::object();
    releaseDocument();
}

const Json& KAVPackage::kavData() const {
    static const Json kEmpty = Json::object();
    materialize();
    return kavData_.is_null() ? kEmpty : kavData_;
}

Json& KAVPackage::kavData() {
    materialize();
    if (kavData_.is_null()) kavData_ = Json::object();
    return kavData_;
}

void KAVPackage::setKavData(Json data) {
    dataInText_ = false;
    flat_.valid = false;
    releaseDocument();
    kavData_ = data.is_object() ? std::move(data) : Json::object();
}

void KAVPackage::addValue(Json value, const std::string& key) {
    materialize();
    if (!kavData_.is_object()) kavData_ = Json::object();
    kavData_[key] = std::move(value);
}

const Json* KAVPackage::getValue(std::string_view key) const {
    materialize();
    return platform::jsonMember(kavData_, key);
}

// Members go out in insertion order. The services read the data object by
// key and never depended on the order (which used to be whatever order the
// dictionary enumerated); insertion order makes every text reproducible.
// Members are joined by commas, with no comma after the last one.
std::string KAVPackage::renderData(const Json& data) {
    std::string out = "{";
    if (!data.is_object()) return out + "}";
    bool first = true;
    const auto separate = [&] {
        if (!first) out += ',';
        first = false;
    };
    for (const auto& [key, value] : data.items()) {
        if (key == "children") {
            const Json* element = firstObject(value);
            if (!element || element->empty()) continue;
            separate();
            out += "\"children\": [{";
            bool firstChild = true;
            for (const auto& [childKey, childValue] : element->items()) {
                if (!firstChild) out += ',';
                firstChild = false;
                appendMember(out, childKey, childValue);
            }
            out += "}]";
        } else if (key == "parames") {
            const Json* element = firstObject(value);
            if (!element || element->empty()) continue;
            separate();
            out += "\"parames\": [";
            bool firstCondition = true;
            for (const auto& [condKey, condValue] : element->items()) {
                if (!firstCondition) out += ',';
                firstCondition = false;
                out += "{ \"operator\" :\"and\", \"key\" : \"";
                appendEscaped(out, condKey);
                out += "\", \"value\" : \"";
                appendEscaped(out, textForm(condValue));
                out += "\"}";
            }
            out += ']';
        } else {
            separate();
            appendMember(out, key, value);
        }
    }
    return out + "}";
}

std::string KAVPackage::toJSON() {
    msgOrder_ = Funs::getMessageOrder();
    std::string out = "{\"event\":\"";
    appendEscaped(out, event_.view());
    out += "\",\"token\" : \"";
    appendEscaped(out, token_);
    out += platform::stringf("\",\"msgOrder\":\"%d\",\"encrypt\":\"", msgOrder_);
    appendEscaped(out, encrypt_.view());
    out += "\",\"data\":";
    // A received package holds its data in the parsed text until asked.
    materialize();
    out += renderData(kavData_);
    out += '}';
    return out;
}

void KAVPackage::clear() {
    dataInText_ = false;
    flat_.valid = false;
    event_.clear();
    msgOrder_ = 0;
    token_.clear();
    retCode_.clear();
    message_.clear();
    encrypt_.refer(kDefaultEncrypt);
    if (!kavData_.is_null()) kavData_ = nullptr;
    if (document_ && document_->keptForNext()) spare_.document = std::move(document_);
    document_.reset();
    dataView_ = platform::JsonView();
    strData_.clear();
}

bool KAVPackage::fromJSON(std::string_view text) {
    keepDataOfText();
    // Room behind the text for the fast parser, which reads ahead.
    strData_.copy(text, platform::JsonDocument::kPadding);
    return readText(strData_.view(), false);
}

bool KAVPackage::fromReceived(const std::string& text) {
    keepDataOfText();
    if (text.capacity() - text.size() < platform::JsonDocument::kPadding) {
        strData_.copy(text, platform::JsonDocument::kPadding);
        return readText(strData_.view(), true);
    }
    strData_.borrow(text);
    return readText(text, true);
}

platform::JsonFlatText& KAVPackage::FlatText::buffers() {
    if (!text) {
        thread_local std::shared_ptr<platform::JsonFlatText> spare;
        if (!spare || spare.use_count() != 1) spare = std::make_shared<platform::JsonFlatText>();
        // What its last holder did with it, on whatever thread, happened
        // before it is written again.
        std::atomic_thread_fence(std::memory_order_acquire);
        text = spare;
    }
    return *text;
}

bool KAVPackage::readFlatText(std::string_view text) {
    if (text.size() > platform::JsonDocument::kKeptDocumentText) return false;
    platform::JsonFlatText& flat = flat_.buffers();
    if (!flat.read(text, "data", "children")) return false;
    flat_.valid = true;
    // The envelope's texts copied (short ones are kept inside the string):
    // the package may be copied away from the text.
    const auto setText = [](KAVEnvelopeText& out, std::string_view value) {
        out.set(std::string(value));
    };
    event_.clear();
    retCode_.clear();
    message_.clear();
    encrypt_.clear();
    int64_t order = 0;
    // A key given twice counts as its later value, as on the document's road.
    for (const platform::JsonFlatText::Member& m : flat.members()) {
        switch (m.key.size()) {
            case 5:
                if (platform::isKey(m.key, "event")) setText(event_, m.value);
                break;
            case 7:
                if (platform::isKey(m.key, "retCode")) {
                    setText(retCode_, m.value);
                } else if (platform::isKey(m.key, "message")) {
                    setText(message_, m.value);
                } else if (platform::isKey(m.key, "encrypt")) {
                    setText(encrypt_, m.value);
                }
                break;
            case 8:
                if (platform::isKey(m.key, "msgOrder"))
                    order = platform::JsonView::integerOfText(m.value);
                break;
            default:
                break;
        }
    }
    msgOrder_ = clampedOrder(order);
    if (document_ && document_->keptForNext()) spare_.document = std::move(document_);
    document_.reset();
    dataView_ = platform::JsonView();
    if (!kavData_.is_null()) kavData_ = nullptr;
    dataInText_ = true;
    return true;
}

bool KAVPackage::readText(std::string_view text, bool flatFirst) {
    if (text.empty()) return false;
    dataInText_ = false;
    flat_.valid = false;
    if (flatFirst && readFlatText(text)) return true;
    if (platform::JsonDocument::parseInto(text, spare_.document)) {
        const platform::JsonView top = spare_.document->root();
        if (top.isArray()) return false;
        // A text that is JSON but no object reads as one without members.
        // One pass over the members as they come: a key given twice counts
        // as its later value, as a look-up by name finds it.
        event_.clear();
        retCode_.clear();
        message_.clear();
        encrypt_.clear();
        int64_t order = 0;
        platform::JsonView data;
        // The key's length tells the fields apart at once; the whole key is
        // then compared at a length known here.
        top.forEachMember([&](std::string_view key, const platform::JsonView& value) {
            switch (key.size()) {
                case 4:
                    if (platform::isKey(key, "data")) data = value;
                    break;
                case 5:
                    if (platform::isKey(key, "event")) receivedText(value, event_);
                    break;
                case 7:
                    if (platform::isKey(key, "retCode")) {
                        receivedText(value, retCode_);
                    } else if (platform::isKey(key, "message")) {
                        receivedText(value, message_);
                    } else if (platform::isKey(key, "encrypt")) {
                        receivedText(value, encrypt_);
                    }
                    break;
                case 8:
                    if (platform::isKey(key, "msgOrder")) order = value.integer();
                    break;
                default:
                    break;
            }
        });
        msgOrder_ = clampedOrder(order);
        // Held for the envelope's texts, and the data object read in place.
        dataView_ = data.isObject() ? data : platform::JsonView();
        document_ = std::move(spare_.document);
        // The empty object, made when it is asked for.
        if (!kavData_.is_null()) kavData_ = nullptr;
        return true;
    }
    // What the fast parser does not take, the tree parser decides: the same
    // texts are refused, and the same values read, as always.
    auto parsed = platform::parseJson(text);
    if (parsed && parsed->is_array()) return false;
    static const Json kEmpty = Json::object();
    const Json& top = parsed && parsed->is_object() ? *parsed : kEmpty;

    event_.set(receivedText(top, "event"));
    retCode_.set(receivedText(top, "retCode"));
    message_.set(receivedText(top, "message"));
    msgOrder_ = clampedOrder(platform::jsonInteger(top, "msgOrder"));
    encrypt_.set(receivedText(top, "encrypt"));
    if (document_ && document_->keptForNext()) spare_.document = std::move(document_);
    document_.reset();
    // The parsed tree is ours: the data object is moved out, not copied.
    auto* data = const_cast<Json*>(platform::jsonMember(top, "data"));
    kavData_ = data && data->is_object() ? std::move(*data) : Json::object();
    return true;
}
