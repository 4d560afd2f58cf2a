#include "platform/Strings.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

namespace platform {

std::string stringf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (needed > 0) {
        out.resize(static_cast<size_t>(needed));
        std::vsnprintf(out.data(), out.size() + 1, format, args);
    }
    va_end(args);
    return out;
}

namespace {

// Length of the valid UTF-8 sequence starting at `i`, or 0 when invalid
// (RFC 3629: no overlongs, no surrogates, nothing above U+10FFFF).
size_t sequenceLength(std::string_view s, size_t i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) return 1;
    size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + len > s.size()) return 0;
    const auto b1 = static_cast<unsigned char>(s[i + 1]);
    if (b1 < lo || b1 > hi) return 0;
    for (size_t k = 2; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if (b < 0x80 || b > 0xBF) return 0;
    }
    return len;
}

// Byte length of the code point at `i`, treating a bad byte as one unit.
size_t stepAt(std::string_view s, size_t i) {
    size_t len = sequenceLength(s, i);
    return len == 0 ? 1 : len;
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        // Plain ASCII, the bulk of every package, eight bytes at a time.
        if (text.size() - i >= 8) {
            uint64_t eight;
            std::memcpy(&eight, text.data() + i, sizeof eight);
            if ((eight & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        size_t len = sequenceLength(text, i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

size_t utf8Length(std::string_view text) {
    size_t n = 0;
    for (size_t i = 0; i < text.size(); i += stepAt(text, i))
        ++n;
    return n;
}

std::string utf8Prefix(std::string_view text, size_t n) {
    size_t i = 0;
    for (size_t k = 0; k < n && i < text.size(); ++k)
        i += stepAt(text, i);
    return std::string(text.substr(0, i));
}

std::string utf8Suffix(std::string_view text, size_t n) {
    const size_t total = utf8Length(text);
    if (n >= total) return std::string(text);
    size_t i = 0;
    for (size_t k = 0; k < total - n; ++k)
        i += stepAt(text, i);
    return std::string(text.substr(i));
}

std::string utf8Truncate(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    size_t i = 0;
    while (i < text.size()) {
        size_t step = stepAt(text, i);
        if (i + step > maxBytes) break;
        i += step;
    }
    return std::string(text.substr(0, i));
}

long long leadingInteger(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Digits only after the sign: from_chars on a signed type would take a
    // second '-' ("--5").
    unsigned long long magnitude = 0;
    const char* begin = text.data() + i;
    const char* end = text.data() + text.size();
    // Twenty significant digits are out of range already, whatever follows:
    // no more are read, so that a long run of digits (a number typed key by
    // key and read at every key) costs no more than a short one.
    const char* significant = begin;
    while (significant != end && *significant == '0')
        ++significant;
    const char* stop = significant + std::min<size_t>(end - significant, 20);
    auto [ptr, ec] = std::from_chars(begin, stop, magnitude);
    if (ptr == begin) return 0;
    const bool more = ptr == stop && stop != end && *stop >= '0' && *stop <= '9';
    constexpr auto kMax = static_cast<unsigned long long>(std::numeric_limits<long long>::max());
    if (more || ec == std::errc::result_out_of_range || magnitude > kMax + (negative ? 1 : 0)) {
        return negative ? std::numeric_limits<long long>::min()
                        : std::numeric_limits<long long>::max();
    }
    if (negative) {
        return magnitude == kMax + 1 ? std::numeric_limits<long long>::min()
                                     : -static_cast<long long>(magnitude);
    }
    return static_cast<long long>(magnitude);
}

double leadingDouble(std::string_view text) {
    double fast = 0.0;
    if (plainDecimal(text, fast)) return fast;
    size_t i = 0;
    if (i < text.size() && text[i] == '+') ++i;  // from_chars takes '-' but not '+'
    const char* begin = text.data() + i;
    const char* end = text.data() + text.size();
    if (begin < end && *begin == '-' && i > 0) return 0.0;  // "+-1" is not a number
    double value = 0.0;
    auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::general);
    if (ptr == begin) return 0.0;
    if (ec == std::errc::result_out_of_range) return value;
    return std::isfinite(value) ? value : 0.0;
}

std::string shortestDouble(double value) {
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    if (ec != std::errc()) return "0";
    std::string out(buf, ptr);
    // to_chars may choose exponent form for very large or small values; the
    // system's texts are plain decimals.
    if (out.find('e') != std::string::npos) {
        auto [p2, ec2] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
        if (ec2 == std::errc()) out.assign(buf, p2);
    }
    return out;
}

}  // namespace platform
