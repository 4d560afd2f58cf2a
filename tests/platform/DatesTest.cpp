#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/Dates.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TestSupport.h"

namespace dates = platform::dates;

namespace {

// Zones as POSIX rules, so the tests need no time-zone database.
constexpr const char* kShanghai = "CST-8";
constexpr const char* kNewYork = "EST5EDT,M3.2.0,M11.1.0";
constexpr const char* kUtc = "UTC0";

constexpr double kHour = 3600;
// 2026-01-05 09:00:00 UTC.
constexpr double kMondayNineUtc = 1767603600;

// Sets TZ for the scope and puts the previous value back afterwards.
class Zone {
  public:
    explicit Zone(const char* tz) {
        tz_.emplace("TZ", tz);
        dates::resetTimeZone();
    }
    ~Zone() {
        tz_.reset();
        dates::resetTimeZone();
    }

  private:
    std::optional<kavtest::ScopedEnv> tz_;
};

double at(const char* text) {
    auto t = dates::parse(text);
    EXPECT_TRUE(t.has_value()) << text;
    return t.value_or(-1);
}

TEST(Dates, TheSameMomentInTwoZones) {
    {
        Zone zone(kShanghai);
        EXPECT_EQ(dates::format(kMondayNineUtc), "2026-01-05 17:00:00");
        EXPECT_EQ(at("2026-01-05 17:00:00"), kMondayNineUtc);
        EXPECT_EQ(dates::format(kMondayNineUtc + 0.999), "2026-01-05 17:00:00");  // floored
        EXPECT_EQ(dates::format(-0.5), "1970-01-01 07:59:59");
    }
    double summerNineUtc;
    {
        Zone zone(kUtc);
        summerNineUtc = at("2026-07-06 09:00:00");
    }
    {
        Zone zone(kNewYork);
        EXPECT_EQ(dates::format(kMondayNineUtc), "2026-01-05 04:00:00");
        EXPECT_EQ(at("2026-01-05 04:00:00"), kMondayNineUtc);
        // Summer time: the same UTC moment is an hour later on the wall.
        EXPECT_EQ(dates::format(summerNineUtc), "2026-07-06 05:00:00");
        EXPECT_EQ(at("2026-07-06 05:00:00"), summerNineUtc);
    }
}

TEST(Dates, DaylightSavingBoundaries) {
    double springUtc, autumnUtc;
    {
        Zone zone(kUtc);
        springUtc = at("2026-03-08 07:00:00");  // 02:00 EST, clocks go to 03:00 EDT
        autumnUtc = at("2026-11-01 06:00:00");  // 02:00 EDT, clocks go back to 01:00 EST
    }
    Zone zone(kNewYork);
    EXPECT_EQ(dates::format(springUtc - 1), "2026-03-08 01:59:59");
    EXPECT_EQ(dates::format(springUtc), "2026-03-08 03:00:00");
    EXPECT_EQ(at("2026-03-09 00:00:00") - at("2026-03-08 00:00:00"), 23 * kHour);
    // 02:30 does not exist that night: read with the winter offset it is 03:30.
    EXPECT_EQ(dates::format(at("2026-03-08 02:30:00")), "2026-03-08 03:30:00");

    // 01:30 happens twice; the text names the first.
    EXPECT_EQ(dates::format(autumnUtc - 0.5 * kHour), "2026-11-01 01:30:00");
    EXPECT_EQ(dates::format(autumnUtc + 0.5 * kHour), "2026-11-01 01:30:00");
    EXPECT_EQ(at("2026-11-01 01:30:00"), autumnUtc - 0.5 * kHour);
    EXPECT_EQ(at("2026-11-02 00:00:00") - at("2026-11-01 00:00:00"), 25 * kHour);
}

TEST(Dates, FormatAndParseRoundTrip) {
    const double moments[] = {0,
                              -86400 * 365.0,
                              951782400 /* 2000-02-29 */,
                              1709164800 /* 2024-02-29 */,
                              kMondayNineUtc,
                              2147483647,
                              4102444799 /* 2099-12-31 */};
    for (const char* tz : {kShanghai, kNewYork, kUtc}) {
        Zone zone(tz);
        for (double t : moments) {
            const std::string text = dates::format(t);
            EXPECT_EQ(dates::parse(text), t) << tz << " " << text;
            EXPECT_EQ(dates::format(at(text.c_str())), text) << tz;
        }
        for (double t = kMondayNineUtc; t < kMondayNineUtc + 400 * 86400; t += 86400 * 7 + 3599) {
            EXPECT_EQ(dates::parse(dates::format(t)), t) << tz;
        }
    }
}

TEST(Dates, ParseRefusesTextThatDoesNotMatchOrNamesNoRealDate) {
    Zone zone(kShanghai);
    for (const char* good : {"2024-02-29 00:00:00", "2000-02-29 12:00:00", "2026-12-31 23:59:59",
                             "0001-01-01 00:00:00"}) {
        EXPECT_TRUE(dates::parse(good).has_value()) << good;
    }
    for (const char* bad : {"2026-02-30 00:00:00",  "2025-02-29 00:00:00",
                            "1900-02-29 00:00:00",  "2026-04-31 00:00:00",
                            "2026-13-01 00:00:00",  "2026-00-10 00:00:00",
                            "2026-01-00 00:00:00",  "2026-01-05 24:00:00",
                            "2026-01-05 12:60:00",  "2026-01-05 12:00:60",
                            "0000-01-01 00:00:00",  "2026-01-05",
                            "2026-01-05 12:00:00 ", " 2026-01-05 12:00:00",
                            "2026-01-05T12:00:00",  "",
                            "abcd-01-05 12:00:00",  "202-01-05 12:00:00",
                            "20260-01-05 12:00:00", "2026-01-05 12:00:0x",
                            "2026-001-05 12:00:00"}) {
        EXPECT_FALSE(dates::parse(bad).has_value()) << '"' << bad << '"';
    }
    // Unpadded fields are read as written.
    EXPECT_EQ(dates::parse("2026-1-5 9:0:0"), dates::parse("2026-01-05 09:00:00"));
}

TEST(Dates, OtherPatterns) {
    Zone zone(kShanghai);
    EXPECT_EQ(dates::format(kMondayNineUtc + 65, "HH:mm:ss"), "17:01:05");
    EXPECT_EQ(dates::format(kMondayNineUtc, "MM-dd HH:mm"), "01-05 17:00");
    EXPECT_EQ(dates::format(kMondayNineUtc, "yyyyMMdd"), "20260105");
    EXPECT_EQ(dates::format(kMondayNineUtc, "y/M"), "y/M");  // not fields
    EXPECT_EQ(dates::parse("20260105", "yyyyMMdd"), dates::parse("2026-01-05 00:00:00"));
    // Missing fields are 1970-01-01 00:00:00 local.
    EXPECT_EQ(dates::parse("01:02:03", "HH:mm:ss"), -8 * kHour + 3723);
    EXPECT_EQ(dates::parse("01-05 17:00", "MM-dd HH:mm"), dates::parse("1970-01-05 17:00:00"));
}

TEST(Dates, NowReadsThePlatformClock) {
    Zone zone(kShanghai);
    kavtest::VirtualTime time(kMondayNineUtc);
    EXPECT_EQ(dates::nowEpoch(), kMondayNineUtc);
    EXPECT_EQ(dates::now(), "2026-01-05 17:00:00");
    time.advance(61);
    EXPECT_EQ(dates::now("HH:mm:ss"), "17:01:01");
}

}  // namespace
