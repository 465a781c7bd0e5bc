#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/shell_actions.h"
#include "app/startup.h"
#include "board/board.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

using testing::Rig;

class RecordingShell : public AppShell {
public:
    std::vector<std::string> calls;
    bool PreviousInstanceRunning() override { return false; }
    void ActivatePreviousInstance(const std::string&) override {}
    void PrepareTrayRecord() override {}
    bool RegisterHotKey(int, unsigned, unsigned) override { return true; }
    void UnregisterHotKey(int id) override { calls.push_back("Unregister" + std::to_string(id)); }
    void SubclassMainWindow() override {}
    void AddTrayIcon() override { calls.push_back("AddTray"); }
    void DeleteTrayIcon() override { calls.push_back("DeleteTray"); }
    void PopupTrayMenu() override { calls.push_back("Popup"); }
    void CloseMainWindow() override { calls.push_back("Close"); }
};

struct ShellFixture : ::testing::Test {
    board::Board board;
    Rig rig{board};
    Form1& f = rig.form;
    RecordingShell shell;
};

TEST_F(ShellFixture, ShowHotKeyRestoresAHiddenMinimisedWindow) {
    f.window.visible = false;
    f.window.state = WindowState::Minimized;
    HotKeyPressed(f, kHotKeyShow);
    EXPECT_TRUE(f.window.visible);
    EXPECT_EQ(f.window.state, WindowState::Normal);
    EXPECT_EQ(rig.host.do_events, 1);  // pending events run in the middle
    EXPECT_EQ(rig.host.activations, 1);
    EXPECT_TRUE(rig.windows.calls.empty());
}

TEST_F(ShellFixture, HideHotKeyHidesTheOtherWindowsThenTheMainWindow) {
    f.window.visible = true;
    HotKeyPressed(f, kHotKeyHide);
    EXPECT_EQ(rig.windows.calls, std::vector<std::string>{"LoadAndHideAll"});
    EXPECT_FALSE(f.window.visible);
    EXPECT_EQ(rig.host.activations, 1);  // shown and activated first, as for id 0
}

TEST_F(ShellFixture, OtherHotKeyIdsStopAfterActivating) {
    f.window.visible = false;
    HotKeyPressed(f, 7);
    EXPECT_TRUE(f.window.visible);
    EXPECT_EQ(rig.host.activations, 1);
    EXPECT_TRUE(rig.windows.calls.empty());
}

TEST_F(ShellFixture, CommandLabels) {
    f.window.visible = true;
    Form1_KelvaneLabel_Click(f, 12);
    Form1_KelvaneLabel_Click(f, 15);
    EXPECT_EQ(rig.windows.calls, (std::vector<std::string>{"ShowAbout", "ShowOptions"}));

    Form1_KelvaneLabel_Click(f, 13);  // Exit only hides
    EXPECT_FALSE(f.window.visible);
    EXPECT_EQ(rig.host.topmost_calls.back(), false);

    f.window.visible = true;
    Form1_KelvaneLabel_Click(f, 14);  // Hide minimises, and minimised means hidden
    EXPECT_EQ(f.window.state, WindowState::Minimized);
    EXPECT_FALSE(f.window.visible);

    rig.windows.calls.clear();
    f.window.visible = true;
    for (int index : {0, 11, 16, 20, 99}) Form1_KelvaneLabel_Click(f, index);
    EXPECT_TRUE(rig.windows.calls.empty());
    EXPECT_TRUE(f.window.visible);
}

TEST_F(ShellFixture, TrayFollowsVisibilityAndItsCallbacks) {
    f.window.visible = false;
    KeepTrayWithHiddenWindow(f, shell);
    KeepTrayWithHiddenWindow(f, shell);  // added once, not again
    EXPECT_EQ(shell.calls, std::vector<std::string>{"AddTray"});

    Form1_Picture1_MouseMove(f, shell, 0, 0, 0x200, 0);  // a plain move does nothing
    EXPECT_FALSE(f.window.visible);
    Form1_Picture1_MouseMove(f, shell, 0, 0, kTrayDoubleClick, 0);
    EXPECT_TRUE(f.window.visible);
    EXPECT_EQ(f.window.state, WindowState::Normal);
    EXPECT_EQ(shell.calls.back(), "DeleteTray");
    EXPECT_EQ(rig.host.topmost_calls.back(), true);
    KeepTrayWithHiddenWindow(f, shell);
    EXPECT_EQ(shell.calls.size(), 2u);  // already deleted by the double click

    Form1_Picture1_MouseMove(f, shell, 0, 0, kTrayRightButtonUp, 0);
    EXPECT_EQ(shell.calls.back(), "Popup");
    Form1_nmClos_Click(shell);
    EXPECT_EQ(shell.calls.back(), "Close");
}

TEST_F(ShellFixture, UnloadUnregistersOnlyTheKeysThatWereRegistered) {
    f.HotKeyShowRegistered = false;
    f.HotKeyHideRegistered = true;
    Form1_Form_Unload(f, shell);
    EXPECT_EQ(shell.calls, std::vector<std::string>{"Unregister1"});
    EXPECT_EQ(rig.windows.calls, std::vector<std::string>{"UnloadAll"});
}

}  // namespace
}  // namespace kelvane
