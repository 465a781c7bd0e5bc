// The real windows of the options dialog, the error window and the window set, driven by
// the messages a user's actions produce, checked on the real controls and on the model.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "board/board.h"
#include "history/history.h"
#include "support/fakes.h"
#include "unit/options_fixture.h"
#include "win32/about_window.h"
#include "win32/dialog_ids.h"
#include "win32/error_window_view.h"
#include "win32/history_window.h"
#include "win32/options_window.h"
#include "win32/other_windows.h"
#include "win32/window_basics.h"

namespace kelvane::win32 {
namespace {

struct IdSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchId(HWND child, LPARAM lparam) {
    auto* s = reinterpret_cast<IdSearch*>(lparam);
    if (GetDlgCtrlID(child) != s->id) return TRUE;
    s->found = child;
    return FALSE;
}

// Controls sit in containers, so GetDlgItem would not find them.
HWND Item(HWND top, int id) {
    IdSearch s{id, nullptr};
    EnumChildWindows(top, MatchId, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::string Text(HWND hwnd) {
    char text[512] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool Shown(HWND hwnd) { return (GetWindowLongA(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

LRESULT Pos(HWND trackbar) { return SendMessageA(trackbar, TBM_GETPOS, 0, 0); }

void Type(HWND edit, const std::string& keys) {
    for (char c : keys) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

struct Dialog {
    explicit Dialog(i16 user_scroll = 1) {
        rig.g.g_UserScroll = user_scroll;
        view =
            std::make_unique<OptionsWindow>(GetModuleHandleA(nullptr), rig.f, rig.shared, [this] {
                ++unloads;
                busy_at_unload = view->Busy();
                shown_at_unload = IsWindowVisible(view->hwnd()) != FALSE;
            });
        view->Show();
        Pump();
    }
    HWND Get(int id) const { return Item(view->hwnd(), id); }
    const FanCtrlRecord& Working(int j) const { return view->model().working_fan_ctrl()[j]; }
    void SelectTab(int index) {
        TabCtrl_SetCurFocus(Get(ids::kTabStrip1), index);  // notifies as a click does
        Pump();
    }

    testing::OptionsRig rig;
    std::unique_ptr<OptionsWindow> view;
    int unloads = 0;
    bool busy_at_unload = true, shown_at_unload = true;
};

TEST(OptionsWindow, OpensWithTheModelsTabsAndShowsThePageOfTheSelectedTab) {
    Dialog d;
    HWND top = d.view->hwnd();
    EXPECT_EQ(Text(top), "Option (Kelvane Ver 5.07)");
    EXPECT_TRUE(GetWindowLongA(top, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT r{};
    GetWindowRect(top, &r);
    const Form2& m = d.view->model();
    EXPECT_EQ(r.left, m.left / 15);
    EXPECT_EQ(r.bottom - r.top, m.height / 15);

    HWND tabs = d.Get(ids::kTabStrip1);
    ASSERT_EQ(TabCtrl_GetItemCount(tabs), static_cast<int>(m.TabStrip1.tabs.size()));
    for (int t = 0; t < TabCtrl_GetItemCount(tabs); ++t) {
        char caption[64] = {};
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption;
        item.cchTextMax = sizeof caption;
        SendMessageA(tabs, TCM_GETITEMA, t, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(caption, m.TabStrip1.tabs[static_cast<size_t>(t)].caption);
    }
    EXPECT_TRUE(Shown(d.Get(ids::kFrame1)));
    EXPECT_FALSE(Shown(d.Get(ids::kFrame2)));
    EXPECT_FALSE(IsWindowEnabled(d.Get(ids::kApplyCmdButon)));
    EXPECT_EQ(Pos(d.Get(ids::kCtrSlider)), 35);
    EXPECT_EQ(Text(d.Get(ids::kCtrText)), "35");

    d.SelectTab(4);
    EXPECT_EQ(m.TabStrip1.SelectedTab()->caption, "Voltage");
    EXPECT_TRUE(Shown(d.Get(ids::kFrame2)));
    EXPECT_FALSE(Shown(d.Get(ids::kFrame1)));
    EXPECT_FALSE(Shown(d.Get(ids::kFrame1 + 1)));
    EXPECT_FALSE(IsWindowEnabled(d.Get(ids::kApplyCmdButon)));  // viewing is no edit
}

TEST(OptionsWindow, WithoutUserScrollOnlyTheGeneralTabsRemain) {
    Dialog d(0);
    HWND tabs = d.Get(ids::kTabStrip1);
    EXPECT_EQ(TabCtrl_GetItemCount(tabs), 2);
    EXPECT_TRUE(Shown(d.Get(ids::kFrame3)));
    EXPECT_FALSE(Shown(d.Get(ids::kFrame1)));
}

// The keys go to the trackbar itself; its notification passes through the container.
TEST(OptionsWindow, KeyboardOnATemperatureSliderRunsTheCascadeOnTheRealSliders) {
    Dialog d;
    HWND middle = d.Get(ids::kCtrSlider + 1);
    SetFocus(middle);
    SendMessageA(middle, WM_KEYDOWN, VK_NEXT, 1);  // page: 45 -> 55
    SendMessageA(middle, WM_KEYDOWN, VK_NEXT, 1);  // 55 -> 65, pushing 2 up
    SendMessageA(middle, WM_KEYDOWN, VK_DOWN, 1);  // 66, pushing 2 and 3 up
    EXPECT_EQ(Pos(middle), 66);
    EXPECT_EQ(Pos(d.Get(ids::kCtrSlider + 2)), 66);
    EXPECT_EQ(Pos(d.Get(ids::kCtrSlider + 3)), 66);
    EXPECT_EQ(Pos(d.Get(ids::kCtrSlider + 4)), 75);
    EXPECT_EQ(Pos(d.Get(ids::kCtrSlider)), 35);
    EXPECT_EQ(Text(d.Get(ids::kCtrText + 3)), "66");
    EXPECT_EQ(d.Working(0).S[3], 66);
    EXPECT_TRUE(IsWindowEnabled(d.Get(ids::kApplyCmdButon)));

    SendMessageA(middle, WM_KEYDOWN, VK_HOME, 1);  // to 0: the lowest point follows down
    EXPECT_EQ(Pos(d.Get(ids::kCtrSlider)), 0);
    EXPECT_EQ(d.Working(0).S[0], 0);
}

TEST(OptionsWindow, TemperatureBoxTakesDigitsOnlyAndCountsWhenItLosesTheFocus) {
    Dialog d;
    HWND box = d.Get(ids::kCtrText + 2);
    SetFocus(box);
    SendMessageA(box, EM_SETSEL, 0, -1);
    Type(box, "1x5a0\x16");  // Ctrl+V is a key like any other here
    EXPECT_EQ(Text(box), "150");
    EXPECT_EQ(Pos(d.Get(ids::kCtrSlider + 2)), 55);  // nothing happens while typing
    SetFocus(d.Get(ids::kTabStrip1));
    EXPECT_EQ(Text(box), "100");
    EXPECT_EQ(Pos(d.Get(ids::kCtrSlider + 2)), 100);
    EXPECT_EQ(Pos(d.Get(ids::kCtrSlider + 4)), 100);
    EXPECT_EQ(d.Working(0).S[2], 100);

    // Pasted text gets in and counts by the number it starts with.
    HWND other = d.Get(ids::kCtrText + 1);
    ASSERT_TRUE(OpenClipboard(d.view->hwnd()));
    EmptyClipboard();
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, 8);
    lstrcpyA(static_cast<char*>(GlobalLock(data)), "12abc");
    GlobalUnlock(data);
    SetClipboardData(CF_TEXT, data);
    CloseClipboard();
    SetFocus(other);
    SendMessageA(other, EM_SETSEL, 0, -1);
    SendMessageA(other, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(other), "12abc");
    SetFocus(d.Get(ids::kTabStrip1));
    EXPECT_EQ(Text(other), "12");
    EXPECT_EQ(Pos(d.Get(ids::kCtrSlider)), 12);  // pulled down with it
}

TEST(OptionsWindow, ToleranceListMovesOnlyThroughTheModel) {
    Dialog d;
    d.SelectTab(4);
    HWND list = d.Get(ids::kMyList);
    const int k = std::stoi(d.view->model().MyLabel[0].tag);
    EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 101);
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 90);

    SendMessageA(list, WM_KEYDOWN, VK_UP, 1);
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 89);
    EXPECT_EQ(d.view->model().working_vin()[static_cast<size_t>(k)].Percent, 11);

    // The lower arrow of the spinner, as a click gives it.
    HWND spin = d.Get(ids::kMyListSpin);
    RECT r{};
    GetClientRect(spin, &r);
    const LPARAM lower = MAKELPARAM(r.right / 2, r.bottom - 2);
    SendMessageA(spin, WM_LBUTTONDOWN, MK_LBUTTON, lower);
    SendMessageA(spin, WM_LBUTTONUP, 0, lower);
    EXPECT_EQ(d.view->model().working_vin()[static_cast<size_t>(k)].Percent, 10);
    EXPECT_EQ(SendMessageA(list, LB_GETTOPINDEX, 0, 0), 90);
    EXPECT_TRUE(IsWindowEnabled(d.Get(ids::kApplyCmdButon)));
}

TEST(OptionsWindow, GeneralOptionsFollowTheLogicsExclusion) {
    Dialog d;
    d.SelectTab(3);
    HWND sound = d.Get(ids::kCheck1 + 1);
    HWND card = d.Get(ids::kSoundStyle + 1);
    EXPECT_FALSE(IsWindowEnabled(card));
    SendMessageA(sound, BM_CLICK, 0, 0);
    SendMessageA(card, BM_CLICK, 0, 0);
    EXPECT_EQ(d.view->model().working_sound_warnning(), 3);
    EXPECT_EQ(SendMessageA(d.Get(ids::kSoundStyle), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    // One tab stop per pair, on the chosen button; the arrows choose within the pair.
    HWND speaker = d.Get(ids::kSoundStyle);
    EXPECT_TRUE(GetWindowLongA(card, GWL_STYLE) & WS_TABSTOP);
    EXPECT_FALSE(GetWindowLongA(speaker, GWL_STYLE) & WS_TABSTOP);
    SetFocus(card);
    MSG up{card, WM_KEYDOWN, VK_UP, 1, 0, {}};
    EXPECT_TRUE(d.view->PreTranslate(up));
    Pump();
    EXPECT_EQ(GetFocus(), speaker);
    EXPECT_EQ(d.view->model().working_sound_warnning(), 2);
    MSG down{speaker, WM_KEYDOWN, VK_DOWN, 1, 0, {}};
    EXPECT_TRUE(d.view->PreTranslate(down));
    Pump();
    EXPECT_EQ(d.view->model().working_sound_warnning(), 3);
    SendMessageA(sound, BM_CLICK, 0, 0);
    EXPECT_EQ(d.view->model().working_sound_warnning(), 1);
    EXPECT_FALSE(IsWindowEnabled(card));
    EXPECT_EQ(SendMessageA(card, BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST(OptionsWindow, OkAppliesAndUnloadsOnlyAfterItsHandlerReturned) {
    Dialog d;
    SendMessageA(d.Get(ids::kCtrSlider + 4), WM_KEYDOWN, VK_DOWN, 1);  // 75 -> 76
    SendMessageA(d.Get(ids::kCommand1), BM_CLICK, 0, 0);
    EXPECT_EQ(d.unloads, 1);
    EXPECT_FALSE(d.busy_at_unload);
    EXPECT_FALSE(d.shown_at_unload);
    EXPECT_TRUE(d.view->Closing());
    EXPECT_EQ(d.rig.g.g_FanCtrl[0].S[4], 76);

    // A closing dialog takes no more input.
    SendMessageA(d.Get(ids::kCtrSlider + 4), WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(d.view->model().CtrSlider[4].value(), 76);
}

TEST(OptionsWindow, TheCloseBoxAndEscapeCancelAndEnterCommitsABox) {
    Dialog d;
    SendMessageA(d.Get(ids::kCtrSlider + 4), WM_KEYDOWN, VK_DOWN, 1);
    SendMessageA(d.view->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_EQ(d.unloads, 1);
    EXPECT_EQ(d.rig.g.g_FanCtrl[0].S[4], 75);

    // Keys as the message loop hands them to the dialog manager.
    Dialog k;
    HWND box = k.Get(ids::kCtrText + 4);
    SetFocus(box);
    SendMessageA(box, EM_SETSEL, 0, -1);
    Type(box, "180");
    MSG enter{box, WM_KEYDOWN, VK_RETURN, 1, 0, {}};
    EXPECT_TRUE(k.view->PreTranslate(enter));
    Pump();
    EXPECT_EQ(k.view->model().CtrSlider[4].value(), 100);
    EXPECT_EQ(Text(box), "100");  // shown what the commit made of it, focus kept
    EXPECT_EQ(GetFocus(), box);
    EXPECT_EQ(k.unloads, 0);
    EXPECT_TRUE(k.view->model().ApplyCmdButon.enabled);
    MSG escape{box, WM_KEYDOWN, VK_ESCAPE, 1, 0, {}};
    EXPECT_TRUE(k.view->PreTranslate(escape));
    EXPECT_EQ(k.unloads, 1);
    EXPECT_EQ(k.rig.g.g_FanCtrl[0].S[4], 75);
    EXPECT_EQ(k.rig.rig.profile.Text(), "");

    // Enter on a focused button presses that button, not the default "Ok".
    Dialog b;
    SendMessageA(b.Get(ids::kCtrSlider + 4), WM_KEYDOWN, VK_DOWN, 1);  // 75 -> 76
    HWND apply = b.Get(ids::kApplyCmdButon);
    SendMessageA(b.view->hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(apply), TRUE);  // as Tab
    MSG press{apply, WM_KEYDOWN, VK_RETURN, 1, 0, {}};
    EXPECT_TRUE(b.view->PreTranslate(press));
    Pump();
    EXPECT_EQ(b.unloads, 0);
    EXPECT_EQ(b.rig.g.g_FanCtrl[0].S[4], 76);
    EXPECT_FALSE(b.view->model().ApplyCmdButon.enabled);
}

struct Notice {
    board::Board board;
    kelvane::testing::Rig rig{board};
    ErrorWindowView view{GetModuleHandleA(nullptr), rig.form, nullptr};
    HWND Get(int id) const { return Item(view.hwnd(), id); }
};

TEST(ErrorWindowView, FirstShowingGreysCloseAndNothingButOkHidesIt) {
    Notice n;
    EXPECT_FALSE(IsWindowVisible(n.view.hwnd()));
    n.view.Open();
    HWND w = n.view.hwnd();
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(Text(w), "Warning Message Ver 5.07");
    EXPECT_TRUE(GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
    HMENU menu = GetSystemMenu(w, FALSE);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_TRUE(GetMenuState(menu, 0xFFF6, MF_BYCOMMAND) & MF_GRAYED);

    SendMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    SendMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(w));

    Form1& f = n.rig.form;
    f.monitor.g_CPUOverCnt = 25;
    f.monitor.g_SYSOverCnt = 3;
    f.g_CPUOrderCnt = 7;
    SendMessageA(n.Get(ids::kForm4Check1), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowVisible(w));
    EXPECT_EQ(SendMessageA(n.Get(ids::kForm4Check1), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(f.monitor.g_CPUOverCnt, 0);
    EXPECT_EQ(f.monitor.g_SYSOverCnt, 0);
    EXPECT_EQ(f.g_CPUOrderCnt, 7);
}

TEST(ErrorWindowView, ItsTimerShowsTheLatestAlarmAndKeepsItOnceNormal) {
    Notice n;
    n.view.LoadHidden();
    EXPECT_FALSE(IsWindowVisible(n.view.hwnd()));
    HWND label3 = n.Get(ids::kForm4Label1 + 2);
    n.rig.form.monitor.g_ErrorMsg = "The System Fan is out of order.";
    SendMessageA(n.view.hwnd(), WM_TIMER, ids::kForm4Timer, 0);
    EXPECT_EQ(Text(label3), "10:45:31 PM: The System Fan is out of order.");
    n.rig.form.monitor.g_ErrorMsg = "Normal...";
    n.rig.clock.time = "10:45:32 PM";
    SendMessageA(n.view.hwnd(), WM_TIMER, ids::kForm4Timer, 0);
    EXPECT_EQ(Text(label3), "10:45:31 PM: The System Fan is out of order.");
}

struct Set {
    testing::OptionsRig rig;
    WindowSet windows{GetModuleHandleA(nullptr), rig.f};
};

TEST(WindowSet, HotKeyLoadsEveryWindowHiddenAndUnloadingDestroysThemAll) {
    Set s;
    s.windows.LoadAndHideAll();
    ASSERT_NE(s.windows.options(), nullptr);
    ASSERT_NE(s.windows.error_window(), nullptr);
    ASSERT_NE(s.windows.about(), nullptr);
    const std::vector<HWND> all = {s.windows.options()->hwnd(), s.windows.error_window()->hwnd(),
                                   s.windows.about()->hwnd()};
    for (HWND w : all) EXPECT_FALSE(IsWindowVisible(w));
    // Loading ran the dialog's opening, so its tabs are made.
    EXPECT_GT(TabCtrl_GetItemCount(Item(all[0], ids::kTabStrip1)), 0);
    EXPECT_TRUE(s.windows.error_window()->logic().model().loaded);

    s.windows.UnloadAll();
    EXPECT_EQ(s.windows.options(), nullptr);
    EXPECT_EQ(s.windows.error_window(), nullptr);
    EXPECT_EQ(s.windows.about(), nullptr);
    for (HWND w : all) EXPECT_FALSE(IsWindow(w));
}

TEST(WindowSet, ASecondShowKeepsTheOpenDialogAndItsOwnButtonsUnloadItAfterTheClick) {
    Set s;
    s.windows.ShowOptions();
    OptionsWindow* first = s.windows.options();
    ASSERT_NE(first, nullptr);
    HWND apply = Item(first->hwnd(), ids::kApplyCmdButon);
    SendMessageA(Item(first->hwnd(), ids::kCtrSlider), WM_KEYDOWN, VK_DOWN, 1);
    ASSERT_TRUE(IsWindowEnabled(apply));
    s.windows.ShowOptions();
    EXPECT_EQ(s.windows.options(), first);
    EXPECT_TRUE(IsWindowEnabled(apply));  // not loaded again

    HWND dialog = first->hwnd();
    SendMessageA(Item(dialog, ids::kCommand3), BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindow(dialog));  // still inside the click
    Pump();
    EXPECT_EQ(s.windows.options(), nullptr);
    EXPECT_FALSE(IsWindow(dialog));

    s.rig.f.settings.g_AboutText = "Terminal 7";
    s.windows.ShowAbout();
    ASSERT_NE(s.windows.about(), nullptr);
    HWND about = s.windows.about()->hwnd();
    SendMessageA(about, WM_COMMAND, MAKEWPARAM(3, BN_CLICKED), 0);  // Copy: both blocks
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* copied = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    const std::string text = copied ? copied : "";
    if (copied) GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(text.rfind("Terminal 7\r\n\r\nChip: ", 0), 0u) << text;
    EXPECT_NE(text.find("\r\nSettings file: "), std::string::npos) << text;
    SendMessageA(about, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), 0);
    Pump();
    EXPECT_EQ(s.windows.about(), nullptr);
    EXPECT_FALSE(IsWindow(about));
}

// Exit chosen from the tray while the History window's save dialog is open: the unload
// runs inside the dialog's loop, which then returns into the window's handler.
struct ExitDuringSave {
    static ExitDuringSave* running;
    Set s;
    testing::FakeFiles files;
    testing::FakeClock clock;
    history::History history{files, clock, [](int, double raw) { return raw; }, "C:\\kelvane"};
    bool unloaded = false, kept_while_busy = false, hidden = false;

    static BOOL CALLBACK CancelOwned(HWND w, LPARAM owner) {
        if (GetWindow(w, GW_OWNER) != reinterpret_cast<HWND>(owner) || !IsWindowVisible(w))
            return TRUE;
        PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
        running->unloaded = true;
        return FALSE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
        ExitDuringSave& t = *running;
        HistoryWindow* w = t.s.windows.history_window();
        if (t.unloaded || !w) return;
        const HWND owner = w->hwnd();
        EnumThreadWindows(GetCurrentThreadId(), CancelOwned, reinterpret_cast<LPARAM>(owner));
        if (!t.unloaded) return;  // the dialog is not up yet
        KillTimer(nullptr, id);
        t.s.windows.UnloadAll();
        t.kept_while_busy = t.s.windows.history_window() == w && IsWindow(owner);
        t.hidden = !IsWindowVisible(owner);
    }
};
ExitDuringSave* ExitDuringSave::running = nullptr;

TEST(WindowSet, ExitDuringTheHistorySaveDialogUnloadsTheWindowOnceItsHandlerReturned) {
    ExitDuringSave t;
    ExitDuringSave::running = &t;
    t.clock.unix_seconds = 1781257531;
    t.s.windows.AttachHistory(t.history, t.files);
    t.s.windows.ShowHistory();
    ASSERT_NE(t.s.windows.history_window(), nullptr);
    const HWND window = t.s.windows.history_window()->hwnd();
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, &ExitDuringSave::Tick);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(20, BN_CLICKED), 0);  // Save as CSV...
    KillTimer(nullptr, timer);
    ASSERT_TRUE(t.unloaded);
    EXPECT_TRUE(t.kept_while_busy);
    EXPECT_TRUE(t.hidden);
    Pump();
    EXPECT_EQ(t.s.windows.history_window(), nullptr);
    EXPECT_FALSE(IsWindow(window));
    ExitDuringSave::running = nullptr;
}

TEST(WindowPlacement, LargeFontsNeitherPushWindowsOffTheWorkAreaNorCutButtonCaptions) {
    const RECT area{0, 0, 1024, 740};
    const auto same = [](const RECT& a, const RECT& b) { return EqualRect(&a, &b) != 0; };
    EXPECT_TRUE(same(FitInside({100, 50, 600, 400}, area), {100, 50, 600, 400}));
    // The dialog centred on a 768-pixel screen at 144 dpi: moved down, then cut to the area.
    EXPECT_TRUE(same(FitInside({134, -18, 890, 764}, area), {134, 0, 890, 740}));
    EXPECT_TRUE(same(FitInside({900, 700, 1200, 800}, area), {724, 640, 1024, 740}));
    EXPECT_TRUE(same(FitInside({-50, 10, 2000, 100}, area), {0, 10, 1024, 100}));

    // Options is 8040 twips tall: 804 pixels at 144 dpi, 731 at the next coarser scale.
    const TwipsScale large{10, 10};
    const TwipsScale fitted = large.FittedTo(7560, 8040, area);
    EXPECT_EQ(fitted.y, 11);
    EXPECT_EQ(fitted.x, 11);
    EXPECT_EQ(large.FittedTo(7560, 7000, area).y, 10);
    EXPECT_EQ(large.FittedTo(7560, 80000, area).y, 15);  // never below the 96 dpi size
    OwnedFont smaller(MakeDialogFont(TwipsScale::OfScreen()));
    EXPECT_EQ(smaller, nullptr);  // the screen's own scale keeps the stock font

    // A button as wide as its caption needs, never narrower than asked.
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 100, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND wide = CreateControl(nullptr, parent, "BUTTON", "A caption far wider than the least",
                              BS_PUSHBUTTON, 0, 1);
    HWND narrow = CreateControl(nullptr, parent, "BUTTON", "OK", BS_PUSHBUTTON, 0, 2);
    HDC dc = GetDC(wide);
    HGDIOBJ old = SelectObject(dc, DialogFont());
    SIZE text{};
    GetTextExtentPoint32A(dc, "A caption far wider than the least", 34, &text);
    SelectObject(dc, old);
    ReleaseDC(wide, dc);
    EXPECT_GT(ButtonSize(wide, {60, 24}).cx, text.cx);
    EXPECT_EQ(ButtonSize(narrow, {60, 24}).cx, 60);
    EXPECT_EQ(ButtonSize(narrow, {60, 24}).cy, 24);
    DestroyWindow(parent);
}

}  // namespace
}  // namespace kelvane::win32
