#pragma once
// The main window's ways in and out of hiding: the hot-key action, the command labels,
// the Open action and the tray callback.
#include <cstdint>

#include "app/form1.h"

namespace kelvane {

// Normal state, visible, topmost band without moving or sizing. The monitor cycle runs it
// on critical ticks; the tray menu's "&Open" runs it too.
void Form1_nmOpen_Click(Form1& f);

}  // namespace kelvane
