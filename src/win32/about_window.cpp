#include "win32/about_window.h"

#include "app/failure_policy.h"
#include "win32/design_pictures.h"
#include "win32/dialog_kit.h"
#include "win32/window_basics.h"

namespace kelvane::win32 {
namespace {

constexpr const char* kAboutClass = "KelvaneAbout";
constexpr int kOkId = 1;

}  // namespace

AboutWindow::AboutWindow(HINSTANCE instance, Form1& form, std::function<void()> on_unload)
    : dialog_(form, *this), on_unload_(std::move(on_unload)) {
    RegisterWindowClass(instance, kAboutClass, &AboutWindow::Proc,
                        {reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), false});
    RECT r{0, 0, 380, 170};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRect(&r, style, FALSE);
    const int w = r.right - r.left, h = r.bottom - r.top;
    hwnd_ = CreateWindowExA(WS_EX_DLGMODALFRAME, kAboutClass, dialog_.caption.c_str(), style,
                            (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                            (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, nullptr, nullptr,
                            instance, nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    label_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT, 64, 16, 300, 100,
                             hwnd_, nullptr, instance, nullptr);
    ok_ = CreateWindowExA(0, "BUTTON", dialog_.ok_caption.c_str(),
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 150, 128, 80, 26,
                          hwnd_, reinterpret_cast<HMENU>(kOkId), instance, nullptr);
    SendMessageA(label_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SendMessageA(ok_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    ClickOnEnter(ok_);
    ContainErrors([&] { dialog_.Form_Load(); });
    SetWindowTextA(label_, dialog_.label1.c_str());
}

AboutWindow::~AboutWindow() {
    if (hwnd_) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void AboutWindow::Show() {
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
}

void AboutWindow::Hide() { ShowWindow(hwnd_, SW_HIDE); }

void AboutWindow::SetTopmost(bool topmost) { PlaceInTopmostBand(hwnd_, topmost, true); }

void AboutWindow::Unload() {
    ShowWindow(hwnd_, SW_HIDE);
    // The owner destroys us after the click handler has returned.
    if (on_unload_) on_unload_();
}

LRESULT CALLBACK AboutWindow::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<AboutWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hwnd, message, wparam, lparam);
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wparam) == kOkId) ContainErrors([&] { self->dialog_.OKButton_Click(); });
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wparam) != WA_INACTIVE) {
                SetFocus(self->ok_);  // Enter or Space closes it
                return 0;
            }
            break;
        case WM_CLOSE:
            ContainErrors([&] { self->dialog_.OKButton_Click(); });
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            PaintDesignItem(dc, 16, 20, 1);
            EndPaint(hwnd, &ps);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

}  // namespace kelvane::win32
