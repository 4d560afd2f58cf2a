#pragma once

#include <cstddef>
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

// Shortest decimal text that reads back as the same double ("1.1", "5", "-0.25").
std::string shortestDouble(double value);

}  // namespace platform
