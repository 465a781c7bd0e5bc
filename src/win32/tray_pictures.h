#pragma once
// The tray's state icons, drawn by code: a badge with a dark rim, so that it stands out on
// light and dark task bars, and a symbol of its own per state, so that colour is never the
// only difference: the fan (normal), "!" (lasting fault), a bolt (voltage), a cross (no
// hardware).
#include <windows.h>

#include "app/tray_status.h"

namespace kelvane::win32 {

// `size` pixels square: 16 or 32. The caller owns the icon.
HICON CreateTrayStateIcon(TrayState state, int size);

}  // namespace kelvane::win32
