#include "win32/dialog_kit.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "win32/window_basics.h"

namespace kelvane::win32 {
namespace {

constexpr const char* kContainerClass = "KelvaneFrame";
constexpr const char* kFontProperty = "KelvaneFont";

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_HSCROLL:
        case WM_VSCROLL:
            // The window that owns the model answers for every control, however nested.
            return SendMessageA(GetAncestor(hwnd, GA_ROOT), message, wparam, lparam);
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (GetWindowLongPtrA(hwnd, GWLP_USERDATA) != 0) {
                RECT r{};
                GetClientRect(hwnd, &r);
                char caption[128] = {};
                const int length = GetWindowTextA(hwnd, caption, sizeof caption);
                auto* font = static_cast<HGDIOBJ>(GetPropA(hwnd, kFontProperty));
                HGDIOBJ old_font = SelectObject(dc, font ? font : DialogFont());
                SIZE text{};
                GetTextExtentPoint32A(dc, caption, length, &text);
                if (length > 0) r.top += text.cy / 2;
                DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
                if (length > 0) {
                    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
                    RECT label{8, 0, 8 + text.cx + 4, text.cy};
                    ExtTextOutA(dc, 10, 0, ETO_OPAQUE, &label, caption, length, nullptr);
                }
                SelectObject(dc, old_font);
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_SETFONT:
            if (wparam) SetPropA(hwnd, kFontProperty, reinterpret_cast<HANDLE>(wparam));
            if (LOWORD(lparam)) InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        case WM_NCDESTROY:
            RemovePropA(hwnd, kFontProperty);
            return DefWindowProcA(hwnd, message, wparam, lparam);
        case WM_SETTEXT: {
            const LRESULT result = DefWindowProcA(hwnd, message, wparam, lparam);
            InvalidateRect(hwnd, nullptr, TRUE);
            return result;
        }
        default:
            return DefWindowProcA(hwnd, message, wparam, lparam);
    }
}

void RegisterContainerClass(HINSTANCE instance) {
    RegisterWindowClass(instance, kContainerClass, ContainerProc,
                        {reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), false});
}

LRESULT CALLBACK EnterClickProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                DWORD_PTR) {
    if (message == WM_KEYDOWN && wparam == VK_RETURN) {
        SendMessageA(hwnd, BM_CLICK, 0, 0);
        return 0;
    }
    if (message == WM_CHAR && wparam == '\r') return 0;
    return DefSubclassProc(hwnd, message, wparam, lparam);
}

}  // namespace

void ClickOnEnter(HWND button) { SetWindowSubclass(button, EnterClickProc, 2, 0); }

TwipsScale TwipsScale::OfScreen() {
    HDC screen = GetDC(nullptr);
    TwipsScale s;
    s.x = std::max(1, 1440 / std::max(1, GetDeviceCaps(screen, LOGPIXELSX)));
    s.y = std::max(1, 1440 / std::max(1, GetDeviceCaps(screen, LOGPIXELSY)));
    ReleaseDC(nullptr, screen);
    return s;
}

TwipsScale TwipsScale::FittedTo(std::int32_t width, std::int32_t height, const RECT& area) const {
    constexpr int kCoarsest = 15;  // 96 dpi
    TwipsScale s = *this;
    while (s.ToX(width) > area.right - area.left && s.x < kCoarsest) ++s.x;
    while (s.ToY(height) > area.bottom - area.top && s.y < kCoarsest) ++s.y;
    // One scale for both axes keeps the dialog's shapes.
    s.x = s.y = std::max(s.x, s.y);
    return s;
}

int TwipsScale::ToX(std::int32_t twips) const {
    return static_cast<int>(std::lround(static_cast<double>(twips) / x));
}

int TwipsScale::ToY(std::int32_t twips) const {
    return static_cast<int>(std::lround(static_cast<double>(twips) / y));
}

RECT TwipsScale::ToPixels(std::int32_t left, std::int32_t top, std::int32_t width,
                          std::int32_t height) const {
    return RECT{ToX(left), ToY(top), ToX(width), ToY(height)};
}

HFONT DialogFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

HFONT MakeDialogFont(const TwipsScale& scale) {
    const TwipsScale screen = TwipsScale::OfScreen();
    if (scale.y == screen.y) return nullptr;
    LOGFONTA font{};
    if (!GetObjectA(DialogFont(), sizeof font, &font)) return nullptr;
    font.lfHeight = MulDiv(font.lfHeight, screen.y, scale.y);
    font.lfWidth = MulDiv(font.lfWidth, screen.x, scale.x);
    return CreateFontIndirectA(&font);
}

namespace {
BOOL CALLBACK SetControlFont(HWND control, LPARAM font) {
    SendMessageA(control, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
    return TRUE;
}
}  // namespace

void SetFontOfControls(HWND window, HFONT font) {
    EnumChildWindows(window, SetControlFont, reinterpret_cast<LPARAM>(font));
}

HWND CreateControl(HINSTANCE instance, HWND parent, const char* cls, const std::string& text,
                   DWORD style, DWORD ex_style, int id) {
    HWND hwnd = CreateWindowExA(ex_style, cls, text.c_str(), WS_CHILD | WS_CLIPSIBLINGS | style, 0,
                                0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                instance, nullptr);
    if (hwnd) SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
    return hwnd;
}

HWND CreateContainer(HINSTANCE instance, HWND parent, int id, const std::string& caption,
                     FrameLook look) {
    RegisterContainerClass(instance);
    HWND hwnd = CreateControl(instance, parent, kContainerClass, caption, WS_CLIPCHILDREN,
                              WS_EX_CONTROLPARENT, id);
    if (hwnd) SetWindowLongPtrA(hwnd, GWLP_USERDATA, look == FrameLook::Border ? 1 : 0);
    return hwnd;
}

bool FocusKeeper::OnActivate(HWND dialog, WPARAM wparam) {
    if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(dialog, focus)) last_ = focus;
        return false;
    }
    if (HIWORD(wparam) != 0) return false;  // minimised
    HWND target = last_;
    if (!target || !IsWindow(target) || !IsChild(dialog, target) || !IsWindowVisible(target) ||
        !IsWindowEnabled(target))
        target = GetNextDlgTabItem(dialog, nullptr, FALSE);
    if (!target) return false;
    SetFocus(target);
    return true;
}

}  // namespace kelvane::win32
