// Fuzz target: what a channel makes of a received text. Input: the text.
// It is deciphered as the envelope and parsed as a package, as it stands and
// deciphered. Checks: a deciphered text is UTF-8 and seals and opens again
// to itself; a parsed package renders and parses again to the same event and
// order; nothing throws.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Core/KAVCrypt.h"
#include "Core/KAVPackage.h"
#include "platform/Strings.h"

namespace {

void checkPackage(std::string_view text) {
    KAVPackage p;
    if (!p.fromJSON(text)) return;
    if (p.strData() != text) std::abort();
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
    checkPackage(text);
    if (const auto plain = crypt.decrypt(text)) {
        if (!platform::isValidUtf8(*plain)) std::abort();
        if (crypt.decrypt(crypt.encrypt(*plain)) != *plain) std::abort();
        checkPackage(*plain);
    }
    // And the other way: any text seals and opens again.
    if (platform::isValidUtf8(text) && crypt.decrypt(crypt.encrypt(text)) != text) std::abort();
    return 0;
}
