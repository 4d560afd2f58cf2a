#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// An exact decimal number: a signed integer mantissa of up to 38 digits
// times ten to the minus `scale`. Arithmetic is exact; division is carried to
// 38 significant digits. A result that needs more than 38 significant digits
// (a sum of very different magnitudes, a long product) is rounded to 38, a
// tie away from zero, and nothing finer than 1e-128 is kept. A result that
// cannot be held (beyond about 1e165, division by zero) is NaN, which
// compares unequal to everything and prints "NaN". `scale` is negative only
// for whole numbers too large for 38 digits.
class Decimal {
  public:
    enum class Rounding {
        Plain,   // to nearest, a tie away from zero (1.005 -> 1.01, -1.005 -> -1.01)
        Down,    // toward minus infinity (-1.001 -> -1.01 at 2 places)
        Up,      // toward plus infinity
        Bankers  // to nearest, a tie to the even digit
    };

    Decimal() = default;  // zero
    static Decimal fromInteger(int64_t value);
    // Plain decimal text: optional sign, digits, optional fraction, optional
    // exponent ("12", "-0.50", ".5", "1.5e-3"). Nothing on anything else; a
    // number beyond the range reads as NaN.
    static std::optional<Decimal> parse(std::string_view text);
    // The shortest decimal text that reads back as the same double.
    static Decimal fromDouble(double value);
    static Decimal nan();

    bool isNaN() const { return nan_; }
    bool isZero() const { return !nan_ && mantissa_ == 0; }
    int sign() const;
    int scale() const { return scale_; }

    Decimal operator+(const Decimal& other) const;
    Decimal operator-(const Decimal& other) const;
    Decimal operator*(const Decimal& other) const;
    Decimal operator/(const Decimal& other) const;
    Decimal operator-() const;

    // Ordering of two numbers; NaN is unordered.
    std::partial_ordering operator<=>(const Decimal& other) const;
    bool operator==(const Decimal& other) const;

    // Rounded to `places` digits after the point (negative places round to
    // tens, hundreds ...).
    Decimal rounded(int places, Rounding mode) const;

    // Plain text without exponent and without trailing zeros ("1.5", "-3",
    // "0.001"); zero is "0".
    std::string toString() const;
    // Text with exactly `places` digits after the point (after rounding with
    // `mode`).
    std::string toFixed(int places, Rounding mode = Rounding::Plain) const;
    double toDouble() const;

  private:
    friend struct DecimalImpl;
    __int128 mantissa_ = 0;
    int scale_ = 0;
    bool nan_ = false;
};

}  // namespace platform
