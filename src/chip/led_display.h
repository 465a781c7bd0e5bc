#pragma once
// LED-style digits: 15 x 20 cells copied out of the glyph strips (Surfaces::LedFont) into a
// display surface.
#include <cstdint>

#include "base/int16.h"
#include "base/settings.h"
#include "chip/glyphs.h"
#include "chip/surface.h"

namespace kelvane {

// The user's unit: Fahrenheit when the scale says so, else Celsius.
bool Fahrenheit(const Settings& settings);
i16 ToFahrenheit(i16 celsius);
// The same formula unrounded, for values that are not whole degrees (means, plot scales).
double ToFahrenheit(double celsius);

// What temperature digits depend on besides the value.
struct LedStyle {
    Surfaces& surfaces;        // the glyph strips
    bool fahrenheit = false;   // the user's unit
    bool digits_shown = true;  // the main window is visible
};

// The degree ring (cell 11) at x = 40 and the unit letter at x = 55.
void DrawTemperatureUnit(bool fahrenheit, Surface& dest, const Surface& strip);

// Three digits and the unit; the digits only while the main window is visible. The value is
// converted to Fahrenheit for drawing when the scale says so.
void DrawTemperature(const LedStyle& style, Surface& dest, i16 temperature, i16 alert);

// Five digits (always drawn); returns the value drawn, which a negative speed draws as 0.
std::int32_t DrawFanSpeed(Surfaces& surfaces, Surface& dest, std::int32_t speed);

}  // namespace kelvane
