#include "win32/window_basics.h"

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
