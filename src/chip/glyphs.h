#pragma once
// The three glyph strips of the LED digits, drawn by code: 17 cells of 15 x 20 pixels side
// by side, 255 x 20 in all.
#include "chip/surface.h"

namespace kelvane {

inline constexpr int kCellWidth = 15;
inline constexpr int kCellHeight = 20;
inline constexpr int kCellCount = 17;
inline constexpr int kStripWidth = kCellWidth * kCellCount;  // 255

// Cells besides the digits 0..9.
inline constexpr int kCellColon = 10;
inline constexpr int kCellPointAndDegree = 11;  // point bottom left, small ring top right
inline constexpr int kCellComma = 12;
inline constexpr int kCellMinus = 13;
inline constexpr int kCellDegree = 14;  // a V in the fan strip
inline constexpr int kCellCelsius = 15;
inline constexpr int kCellFahrenheit = 16;

// The strips of LedFont.
inline constexpr int kStripNormal = 0;  // green segments on black
inline constexpr int kStripFan = 1;     // silver digits on dark tiles, white letters
inline constexpr int kStripAlert = 2;   // red segments on black

// Draws strip k (0..2) into the top left 255 x 20 pixels of `strip`.
void PaintGlyphStrip(Surface& strip, int k);

}  // namespace kelvane
