#pragma once
// Makes the current settings take effect: the settings file (when saving), the fan
// controller for every fan shown on the main window, the topmost state and the autostart
// value. A value that does not fit its register field raises RuntimeError before that
// register is touched and abandons the rest.
#include "app/form1.h"
#include "app/int16.h"

namespace kelvane {

void ApplySettings(Form1& f, i16 save);

// The newer layout's slope code when the chip has no delta-temperature field.
int SlopeCode(int slope);

}  // namespace kelvane
