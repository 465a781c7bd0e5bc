#pragma once
// The Open action: the main window in front of the point-of-sale application.
#include "state/form1.h"

namespace kelvane {

// Normal state, visible, topmost band without moving or sizing. The monitor cycle runs it
// on critical ticks; the tray menu's "&Open" runs it too.
void Form1_nmOpen_Click(Form1& f);

}  // namespace kelvane
