#pragma once

#include <cmath>
#include <limits>
#include <stdexcept>

// Coordinate arithmetic of the painters: a result outside the range of int raises an error
// instead of wrapping, so a huge rectangle is reported and never drawn garbled.
namespace paint_checked {

[[nodiscard]] inline int Add(int a, int b)
{
    int r;
    if (__builtin_add_overflow(a, b, &r)) {
        throw std::overflow_error("Integer overflow");
    }
    return r;
}

[[nodiscard]] inline int Sub(int a, int b)
{
    int r;
    if (__builtin_sub_overflow(a, b, &r)) {
        throw std::overflow_error("Integer overflow");
    }
    return r;
}

// A double that must become an int: NaN or a value outside int is an overflow.
[[nodiscard]] inline int ToInt(double v)
{
    if (!(v >= static_cast<double>(std::numeric_limits<int>::min())
            && v <= static_cast<double>(std::numeric_limits<int>::max()))) {
        throw std::overflow_error("Integer overflow");
    }
    return static_cast<int>(v);
}

// Nearest integer, exact halves to the even neighbour, independent of the FPU rounding mode.
[[nodiscard]] inline int RoundHalfEven(double v)
{
    double r = std::floor(v);
    const double diff = v - r;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) {
        r += 1.0;
    }
    return ToInt(r);
}

// Truncation toward zero; a result that does not fit 32 bits is a range error.
[[nodiscard]] inline int Trunc(double v)
{
    const double t = std::trunc(v);
    if (!(t >= static_cast<double>(std::numeric_limits<int>::min())
            && t <= static_cast<double>(std::numeric_limits<int>::max()))) {
        throw std::range_error("Range check error");
    }
    return static_cast<int>(t);
}

} // namespace paint_checked
