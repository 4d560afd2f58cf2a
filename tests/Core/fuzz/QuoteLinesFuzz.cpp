// Fuzz target: the compressed quote lines. Input: lines separated by "\n",
// each handed over as one line of the compressed quote service. Checks: no
// more quotes than lines; each quote has a code that is clean text and
// finite prices; a line that makes a quote makes it again on its own.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/Log.h"
#include "tests/support/FuzzQuiet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kavtest::quietLogForFuzzing();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    platform::Json lines = platform::Json::array();
    for (size_t start = 0; start <= input.size();) {
        const size_t end = std::min(input.find('\n', start), input.size());
        lines.push_back(std::string(input.substr(start, end - start)));
        start = end + 1;
    }
    KAVPackage package;
    package.setEvent("4002");
    package.addValue(lines, "children");
    const auto quotes = KAVBizSDK::expandQuoteLines(package);
    if (!quotes) return 0;
    const platform::Json* children = quotes->getValue("children");
    if (!children || !children->is_array() || children->empty() || children->size() > lines.size())
        std::abort();
    if (quotes->event() != "4002" || quotes->retCode() != "0") std::abort();
    for (const auto& q : *children) {
        const std::string code = platform::jsonString(q, "symbolCode");
        if (code.empty()) std::abort();
        for (const char c : code)
            if (c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20) std::abort();
        for (const char* key : {"priceCurrent", "bid", "ask", "priceHighest", "priceLowest",
                                "dailyHight", "dailyLow"}) {
            const platform::Json* v = platform::jsonMember(q, key);
            if (!v || !v->is_number() || !std::isfinite(v->get<double>())) std::abort();
        }
    }
    return 0;
}
