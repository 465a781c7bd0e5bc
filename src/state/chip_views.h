#pragma once
// The narrow views of the program state that the chip's operations take.
#include "chip/apply_settings.h"
#include "chip/chip_identification.h"
#include "chip/led_display.h"
#include "state/form1.h"

namespace kelvane {

// Identifies the program's chip: sets both layout flags, notes the id and revision read and
// then, in the same configuration-mode session, where the chip has its hardware monitor.
void IdentifyChip(Form1& f);

ApplyContext ApplyContextOf(Form1& f);
// The same over other settings: the chip programmed again from the settings an apply used.
ApplyContext ApplyContextOf(Form1& f, Settings& settings);

// The start-up apply's scope: only what the settings loader read, and only the fans the file
// describes.
ApplyScope ScopeOfLoadedSettings(const StartupFindings& found);
// The same, noting the fans it leaves out for FanKeepsChipSettings.
ApplyScope StartupApplyScope(StartupFindings& found);
// Fan n runs on the chip's own settings: start-up left it out and no apply has covered it since.
// Its record then holds built-in values the chip never got.
bool FanKeepsChipSettings(const Form1& f, std::size_t n);

LedStyle LedStyleOf(const Form1& f);

}  // namespace kelvane
