#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// printf-style formatting into a std::string (the system's texts are built
// from C formats; "%@" of the original formats becomes "%s").
std::string stringf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// UTF-8 helpers. Where the system counts characters it counts code points.
bool isValidUtf8(std::string_view text);
size_t utf8Length(std::string_view text);
// The first / last n code points (the whole text when it is shorter).
std::string utf8Prefix(std::string_view text, size_t n);
std::string utf8Suffix(std::string_view text, size_t n);
// Cuts the text to at most `maxBytes` bytes without splitting a code point.
std::string utf8Truncate(std::string_view text, size_t maxBytes);

// Locale-independent number reading: the leading integer / decimal number of
// the text (optional sign, digits, for the decimal also a fraction and an
// exponent); 0 when the text does not begin with one. "12abc" reads 12.
long long leadingInteger(std::string_view text);
double leadingDouble(std::string_view text);

// A plain decimal such as the dealer's prices ("1.10100"): sign, digits, a
// point and digits, nothing after but what ends the number. Its digits as
// one integer and a power of ten, both held exactly, divide to the double
// nearest the decimal (one rounding), which is what leadingDouble gives;
// false for anything else (an exponent, too many digits, no digit before
// the point), which leadingDouble then reads. Inline, so that a quote's
// prices are read side by side rather than one call and one division after
// the other.
inline bool plainDecimal(std::string_view text, double& out) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    size_t i = 0;
    const size_t n = text.size();
    const bool negative = i < n && text[i] == '-';
    if (negative) ++i;
    const size_t first = i;
    uint64_t digits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9')
        digits = digits * 10 + static_cast<uint64_t>(text[i++] - '0');
    if (i == first) return false;
    size_t count = i - first;
    size_t fraction = 0;
    if (i < n && text[i] == '.') {
        ++i;
        const size_t start = i;
        while (i < n && text[i] >= '0' && text[i] <= '9')
            digits = digits * 10 + static_cast<uint64_t>(text[i++] - '0');
        fraction = i - start;
        count += fraction;
    }
    if (count > 15 || (i < n && (text[i] == 'e' || text[i] == 'E'))) return false;
    const double value = static_cast<double>(digits) / kPowers[fraction];
    out = negative ? -value : value;
    return true;
}

// Shortest decimal text that reads back as the same double ("1.1", "5", "-0.25").
std::string shortestDouble(double value);

}  // namespace platform
