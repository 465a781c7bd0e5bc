#include "win32/main_window.h"

#include <cmath>
#include <vector>

#include "app/shell_actions.h"
#include "app/startup.h"
#include "base/failure_policy.h"
#include "chip/led_display.h"
#include "monitor/monitor_cycle.h"
#include "win32/control_ids.h"
#include "win32/design_pictures.h"
#include "win32/window_basics.h"

namespace kelvane::win32 {
namespace {

constexpr const char* kMainClass = "KelvaneMain";
constexpr const char* kLabelClass = "KelvaneLabel";
constexpr const char* kImageClass = "KelvaneImage";
constexpr const char* kLedClass = "KelvaneLed";
constexpr DWORD kMainStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

COLORREF ToColorRef(std::uint32_t bgr) {
    // System colours (0x80000000 + index) follow the desktop scheme.
    if (bgr & 0x80000000u) return GetSysColor(static_cast<int>(bgr & 0xFF));
    return static_cast<COLORREF>(bgr & 0x00FFFFFF);
}

MainView* ViewOf(HWND hwnd) {
    return reinterpret_cast<MainView*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

void RegisterClasses(HINSTANCE instance, WNDPROC base, WNDPROC child) {
    RegisterWindowClass(instance, kMainClass, base, {nullptr, true});
    for (const char* name : {kLabelClass, kImageClass, kLedClass})
        RegisterWindowClass(instance, name, child);
}

}  // namespace

MainView::MainView(HINSTANCE instance, bool previous_instance, TrayIcon::Notify notify)
    : instance_(instance), previous_instance_(previous_instance), tray_(std::move(notify)) {
    HDC screen = GetDC(nullptr);
    tpp_x_ = std::max(1, 1440 / std::max(1, GetDeviceCaps(screen, LOGPIXELSX)));
    tpp_y_ = std::max(1, 1440 / std::max(1, GetDeviceCaps(screen, LOGPIXELSY)));
    ReleaseDC(nullptr, screen);
    taskbar_created_ = RegisterWindowMessageA("TaskbarCreated");
    RegisterClasses(instance_, &MainView::BaseProc, &MainView::ChildProc);
    for (auto& strip : led_font_) strip = std::make_unique<DibSurface>(255, 20);
}

MainView::~MainView() = default;  // the tray icon takes its record out itself

int MainView::ToPixelsX(std::int32_t twips) const {
    return static_cast<int>(std::lround(static_cast<double>(twips) / tpp_x_));
}
int MainView::ToPixelsY(std::int32_t twips) const {
    return static_cast<int>(std::lround(static_cast<double>(twips) / tpp_y_));
}

void MainView::Create(Form1& form) {
    form_ = &form;
    for (int k = 0; k < 3; ++k) PaintGlyphStrip(*led_font_[static_cast<size_t>(k)], k);
    MainWindowModel& w = form.window;
    hwnd_ = CreateWindowExA(0, kMainClass, w.caption.c_str(), kMainStyle, CW_USEDEFAULT,
                            CW_USEDEFAULT, ToPixelsX(w.width), ToPixelsY(w.height), nullptr,
                            nullptr, instance_, nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    for (int i = 0; i < 21; ++i)
        AddChild(w.KelvaneLabel[i], Kind::Label, ids::kKelvaneLabel + i, i);
    for (int i = 0; i < 9; ++i) AddChild(w.TempLabel[i], Kind::Label, ids::kTempLabel + i);
    for (int i = 0; i < 3; ++i) {
        AddChild(w.LedPic[i], Kind::Led, ids::kLedPic + i);
        led_pic_[i] = children_.back().get();
        AddChild(w.FanLed[i], Kind::Led, ids::kFanLed + i);
        fan_led_[i] = children_.back().get();
        AddChild(w.Image1[i], Kind::Image, ids::kImage1 + i, -1, i);
    }
    AddChild(w.Logo, Kind::Image, ids::kLogo);
    AddChild(w.Picture1, Kind::TrayOwner, ids::kPicture1);
    AddChild(w.Label1, Kind::Label, ids::kLabel1);
    AddChild(w.Label2, Kind::Label, ids::kLabel1 + 1);
    AddChild(w.Label3, Kind::Label, ids::kLabel1 + 2);
    for (int i = 0; i < 12; ++i) AddChild(w.Text[i], Kind::Edit, ids::kText1 + i);
    BuildTrayMenu();
    form.tick_listeners.push_back(&tray_status_);
    Sync();
}

void MainView::StartMonitorTimer() { SetTimer(hwnd_, ids::kMonitorTimer, 1000, nullptr); }

void MainView::StopMonitorTimer() {
    KillTimer(hwnd_, ids::kMonitorTimer);
    // A tick already posted would still arrive.
    MSG pending;
    while (PeekMessageA(&pending, hwnd_, WM_TIMER, WM_TIMER, PM_REMOVE)) {
    }
}

void MainView::AddChild(Control& model, Kind kind, int id, int label_index, int item_index) {
    auto child = std::make_unique<Child>();
    child->model = &model;
    child->kind = kind;
    child->label_index = label_index;
    child->item_index = item_index;
    const char* cls = kind == Kind::Edit    ? "EDIT"
                      : kind == Kind::Image ? kImageClass
                      : kind == Kind::Label ? kLabelClass
                                            : kLedClass;
    const int w = ToPixelsX(model.width), h = ToPixelsY(model.height);
    child->hwnd = CreateWindowExA(
        0, cls, model.caption.c_str(), WS_CHILD, ToPixelsX(model.left), ToPixelsY(model.top), w, h,
        hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (kind == Kind::Led) child->surface = std::make_unique<DibSurface>(w, h);
    if (kind != Kind::Edit)
        SetWindowLongPtrA(child->hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(child.get()));
    child->text = model.caption;
    children_.push_back(std::move(child));
}

void MainView::BuildTrayMenu() {
    tray_menu_.reset(CreatePopupMenu());
    AppendMenuA(tray_menu_.get(), MF_STRING, ids::kMenuOpen, "&Open");
    AppendMenuA(tray_menu_.get(), MF_STRING, ids::kMenuHistory, "&History");
    AppendMenuA(tray_menu_.get(), MF_STRING, ids::kMenuAbout, "&About");
    AppendMenuA(tray_menu_.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuA(tray_menu_.get(), MF_STRING, ids::kMenuExit, "E&xit");
}

void MainView::AfterEvent() {
    if (!form_ || unloading_) return;
    Sync();
    ContainErrors([&] { KeepTrayIcon(*form_, *this); });
}

void MainView::Sync() {
    if (!form_ || !hwnd_ || unloading_) return;
    if (syncing_) {
        resync_ = true;  // a resize handler changed the model while we were showing it
        return;
    }
    syncing_ = true;
    do {
        resync_ = false;
        for (auto& child : children_) SyncChild(*child);
        SyncWindow();
    } while (resync_);
    syncing_ = false;
}

void MainView::SyncWindow() {
    MainWindowModel& w = form_->window;
    if (w.caption != shown_caption_) {
        SetWindowTextA(hwnd_, w.caption.c_str());
        shown_caption_ = w.caption;
    }
    const RECT rect{ToPixelsX(w.left), ToPixelsY(w.top), ToPixelsX(w.width), ToPixelsY(w.height)};
    if (!EqualRect(&rect, &shown_rect_)) {
        // Wherever the settings or large fonts would put it, the whole window stays in view.
        const RECT wanted{rect.left, rect.top, rect.left + rect.right, rect.top + rect.bottom};
        const RECT shown = FitInside(wanted, WorkAreaOf(wanted));
        SetWindowPos(hwnd_, nullptr, shown.left, shown.top, shown.right - shown.left,
                     shown.bottom - shown.top, SWP_NOZORDER | SWP_NOACTIVATE);
        shown_rect_ = rect;
    }
    if (w.back_color != shown_back_ || w.picture != shown_picture_) {
        shown_back_ = w.back_color;
        shown_picture_ = w.picture;
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
    const bool shown = IsWindowVisible(hwnd_) != FALSE;
    const bool iconic = IsIconic(hwnd_) != FALSE;
    if (w.visible) {
        if (w.state == WindowState::Minimized) {
            if (!iconic || !shown) ShowWindow(hwnd_, SW_SHOWMINIMIZED);
        } else if (iconic) {
            ShowWindow(hwnd_, SW_RESTORE);
        } else if (!shown) {
            ShowWindow(hwnd_, SW_SHOWNORMAL);
        }
    } else if (shown) {
        ShowWindow(hwnd_, SW_HIDE);
    }
}

// The status line has room for one line: a longer status (a set-up problem, the library that
// cannot be reached) grows upwards into a second line in its own font rather than shrinking.
// `rect` holds left, top, width and height.
RECT MainView::StatusRect(const Child& c, RECT rect) const {
    HDC dc = GetDC(c.hwnd);
    HGDIOBJ old = SelectObject(dc, c.font.get());
    RECT need{0, 0, rect.right, 0};
    DrawTextA(dc, c.model->caption.c_str(), -1, &need,
              DT_CALCRECT | DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(c.hwnd, dc);
    if (need.bottom > rect.bottom) {
        rect.top -= need.bottom - rect.bottom;
        rect.bottom = need.bottom;
    }
    return rect;
}

void MainView::SyncChild(Child& c) {
    Control& m = *c.model;
    bool repaint = false;
    RECT rect{ToPixelsX(m.left), ToPixelsY(m.top), ToPixelsX(m.width), ToPixelsY(m.height)};
    if (m.caption != c.text) {
        SetWindowTextA(c.hwnd, m.caption.c_str());
        c.text = m.caption;
        repaint = true;
    }
    const FontSpec& f = m.font;
    const bool font_changed = !c.has_font || f.size != c.font_spec.size ||
                              f.bold != c.font_spec.bold || f.italic != c.font_spec.italic ||
                              f.underline != c.font_spec.underline ||
                              f.strikethrough != c.font_spec.strikethrough;
    if (font_changed && c.kind != Kind::Led) {
        HDC screen = GetDC(nullptr);
        const int height = -MulDiv(static_cast<int>(std::lround(f.size * 100)),
                                   GetDeviceCaps(screen, LOGPIXELSY), 7200);
        ReleaseDC(nullptr, screen);
        c.font.reset(CreateFontA(height, 0, 0, 0, f.bold ? FW_BOLD : FW_NORMAL, f.italic,
                                 f.underline, f.strikethrough, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS,
                                 "Tahoma"));
        c.font_spec = f;
        c.has_font = true;
        if (c.kind == Kind::Edit)
            SendMessageA(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(c.font.get()), FALSE);
        repaint = true;
    }
    if (&m == &form_->window.Label1 && c.has_font) rect = StatusRect(c, rect);
    if (!EqualRect(&rect, &c.rect)) {
        MoveWindow(c.hwnd, rect.left, rect.top, rect.right, rect.bottom, TRUE);
        c.rect = rect;
        repaint = true;
    }
    if (m.fore_color != c.fore || m.back_color != c.back || m.picture != c.picture) {
        c.fore = m.fore_color;
        c.back = m.back_color;
        c.picture = m.picture;
        repaint = true;
    }
    if (repaint && c.kind != Kind::Edit) InvalidateRect(c.hwnd, nullptr, FALSE);
    if (m.visible != c.visible || (IsWindowVisible(c.hwnd) != FALSE) != m.visible) {
        ShowWindow(c.hwnd, m.visible ? SW_SHOWNA : SW_HIDE);
        c.visible = m.visible;
        // A hidden label leaves the window's background behind it.
        if (!m.visible) {
            RECT r = rect;
            r.right += r.left;
            r.bottom += r.top;
            InvalidateRect(hwnd_, &r, TRUE);
        }
    }
}

Picture* MainView::FindPicture(const std::string& path) {
    if (path.empty()) return nullptr;
    auto it = pictures_.find(path);
    return it == pictures_.end() ? nullptr : it->second.get();
}

void MainView::PaintBackground(HDC dc, int ox, int oy, int width, int height) {
    const MainWindowModel& w = form_->window;
    RECT client{};
    GetClientRect(hwnd_, &client);
    // Paint in window coordinates, shifted so that (ox, oy) lands on (0, 0).
    POINT old{};
    SetViewportOrgEx(dc, -ox, -oy, &old);
    HRGN clip = CreateRectRgn(0, 0, width, height);
    SelectClipRgn(dc, clip);
    if (Picture* p = FindPicture(w.picture)) {
        OwnedBrush back(CreateSolidBrush(ToColorRef(w.back_color)));
        FillRect(dc, &client, back.get());
        p->Paint(dc, 0, 0);
    } else {
        PaintDesignBackground(dc, client, ToColorRef(w.back_color), DesignSkinLayout(w),
                              1.0 / tpp_x_);
    }
    SelectClipRgn(dc, nullptr);
    DeleteObject(clip);
    SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

void MainView::PaintChild(Child& c, HDC target) {
    RECT r{};
    GetClientRect(c.hwnd, &r);
    if (r.right <= 0 || r.bottom <= 0) return;
    // Compose off screen, then one copy: no flicker on the once-a-second redraw.
    OwnedDc dc(CreateCompatibleDC(target));
    OwnedBitmap bitmap(CreateCompatibleBitmap(target, r.right, r.bottom));
    HGDIOBJ old = SelectObject(dc.get(), bitmap.get());
    const Control& m = *c.model;
    if (c.kind == Kind::Led) {
        c.surface->PaintTo(dc.get(), 0, 0);
    } else {
        if (m.transparent) {
            POINT origin{0, 0};
            MapWindowPoints(c.hwnd, hwnd_, &origin, 1);
            PaintBackground(dc.get(), origin.x, origin.y, r.right, r.bottom);
        } else {
            OwnedBrush back(CreateSolidBrush(ToColorRef(m.back_color)));
            FillRect(dc.get(), &r, back.get());
        }
        if (c.kind == Kind::Label) {
            SetBkMode(dc.get(), TRANSPARENT);
            SetTextColor(dc.get(), ToColorRef(m.fore_color));
            HGDIOBJ old_font = SelectObject(dc.get(), c.font.get());
            const bool status = &m == &form_->window.Label1;
            const UINT align = status ? DT_CENTER : DT_LEFT;
            DrawTextA(dc.get(), m.caption.c_str(), -1, &r, align | DT_WORDBREAK | DT_NOPREFIX);
            SelectObject(dc.get(), old_font);
        } else if (c.kind == Kind::Image) {
            if (Picture* p = FindPicture(m.picture)) {
                p->Paint(dc.get(), 0, 0);
            } else if (c.item_index >= 0) {
                PaintDesignItem(dc.get(), (r.right - 32) / 2, (r.bottom - 32) / 2, c.item_index);
            } else {
                PaintDesignLogo(dc.get(), r);
            }
        }
    }
    BitBlt(target, 0, 0, r.right, r.bottom, dc.get(), 0, 0, SRCCOPY);
    SelectObject(dc.get(), old);
}

LRESULT CALLBACK MainView::ChildProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* child = reinterpret_cast<Child*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    MainView* view = child ? ViewOf(GetParent(hwnd)) : nullptr;
    if (!child || !view || !view->form_) return DefWindowProcA(hwnd, message, wparam, lparam);
    return view->OnChildMessage(*child, message, wparam, lparam);
}

LRESULT MainView::OnChildMessage(Child& c, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(c.hwnd, &ps);
            PaintChild(c, dc);
            EndPaint(c.hwnd, &ps);
            return 0;
        }
        case WM_LBUTTONUP:
            if (c.kind == Kind::Label && c.label_index >= 0) {
                const int index = c.label_index;
                ContainErrors([&] { Form1_KelvaneLabel_Click(*form_, index); });
                AfterEvent();
            } else if (c.kind == Kind::Led) {
                // A temperature or fan display: what led up to the value it shows.
                ContainErrors([&] { Form1_nmHistory_Click(*form_); });
                AfterEvent();
            }
            return 0;
        case WM_MOUSEMOVE:
            // The tray's callback is the mouse-move message, its event number in x.
            if (c.kind == Kind::TrayOwner) {
                const int x = static_cast<short>(LOWORD(lparam));
                const int y = static_cast<short>(HIWORD(lparam));
                ContainErrors([&] { Form1_Picture1_MouseMove(*form_, *this, 0, 0, x, y); });
                AfterEvent();
            }
            return 0;
        default:
            return DefWindowProcA(c.hwnd, message, wparam, lparam);
    }
}

LRESULT CALLBACK MainView::BaseProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    MainView* view = ViewOf(hwnd);
    if (!view || !view->form_) return DefWindowProcA(hwnd, message, wparam, lparam);
    return view->OnMessage(message, wparam, lparam);
}

LRESULT CALLBACK MainView::MainWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    MainView* view = ViewOf(hwnd);
    if (view && view->form_ && message == kHotKeyMessage) {
        const auto id = static_cast<std::uint8_t>(wparam & 0xFF);
        ContainErrors([&] { HotKeyPressed(*view->form_, id); });
        view->AfterEvent();
        return 1;
    }
    return CallWindowProcA(view ? view->old_proc_ : DefWindowProcA, hwnd, message, wparam, lparam);
}

LRESULT MainView::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    Form1& f = *form_;
    if (taskbar_created_ != 0 && message == taskbar_created_) {
        // The shell restarted and forgot the record.
        if (f.tray_icon_shown) AddTrayIcon();
        return 0;
    }
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client{};
            GetClientRect(hwnd_, &client);
            PaintBackground(reinterpret_cast<HDC>(wparam), 0, 0, client.right, client.bottom);
            return 1;
        }
        case WM_TIMER:
            if (wparam == ids::kMonitorTimer) {
                ContainErrors([&] { Form1_Timer1_Timer(f); });
                AfterEvent();
            }
            return 0;
        case WM_SIZE:
            if (wparam == SIZE_MINIMIZED && f.window.state != WindowState::Minimized) {
                f.window.state = WindowState::Minimized;
                ContainErrors([&] { Form1_Form_Resize(f); });
                AfterEvent();
            } else if (wparam == SIZE_RESTORED && f.window.state == WindowState::Minimized &&
                       IsWindowVisible(hwnd_)) {
                f.window.state = WindowState::Normal;
            }
            return 0;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case ids::kMenuOpen:
                    ContainErrors([&] { Form1_nmOpen_Click(f); });
                    break;
                case ids::kMenuAbout:
                    ContainErrors([&] { Form1_nmAbout_Click(f); });
                    break;
                case ids::kMenuHistory:
                    ContainErrors([&] { Form1_nmHistory_Click(f); });
                    break;
                case ids::kMenuExit:
                    Form1_nmClos_Click(*this);
                    return 0;
                default:
                    break;
            }
            AfterEvent();
            return 0;
        case WM_SYSCOMMAND:
            if ((wparam & 0xFFF0) == SC_CLOSE) return 0;  // the close command is disabled
            break;
        case WM_CLOSE:
            if (!unloading_) return 0;
            break;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // Log-off, shut-down, or an installer's restart manager (ENDSESSION_CLOSEAPP): the
            // process may be ended as soon as this returns, so the whole unload runs here.
            if (wparam) Unload();
            return 0;
        case WM_POWERBROADCAST:
            if ((wparam == PBT_APMRESUMEAUTOMATIC || wparam == PBT_APMRESUMESUSPEND) && watch_) {
                ContainErrors([&] { watch_->OnResume(); });
                AfterEvent();
            }
            return TRUE;
        case WM_DESTROY:
            KillTimer(hwnd_, ids::kMonitorTimer);
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcA(hwnd_, message, wparam, lparam);
}

void MainView::Unload() {
    if (unloading_) return;
    ContainErrors([&] { Form1_Form_Unload(*form_, *this, watch_); });
    unloading_ = true;
    if (form_->tray_icon_shown) {
        DeleteTrayIcon();
        form_->tray_icon_shown = false;
    }
    DestroyWindow(hwnd_);
}

void MainView::CloseMainWindow() { Unload(); }

void MainView::SetTopmost(bool topmost) {
    // Without activating: a critical alarm raises the window every second, and the cashier's
    // typing (or the options dialog being applied) must keep the keyboard.
    PlaceInTopmostBand(hwnd_, topmost, false);
}

std::uintptr_t MainView::ForeignForegroundWindow() {
    HWND front = GetForegroundWindow();
    DWORD process = 0;
    if (!front || !GetWindowThreadProcessId(front, &process) || process == GetCurrentProcessId())
        return 0;
    return reinterpret_cast<std::uintptr_t>(front);
}

void MainView::GiveFrontBack(std::uintptr_t window) {
    HWND front = reinterpret_cast<HWND>(window);
    if (!IsWindow(front) || !IsWindowVisible(front)) return;  // the program went meanwhile
    SetForegroundWindow(front);
    // The foreground may be refused; the z-order is ours to give. Our windows that still
    // cover it go under it in their order. A topmost one stays: DisplayOnTop is the user's.
    std::vector<HWND> covering;
    for (HWND h = GetTopWindow(nullptr); h && h != front; h = GetWindow(h, GW_HWNDNEXT)) {
        DWORD process = 0;
        GetWindowThreadProcessId(h, &process);
        if (process == GetCurrentProcessId() && IsWindowVisible(h) && !IsTopmost(h))
            covering.push_back(h);
    }
    for (auto it = covering.rbegin(); it != covering.rend(); ++it) PlaceUnder(*it, front);
}

void MainView::DoEvents() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void MainView::Activate() {
    SetForegroundWindow(hwnd_);
    SetFocus(hwnd_);
}

void MainView::GreyCloseItem() { win32::GreyCloseItem(hwnd_); }

void MainView::ShowModel() { Sync(); }

int MainView::WorkAreaWidthPixels() { return GetSystemMetrics(SM_CXFULLSCREEN); }
int MainView::WorkAreaHeightPixels() { return GetSystemMetrics(SM_CYFULLSCREEN); }
int MainView::TwipsPerPixelX() { return tpp_x_; }
int MainView::TwipsPerPixelY() { return tpp_y_; }

bool MainView::LoadPicture(const std::string& path) {
    if (FindPicture(path)) return true;
    auto picture = Picture::Load(path);
    if (!picture) return false;
    pictures_[path] = std::move(picture);
    return true;
}

Surface& MainView::LedPic(int n) { return *led_pic_.at(static_cast<size_t>(n))->surface; }
Surface& MainView::FanLed(int n) { return *fan_led_.at(static_cast<size_t>(n))->surface; }
Surface& MainView::LedFont(int k) { return *led_font_.at(static_cast<size_t>(k)); }

void MainView::Invalidate() {
    for (Child* c : led_pic_) InvalidateRect(c->hwnd, nullptr, FALSE);
    for (Child* c : fan_led_) InvalidateRect(c->hwnd, nullptr, FALSE);
}

void MainView::ActivatePreviousInstance(const std::string& title) {
    SetWindowTextA(hwnd_, "");
    // On a terminal the running window is usually hidden, and a hidden window cannot be
    // activated from outside: the running instance is asked to run its own show hot key.
    HWND other = FindWindowA(kMainClass, title.c_str());
    while (!other || other == hwnd_) {
        other = FindWindowExA(nullptr, other, kMainClass, nullptr);
        if (!other) return;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(other, &process);
    AllowSetForegroundWindow(process);  // this process was started by the user: it may pass it on
    PostMessageA(other, kHotKeyMessage, kHotKeyShow, MAKELPARAM(kHotKeyModifiers, kVkF11));
}

void MainView::PrepareTrayRecord() {
    for (auto& c : children_)
        if (c->kind == Kind::TrayOwner) tray_.Prepare(c->hwnd);
}

bool MainView::RegisterHotKey(int id, unsigned modifiers, unsigned virtual_key) {
    return ::RegisterHotKey(hwnd_, id, modifiers, virtual_key) != FALSE;
}

void MainView::UnregisterHotKey(int id) { ::UnregisterHotKey(hwnd_, id); }

void MainView::SubclassMainWindow() {
    old_proc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongA(hwnd_, GWL_WNDPROC, reinterpret_cast<LONG>(&MainView::MainWindowProc)));
}

void MainView::AddTrayIcon() { tray_.Add(); }

void MainView::DeleteTrayIcon() { tray_.Delete(); }

void MainView::PopupTrayMenu() {
    POINT at{};
    GetCursorPos(&at);
    SetForegroundWindow(hwnd_);
    TrackPopupMenu(tray_menu_.get(), TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
    PostMessageA(hwnd_, WM_NULL, 0, 0);  // lets the menu close when the user clicks elsewhere
}

}  // namespace kelvane::win32
