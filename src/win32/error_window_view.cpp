#include "win32/error_window_view.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "base/failure_policy.h"
#include "win32/dialog_ids.h"
#include "win32/window_basics.h"

namespace kelvane::win32 {
namespace {

constexpr const char* kErrorClass = "KelvaneWarning";
// A pop-up: only owned pop-ups stay above their owner when the owner is raised.
constexpr DWORD kErrorStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr UINT kRaiseMessage = WM_APP + 2;

// Layout of the notice, in pixels of the client area.
constexpr int kClientWidth = 420, kClientHeight = 240;
constexpr RECT kBand{0, 0, kClientWidth, 70};
constexpr RECT kMessageBox{20, 108, 400, 186};
constexpr COLORREF kBandColor = RGB(168, 16, 16);
constexpr COLORREF kBodyColor = RGB(255, 244, 228);
constexpr COLORREF kHeadlineColor = RGB(140, 0, 0);
constexpr COLORREF kMessageColor = RGB(255, 255, 255);

HFONT MakeFont(int points, bool bold) {
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    return CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
}

void Place(HWND hwnd, int left, int top, int width, int height) {
    MoveWindow(hwnd, left, top, width, height, FALSE);
}

}  // namespace

ErrorWindowView::ErrorWindowView(HINSTANCE instance, Form1& form, HWND owner)
    : form4_(form, *this) {
    RegisterWindowClass(instance, kErrorClass, &ErrorWindowView::Proc, {nullptr, true});

    title_font_.reset(MakeFont(20, true));
    bold_font_.reset(MakeFont(10, true));
    text_font_.reset(MakeFont(10, false));
    band_brush_.reset(CreateSolidBrush(kBandColor));
    body_brush_.reset(CreateSolidBrush(kBodyColor));
    message_brush_.reset(CreateSolidBrush(kMessageColor));

    RECT r{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&r, kErrorStyle, FALSE, 0);
    const int w = r.right - r.left, h = r.bottom - r.top;
    const Form4Model& m = form4_.model();
    hwnd_ = CreateWindowExA(
        0, kErrorClass, m.caption.c_str(), kErrorStyle, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
        (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h, owner, nullptr, instance, nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    const DWORD label = WS_VISIBLE | SS_NOPREFIX;
    label2_ = CreateControl(instance, hwnd_, "STATIC", m.Label2.caption,
                            label | SS_LEFT | SS_CENTERIMAGE, 0, ids::kForm4Label1 + 1);
    label1_ = CreateControl(instance, hwnd_, "STATIC", m.Label1.caption, label | SS_LEFT, 0,
                            ids::kForm4Label1);
    label3_ = CreateControl(instance, hwnd_, "STATIC", m.Label3.caption,
                            label | SS_LEFT | SS_EDITCONTROL, 0, ids::kForm4Label1 + 2);
    label4_ = CreateControl(instance, hwnd_, "STATIC", m.Label4.caption, label | SS_LEFT, 0,
                            ids::kForm4Label1 + 3);
    ok_ = CreateControl(instance, hwnd_, "BUTTON", m.Check1.control.caption,
                        WS_VISIBLE | WS_TABSTOP | BS_CHECKBOX | BS_PUSHLIKE, 0, ids::kForm4Check1);
    ClickOnEnter(ok_);  // Enter dismisses the notice as Space does
    Place(label2_, 68, 14, 330, 42);
    Place(label1_, 20, 80, 380, 20);
    const int message_width = kMessageBox.right - kMessageBox.left - 16;
    Place(label3_, kMessageBox.left + 8, kMessageBox.top + 6, message_width, 42);
    Place(label4_, kMessageBox.left + 8, kMessageBox.top + 52, message_width, 20);
    SendMessageA(label2_, WM_SETFONT, reinterpret_cast<WPARAM>(title_font_.get()), FALSE);
    SendMessageA(label1_, WM_SETFONT, reinterpret_cast<WPARAM>(bold_font_.get()), FALSE);
    SendMessageA(label3_, WM_SETFONT, reinterpret_cast<WPARAM>(text_font_.get()), FALSE);
    SendMessageA(label4_, WM_SETFONT, reinterpret_cast<WPARAM>(bold_font_.get()), FALSE);
    SendMessageA(ok_, WM_SETFONT, reinterpret_cast<WPARAM>(bold_font_.get()), FALSE);
    const SIZE ok = ButtonSize(ok_, {100, 30});
    Place(ok_, (kClientWidth - ok.cx) / 2, 198, ok.cx, std::min<int>(ok.cy, kClientHeight - 202));
    KeepInWorkArea(hwnd_);

    // The timer runs from creation on, shown or hidden, so the message is always fresh.
    if (m.timer_enabled && m.timer_interval_ms > 0)
        timer_running_ =
            SetTimer(hwnd_, ids::kForm4Timer, static_cast<UINT>(m.timer_interval_ms), nullptr) != 0;
    Sync();
}

ErrorWindowView::~ErrorWindowView() {
    if (!hwnd_) return;
    if (timer_running_) KillTimer(hwnd_, ids::kForm4Timer);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
}

template <typename Handler>
void ErrorWindowView::Dispatch(Handler&& handler) {
    ++depth_;
    ContainErrors(std::forward<Handler>(handler));
    --depth_;
    Sync();
}

void ErrorWindowView::Open() {
    Dispatch([&] { form4_.Show(); });
}

void ErrorWindowView::LoadHidden() {
    Dispatch([&] {
        Form4Model& m = form4_.model();
        if (!m.loaded) {
            m.loaded = true;
            form4_.Form_Load();
        }
        form4_.Hide();
    });
}

void ErrorWindowView::GreyCloseItem() {
    close_greyed_ = win32::GreyCloseItem(hwnd_);  // without a menu the window stays closable
}

void ErrorWindowView::SetTopmost() { PlaceInTopmostBand(hwnd_, true, false); }

void ErrorWindowView::Show() {
    ShowWindow(hwnd_, SW_SHOW);
    PlaceInTopmostBand(hwnd_, true, true);
    // The main window's own activation may still be on its way; look again once it is in.
    PostMessageA(hwnd_, kRaiseMessage, 0, 0);
}

// An owned pop-up follows its owner up, but one that the owner already covers stays
// covered (Wine lets the alarm's activation of the main window do that on first showing).
void ErrorWindowView::KeepAboveOwner() {
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    if (!owner || !IsWindowVisible(hwnd_)) return;
    for (HWND above = GetWindow(hwnd_, GW_HWNDPREV); above; above = GetWindow(above, GW_HWNDPREV)) {
        if (above != owner) continue;
        // Just over the owner: not over a dialog the user opened, nor, once the alarm is
        // over, over another program.
        // Into the band only when not in it yet: a stop at its top would cover a dialog the
        // user opened, if only until the next line moves it.
        if (IsTopmost(owner) && !IsTopmost(hwnd_)) PlaceInTopmostBand(hwnd_, true, false);
        HWND over_owner = GetWindow(owner, GW_HWNDPREV);
        if (over_owner == hwnd_) return;
        // Under a topmost window it would join the band.
        const bool joins_band = over_owner && IsTopmost(over_owner) && !IsTopmost(owner);
        PlaceUnder(hwnd_, over_owner && !joins_band ? over_owner : HWND_TOP);
        return;
    }
}

void ErrorWindowView::LeaveTopmostBand() {
    if (!IsWindowVisible(hwnd_)) return;
    // Kept just over its owner, an owned window stays under the topmost window next to it,
    // and so in the band: it leaves the band on its own, then gets its owner back.
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    SetWindowLongPtrA(hwnd_, GWLP_HWNDPARENT, 0);
    SetWindowPos(hwnd_, HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    SetWindowLongPtrA(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
}

void ErrorWindowView::Hide() { ShowWindow(hwnd_, SW_HIDE); }

void ErrorWindowView::Sync() {
    const Form4Model& m = form4_.model();
    auto text = [](HWND hwnd, const Control& c) {
        char shown[512] = {};
        GetWindowTextA(hwnd, shown, sizeof shown);
        if (c.caption != shown) SetWindowTextA(hwnd, c.caption.c_str());
        if (c.visible != ((GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE) != 0))
            ShowWindow(hwnd, c.visible ? SW_SHOWNA : SW_HIDE);
        if (c.enabled != (IsWindowEnabled(hwnd) != FALSE)) EnableWindow(hwnd, c.enabled);
    };
    text(label1_, m.Label1);
    text(label2_, m.Label2);
    text(label3_, m.Label3);
    text(label4_, m.Label4);
    text(ok_, m.Check1.control);
    const LRESULT checked = m.Check1.value != 0 ? BST_CHECKED : BST_UNCHECKED;
    if (SendMessageA(ok_, BM_GETCHECK, 0, 0) != checked) SendMessageA(ok_, BM_SETCHECK, checked, 0);
}

void ErrorWindowView::Paint(HDC dc) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, body_brush_.get());
    FillRect(dc, &kBand, band_brush_.get());
    FillRect(dc, &kMessageBox, message_brush_.get());
    OwnedBrush edge(CreateSolidBrush(kBandColor));
    FrameRect(dc, &kMessageBox, edge.get());
    DrawIconEx(dc, 20, (kBand.bottom - 32) / 2, LoadIcon(nullptr, IDI_WARNING), 32, 32, 0, nullptr,
               DI_NORMAL);
}

LRESULT CALLBACK ErrorWindowView::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<ErrorWindowView*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcA(hwnd, message, wparam, lparam);
    return self->OnMessage(message, wparam, lparam);
}

LRESULT ErrorWindowView::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_TIMER:
            if (wparam == ids::kForm4Timer) {
                Dispatch([&] { form4_.Timer1_Timer(); });
                KeepAboveOwner();
            }
            return 0;
        case kRaiseMessage:
            KeepAboveOwner();
            return 0;
        case WM_COMMAND:
            if (reinterpret_cast<HWND>(lparam) == ok_ && HIWORD(wparam) == BN_CLICKED) {
                Dispatch([&] {
                    // A click checks the box; the handler springs it back and hides the notice.
                    form4_.model().Check1.value = 1;
                    form4_.Check1_Click();
                });
            }
            return 0;
        case WM_ERASEBKGND:
            Paint(reinterpret_cast<HDC>(wparam));
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd_, &ps);
            EndPaint(hwnd_, &ps);
            return 0;
        }
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wparam);
            HWND control = reinterpret_cast<HWND>(lparam);
            if (control == label2_) {
                SetTextColor(dc, RGB(255, 255, 255));
                SetBkColor(dc, kBandColor);
                return reinterpret_cast<LRESULT>(band_brush_.get());
            }
            if (control == label1_) {
                SetTextColor(dc, kHeadlineColor);
                SetBkColor(dc, kBodyColor);
                return reinterpret_cast<LRESULT>(body_brush_.get());
            }
            if (control == label4_) {
                SetTextColor(dc, RGB(0, 110, 0));  // the good news in green
                SetBkColor(dc, kMessageColor);
                return reinterpret_cast<LRESULT>(message_brush_.get());
            }
            if (control == label3_) {
                SetTextColor(dc, RGB(0, 0, 0));
                SetBkColor(dc, kMessageColor);
                return reinterpret_cast<LRESULT>(message_brush_.get());
            }
            break;
        }
        case WM_ACTIVATE:
            if (LOWORD(wparam) != WA_INACTIVE && IsWindowEnabled(ok_)) {
                SetFocus(ok_);
                return 0;
            }
            break;
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) == SC_CLOSE && close_greyed_) return 0;
            break;
        case WM_CLOSE:
            // Closing is off once the Close item is replaced; without it, closing hides.
            if (!close_greyed_) Dispatch([&] { form4_.Hide(); });
            return 0;
        default:
            break;
    }
    return DefWindowProcA(hwnd_, message, wparam, lparam);
}

}  // namespace kelvane::win32
