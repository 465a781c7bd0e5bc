#include "win32/tray_pictures.h"

#include <cmath>

#include "win32/handles.h"

namespace kelvane::win32 {
namespace {

constexpr COLORREF kRim = RGB(20, 20, 20);
constexpr COLORREF kLight = RGB(255, 255, 255);

COLORREF BadgeColor(TrayState state) {
    switch (state) {
        case TrayState::LastingFault:
            return RGB(210, 30, 30);
        case TrayState::VoltageOut:
            return RGB(250, 180, 0);
        case TrayState::Unreachable:
            return RGB(120, 120, 120);
        case TrayState::Normal:
        default:
            return RGB(20, 90, 170);
    }
}

// Draws with one brush and pen colour; coordinates are on a 16-unit grid scaled by `k`.
class Painter {
  public:
    Painter(HDC dc, int k) : dc_(dc), k_(k) {}

    void Badge(COLORREF fill, COLORREF rim) {
        Use(fill, rim, 1);
        RoundRect(dc_, 0, 0, 16 * k_, 16 * k_, 7 * k_, 7 * k_);
    }
    void Box(COLORREF c, int l, int t, int r, int b) {
        Use(c, c, 1);
        Rectangle(dc_, l * k_, t * k_, r * k_, b * k_);
    }
    void Circle(COLORREF c, double cx, double cy, double radius) {
        Use(c, c, 1);
        Ellipse(dc_, S(cx - radius), S(cy - radius), S(cx + radius), S(cy + radius));
    }
    void Line(COLORREF c, int width, int x0, int y0, int x1, int y1) {
        Use(c, c, width * k_);
        MoveToEx(dc_, x0 * k_, y0 * k_, nullptr);
        LineTo(dc_, x1 * k_, y1 * k_);
    }
    void Shape(COLORREF fill, COLORREF edge, const POINT* grid, int n) {
        POINT pts[8];
        for (int i = 0; i < n && i < 8; ++i) pts[i] = {grid[i].x * k_, grid[i].y * k_};
        Use(fill, edge, 1);
        Polygon(dc_, pts, n);
    }

  private:
    int S(double v) const { return static_cast<int>(std::lround(v * k_)); }
    void Use(COLORREF fill, COLORREF edge, int width) {
        brush_.reset(CreateSolidBrush(fill));
        pen_.reset(CreatePen(PS_SOLID, width, edge));
        SelectObject(dc_, brush_.get());
        SelectObject(dc_, pen_.get());
    }
    HDC dc_;
    int k_;
    OwnedBrush brush_;
    OwnedPen pen_;
};

void Symbol(Painter& p, TrayState state) {
    switch (state) {
        case TrayState::Normal:  // fan: four blades round a hub
            for (int blade = 0; blade < 4; ++blade) {
                const double a = blade * 3.14159265 / 2 + 0.4;
                p.Circle(kLight, 8 + 3.3 * std::cos(a), 8 + 3.3 * std::sin(a), 2.6);
            }
            p.Circle(BadgeColor(state), 8, 8, 1.2);
            break;
        case TrayState::LastingFault:  // "!"
            p.Box(kLight, 7, 3, 9, 10);
            p.Box(kLight, 7, 11, 9, 13);
            break;
        case TrayState::VoltageOut: {  // a dark bolt on amber
            static constexpr POINT bolt[] = {{9, 1}, {3, 9}, {7, 9}, {6, 15}, {13, 6}, {9, 6}};
            p.Shape(kRim, kRim, bolt, 6);
            break;
        }
        case TrayState::Unreachable:  // a cross
            p.Line(kLight, 2, 5, 5, 11, 11);
            p.Line(kLight, 2, 11, 5, 5, 11);
            break;
    }
}

}  // namespace

HICON CreateTrayStateIcon(TrayState state, int size) {
    const int k = size >= 32 ? 2 : 1;
    HDC screen = GetDC(nullptr);
    OwnedDc dc(CreateCompatibleDC(screen));
    OwnedBitmap color(CreateCompatibleBitmap(screen, size, size));
    ReleaseDC(nullptr, screen);
    OwnedBitmap mask(CreateBitmap(size, size, 1, 1, nullptr));
    HGDIOBJ old_bitmap = SelectObject(dc.get(), mask.get());
    HGDIOBJ old_brush = GetCurrentObject(dc.get(), OBJ_BRUSH);
    HGDIOBJ old_pen = GetCurrentObject(dc.get(), OBJ_PEN);
    {
        // Mask: white (transparent) round the badge, black (opaque) under it.
        PatBlt(dc.get(), 0, 0, size, size, WHITENESS);
        Painter p(dc.get(), k);
        p.Badge(RGB(0, 0, 0), RGB(0, 0, 0));
        SelectObject(dc.get(), old_brush);
        SelectObject(dc.get(), old_pen);
    }
    SelectObject(dc.get(), color.get());
    {
        // Colour: black where the mask is transparent, so the screen shows through.
        PatBlt(dc.get(), 0, 0, size, size, BLACKNESS);
        Painter p(dc.get(), k);
        p.Badge(BadgeColor(state), kRim);
        Symbol(p, state);
        SelectObject(dc.get(), old_brush);
        SelectObject(dc.get(), old_pen);
    }
    SelectObject(dc.get(), old_bitmap);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = color.get();
    info.hbmMask = mask.get();
    return CreateIconIndirect(&info);
}

}  // namespace kelvane::win32
