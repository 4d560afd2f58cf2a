#include "ui/trade/LSConvert.h"

#include <cmath>
#include <cstdio>

#include "platform/Dates.h"

namespace lsconvert {

platform::Decimal decimal(double value) {
    if (!std::isfinite(value)) return platform::Decimal::nan();
    char text[512];
    std::snprintf(text, sizeof text, "%f", value);
    return platform::Decimal::parse(text).value_or(platform::Decimal::nan());
}

std::optional<double> date(const std::string& text) {
    if (text.empty()) return std::nullopt;
    return platform::dates::parse(text);
}

std::string dateText(const std::optional<double>& date, const char* pattern) {
    return date ? platform::dates::format(*date, pattern) : std::string();
}

}  // namespace lsconvert
