#pragma once
// Makes the current settings take effect: the settings file (when saving), the fan
// controller for every fan shown on the main window, the topmost state and the autostart
// value. A value that does not fit its register field raises RuntimeError before any register
// of its fan is touched and abandons the rest.
#include <array>

#include "app/form1.h"
#include "app/int16.h"

namespace kelvane {

// What an apply could not do, for the options dialog to tell; start-up passes none. A
// run-time error still propagates: the caller counts it as the chip not programmed.
struct ApplyOutcome {
    bool settings_saved = true;  // every key reached kelvane.ini
    bool run_value_set = true;   // the Run value was set or removed as asked
};

void ApplySettings(Form1& f, i16 save, ApplyOutcome* outcome = nullptr);

// What an apply may touch. The start-up apply leaves the board's own registers, the topmost
// state and the Run value alone where the settings loader stopped before their keys: records
// it never read hold start values, not the user's settings.
struct ApplyScope {
    std::array<bool, 3> fans{true, true, true};  // by fan number
    bool topmost = true;
    bool autostart = true;
};
ApplyScope ScopeOfLoadedSettings(const StartupFindings& found);
void ApplySettings(Form1& f, i16 save, const ApplyScope& scope, ApplyOutcome* outcome = nullptr);

// The newer layout's slope code when the chip has no delta-temperature field.
int SlopeCode(int slope);

}  // namespace kelvane
