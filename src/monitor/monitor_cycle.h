#pragma once
// The once-a-second monitor cycle of the main window: read and draw every channel, decide
// one status for the machine and act on it (fan registers, status label, main window,
// error window, logs, alarm sound).
#include "state/form1.h"

namespace kelvane {

// Shown in Label1 while the driver library cannot be loaded or a driver call fails.
// Names the library it looked for, so a technician knows what is missing.
inline constexpr const char* kUnreachableText = "Hardware monitor not reachable: brantelvio.dll";

// Shown in Label1 during the warm-up ticks, before the cycle acts on the status.
inline constexpr const char* kStartingText = "Kelvane is starting...";

// The full-speed temperature of fan `fan`'s control block (0x60 + 8 * fan), as last read:
// the limit the alarm compares channel n with is fan n's (0 system, 1 CPU), and a display
// turns red at the limit of the record it is paired with. Fan 2's block is not read (-1).
std::int32_t TemperatureLimit(const Form1& f, int fan);

// The event of Timer1. Never throws: a failing tick ends early and the next starts afresh.
void Form1_Timer1_Timer(Form1& f);

}  // namespace kelvane
