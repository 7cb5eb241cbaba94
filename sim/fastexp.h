#pragma once
// exp for the screened pair term in straight-line arithmetic: the vector loops take it whole,
// where a call to the library would stop them. Every operation is a correctly rounded IEEE one
// (the polynomial asks for fused multiply-adds by name, which round once on any machine), so a
// vector lane and a scalar give the same bits.
#include <bit>
#include <cmath>
#include <cstdint>

namespace qv {

// exp(x) for x <= 0, within a few ulp of std::exp; 0 below -708, where std::exp gives numbers
// too small to matter for a pair term. As 2^k exp(r) with r = x - k ln 2 in about
// [-ln 2 / 2, ln 2 / 2], exp(r) by its Taylor series to r^13 (the next term is below 1e-16).
inline double expNonPositive(double x) {
    constexpr double kShift = 0x1.8p52;  // adding it rounds to a whole number in the low bits
    constexpr double kLog2e = 0x1.71547652b82fep0;
    constexpr double kLn2High = 0x1.62e42feep-1;  // few bits: k times it is exact
    constexpr double kLn2Low = 0x1.a39ef35793c76p-33;
    const bool tiny = !(x >= -708.0);
    const double t = tiny ? -708.0 : x;
    const double shifted = t * kLog2e + kShift;
    const double k = shifted - kShift;
    const double r = (t - k * kLn2High) - k * kLn2Low;
    double p = 1.0 / 6227020800.0;  // 1 / 13!
    p = std::fma(p, r, 1.0 / 479001600.0);
    p = std::fma(p, r, 1.0 / 39916800.0);
    p = std::fma(p, r, 1.0 / 3628800.0);
    p = std::fma(p, r, 1.0 / 362880.0);
    p = std::fma(p, r, 1.0 / 40320.0);
    p = std::fma(p, r, 1.0 / 5040.0);
    p = std::fma(p, r, 1.0 / 720.0);
    p = std::fma(p, r, 1.0 / 120.0);
    p = std::fma(p, r, 1.0 / 24.0);
    p = std::fma(p, r, 1.0 / 6.0);
    p = std::fma(p, r, 0.5);
    p = std::fma(p, r, 1.0);
    p = std::fma(p, r, 1.0);
    // 2^k from k + 1023 in the exponent field: k sits in the low bits of `shifted`.
    const double scale =
        std::bit_cast<double>((std::bit_cast<std::uint64_t>(shifted) + 1023) << 52);
    const double e = p * scale;
    return tiny ? 0.0 : e;
}

}  // namespace qv
