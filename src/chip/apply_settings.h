#pragma once
// Makes the current settings take effect: the settings file (when saving), the fan
// controller for every fan shown on the main window, the topmost state and the autostart
// value. A value that does not fit its register field raises RuntimeError before that
// register is touched and abandons the rest.
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

// The newer layout's slope code when the chip has no delta-temperature field.
int SlopeCode(int slope);

}  // namespace kelvane
