#pragma once
// The main window's ways in and out of hiding: the hot-key action, the command labels,
// the Open action and the tray callback.
#include <cstdint>

#include "app/app_shell.h"
#include "state/form1.h"
#include "state/open_window.h"

namespace kelvane {

// Ctrl+Alt+Shift+F11 shows the main window, Ctrl+Alt+Shift+F12 hides every window.
inline constexpr int kHotKeyShow = 0;
inline constexpr int kHotKeyHide = 1;
inline constexpr unsigned kHotKeyModifiers = 7;  // Alt 1, Ctrl 2, Shift 4
inline constexpr unsigned kVkF11 = 122;
inline constexpr unsigned kVkF12 = 123;

inline constexpr unsigned kHotKeyMessage = 0x312;
inline constexpr int kTrayDoubleClick = 0x203;
inline constexpr int kTrayRightButtonUp = 0x205;

void HotKeyPressed(Form1& f, std::uint8_t id);
void Form1_KelvaneLabel_Click(Form1& f, int index);
// x carries the tray event's message number (the tray owner's scale is pixels); a click on
// the balloon (kTrayBalloonClick) runs the Open action.
void Form1_Picture1_MouseMove(Form1& f, AppShell& shell, int button, int shift, int x, int y);
void Form1_nmAbout_Click(Form1& f);

// The tray menu's "&History" and a click on a temperature or fan display: the History window.
void Form1_nmHistory_Click(Form1& f);
void Form1_nmClos_Click(AppShell& shell);

// The tray icon stays for the life of the window, shown or hidden: a shown window is
// usually covered by the point-of-sale application, and the icon carries the state. Runs
// after every event.
void KeepTrayIcon(Form1& f, AppShell& shell);

}  // namespace kelvane
