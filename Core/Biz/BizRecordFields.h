#pragma once

// Reading the records of a reply or push: the reply value conversions per
// field type, and the walk over the "children" list.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Json.h"

namespace bizfields {

// An int32 field: the integer value, held to the int32 range.
inline int32_t int32Of(const platform::Json& record, std::string_view key) {
    const int64_t v = platform::jsonInteger(record, key);
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}
inline double doubleOf(const platform::Json& record, std::string_view key) {
    return platform::jsonDouble(record, key);
}
inline float floatOf(const platform::Json& record, std::string_view key) {
    return static_cast<float>(platform::jsonDouble(record, key));
}
// The text form; empty when the key is missing or null.
inline std::string textOf(const platform::Json& record, std::string_view key) {
    return platform::jsonString(record, key);
}

// Calls `each` with every object of the list, in order. A missing list, or
// a value that is not a list, has none; elements that are not objects carry
// no record and are passed over.
template <typename Each>
void forEachChild(const platform::Json* children, Each&& each) {
    if (!children || !children->is_array()) return;
    for (const auto& child : *children)
        if (child.is_object()) each(child);
}

// One record per object of the list, made by `parse`.
template <typename Record, typename Parse>
std::vector<std::shared_ptr<Record>> recordsOf(const platform::Json* children, Parse&& parse) {
    std::vector<std::shared_ptr<Record>> records;
    if (children && children->is_array()) records.reserve(children->size());
    forEachChild(children, [&](const platform::Json& child) { records.push_back(parse(child)); });
    return records;
}

}  // namespace bizfields
