#include "platform/Decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>

namespace platform {

namespace {

using u128 = unsigned __int128;
using i128 = __int128;
using Rounding = Decimal::Rounding;

constexpr int kMaxDigits = 38;
// The finest unit is 1e-128 and the largest number a little under 1e166.
constexpr long long kMaxScale = 128;
constexpr long long kMinScale = -127;

struct Pow10Table {
    u128 value[kMaxDigits + 1] = {};
    constexpr Pow10Table() {
        u128 p = 1;
        for (int i = 0; i <= kMaxDigits; ++i) {
            value[i] = p;
            p *= 10;
        }
    }
};
constexpr Pow10Table kPow10;
constexpr u128 kLimit = kPow10.value[kMaxDigits];  // every mantissa stays below 10^38

uint64_t pow10u64(int n) {
    return static_cast<uint64_t>(kPow10.value[n]);
}

// Decimal digits of v (1 for zero); at most 39 for any 128-bit value.
int digitCount(u128 v) {
    int n = 1;
    while (n <= kMaxDigits && v >= kPow10.value[n])
        ++n;
    return n;
}

u128 magnitude(i128 v) {
    return v < 0 ? -static_cast<u128>(v) : static_cast<u128>(v);
}

// An unsigned integer wide enough for two 38-digit numbers aligned 76 digits
// apart, and for the scaled dividend of a division. Little-endian limbs.
struct Wide {
    static constexpr int kLimbs = 7;
    uint64_t limb[kLimbs] = {};

    static Wide from(u128 v) {
        Wide w;
        w.limb[0] = static_cast<uint64_t>(v);
        w.limb[1] = static_cast<uint64_t>(v >> 64);
        return w;
    }

    bool isZero() const {
        return std::all_of(limb, limb + kLimbs, [](uint64_t l) { return l == 0; });
    }
    bool fitsU128() const {
        return std::all_of(limb + 2, limb + kLimbs, [](uint64_t l) { return l == 0; });
    }
    u128 low128() const { return (static_cast<u128>(limb[1]) << 64) | limb[0]; }

    void mulSmall(uint64_t k) {
        u128 carry = 0;
        for (uint64_t& l : limb) {
            u128 p = static_cast<u128>(l) * k + carry;
            l = static_cast<uint64_t>(p);
            carry = p >> 64;
        }
    }
    void mulPow10(long long n) {
        while (n > 0) {
            int step = static_cast<int>(std::min<long long>(n, 19));
            mulSmall(pow10u64(step));
            n -= step;
        }
    }
    // Divides in place; returns the remainder.
    uint64_t divSmall(uint64_t d) {
        u128 rem = 0;
        for (int i = kLimbs - 1; i >= 0; --i) {
            u128 cur = (rem << 64) | limb[i];
            limb[i] = static_cast<uint64_t>(cur / d);
            rem = cur % d;
        }
        return static_cast<uint64_t>(rem);
    }
    // Divides in place by d (0 < d < 2^127); returns the remainder.
    u128 divLarge(u128 d) {
        Wide q;
        u128 rem = 0;
        for (int bit = kLimbs * 64 - 1; bit >= 0; --bit) {
            rem = (rem << 1) | ((limb[bit / 64] >> (bit % 64)) & 1);
            if (rem >= d) {
                rem -= d;
                q.limb[bit / 64] |= uint64_t{1} << (bit % 64);
            }
        }
        *this = q;
        return rem;
    }
    void add(const Wide& o) {
        u128 carry = 0;
        for (int i = 0; i < kLimbs; ++i) {
            u128 s = static_cast<u128>(limb[i]) + o.limb[i] + carry;
            limb[i] = static_cast<uint64_t>(s);
            carry = s >> 64;
        }
    }
    // Requires *this >= o.
    void sub(const Wide& o) {
        uint64_t borrow = 0;
        for (int i = 0; i < kLimbs; ++i) {
            uint64_t a = limb[i], b = o.limb[i];
            uint64_t d = a - b - borrow;
            borrow = (a < b || (a == b && borrow)) ? 1 : 0;
            limb[i] = d;
        }
    }
    void addOne() { add(from(1)); }
    int compare(const Wide& o) const {
        for (int i = kLimbs - 1; i >= 0; --i) {
            if (limb[i] != o.limb[i]) return limb[i] < o.limb[i] ? -1 : 1;
        }
        return 0;
    }
    int digits() const {
        Wide w = *this;
        int n = 0;
        while (!w.fitsU128()) {
            w.divSmall(pow10u64(19));
            n += 19;
        }
        u128 rest = w.low128();
        return n == 0 ? digitCount(rest) : n + (rest == 0 ? 0 : digitCount(rest));
    }
};

Wide multiply(u128 a, u128 b) {
    const uint64_t x[2] = {static_cast<uint64_t>(a), static_cast<uint64_t>(a >> 64)};
    const uint64_t y[2] = {static_cast<uint64_t>(b), static_cast<uint64_t>(b >> 64)};
    Wide r;
    for (int i = 0; i < 2; ++i) {
        u128 carry = 0;
        for (int j = 0; j < 2; ++j) {
            u128 t = static_cast<u128>(x[i]) * y[j] + r.limb[i + j] + carry;
            r.limb[i + j] = static_cast<uint64_t>(t);
            carry = t >> 64;
        }
        r.limb[i + 2] = static_cast<uint64_t>(carry);
    }
    return r;
}

// Removes the lowest n digits of a magnitude, rounding as `mode` says for a
// value of the given sign.
void dropDigits(Wide& w, long long n, Rounding mode, bool negative) {
    if (n <= 0) return;
    bool sticky = false;  // some non-zero digit below the deciding one
    while (n > 1 && !w.isZero()) {
        int step = static_cast<int>(std::min<long long>(n - 1, 19));
        sticky |= w.divSmall(pow10u64(step)) != 0;
        n -= step;
    }
    uint64_t last = 0;
    if (n == 1) last = w.divSmall(10);
    bool up = false;
    switch (mode) {
        case Rounding::Plain:
            up = last >= 5;
            break;
        case Rounding::Bankers:
            up = last > 5 || (last == 5 && (sticky || (w.limb[0] & 1)));
            break;
        case Rounding::Down:
            up = negative && (last != 0 || sticky);
            break;
        case Rounding::Up:
            up = !negative && (last != 0 || sticky);
            break;
    }
    if (up) w.addOne();
}

std::string digitsOf(u128 v) {
    // Prices and amounts fit 64 bits: written without 128-bit divisions.
    if (v <= UINT64_MAX) {
        char text[20];
        const auto written = std::to_chars(text, text + sizeof text, static_cast<uint64_t>(v));
        return std::string(text, written.ptr);
    }
    std::string s;
    do {
        s.push_back(static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    } while (v != 0);
    std::reverse(s.begin(), s.end());
    return s;
}

}  // namespace

struct DecimalImpl {
    static Decimal raw(bool negative, u128 mag, int scale) {
        Decimal d;
        d.mantissa_ = negative ? -static_cast<i128>(mag) : static_cast<i128>(mag);
        d.scale_ = scale;
        return d;
    }

    // The nearest representable number to ±mag·10^-scale: at most 38
    // significant digits (a tie away from zero), no unit finer than the finest
    // scale, NaN beyond the largest magnitude.
    static Decimal make(bool negative, Wide mag, long long scale) {
        long long drop = std::max(mag.digits() - kMaxDigits, 0);
        if (scale - drop > kMaxScale) drop = scale - kMaxScale;
        if (drop > 0) {
            dropDigits(mag, drop, Rounding::Plain, negative);
            scale -= drop;
            if (!mag.fitsU128() || mag.low128() >= kLimit) {  // 99..9 rounded up
                mag.divSmall(10);
                --scale;
            }
        }
        u128 m = mag.low128();
        if (m == 0) return raw(false, 0, static_cast<int>(std::clamp(scale, 0LL, kMaxScale)));
        // Large numbers sit at a negative scale only while 38 digits cannot
        // hold them as whole numbers.
        while (scale < 0 && m < kLimit / 10) {
            m *= 10;
            ++scale;
        }
        if (scale < kMinScale) return Decimal::nan();
        return raw(negative, m, static_cast<int>(scale));
    }

    // Drops trailing zeros after the point (division results).
    static Decimal trimmed(Decimal d) {
        while (d.scale_ > 0 && d.mantissa_ != 0 && d.mantissa_ % 10 == 0) {
            d.mantissa_ /= 10;
            --d.scale_;
        }
        return d;
    }

    static Decimal sum(const Decimal& a, const Decimal& b, bool negateB) {
        if (a.nan_ || b.nan_) return Decimal::nan();
        const i128 bm = negateB ? -b.mantissa_ : b.mantissa_;
        if (a.scale_ == b.scale_) {
            i128 s;
            if (!__builtin_add_overflow(a.mantissa_, bm, &s) && magnitude(s) < kLimit) {
                Decimal d = raw(false, 0, a.scale_);
                d.mantissa_ = s;
                return d;
            }
        }
        // x is the coarser operand; it is brought to the finer scale of y.
        bool xNeg = a.mantissa_ < 0, yNeg = bm < 0;
        u128 xMag = magnitude(a.mantissa_), yMag = magnitude(bm);
        int xScale = a.scale_, yScale = b.scale_;
        if (xScale > yScale) {
            std::swap(xNeg, yNeg);
            std::swap(xMag, yMag);
            std::swap(xScale, yScale);
        }
        const long long diff = static_cast<long long>(yScale) - xScale;
        if (diff > 2 * kMaxDigits) {
            // The finer operand is below half a unit in the 38th digit of the
            // coarser one, so it cannot change the rounded sum.
            if (xMag == 0) return make(yNeg, Wide::from(yMag), yScale);
            return make(xNeg, Wide::from(xMag), xScale);
        }
        Wide x = Wide::from(xMag);
        x.mulPow10(diff);
        Wide y = Wide::from(yMag);
        if (xNeg == yNeg) {
            x.add(y);
            return make(xNeg, x, yScale);
        }
        if (x.compare(y) >= 0) {
            x.sub(y);
            return make(xNeg, x, yScale);
        }
        y.sub(x);
        return make(yNeg, y, yScale);
    }

    static Decimal product(const Decimal& a, const Decimal& b) {
        if (a.nan_ || b.nan_) return Decimal::nan();
        const long long scale = static_cast<long long>(a.scale_) + b.scale_;
        i128 p;
        if (!__builtin_mul_overflow(a.mantissa_, b.mantissa_, &p) && magnitude(p) < kLimit &&
            scale >= 0 && scale <= kMaxScale) {
            Decimal d = raw(false, 0, static_cast<int>(scale));
            d.mantissa_ = p;
            return d;
        }
        const bool negative = (a.mantissa_ < 0) != (b.mantissa_ < 0);
        return make(negative, multiply(magnitude(a.mantissa_), magnitude(b.mantissa_)), scale);
    }

    static Decimal quotient(const Decimal& a, const Decimal& b) {
        if (a.nan_ || b.nan_ || b.mantissa_ == 0) return Decimal::nan();
        if (a.mantissa_ == 0) return Decimal();
        const u128 num = magnitude(a.mantissa_), den = magnitude(b.mantissa_);
        // Scale the dividend so that the quotient has 39 or 40 digits; one
        // more digit records whether anything was left over, so that the
        // rounding to 38 digits sees the true value.
        const int k = kMaxDigits + 1 - digitCount(num) + digitCount(den);
        Wide w = Wide::from(num);
        w.mulPow10(k);
        const u128 rem = w.divLarge(den);
        w.mulSmall(10);
        if (rem != 0) w.addOne();
        const bool negative = (a.mantissa_ < 0) != (b.mantissa_ < 0);
        const long long scale = static_cast<long long>(a.scale_) - b.scale_ + k + 1;
        return trimmed(make(negative, w, scale));
    }

    static Decimal rounded(const Decimal& d, int places, Rounding mode) {
        if (d.nan_ || places >= d.scale_) return d;
        const bool negative = d.mantissa_ < 0;
        Wide w = Wide::from(magnitude(d.mantissa_));
        dropDigits(w, static_cast<long long>(d.scale_) - places, mode, negative);
        return make(negative, w, places);
    }

    static int compareMagnitude(const Decimal& a, const Decimal& b) {
        const u128 am = magnitude(a.mantissa_), bm = magnitude(b.mantissa_);
        if (a.scale_ == b.scale_) return am == bm ? 0 : (am < bm ? -1 : 1);
        const bool aCoarser = a.scale_ < b.scale_;
        const u128 coarse = aCoarser ? am : bm, fine = aCoarser ? bm : am;
        const long long diff = std::abs(static_cast<long long>(a.scale_) - b.scale_);
        int c;  // coarse against fine
        if (diff >= kMaxDigits) {
            // A non-zero coarse number is at least one of its units, which no
            // 38-digit number that many places finer reaches.
            c = coarse == 0 ? (fine == 0 ? 0 : -1) : 1;
        } else {
            Wide x = Wide::from(coarse);
            x.mulPow10(diff);
            c = x.compare(Wide::from(fine));
        }
        return aCoarser ? c : -c;
    }

    static std::string text(const Decimal& d, int fixedPlaces) {
        if (d.nan_) return "NaN";
        std::string digits = digitsOf(magnitude(d.mantissa_));
        int scale = d.scale_;
        if (scale < 0) {
            if (d.mantissa_ != 0) digits.append(static_cast<size_t>(-scale), '0');
            scale = 0;
        }
        if (fixedPlaces < 0) {
            while (scale > 0 && digits.size() > 1 && digits.back() == '0') {
                digits.pop_back();
                --scale;
            }
            if (d.mantissa_ == 0) return "0";
        } else if (scale < fixedPlaces) {
            digits.append(static_cast<size_t>(fixedPlaces - scale), '0');
            scale = fixedPlaces;
        }
        if (digits.size() <= static_cast<size_t>(scale)) {
            digits.insert(0, static_cast<size_t>(scale) - digits.size() + 1, '0');
        }
        if (scale > 0) digits.insert(digits.size() - static_cast<size_t>(scale), 1, '.');
        if (d.mantissa_ < 0) digits.insert(0, 1, '-');
        return digits;
    }
};

Decimal Decimal::fromInteger(int64_t value) {
    Decimal d;
    d.mantissa_ = value;
    return d;
}

std::optional<Decimal> Decimal::parse(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::string digits;  // significant digits, leading zeros dropped
    long long fractionDigits = 0;
    bool sawDigit = false, inFraction = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !inFraction) {
            inFraction = true;
            continue;
        }
        if (c < '0' || c > '9') break;
        sawDigit = true;
        if (inFraction) ++fractionDigits;
        if (c != '0' || !digits.empty()) digits.push_back(c);
    }
    if (!sawDigit) return std::nullopt;
    long long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
        const size_t start = i;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            // Anything this large is beyond the range either way.
            if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');
        }
        if (i == start) return std::nullopt;
        if (expNegative) exponent = -exponent;
    }
    if (i != text.size()) return std::nullopt;

    long long scale = fractionDigits - exponent;
    if (digits.empty()) return DecimalImpl::make(false, Wide(), scale);
    // More than 38 significant digits, or digits finer than the finest unit:
    // rounded once, a tie away from zero, to whichever keeps fewer. Rounding
    // to 38 digits first and then to the finest unit would round twice
    // (1.49..9e-128 with 39 nines would read as 2e-128).
    const long long count = static_cast<long long>(digits.size());
    const long long drop = std::max({0LL, count - kMaxDigits, scale - kMaxScale});
    if (drop > count) return DecimalImpl::make(false, Wide(), scale);  // below half a unit
    const size_t keep = static_cast<size_t>(count - drop);
    u128 m = 0;
    for (size_t k = 0; k < keep; ++k)
        m = m * 10 + static_cast<u128>(digits[k] - '0');
    if (drop > 0) {
        if (digits[keep] >= '5') ++m;
        scale -= drop;
    }
    return DecimalImpl::make(negative, Wide::from(m), scale);
}

Decimal Decimal::fromDouble(double value) {
    if (!std::isfinite(value)) return nan();
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    if (ec != std::errc()) return nan();
    return parse(std::string_view(buf, static_cast<size_t>(end - buf))).value_or(nan());
}

Decimal Decimal::nan() {
    Decimal d;
    d.nan_ = true;
    return d;
}

int Decimal::sign() const {
    if (nan_ || mantissa_ == 0) return 0;
    return mantissa_ < 0 ? -1 : 1;
}

Decimal Decimal::operator+(const Decimal& other) const {
    return DecimalImpl::sum(*this, other, false);
}

Decimal Decimal::operator-(const Decimal& other) const {
    return DecimalImpl::sum(*this, other, true);
}

Decimal Decimal::operator*(const Decimal& other) const {
    return DecimalImpl::product(*this, other);
}

Decimal Decimal::operator/(const Decimal& other) const {
    return DecimalImpl::quotient(*this, other);
}

Decimal Decimal::operator-() const {
    Decimal d = *this;
    d.mantissa_ = -d.mantissa_;
    return d;
}

std::partial_ordering Decimal::operator<=>(const Decimal& other) const {
    if (nan_ || other.nan_) return std::partial_ordering::unordered;
    const int a = sign(), b = other.sign();
    if (a != b) return a <=> b;
    if (a == 0) return std::partial_ordering::equivalent;
    const int c = DecimalImpl::compareMagnitude(*this, other) * a;
    return c <=> 0;
}

bool Decimal::operator==(const Decimal& other) const {
    return (*this <=> other) == std::partial_ordering::equivalent;
}

Decimal Decimal::rounded(int places, Rounding mode) const {
    return DecimalImpl::rounded(*this, places, mode);
}

std::string Decimal::toString() const {
    return DecimalImpl::text(*this, -1);
}

std::string Decimal::toFixed(int places, Rounding mode) const {
    return DecimalImpl::text(rounded(places, mode), std::max(places, 0));
}

double Decimal::toDouble() const {
    if (nan_) return std::nan("");
    // A mantissa of at most 53 bits and a power of ten up to 1e22 are both
    // doubles exactly: one division (or product) rounds the exact quotient
    // correctly, as reading the text would. Every price takes this way.
    static constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                             1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                             1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr int kExactPowers = static_cast<int>(std::size(kExactPow10));
    const u128 mag = magnitude(mantissa_);
    if (mag <= (u128{1} << 53) && scale_ > -kExactPowers && scale_ < kExactPowers) {
        const double m = static_cast<double>(static_cast<uint64_t>(mag));
        const double value =
            scale_ >= 0 ? m / kExactPow10[scale_] : m * kExactPow10[-scale_];
        return mantissa_ < 0 ? -value : value;
    }
    // The digits and a power of ten: from_chars rounds that correctly and
    // reads the same whatever the locale.
    std::string text = digitsOf(mag);
    text += 'e';
    text += std::to_string(-scale_);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return mantissa_ < 0 ? -value : value;
}

}  // namespace platform
