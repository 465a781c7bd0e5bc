#pragma once
// Identification of the Super I/O chip through its configuration pair at 0x2E, which
// decides the fan-control register layout.
#include "base/int16.h"
#include "chip/chip_access.h"

namespace kelvane {

inline constexpr int kConfigPort = 0x2E;

// Enters configuration mode (and stays there), sets the delta-temperature flag
// (KelvaneFanSpecialFlag) and returns the value for KelvaneFanFlag: true for the newer
// register layout. The chip id and revision are noted as they are read (-1 when not read).
i16 CheckChipRevision(ChipAccess& chip, i16& delta_temp_flag, int& chip_id, int& chip_revision);

// In the configuration mode identification left open: the hardware monitor's base address
// (logical device 4, registers 0x60 high and 0x61 low). Its index port is the base + 5.
int ReadMonitorBase(ChipAccess& chip);
// The two chip ids identification knows; only these say where their monitor is.
inline constexpr int kNewerChipId = 0x12, kOlderChipId = 0x05;
inline bool ChipNamesItself(int chip_id) {
    return chip_id == kNewerChipId || chip_id == kOlderChipId;
}
inline constexpr int kMonitorIndexOffset = 5;

}  // namespace kelvane
