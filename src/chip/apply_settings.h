#pragma once
// Makes the current settings take effect: the settings file (when saving), the fan
// controller for every fan shown on the main window, the topmost state and the autostart
// value. A value that does not fit its register field raises RuntimeError before any register
// of its fan is touched and abandons the rest.
#include <array>

#include "app/form1.h"
#include "app/int16.h"

namespace kelvane {

void ApplySettings(Form1& f, i16 save);

// What an apply may touch. The start-up apply leaves the board's own registers, the topmost
// state and the Run value alone where the settings loader stopped before their keys: records
// it never read hold start values, not the user's settings.
struct ApplyScope {
    std::array<bool, 3> fans{true, true, true};  // by fan number
    bool topmost = true;
    bool autostart = true;
};
ApplyScope ScopeOfLoadedSettings(const StartupFindings& found);
void ApplySettings(Form1& f, i16 save, const ApplyScope& scope);

// The newer layout's slope code when the chip has no delta-temperature field.
int SlopeCode(int slope);

}  // namespace kelvane
