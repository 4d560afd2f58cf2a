#include "ui/toolkit/KAStringUtils.h"

#include <glib.h>

#include <algorithm>

#include "platform/Strings.h"

using platform::Decimal;

bool KAStringUtils::isAllDigitsWithString(std::optional<std::string_view> text) {
    if (!text || !platform::isValidUtf8(*text)) return false;
    const char* p = text->data();
    const char* end = p + text->size();
    while (p < end) {
        const gunichar c = g_utf8_get_char(p);
        // Unicode decimal digits of every script, as the platform's
        // decimal-digit set holds them.
        if (g_unichar_type(c) != G_UNICODE_DECIMAL_NUMBER) return false;
        p = g_utf8_next_char(p);
    }
    return true;
}

int KAStringUtils::getDecimalDigits(const Decimal& number) {
    // The plain text: a small number written with an exponent ("1e-05")
    // would otherwise count no decimals at all.
    const std::string text = number.toString();
    const auto point = text.find('.');
    return point == std::string::npos ? 0 : static_cast<int>(text.size() - 1 - point);
}

int KAStringUtils::getDecimalDigits(double number) {
    return getDecimalDigits(Decimal::fromDouble(number));
}

std::string KAStringUtils::notRounding(const Decimal& price, int afterPoint) {
    return price.toFixed(std::clamp(afterPoint, 0, kMaxDecimals), Decimal::Rounding::Plain);
}

std::string KAStringUtils::notRoundingWithFloat(float price, int afterPoint) {
    const auto exact = Decimal::parse(platform::stringf("%f", static_cast<double>(price)));
    return notRounding(exact.value_or(Decimal::nan()), afterPoint);
}
