#pragma once

// Walking the records of a reply's or a push's "children" list; each record
// is read with the reply value conversions of ReplyValues.h.

#include <memory>
#include <vector>

#include "Core/Biz/ReplyValues.h"
#include "platform/Json.h"

namespace bizfields {

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
