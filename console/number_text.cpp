#include "console/number_text.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace qv {
namespace {

// The powers of ten a double holds exactly.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kMaxExactPower = 22;
constexpr int kMaxFastPrecision = 9;

// The p significant digits of |value| rounded to nearest, as an integer from 10^(p-1) to 10^p - 1,
// and the decimal exponent of the first: value ~ digits * 10^(exponent - p + 1). The scaling is
// one correctly rounded multiplication or division by an exact power of ten, so the scaled value
// is off by at most half its unit in the last place, far less than the distance to the middle
// between two integers that is asked of it; a value that close to a tie is left to to_chars.
bool roundedDigits(double magnitude, int p, std::uint64_t& digits, int& exponent) {
    // magnitude = m * 2^binary with m in [1, 2) (a normal number, by the range of the caller);
    // 78913 / 2^18 is log10(2) to six digits, so x is at most one off the decimal exponent, which
    // is corrected below. The shift of a negative number rounds down.
    const int binary = static_cast<int>(std::bit_cast<std::uint64_t>(magnitude) >> 52) - 1023;
    int x = (binary * 78913) >> 18;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int scale = p - 1 - x;
        if (scale > kMaxExactPower || -scale > kMaxExactPower) return false;
        const double r = scale >= 0 ? magnitude * kPow10[scale] : magnitude / kPow10[-scale];
        if (r < kPow10[p - 1]) {
            --x;
        } else if (r >= kPow10[p]) {
            ++x;
        } else {
            // r is positive and far below 2^52: truncation is floor, and the fraction is exact.
            const auto whole = static_cast<std::uint64_t>(r);
            const double fraction = r - static_cast<double>(whole);
            if (std::fabs(fraction - 0.5) < 1e-6) return false;
            digits = whole + (fraction > 0.5 ? 1 : 0);
            if (digits == static_cast<std::uint64_t>(kPow10[p])) {  // 9.99...95 and up carry
                digits /= 10;
                ++x;
            }
            exponent = x;
            return true;
        }
    }
    return false;
}

}  // namespace

char* fastRealText(char* first, double value, int precision) {
    const int p = precision == 0 ? 1 : precision;
    if (p < 1 || p > kMaxFastPrecision) return nullptr;
    const double magnitude = std::fabs(value);
    // Zeros, infinities, NaN and the far ends of the range take the general way.
    if (!(magnitude >= 1e-15 && magnitude < 1e21)) return nullptr;
    std::uint64_t digits = 0;
    int x = 0;
    if (!roundedDigits(magnitude, p, digits, x)) return nullptr;

    char text[kMaxFastPrecision];
    for (int k = p - 1; k >= 0; --k) {
        text[k] = static_cast<char>('0' + digits % 10);
        digits /= 10;
    }
    // Trailing zeros are not written (%g without '#').
    int used = p;
    while (used > 1 && text[used - 1] == '0') --used;

    char* out = first;
    if (value < 0) *out++ = '-';
    if (x >= -4 && x < p) {
        // Fixed notation: x + 1 digits before the point, or "0." and -x - 1 zeros.
        if (x >= 0) {
            for (int k = 0; k <= x; ++k) *out++ = k < used ? text[k] : '0';
            if (used > x + 1) {
                *out++ = '.';
                for (int k = x + 1; k < used; ++k) *out++ = text[k];
            }
        } else {
            *out++ = '0';
            *out++ = '.';
            for (int k = 0; k < -x - 1; ++k) *out++ = '0';
            for (int k = 0; k < used; ++k) *out++ = text[k];
        }
        return out;
    }
    *out++ = text[0];
    if (used > 1) {
        *out++ = '.';
        for (int k = 1; k < used; ++k) *out++ = text[k];
    }
    *out++ = 'e';
    *out++ = x < 0 ? '-' : '+';
    const int e = x < 0 ? -x : x;  // two digits: the range above keeps it below 100
    *out++ = static_cast<char>('0' + e / 10);
    *out++ = static_cast<char>('0' + e % 10);
    return out;
}

}  // namespace qv
