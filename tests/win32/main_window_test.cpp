#include <gtest/gtest.h>
#include <windows.h>

#include "app/shell_actions.h"
#include "board/board.h"
#include "support/fakes.h"
#include "win32/main_window.h"

namespace kelvane::win32 {
namespace {

using kelvane::testing::FakeClock;
using kelvane::testing::FakeFiles;
using kelvane::testing::FakeProcesses;
using kelvane::testing::FakeRegistry;
using kelvane::testing::FakeSound;
using kelvane::testing::FakeWindows;

struct RealWindow {
    board::Board board;
    IniText profile;
    FakeFiles files;
    FakeProcesses processes;
    FakeClock clock;
    FakeRegistry registry;
    FakeSound sound;
    FakeWindows windows;
    MainView view{GetModuleHandleA(nullptr), false};
    Services services{board, profile, files, processes, clock, registry, sound, view, windows, view};
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

}  // namespace
}  // namespace kelvane::win32
