#pragma once
// Whole-number results of divisions are computed in floating point and rounded to the
// nearest whole number, ties to the even neighbour (7/2 gives 4, 5/2 gives 2).
#include <cmath>
#include <cstdint>

#include "base/int16.h"
#include "base/runtime_error.h"

namespace kelvane {

inline double RoundHalfEven(double x) {
    double r = std::round(x);  // ties away from zero
    if (std::fabs(x - std::trunc(x)) == 0.5) r = 2.0 * std::round(x / 2.0);
    return r;
}

inline std::int64_t RoundToInt64(double x) {
    if (!std::isfinite(x)) Raise(ErrorKind::Overflow, "not finite");
    const double r = RoundHalfEven(x);
    if (r < -9.2e18 || r > 9.2e18) Raise(ErrorKind::Overflow, "64-bit");
    return static_cast<std::int64_t>(r);
}

inline i16 RoundToInt16(double x) { return ToInt16(RoundToInt64(x)); }
inline std::int32_t RoundToInt32(double x) { return ToInt32(RoundToInt64(x)); }

// a / b in floating point, rounded to even; b = 0 raises division by zero.
inline double Divide(double a, double b) {
    if (b == 0.0) Raise(ErrorKind::DivisionByZero);
    return a / b;
}

}  // namespace kelvane
