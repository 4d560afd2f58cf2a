#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Decimal.h"

// The decimal texts of prices and amounts on every trading screen, and the
// checks of the number input.
class KAStringUtils {
  public:
    // Decimal counts outside 0..15 are held to it.
    static constexpr int kMaxDecimals = 15;

    // True when the text holds only Unicode decimal digits (the empty text
    // too); false for no text or text that is not UTF-8.
    static bool isAllDigitsWithString(std::optional<std::string_view> text);
    // Digits after the point in the number's plain decimal text ("0.0001"
    // gives 4, 25 gives 0); never counts an exponent.
    static int getDecimalDigits(double number);
    static int getDecimalDigits(const platform::Decimal& number);
    // The number rounded to `afterPoint` decimals, a tie away from zero
    // (2.345 gives "2.35", -1.005 gives "-1.01"), padded with zeros ("0.1"
    // with 4 gives "0.1000"). The rounding works on the exact decimal.
    static std::string notRounding(const platform::Decimal& price, int afterPoint);
    // The float written with six decimals first (as "%f" writes it), then
    // rounded as above.
    static std::string notRoundingWithFloat(float price, int afterPoint);
};
