#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "platform/Decimal.h"

using platform::Decimal;
using R = Decimal::Rounding;

namespace {

Decimal D(const char* text) {
    auto d = Decimal::parse(text);
    EXPECT_TRUE(d.has_value()) << text;
    return d.value_or(Decimal::nan());
}

std::string S(const char* text) {
    return D(text).toString();
}

TEST(Decimal, ParsesPlainTextAndPrintsItWithoutTrailingZerosOrExponent) {
    EXPECT_EQ(S("12"), "12");
    EXPECT_EQ(S("-0.50"), "-0.5");
    EXPECT_EQ(S(".5"), "0.5");
    EXPECT_EQ(S("5."), "5");
    EXPECT_EQ(S("+7"), "7");
    EXPECT_EQ(S("1.5e-3"), "0.0015");
    EXPECT_EQ(S("1.5E3"), "1500");
    EXPECT_EQ(S("-0.000"), "0");
    EXPECT_EQ(S("000123.4500"), "123.45");
    EXPECT_EQ(S("1e60"), "1" + std::string(60, '0'));
    EXPECT_EQ(D("1.50").scale(), 2);
    // More than 38 significant digits: rounded, a tie away from zero.
    const std::string zeros(36, '0');
    EXPECT_EQ(D(("1." + zeros + "15").c_str()).toString(), "1." + zeros + "2");
    EXPECT_EQ(D(("1." + zeros + "14999").c_str()).toString(), "1." + zeros + "1");
    EXPECT_EQ(S("-99999999999999999999999999999999999999.5"),
              "-100000000000000000000000000000000000000");
    // Both more than 38 digits and finer than the finest unit (1e-128): one
    // rounding, not one to 38 digits and another to the unit.
    EXPECT_EQ(D(("1.4" + std::string(38, '9') + "e-128").c_str()), D("1e-128"));
    EXPECT_EQ(D("-72311080085990177379259612785831856.5345e-126"),
              D("-7231108008599017737925961278583185653e-128"));
    EXPECT_EQ(D("5e-129"), D("1e-128"));
    EXPECT_TRUE(D("4.99e-129").isZero());

    for (const char* bad : {"", "-", "+", ".", "e5", "1e", "1e+", "1.2.3", " 1", "1 ", "abc",
                            "0x10", "1,5", "--1", "NaN", "inf"}) {
        EXPECT_FALSE(Decimal::parse(bad).has_value()) << '"' << bad << '"';
    }
}

TEST(Decimal, FromDoubleTakesTheShortestTextThatReadsBack) {
    EXPECT_EQ(Decimal::fromDouble(0.1), D("0.1"));
    EXPECT_EQ(Decimal::fromDouble(0.1).scale(), 1);
    EXPECT_EQ(Decimal::fromDouble(2.675).toString(), "2.675");
    EXPECT_EQ(Decimal::fromDouble(-1e-7).toString(), "-0.0000001");
    EXPECT_EQ(Decimal::fromDouble(1e21).toString(), "1000000000000000000000");
    EXPECT_TRUE(Decimal::fromDouble(-0.0).isZero());
    EXPECT_TRUE(Decimal::fromDouble(std::numeric_limits<double>::infinity()).isNaN());
    EXPECT_TRUE(Decimal::fromDouble(std::nan("")).isNaN());
    for (double v : {0.1, 2.675, -1234.5678, 1e-100, 6.02214076e23}) {
        EXPECT_EQ(Decimal::fromDouble(v).toDouble(), v) << v;
    }
}

// The double nearest the exact decimal, whatever the digits and the scale:
// the text read back by the C library is the measure (short prices and long
// mantissas, tiny and huge scales, the ties between two doubles).
TEST(Decimal, ToDoubleIsTheNearestDoubleForEveryScale) {
    const auto nearest = [](const Decimal& d) { return std::strtod(d.toString().c_str(), nullptr); };
    std::mt19937_64 random(31);
    for (int i = 0; i < 20000; ++i) {
        // Up to 19 digits, 1 to 2^53 and beyond, at scales from -30 to 40.
        const uint64_t bits = random() >> (random() % 64);
        const int scale = static_cast<int>(random() % 71) - 30;
        std::string text = (i & 1 ? "-" : "") + std::to_string(bits) + "e" +
                           std::to_string(-scale);
        const Decimal d = D(text.c_str());
        EXPECT_EQ(d.toDouble(), nearest(d)) << text;
    }
    for (const char* text : {"1.09990", "0.00001", "9007199254740993", "9007199254740992e-22",
                             "1e22", "1e23", "123456789e-22", "8.5e-120", "1.7976931348623157e150",
                             "0", "-0.0"}) {
        EXPECT_EQ(D(text).toDouble(), nearest(D(text))) << text;
        EXPECT_EQ(D(text).toDouble(), std::strtod(text, nullptr)) << text;
    }
}

TEST(Decimal, ArithmeticIsExactInDecimal) {
    EXPECT_EQ(D("0.1") + D("0.2"), D("0.3"));
    EXPECT_TRUE((D("1.10") - D("1.1")).isZero());
    EXPECT_EQ((D("1.5") * D("1.5")).toString(), "2.25");
    EXPECT_EQ((D("0.1") * D("0.2")).scale(), 2);
    EXPECT_EQ((D("-7") / D("2")).toString(), "-3.5");
    EXPECT_EQ((D("1") / D("8")).toString(), "0.125");
    EXPECT_EQ((D("100") / D("10")).scale(), 0);
    EXPECT_EQ((D("2") / D("3")).toString(), "0.66666666666666666666666666666666666667");
    EXPECT_EQ((D("-1") / D("3")).toString(), "-0.33333333333333333333333333333333333333");
    EXPECT_EQ(-D("2.5"), D("-2.5"));

    // Beyond 38 digits the product is rounded to 38 significant digits.
    const Decimal a = D("1.2345678901234567890123456789012345678");
    EXPECT_EQ((a * a).toString(), "1.5241578753238836750495351562566681943");
    EXPECT_EQ(
        (D("12345678901234567890123456789012345678") / D("0.0000000000000000000000000000000000007"))
            .toString(),
        "17636684144620811271604938270017636683" + std::string(36, '0'));

    // Round trips over a spread of magnitudes and scales.
    const std::vector<const char*> values = {"0.001", "-3",    "123.456", "99999.99999",
                                             "-0.5",  "1e-20", "7e15",    "-31.4159265"};
    for (const char* x : values) {
        for (const char* y : values) {
            EXPECT_EQ(D(x) + D(y) - D(y), D(x)) << x << " " << y;
            EXPECT_EQ(D(x) * D(y) / D(y), D(x)) << x << " " << y;
        }
    }
}

TEST(Decimal, AlignsVeryDifferentScales) {
    EXPECT_EQ((D("12345678901234567890") + D("0.123456789012345678")).toString(),
              "12345678901234567890.123456789012345678");
    // The exact sum needs 51 digits: rounded to 38 it is the larger operand.
    EXPECT_EQ(D("1") + D("1e-50"), D("1"));
    EXPECT_EQ(D("1") - D("1e-50"), D("1"));
    EXPECT_EQ(D("1e150") + D("1"), D("1e150"));
    EXPECT_EQ(D("1e-100") - D("1e150"), D("-1e150"));
    EXPECT_EQ(D("0") + D("1e-120"), D("1e-120"));
    EXPECT_EQ((D("1e-100") + D("1e-100")).toString(), "0." + std::string(99, '0') + "2");
    // A carry out of the 38th digit.
    EXPECT_EQ(
        (D("99999999999999999999999999999999999999") + D("99999999999999999999999999999999999999"))
            .toString(),
        "2" + std::string(38, '0'));
    EXPECT_EQ((D("99999999999999999999999999999999999999") * D("10")).toString(),
              std::string(38, '9') + "0");

    EXPECT_LT(D("1e-100"), D("1e-99"));
    EXPECT_GT(D("1e150"), D("99999999999999999999999999999999999999"));
    EXPECT_LT(D("-1e150"), D("-99999999999999999999999999999999999999"));
    EXPECT_GT(D("0.00000000000000000000000000000000000000001"), D("0"));
    EXPECT_EQ(D("0.5"), D("0.50000"));
    EXPECT_LT(D("-1"), D("-0.5"));
    EXPECT_LT(D("1.99"), D("2"));
}

TEST(Decimal, OverflowAndDivisionByZeroGiveNaN) {
    EXPECT_TRUE((D("1e100") * D("1e100")).isNaN());
    EXPECT_TRUE(D("1e200").isNaN());
    EXPECT_TRUE((D("1") / D("0")).isNaN());
    EXPECT_TRUE((D("0") / D("0.000")).isNaN());
    EXPECT_TRUE((D("1e-100") / D("1e100")).isZero());  // below the finest unit

    const Decimal nan = Decimal::nan();
    EXPECT_TRUE((nan + D("1")).isNaN());
    EXPECT_TRUE((D("1") * nan).isNaN());
    EXPECT_EQ(nan.toString(), "NaN");
    EXPECT_EQ(nan.toFixed(2), "NaN");
    EXPECT_FALSE(nan == nan);
    EXPECT_FALSE(nan < D("1"));
    EXPECT_FALSE(nan > D("1"));
    EXPECT_EQ(nan <=> D("0"), std::partial_ordering::unordered);
    EXPECT_EQ(nan.sign(), 0);
    EXPECT_TRUE(std::isnan(nan.toDouble()));
}

TEST(Decimal, RoundsEachModeAtTiesAndBeyondTheDigits) {
    struct Case {
        const char* value;
        int places;
        R mode;
        const char* expected;
    };
    const Case cases[] = {
        {"1.005", 2, R::Plain, "1.01"},    {"-1.005", 2, R::Plain, "-1.01"},
        {"1.0049", 2, R::Plain, "1"},      {"2.345", 2, R::Plain, "2.35"},
        {"9.995", 2, R::Plain, "10"},      {"-0.5", 0, R::Plain, "-1"},
        {"-1.001", 2, R::Down, "-1.01"},   {"1.239", 2, R::Down, "1.23"},
        {"-1.000", 2, R::Down, "-1"},      {"1.001", 2, R::Up, "1.01"},
        {"-1.009", 2, R::Up, "-1"},        {"2.5", 0, R::Bankers, "2"},
        {"3.5", 0, R::Bankers, "4"},       {"-2.5", 0, R::Bankers, "-2"},
        {"2.5000001", 0, R::Bankers, "3"}, {"0.125", 2, R::Bankers, "0.12"},
        {"1234.5", -2, R::Plain, "1200"},  {"1250", -2, R::Plain, "1300"},
        {"1250", -2, R::Bankers, "1200"},  {"-1251", -2, R::Down, "-1300"},
        {"0.0004", 2, R::Plain, "0"},      {"0.0004", 2, R::Up, "0.01"},
        {"-0.0004", 2, R::Down, "-0.01"},  {"1e-100", 2, R::Up, "0.01"},
        {"-1e-100", 0, R::Up, "0"},        {"1.5", 4, R::Plain, "1.5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(D(c.value).rounded(c.places, c.mode).toString(), c.expected)
            << c.value << " at " << c.places << " mode " << static_cast<int>(c.mode);
    }
    // Ties are exact decimal ties even when the double is not.
    EXPECT_EQ(Decimal::fromDouble(2.675).rounded(2, R::Plain).toString(), "2.68");
    EXPECT_EQ(Decimal::fromDouble(1.005).rounded(2, R::Plain).toString(), "1.01");
}

TEST(Decimal, ToFixedPrintsExactlyThePlaces) {
    EXPECT_EQ(D("0.1").toFixed(4), "0.1000");
    EXPECT_EQ(D("7").toFixed(0), "7");
    EXPECT_EQ(D("2.5").toFixed(3), "2.500");
    EXPECT_EQ(D("2.344").toFixed(2), "2.34");
    EXPECT_EQ(D("0.05").toFixed(1), "0.1");
    EXPECT_EQ(D("-0.001").toFixed(2), "0.00");
    EXPECT_EQ(D("1.239").toFixed(2, R::Down), "1.23");
    EXPECT_EQ(D("1234.5").toFixed(-2), "1200");
    EXPECT_EQ(D("-12.345").toFixed(2), "-12.35");
    EXPECT_EQ(D("1e45").toFixed(1), "1" + std::string(45, '0') + ".0");
}

}  // namespace
