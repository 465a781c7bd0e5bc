#include "chip/led_display.h"

#include <cstdlib>

#include "base/rounding.h"

namespace kelvane {
namespace {

constexpr int kUnitRingX = 40;
constexpr int kUnitLetterX = 55;

void CopyCell(Surface& dest, int dx, const Surface& strip, int cell) {
    dest.BitBlt(dx, 0, kCellWidth, kCellHeight, strip, cell * kCellWidth, 0);
}

}  // namespace

bool Fahrenheit(const Settings& settings) { return settings.g_DisplayScale == 1; }

// F = ((C * 9 + 2) / 5) + 32; the +2 belongs to the formula.
i16 ToFahrenheit(i16 celsius) {
    const i16 scaled = Add16(Mul16(celsius, 9), 2);
    return Add16(RoundToInt16(Divide(scaled, 5)), 32);
}

double ToFahrenheit(double celsius) { return (celsius * 9 + 2) / 5 + 32; }

void DrawTemperatureUnit(bool fahrenheit, Surface& dest, const Surface& strip) {
    CopyCell(dest, kUnitRingX, strip, kCellPointAndDegree);
    // Any scale other than Fahrenheit draws its digits in Celsius, so it is labelled C.
    CopyCell(dest, kUnitLetterX, strip, fahrenheit ? kCellFahrenheit : kCellCelsius);
}

void DrawTemperature(const LedStyle& style, Surface& dest, i16 temperature, i16 alert) {
    const Surface& strip = style.surfaces.LedFont(IsTrue(alert) ? kStripAlert : kStripNormal);
    const i16 shown = style.fahrenheit ? ToFahrenheit(temperature) : temperature;
    DrawTemperatureUnit(style.fahrenheit, dest, strip);
    if (!style.digits_shown) return;

    // Last three digits; below zero a minus and the last two digits of the magnitude.
    const int magnitude = std::abs(static_cast<int>(shown));
    int cells[3] = {magnitude / 100 % 10, magnitude / 10 % 10, magnitude % 10};
    if (shown < 0) cells[0] = kCellMinus;
    // The third digit covers the left part of cell 11, leaving its degree ring.
    for (int k = 0; k < 3; ++k) CopyCell(dest, k * kCellWidth, strip, cells[k]);
}

std::int32_t DrawFanSpeed(Surfaces& surfaces, Surface& dest, std::int32_t speed) {
    // A negative speed is no reading at all: it shows and counts as a stopped fan.
    const std::int32_t shown = speed < 0 ? 0 : speed % 100000;
    const Surface& strip = surfaces.LedFont(kStripFan);
    std::int32_t rest = shown;
    for (int k = 4; k >= 0; --k, rest /= 10)
        CopyCell(dest, k * kCellWidth, strip, static_cast<int>(rest % 10));
    return shown;
}

}  // namespace kelvane
