#include "app/startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/about_details.h"
#include "app/chip_steps.h"
#include "app/service_controls.h"
#include "board/board.h"
#include "monitor/monitor_cycle.h"
#include "setup/setup_problem.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

using testing::Rig;

class FakeShell : public testing::NullShell {
  public:
    bool previous = false;
    bool hot_keys_free = true;
    bool companions = true;  // false: a host in no session, as the service
    bool StartsCompanions() override { return companions; }
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
    EXPECT_EQ(
        AboutDetails(f, {"Export: fails"}),
        (std::vector<std::string>{
            "Chip: id 0x12, revision 8", "Register layout: newer with delta field",
            "Index port: 0x295", "Driver library: simulated",
            "Settings file: C:\\Program Files\\Kelvane\\kelvane.ini (read to the end)",
            "fan 0: the chip's own settings (kelvane.ini does not set them)",
            "fan 1: the chip's own settings (kelvane.ini does not set them)",
            "fan 2: the chip's own settings (kelvane.ini does not set them)", "Export: fails"}));
    // No file at all is a supported set-up: the chip keeps its own fan registers.
    for (const auto& a : board.accesses())
        if (a.kind == board::Board::Access::Kind::WriteReg) {
            EXPECT_EQ(a.port, 0x2E) << +a.reg;
        }
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

    // A host in no session starts nothing: a GetUser.exe that is not there is still fatal.
    rig.processes.can_start = true;
    rig.processes.started.clear();
    shell.companions = false;
    r = Form1_Form_Load(f, shell);
    EXPECT_FALSE(r.keep_running);
    EXPECT_NE(r.fatal_message.find(kTool + "GetUser.exe"), std::string::npos);
    EXPECT_TRUE(rig.processes.started.empty());
    EXPECT_TRUE(board.accesses().empty());
    // Its view, in a session, says the same of a missing c:\prog.txt.
    rig.files.files.erase(kProgTxt);
    shell.companions = true;
    r = StartView(f, shell);
    EXPECT_FALSE(r.keep_running);
    EXPECT_NE(r.fatal_message.find("prog.txt"), std::string::npos);
    EXPECT_TRUE(rig.processes.started.empty());
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

    // The service ends the same way but starts nothing; its view starts both in its session.
    rig.processes.started.clear();
    rig.files.files[kTool + "GetUser.exe"] = "MZ";
    shell.companions = false;
    const LoadResult service = Form1_Form_Load(f, shell);
    EXPECT_FALSE(service.keep_running);
    EXPECT_TRUE(service.fatal_message.empty());
    EXPECT_TRUE(rig.processes.started.empty());
    EXPECT_TRUE(board.accesses().empty());
    shell.companions = true;
    const LoadResult view = StartView(f, shell);
    EXPECT_FALSE(view.keep_running);
    EXPECT_TRUE(view.fatal_message.empty());
    EXPECT_EQ(rig.processes.started,
              (std::vector<std::string>{kTool + "GetUser.exe", kTool + "quick.exe"}));
    // With the set file in place the view goes on, having started GetUser.exe only.
    rig.files.files[kTool + "term01.set"] = "1";
    rig.processes.started.clear();
    EXPECT_TRUE(StartView(f, shell).keep_running);
    EXPECT_EQ(rig.processes.started, std::vector<std::string>{kTool + "GetUser.exe"});
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
    for (const auto& a : board.accesses())  // identification's device select only
        if (a.kind == board::Board::Access::Kind::WriteReg) {
            EXPECT_EQ(a.port, 0x2E) << +a.reg;
        }
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

// Set-up mistakes a new technician makes: each is named on the status line, in its normal
// colour, and none programs the fans from values the file never gave or raises an alarm.
TEST_F(StartupFixture, SetupProblemsAreNamedNeverAlarmed) {
    SetupStatusLine status;
    const std::string ini = f.ProgramFile("kelvane.ini");
    auto run = [&](int ticks) {
        f.tick_listeners = {&status};
        for (int i = 0; i < ticks; ++i) Form1_Timer1_Timer(f);
    };
    auto monitor_writes = [&] {
        int n = 0;
        for (const auto& a : board.accesses())
            n += a.kind == board::Board::Access::Kind::WriteReg && a.port != 0x2E &&
                 (a.reg == 0x15 || a.reg == 0x16 || a.reg == 0x17 || a.reg >= 0x60);
        return n;
    };

    // kelvane.ini is a folder: read as nothing, not as an empty file.
    rig.files.files[ini] = "";
    rig.files.unreadable[ini] = true;
    ASSERT_TRUE(Form1_Form_Load(f, shell).keep_running);
    EXPECT_EQ(SetupProblems(f), std::vector<SetupReason>{SetupReason::SettingsUnreadable});
    EXPECT_EQ(f.window.KelvaneLabel[0].caption, "System");
    EXPECT_EQ(f.window.KelvaneLabel[1].caption, "CPU");
    EXPECT_EQ(monitor_writes(), 0);  // no fan programmed with zero set points
    run(30);
    EXPECT_EQ(f.window.Label1.caption, "Check settings: kelvane.ini cannot be read");
    EXPECT_EQ(f.window.Label1.back_color, 0xFF0000u);
    EXPECT_EQ(f.monitor.g_ErrorCode, 0);
    EXPECT_FALSE(f.monitor.alarm_lasting);
    // Nothing wrote to the fan blocks: no over-temperature forced a fan to full speed.
    for (const auto& a : board.accesses())
        if (a.kind == board::Board::Access::Kind::WriteReg && a.port == 0x295) {
            EXPECT_FALSE(a.reg >= 0x60 && a.reg <= 0x77) << +a.reg;
        }
}

TEST_F(StartupFixture, StopPointAndMisplacedMonitorAreSetupProblems) {
    SetupStatusLine status;
    // A value that does not fit: the stop names it, whatever start-up reads afterwards.
    rig.profile.WriteString("VIN2", "DefaultTemp", "50000");
    ASSERT_TRUE(Form1_Form_Load(f, shell).keep_running);
    EXPECT_EQ(SetupProblems(f), std::vector<SetupReason>{SetupReason::SettingsStopped});
    EXPECT_EQ(SetupShortText(f, SetupReason::SettingsStopped),
              "Check settings: stopped at [VIN2] DefaultTemp");

    // Address at the chip's data port: found at identification, and from then on nothing
    // touches it; the library works, so the monitor counts as reachable.
    board::Board wrong;
    Rig other(wrong, "[Option]\nAddress=662\n");
    other.files.files[kProgTxt] = "C:\\POS";
    FanWatch watch(other.form, [] { return 0LL; });  // reads the fan registers before loading
    ASSERT_TRUE(Form1_Form_Load(other.form, shell, &watch).keep_running);
    Form1& g = other.form;
    EXPECT_EQ(SetupProblems(g), std::vector<SetupReason>{SetupReason::MonitorNotAtAddress});
    bool identified_yet = false;
    for (const auto& a : wrong.accesses()) {
        identified_yet = identified_yet || (a.port == 0x2E && a.reg == 0x61);
        // Only the snapshot, before identification, reads there.
        if (identified_yet) {
            EXPECT_NE(a.port, 0x296) << +a.reg;
        }
    }
    wrong.clear_accesses();
    g.tick_listeners = {&status};
    for (int i = 0; i < 10; ++i) Form1_Timer1_Timer(g);
    EXPECT_TRUE(wrong.accesses().empty());
    EXPECT_FALSE(g.monitor.hardware_unreachable);
    EXPECT_EQ(g.window.Label1.caption, "Hardware monitor not at 0x296 (the chip says 0x295)");
    EXPECT_EQ(g.window.TempLabel[0].caption, "\x96");
    EXPECT_NE(AboutDetails(g).at(5).find("Set-up problem: Hardware monitor not at 0x296"),
              std::string::npos);
    EXPECT_NE(AboutDetails(g).at(5).find("Set Address=661 in [Option] of kelvane.ini (or remove "
                                         "the key)"),
              std::string::npos);
}

// A machine fault always wins the status line, then an unreachable monitor, then a set-up
// problem; the set-up problem comes back when they are gone.
TEST_F(StartupFixture, MachineFaultThenUnreachableThenSetupProblem) {
    SetupStatusLine status;
    rig.profile.WriteString("Option", "BeepWaitTimes", "40000");
    ASSERT_TRUE(Form1_Form_Load(f, shell).keep_running);
    f.tick_listeners = {&status};
    auto run = [&](int ticks) {
        for (int i = 0; i < ticks; ++i) Form1_Timer1_Timer(f);
    };
    run(8);
    EXPECT_EQ(StatusHolderOf(f), StatusHolder::SetupProblem);
    EXPECT_EQ(f.window.Label1.caption, "Check settings: stopped at [Option] BeepWaitTimes");

    board.set_reg(0x2A, 90);  // the CPU channel over its limit
    run(20);
    EXPECT_EQ(StatusHolderOf(f), StatusHolder::MachineFault);
    EXPECT_EQ(f.window.Label1.caption, "CPU Temperature Over...");
    EXPECT_EQ(f.window.Label1.back_color, 0x0000FFu);

    board.set_reg(0x2A, 40);
    run(1);
    EXPECT_EQ(f.window.Label1.caption, "Check settings: stopped at [Option] BeepWaitTimes");

    board.set_failing(true);
    run(2);
    EXPECT_EQ(StatusHolderOf(f), StatusHolder::Unreachable);
    EXPECT_EQ(f.window.Label1.caption, kUnreachableText);
    EXPECT_EQ(f.window.TempLabel[3].caption, "\x96");

    board.set_failing(false);
    run(1);
    EXPECT_EQ(f.window.Label1.caption, "Check settings: stopped at [Option] BeepWaitTimes");
    f.findings.settings_read_to_end = true;
    run(1);
    EXPECT_EQ(StatusHolderOf(f), StatusHolder::Normal);
    EXPECT_EQ(f.window.Label1.caption, "Normal...");
}

// A library copied in while Kelvane runs: the first tick that reaches the chip first takes the
// chip steps start-up could not, so the fans read their real speeds and no fan alarm follows.
TEST_F(StartupFixture, LibraryThatArrivesLateGetsTheStartupChipSteps) {
    for (int n = 0; n < 3; ++n)
        rig.profile.WriteString("Default Fan Ctrl " + std::to_string(n), "S0", "30");
    for (int n = 0; n < 3; ++n)
        for (const auto& [key, value] :
             {std::pair{"S1", "40"}, {"S2", "60"}, {"DeltaTemp", "2"}, {"Speed0", "20"}})
            rig.profile.WriteString("Default Fan Ctrl " + std::to_string(n), key, value);
    board.set_failing(true);
    ASSERT_TRUE(Form1_Form_Load(f, shell).keep_running);
    EXPECT_EQ(SetupProblems(f), std::vector<SetupReason>{SetupReason::ChipNotIdentified});
    EXPECT_EQ(AboutDetails(f).at(1), "Register layout: unknown (chip not identified)");
    // The older layout's keys are missing, so every fan keeps the chip's own settings.
    EXPECT_EQ(f.findings.fans_left_to_chip, (std::array<bool, 3>{true, true, true}));
    LateChipSteps late;
    SetupStatusLine status;
    f.tick_listeners = {&late, &status};
    for (int i = 0; i < 3; ++i) Form1_Timer1_Timer(f);
    EXPECT_EQ(f.window.Label1.caption, kUnreachableText);

    board.set_failing(false);
    Form1_Timer1_Timer(f);
    EXPECT_TRUE(f.findings.chip_identified);
    EXPECT_EQ(f.findings.monitor_base, 0x290);
    EXPECT_EQ(f.KelvaneFanFlag, kTrue);
    EXPECT_EQ(f.KelvaneFanSpecialFlag, kTrue);
    EXPECT_EQ(f.g_FanDivisor, (std::array<i16, 3>{2, 2, 2}));
    EXPECT_EQ(f.findings.fan_described, (std::array<bool, 3>{true, true, true}));
    EXPECT_EQ(f.findings.fans_left_to_chip, (std::array<bool, 3>{}));
    EXPECT_EQ(board.writes_to(0x15).front(), 0x80);  // programmed before the tick's own steps
    EXPECT_EQ(board.reg(0x6A), 60);
    EXPECT_TRUE(SetupProblems(f).empty());
    for (int i = 0; i < 25; ++i) Form1_Timer1_Timer(f);
    EXPECT_EQ(f.window.Label1.caption, "Normal...");
    EXPECT_EQ(f.monitor.g_ErrorCode, 0);
    EXPECT_GT(f.CPUTempFan, 0);

    // A port program that failed with the library stopped the loader before its first key:
    // the whole loader runs late, and the expressions it reads reach the reading tables.
    board::Board later;
    std::string ini;
    for (int n = 0; n < 3; ++n)
        ini += "[Default Fan Ctrl " + std::to_string(n) + "]\nModulate=,X=T+5\n";
    Rig dat(later, ini);
    dat.files.files[kProgTxt] = "C:\\POS";
    dat.files.files[dat.form.ProgramFile("kelvane.dat")] = std::string("\x87\x95\x02\x14\x44", 5);
    later.set_failing(true);
    ASSERT_TRUE(Form1_Form_Load(dat.form, shell).keep_running);
    LateChipSteps steps;
    dat.form.tick_listeners = {&steps};
    later.set_failing(false);
    Form1_Timer1_Timer(dat.form);
    EXPECT_EQ(dat.form.monitor.temps[1], later.reg(0x2A) + 5);
}

TEST(ServiceControls, FirstOfStopPreshutdownOrShutdownEndsOnceAndResumeChecksUntilThen) {
    using C = ServiceControls;
    for (const std::uint32_t first : {C::kStop, C::kPreshutdown, C::kShutdown}) {
        C controls;
        EXPECT_EQ(controls.On(C::kPowerEvent, C::kResumeAutomatic), ServiceAction::ResumeCheck);
        EXPECT_EQ(controls.On(C::kPowerEvent, C::kResumeSuspend), ServiceAction::ResumeCheck);
        EXPECT_EQ(controls.On(C::kPowerEvent, 4), ServiceAction::None);  // going to sleep
        EXPECT_EQ(controls.On(C::kInterrogate, 0), ServiceAction::None);
        EXPECT_EQ(controls.On(0x40, 0), ServiceAction::NotHandled);
        EXPECT_FALSE(controls.stopping());
        EXPECT_EQ(controls.On(first, 0), ServiceAction::BeginStop) << first;
        EXPECT_TRUE(controls.stopping());
        for (const std::uint32_t then : {C::kStop, C::kPreshutdown, C::kShutdown})
            EXPECT_EQ(controls.On(then, 0), ServiceAction::None) << first << " " << then;
        // The fans may be handed back already: a resume programs nothing any more.
        EXPECT_EQ(controls.On(C::kPowerEvent, C::kResumeAutomatic), ServiceAction::None);
    }
}

}  // namespace
}  // namespace kelvane
