#pragma once
// Child-window ids of the main window; the test probe finds controls by them.
namespace kelvane::win32::ids {

inline constexpr int kKelvaneLabel = 1000;  // + index 0..20
inline constexpr int kTempLabel = 1100;     // + index 0..8
inline constexpr int kLedPic = 1200;        // + index 0..2
inline constexpr int kFanLed = 1210;        // + index 0..2
inline constexpr int kImage1 = 1220;        // + index 0..2
inline constexpr int kLogo = 1230;
inline constexpr int kPicture1 = 1231;
inline constexpr int kLabel1 = 1301;  // Label1..Label3: 1301..1303
inline constexpr int kText1 = 1401;   // Text1..Text12: 1401..1412

inline constexpr int kMenuOpen = 2001;
inline constexpr int kMenuAbout = 2002;
inline constexpr int kMenuHistory = 2005;
inline constexpr int kMenuExit = 2004;

inline constexpr UINT_PTR kMonitorTimer = 1;

}  // namespace kelvane::win32::ids
