#include "win32/design_pictures.h"

#include <algorithm>
#include <cmath>

#include "win32/handles.h"

namespace kelvane::win32 {
namespace {

COLORREF Lighten(COLORREF c, int by) {
    auto ch = [by](int v) { return std::clamp(v + by, 0, 255); };
    return RGB(ch(GetRValue(c)), ch(GetGValue(c)), ch(GetBValue(c)));
}

void Panel(HDC dc, int left, int top, int right, int bottom, COLORREF fill, COLORREF edge) {
    OwnedBrush brush(CreateSolidBrush(fill));
    OwnedPen pen(CreatePen(PS_SOLID, 1, edge));
    HGDIOBJ old_brush = SelectObject(dc, brush.get());
    HGDIOBJ old_pen = SelectObject(dc, pen.get());
    RoundRect(dc, left, top, right, bottom, 14, 14);
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
}

void Filled(HDC dc, COLORREF color, auto draw) {
    OwnedBrush brush(CreateSolidBrush(color));
    OwnedPen pen(CreatePen(PS_SOLID, 1, color));
    HGDIOBJ old_brush = SelectObject(dc, brush.get());
    HGDIOBJ old_pen = SelectObject(dc, pen.get());
    draw();
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
}

}  // namespace

void PaintDesignBackground(HDC dc, const RECT& client, COLORREF back_color,
                           const SkinLayout& layout, double px) {
    OwnedBrush back(CreateSolidBrush(back_color));
    FillRect(dc, &client, back.get());
    const COLORREF fill = Lighten(back_color, 18);
    const COLORREF edge = Lighten(back_color, 60);
    auto t = [px](std::int32_t twips) { return static_cast<int>(std::lround(twips * px)); };
    for (const TwipRect& f : layout.frames)
        if (!f.empty()) Panel(dc, t(f.left), t(f.top), t(f.right), t(f.bottom), fill, edge);

    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Lighten(back_color, 150));
    OwnedFont font(CreateFontA(-std::max(8, t(150)), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                               ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma"));
    HGDIOBJ old = SelectObject(dc, font.get());
    for (const TwipRect& u : layout.rpm) {
        if (u.empty()) continue;
        RECT r{t(u.left), t(u.top), t(u.right), t(u.bottom)};
        DrawTextA(dc, kFanUnit, -1, &r, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, old);
}

void PaintDesignItem(HDC dc, int x, int y, int index) {
    const COLORREF accent = index == 0 ? RGB(255, 96, 64) : index == 1 ? RGB(80, 200, 255)
                                                                       : RGB(255, 214, 64);
    SetBkMode(dc, TRANSPARENT);
    if (index == 0) {  // thermometer
        Filled(dc, RGB(230, 230, 230), [&] { RoundRect(dc, x + 12, y + 2, x + 20, y + 24, 8, 8); });
        Filled(dc, accent, [&] {
            Ellipse(dc, x + 9, y + 19, x + 23, y + 31);
            Rectangle(dc, x + 14, y + 10, x + 18, y + 22);
        });
    } else if (index == 1) {  // fan
        Filled(dc, accent, [&] {
            for (int blade = 0; blade < 4; ++blade) {
                const double a = blade * 3.14159265 / 2;
                const int cx = x + 16 + static_cast<int>(std::lround(8 * std::cos(a)));
                const int cy = y + 16 + static_cast<int>(std::lround(8 * std::sin(a)));
                Ellipse(dc, cx - 6, cy - 6, cx + 6, cy + 6);
            }
        });
        Filled(dc, RGB(230, 230, 230), [&] { Ellipse(dc, x + 13, y + 13, x + 19, y + 19); });
    } else {  // voltage bolt
        const POINT bolt[] = {{x + 19, y + 1}, {x + 7, y + 18}, {x + 15, y + 18},
                              {x + 11, y + 31}, {x + 25, y + 12}, {x + 17, y + 12}};
        Filled(dc, accent, [&] { Polygon(dc, bolt, 6); });
    }
}

void PaintDesignLogo(HDC dc, const RECT& area) {
    Panel(dc, area.left, area.top, area.right, area.bottom, RGB(20, 60, 110), RGB(90, 160, 230));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(235, 245, 255));
    const int height = std::max(8, static_cast<int>((area.bottom - area.top) * 0.42));
    OwnedFont font(CreateFontA(-height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                               DEFAULT_PITCH | FF_SWISS, "Arial"));
    HGDIOBJ old = SelectObject(dc, font.get());
    RECT r = area;
    DrawTextA(dc, "POS care", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
}

}  // namespace kelvane::win32
