#pragma once
// Values handed to the chip: bytes and 16-bit ports. The conversion is checked before any
// port is touched, so no truncated value ever reaches the hardware.
#include <cstdint>

#include "base/runtime_error.h"

namespace kelvane {

using u8 = std::uint8_t;

inline u8 ToByte(long long v) {
    if (v < 0 || v > 255) Raise(ErrorKind::Overflow, "byte");
    return static_cast<u8>(v);
}

// Ports travel as 16-bit integers; a signed 16-bit setting such as a negative address keeps
// its bit pattern, anything wider is an overflow.
inline std::uint16_t ToPort(long long v) {
    if (v < INT16_MIN || v > UINT16_MAX) Raise(ErrorKind::Overflow, "port");
    return static_cast<std::uint16_t>(v & 0xFFFF);
}

}  // namespace kelvane
