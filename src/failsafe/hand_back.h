#pragma once
// What the fans go back to when Kelvane ends: the registers the monitor cycle writes on its
// own (0x14, the controls 0x15 and 0x16 and, on the older layout, the automatic speeds that
// full speed raises), each with the value the last apply left in it, or the value it held
// before Kelvane first wrote it. Nothing here takes memory from the heap: the hand-back also
// runs in a process that is crashing.
#include <array>
#include <cstdint>
#include <optional>
#include <utility>

#include "chip/apply_settings.h"
#include "chip/chip_access.h"

namespace kelvane {

inline constexpr std::array<std::uint8_t, 9> kWatchedRegisters = {0x14, 0x15, 0x16, 0x65, 0x66,
                                                                  0x67, 0x6D, 0x6E, 0x6F};

// How many of kWatchedRegisters the monitor writes on this layout: the newer keeps its
// delta temperature and unused bytes where the older has its automatic speeds.
constexpr int WatchedCount(bool newer_layout) { return newer_layout ? 3 : 9; }

// The watched registers as read before Kelvane's first write, in kWatchedRegisters order.
using PowerOnValues = std::array<std::optional<std::uint8_t>, kWatchedRegisters.size()>;

// Reads the watched registers of the layout; one that cannot be read stays unknown.
PowerOnValues ReadPowerOnValues(ChipAccess& chip, bool newer_layout);

struct HandBack {
    std::array<std::pair<std::uint8_t, std::uint8_t>, kWatchedRegisters.size()> writes{};
    int count = 0;  // a register of which nothing is known is left alone
};

HandBack HandBackValues(const PowerOnValues& before, const ApplyRecord& applied, bool newer_layout);

// How the hand-back reaches the driver: through ChipAccess, or straight to it from a thread
// writing on behalf of one that holds driver_lock() and waits (the dying process's hand-back,
// the one access that bypasses ChipAccess).
enum class DriverLock { Take, HeldForUs };

enum class HandBackOutcome {
    HandedBack,
    NothingToHandBack,  // the fan registers were never reached: the chip kept its own settings
    NotReached,         // the chip could not be reached for the hand-back
};

// Writes the values in order, then ends every further access to the chip (ChipAccess::Close).
// A chip that cannot be reached ends it at once. With the lock held for us, the speaker is
// switched off after the fans: a process dying during a note must not leave it sounding.
HandBackOutcome WriteHandBack(ChipAccess& chip, const HandBack& values, DriverLock lock);

}  // namespace kelvane
