#pragma once
// Child-window ids of the options dialog and the error window; the test probe finds
// controls by them. Ids are unique across a window's whole tree, containers included.
#include <windows.h>

namespace kelvane::win32::ids {

// Options dialog.
inline constexpr int kTabStrip1 = 3000;
inline constexpr int kCommand1 = 3001;  // "Ok"
inline constexpr int kCommand3 = 3002;  // "Cancel"
inline constexpr int kApplyCmdButon = 3003;
inline constexpr int kFrame1 = 3010;  // + index 0..1
inline constexpr int kFrame2 = 3012;
inline constexpr int kFrame3 = 3013;
inline constexpr int kFrame4 = 3014;
inline constexpr int kFanCtrlMode = 3020;     // + index 0..1
inline constexpr int kCtrSlider = 3030;       // + index 0..4
inline constexpr int kCtrText = 3040;         // + index 0..4
inline constexpr int kCtrlLabel = 3050;       // + index 0..4
inline constexpr int kFanSpeedSlider = 3060;  // + index 0..2
inline constexpr int kResetDefault = 3070;
inline constexpr int kSlider1 = 3071;
inline constexpr int kSlider2 = 3072;
inline constexpr int kSlider1Value = 3073;     // the value beside Slider1
inline constexpr int kSlider2Value = 3074;     // the value beside Slider2
inline constexpr int kFanSpeedValue = 3075;    // + index 0..2: the value beside each speed
inline constexpr int kDeltaScale = 3080;       // + 0..1: the Delta slider's "0" and "5"
inline constexpr int kPolicyNote = 3090;       // "Some settings are managed by ..."
inline constexpr int kLabel = 3100;            // + n for Label1..Label14
inline constexpr int kMyLabel = 3200;          // + row index 0..8
inline constexpr int kMyList = 3210;           // + row index
inline constexpr int kMyListSpin = 3220;       // + row index: the arrows beside MyList
inline constexpr int kLabel11 = 3230;          // + row index
inline constexpr int kMyCheck = 3240;          // + row index
inline constexpr int kLabel12 = 3250;          // + row index
inline constexpr int kDisplayScaleOpt = 3300;  // + index 0..1
inline constexpr int kCheck1 = 3310;           // Check1..Check3: 3310..3312
inline constexpr int kSoundStyle = 3320;       // + index 0..1
inline constexpr int kAPMinimized = 3330;      // + index 0..1

// Error window.
inline constexpr int kForm4Label1 = 3401;  // Label1..Label4: 3401..3404
inline constexpr int kForm4Check1 = 3410;
inline constexpr UINT_PTR kForm4Timer = 1;

}  // namespace kelvane::win32::ids
