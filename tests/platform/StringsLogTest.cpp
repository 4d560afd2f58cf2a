#include <gtest/gtest.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <mutex>
#include <thread>

#include "platform/Log.h"
#include "platform/Strings.h"
#include "tests/support/TestSupport.h"

using namespace platform;

TEST(Strings, FormatsLongAndEmptyTexts) {
    EXPECT_EQ(stringf("key_%d", 2003), "key_2003");
    EXPECT_EQ(stringf("%s", ""), "");
    std::string big(5000, 'x');
    EXPECT_EQ(stringf("[%s]", big.c_str()).size(), 5002u);
}

TEST(Strings, CountsAndCutsCodePoints) {
    const std::string mixed = "a中文\xF0\x9F\x98\x80z";  // a, two CJK, an emoji, z
    EXPECT_EQ(utf8Length(mixed), 5u);
    EXPECT_EQ(utf8Prefix(mixed, 2), "a中");
    EXPECT_EQ(utf8Suffix(mixed, 2), "\xF0\x9F\x98\x80z");
    EXPECT_EQ(utf8Prefix(mixed, 99), mixed);
    EXPECT_EQ(utf8Suffix("ab", 0), "");
    // A cut never splits a character.
    EXPECT_EQ(utf8Truncate("中文", 5), "中");
    EXPECT_EQ(utf8Truncate("中文", 6), "中文");
    EXPECT_EQ(utf8Truncate("中文", 2), "");
}

TEST(Strings, ValidatesUtf8Strictly) {
    EXPECT_TRUE(isValidUtf8("plain 中文 \xF4\x8F\xBF\xBF"));
    EXPECT_TRUE(isValidUtf8(std::string("\0", 1)));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong '/'
    EXPECT_FALSE(isValidUtf8("\xE0\x80\xAF"));      // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xE4\xB8"));          // cut short
    EXPECT_FALSE(isValidUtf8("\xFF"));
    // Within a longer text, wherever a sequence starts against the runs of
    // plain text around it: a good one passes, a bad or cut one does not.
    for (size_t at = 0; at <= 24; ++at) {
        const std::string before(at, 'a'), after(24 - at, 'z');
        EXPECT_TRUE(isValidUtf8(before + "中" + after)) << at;
        EXPECT_TRUE(isValidUtf8(before + "\xF4\x8F\xBF\xBF" + after)) << at;
        for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE4\xB8", "\x80", "\xFF"}) {
            EXPECT_FALSE(isValidUtf8(before + bad + after)) << at << " " << bad;
            EXPECT_FALSE(isValidUtf8(before + bad)) << at << " " << bad;
        }
    }
}

TEST(Strings, ReadsLeadingNumbersLikeTheServerSendsThem) {
    EXPECT_EQ(leadingInteger("12abc"), 12);
    EXPECT_EQ(leadingInteger("-7"), -7);
    EXPECT_EQ(leadingInteger("+3"), 3);
    EXPECT_EQ(leadingInteger("--5"), 0);
    EXPECT_EQ(leadingInteger("1.9"), 1);
    EXPECT_EQ(leadingInteger(" 4"), 0);
    EXPECT_EQ(leadingInteger(""), 0);
    EXPECT_EQ(leadingInteger("99999999999999999999"), std::numeric_limits<long long>::max());
    EXPECT_EQ(leadingInteger("-9223372036854775808"), std::numeric_limits<long long>::min());
    // Around the most digits read: leading zeros do not count, and a run
    // longer than any number in range is out of range whatever its end.
    EXPECT_EQ(leadingInteger("9223372036854775807x"), std::numeric_limits<long long>::max());
    EXPECT_EQ(leadingInteger("-9223372036854775809"), std::numeric_limits<long long>::min());
    EXPECT_EQ(leadingInteger(std::string(40, '0') + "9223372036854775807"),
              std::numeric_limits<long long>::max());
    EXPECT_EQ(leadingInteger(std::string(40, '0') + "42abc"), 42);
    EXPECT_EQ(leadingInteger("-" + std::string(30, '0') + "7"), -7);
    EXPECT_EQ(leadingInteger("10000000000000000000"), std::numeric_limits<long long>::max());
    EXPECT_EQ(leadingInteger("1000000000000000000"), 1000000000000000000LL);
    EXPECT_EQ(leadingInteger(std::string(4000, '7')), std::numeric_limits<long long>::max());
    EXPECT_EQ(leadingInteger("-" + std::string(21, '1') + ".5"),
              std::numeric_limits<long long>::min());
    EXPECT_EQ(leadingInteger(std::string(25, '0')), 0);
    EXPECT_DOUBLE_EQ(leadingDouble("1.5e3x"), 1500.0);
    EXPECT_DOUBLE_EQ(leadingDouble("-0.25"), -0.25);
    EXPECT_DOUBLE_EQ(leadingDouble("+2.5"), 2.5);
    EXPECT_DOUBLE_EQ(leadingDouble("abc"), 0.0);
    EXPECT_DOUBLE_EQ(leadingDouble("nan"), 0.0);
    EXPECT_DOUBLE_EQ(leadingDouble("+-1"), 0.0);
}

TEST(Strings, LeadingDoubleOfPlainDecimalsIsTheNearestDouble) {
    // Prices are read by a short cut for plain decimals; it must give what
    // from_chars gives, for every length of digits and place of the point,
    // and whatever follows the number.
    kavtest::XorShift next{88172645463325252ull};
    for (int round = 0; round < 20000; ++round) {
        std::string text = next() % 4 == 0 ? "-" : "";
        const size_t whole = 1 + next() % 9;
        const size_t fraction = next() % 12;
        for (size_t i = 0; i < whole; ++i)
            text += static_cast<char>('0' + next() % 10);
        if (fraction > 0 || next() % 2) text += '.';
        for (size_t i = 0; i < fraction; ++i)
            text += static_cast<char>('0' + next() % 10);
        static const char* kTails[] = {"", "x", " 1", "e2", "E-3", ".5", ","};
        text += kTails[next() % std::size(kTails)];
        double expected = 0.0;
        std::from_chars(text.data(), text.data() + text.size(), expected,
                        std::chars_format::general);
        const double got = leadingDouble(text);
        EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << text;
    }
    EXPECT_TRUE(std::signbit(leadingDouble("-0.000")));
    EXPECT_DOUBLE_EQ(leadingDouble("-.5"), -0.5);
    EXPECT_DOUBLE_EQ(leadingDouble("1234567890.1234567"), 1234567890.1234567);
}

TEST(Strings, ShortestDoubleTextIsPlainDecimal) {
    EXPECT_EQ(shortestDouble(1.1), "1.1");
    EXPECT_EQ(shortestDouble(5), "5");
    EXPECT_EQ(shortestDouble(-0.25), "-0.25");
    EXPECT_EQ(shortestDouble(1e21), "1000000000000000000000");
    EXPECT_EQ(shortestDouble(1.23456), "1.23456");
}

TEST(Log, CaptureSeesLinesFromAnyThreadAndRestoresTheSink) {
    std::vector<std::string> outer;
    setLogSink([&](const std::string& line) { outer.push_back(line); });
    {
        LogCapture capture;
        log("请求超时");
        std::thread([] { log("from another thread"); }).join();
        EXPECT_TRUE(capture.contains("请求超时"));
        EXPECT_EQ(capture.count("thread"), 1u);
        EXPECT_EQ(capture.lines().size(), 2u);
    }
    log("after");
    EXPECT_EQ(outer, std::vector<std::string>{"after"});
    setLogSink({});
}

// A capture ends (its lines and lock go with it) while another thread may be
// writing a line: a line already being written must be through its sink
// when the sink's replacement returns.
TEST(Log, NoLineRunsInASinkOnceItsReplacementHasReturned) {
    std::mutex m;
    std::condition_variable cv;
    bool entered = false;
    bool replaced = false;
    bool ranAfterReplacement = false;
    setLogSink([&](const std::string&) {
        std::unique_lock lock(m);
        entered = true;
        cv.notify_all();
        // Held until the sink is replaced, bounded: the replacement rightly
        // waits for this line to be through first.
        cv.wait_for(lock, std::chrono::milliseconds(300), [&] { return replaced; });
        if (replaced) ranAfterReplacement = true;
    });
    std::thread writer([] { log("from another thread"); });
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return entered; });
    }
    setLogSink([](const std::string&) {});
    {
        std::lock_guard lock(m);
        replaced = true;
    }
    cv.notify_all();
    writer.join();
    setLogSink({});
    EXPECT_FALSE(ranAfterReplacement) << "a line ran on in a sink already replaced";
}
