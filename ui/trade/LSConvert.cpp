#include "ui/trade/LSConvert.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Core/SDK/KAVBizSDK.h"
#include "platform/Dates.h"
#include "ui/toolkit/KAStringUtils.h"

namespace lsconvert {

namespace {

// The number written with `places` decimals and read back exactly.
platform::Decimal written(double value, int places) {
    if (!std::isfinite(value)) return platform::Decimal::nan();
    char text[512];
    std::snprintf(text, sizeof text, "%.*f", places, value);
    return platform::Decimal::parse(text).value_or(platform::Decimal::nan());
}

}  // namespace

platform::Decimal decimal(double value) {
    return written(value, 6);
}

platform::Decimal price(double value, int decimals) {
    return written(value, std::clamp(decimals, 6, KAStringUtils::kMaxDecimals));
}

int decimalsOf(const KAVBizSDK* sdk, const std::string& symbolCode) {
    const auto symbol = sdk ? sdk->getSymbolWith(symbolCode) : nullptr;
    return symbol ? symbol->decimal : 0;
}

std::optional<double> date(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return platform::dates::parse(text);
}

std::string dateText(const std::optional<double>& date, const char* pattern) {
    return date ? platform::dates::format(*date, pattern) : std::string();
}

}  // namespace lsconvert
