#pragma once
// LED-style digits: 15 x 20 cells copied out of the glyph strips (f.sys.surfaces.LedFont)
// into a display surface.
#include <cstdint>

#include "app/form1.h"
#include "app/int16.h"
#include "chip/glyphs.h"
#include "chip/surface.h"

namespace kelvane {

// The user's unit: Fahrenheit when the scale says so, else Celsius.
bool Fahrenheit(const Form1& f);
i16 ToFahrenheit(i16 celsius);

// The degree ring (cell 11) at x = 40 and the unit letter at x = 55.
void DrawTemperatureUnit(Form1& f, Surface& dest, const Surface& strip);

// Three digits and the unit; the digits only while the main window is visible. The value is
// converted to Fahrenheit for drawing when the scale says so.
void DrawTemperature(Form1& f, Surface& dest, i16 temperature, i16 alert);

// Five digits (always drawn); the drawn value goes to SystemTempFan or CPUTempFan by g_Cur_i.
void DrawFanSpeed(Form1& f, Surface& dest, std::int32_t speed);

}  // namespace kelvane
