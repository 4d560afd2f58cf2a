#include "platform/Dates.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/Clock.h"

namespace platform::dates {

namespace {

// The fields in the order of their slots in a Fields array.
enum Field { kYear, kMonth, kDay, kHour, kMinute, kSecond, kLiteral };
using Fields = std::array<int, 6>;

struct Token {
    Field field;
    size_t length;  // characters of the pattern it takes
};

Token tokenAt(std::string_view pattern, size_t i) {
    static constexpr std::pair<std::string_view, Field> kNames[] = {
        {"yyyy", kYear}, {"MM", kMonth},  {"dd", kDay},
        {"HH", kHour},   {"mm", kMinute}, {"ss", kSecond}};
    for (const auto& [name, field] : kNames) {
        if (pattern.substr(i, name.size()) == name) return {field, name.size()};
    }
    return {kLiteral, 1};
}

bool isLeapYear(long long y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(long long year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given proleptic Gregorian date.
long long daysFromCivil(long long y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Offset of local time from UTC, in seconds, at the moment t.
bool utcOffsetAt(time_t t, long long& offset) {
    struct tm local;
    if (!localtime_r(&t, &local)) return false;
    offset = local.tm_gmtoff;
    return true;
}

// The moment at which the local clock shows `wall` (local fields counted as
// if they were UTC). A time shown twice (clocks put back) is the earlier
// moment; a time skipped (clocks put forward) is read with the offset in force
// before the change, so it lands as far after the change as it names after
// the skipped hour's start.
std::optional<long long> localToEpoch(long long wall) {
    constexpr long long kDay = 86400;
    long long before = 0, after = 0;
    if (!utcOffsetAt(static_cast<time_t>(wall - kDay), before) ||
        !utcOffsetAt(static_cast<time_t>(wall + kDay), after)) {
        return std::nullopt;
    }
    std::optional<long long> best;
    for (long long offset : {before, after}) {
        const long long t = wall - offset;
        long long actual = 0;
        if (utcOffsetAt(static_cast<time_t>(t), actual) && actual == offset) {
            if (!best || t < *best) best = t;
        }
    }
    if (best) return best;
    return wall - before;
}

bool readNumber(std::string_view text, size_t& pos, size_t minDigits, size_t maxDigits,
                int& value) {
    size_t n = 0;
    value = 0;
    while (n < maxDigits && pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++n;
    }
    return n >= minDigits;
}

}  // namespace

std::string format(double epochSeconds, std::string_view pattern) {
    if (!std::isfinite(epochSeconds) || std::fabs(epochSeconds) > 1e15) return std::string();
    const time_t t = static_cast<time_t>(std::floor(epochSeconds));
    struct tm local;
    if (!localtime_r(&t, &local)) return std::string();
    const Fields values = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                           local.tm_hour,        local.tm_min,     local.tm_sec};
    std::string out;
    out.reserve(pattern.size() + 4);
    char buf[16];
    for (size_t i = 0; i < pattern.size();) {
        const Token token = tokenAt(pattern, i);
        if (token.field == kLiteral) {
            out += pattern[i];
        } else {
            std::snprintf(buf, sizeof buf, token.field == kYear ? "%04d" : "%02d",
                          values[token.field]);
            out += buf;
        }
        i += token.length;
    }
    return out;
}

std::optional<double> parse(std::string_view text, std::string_view pattern) {
    Fields values = {1970, 1, 1, 0, 0, 0};
    size_t pos = 0;
    for (size_t i = 0; i < pattern.size();) {
        const Token token = tokenAt(pattern, i);
        if (token.field == kLiteral) {
            if (pos >= text.size() || text[pos] != pattern[i]) return std::nullopt;
            ++pos;
        } else if (!readNumber(text, pos, token.field == kYear ? 4 : 1, token.length,
                               values[token.field])) {
            return std::nullopt;
        }
        i += token.length;
    }
    if (pos != text.size()) return std::nullopt;
    const auto [year, month, day, hour, minute, second] = values;
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    const long long wall =
        daysFromCivil(year, month, day) * 86400 + hour * 3600LL + minute * 60LL + second;
    const auto epoch = localToEpoch(wall);
    if (!epoch) return std::nullopt;
    return static_cast<double>(*epoch);
}

std::string now(std::string_view pattern) {
    return format(nowEpoch(), pattern);
}

double nowEpoch() {
    return platform::clock().wallTime();
}

void resetTimeZone() {
    tzset();
}

}  // namespace platform::dates
