#pragma once

// How the list row models take values from a trading record: prices,
// amounts and quantities as exact decimals of the record's number written
// with six decimals (prices with more when their symbol has more), dates
// parsed from the record's text.

#include <optional>
#include <string>

#include "platform/Decimal.h"

class KAVBizSDK;

namespace lsconvert {

// The number written with "%f" (six decimals, rounded) and read back as an
// exact decimal; NaN for a number that is not finite.
platform::Decimal decimal(double value);
// A price of a symbol priced in `decimals` places, as decimal() writes it,
// but with as many decimals as the symbol's when it has more than six (at
// most 15, as the price texts hold them): six would turn the last digits of
// a price of 0.00012345 into zeros.
platform::Decimal price(double value, int decimals);
// The decimals of the symbol a record names, as the service caches it; 0
// (prices with six) when there is no service or it does not know the symbol.
int decimalsOf(const KAVBizSDK* sdk, const std::string& symbolCode);
// The moment (seconds since 1970, local time) of a "yyyy-MM-dd HH:mm:ss"
// text; nothing when it does not parse.
std::optional<double> date(const std::string& text);
// The moment written with the pattern; empty for no date.
std::string dateText(const std::optional<double>& date, const char* pattern);

}  // namespace lsconvert
