#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform::dates {

// Date patterns use the fields yyyy, MM, dd, HH (24-hour), mm, ss; any other
// character stands for itself. Times are in the local time zone (the TZ
// environment variable; tests set it), on the Gregorian calendar.
inline constexpr std::string_view kDateTime = "yyyy-MM-dd HH:mm:ss";

// Text of the moment `epochSeconds` (seconds since 1970-01-01 00:00 UTC), the
// fraction of a second dropped; empty for a moment that is not finite.
std::string format(double epochSeconds, std::string_view pattern = kDateTime);
// The moment written in `text`, or nothing when it does not match the pattern
// or names no real date. Fields missing from the pattern take 1970-01-01 00:00:00.
// yyyy takes exactly four digits, the other fields one or two. A local time
// shown twice (clocks put back) is the earlier moment; one skipped (clocks put
// forward) is read with the offset in force before the change.
std::optional<double> parse(std::string_view text, std::string_view pattern = kDateTime);
// The current time (platform::clock().wallTime()) as text.
std::string now(std::string_view pattern = kDateTime);
// Current wall time from the platform clock, seconds since 1970.
double nowEpoch();

// Re-reads the TZ environment variable (after a test changes it).
void resetTimeZone();

}  // namespace platform::dates
