#pragma once
// One tick of the machine as the history keeps it: small enough that a day at one second
// fits a fixed ring of a few megabytes, so voltages stay the raw register bytes they were read
// as and are converted only when shown or written.
#include <array>
#include <cstdint>
#include <functional>

namespace kelvane::history {

inline constexpr int kChannels = 3;
inline constexpr int kInputs = 9;

struct Sample {
    std::int64_t time = 0;                // seconds since 1970-01-01 UTC
    std::array<std::int32_t, 3> fan{};    // rpm
    std::array<std::int16_t, 3> temp{};   // Celsius
    std::array<std::uint8_t, 9> volt{};   // raw register bytes 0x20..0x28
    std::array<std::uint8_t, 2> limit{};  // temperature limits of channels 0 and 1
    std::uint16_t volt_shown = 0;         // bit v: input v was shown, so read
    std::uint8_t status = 0;              // the monitor's status code 0..4
    std::uint8_t flags = 0;               // kLasting | kCritical | kReachable | kNoReading
    // The software step (PWM) fans 0 and 1 were put at by a normal tick; -1 on any other.
    std::array<std::int8_t, 2> step{-1, -1};

    // kNoReading: the driver answered, but the tick read nothing (a set-up problem kept it
    // from the monitor). Such a second is no outage, and no reading either.
    static constexpr std::uint8_t kLasting = 1, kCritical = 2, kReachable = 4, kNoReading = 8;
    bool lasting() const { return (flags & kLasting) != 0; }
    bool critical() const { return (flags & kCritical) != 0; }
    bool reachable() const { return (flags & kReachable) != 0; }
    bool has_reading() const { return (flags & (kReachable | kNoReading)) == kReachable; }
    bool shown(int v) const { return (volt_shown >> v & 1) != 0; }
};
static_assert(sizeof(Sample) <= 48, "a day of samples must stay within 4 MB");

// Volts of input v for a raw register value (a byte, or a mean of bytes), as the monitor
// converts them with the current settings.
using VoltsOf = std::function<double(int input, double raw)>;

}  // namespace kelvane::history
