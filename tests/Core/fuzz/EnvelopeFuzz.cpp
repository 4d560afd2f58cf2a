// Fuzz target: what a channel makes of a received text. Input: the text.
// It is deciphered as the envelope and parsed as a package, as it stands and
// deciphered. Checks: a deciphered text is UTF-8 and seals and opens again
// to itself; a parsed package renders and parses again to the same event and
// order; the package reads what the tree parser alone reads of the text,
// also where it reads a package of plain texts with no document; nothing
// throws.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Core/KAVCrypt.h"
#include "Core/KAVPackage.h"
#include "platform/Json.h"
#include "platform/JsonDocument.h"
#include "platform/Strings.h"

namespace {

// The package's fields and data as the tree parser alone reads the text.
void checkAgainstTree(std::string_view text, const KAVPackage& p) {
    const auto tree = platform::parseJson(text);
    static const platform::Json kEmpty = platform::Json::object();
    const platform::Json& top = tree && tree->is_object() ? *tree : kEmpty;
    const auto field = [&](const char* key) {
        const platform::Json* v = platform::jsonMember(top, key);
        return v && (v->is_string() || v->is_number()) ? platform::jsonText(v).value_or("")
                                                       : std::string();
    };
    if (p.event() != field("event") || p.retCode() != field("retCode") ||
        p.message() != field("message") || p.encrypt() != field("encrypt"))
        std::abort();
    const platform::Json* data = platform::jsonMember(top, "data");
    const platform::Json expected = data && data->is_object() ? *data : kEmpty;
    if (p.kavData().dump() != expected.dump()) std::abort();
}

// A package read flat holds what the tree parser reads of the same text:
// the top's texts, its data's and each child's, a key given twice at its
// first place with its later value.
void checkFlat(std::string_view text, const platform::JsonFlatText& flat) {
    const auto tree = platform::parseJson(text);
    if (!tree || !tree->is_object()) std::abort();
    const auto objectOf = [](const platform::JsonFlatText::Member* from,
                             const platform::JsonFlatText::Member* to) {
        platform::Json object = platform::Json::object();
        for (; from != to; ++from)
            object[std::string(from->key)] = std::string(from->value);
        return object;
    };
    const auto& top = flat.members();
    platform::Json expected = *tree;
    expected.erase("data");
    if (objectOf(top.data(), top.data() + top.size()) != expected) std::abort();
    const platform::Json* data = platform::jsonMember(*tree, "data");
    if (flat.hasNest() != (data != nullptr)) std::abort();
    if (!data) return;
    const auto& nest = flat.nestMembers();
    expected = *data;
    expected.erase("children");
    if (objectOf(nest.data(), nest.data() + nest.size()) != expected) std::abort();
    const platform::Json* children = platform::jsonMember(*data, "children");
    if (!children && !flat.ends().empty()) std::abort();
    if (!children) return;
    size_t i = 0;
    flat.forEachElement([&](const auto* from, const auto* to) {
        if (i >= children->size() || objectOf(from, to) != (*children)[i]) std::abort();
        ++i;
    });
    if (i != children->size()) std::abort();
}

// Read as a channel reads what it received (a package of plain texts
// flat), or as any other text is read.
void checkPackage(std::string_view text, bool received) {
    KAVPackage p;
    const std::string receivedText(text);
    if (!(received ? p.fromReceived(receivedText) : p.fromJSON(text))) {
        const auto tree = platform::parseJson(text);
        if (!text.empty() && !(tree && tree->is_array())) std::abort();
        return;
    }
    if (p.strData() != text) std::abort();
    if (const platform::JsonFlatText* flat = p.flatData()) checkFlat(text, *flat);
    checkAgainstTree(text, p);
    // What the client renders from a parsed package parses back the same.
    KAVPackage copy;
    copy.setEvent(p.event());
    copy.setKavData(p.kavData());
    const std::string rendered = copy.toJSON();
    KAVPackage again;
    if (!again.fromJSON(rendered)) std::abort();
    if (again.event() != p.event() || again.msgOrder() != copy.msgOrder()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const KAVCrypt crypt(KAVCrypt::kPackageKey);
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const bool received : {false, true})
        checkPackage(text, received);
    if (const auto plain = crypt.decrypt(text)) {
        if (!platform::isValidUtf8(*plain)) std::abort();
        if (crypt.decrypt(crypt.encrypt(*plain)) != *plain) std::abort();
        for (const bool received : {false, true})
            checkPackage(*plain, received);
    }
    // And the other way: any text seals and opens again.
    if (platform::isValidUtf8(text) && crypt.decrypt(crypt.encrypt(text)) != text) std::abort();
    return 0;
}
