#pragma once

// The reply value conversions narrowed to the record fields' own types. A
// numeric value may come as a JSON number or as a JSON string; JSON null
// counts as missing (platform/Json.h). Values beyond a field's range are held
// to it rather than wrapped.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Json.h"

namespace reply {

inline int32_t int32Value(const platform::Json& object, std::string_view key) {
    const int64_t v = platform::jsonInteger(object, key);
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

inline int64_t int64Value(const platform::Json& object, std::string_view key) {
    return platform::jsonInteger(object, key);
}

inline double doubleValue(const platform::Json& object, std::string_view key) {
    return platform::jsonDouble(object, key);
}

// A double rounded to float; beyond float's range it becomes the largest float.
inline float toFloat(double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (std::isfinite(v) && std::fabs(v) > kMax)
        return v > 0 ? std::numeric_limits<float>::max() : -std::numeric_limits<float>::max();
    return static_cast<float>(v);
}

inline float floatValue(const platform::Json& object, std::string_view key) {
    return toFloat(doubleValue(object, key));
}

// The text form; empty when the key is missing.
inline std::string textValue(const platform::Json& object, std::string_view key) {
    return platform::jsonString(object, key);
}

// The number under the key when the value is one: a finite JSON number, or a
// text that is a whole decimal number (blanks after it allowed) within the
// range of a double. Nothing when the key is missing or its value cannot be
// read ("abc", "1e309", "12abc", " 12", "+-12": the last two the field
// readers above take for 0): such a value says nothing, and in particular
// not 0.
std::optional<double> readableNumber(const platform::Json& object, std::string_view key);

}  // namespace reply
