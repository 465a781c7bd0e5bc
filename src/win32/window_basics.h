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

// Directly under `above` in the z-order, neither moved, sized nor activated.
void PlaceUnder(HWND window, HWND above);

bool IsTopmost(HWND window);

// A click or key press of the user's, as the message loop sees it.
bool IsUserInput(const MSG& msg);

}  // namespace kelvane::win32
