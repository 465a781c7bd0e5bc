#pragma once
// The few window chores every Kelvane window shares, done one way.
#include <windows.h>

namespace kelvane::win32 {

struct ClassLook {
    HBRUSH background = nullptr;  // nullptr: the window paints its own background
    bool program_icon = false;    // the icon resource of kelvane.exe
    bool dialog = false;          // room for the dialog manager (DefDlgProc) in the window
};

// Registers a window class; registering the same class again fails harmlessly.
void RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC proc, ClassLook look = {});

// The system menu's Close becomes a greyed "Close" with command -10, which also disables
// the caption's close box. False when the window has no system menu.
bool GreyCloseItem(HWND window);

// Topmost or not, neither moved nor sized; `activate` false keeps the keyboard where it is.
void PlaceInTopmostBand(HWND window, bool topmost, bool activate);

// Kelvane declares no DPI awareness, and Wine (unlike Windows) does not scale such a program:
// at large fonts the text grows while the pixel layouts stay. These keep both in view.

// The work area of the monitor nearest the window (or the rectangle, before a window exists).
RECT WorkAreaOf(HWND window);
RECT WorkAreaOf(const RECT& rect);

// The rectangle moved, and cut to the area's size where it is larger, to lie inside `area`.
RECT FitInside(const RECT& rect, const RECT& area);

// Moves the window, shrinking it only where it is larger, into its monitor's work area.
void KeepInWorkArea(HWND window);

// The size a push button needs to show its caption whole in its own font, never below
// `least`.
SIZE ButtonSize(HWND button, SIZE least);

// Directly under `above` in the z-order, neither moved, sized nor activated.
void PlaceUnder(HWND window, HWND above);

bool IsTopmost(HWND window);

// A click or key press of the user's, as the message loop sees it.
bool IsUserInput(const MSG& msg);

}  // namespace kelvane::win32
