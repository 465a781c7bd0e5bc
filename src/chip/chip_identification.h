#pragma once
// Identification of the Super I/O chip through its configuration pair at 0x2E, which
// decides the fan-control register layout.
#include "app/form1.h"

namespace kelvane {

inline constexpr int kConfigPort = 0x2E;

// Enters configuration mode (and stays there), sets f.KelvaneFanSpecialFlag and returns the
// value for f.KelvaneFanFlag: true for the newer register layout.
i16 CheckChipRevision(Form1& f);

}  // namespace kelvane
