#pragma once
// Kelvane as a view of the process that drives the chip (the service, or a window program in
// another session): the same main window, tray and other windows, showing the owner's state
// from the pipe. It never loads the driver library and never writes the settings, the logs,
// the metrics file, the Event Log or the history.
#include <windows.h>

#include "win32/handles.h"

namespace kelvane::win32 {

// Runs the view until its window unloads. `instance_lock` is the session's single-instance
// lock; a view that takes the chip over lets it go before the owner's start begins.
int RunView(HINSTANCE instance, OwnedHandle instance_lock);

}  // namespace kelvane::win32
