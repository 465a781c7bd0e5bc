#include "app/startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/about_details.h"
#include "board/board.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

using testing::Rig;

class FakeShell : public AppShell {
  public:
    bool previous = false;
    bool hot_keys_free = true;
    std::vector<std::string> calls;
    bool PreviousInstanceRunning() override { return previous; }
    void ActivatePreviousInstance(const std::string& title) override {
        calls.push_back("Activate " + title);
    }
    void PrepareTrayRecord() override { calls.push_back("PrepareTray"); }
    bool RegisterHotKey(int id, unsigned modifiers, unsigned vk) override {
        calls.push_back("Register " + std::to_string(id) + " " + std::to_string(modifiers) + " " +
                        std::to_string(vk));
        return hot_keys_free;
    }
    void UnregisterHotKey(int id) override { calls.push_back("Unregister " + std::to_string(id)); }
    void SubclassMainWindow() override { calls.push_back("Subclass"); }
    void AddTrayIcon() override {}
    void DeleteTrayIcon() override {}
    void PopupTrayMenu() override {}
    void CloseMainWindow() override {}
    void StopMonitorTimer() override { calls.push_back("StopTimer"); }
};

const std::string kTool = "C:\\POS\\Vorlind\\Vorlind Fan control Tool\\";

struct StartupFixture : ::testing::Test {
    board::Board board;
    Rig rig{board};
    Form1& f = rig.form;
    FakeShell shell;
    StartupFixture() { rig.files.files[kProgTxt] = "  C:\\POS \r\n"; }
};

TEST_F(StartupFixture, InstalledTerminalStartsWithItsWindowAndTimers) {
    const LoadResult r = Form1_Form_Load(f, shell);
    ASSERT_TRUE(r.keep_running);
    EXPECT_EQ(f.g_ProgramRoot, "C:\\POS");
    EXPECT_EQ(rig.processes.started, std::vector<std::string>{kTool + "GetUser.exe"});
    EXPECT_EQ(rig.clock.sleeps, (std::vector<long>{1000, 3000}));
    EXPECT_EQ(rig.host.close_greyed, 1);
    EXPECT_EQ(f.KelvaneFanFlag, kTrue);  // the healthy board is the newer chip
    EXPECT_TRUE(f.HotKeyShowRegistered && f.HotKeyHideRegistered);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"PrepareTray", "Register 0 7 122",
                                                     "Register 1 7 123", "Subclass"}));
    EXPECT_FALSE(f.window.KelvaneLabel[20].visible);
    // The snapshot shows each limit register in its text box.
    EXPECT_EQ(f.window.Text[7].caption, std::to_string(f.g_RegSnapshot[9]));  // Text8: 0x6C
    ShowStartupWindow(f);
    EXPECT_TRUE(f.window.visible);
    // What the technician reads under the About text, with room for lines of other parts.
    EXPECT_EQ(AboutDetails(f, {"Export: fails"}),
              (std::vector<std::string>{
                  "Chip: id 0x12, revision 8", "Register layout: newer with delta field",
                  "Index port: 0x295", "Driver library: simulated",
                  "Settings file: C:\\Program Files\\Kelvane\\kelvane.ini (read to the end)",
                  "Export: fails"}));
    EXPECT_EQ(AboutClipboardText("About", {"a", "b"}), "About\r\n\r\na\r\nb\r\n");
}

TEST_F(StartupFixture, SnapshotComesFirstThenTheIdentificationKey) {
    Form1_Form_Load(f, shell);
    const auto& a = board.accesses();
    ASSERT_GE(a.size(), 14u);
    const int regs[] = {0x60, 0x61, 0x62, 0x63, 0x64, 0x68, 0x69, 0x6A, 0x6B, 0x6C};
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(a[i].kind, board::Board::Access::Kind::ReadReg);
        EXPECT_EQ(a[i].port, 0x295);
        EXPECT_EQ(a[i].reg, regs[i]);
    }
    EXPECT_EQ(a[10].kind, board::Board::Access::Kind::Outb);
    EXPECT_EQ(a[10].port, 0x2E);
    EXPECT_EQ(a[10].value, 0x87);
}

TEST_F(StartupFixture, MissingProgTxtOrGetUserIsFatalBeforeAnyChipAccess) {
    rig.files.files.erase(kProgTxt);
    LoadResult r = Form1_Form_Load(f, shell);
    EXPECT_FALSE(r.keep_running);
    EXPECT_NE(r.fatal_message.find("prog.txt"), std::string::npos);

    rig.files.files[kProgTxt] = "C:\\POS";
    rig.processes.can_start = false;
    r = Form1_Form_Load(f, shell);
    EXPECT_FALSE(r.keep_running);
    EXPECT_NE(r.fatal_message.find("GetUser.exe"), std::string::npos);
    EXPECT_TRUE(board.accesses().empty());
}

TEST_F(StartupFixture, SecondInstanceWaitsThenActivatesTheFirstAndEnds) {
    shell.previous = true;
    const LoadResult r = Form1_Form_Load(f, shell);
    EXPECT_FALSE(r.keep_running);
    EXPECT_TRUE(r.fatal_message.empty());
    EXPECT_EQ(rig.clock.sleeps, (std::vector<long>{1000, 3000}));
    EXPECT_EQ(shell.calls, std::vector<std::string>{"Activate Kelvane Ver 5.07"});
    EXPECT_EQ(f.window.caption, "");
    EXPECT_TRUE(board.accesses().empty());
    EXPECT_FALSE(f.findings.gate_handed_over);
}

TEST_F(StartupFixture, FailingGateEndsBeforeAnyRegisterIsRead) {
    rig.files.files[f.ProgramFile("auto.set")] = "term01.set\r\n";
    const LoadResult r = Form1_Form_Load(f, shell);
    EXPECT_FALSE(r.keep_running);
    EXPECT_EQ(rig.processes.started.back(), kTool + "quick.exe");
    EXPECT_TRUE(board.accesses().empty());
    EXPECT_TRUE(f.findings.gate_handed_over);
}

TEST_F(StartupFixture, FailingStepsAreSkippedAndStartUpGoesOn) {
    board.set_failing(true);  // no driver library at all
    shell.hot_keys_free = false;
    const LoadResult r = Form1_Form_Load(f, shell);
    EXPECT_TRUE(r.keep_running);
    EXPECT_EQ(f.settings.g_Address, 0x295);
    EXPECT_FALSE(f.HotKeyShowRegistered);
    EXPECT_FALSE(f.HotKeyHideRegistered);
    EXPECT_EQ(shell.calls.back(), "Subclass");  // the steps after the failures still ran
    EXPECT_FALSE(f.window.KelvaneLabel[20].visible);
}

TEST_F(StartupFixture, SettingsThatStopEarlyLeaveTheChipAlone) {
    // The loader stops at the index port; every record after it keeps its start values.
    rig.profile.WriteString("Option", "Address", "70000");
    rig.registry.run["Kelvane"] = "\"C:\\Program Files\\Kelvane\\kelvane.exe\"";
    Form1_Form_Load(f, shell);
    EXPECT_FALSE(f.findings.settings_read_to_end);
    for (const auto& a : board.accesses())
        EXPECT_NE(a.kind, board::Board::Access::Kind::WriteReg) << +a.reg;
    EXPECT_TRUE(rig.host.topmost_calls.empty());
    EXPECT_EQ(rig.registry.deletes, 0);
    EXPECT_EQ(f.window.LedPic[1].tag, "1");  // monitoring keeps the design pairing
}

TEST_F(StartupFixture, MinimisedStartHidesAndCentringUsesTheWorkArea) {
    rig.profile.WriteString("Option", "ExecuteAtStartup", "3");
    Form1_Form_Load(f, shell);
    // 1024 x 738 pixels of work area at 15 twips per pixel.
    EXPECT_EQ(f.window.left, 1024 * 15 / 2 - f.window.width / 2);
    EXPECT_EQ(f.window.top, 738 * 15 / 2 - f.window.height / 2);
    ShowStartupWindow(f);
    EXPECT_FALSE(f.window.visible);
    EXPECT_EQ(rig.host.topmost_calls.back(), false);
}

}  // namespace
}  // namespace kelvane
