#include "monitor/monitor_cycle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/board.h"
#include "chip/speaker.h"
#include "monitor/alarm_log.h"
#include "monitor/readout.h"
#include "state/open_window.h"
#include "support/fakes.h"

namespace kelvane {
namespace {

// Healthy board: temperatures 38 / 42 / 36, fans 5000 / 4500 / 3750 rpm, every fan block
// 30, 40, 50, 60, 70, so R6C = R64 = 70 and a reading above 80 is critical.
constexpr int kSystemTemp = 0x29, kCpuTemp = 0x2A, kPanelTemp = 0x2B;
constexpr int kSystemCount = 0x0D, kCpuCount = 0x0E;

// Every cell of a strip is one flat colour naming strip and cell, so a drawn display can be
// read back.
void PaintCells(Surface& strip, int k) {
    for (int x = 0; x < strip.width(); ++x)
        for (int y = 0; y < strip.height(); ++y) strip.SetPixel(x, y, (k + 1) * 100 + x / 15);
}

struct Machine {
    board::Board board;
    testing::Rig rig{board};
    Form1& f = rig.form;

    Machine() {
        for (int n = 0; n < 3; ++n) {
            f.window.LedPic[n].tag = f.window.FanLed[n].tag = std::to_string(n);
            PaintCells(*rig.surfaces.led_font[n], n);
            f.settings.g_FanCtrl[n].Mode = 1;
            f.settings.g_FanCtrl[n].TmpAlarm = 127;
        }
        f.window.visible = true;
        f.settings.g_BeepWaitTimes = f.BeepCountDown = 3;
        f.AlarmTune = StandardAlarmTune();
        InitFanDivisors(f);
    }
    void Tick(int count = 1) {
        for (int i = 0; i < count; ++i) Form1_Timer1_Timer(f);
    }
    void Set(int reg, int value) { board.set_reg(static_cast<std::uint8_t>(reg), value); }
    void CreateHistory() { rig.files.files[kHistoryLog] = ""; }
    int ErrorWindows() const {
        int n = 0;
        for (const auto& c : rig.windows.calls) n += c == "ShowErrorWindow";
        return n;
    }
    std::size_t Writes(int reg) const {
        return board.writes_to(static_cast<std::uint8_t>(reg)).size();
    }
    // "085C" from the drawn cells; the strip of the first digit.
    std::string Shown(int n) {
        const Surface& s = rig.surfaces.LedPic(n);
        std::string text;
        for (int x : {2, 17, 32}) text += static_cast<char>('0' + s.GetPixel(x, 10) % 100);
        return text + (s.GetPixel(60, 10) % 100 == 16 ? "F" : "C");
    }
    int Strip(int n) { return static_cast<int>(rig.surfaces.LedPic(n).GetPixel(2, 10) / 100) - 1; }
};

TEST(MonitorCycle, WarmUpClassifiesButTakesNoAction) {
    Machine m;
    m.CreateHistory();
    m.f.settings.g_SoundWarnning = 3;
    m.f.settings.g_FanCtrl[1].TmpAlarm = 60;
    m.Set(kCpuTemp, 100);
    m.Tick(6);
    EXPECT_EQ(m.f.monitor.g_ErrorCode, 1);
    EXPECT_EQ(m.Writes(0x14), 18u);
    EXPECT_EQ(m.Writes(0x6D) + m.Writes(0x15) + m.Writes(0x16), 0u);
    EXPECT_EQ(m.f.window.Label3.caption, "");
    EXPECT_EQ(m.f.window.Label1.caption, kStartingText);
    EXPECT_EQ(m.rig.files.files[kHistoryLog], "");
    EXPECT_TRUE(m.rig.sound.played.empty());
    EXPECT_EQ(m.rig.surfaces.invalidations, 6);

    m.Tick();
    EXPECT_EQ(m.board.writes_to(0x6F), std::vector<std::uint8_t>{0x7F});
    EXPECT_EQ(m.f.window.Label3.caption, "1");
    EXPECT_EQ(m.f.monitor.g_ErrorMsg, "CPU Temperature Over...");
    EXPECT_EQ(m.f.window.Label1.caption, "");  // too young a fault: blank, as before warm-up
}

TEST(MonitorCycle, StatusCodesAndTheirOrder) {
    struct Case {
        const char* what;
        int system_t, cpu_t, system_count, cpu_count, code;
    };
    const Case cases[] = {
        {"CPU at its limit", 38, 70, 135, 150, 0},
        {"CPU one over", 38, 71, 135, 150, 1},
        {"CPU fan stopped at R69 + 1", 38, 41, 135, 0, 0},
        {"CPU fan stopped above R69 + 1", 38, 42, 135, 0, 2},
        {"CPU fan stopped and CPU over", 38, 75, 135, 0, 1},
        {"system over", 71, 42, 135, 150, 3},
        {"system fan overflowed", 42, 42, 255, 150, 4},
        {"system over and CPU fan stopped", 75, 50, 135, 0, 2},
        {"system fan stopped and CPU over", 50, 75, 0, 150, 1},
        {"both fans stopped, both cool", 41, 41, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Machine m;
        m.Set(kSystemTemp, c.system_t);
        m.Set(kCpuTemp, c.cpu_t);
        m.Set(kSystemCount, c.system_count);
        m.Set(kCpuCount, c.cpu_count);
        m.Tick(7);
        EXPECT_EQ(m.f.monitor.g_ErrorCode, c.code) << c.what;
        EXPECT_EQ(m.f.window.Label3.caption, c.code ? std::to_string(c.code) : "") << c.what;
    }
}

TEST(MonitorCycle, NewerLayoutLimitsAreTheFullSpeedTemperatures) {
    // What the apply leaves in the newer layout: S(2) = 50 in B+2, a slope byte above any
    // reading in B+4.
    struct Case {
        const char* what;
        int system_t, cpu_t, system_count, cpu_count, code;
        bool critical;
    };
    const Case cases[] = {
        {"CPU at its full-speed temperature", 38, 50, 135, 150, 0, false},
        {"CPU one over", 38, 51, 135, 150, 1, false},
        {"CPU fan stopped inside the window", 38, 50, 135, 0, 2, false},
        {"CPU fan stopped over the limit", 38, 51, 135, 0, 1, false},
        {"CPU ten over", 38, 60, 135, 150, 1, false},
        {"CPU eleven over", 38, 61, 135, 150, 1, true},
        {"system one over", 51, 42, 135, 150, 3, false},
        {"system fan stopped inside the window", 50, 42, 0, 150, 4, false},
        {"system eleven over", 61, 42, 135, 150, 3, true},
    };
    for (const Case& c : cases) {
        Machine m;
        m.f.KelvaneFanFlag = kTrue;
        m.CreateHistory();
        m.Set(0x64, 0xE3);
        m.Set(0x6C, 0xE3);
        m.Set(kSystemTemp, c.system_t);
        m.Set(kCpuTemp, c.cpu_t);
        m.Set(kSystemCount, c.system_count);
        m.Set(kCpuCount, c.cpu_count);
        m.Tick(7);
        EXPECT_EQ(m.f.monitor.g_ErrorCode, c.code) << c.what;
        EXPECT_EQ(m.f.monitor.g_Critical, c.critical ? 1 : 0) << c.what;
        EXPECT_EQ(TemperatureLimit(m.f, 0), 50);
        EXPECT_EQ(TemperatureLimit(m.f, 1), 50);
        EXPECT_EQ(TemperatureLimit(m.f, 2), -1);
        EXPECT_EQ(m.f.window.Text[7].caption, "227") << "Text8 still shows R6C as read";
    }
    Machine older;
    older.Set(0x6A, 20);
    older.Set(kCpuTemp, 60);
    older.Tick(7);
    EXPECT_EQ(TemperatureLimit(older.f, 1), 70);
    EXPECT_EQ(older.f.monitor.g_ErrorCode, 0);
}

TEST(MonitorCycle, FullSpeedReachesTheFanAndCoolsIt) {
    // The newer layout: the control registers carry the full speed; B+5 keeps the delta
    // temperature and its neighbours.
    Machine m;
    m.f.KelvaneFanFlag = kTrue;
    m.Tick(6);
    m.Set(kCpuTemp, 55);
    m.Tick(3);
    m.Set(kCpuTemp, 38);
    m.Set(kSystemTemp, 55);
    m.Tick(2);
    EXPECT_EQ(m.board.writes_to(0x16), std::vector<std::uint8_t>(3, 0x7F));
    EXPECT_EQ(m.board.writes_to(0x15), std::vector<std::uint8_t>(2, 0x7F));
    for (int reg : {0x65, 0x66, 0x67, 0x6D, 0x6E, 0x6F}) EXPECT_EQ(m.Writes(reg), 0u) << reg;

    // A hot CPU on the thermal board: at PWM 20 it settles at 72.6, over its limit of 65 for
    // good; at 127 it cools below the limit, and the normal steps take the fan back.
    board::Board hot(
        "[Thermal]\nEnabled=1\nAmbient=30\nHeat0=10\nHeat1=60\nHeat2=10\nCooling=50\n"
        "TimeConstant=10\nWave=0\nSpin=50\n[Registers]\n2A=80\n16=0x14\n6A=65\n");
    long long now = 0;
    hot.set_clock([&now] { return now; });
    testing::Rig rig{hot};
    Form1& f = rig.form;
    f.KelvaneFanFlag = kTrue;
    InitFanDivisors(f);
    int hottest = 0, coolest = 255;
    for (int tick = 1; tick <= 60; ++tick) {
        now += 1000;
        Form1_Timer1_Timer(f);
        if (tick == 6) hottest = f.CPUTemp;
        if (tick > 6) coolest = std::min(coolest, static_cast<int>(f.CPUTemp));
    }
    EXPECT_GT(hottest, 70);
    EXPECT_LE(coolest, 65);
    const std::vector<std::uint8_t> steps = hot.writes_to(0x16);
    EXPECT_EQ(steps.front(), 0x7F);
    EXPECT_NE(std::find(steps.begin(), steps.end(), 0x14), steps.end());
}

TEST(MonitorCycle, EpisodeLabelAppearsOnTheSeventeenthTickWithTheLowercaseFanText) {
    struct Case {
        int system_t, cpu_t, cpu_count;
        const char *message, *label;
    };
    const Case cases[] = {
        {38, 75, 150, "CPU Temperature Over...", "CPU Temperature Over..."},
        {38, 50, 0, "The CPU Fan is out of order.", "The CPU fan is out of order."},
        {75, 42, 150, "SYSTEM Temperature Over...", "SYSTEM Temperature Over..."},
    };
    for (const Case& c : cases) {
        Machine m;
        m.f.settings.g_SoundWarnning = 3;
        m.Tick(7);
        ASSERT_EQ(m.f.window.Label1.caption, "Normal...");
        m.Set(kSystemTemp, c.system_t);
        m.Set(kCpuTemp, c.cpu_t);
        m.Set(kCpuCount, c.cpu_count);
        m.Tick(16);
        EXPECT_EQ(m.f.window.Label1.caption, "Normal...") << c.label;
        EXPECT_EQ(m.f.window.Label1.back_color, 0xFF0000u);
        EXPECT_EQ(m.f.monitor.g_ErrorMsg, c.message);
        m.Tick();
        EXPECT_EQ(m.f.window.Label1.caption, c.label);
        EXPECT_EQ(m.f.window.Label1.back_color, 0x0000FFu);
        // Without the history file nothing critical happens, however long it lasts.
        m.Tick(30);
        EXPECT_EQ(m.ErrorWindows(), 0);
        EXPECT_TRUE(m.rig.host.topmost_calls.empty());
        EXPECT_TRUE(m.rig.files.appended_paths.empty());
        EXPECT_TRUE(m.rig.sound.played.empty());
    }
    Machine fan;
    fan.Set(kSystemTemp, 50);
    fan.Set(kSystemCount, 0);
    fan.Tick(23);
    EXPECT_EQ(fan.f.window.Label1.caption, "The System fan is out of order.");
    EXPECT_EQ(fan.f.monitor.g_ErrorMsg, "The System Fan is out of order.");
}

TEST(MonitorCycle, TemperatureEpisodeForcesFullSpeedAndEndsOnTheFirstNormalTick) {
    Machine m;
    m.Tick(6);
    m.Set(kCpuTemp, 75);
    m.Tick(20);
    m.Set(kSystemTemp, 75);  // the CPU code wins; the system fan block is left alone
    m.Tick(2);
    EXPECT_EQ(m.board.writes_to(0x6D), std::vector<std::uint8_t>(22, 0x7F));
    EXPECT_EQ(m.board.writes_to(0x16), std::vector<std::uint8_t>(22, 0x7F));
    EXPECT_EQ(m.Writes(0x6E) + m.Writes(0x65) + m.Writes(0x15), 22u);
    EXPECT_EQ(m.f.monitor.g_CPUOverCnt, 22);
    EXPECT_EQ(m.f.monitor.g_SYSOverCnt, 0);

    m.Set(kCpuTemp, 42);
    m.Tick();
    EXPECT_EQ(m.f.monitor.g_SYSOverCnt, 1);
    EXPECT_EQ(m.f.monitor.g_CPUOverCnt, 22);  // another code's count waits
    EXPECT_EQ(m.board.writes_to(0x66), std::vector<std::uint8_t>{0x7F});
    EXPECT_EQ(m.board.writes_to(0x15), std::vector<std::uint8_t>{0x7F});

    m.Set(kSystemTemp, 38);
    m.board.clear_accesses();
    m.Tick();
    EXPECT_EQ(m.f.monitor.g_CPUOverCnt + m.f.monitor.g_SYSOverCnt, 0);
    EXPECT_EQ(m.f.window.Label1.caption, "Normal...");
    EXPECT_EQ(m.f.window.Label1.back_color, 0xFF0000u);
    EXPECT_EQ(m.f.window.Label3.caption, "");
    EXPECT_EQ(m.board.writes_to(0x15), std::vector<std::uint8_t>{0x04});  // 30 < 38 < 40
    EXPECT_EQ(m.board.writes_to(0x16), std::vector<std::uint8_t>{0x14});  // 42 >= 40
}

TEST(MonitorCycle, NormalFanStepsAtTheirBounds) {
    struct Case {
        int t;
        std::uint8_t step;
    };
    for (const Case& c : {Case{40, 0x14}, Case{39, 0x04}, Case{31, 0x04}, Case{30, 0x00}}) {
        Machine m;
        m.Set(kSystemTemp, c.t);
        m.Set(kCpuTemp, c.t);
        m.Tick(7);
        EXPECT_EQ(m.board.writes_to(0x15), std::vector<std::uint8_t>{c.step}) << c.t;
        EXPECT_EQ(m.board.writes_to(0x16), std::vector<std::uint8_t>{c.step}) << c.t;
        EXPECT_EQ(m.f.monitor.fan_steps,
                  (std::array<std::int8_t, 2>{static_cast<std::int8_t>(c.step),
                                              static_cast<std::int8_t>(c.step)}));
    }
}

TEST(MonitorCycle, Register14IsSwitchedByEveryChannelInTurn) {
    Machine m;
    m.Set(kPanelTemp, 51);
    m.Tick();
    EXPECT_EQ(m.board.writes_to(0x14), (std::vector<std::uint8_t>{0x00, 0x00, 0x80}));
    m.Set(kPanelTemp, 50);
    m.Set(kSystemTemp, 51);
    m.Tick();
    EXPECT_EQ(m.board.reg(0x14), 0x00);
}

TEST(MonitorCycle, CriticalEpisodeRestoresTheWindowAndOpensTheErrorWindowOnce) {
    Machine m;
    m.CreateHistory();
    m.Tick(7);
    m.f.window.state = WindowState::Minimized;
    m.f.window.visible = false;
    m.Set(kCpuTemp, 81);
    m.Tick(16);
    EXPECT_FALSE(m.f.window.visible);
    m.Tick();
    EXPECT_TRUE(m.f.window.visible);
    EXPECT_EQ(m.f.window.state, WindowState::Normal);
    m.Tick(3);
    EXPECT_EQ(m.ErrorWindows(), 0);
    m.Tick();
    EXPECT_EQ(m.ErrorWindows(), 1);
    m.Tick(30);
    EXPECT_EQ(m.ErrorWindows(), 1);
    EXPECT_EQ(m.rig.host.topmost_calls.size(), 35u);  // the Open action on every late tick

    // Deleting the history file switches the critical behaviour off from the next tick.
    m.rig.files.files.erase(kHistoryLog);
    m.Tick(5);
    EXPECT_EQ(m.rig.host.topmost_calls.size(), 35u);
    EXPECT_EQ(m.f.monitor.g_Critical, 0);

    // Back to normal, the window the alarm made topmost returns to DisplayOnTop, once.
    m.Set(kCpuTemp, 42);
    m.Tick(3);
    EXPECT_EQ(m.rig.host.topmost_calls.size(), 36u);
    EXPECT_FALSE(m.rig.host.topmost_calls.back());
    // The user's own Open during an alarm is left alone at its end; DisplayOnTop=1 is kept.
    // The window in front when the alarm first raised Kelvane gets the front back, unless
    // the user has worked in Kelvane's windows since; the warning window leaves the top band.
    m.CreateHistory();
    m.f.settings.g_DisplayOnTop = -1;
    enum class User { Opens, Clicks, Away };
    for (const User user : {User::Opens, User::Clicks, User::Away}) {
        m.rig.host.foreground = 0x1234;
        m.Set(kCpuTemp, 81);
        m.Tick(17);
        m.rig.host.foreground = 0x5678;  // raised by the alarm: no longer the one to give back
        m.rig.windows.calls.clear();
        m.Tick();
        EXPECT_EQ(m.rig.windows.calls, std::vector<std::string>{"RaiseUsersWindows"});
        if (user == User::Opens) Form1_nmOpen_Click(m.f);
        if (user == User::Clicks) NoteUserAction(m.f);
        m.rig.host.topmost_calls.clear();
        m.rig.host.fronts_given.clear();
        m.rig.windows.calls.clear();
        m.Set(kCpuTemp, 42);
        m.Tick(2);
        EXPECT_EQ(m.rig.host.topmost_calls,
                  user == User::Opens ? std::vector<bool>{} : std::vector<bool>{true});
        EXPECT_EQ(m.rig.host.fronts_given, user == User::Away ? std::vector<std::uintptr_t>{0x1234}
                                                              : std::vector<std::uintptr_t>{});
        EXPECT_EQ(m.rig.windows.calls, user == User::Opens
                                           ? std::vector<std::string>{}
                                           : std::vector<std::string>{"LowerErrorWindow"});
    }
    // A click after the alarm is over does not hold back the next one's hand-back.
    NoteUserAction(m.f);
    m.Set(kCpuTemp, 81);
    m.Tick(17);
    m.rig.host.fronts_given.clear();
    m.Set(kCpuTemp, 42);
    m.Tick();
    EXPECT_EQ(m.rig.host.fronts_given, std::vector<std::uintptr_t>{0x5678});

    // Exactly ten over the limit is not critical; the system channel can be critical too.
    Machine edge;
    edge.CreateHistory();
    edge.Set(kCpuTemp, 80);
    edge.Tick(40);
    EXPECT_EQ(edge.ErrorWindows(), 0);
    edge.Set(kCpuTemp, 42);
    edge.Set(kSystemTemp, 81);
    edge.Tick(21);
    EXPECT_EQ(edge.ErrorWindows(), 1);
}

TEST(MonitorCycle, LogsEveryTwentyTicksAndTheCounterWrapsPastWarmUp) {
    Machine m;
    m.CreateHistory();
    m.Set(kCpuTemp, 85);
    std::vector<int> logged;
    std::size_t full_speed = 0;
    for (int tick = 1; tick <= 10040; ++tick) {
        const std::size_t before = m.rig.files.files[kHistoryLog].size();
        m.Tick();
        if (m.rig.files.files[kHistoryLog].size() != before) logged.push_back(tick);
        full_speed += m.Writes(0x6D);
        m.board.clear_accesses();
        if (tick == 9998) {
            EXPECT_EQ(m.f.g_Delay, 9998);
        }
        if (tick == 9999) {
            EXPECT_EQ(m.f.g_Delay, 6);
        }
    }
    std::vector<int> expected;
    for (int tick = 21; tick <= 9981; tick += 20) expected.push_back(tick);
    expected.push_back(10014);  // 33 ticks after 9981: 9998 wraps to 6
    expected.push_back(10034);
    EXPECT_EQ(logged, expected);
    EXPECT_EQ(full_speed, 10040u - 6u);  // warm-up never comes back
    const std::string& history = m.rig.files.files[kHistoryLog];
    EXPECT_EQ(history, m.rig.files.files[kFaultLog]);
    EXPECT_NE(history.find("ErrorCode         => 1\r\nCPU Temperature Over...\r\n"),
              std::string::npos);
}

TEST(MonitorCycle, FailingLogAppendEndsOnlyTheTicksCriticalState) {
    for (const char* unwritable : {kHistoryLog, kFaultLog}) {
        Machine m;
        m.CreateHistory();
        m.rig.files.unwritable[unwritable] = true;
        m.f.settings.g_SoundWarnning = 3;
        m.f.settings.g_FanCtrl[1].TmpAlarm = 60;  // the display asks for sound from the start
        m.Set(kCpuTemp, 85);
        m.Tick(20);
        const int count = m.f.monitor.g_CPUOverCnt;
        const std::size_t sounds = m.rig.sound.played.size();
        ASSERT_GT(sounds, 0u);
        m.Set(0x60, 33);
        m.Tick();  // g_Delay 20: the log is due
        EXPECT_EQ(m.f.monitor.g_CPUOverCnt, count + 1) << unwritable;
        EXPECT_EQ(m.f.monitor.g_Critical, 0);
        EXPECT_EQ(m.f.window.Text[0].caption, "33");  // the display steps still ran
        EXPECT_EQ(m.rig.sound.played.size(), sounds);
        EXPECT_EQ(m.rig.files.files.count(kFaultLog), 0u);
        m.Tick();
        EXPECT_EQ(m.rig.sound.played.size(), sounds + 1);
    }
}

TEST(MonitorCycle, AlarmSoundCountsDownThenRepeatsInTheChosenStyle) {
    struct Case {
        i16 style;
        i16 display_limit;
        int first_sound;  // tick
    };
    // The display's alert colour asks for sound from the first critical tick (7); without it
    // the episode asks from its 17th tick (23). BeepWaitTimes 3 sounds on the third asking one.
    for (const Case& c : {Case{3, 60, 9}, Case{2, 60, 9}, Case{3, 127, 25}, Case{2, 127, 25}}) {
        Machine m;
        m.CreateHistory();
        m.f.settings.g_SoundWarnning = c.style;
        m.f.settings.g_FanCtrl[1].TmpAlarm = c.display_limit;
        m.Set(kCpuTemp, 85);
        std::vector<int> sounded;
        for (int tick = 1; tick <= 30; ++tick) {
            const std::size_t before = m.rig.sound.played.size() + m.board.tones().size();
            m.Tick();
            if (m.rig.sound.played.size() + m.board.tones().size() != before)
                sounded.push_back(tick);
        }
        std::vector<int> expected;
        for (int tick = c.first_sound; tick <= 30; ++tick) expected.push_back(tick);
        EXPECT_EQ(sounded, expected) << c.style << " " << c.display_limit;
        EXPECT_EQ(m.f.settings.g_SoundWarnning, c.style);
        if (c.style == 3) {
            EXPECT_EQ(m.rig.sound.played.back(), "C:\\Program Files\\Kelvane\\alarm.wav");
            EXPECT_TRUE(m.board.tones().empty());
        } else {
            ASSERT_EQ(m.board.tones().size(), 5 * expected.size());
            const int divisors[5] = {1329, 1184, 1491, 2983, 1992};
            for (int i = 0; i < 5; ++i) EXPECT_EQ(m.board.tones()[i].divisor, divisors[i]);
            EXPECT_EQ(m.rig.clock.sleeps.back(), 300);
        }
        // A normal tick leaves the user's choice alone: the next alarm sounds again.
        m.Set(kCpuTemp, 42);
        m.Tick();
        EXPECT_EQ(m.f.settings.g_SoundWarnning, c.style);
        m.Set(kCpuTemp, 85);
        const std::size_t before = m.rig.sound.played.size() + m.board.tones().size();
        m.Tick(c.first_sound + 2);
        EXPECT_GT(m.rig.sound.played.size() + m.board.tones().size(), before);
    }
}

TEST(MonitorCycle, SilentAlarmsKeepOrReloadTheCountDown) {
    Machine off;  // sound disabled, wave style kept
    off.CreateHistory();
    off.f.settings.g_SoundWarnning = 1;
    off.f.settings.g_FanCtrl[1].TmpAlarm = 60;
    off.Set(kCpuTemp, 85);
    off.f.BeepCountDown = 1;
    off.Tick(40);
    EXPECT_TRUE(off.rig.sound.played.empty());
    EXPECT_EQ(off.f.BeepCountDown, 3);  // critical ticks without a request reload it

    Machine nohistory;
    nohistory.f.settings.g_SoundWarnning = 3;
    nohistory.Set(kCpuTemp, 85);
    nohistory.f.BeepCountDown = 2;
    nohistory.Tick(40);
    EXPECT_TRUE(nohistory.rig.sound.played.empty());
    EXPECT_EQ(nohistory.f.BeepCountDown, 2);

    Machine at_once;  // a wait of 0 sounds on the first asking tick rather than never
    at_once.CreateHistory();
    at_once.f.settings.g_SoundWarnning = 3;
    at_once.f.settings.g_FanCtrl[1].TmpAlarm = 60;
    at_once.f.settings.g_BeepWaitTimes = at_once.f.BeepCountDown = 0;
    at_once.Set(kCpuTemp, 85);
    at_once.Tick(6);
    EXPECT_TRUE(at_once.rig.sound.played.empty());
    at_once.Tick(2);
    EXPECT_EQ(at_once.rig.sound.played.size(), 2u);
}

TEST(MonitorCycle, AlertColourFollowsTheRecordModeAndLayout) {
    Machine m;
    FanCtrlRecord& r = m.f.settings.g_FanCtrl[2];  // channel 1 shows record 2
    m.f.window.LedPic[1].tag = "2";
    m.Set(kCpuTemp, 55);
    r.Mode = 0;
    r.S[4] = 55;
    r.S[2] = 56;
    m.Tick();
    EXPECT_EQ(m.Strip(1), 2);
    m.f.KelvaneFanFlag = kTrue;
    m.Tick();
    EXPECT_EQ(m.Strip(1), 0);
    r.Mode = 1;
    r.TmpAlarm = 55;
    m.Tick();
    EXPECT_EQ(m.Strip(1), 2);

    // A hidden display is not drawn, but its alert still asks for sound.
    Machine hidden;
    hidden.CreateHistory();
    hidden.f.settings.g_SoundWarnning = 3;
    hidden.f.settings.g_FanCtrl[1].TmpAlarm = 60;
    hidden.f.window.LedPic[1].visible = false;
    hidden.Set(kCpuTemp, 85);
    hidden.Tick(9);
    EXPECT_EQ(hidden.rig.sound.played.size(), 1u);
    EXPECT_EQ(hidden.rig.surfaces.LedPic(1).GetPixel(2, 10), 0u);

    // A fan kelvane.ini does not set keeps the chip's limit (R64 = 70 here) until an apply
    // covers it: its record's built-in zeros do not turn the digits red. Fan 2's limit is not
    // read, so its display stays normal.
    Machine own;
    own.f.findings.fans_left_to_chip = {true, false, true};
    own.f.settings.g_FanCtrl[0] = own.f.settings.g_FanCtrl[2] = FanCtrlRecord{};
    own.Tick();  // the limits read, as start-up's snapshot has them
    own.Set(kSystemTemp, 65);
    own.Tick();
    EXPECT_EQ(own.Strip(0), 0);
    EXPECT_EQ(own.Strip(2), 0);
    own.Set(kSystemTemp, 70);
    own.Tick();
    EXPECT_EQ(own.Strip(0), 2);
    own.Set(kSystemTemp, 65);
    own.f.last_apply.fans[0].covered = true;
    own.Tick();
    EXPECT_EQ(own.Strip(0), 2);

    // A tag naming no record draws the normal colour and keeps the alarms working.
    m.f.window.LedPic[1].tag = "7";
    m.Set(kCpuTemp, 75);
    m.Tick(7);
    EXPECT_EQ(m.Strip(1), 0);
    EXPECT_EQ(m.f.window.Label3.caption, "1");
}

TEST(MonitorCycle, FahrenheitChangesOnlyTheDrawnDigits) {
    Machine c, f;
    f.f.settings.g_DisplayScale = 1;
    for (Machine* m : {&c, &f}) {
        m->CreateHistory();
        m->Set(kCpuTemp, 85);
        m->Tick(41);
    }
    EXPECT_EQ(c.Shown(1), "085C");
    EXPECT_EQ(f.Shown(1), "185F");
    EXPECT_EQ(f.Shown(0), "101F");
    EXPECT_EQ(c.rig.files.files, f.rig.files.files);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(c.f.window.Text[i].caption, f.f.window.Text[i].caption);
    for (int reg : {0x14, 0x15, 0x16, 0x6D})
        EXPECT_EQ(c.board.writes_to(static_cast<std::uint8_t>(reg)),
                  f.board.writes_to(static_cast<std::uint8_t>(reg)));
    EXPECT_EQ(f.f.monitor.g_ErrorCode, 1);
}

TEST(MonitorCycle, UnreachableDriverIsShownUntilATickSucceeds) {
    Machine m;
    m.Tick(7);
    m.Set(kCpuTemp, 75);
    m.Tick(2);
    m.board.set_failing(true);
    EXPECT_NO_THROW(m.Tick(3));
    EXPECT_TRUE(m.f.monitor.hardware_unreachable);
    EXPECT_EQ(m.f.window.Label1.caption, kUnreachableText);
    EXPECT_EQ(m.f.window.Label1.back_color, 0x0000FFu);
    EXPECT_EQ(m.f.monitor.g_CPUOverCnt, 2);
    EXPECT_EQ(m.f.g_Delay, 12);
    EXPECT_EQ(m.rig.surfaces.invalidations, 12);
    m.board.set_failing(false);
    m.Tick();
    EXPECT_FALSE(m.f.monitor.hardware_unreachable);
    EXPECT_EQ(m.f.monitor.g_CPUOverCnt, 3);
    EXPECT_EQ(m.f.window.Label1.caption, "Normal...");  // too young an episode to show

    Machine early;  // recovering in warm-up says again that Kelvane is starting
    early.board.set_failing(true);
    early.Tick(2);
    early.board.set_failing(false);
    early.Tick();
    EXPECT_EQ(early.f.window.Label1.caption, kStartingText);
    EXPECT_EQ(early.f.window.Label1.back_color, 0xFF0000u);
}

TEST(MonitorCycle, OtherRunTimeErrorsEndOnlyTheirTick) {
    Machine m;
    m.f.settings.g_DefaultFanCtrl[0].Modulate = "t*1000";
    m.f.ReadingTable[38 * 3 + 0] = 30000;
    m.f.settings.g_DisplayScale = 1;  // 30000 * 9 overflows in the drawing
    EXPECT_NO_THROW(m.Tick(7));
    EXPECT_EQ(m.f.g_Delay, 7);
    EXPECT_EQ(m.Writes(0x14), 0u);
    EXPECT_FALSE(m.f.monitor.hardware_unreachable);
    m.f.settings.g_DisplayScale = 0;
    m.Tick();
    EXPECT_EQ(m.f.SystemTemp, 30000);
    EXPECT_EQ(m.board.writes_to(0x65), std::vector<std::uint8_t>{0x7F});
}

TEST(MonitorCycle, TextFieldsAndVoltageLabels) {
    Machine m;
    for (int k = 0; k < 5; ++k) {
        m.Set(0x60 + k, 11 + k);
        m.Set(0x68 + k, 21 + k);
    }
    Settings& s = m.f.settings;
    s.factors = {68, 100, 300, 100, 4.096, 120, 56, 4.096, 232, 56};
    s.g_Vin[0] = {500, 1, 10};
    s.g_Vin[4] = {-1200, 1, 10};
    s.g_Vin[5] = {-500, 0, 10};  // alarm switched off
    s.g_Vin[1] = {330, 1, 10};
    m.Set(0x20, 200);
    m.Set(0x24, 100);
    m.Set(0x25, 100);
    m.f.window.TempLabel[1].visible = false;
    m.Tick();
    const char* shown[12] = {"11", "12", "14", "15", "21", "22",
                             "24", "25", "13", "23", "42", "38"};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(m.f.window.Text[i].caption, shown[i]) << "Text" << i + 1;
    EXPECT_EQ(m.f.window.TempLabel[0].caption, "5.38 V");
    EXPECT_EQ(m.f.window.TempLabel[4].caption, "-8.74 V");
    EXPECT_EQ(m.f.window.TempLabel[1].caption, "21h");

    // Voltage alarms colour the value, nothing else: 5.38 is within 10 % of 5, -8.74 is not.
    const auto& mon = m.f.monitor;
    EXPECT_EQ(m.f.window.TempLabel[0].fore_color, kTextColor);
    EXPECT_EQ(m.f.window.TempLabel[4].fore_color, 0x0000FFu);
    EXPECT_EQ(m.f.window.TempLabel[5].fore_color, kTextColor);
    EXPECT_TRUE(mon.volt_checked[0] && mon.volt_in_tolerance[0]);
    EXPECT_TRUE(mon.volt_checked[4] && !mon.volt_in_tolerance[4]);
    EXPECT_FALSE(mon.volt_checked[5] || mon.volt_checked[1] || mon.volt_checked[2]);
    s.g_Vin[0].Percent = 7;  // 5.376 is 7.5 % over
    m.Set(0x24, 0x3C);       // -12.03 V
    m.Tick();
    EXPECT_EQ(m.f.window.TempLabel[0].fore_color, 0x0000FFu);
    EXPECT_EQ(m.f.window.TempLabel[4].fore_color, kTextColor);
    EXPECT_TRUE(mon.volt_in_tolerance[4]);
    for (const auto& a : m.board.accesses())
        EXPECT_FALSE(a.kind == board::Board::Access::Kind::ReadReg && a.reg == 0x21);
}

}  // namespace
}  // namespace kelvane
