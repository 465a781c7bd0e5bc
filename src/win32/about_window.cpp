#include "win32/about_window.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/failure_policy.h"
#include "win32/design_pictures.h"
#include "win32/dialog_kit.h"
#include "win32/window_basics.h"

namespace kelvane::win32 {
namespace {

constexpr const char* kAboutClass = "KelvaneAbout";
constexpr int kOkId = 1;
constexpr int kCopyId = 3;
constexpr int kDetailsId = 4;

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\r\n") + line;
    return text;
}

}  // namespace

AboutWindow::AboutWindow(HINSTANCE instance, Form1& form, std::function<void()> on_unload)
    : dialog_(form, *this), on_unload_(std::move(on_unload)) {
    RegisterWindowClass(instance, kAboutClass, &AboutWindow::Proc,
                        {reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), false});
    RECT r{0, 0, 460, 290};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRect(&r, style, FALSE);
    const int w = r.right - r.left, h = r.bottom - r.top;
    hwnd_ = CreateWindowExA(WS_EX_DLGMODALFRAME, kAboutClass, dialog_.caption.c_str(), style,
                            (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                            (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, nullptr, nullptr,
                            instance, nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    label_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT, 64, 16, 380, 96,
                             hwnd_, nullptr, instance, nullptr);
    // Read-only but selectable, so a line can also be copied on its own. Long lines (paths)
    // wrap rather than run out of sight.
    details_ = CreateWindowExA(
        WS_EX_CLIENTEDGE, "EDIT", "",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 16, 120,
        428, 120, hwnd_, reinterpret_cast<HMENU>(kDetailsId), instance, nullptr);
    copy_ = CreateWindowExA(0, "BUTTON", dialog_.copy_caption.c_str(),
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 140, 252, 80, 26,
                            hwnd_, reinterpret_cast<HMENU>(kCopyId), instance, nullptr);
    ok_ = CreateWindowExA(0, "BUTTON", dialog_.ok_caption.c_str(),
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 240, 252, 80, 26,
                          hwnd_, reinterpret_cast<HMENU>(kOkId), instance, nullptr);
    for (HWND control : {label_, details_, copy_, ok_})
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    // Two buttons as wide as their captions need, side by side in the middle.
    const SIZE copy = ButtonSize(copy_, {80, 26}), ok = ButtonSize(ok_, {80, 26});
    const int buttons_left = (460 - copy.cx - 20 - ok.cx) / 2;
    MoveWindow(copy_, buttons_left, 252, copy.cx, copy.cy, FALSE);
    MoveWindow(ok_, buttons_left + copy.cx + 20, 252, ok.cx, ok.cy, FALSE);
    KeepInWorkArea(hwnd_);
    ClickOnEnter(ok_);
    ContainErrors([&] { dialog_.Form_Load(); });
    SetWindowTextA(label_, dialog_.label1.c_str());
    SetWindowTextA(details_, Joined(dialog_.details).c_str());
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

bool AboutWindow::PreTranslate(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || msg.wParam != VK_ESCAPE) return false;
    if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) return false;
    PostMessageA(hwnd_, WM_CLOSE, 0, 0);  // as OK
    return true;
}

void AboutWindow::SetTopmost(bool topmost) { PlaceInTopmostBand(hwnd_, topmost, true); }

void AboutWindow::CopyToClipboard(const std::string& text) {
    if (!OpenClipboard(hwnd_)) return;
    EmptyClipboard();
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
        if (void* bytes = GlobalLock(memory)) {
            std::memcpy(bytes, text.c_str(), text.size() + 1);
            GlobalUnlock(memory);
            // The clipboard owns the memory from here, unless it refused it.
            if (!SetClipboardData(CF_TEXT, memory)) GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

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
            if (LOWORD(wparam) == kCopyId) ContainErrors([&] { self->dialog_.CopyButton_Click(); });
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
