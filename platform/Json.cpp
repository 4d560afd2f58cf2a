#include "platform/Json.h"

#include <cmath>
#include <limits>

#include "platform/Strings.h"

namespace platform {

namespace {

// Nesting beyond this is refused: no reply of the system comes near it, and
// deeper documents would only exhaust the stack of whoever walks them later.
constexpr int kMaxDepth = 256;

bool nestsTooDeep(std::string_view text) {
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth) return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

int64_t clampToInt64(double v) {
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    constexpr double kLimit = 9223372036854775808.0;
    if (std::isnan(v)) return 0;
    if (v >= kLimit) return std::numeric_limits<int64_t>::max();
    if (v <= -kLimit) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);  // truncates toward zero
}

}  // namespace

std::optional<Json> parseJson(std::string_view text) {
    // No JSON text holds a NUL byte (in a string it must be escaped), but
    // the parser below stops at one as at the end of the input: what comes
    // before it would pass for the whole text.
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    if (nestsTooDeep(text)) return std::nullopt;
    Json value = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false,
                             /*ignore_comments=*/false);
    if (value.is_discarded()) return std::nullopt;
    return value;
}

const Json* jsonMember(const Json& object, std::string_view key) {
    if (!object.is_object()) return nullptr;
    for (const auto& [name, value] : object.get_ref<const Json::object_t&>()) {
        if (name == key) return value.is_null() ? nullptr : &value;
    }
    return nullptr;
}

int64_t jsonInteger(const Json* value) {
    if (!value) return 0;
    switch (value->type()) {
        case Json::value_t::number_integer:
            return value->get<int64_t>();
        case Json::value_t::number_unsigned: {
            const uint64_t u = value->get<uint64_t>();
            constexpr uint64_t kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
            return u > kMax ? std::numeric_limits<int64_t>::max() : static_cast<int64_t>(u);
        }
        case Json::value_t::number_float:
            return clampToInt64(value->get<double>());
        case Json::value_t::boolean:
            return value->get<bool>() ? 1 : 0;
        case Json::value_t::string:
            return leadingInteger(value->get_ref<const std::string&>());
        default:
            return 0;
    }
}

double jsonDouble(const Json* value) {
    if (!value) return 0.0;
    switch (value->type()) {
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float:
            return value->get<double>();
        case Json::value_t::boolean:
            return value->get<bool>() ? 1.0 : 0.0;
        case Json::value_t::string:
            return leadingDouble(value->get_ref<const std::string&>());
        default:
            return 0.0;
    }
}

std::optional<std::string> jsonText(const Json* value) {
    if (!value) return std::nullopt;
    switch (value->type()) {
        case Json::value_t::string:
            return value->get<std::string>();
        case Json::value_t::number_integer:
            return std::to_string(value->get<int64_t>());
        case Json::value_t::number_unsigned:
            return std::to_string(value->get<uint64_t>());
        case Json::value_t::number_float:
            return shortestDouble(value->get<double>());
        case Json::value_t::boolean:
            return std::string(value->get<bool>() ? "1" : "0");
        default:
            return std::nullopt;
    }
}

}  // namespace platform
