#include "app/DealerLookup.h"

#include <algorithm>
#include <cctype>

#include "Core/httpQuery.h"

namespace dealerlookup {

bool isDealerKey(std::string_view key) {
    return !key.empty() && std::all_of(key.begin(), key.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '_' || c == '~' || c == '-';
    });
}

std::string lookupURL(const std::string& base, const std::string& key) {
    return base + "/getdealer.php?key=" + httpQuery::encodeQueryValue(key);
}

bool isLookupAddress(std::string_view text) {
    std::string lower(text.substr(0, 8));
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    size_t hostStart = 0;
    if (lower.rfind("http://", 0) == 0) {
        hostStart = 7;
    } else if (lower.rfind("https://", 0) == 0) {
        hostStart = 8;
    } else {
        return false;
    }
    if (hostStart >= text.size() || text[hostStart] == '/' || text[hostStart] == '?' ||
        text[hostStart] == '#')
        return false;
    return std::none_of(text.begin(), text.end(),
                        [](unsigned char c) { return c <= 0x20 || c == 0x7F; });
}

}  // namespace dealerlookup
