#pragma once
// The text that sets up a simulated machine. Numbers are decimal or 0x hex; register names
// in [Registers] and [Hold] are hex with or without 0x. A ";" starts a comment, also after a
// value.
//   [Chip]      Id (0x12), Revision (8), Address (0x295): what 0x21/0x22 of the configuration
//               pair answer, and the monitor's index port (the configuration space's logical
//               device 4 gives its base, Address - 5, in 0x60/0x61)
//   [Registers] 29=45 ...: starting values of monitor registers
//   [Hold]      2A=90 ...: registers whose reads always give this value
//   [Thermal]   Enabled=0/1, Ambient (C), Heat0..2 (C over ambient, fan stopped), Cooling (%
//               of the heat a full-speed fan removes), TimeConstant (s), MaxRpm0..2, StallPwm,
//               Spin (% of MaxRpm at the lowest turning PWM), Wave (% swing of the heat),
//               Period (s of one swing)
//   [Speaker]   Port61: what port 0x61 reads before anything is written to it
//   [Faults]    OpenBus=0x00: every read of every port answers this byte; CrashAtCall=N: the
//               stand-in library's Nth call after this description was (re)loaded raises an
//               access violation in its caller before the library takes its lock (later
//               calls work); CrashAtPort=0x42: the same for the first call at that port (the
//               index port of a register call) after the (re)load; the in-process board
//               ignores both
// A description that is loaded again writes its [Registers] values again: adding the power-on
// values there puts a running chip back to them.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "board/thermal_model.h"

namespace kelvane::board {

struct BoardDescription {
    std::optional<std::uint8_t> chip_id;
    std::optional<std::uint8_t> revision;
    std::optional<std::uint16_t> address;
    std::vector<std::pair<std::uint8_t, std::uint8_t>> registers;  // in file order
    std::vector<std::pair<std::uint8_t, std::uint8_t>> holds;
    ThermalParams thermal;  // off unless [Thermal] says Enabled=1
    std::optional<std::uint8_t> port61;
    std::optional<std::uint8_t> open_bus;
    std::optional<long long> crash_at_call;
    std::optional<std::uint16_t> crash_at_port;
    // Lines that were not understood; the rest of the description still applies.
    std::vector<std::string> problems;
};

BoardDescription ParseBoardDescription(const std::string& text);

// "45", "-10", "0x2d"; nothing for anything else, including trailing junk.
std::optional<long long> ParseBoardNumber(const std::string& text);
// "29", "0x29": a register number 0..0xFF.
std::optional<std::uint8_t> ParseRegisterName(const std::string& text);

}  // namespace kelvane::board
