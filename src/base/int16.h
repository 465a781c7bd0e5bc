#pragma once
// 16-bit whole numbers as the program stores settings, truth values and intermediate
// results: every conversion and every sum, difference and product is range-checked and
// raises the overflow error instead of wrapping.
#include <cstdint>

#include "base/runtime_error.h"

namespace kelvane {

using i16 = std::int16_t;

inline constexpr i16 kTrue = -1;
inline constexpr i16 kFalse = 0;

constexpr i16 Flag(bool b) { return b ? kTrue : kFalse; }
constexpr bool IsTrue(long long v) { return v != 0; }

inline i16 ToInt16(long long v) {
    if (v < INT16_MIN || v > INT16_MAX) Raise(ErrorKind::Overflow, "16-bit");
    return static_cast<i16>(v);
}

inline std::int32_t ToInt32(long long v) {
    if (v < INT32_MIN || v > INT32_MAX) Raise(ErrorKind::Overflow, "32-bit");
    return static_cast<std::int32_t>(v);
}

inline i16 Add16(long long a, long long b) { return ToInt16(a + b); }
inline i16 Sub16(long long a, long long b) { return ToInt16(a - b); }
inline i16 Mul16(long long a, long long b) { return ToInt16(a * b); }

}  // namespace kelvane
