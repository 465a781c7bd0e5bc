#include "app/shell_actions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/startup.h"
#include "app/tray_status.h"
#include "board/board.h"
#include "monitor/monitor_cycle.h"
#include "monitor/readout.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

using testing::Rig;

class RecordingShell : public testing::NullShell {
  public:
    std::vector<std::string> calls;
    void UnregisterHotKey(int id) override { calls.push_back("Unregister" + std::to_string(id)); }
    void AddTrayIcon() override { calls.push_back("AddTray"); }
    void DeleteTrayIcon() override { calls.push_back("DeleteTray"); }
    void PopupTrayMenu() override { calls.push_back("Popup"); }
    void CloseMainWindow() override { calls.push_back("Close"); }
    void StopMonitorTimer() override { calls.push_back("StopTimer"); }
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
    f.opened_by_alarm = true;
    HotKeyPressed(f, kHotKeyShow);
    EXPECT_FALSE(f.opened_by_alarm);  // the user's Open: the end of the alarm leaves it be
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
    f.opened_by_alarm = true;
    Form1_KelvaneLabel_Click(f, 15);  // the user's own dialog: Kelvane is the user's now
    EXPECT_TRUE(f.used_during_alarm);
    f.opened_by_alarm = false;

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

TEST_F(ShellFixture, TrayIconStaysAndAnswersItsCallbacks) {
    f.window.visible = false;
    KeepTrayIcon(f, shell);
    KeepTrayIcon(f, shell);  // added once, not again
    EXPECT_EQ(shell.calls, std::vector<std::string>{"AddTray"});

    Form1_Picture1_MouseMove(f, shell, 0, 0, 0x200, 0);  // a plain move does nothing
    EXPECT_FALSE(f.window.visible);
    f.opened_by_alarm = true;
    Form1_Picture1_MouseMove(f, shell, 0, 0, kTrayDoubleClick, 0);
    EXPECT_FALSE(f.opened_by_alarm);
    EXPECT_TRUE(f.window.visible);
    EXPECT_EQ(f.window.state, WindowState::Normal);
    EXPECT_EQ(rig.host.topmost_calls.back(), true);
    KeepTrayIcon(f, shell);
    EXPECT_EQ(shell.calls, std::vector<std::string>{"AddTray"});  // kept while shown

    f.window.visible = false;
    f.window.state = WindowState::Minimized;
    rig.host.topmost_calls.clear();
    Form1_Picture1_MouseMove(f, shell, 0, 0, kTrayBalloonClick, 0);  // the Open action
    EXPECT_TRUE(f.window.visible);
    EXPECT_EQ(f.window.state, WindowState::Normal);
    EXPECT_EQ(rig.host.topmost_calls, std::vector<bool>{true});

    Form1_Picture1_MouseMove(f, shell, 0, 0, kTrayRightButtonUp, 0);
    EXPECT_EQ(shell.calls.back(), "Popup");
    Form1_nmClos_Click(shell);
    EXPECT_EQ(shell.calls.back(), "Close");
}

class RecordingTray : public TrayShell {
  public:
    std::vector<std::pair<TrayState, std::string>> shown;
    std::vector<std::string> balloons;
    void ShowTrayState(TrayState state, const std::string& tip) override {
        shown.emplace_back(state, tip);
    }
    void ShowBalloon(const std::string& title, const std::string& text) override {
        balloons.push_back(title + ": " + text);
    }
    TrayState state() const { return shown.back().first; }
    const std::string& tip() const { return shown.back().second; }
};

// The CPU fan of the simulated board stops while the CPU (42 C) is above R69 + 1.
TEST_F(ShellFixture, TrayStateTipAndOneBalloonPerHiddenEpisode) {
    RecordingTray tray;
    TrayStatus status(tray, 128);
    f.tick_listeners.push_back(&status);
    InitFanDivisors(f);
    f.settings.g_SoundWarnning = 0;  // no sound, still a balloon
    f.window.visible = false;
    auto tick = [&](int n) {
        for (int i = 0; i < n; ++i) Form1_Timer1_Timer(f);
    };
    auto fan = [&](int count) { board.set_reg(0x0E, static_cast<std::uint8_t>(count)); };

    tick(1);
    EXPECT_EQ(tray.tip(),
              "System 38\xB0"
              "C CPU 42\xB0"
              "C \xB7 " +
                  std::string(kStartingText));
    tick(6);
    EXPECT_EQ(tray.state(), TrayState::Normal);
    EXPECT_EQ(tray.tip(),
              "System 38\xB0"
              "C CPU 42\xB0"
              "C \xB7 Normal...");
    const std::size_t updates = tray.shown.size();
    tick(2);
    EXPECT_EQ(tray.shown.size(), updates);  // nothing changed, nothing sent

    fan(0);
    tick(15);  // a blip below the red-label threshold
    fan(150);
    tick(1);
    fan(0);
    tick(16);
    EXPECT_EQ(tray.state(), TrayState::Normal);
    EXPECT_TRUE(tray.balloons.empty());
    tick(1);  // the episode's 17th tick turns Label1 red
    EXPECT_EQ(tray.state(), TrayState::LastingFault);
    EXPECT_EQ(tray.tip(),
              "System 38\xB0"
              "C CPU 42\xB0"
              "C \xB7 The CPU fan is out of order.");
    tick(5);
    EXPECT_EQ(tray.balloons, std::vector<std::string>{"Kelvane: The CPU Fan is out of order."});

    fan(150);
    tick(1);
    EXPECT_EQ(tray.state(), TrayState::Normal);
    fan(0);
    tick(17);  // a second episode, still hidden: a second balloon
    EXPECT_EQ(tray.balloons.size(), 2u);
    fan(150);
    tick(1);
    f.window.visible = true;
    fan(0);
    tick(17);  // seen in the window: no balloon, the icon still tells
    EXPECT_EQ(tray.state(), TrayState::LastingFault);
    EXPECT_EQ(tray.balloons.size(), 2u);
    fan(150);
    tick(1);

    f.settings.g_DisplayScale = 1;
    f.monitor.volt_checked[2] = true;  // VIN2 out of tolerance
    EXPECT_EQ(TrayStateOf(f), TrayState::VoltageOut);
    EXPECT_EQ(TrayTip(f, 128),
              "System 101\xB0"
              "F CPU 108\xB0"
              "F \xB7 VIN2 out of tolerance");
    EXPECT_EQ(TrayTip(f, 16),
              "System 101\xB0"
              "F...");
    f.monitor.alarm_lasting = true;
    EXPECT_EQ(TrayStateOf(f), TrayState::LastingFault);  // the heavier state wins
    f.monitor.alarm_lasting = false;
    f.monitor.volt_checked[2] = false;

    // A maintenance notice follows the status on a line of its own, and changes no state.
    f.maintenance.notice[2] = true;
    f.maintenance.tip[2] = "Clean the cooling.";
    tick(1);
    EXPECT_EQ(tray.state(), TrayState::Normal);
    EXPECT_EQ(tray.tip(),
              "System 101\xB0"
              "F CPU 108\xB0"
              "F \xB7 Normal...\nClean the cooling.");
    TrayTipCache cache;
    EXPECT_EQ(cache.Of(f, 128), tray.tip());
    f.maintenance.notice[2] = false;
    EXPECT_EQ(cache.Of(f, 128).find("Clean"), std::string::npos);  // the cache sees it end
    f.maintenance.tip[2].clear();

    // A monitor withheld at a wrong Address read nothing: the tip shows no number.
    f.monitor.alarm_lasting = false;
    f.monitor.volt_checked[2] = false;
    f.chip.WithholdMonitor(true);
    tick(1);
    EXPECT_EQ(tray.state(), TrayState::Normal);
    EXPECT_EQ(tray.tip().find_first_of("0123456789"), std::string::npos) << tray.tip();
    f.chip.WithholdMonitor(false);

    board.set_failing(true);
    tick(1);
    EXPECT_EQ(tray.state(), TrayState::Unreachable);
    EXPECT_EQ(tray.tip(), kUnreachableText);  // no stale readings
}

TEST_F(ShellFixture, UnloadUnregistersOnlyTheKeysThatWereRegistered) {
    f.HotKeyShowRegistered = false;
    f.HotKeyHideRegistered = true;
    Form1_Form_Unload(f, shell);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"StopTimer", "Unregister1"}));
    EXPECT_EQ(rig.windows.calls, std::vector<std::string>{"UnloadAll"});
    // The tune was stopped first: no tick after this can start one.
    EXPECT_EQ(f.tune_player.Play(f.AlarmTune), TunePlayer::Request::Ignored);
}

}  // namespace
}  // namespace kelvane
