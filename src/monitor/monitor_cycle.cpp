#include "monitor/monitor_cycle.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "base/failure_policy.h"
#include "chip/led_display.h"
#include "chip/speaker.h"
#include "monitor/alarm_log.h"
#include "monitor/readout.h"
#include "state/channels.h"
#include "state/chip_views.h"
#include "state/open_window.h"
#include "state/status_line.h"

namespace kelvane {
namespace {

constexpr const char* kNormal = kNormalText;
constexpr std::uint32_t kRed = 0x0000FF;  // a voltage out of tolerance

// Positions of the limit registers in g_RegSnapshot.
enum Limit { R60, R61, R62, R63, R64, R68, R69, R6A, R6B, R6C };

long long R(const Form1& f, Limit l) { return f.g_RegSnapshot[l]; }

long long CpuLimit(const Form1& f) { return TemperatureLimit(f, 1); }
long long SystemLimit(const Form1& f) { return TemperatureLimit(f, 0); }

// A display whose Tag names no record has no alert colour of its own; like the readout,
// it must not stop the alarm logic of the other channels. Channel n's display compares with
// the record it is paired with, whether the file or the chip holds that record's limit.
bool AlertFlag(const Form1& f, int n, i16 t) {
    const std::optional<int> record = ChannelRecord(f, n);
    if (!record) return false;
    if (FanKeepsChipSettings(f, static_cast<std::size_t>(*record))) {
        // Fan 2's limit is not read, so its display stays normal.
        const std::int32_t chip_limit = TemperatureLimit(f, *record);
        return chip_limit >= 0 && t >= chip_limit;
    }
    const FanCtrlRecord& r = f.settings.g_FanCtrl[static_cast<std::size_t>(*record)];
    const i16 limit = r.Mode == 0 ? (IsTrue(f.KelvaneFanFlag) ? r.S[2] : r.S[4]) : r.TmpAlarm;
    return t >= limit;
}

void ClassifyCpu(Form1& f, std::int32_t t) {
    f.CPUTemp = t;
    f.window.Text[10].caption = std::to_string(t);
    if (t > CpuLimit(f)) {
        f.g_Error = 0;
        f.monitor.g_ErrorCode = 1;
    } else {
        f.g_Error = -1;
    }
    if (R(f, R69) + 1 < t && t <= CpuLimit(f)) {
        if (f.CPUTempFan == 0) {
            f.g_Error = 0;
            f.monitor.g_ErrorCode = 2;
        } else {
            f.g_Error = -1;
        }
    }
}

void ClassifySystem(Form1& f, std::int32_t t) {
    f.SystemTemp = t;
    f.window.Text[11].caption = std::to_string(t);
    if (t > SystemLimit(f)) {
        f.g_Error1 = 0;
        f.monitor.g_ErrorCode = 3;
    } else {
        f.g_Error1 = -1;
    }
    if (R(f, R61) + 1 < t && t <= SystemLimit(f)) {
        if (f.SystemTempFan == 0) {
            f.g_Error1 = 0;
            f.monitor.g_ErrorCode = 4;
        } else {
            f.g_Error1 = -1;
        }
    }
}

void ReadChannel(Form1& f, int n, bool& sound) {
    const i16 t = ReadTemperature(f, n);
    f.monitor.temps[static_cast<std::size_t>(n)] = t;
    const bool alert = AlertFlag(f, n, t);
    f.monitor.alerts[static_cast<std::size_t>(n)] = alert;
    if (f.window.LedPic[n].visible)
        DrawTemperature(LedStyleOf(f), f.sys.surfaces.LedPic(n), t, Flag(alert));
    sound = sound || alert;

    const std::int32_t count = ReadFanCount(f, n);
    f.g_Cur_i = n;
    ShowFanSpeed(f, f.sys.surfaces.FanLed(n), FanSpeed(f, n, count));

    ReadLimitRegisters(f);
    f.chip.WriteReg(0x14, t > R(f, R62) ? 0x80 : 0x00);
    if (n == 1) ClassifyCpu(f, t);
    if (n == 0) ClassifySystem(f, t);
    if (f.g_Error == -1 && f.g_Error1 == -1) f.monitor.g_ErrorCode = 0;
}

// The normal steps left the fan in software mode, where only its control register counts.
// The older layout's automatic speeds are raised too; the newer layout keeps its delta
// temperature and unused bytes there, which 0x7F would only corrupt.
void ForceFullSpeed(Form1& f, int control_register, int first_speed_register) {
    f.chip.WriteReg(control_register, 0x7F);
    if (IsTrue(f.KelvaneFanFlag)) return;
    for (int r = first_speed_register; r < first_speed_register + 3; ++r) f.chip.WriteReg(r, 0x7F);
}

void EpisodeSteps(Form1& f, int code, std::int32_t& count, bool& sound) {
    MonitorState& m = f.monitor;
    m.g_ErrorMsg = kStatusTexts[code].message;
    const long long base = f.ConstTime;
    if (count > base + 5) {
        SetStatusLine(f, StatusLine::Fault, kStatusRed, kStatusTexts[code].label);
        m.alarm_lasting = true;
        // The user's sound setting is only read here: the alarm plays the chosen style.
        if (f.settings.g_SoundWarnning != 0) sound = true;
        if (m.g_Critical == 1) OpenForAlarm(f);  // normal state, shown, topmost
        if (count == base + 10 && m.g_Critical == 1) f.sys.windows.ShowErrorWindow();
    }
    count = ToInt32(count + 1LL);
}

int FanStep(long long temp, long long upper, long long lower) {
    if (temp >= upper) return 0x14;
    if (temp > lower) return 0x04;
    return 0x00;
}

void NormalSteps(Form1& f, bool& sound) {
    MonitorState& m = f.monitor;
    const int system = FanStep(f.SystemTemp, R(f, R61), R(f, R60));
    const int cpu = FanStep(f.CPUTemp, R(f, R69), R(f, R68));
    f.chip.WriteReg(0x15, system);
    f.chip.WriteReg(0x16, cpu);
    m.fan_steps = {static_cast<std::int8_t>(system), static_cast<std::int8_t>(cpu)};
    m.g_ErrorMsg = kNormal;
    SetStatusLine(f, StatusLine::Normal, kStatusBlue, kNormal);
    m.alarm_lasting = false;
    EndAlarmOpen(f);
    sound = false;
    m.g_ErrorCode = 0;
    f.g_Error = f.g_Error1 = -1;
    m.g_CPUOverCnt = m.g_SYSOverCnt = 0;
    f.g_CPUOrderCnt = f.g_SYSOrderCnt = 0;
}

// Only opened, never read: the history grows without bound.
bool HistoryFileExists(Form1& f) { return f.sys.files.CanOpen(kHistoryLog); }

void StatusAction(Form1& f, bool& sound) {
    MonitorState& m = f.monitor;
    m.g_Critical =
        HistoryFileExists(f) && (f.CPUTemp > CpuLimit(f) + 10 || f.SystemTemp > SystemLimit(f) + 10)
            ? 1
            : 0;
    switch (m.g_ErrorCode) {
        case 1:
            ForceFullSpeed(f, 0x16, 0x6D);
            EpisodeSteps(f, 1, m.g_CPUOverCnt, sound);
            break;
        case 2:
            EpisodeSteps(f, 2, f.g_CPUOrderCnt, sound);
            break;
        case 3:
            ForceFullSpeed(f, 0x15, 0x65);
            EpisodeSteps(f, 3, m.g_SYSOverCnt, sound);
            break;
        case 4:
            EpisodeSteps(f, 4, f.g_SYSOrderCnt, sound);
            break;
        default:
            NormalSteps(f, sound);
            break;
    }
    f.window.Label3.caption = m.g_ErrorCode != 0 ? std::to_string(m.g_ErrorCode) : "";

    // A log that cannot be written costs this tick its critical state, nothing more.
    if (f.g_Delay % 20 == 0 && m.g_Critical == 1 && !SkipOnError([&] { WriteAlarmLog(f); }))
        m.g_Critical = 0;
}

void AlarmSound(Form1& f, bool sound) {
    const Settings& s = f.settings;
    if (s.g_SoundWarnning <= 1 || !sound) {
        f.BeepCountDown = s.g_BeepWaitTimes;
        return;
    }
    // A wait of 0 or less sounds at once instead of counting down for ever.
    const long long left = f.BeepCountDown - 1LL;
    if (left > 0) {
        f.BeepCountDown = static_cast<i16>(left);
        return;
    }
    if (s.g_SoundWarnning % 2 != 0) {
        f.sys.sound.PlayWave(f.ProgramFile("alarm.wav"));
    } else {
        // The notes play on a thread of their own; the rest of the tick goes on meanwhile.
        f.tune_player.Play(f.AlarmTune);
    }
    f.BeepCountDown = 1;
}

void ShowLimits(Form1& f) {
    for (std::size_t i = 0; i < f.g_RegSnapshot.size(); ++i)
        f.window.Text[kSnapshotTextBox[i]].caption = std::to_string(f.g_RegSnapshot[i]);
}

// Two decimals and " V". Built by hand: the C library's float formatting would cost more
// than the rest of the tick.
std::string VoltageText(double volts) {
    char text[48];
    if (!(std::fabs(volts) < 1e12)) {
        std::snprintf(text, sizeof text, "%.2f V", volts);
        return text;
    }
    const long long hundredths = std::llround(std::fabs(volts) * 100.0);
    std::string s = volts < 0 && hundredths != 0 ? "-" : "";
    s += std::to_string(hundredths / 100);
    s += '.';
    s += static_cast<char>('0' + hundredths / 10 % 10);
    s += static_cast<char>('0' + hundredths % 10);
    return s + " V";
}

// Within the nominal plus or minus Percent % of its magnitude.
bool WithinTolerance(const VinRecord& r, double volts) {
    const double nominal = r.DefaultTemp / 100.0;
    return std::fabs(volts - nominal) <= std::fabs(nominal) * r.Percent / 100.0;
}

void ShowVoltages(Form1& f) {
    MonitorState& m = f.monitor;
    for (int v = 0; v < 9; ++v) {
        const auto i = static_cast<std::size_t>(v);
        Control& label = f.window.TempLabel[v];
        m.volt_checked[i] = m.volt_in_tolerance[i] = false;
        if (!label.visible) continue;
        const int raw = ReadVoltageRegister(f, v);
        m.volt_raw[i] = static_cast<std::uint8_t>(raw);
        const double volts = VoltsFromRaw(f.settings, v, raw);
        m.volts[i] = volts;
        label.caption = VoltageText(volts);
        const VinRecord& r = f.settings.g_Vin[i];
        m.volt_checked[i] = r.Enable != 0 && r.DefaultTemp != 0;
        m.volt_in_tolerance[i] = m.volt_checked[i] && WithinTolerance(r, volts);
        label.fore_color = m.volt_checked[i] && !m.volt_in_tolerance[i] ? kRed : kTextColor;
    }
}

void Tick(Form1& f) {
    f.monitor.g_Critical = 0;
    f.monitor.fan_steps = {-1, -1};
    bool sound = false;
    for (int n = 0; n < 3; ++n) ReadChannel(f, n, sound);
    f.monitor.temp_limits = {TemperatureLimit(f, 0), TemperatureLimit(f, 1)};
    if (f.g_Delay > 5) {
        // A fault too young to show leaves the label as it was before warm-up.
        if (f.monitor.status_line == StatusLine::Starting)
            SetStatusLine(f, StatusLine::Blank, kStatusBlue, "");
        StatusAction(f, sound);
    } else {
        SetStatusLine(f, StatusLine::Starting, kStatusBlue, kStartingText);
    }
    if (f.monitor.g_Critical == 1) AlarmSound(f, sound);
    ShowLimits(f);
    ShowVoltages(f);
}

void AdvanceDelay(Form1& f) { f.g_Delay = f.g_Delay >= 9998 ? 6 : f.g_Delay + 1; }

void ShowUnreachable(Form1& f) {
    f.monitor.hardware_unreachable = true;
    SetStatusLine(f, StatusLine::Unreachable, kStatusRed, kUnreachableText);
}

// After an outage the label may still name it when this tick did not write the label
// (warm-up, or a fault too young to show).
void ShowReachable(Form1& f, bool acted) {
    f.monitor.hardware_unreachable = false;
    if (f.monitor.status_line != StatusLine::Unreachable) return;
    if (acted)
        SetStatusLine(f, StatusLine::Normal, kStatusBlue, kNormal);
    else
        SetStatusLine(f, StatusLine::Blank, kStatusBlue, "");
}

void TellListeners(Form1& f) {
    for (TickListener* listener : f.tick_listeners) {
        try {
            listener->BeforeTell(f);
        } catch (...) {
            // As below: the monitor keeps its next tick.
        }
    }
    for (TickListener* listener : f.tick_listeners) {
        try {
            listener->AfterTick(f);
        } catch (...) {
            // A view or export that fails must not cost the monitor its next tick.
        }
    }
}

}  // namespace

std::int32_t TemperatureLimit(const Form1& f, int fan) {
    // The newer layout keeps the slope in B+4; its full-speed temperature B+2 is the limit,
    // the point at which the display already turns red.
    const bool newer = IsTrue(f.KelvaneFanFlag);
    if (fan == 0) return f.g_RegSnapshot[newer ? R62 : R64];
    if (fan == 1) return f.g_RegSnapshot[newer ? R6A : R6C];
    return -1;
}

void Form1_Timer1_Timer(Form1& f) {
    for (TickListener* listener : f.tick_listeners) {
        try {
            listener->BeforeTick(f);
        } catch (...) {
            // The tick runs all the same.
        }
    }
    // Containment: a failing tick ends here, never the process, and shows no message.
    try {
        const bool acted = f.g_Delay > 5;
        // An outage in the middle of the tune left the speaker sounding, and no later note
        // would switch it off. A tune still playing switches it off itself.
        if (f.monitor.hardware_unreachable && !f.tune_player.Busy()) SpeakerOff(f.chip);
        Tick(f);
        ShowReachable(f, acted);
    } catch (const RuntimeError& e) {
        f.monitor.g_Critical = 0;
        if (e.kind() == ErrorKind::LibraryCall) ShowUnreachable(f);
    } catch (...) {
        f.monitor.g_Critical = 0;
    }
    // A failing tick still counts, so warm-up and the log period keep to the clock.
    AdvanceDelay(f);
    TellListeners(f);
    try {
        f.sys.surfaces.Invalidate();
    } catch (...) {
        // The view repaints on the next tick.
    }
}

}  // namespace kelvane
