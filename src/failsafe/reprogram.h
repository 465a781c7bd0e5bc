#pragma once
// Programs the chip again as the last apply left it, for a chip that lost its settings (sleep,
// another program) or a driver that could not be reached when the apply ran.
#include <array>

#include "state/form1.h"

namespace kelvane {

// Runs the port program kelvane.dat again (when present; a failing one is skipped, as at
// start-up), then the fan part of the last apply for the chosen fans among those it covered,
// from the settings that apply used. Nothing else of an apply (settings file, topmost state,
// Run value) is repeated. A driver call or value that fails in the fan part raises
// RuntimeError as the apply does.
void ReprogramChip(Form1& f, const std::array<bool, 3>& fans = {true, true, true});

}  // namespace kelvane
