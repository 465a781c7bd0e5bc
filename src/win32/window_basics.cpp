#include "win32/window_basics.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace kelvane::win32 {

void RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC proc, ClassLook look) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    if (look.program_icon) wc.hIcon = LoadIcon(instance, MAKEINTRESOURCE(1));
    wc.hbrBackground = look.background;
    if (look.dialog) wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
}

bool GreyCloseItem(HWND window) {
    constexpr UINT kCloseReplacement = 0xFFFFFFF6;  // command -10
    HMENU menu = GetSystemMenu(window, FALSE);
    return menu &&
           ModifyMenuA(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED, kCloseReplacement, "Close") != 0;
}

void PlaceInTopmostBand(HWND window, bool topmost, bool activate) {
    SetWindowPos(window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | (activate ? 0u : SWP_NOACTIVATE));
}

RECT WorkAreaOf(const RECT& rect) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info))
        return info.rcWork;
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

RECT WorkAreaOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return WorkAreaOf(rect);
}

RECT FitInside(const RECT& rect, const RECT& area) {
    const LONG width = std::min(rect.right - rect.left, area.right - area.left);
    const LONG height = std::min(rect.bottom - rect.top, area.bottom - area.top);
    const LONG left = std::clamp(rect.left, area.left, area.right - width);
    const LONG top = std::clamp(rect.top, area.top, area.bottom - height);
    return RECT{left, top, left + width, top + height};
}

void KeepInWorkArea(HWND window) {
    RECT rect{};
    if (!GetWindowRect(window, &rect)) return;
    const RECT fitted = FitInside(rect, WorkAreaOf(rect));
    if (EqualRect(&fitted, &rect)) return;
    SetWindowPos(window, nullptr, fitted.left, fitted.top, fitted.right - fitted.left,
                 fitted.bottom - fitted.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE ButtonSize(HWND button, SIZE least) {
    // The button measures its caption itself, in its own font and with its own margins.
    SIZE ideal{0, 0};
    if (!SendMessageA(button, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)) ||
        ideal.cx <= 0) {
        std::string caption(static_cast<std::size_t>(GetWindowTextLengthA(button)) + 1, '\0');
        caption.resize(static_cast<std::size_t>(
            GetWindowTextA(button, caption.data(), static_cast<int>(caption.size()))));
        HDC dc = GetDC(button);
        auto* font = reinterpret_cast<HGDIOBJ>(SendMessageA(button, WM_GETFONT, 0, 0));
        HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
        RECT text{};
        DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
                  DT_CALCRECT | DT_SINGLELINE);
        SelectObject(dc, old);
        ReleaseDC(button, dc);
        // Room for the 3-D edge and the focus rectangle on each side.
        ideal = {text.right + 2 * GetSystemMetrics(SM_CXEDGE) + 12, text.bottom + 10};
    }
    return SIZE{std::max(least.cx, ideal.cx), std::max(least.cy, ideal.cy)};
}

void PlaceUnder(HWND window, HWND above) {
    SetWindowPos(window, above, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool IsTopmost(HWND window) { return (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

bool IsUserInput(const MSG& msg) {
    switch (msg.message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            return true;
        default:
            return false;
    }
}

}  // namespace kelvane::win32
