#include "app/load_settings.h"

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "app/about_text.h"
#include "base/failure_policy.h"
#include "base/int16.h"
#include "base/rounding.h"
#include "chip/port_program.h"
#include "chip/speaker.h"

namespace kelvane {
namespace {

constexpr const char* kOption = "Option";

// Reads keys of one section with the field checks of the settings image.
class Section {
  public:
    // `noted`: the loader's own reads note where they are; start-up's later reads must not
    // move the point where the loader stopped.
    Section(Form1& f, std::string name, bool noted = true)
        : p_(f.profile), findings_(f.findings), name_(std::move(name)), noted_(noted) {}

    long long Int(const char* key, long long def) {
        Reached(key);
        return p_.GetInt(name_, key, def);
    }
    i16 Int16(const char* key, long long def) { return ToInt16(Int(key, def)); }
    bool Flag(const char* key, bool def) { return IsTrue(Int(key, def ? 1 : 0)); }
    std::string Text(const char* key, const std::string& def) {
        Reached(key);
        return p_.GetString(name_, key, def);
    }
    std::string MarkedText(const char* key, const std::string& def) {
        Reached(key);
        return p_.GetMarkedText(name_, key, def);
    }

  private:
    // Each key is noted before it is read, so a failure names the key it stopped at.
    void Reached(const char* key) {
        if (!noted_) return;
        findings_.stopped_section = name_;
        findings_.stopped_key = key;
    }

    Profile& p_;
    StartupFindings& findings_;
    std::string name_;
    bool noted_;
};

Section Numbered(Form1& f, const char* prefix, int i) {
    return Section(f, prefix + std::to_string(i));
}

void ReadLeft(Section& s, Control& c) { SetLeft(c, s.Int("Left", c.left)); }
void ReadTop(Section& s, Control& c) { SetTop(c, s.Int("Top", c.top)); }
void ReadVisible(Section& s, Control& c) { c.visible = s.Flag("Visible", true); }

void ReadLabel(Section& s, Control& c) {
    ReadTop(s, c);
    ReadLeft(s, c);
    SetForeColor(c, ColorFromProfile(s.Int("Color", c.fore_color)));
    c.caption = s.Text("Caption", c.caption);
    SetFontSize(c, s.Int("FontSize", static_cast<long long>(RoundHalfEven(c.font.size))));
    c.font.bold = s.Flag("Bold", c.font.bold);
    c.font.italic = s.Flag("Italic", c.font.italic);
    ReadVisible(s, c);
    c.font.underline = s.Flag("Underline", c.font.underline);
    c.font.strikethrough = s.Flag("Strikethrough", c.font.strikethrough);
}

// The heading nearest to the display by left edge; on a tie the lower index.
void PairWithNearestHeading(MainWindowModel& w, int i) {
    long long best_distance = 9999;
    int best = i;
    for (int j = 0; j < 3; ++j) {
        const long long d =
            std::llabs(static_cast<long long>(w.LedPic[i].left) - w.KelvaneLabel[j].left);
        if (d < best_distance) {
            best_distance = d;
            best = j;
        }
    }
    w.KelvaneLabel[best].tag = std::to_string(i);
    w.LedPic[i].tag = std::to_string(best);
}

// Mode, SwFan, TmpAlarm and the set points the chip's layout has; `def` gives each default.
void ReadFanKeys(Form1& f, Section& s, FanCtrlRecord& r, const FanCtrlRecord& def) {
    r.Mode = s.Int16("Mode", def.Mode);
    r.SwFan = s.Int16("SwFan", def.SwFan);
    r.TmpAlarm = s.Int16("TmpAlarm", def.TmpAlarm);
    FanCtrlRecord defaults = def;
    for (const FanSetPointKey& k :
         FanSetPointKeys(IsTrue(f.KelvaneFanFlag), IsTrue(f.KelvaneFanSpecialFlag)))
        FanSetPointField(r, k) = s.Int16(k.key, FanSetPointField(defaults, k));
}

void ReadWindowKeys(Form1& f) {
    auto& w = f.window;
    for (int i = 0; i < 3; ++i) {
        Section s = Numbered(f, "Image Option ", i);
        ReadLeft(s, w.Image1[i]);
        ReadTop(s, w.Image1[i]);
        ReadVisible(s, w.Image1[i]);
    }
    for (int i = 0; i < 9; ++i) {
        Section s = Numbered(f, "VIN", i);
        ReadTop(s, w.TempLabel[i]);
        ReadLeft(s, w.TempLabel[i]);
        ReadVisible(s, w.TempLabel[i]);
        VinRecord& v = f.settings.g_Vin[i];
        v.DefaultTemp = s.Int16("DefaultTemp", 0);
        v.Enable = s.Int16("Enable", 1);
        v.Percent = s.Int16("Percent", 10);
    }
}

void ReadOptionKeys(Form1& f) {
    Settings& g = f.settings;
    Section s(f, kOption);
    g.g_AboutText = AboutLineBreaks(s.MarkedText("strAbout", DefaultAboutText()));
    g.g_BeepWaitTimes = s.Int16("BeepWaitTimes", 3);
    f.BeepCountDown = g.g_BeepWaitTimes;
    g.g_UserScroll = s.Int16("UserScroll", 1);
    g.g_SoundWarnning = s.Int16("SoundWarnning", 0);
    g.g_ExecuteAtStartup = s.Int16("ExecuteAtStartup", 0);
    f.findings.execute_at_startup_read = true;
    if (StartsMinimized(g)) f.window.state = WindowState::Minimized;
    g.g_DisplayOnTop = s.Int16("DisplayOnTop", 0);
    f.findings.display_on_top_read = true;
    g.g_DisplayScale = s.Int16("DisplayScale", 0);

    auto& w = f.window;
    SetFormWidth(w, s.Int("Form_Width", w.width));
    SetFormHeight(w, s.Int("Form_Height", w.height));
    SetTop(w.Logo, s.Int("Logo_Top", w.Logo.top));
    SetLeft(w.Logo, s.Int("Logo_Left", w.Logo.left));
}

void ReadDisplayKeys(Form1& f) {
    auto& w = f.window;
    for (int i = 0; i < 20; ++i) {
        Section s = Numbered(f, "Label Option ", i);
        ReadLabel(s, w.KelvaneLabel[i]);
    }
    for (int i = 0; i < 3; ++i) {
        Section s = Numbered(f, "Temperature Led Option ", i);
        ReadLeft(s, w.LedPic[i]);
        ReadTop(s, w.LedPic[i]);
        ReadVisible(s, w.LedPic[i]);
        PairWithNearestHeading(w, i);
    }
    for (int i = 0; i < 3; ++i) {
        Section s = Numbered(f, "Fan Speed Led Option ", i);
        w.FanLed[i].tag = std::to_string(s.Int("Tag", i));
        ReadLeft(s, w.FanLed[i]);
        ReadTop(s, w.FanLed[i]);
        ReadVisible(s, w.FanLed[i]);
    }
}

// The values of fan n that "Fan Ctrl Option n" and "Default Fan Ctrl n" leave out, of those
// its start-up programming writes: the layout's set points and speeds, and SwFan for a fan in
// software mode; `any_given` when they give any of these or Mode. A fan the file does not describe
// in full keeps the chip's own registers; one it describes only in part is also a set-up problem.
std::vector<std::string> FanKeysMissing(Form1& f, int n, const FanCtrlRecord& r, bool& any_given) {
    // A policy's value describes the fan as the file's would, but a record the file does not
    // give at all is not given in part because a policy sets some of its keys.
    Profile& p = f.profile;
    Profile& file = f.sys.profile;
    const std::string own = "Fan Ctrl Option " + std::to_string(n);
    const std::string defaults = "Default Fan Ctrl " + std::to_string(n);
    std::vector<std::string> missing;
    auto count = [&](const char* key) {
        if (file.HasKey(own, key) || file.HasKey(defaults, key)) any_given = true;
        if (!p.HasKey(own, key) && !p.HasKey(defaults, key)) missing.emplace_back(key);
    };
    // Mode is given or automatic: it makes a record given, and never missing.
    any_given = file.HasKey(own, "Mode") || file.HasKey(defaults, "Mode");
    if (r.Mode != 0) count("SwFan");
    for (const FanSetPointKey& k :
         FanSetPointKeys(IsTrue(f.KelvaneFanFlag), IsTrue(f.KelvaneFanSpecialFlag)))
        count(k.key);
    return missing;
}

void ReadFanRecords(Form1& f) {
    auto& g = f.settings;
    FanCtrlRecord shipped;
    shipped.TmpAlarm = 100;
    for (int i = 0; i < 3; ++i) {
        Section s = Numbered(f, "Default Fan Ctrl ", i);
        FanCtrlRecord& r = g.g_DefaultFanCtrl[i];
        r.Caption = f.window.KelvaneLabel[i].caption + " Fan";
        ReadFanKeys(f, s, r, shipped);
        r.Modulate = s.Text("Modulate", "");
        r.UserCtl = s.Int16("UserCtl", 1);
    }
    for (int i = 0; i < 3; ++i) {
        Section s = Numbered(f, "Fan Ctrl Option ", i);
        FanCtrlRecord& r = g.g_FanCtrl[i];
        r.Caption = g.g_DefaultFanCtrl[i].Caption;
        ReadFanKeys(f, s, r, g.g_DefaultFanCtrl[i]);
        const auto n = static_cast<size_t>(i);
        f.findings.fan_ctrl_read[n] = true;
        bool any_given = false;
        std::vector<std::string> missing = FanKeysMissing(f, i, r, any_given);
        f.findings.fan_described[n] = missing.empty();
        // Before identification the layout, and so what is missing, is not known yet.
        if (!any_given || !f.findings.chip_identified) missing.clear();
        f.findings.fan_keys_missing[n] = std::move(missing);
    }
}

// Not part of the old loader: read last, and again after a stop, so that the fleet still
// hears from a terminal whose settings broke.
void ReadExportKeys(Form1& f, bool noted) {
    Section s(f, "Export", noted);
    f.settings.g_ExportTextFile = s.Text("TextFile", "");
    f.settings.g_ExportEventLog = s.Int16("EventLog", 1);
}

void ReadHistoryKeys(Form1& f, bool noted = true) {
    Section s(f, "History", noted);
    f.settings.g_HistoryFolder = s.Text("Folder", "");
    f.settings.g_HistoryDays = s.Int16("Days", 31);
}

// A value outside its range stops the loader there, told as a set-up problem.
std::int32_t InRange(Section& s, const char* key, long long def, long long low, long long high) {
    const long long v = s.Int(key, def);
    if (v < low || v > high) Raise(ErrorKind::Overflow, key);
    return static_cast<std::int32_t>(v);
}

void ReadMaintenanceKeys(Form1& f, bool noted = true) {
    Section s(f, "Maintenance", noted);
    Settings& g = f.settings;
    g.g_MaintenanceEnabled = s.Int16("Enabled", 1);
    g.g_BaselineMinutes = InRange(s, "BaselineMinutes", 10080, 2, 43200);
    g.g_WindowMinutes = InRange(s, "WindowMinutes", 1440, 2, 10080);
    g.g_FanDropPercent = InRange(s, "FanDropPercent", 25, 5, 90);
    g.g_RiseDegrees = InRange(s, "RiseDegrees", 8, 2, 40);
}

void ReadAddressKey(Form1& f, bool noted) {
    f.settings.g_Address = Section(f, kOption, noted).Int16("Address", kDefaultAddress);
}

// A file that is there but cannot be read (a folder of that name, locked, no right to read)
// stops the loader before its first key, as an unreadable port program does; the profile
// functions would read it as empty and hand out defaults as if it were.
void CheckReadable(Form1& f) {
    StartupFindings& found = f.findings;
    found.stopped_section = "kelvane.ini";
    try {
        f.sys.files.ReadIfPresent(f.settings.g_IniPath);
    } catch (const RuntimeError&) {
        found.settings_unreadable = true;
        throw;
    }
}

void ReadKeys(Form1& f) {
    ReadAddressKey(f, true);
    ReadWindowKeys(f);
    ReadOptionKeys(f);
    ReadDisplayKeys(f);
    ReadFanRecords(f);
    ReadExportKeys(f, true);
    ReadHistoryKeys(f);
    ReadMaintenanceKeys(f);
}

}  // namespace

void ReadAddress(Form1& f) { ReadAddressKey(f, false); }

void ReloadFanRecords(Form1& f) {
    StartupFindings& found = f.findings;
    if (!found.settings_read_to_end && !found.fan_ctrl_read[0]) return;
    const std::string section = found.stopped_section, key = found.stopped_key;
    const bool read_to_end = found.settings_read_to_end;
    auto restore = [&] {
        found.stopped_section = section;
        found.stopped_key = key;
        found.settings_read_to_end = read_to_end;
    };
    try {
        ReadFanRecords(f);
    } catch (const RuntimeError&) {
        restore();
        throw;
    }
    restore();
}

void ReloadPolicyKeys(Form1& f) {
    StartupFindings& found = f.findings;
    if (found.display_on_top_read) {
        Section s(f, kOption, false);
        f.settings.g_SoundWarnning = s.Int16("SoundWarnning", 0);
        f.settings.g_DisplayOnTop = s.Int16("DisplayOnTop", 0);
    }
    ReloadFanRecords(f);
    if (found.settings_read_to_end) {
        ReadExportKeys(f, false);
        ReadHistoryKeys(f, false);
        ReadMaintenanceKeys(f, false);
    }
}

void ReadBackColor(Form1& f) {
    const long long v = Section(f, kOption, false).Int("BackColor", 0);
    f.settings.g_BackColor = CheckedColor(ColorFromProfile(v));
    f.window.back_color = f.settings.g_BackColor;
}

void ReadVoltageFactors(Form1& f) {
    Section s(f, kOption, false);
    VoltageFactors& v = f.settings.factors;
    v.P5VRa = static_cast<double>(s.Int("P5VRa", 68));
    v.P5VRb = static_cast<double>(s.Int("P5VRb", 100));
    v.P12VRa = static_cast<double>(s.Int("P12VRa", 300));
    v.P12VRb = static_cast<double>(s.Int("P12VRb", 100));
    v.N5VREF = static_cast<double>(s.Int("N5VREF", 4096)) / 1000.0;
    v.N5VRin = static_cast<double>(s.Int("N5VRin", 120));
    v.N5VRf = static_cast<double>(s.Int("N5VRf", 56));
    v.N12VREF = static_cast<double>(s.Int("N12VREF", 4096)) / 1000.0;
    v.N12VRin = static_cast<double>(s.Int("N12VRin", 232));
    v.N12VRf = static_cast<double>(s.Int("N12VRf", 56));
}

void LoadSettings(Form1& f) {
    StartupFindings& found = f.findings;
    found.settings_read_to_end = false;
    found.fan_ctrl_read = {};
    found.fan_described = {};
    found.fan_keys_missing = {};
    found.settings_unreadable = false;
    found.display_on_top_read = found.execute_at_startup_read = false;
    f.AlarmTune = StandardAlarmTune();
    // About still names the program and its version when the loader stops before strAbout.
    if (f.settings.g_AboutText.empty())
        f.settings.g_AboutText = AboutLineBreaks(DefaultAboutText());
    found.stopped_section = "kelvane.dat";
    found.stopped_key.clear();
    try {
        RunPortProgram(f.sys.files, f.chip, f.ProgramFile("kelvane.dat"));
        f.settings.g_IniPath = f.ProgramFile("kelvane.ini");
        CheckReadable(f);
        ReadKeys(f);
    } catch (const RuntimeError&) {
        if (found.settings_unreadable)
            // The fleet must still hear of it: the policy's metrics file, else the one the
            // installer was given.
            SkipOnError([&] {
                f.settings.g_ExportTextFile = f.policy.Value("Export", "TextFile")
                                                  .value_or(f.sys.registry.RememberedMetricsFile());
            });
        else
            SkipOnError([&] { ReadExportKeys(f, false); });
        throw;
    }
    found.stopped_section.clear();
    found.stopped_key.clear();
    found.settings_read_to_end = true;
}

}  // namespace kelvane
