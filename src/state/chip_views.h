#pragma once
// The narrow views of the program state that the chip's operations take.
#include "chip/apply_settings.h"
#include "chip/chip_identification.h"
#include "chip/led_display.h"
#include "state/form1.h"

namespace kelvane {

// Identifies the program's chip: sets both layout flags and notes the id and revision read.
void IdentifyChip(Form1& f);

ApplyContext ApplyContextOf(Form1& f);
// The same over other settings: the chip programmed again from the settings an apply used.
ApplyContext ApplyContextOf(Form1& f, Settings& settings);

// The start-up apply's scope: only what the settings loader read.
ApplyScope ScopeOfLoadedSettings(const StartupFindings& found);

LedStyle LedStyleOf(const Form1& f);

}  // namespace kelvane
