// Fuzz target: the dealer-definition reply, as both of its readers take it:
// the dealer directory's lookup (BizDealer) and the stored dealers' lookup
// (DealerManager). Input: the reply body. Checks: a dealer read has a key
// and no failure code, and is not selected; the image file names
// made from the key and the names stay inside the documents folder (no "/",
// no "..", no NUL, at most 255 bytes); a directory entry reads back as the
// record it was written from.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Core/Biz/BizDealer.h"
#include "app/DealerManager.h"
#include "platform/Log.h"
#include "tests/support/FuzzQuiet.h"

namespace {

void checkFileName(const std::string& key, const std::string& name) {
    const std::string file = BizDealer::imageFileName(key, name);
    if (file.empty()) return;
    if (file.size() > 255 || file.find('/') != std::string::npos ||
        file.find('\0') != std::string::npos || file.find("..") != std::string::npos ||
        file == ".")
        std::abort();
}

bool same(const MODDealer& a, const MODDealer& b) {
    return a.dealerKey == b.dealerKey && a.dealerName == b.dealerName &&
           a.dealerLogo == b.dealerLogo && a.dealerIcon == b.dealerIcon &&
           a.webService == b.webService && a.hostDemo == b.hostDemo &&
           a.hostReal == b.hostReal && a.hasDemo == b.hasDemo;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kavtest::quietLogForFuzzing();
    const std::string body(reinterpret_cast<const char*>(data), size);

    const auto directory = BizDealer::readDealerReply(body);
    if (directory.dealer) {
        const MODDealer& d = *directory.dealer;
        if (d.dealerKey.empty() || !directory.code.empty()) std::abort();
        if (d.hasDemo != !d.hostDemo.empty()) std::abort();
        checkFileName(d.dealerKey, d.dealerIcon);
        checkFileName(d.dealerKey, d.dealerLogo);
        // The directory file keeps the entry as text and reads it back.
        const auto entry = platform::parseJson(BizDealer::modToDict(d).dump());
        const auto back = entry ? BizDealer::dealerFromDict(*entry) : nullptr;
        if (!back || !same(*back, d)) std::abort();
    }

    const auto stored = DealerManager::readDefinitionReply(body);
    if (stored.dealer && (stored.dealer->dealerKey.empty() || stored.dealer->isSelected ||
                          !stored.code.empty()))
        std::abort();
    return 0;
}
