#pragma once
// The default skin, drawn by code: the window background, the three item pictures and the
// logo that stand until skin files replace them.
#include <windows.h>

namespace kelvane::win32 {

// Section panels over the background colour; `scale` converts twips to pixels.
void PaintDesignBackground(HDC dc, const RECT& client, COLORREF back_color, double twips_to_px);
// 0 thermometer, 1 fan, 2 voltage bolt, drawn into a 32 x 32 cell at (x, y).
void PaintDesignItem(HDC dc, int x, int y, int index);
void PaintDesignLogo(HDC dc, const RECT& area);

}  // namespace kelvane::win32
