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

}  // namespace kelvane
