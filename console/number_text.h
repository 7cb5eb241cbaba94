#pragma once
// Numbers as text without a stream, byte for byte as an ostream in the classic locale writes them
// while no format flag and no field width is set: integers in decimal, reals in general notation
// with the stream's precision (printf's %.<precision>g, which std::to_chars also gives).
#include <charconv>
#include <ostream>

namespace qv {

// Room for any integer and for a real at a precision up to kMaxPlainPrecision.
inline constexpr int kNumberTextSize = 40;
inline constexpr int kMaxPlainPrecision = 17;

// Whether `out` writes numbers as the functions below do: no format flag but the default decimal
// base, no field width, a precision from 0 to kMaxPlainPrecision, and no error so far. Its locale
// is taken to be the classic one.
inline bool plainNumbers(const std::ostream& out) {
    return (out.flags() & ~std::ios_base::skipws) == std::ios_base::dec && out.width() == 0 &&
           out.precision() >= 0 && out.precision() <= kMaxPlainPrecision && out.good();
}

// The common case of realText by a shorter way: finite values from 1e-15 to 1e21 at a precision
// up to 9, unless a decimal tie is too close to tell. Returns the end of the text, or null (and
// writes nothing that counts) when the value takes the general way.
char* fastRealText(char* first, double value, int precision);

// The text goes to `first`, which needs kNumberTextSize chars; returns its end.
inline char* realText(char* first, double value, int precision) {
    if (char* end = fastRealText(first, value, precision)) return end;
    return std::to_chars(first, first + kNumberTextSize, value, std::chars_format::general,
                         precision)
        .ptr;
}
template <class Integer>
char* integerText(char* first, Integer value) {
    return std::to_chars(first, first + kNumberTextSize, value).ptr;
}

}  // namespace qv
