#include "win32/main_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/shell_actions.h"
#include "board/board.h"
#include "monitor/monitor_cycle.h"
#include "monitor/readout.h"
#include "support/fakes.h"

namespace kelvane::win32 {
namespace {

using kelvane::testing::FakeClock;
using kelvane::testing::FakeFiles;
using kelvane::testing::FakeProcesses;
using kelvane::testing::FakeRegistry;
using kelvane::testing::FakeSound;
using kelvane::testing::FakeWindows;
using kelvane::testing::InlineThreads;

struct NotifyCall {
    DWORD message;
    NOTIFYICONDATAA data;
};

struct RealWindow {
    std::vector<NotifyCall> tray_calls;  // what Shell_NotifyIconA would have been given
    board::Board board;
    IniText profile;
    FakeFiles files;
    FakeProcesses processes;
    FakeClock clock;
    FakeRegistry registry;
    FakeSound sound;
    FakeWindows windows;
    InlineThreads threads;
    MainView view{GetModuleHandleA(nullptr), false, [this](DWORD message, NOTIFYICONDATAA* data) {
                      tray_calls.push_back({message, *data});
                      return TRUE;
                  }};
    Services services{board, profile, files,   processes, clock,  registry,
                      sound, view,    windows, view,      threads};
    Form1 form{services, "C:\\Program Files\\Kelvane", "kelvane"};
    RealWindow() { view.Create(form); }
    ~RealWindow() { DestroyWindow(view.hwnd()); }
};

// The close command is replaced, so the caption's close button cannot close the window.
TEST(MainWindow, CloseItemIsGreyedAndReplaced) {
    RealWindow w;
    w.view.GreyCloseItem();
    HMENU menu = GetSystemMenu(w.view.hwnd(), FALSE);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
    const UINT replaced = GetMenuState(menu, 0xFFFFFFF6u, MF_BYCOMMAND);
    ASSERT_NE(replaced, static_cast<UINT>(-1));
    EXPECT_TRUE(replaced & MF_GRAYED);
    char text[32] = {};
    GetMenuStringA(menu, 0xFFFFFFF6u, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "Close");
}

TEST(MainWindow, FollowsTheModelAndHidesWhenMinimised) {
    RealWindow w;
    w.form.window.visible = true;
    w.form.window.KelvaneLabel[1].caption = "Board";
    w.view.AfterEvent();
    EXPECT_TRUE(IsWindowVisible(w.view.hwnd()));
    char text[32] = {};
    GetWindowTextA(GetDlgItem(w.view.hwnd(), 1001), text, sizeof text);
    EXPECT_STREQ(text, "Board");
    ShowWindow(w.view.hwnd(), SW_MINIMIZE);  // as the title bar's button does
    EXPECT_FALSE(w.form.window.visible);
    EXPECT_FALSE(IsWindowVisible(w.view.hwnd()));
}

// The CPU fan of the simulated board stops while the CPU (42 C) is above R69 + 1, with the
// window hidden: the icon and tip change on the episode's 17th tick, with one balloon.
TEST(MainWindow, TrayRecordFollowsTheStateWithOneBalloonPerEpisode) {
    RealWindow w;
    w.view.PrepareTrayRecord();
    InitFanDivisors(w.form);
    w.form.window.visible = false;
    w.view.AfterEvent();
    w.view.AfterEvent();
    ASSERT_EQ(w.tray_calls.size(), 2u);
    EXPECT_EQ(w.tray_calls[1].message, static_cast<DWORD>(NIM_SETVERSION));
    EXPECT_EQ(w.tray_calls[1].data.uVersion, static_cast<UINT>(NOTIFYICON_VERSION));
    const NOTIFYICONDATAA add = w.tray_calls[0].data;
    EXPECT_EQ(w.tray_calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.cbSize, NOTIFYICONDATAA_V2_SIZE);
    EXPECT_EQ(add.hWnd, GetDlgItem(w.view.hwnd(), 1231));  // Picture1 gets the callbacks
    EXPECT_EQ(add.uID, 1u);
    EXPECT_EQ(add.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(add.uCallbackMessage, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_STREQ(add.szTip, "Kelvane");
    ASSERT_NE(add.hIcon, nullptr);

    auto tick = [&](int n) {
        for (int i = 0; i < n; ++i) {
            Form1_Timer1_Timer(w.form);
            w.view.AfterEvent();
        }
    };
    auto balloons = [&] {
        std::vector<std::string> texts;
        for (const NotifyCall& c : w.tray_calls)
            if (c.message == NIM_MODIFY && (c.data.uFlags & NIF_INFO)) {
                EXPECT_STREQ(c.data.szInfoTitle, "Kelvane");
                EXPECT_EQ(c.data.dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));
                texts.emplace_back(c.data.szInfo);
            }
        return texts;
    };
    tick(7);
    const NotifyCall normal = w.tray_calls.back();
    EXPECT_EQ(normal.message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(normal.data.uFlags, static_cast<UINT>(NIF_ICON | NIF_TIP));
    EXPECT_EQ(normal.data.hIcon, add.hIcon);
    EXPECT_STREQ(normal.data.szTip,
                 "System 38\xB0"
                 "C CPU 42\xB0"
                 "C \xB7 Normal...");

    w.board.set_reg(0x0E, 0);
    tick(16);
    EXPECT_TRUE(balloons().empty());
    tick(6);
    EXPECT_EQ(balloons(), std::vector<std::string>{"The CPU Fan is out of order."});
    const NotifyCall* fault = nullptr;
    for (const NotifyCall& c : w.tray_calls)
        if (c.message == NIM_MODIFY && (c.data.uFlags & NIF_ICON)) fault = &c;
    ASSERT_NE(fault, nullptr);
    EXPECT_NE(fault->data.hIcon, add.hIcon);
    EXPECT_STREQ(fault->data.szTip,
                 "System 38\xB0"
                 "C CPU 42\xB0"
                 "C \xB7 The CPU fan is out of order.");
    for (const NotifyCall& c : w.tray_calls) EXPECT_NE(c.message, static_cast<DWORD>(NIM_DELETE));
}

}  // namespace
}  // namespace kelvane::win32
