#include "platform/Dates.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/Clock.h"

namespace platform::dates {

namespace {

enum class Field { Year, Month, Day, Hour, Minute, Second, Literal };

struct Token {
    Field field;
    size_t length;  // characters of the pattern it takes
};

Token tokenAt(std::string_view pattern, size_t i) {
    auto startsWith = [&](std::string_view p) { return pattern.substr(i, p.size()) == p; };
    if (startsWith("yyyy")) return {Field::Year, 4};
    if (startsWith("MM")) return {Field::Month, 2};
    if (startsWith("dd")) return {Field::Day, 2};
    if (startsWith("HH")) return {Field::Hour, 2};
    if (startsWith("mm")) return {Field::Minute, 2};
    if (startsWith("ss")) return {Field::Second, 2};
    return {Field::Literal, 1};
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
    std::string out;
    out.reserve(pattern.size() + 4);
    char buf[16];
    for (size_t i = 0; i < pattern.size();) {
        const Token token = tokenAt(pattern, i);
        int value = 0;
        switch (token.field) {
            case Field::Year:
                std::snprintf(buf, sizeof buf, "%04d", local.tm_year + 1900);
                out += buf;
                break;
            case Field::Month:
                value = local.tm_mon + 1;
                break;
            case Field::Day:
                value = local.tm_mday;
                break;
            case Field::Hour:
                value = local.tm_hour;
                break;
            case Field::Minute:
                value = local.tm_min;
                break;
            case Field::Second:
                value = local.tm_sec;
                break;
            case Field::Literal:
                out += pattern[i];
                break;
        }
        if (token.field != Field::Year && token.field != Field::Literal) {
            out += static_cast<char>('0' + value / 10);
            out += static_cast<char>('0' + value % 10);
        }
        i += token.length;
    }
    return out;
}

std::optional<double> parse(std::string_view text, std::string_view pattern) {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    size_t pos = 0;
    for (size_t i = 0; i < pattern.size();) {
        const Token token = tokenAt(pattern, i);
        bool ok = true;
        switch (token.field) {
            case Field::Year:
                ok = readNumber(text, pos, 4, 4, year);
                break;
            case Field::Month:
                ok = readNumber(text, pos, 1, 2, month);
                break;
            case Field::Day:
                ok = readNumber(text, pos, 1, 2, day);
                break;
            case Field::Hour:
                ok = readNumber(text, pos, 1, 2, hour);
                break;
            case Field::Minute:
                ok = readNumber(text, pos, 1, 2, minute);
                break;
            case Field::Second:
                ok = readNumber(text, pos, 1, 2, second);
                break;
            case Field::Literal:
                ok = pos < text.size() && text[pos] == pattern[i];
                ++pos;
                break;
        }
        if (!ok) return std::nullopt;
        i += token.length;
    }
    if (pos != text.size()) return std::nullopt;
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
