#include "win32/options_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <utility>

#include "base/failure_policy.h"
#include "win32/dialog_ids.h"
#include "win32/window_basics.h"

namespace kelvane::win32 {
namespace {

constexpr const char* kOptionsClass = "KelvaneOptions";
constexpr DWORD kOptionsStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr int kSpinWidth = 16;
// The arrows beside a tolerance list only report their direction; they stay mid-range.
constexpr int kSpinMiddle = 50;

std::string WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(hwnd, text.data(), length + 1)));
    return text;
}

bool HasVisibleStyle(HWND hwnd) { return (GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

// A private dialog class: the window's own procedure falls back on DefDlgProc, so the
// platform's dialog manager (IsDialogMessage in the message loop) runs its keyboard.
void RegisterOptionsClass(HINSTANCE instance, WNDPROC proc) {
    RegisterWindowClass(instance, kOptionsClass, proc,
                        {reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), true, true});
}

// How far a key moves a tolerance list's top item; 0 for other keys. The list runs from
// "100" at the top down to "0", so Up raises the percent as the arrows beside it do.
int ListStep(WPARAM key) {
    switch (key) {
        case VK_UP:
            return -1;
        case VK_DOWN:
            return 1;
        case VK_PRIOR:
            return -10;
        case VK_NEXT:
            return 10;
        case VK_HOME:
            return -100;
        case VK_END:
            return 100;
        default:
            return 0;
    }
}

}  // namespace

OptionsWindow::OptionsWindow(HINSTANCE instance, Form1& form, OptionsShared& shared,
                             std::function<void()> on_unload)
    : instance_(instance), dialog_(form, shared, *this), on_unload_(std::move(on_unload)) {
    RegisterOptionsClass(instance_, &OptionsWindow::Proc);
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    scale_ = scale_.FittedTo(dialog_.width, dialog_.height, WorkAreaOf(screen));
    font_.reset(MakeDialogFont(scale_));
    // Topmost from the start (Form_Load asks for it again): made topmost only after the
    // sliders' value tips exist, the dialog would be placed under its own tips instead.
    hwnd_ = CreateWindowExA(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_TOPMOST,
                            kOptionsClass, dialog_.caption.c_str(), kOptionsStyle, CW_USEDEFAULT,
                            CW_USEDEFAULT, scale_.ToX(dialog_.width), scale_.ToY(dialog_.height),
                            nullptr, nullptr, instance_, nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    CreateControls();
    if (font_) SetFontOfControls(hwnd_, font_.get());
    const std::int32_t screen_width = GetSystemMetrics(SM_CXSCREEN) * scale_.x;
    const std::int32_t screen_height = GetSystemMetrics(SM_CYSCREEN) * scale_.y;
    Dispatch([&] { dialog_.Form_Load(screen_width, screen_height); });
}

OptionsWindow::~OptionsWindow() {
    destroying_ = true;
    if (hwnd_) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void OptionsWindow::Show() {
    if (close_requested_) return;
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow(hwnd_);
}

void OptionsWindow::Hide() { ShowWindow(hwnd_, SW_HIDE); }

void OptionsWindow::SetTopmost() {
    // No activation: the dialog may still be hidden (loaded by the hot key).
    PlaceInTopmostBand(hwnd_, true, false);
}

// The handler that asked is still running; AfterEvent hides and reports once it is done.
void OptionsWindow::Close() { close_requested_ = true; }

void OptionsWindow::ReportApplyFailure(const std::string& message) {
    // Over the dialog, and modal to it, so the dialog cannot be applied again meanwhile.
    MessageBoxA(hwnd_, message.c_str(), "Kelvane", MB_OK | MB_ICONWARNING);
}

void OptionsWindow::Refused(const std::string& message) {
    dialog_.ApplyCmdButon.enabled = true;
    AfterEvent();
    ReportApplyFailure(message);
}

OptionsWindow::Binding& OptionsWindow::Add(Kind kind, options::DialogControl& control, HWND parent,
                                           int id, DWORD style, DWORD ex_style) {
    const char* cls = "STATIC";
    switch (kind) {
        case Kind::Button:
        case Kind::Check:
        case Kind::Option:
            cls = "BUTTON";
            break;
        case Kind::Slider:
            cls = TRACKBAR_CLASSA;
            break;
        case Kind::Text:
            cls = "EDIT";
            break;
        case Kind::List:
            cls = "LISTBOX";
            break;
        case Kind::Tabs:
            cls = WC_TABCONTROLA;
            break;
        default:
            break;
    }
    auto b = std::make_unique<Binding>();
    b->kind = kind;
    b->control = &control;
    // Each control is a group of its own, but for the option pairs: the arrows move within a
    // group, Tab between groups.
    b->hwnd = CreateControl(instance_, parent, cls, "", style | WS_GROUP, ex_style, id);
    if (kind != Kind::Label)
        SetWindowSubclass(b->hwnd, &OptionsWindow::ControlProc, 1,
                          reinterpret_cast<DWORD_PTR>(this));
    by_hwnd_[b->hwnd] = b.get();
    bindings_.push_back(std::move(b));
    return *bindings_.back();
}

OptionsWindow::Binding& OptionsWindow::AddLabel(options::DialogControl& control, HWND parent,
                                                int id, DWORD align) {
    return Add(Kind::Label, control, parent, id, align | SS_NOPREFIX);
}

OptionsWindow::Binding& OptionsWindow::AddButton(options::DialogControl& control, HWND parent,
                                                 int id, std::function<void()> click) {
    Binding& b = Add(Kind::Button, control, parent, id, WS_TABSTOP | BS_PUSHBUTTON);
    b.click = std::move(click);
    return b;
}

OptionsWindow::Binding& OptionsWindow::AddCheck(options::CheckBox& box, HWND parent, int id) {
    Binding& b = Add(Kind::Check, box, parent, id, WS_TABSTOP | BS_CHECKBOX);
    b.check = &box;
    // A click flips the value; the box's setter fires the logic's Click.
    b.click = [&box] { box.SetValue(box.value() != 0 ? 0 : 1); };
    return b;
}

OptionsWindow::Binding& OptionsWindow::AddOption(options::OptionButton& button, HWND parent, int id,
                                                 std::function<void()> click) {
    // Not automatic: which button is on is the logic's decision.
    Binding& b = Add(Kind::Option, button, parent, id, WS_TABSTOP | BS_RADIOBUTTON);
    b.option = &button;
    b.click = std::move(click);
    return b;
}

OptionsWindow::Binding& OptionsWindow::AddSlider(options::Slider& slider, HWND parent, int id) {
    const DWORD look = slider.vertical ? TBS_VERT | TBS_BOTH : TBS_HORZ | TBS_BOTTOM;
    // The tooltip shows the value while the thumb is dragged.
    Binding& b =
        Add(Kind::Slider, slider, parent, id, WS_TABSTOP | TBS_AUTOTICKS | TBS_TOOLTIPS | look);
    b.slider = &slider;
    return b;
}

HWND OptionsWindow::AddFrame(options::DialogControl& frame, HWND parent, int id, FrameLook look) {
    auto b = std::make_unique<Binding>();
    b->kind = Kind::Frame;
    b->control = &frame;
    b->hwnd = CreateContainer(instance_, parent, id, frame.caption, look);
    // A container ends the option group before it, as every control does.
    SetWindowLongA(b->hwnd, GWL_STYLE, GetWindowLongA(b->hwnd, GWL_STYLE) | WS_GROUP);
    by_hwnd_[b->hwnd] = b.get();
    bindings_.push_back(std::move(b));
    return bindings_.back()->hwnd;
}

void OptionsWindow::CreateControls() {
    Form2& d = dialog_;
    Binding& tabs = Add(Kind::Tabs, d.TabStrip1, hwnd_, ids::kTabStrip1, WS_TABSTOP);
    tabs_ = tabs.hwnd;

    // Automatic mode.
    HWND automatic = AddFrame(d.Frame1[0], hwnd_, ids::kFrame1, FrameLook::Border);
    AddOption(d.FanCtrlMode[0], automatic, ids::kFanCtrlMode,
              [this] { dialog_.FanCtrlMode_Click(0); });
    for (int k = 0; k < 5; ++k) {
        AddLabel(d.CtrlLabel[k], automatic, ids::kCtrlLabel + k, SS_CENTER);
        AddSlider(d.CtrSlider[k], automatic, ids::kCtrSlider + k).index = k;
        Binding& text = Add(Kind::Text, d.CtrText[k], automatic, ids::kCtrText + k,
                            WS_TABSTOP | ES_AUTOHSCROLL | ES_CENTER, WS_EX_CLIENTEDGE);
        text.text = &d.CtrText[k];
        text.index = k;
    }
    AddLabel(d.Label13, automatic, ids::kLabel + 13);
    AddLabel(d.Label14, automatic, ids::kLabel + 14);
    AddLabel(d.Label1, automatic, ids::kLabel + 1);
    AddLabel(d.Label2, automatic, ids::kLabel + 2);
    for (int k = 0; k < 2; ++k) AddLabel(d.DeltaScale[k], automatic, ids::kDeltaScale + k);
    AddLabel(d.Label9, automatic, ids::kLabel + 9);
    for (int k = 0; k < 3; ++k) {
        AddLabel(d.FanSpeedValue[k], automatic, ids::kFanSpeedValue + k, SS_RIGHT);
        AddSlider(d.FanSpeedSlider[k], automatic, ids::kFanSpeedSlider + k).index = k;
    }
    AddLabel(d.Label10, automatic, ids::kLabel + 10);
    AddButton(d.ResetDefault, automatic, ids::kResetDefault,
              [this] { dialog_.ResetDefault_Click(); });

    // Software programmable mode.
    HWND software = AddFrame(d.Frame1[1], hwnd_, ids::kFrame1 + 1, FrameLook::Border);
    AddOption(d.FanCtrlMode[1], software, ids::kFanCtrlMode + 1,
              [this] { dialog_.FanCtrlMode_Click(1); });
    AddLabel(d.Label7, software, ids::kLabel + 7);
    AddLabel(d.Label5, software, ids::kLabel + 5);
    AddSlider(d.Slider1, software, ids::kSlider1);
    AddLabel(d.Label6, software, ids::kLabel + 6);
    AddLabel(d.Slider1Value, software, ids::kSlider1Value);
    AddLabel(d.Label8, software, ids::kLabel + 8);
    AddLabel(d.Label4, software, ids::kLabel + 4);
    AddSlider(d.Slider2, software, ids::kSlider2);
    AddLabel(d.Label3, software, ids::kLabel + 3);
    AddLabel(d.Slider2Value, software, ids::kSlider2Value);

    // Voltage rows; those the dialog does not make stay hidden.
    HWND voltage = AddFrame(d.Frame2, hwnd_, ids::kFrame2, FrameLook::Plain);
    for (int i = 0; i < 9; ++i) {
        const bool* exists = &d.row_exists[static_cast<size_t>(i)];
        // Row labels centre on the list's line, the list shows its item centred too.
        AddLabel(d.MyLabel[i], voltage, ids::kMyLabel + i, SS_LEFT | SS_CENTERIMAGE).exists =
            exists;
        Binding& list =
            Add(Kind::List, d.MyList[i], voltage, ids::kMyList + i,
                WS_TABSTOP | LBS_NOSEL | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS, WS_EX_CLIENTEDGE);
        list.list = &d.MyList[i];
        list.exists = exists;
        list.index = i;
        list.spin =
            CreateControl(instance_, voltage, UPDOWN_CLASSA, "", 0, 0, ids::kMyListSpin + i);
        SendMessageA(list.spin, UDM_SETRANGE32, 0, 100);
        SendMessageA(list.spin, UDM_SETPOS32, 0, kSpinMiddle);
        by_hwnd_[list.spin] = &list;
        AddLabel(d.Label11[i], voltage, ids::kLabel11 + i, SS_LEFT | SS_CENTERIMAGE).exists =
            exists;
        AddCheck(d.MyCheck[i], voltage, ids::kMyCheck + i).exists = exists;
        AddLabel(d.Label12[i], voltage, ids::kLabel12 + i, SS_LEFT | SS_CENTERIMAGE).exists =
            exists;
    }

    // General options.
    HWND general = AddFrame(d.Frame3, hwnd_, ids::kFrame3, FrameLook::Plain);
    HWND scale = AddFrame(d.Frame4, general, ids::kFrame4, FrameLook::Border);
    auto add_pair = [&](options::OptionPair& pair, HWND parent, int id) {
        for (int i = 0; i < 2; ++i) {
            HWND button =
                AddOption(pair.buttons[static_cast<size_t>(i)], parent, id + i, [&pair, i] {
                    pair.Select(i);
                }).hwnd;
            if (i == 1)
                SetWindowLongA(button, GWL_STYLE, GetWindowLongA(button, GWL_STYLE) & ~WS_GROUP);
        }
    };
    add_pair(d.DisplayScaleOpt, scale, ids::kDisplayScaleOpt);
    AddCheck(d.Check1, general, ids::kCheck1);
    AddCheck(d.Check2, general, ids::kCheck1 + 1);
    add_pair(d.SoundStyle, general, ids::kSoundStyle);
    AddCheck(d.Check3, general, ids::kCheck1 + 2);
    add_pair(d.APMinimized, general, ids::kAPMinimized);

    AddLabel(d.PolicyNote, hwnd_, ids::kPolicyNote);
    AddButton(d.Command1, hwnd_, ids::kCommand1, [this] { dialog_.Command1_Click(); });
    AddButton(d.Command3, hwnd_, ids::kCommand3, [this] { dialog_.Command3_Click(); });
    AddButton(d.ApplyCmdButon, hwnd_, ids::kApplyCmdButon,
              [this] { dialog_.ApplyCmdButon_Click(); });
    // Enter presses "Ok" unless the focus is on another button (which Enter then presses)
    // or in a temperature box (which Enter commits).
    SendMessageA(hwnd_, DM_SETDEFID, ids::kCommand1, 0);

    // The pages lie over the tab strip: it goes below them, so it never paints over them.
    // Its tab stop comes last, right after "&Apply", as in any tabbed dialog.
    SetWindowPos(tabs_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    focus_.Remember(tabs_);  // the dialog opens with the keyboard on the tabs
}

OptionsWindow::Binding* OptionsWindow::Find(HWND control) {
    auto it = by_hwnd_.find(control);
    return it == by_hwnd_.end() ? nullptr : it->second;
}

template <typename Handler>
void OptionsWindow::Dispatch(Handler&& handler) {
    // Once closing, the dialog only waits to be unloaded: focus changes that hiding it
    // causes must not run handlers on a dialog that is going away.
    if (destroying_ || close_requested_) return;
    const bool was_active = depth_ == 0 && GetForegroundWindow() == hwnd_;
    ++depth_;
    ContainErrors(std::forward<Handler>(handler));
    --depth_;
    if (depth_ != 0) return;
    AfterEvent();
    // Applying sets the main window's topmost state, which activates the main window and
    // puts it over the dialog the user is working in.
    if (was_active && !close_requested_ && GetForegroundWindow() != hwnd_ &&
        IsWindowVisible(hwnd_)) {
        SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(hwnd_);
    }
}

void OptionsWindow::PolicyChanged(const std::vector<std::size_t>& keys) {
    Dispatch([&] { dialog_.PolicyChanged(keys); });
}

void OptionsWindow::AfterEvent() {
    if (destroying_) return;
    if (close_requested_) {
        if (unload_reported_) return;
        unload_reported_ = true;
        ShowWindow(hwnd_, SW_HIDE);
        if (on_unload_) on_unload_();
        return;
    }
    Sync();
    // A control that the model just hid or disabled must not keep the keyboard.
    HWND focus = GetFocus();
    if (GetActiveWindow() == hwnd_ &&
        (!focus || (IsChild(hwnd_, focus) && (!IsWindowVisible(focus) || !IsWindowEnabled(focus)))))
        if (HWND next = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) SetFocus(next);
}

void OptionsWindow::Sync() {
    if (syncing_) {
        resync_ = true;  // a handler ran while the controls were being updated
        return;
    }
    syncing_ = true;
    do {
        resync_ = false;
        SyncWindow();
        SyncTabs();
        for (auto& b : bindings_) SyncBinding(*b);
    } while (resync_);
    syncing_ = false;
}

void OptionsWindow::SyncWindow() {
    const Form2& d = dialog_;
    if (d.caption != WindowText(hwnd_)) SetWindowTextA(hwnd_, d.caption.c_str());
    const RECT r = scale_.ToPixels(d.left, d.top, d.width, d.height);
    if (!EqualRect(&r, &shown_rect_)) {
        // Wherever the settings or large fonts would put it, the whole window stays in view.
        const RECT wanted{r.left, r.top, r.left + r.right, r.top + r.bottom};
        const RECT shown = FitInside(wanted, WorkAreaOf(wanted));
        SetWindowPos(hwnd_, nullptr, shown.left, shown.top, shown.right - shown.left,
                     shown.bottom - shown.top, SWP_NOZORDER | SWP_NOACTIVATE);
        shown_rect_ = r;
    }
}

void OptionsWindow::SyncTabs() {
    const options::TabStrip& strip = dialog_.TabStrip1;
    std::vector<std::string> captions;
    for (const options::Tab& tab : strip.tabs) captions.push_back(tab.caption);
    if (captions != shown_tabs_) {
        TabCtrl_DeleteAllItems(tabs_);
        for (size_t t = 0; t < captions.size(); ++t) {
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = captions[t].data();
            SendMessageA(tabs_, TCM_INSERTITEMA, t, reinterpret_cast<LPARAM>(&item));
        }
        shown_tabs_ = std::move(captions);
    }
    if (TabCtrl_GetCurSel(tabs_) != strip.selected) TabCtrl_SetCurSel(tabs_, strip.selected);
}

void OptionsWindow::SyncBinding(Binding& b) {
    const options::DialogControl& c = *b.control;
    RECT r = scale_.ToPixels(c.left, c.top, c.width, c.height);
    if (!EqualRect(&r, &b.rect)) {
        b.rect = r;
        if (b.spin && r.right > 2 * kSpinWidth) {
            r.right -= kSpinWidth;
            MoveWindow(b.spin, r.left + r.right, r.top, kSpinWidth, r.bottom, TRUE);
        }
        MoveWindow(b.hwnd, r.left, r.top, r.right, r.bottom, TRUE);
        if (b.kind == Kind::List) {
            // One item fills the box, so the box shows exactly the item at the top.
            RECT client{};
            GetClientRect(b.hwnd, &client);
            if (client.bottom > 0) SendMessageA(b.hwnd, LB_SETITEMHEIGHT, 0, client.bottom);
        }
    }

    switch (b.kind) {
        case Kind::Text:
            // The focused box holds what the user is typing; it counts once focus leaves.
            if (GetFocus() != b.hwnd && WindowText(b.hwnd) != b.text->text)
                SetWindowTextA(b.hwnd, b.text->text.c_str());
            break;
        case Kind::Slider: {
            const options::Slider& s = *b.slider;
            if (s.min() != b.min || s.max() != b.max) {
                SendMessageA(b.hwnd, TBM_SETRANGEMIN, FALSE, s.min());
                SendMessageA(b.hwnd, TBM_SETRANGEMAX, TRUE, s.max());
                const int span = s.max() - s.min();
                SendMessageA(b.hwnd, TBM_SETTICFREQ, span > 20 ? 10 : 1, 0);
                SendMessageA(b.hwnd, TBM_SETPAGESIZE, 0, span > 20 ? 10 : 1);
                b.min = s.min();
                b.max = s.max();
            }
            if (SendMessageA(b.hwnd, TBM_GETPOS, 0, 0) != s.value())
                SendMessageA(b.hwnd, TBM_SETPOS, TRUE, s.value());
            break;
        }
        case Kind::List: {
            const options::ListBox& l = *b.list;
            const auto& items = l.items();
            if (SendMessageA(b.hwnd, LB_GETCOUNT, 0, 0) != static_cast<LRESULT>(items.size())) {
                SendMessageA(b.hwnd, WM_SETREDRAW, FALSE, 0);
                SendMessageA(b.hwnd, LB_RESETCONTENT, 0, 0);
                for (const std::string& item : items)
                    SendMessageA(b.hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
                SendMessageA(b.hwnd, WM_SETREDRAW, TRUE, 0);
                InvalidateRect(b.hwnd, nullptr, TRUE);
            }
            if (SendMessageA(b.hwnd, LB_GETTOPINDEX, 0, 0) != l.top_index())
                SendMessageA(b.hwnd, LB_SETTOPINDEX, l.top_index(), 0);
            break;
        }
        case Kind::Check:
            if (SendMessageA(b.hwnd, BM_GETCHECK, 0, 0) != b.check->value())
                SendMessageA(b.hwnd, BM_SETCHECK, b.check->value() ? BST_CHECKED : BST_UNCHECKED,
                             0);
            break;
        case Kind::Option: {
            if ((SendMessageA(b.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED) != b.option->value)
                SendMessageA(b.hwnd, BM_SETCHECK, b.option->value ? BST_CHECKED : BST_UNCHECKED, 0);
            // One tab stop per group, on its chosen button: the arrows do the rest.
            const LONG style = GetWindowLongA(b.hwnd, GWL_STYLE);
            const LONG wanted = b.option->value ? style | WS_TABSTOP : style & ~WS_TABSTOP;
            if (wanted != style) SetWindowLongA(b.hwnd, GWL_STYLE, wanted);
            break;
        }
        default:
            break;
    }
    if (b.kind != Kind::Text && b.kind != Kind::Tabs && (b.first || c.caption != b.caption)) {
        SetWindowTextA(b.hwnd, c.caption.c_str());
        b.caption = c.caption;
    }

    if (b.first || c.enabled != b.enabled) {
        EnableWindow(b.hwnd, c.enabled);
        if (b.spin) EnableWindow(b.spin, c.enabled);
        b.enabled = c.enabled;
    }
    const bool visible = c.visible && (b.exists == nullptr || *b.exists);
    if (visible != HasVisibleStyle(b.hwnd)) {
        ShowWindow(b.hwnd, visible ? SW_SHOWNA : SW_HIDE);
        if (b.spin) ShowWindow(b.spin, visible ? SW_SHOWNA : SW_HIDE);
    }
    b.first = false;
}

void OptionsWindow::CommitText(Binding& b) {
    const std::string typed = WindowText(b.hwnd);
    const int index = b.index;
    options::TextBox& box = *b.text;
    Dispatch([&] {
        box.text = typed;
        dialog_.CtrText_LostFocus(index);
    });
    // The box keeps the focus, so it is shown what the commit made of the text.
    if (!close_requested_ && WindowText(b.hwnd) != box.text) {
        SetWindowTextA(b.hwnd, box.text.c_str());
        SendMessageA(b.hwnd, EM_SETSEL, 0, -1);
    }
}

void OptionsWindow::OnScroll(HWND control) {
    Binding* b = Find(control);
    if (!b || b->kind != Kind::Slider) return;
    const LRESULT position = SendMessageA(control, TBM_GETPOS, 0, 0);
    options::Slider& slider = *b->slider;
    Dispatch([&] { slider.SetValue(position); });
}

void OptionsWindow::OnListKey(Binding& b, int step) {
    options::ListBox& list = *b.list;
    Dispatch([&] { list.SetTopIndex(static_cast<long long>(list.top_index()) + step); });
}

void OptionsWindow::OnTabChange() {
    const int selected = TabCtrl_GetCurSel(tabs_);
    Dispatch([&] {
        dialog_.TabStrip1.selected = selected;
        dialog_.TabStrip1_Click();
    });
}

LRESULT CALLBACK OptionsWindow::Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<OptionsWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self || self->destroying_) return DefDlgProcA(hwnd, message, wparam, lparam);
    return self->OnMessage(message, wparam, lparam);
}

LRESULT OptionsWindow::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND: {
            if (LOWORD(wparam) == IDCANCEL && lparam == 0) {
                // Escape, from the dialog manager: Cancel.
                Dispatch([&] { dialog_.Command3_Click(); });
                return 0;
            }
            Binding* b = Find(reinterpret_cast<HWND>(lparam));
            if (!b) return 0;
            const UINT code = HIWORD(wparam);
            if (b->kind == Kind::Text && code == EN_KILLFOCUS) {
                CommitText(*b);
            } else if (code == BN_CLICKED && b->click) {
                Dispatch(b->click);
            }
            return 0;
        }
        case WM_HSCROLL:
        case WM_VSCROLL:
            if (lparam != 0) OnScroll(reinterpret_cast<HWND>(lparam));
            return 0;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->hwndFrom == tabs_) {
                if (header->code == TCN_SELCHANGE) OnTabChange();
                return 0;
            }
            if (header->code == UDN_DELTAPOS) {
                Binding* b = Find(header->hwndFrom);
                if (b && b->kind == Kind::List) {
                    // Up raises the percent: the item above, one index lower.
                    const int delta = reinterpret_cast<const NMUPDOWN*>(lparam)->iDelta;
                    OnListKey(*b, delta > 0 ? -1 : 1);
                }
                return TRUE;  // the arrows keep their own position
            }
            return 0;
        }
        case WM_ACTIVATE:
            if (focus_.OnActivate(hwnd_, wparam)) return 0;
            break;
        case WM_CLOSE:
            // The caption's close box leaves the dialog as Cancel does.
            Dispatch([&] { dialog_.Command3_Click(); });
            return 0;
        default:
            break;
    }
    return DefDlgProcA(hwnd_, message, wparam, lparam);
}

bool OptionsWindow::PreTranslate(MSG& msg) {
    if (destroying_ || close_requested_ || !IsWindowVisible(hwnd_)) return false;
    if (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd)) return false;
    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages, as in any tabbed dialog.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) < 0) {
        const int count = TabCtrl_GetItemCount(tabs_);
        if (count > 0) {
            const int step = GetKeyState(VK_SHIFT) < 0 ? count - 1 : 1;
            TabCtrl_SetCurSel(tabs_, (TabCtrl_GetCurSel(tabs_) + step) % count);
            OnTabChange();
        }
        return true;
    }
    // Alt+A commits a temperature box being typed in, as leaving it would, before the
    // dialog manager looks for "&Apply": the commit is what enables it.
    if (msg.message == WM_SYSCHAR && (msg.wParam == 'a' || msg.wParam == 'A')) {
        Binding* b = Find(GetFocus());
        if (b && b->kind == Kind::Text) CommitText(*b);
    }
    return IsDialogMessageA(hwnd_, &msg) != FALSE;
}

LRESULT CALLBACK OptionsWindow::ControlProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                            UINT_PTR, DWORD_PTR self) {
    auto* view = reinterpret_cast<OptionsWindow*>(self);
    Binding* b = view->destroying_ ? nullptr : view->Find(hwnd);
    if (!b) return DefSubclassProc(hwnd, message, wparam, lparam);
    return view->OnControlMessage(*b, hwnd, message, wparam, lparam);
}

LRESULT OptionsWindow::OnControlMessage(Binding& b, HWND hwnd, UINT message, WPARAM wparam,
                                        LPARAM lparam) {
    if (b.kind == Kind::Text) {
        // Enter commits the box by the rules of leaving it, and the dialog stays open.
        if (message == WM_GETDLGCODE) {
            const auto* msg = reinterpret_cast<const MSG*>(lparam);
            const LRESULT code = DefSubclassProc(hwnd, message, wparam, lparam);
            if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
                return code | DLGC_WANTMESSAGE;
            return code;
        }
        if (message == WM_KEYDOWN && wparam == VK_RETURN) {
            CommitText(b);
            return 0;
        }
        if (message == WM_CHAR && wparam == '\r') return 0;
    }
    if (b.kind == Kind::Option && message == WM_SETFOCUS) {
        // An option button that takes the focus is chosen, as the arrows within a group
        // choose (Tab only ever stops at the chosen one). Some button controls leave this
        // to the dialog; choosing twice changes nothing.
        const LRESULT result = DefSubclassProc(hwnd, message, wparam, lparam);
        if (!b.option->value && IsWindowEnabled(hwnd) && b.click) Dispatch(b.click);
        return result;
    }
    const bool mode_button = b.option != nullptr && (b.option == &dialog_.FanCtrlMode[0] ||
                                                     b.option == &dialog_.FanCtrlMode[1]);
    if (mode_button) {
        // The two mode buttons sit in two frames but are one group: the arrows move between
        // them, and the button that takes the focus is chosen, as in any group.
        if (message == WM_GETDLGCODE)
            return DefSubclassProc(hwnd, message, wparam, lparam) | DLGC_WANTARROWS;
        const bool arrow =
            wparam == VK_UP || wparam == VK_DOWN || wparam == VK_LEFT || wparam == VK_RIGHT;
        if (message == WM_KEYDOWN && arrow) {
            const options::OptionButton* other =
                &dialog_.FanCtrlMode[b.option == &dialog_.FanCtrlMode[0] ? 1 : 0];
            for (auto& c : bindings_)
                if (c->option == other && IsWindowEnabled(c->hwnd) && IsWindowVisible(c->hwnd))
                    SetFocus(c->hwnd);
            return 0;
        }
    }
    if (b.kind == Kind::Text && message == WM_CHAR) {
        auto key = static_cast<i16>(wparam & 0xFFFF);
        const int index = b.index;
        Dispatch([&] { dialog_.CtrText_KeyPress(index, key); });
        if (key == 0) return 0;  // dropped; pasting is left to the box and to LostFocus
        wparam = static_cast<WPARAM>(static_cast<std::uint16_t>(key));
    }
    if (b.kind == Kind::List) {
        // The list never scrolls by itself: every move goes through the model's top item.
        if (message == WM_KEYDOWN) {
            if (const int step = ListStep(wparam); step != 0) {
                OnListKey(b, step);
                return 0;
            }
        } else if (message == WM_MOUSEWHEEL) {
            OnListKey(b, GET_WHEEL_DELTA_WPARAM(wparam) > 0 ? -1 : 1);
            return 0;
        } else if (message == WM_LBUTTONDOWN) {
            SetFocus(hwnd);
            return 0;
        }
    }
    return DefSubclassProc(hwnd, message, wparam, lparam);
}

}  // namespace kelvane::win32
