#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace platform {

// JSON values keep the order of their members as parsed or inserted.
using Json = nlohmann::ordered_json;

// Strict parse; nothing on malformed text, a raw NUL byte included (never
// throws). Arrays and objects nested more than 256 deep are refused too.
std::optional<Json> parseJson(std::string_view text);

// The member of an object under the key; null when the value is not an
// object, the key is missing or its value is JSON null (null counts as missing).
const Json* jsonMember(const Json& object, std::string_view key);

// Reply value conversions: the server may send a number as a JSON number or
// as a JSON string.
//  - integer: a number truncated toward zero (held to the int64 range); a
//             string's leading integer; true/false as 1/0; else 0.
//  - double:  a number; a string's leading decimal number; true/false as 1/0;
//             else 0.0.
//  - text:    a string itself; a number's shortest decimal text; true/false as
//             "1"/"0"; nothing when missing, null, an array or an object.
int64_t jsonInteger(const Json* value);
double jsonDouble(const Json* value);
std::optional<std::string> jsonText(const Json* value);

// Shorthands on an object's member.
inline int64_t jsonInteger(const Json& object, std::string_view key) {
    return jsonInteger(jsonMember(object, key));
}
inline double jsonDouble(const Json& object, std::string_view key) {
    return jsonDouble(jsonMember(object, key));
}
inline std::optional<std::string> jsonText(const Json& object, std::string_view key) {
    return jsonText(jsonMember(object, key));
}
// The text form, or the empty text when there is none.
inline std::string jsonString(const Json& object, std::string_view key) {
    return jsonText(object, key).value_or(std::string());
}

}  // namespace platform
