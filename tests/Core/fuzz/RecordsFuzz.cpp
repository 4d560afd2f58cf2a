// Fuzz target: the record parsers. Input: a JSON text standing for a reply's
// "children" (or anything else). Every parser reads it: symbols, accounts,
// rates, tickets, pending orders, positions, closed tickets, bulletins,
// history rows. Checks: no more records than elements; no symbol without a
// code; spreads never negative; every bar carries the requested symbol.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Core/Biz/BizBulletin.h"
#include "Core/Biz/BizCERInfo.h"
#include "Core/Biz/BizCloseBill.h"
#include "Core/Biz/BizHisQuoted.h"
#include "Core/Biz/BizHoldBill.h"
#include "Core/Biz/BizHoldPosition.h"
#include "Core/Biz/BizLimitBill.h"
#include "Core/Biz/BizSymbolInfo.h"
#include "Core/Biz/BizUserAccount.h"
#include "platform/Log.h"
#include "tests/support/FuzzQuiet.h"

namespace {

template <typename Biz>
size_t parsed(const platform::Json* children) {
    return Biz().pushData(children).size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kavtest::quietLogForFuzzing();
    const auto json =
        platform::parseJson(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!json) return 0;
    const platform::Json* children = &*json;
    // Also what a reply's data holds under "children".
    if (const platform::Json* inner = platform::jsonMember(*json, "children")) children = inner;
    const size_t elements = children->is_array() ? children->size() : 0;

    for (const auto& s : BizSymbolInfo().pushData(children)) {
        if (s->symbolCode.empty() || s->spread < 0) std::abort();
    }
    if (parsed<BizUserAccount>(children) > elements) std::abort();
    if (parsed<BizCERInfo>(children) > elements) std::abort();
    if (parsed<BizHoldBill>(children) > elements) std::abort();
    if (parsed<BizLimitBill>(children) > elements) std::abort();
    if (parsed<BizHoldPosition>(children) > elements) std::abort();
    if (parsed<BizCloseBill>(children) > elements) std::abort();
    if (parsed<BizBulletin>(children) > elements) std::abort();
    BizHisQuoted history;
    history.setSymbolCode("EURUSD");
    for (const auto& bar : history.pushData(children))
        if (bar->symbolCode != "EURUSD") std::abort();
    if (history.pushData(children).size() > elements) std::abort();
    return 0;
}
