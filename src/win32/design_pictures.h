#pragma once
// The default skin, drawn by code: the window background, the three item pictures and the
// logo that stand until skin files replace them.
#include <windows.h>

#include "app/skin_layout.h"

namespace kelvane::win32 {

// Section frames and the fan displays' unit over the background colour, where `layout`
// (in twips) puts them; `twips_to_px` converts.
void PaintDesignBackground(HDC dc, const RECT& client, COLORREF back_color,
                           const SkinLayout& layout, double twips_to_px);
// 0 thermometer, 1 fan, 2 voltage bolt, drawn into a 32 x 32 cell at (x, y).
void PaintDesignItem(HDC dc, int x, int y, int index);
void PaintDesignLogo(HDC dc, const RECT& area);

}  // namespace kelvane::win32
