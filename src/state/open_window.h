#pragma once
// The Open action: the main window in front of the point-of-sale application.
#include "state/form1.h"

namespace kelvane {

// Normal state, visible, topmost band without moving or sizing. The tray menu's "&Open"
// runs it; as the user's own Open it keeps the window where the user asked for it.
void Form1_nmOpen_Click(Form1& f);

// The monitor cycle's Open on a critical tick, remembered until the alarm ends.
void OpenForAlarm(Form1& f);

// A normal tick: a window that only the alarm made topmost goes back to the user's
// DisplayOnTop choice, the warning window stays open below the topmost band, and the window
// the alarm covered gets the front back unless the user has taken to Kelvane's windows since.
void EndAlarmOpen(Form1& f);

// A click or key in one of Kelvane's windows, or a window of its own opened by the user.
void NoteUserAction(Form1& f);

}  // namespace kelvane
