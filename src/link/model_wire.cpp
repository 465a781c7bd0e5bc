#include "link/model_wire.h"

namespace kelvane::link {
namespace {

void PutI16(WireWriter& w, i16 v) { w.U16(static_cast<std::uint16_t>(v)); }
i16 GetI16(WireReader& r) { return static_cast<i16>(r.U16()); }

template <typename T, std::size_t N>
void PutAll(WireWriter& w, const std::array<T, N>& a) {
    for (const T& x : a) Put(w, x);
}
template <typename T, std::size_t N>
void GetAll(WireReader& r, std::array<T, N>& a) {
    for (T& x : a) Get(r, x);
}

}  // namespace

void Put(WireWriter& w, const Control& c) {
    w.I32(c.left);
    w.I32(c.top);
    w.I32(c.width);
    w.I32(c.height);
    w.Bool(c.visible);
    w.Bool(c.enabled);
    w.Text(c.caption);
    w.Text(c.tag);
    w.U32(c.fore_color);
    w.U32(c.back_color);
    w.Bool(c.transparent);
    w.F64(c.font.size);
    w.Bool(c.font.bold);
    w.Bool(c.font.italic);
    w.Bool(c.font.underline);
    w.Bool(c.font.strikethrough);
    w.Text(c.picture);
}

void Get(WireReader& r, Control& c) {
    c.left = r.I32();
    c.top = r.I32();
    c.width = r.I32();
    c.height = r.I32();
    c.visible = r.Bool();
    c.enabled = r.Bool();
    c.caption = r.Text();
    c.tag = r.Text();
    c.fore_color = r.U32();
    c.back_color = r.U32();
    c.transparent = r.Bool();
    c.font.size = r.F64();
    c.font.bold = r.Bool();
    c.font.italic = r.Bool();
    c.font.underline = r.Bool();
    c.font.strikethrough = r.Bool();
    c.picture = r.Text();
}

void Put(WireWriter& w, const MainWindowModel& m) {
    w.Text(m.caption);
    w.I32(m.width);
    w.I32(m.height);
    w.I32(m.left);
    w.I32(m.top);
    w.U32(m.back_color);
    w.Text(m.picture);
    w.U8(static_cast<std::uint8_t>(m.state));
    w.Bool(m.visible);
    w.Bool(m.close_greyed);
    PutAll(w, m.KelvaneLabel);
    PutAll(w, m.TempLabel);
    PutAll(w, m.LedPic);
    PutAll(w, m.FanLed);
    PutAll(w, m.LedFont);
    PutAll(w, m.Image1);
    for (const Control* c : {&m.Logo, &m.Picture1, &m.Label1, &m.Label2, &m.Label3}) Put(w, *c);
    PutAll(w, m.Text);
    w.Bool(m.tray_menu_visible);
}

void Get(WireReader& r, MainWindowModel& m) {
    m.caption = r.Text();
    m.width = r.I32();
    m.height = r.I32();
    m.left = r.I32();
    m.top = r.I32();
    m.back_color = r.U32();
    m.picture = r.Text();
    const std::uint8_t state = r.U8();
    if (state > static_cast<std::uint8_t>(WindowState::Maximized)) r.Fail();
    m.state = static_cast<WindowState>(state);
    m.visible = r.Bool();
    m.close_greyed = r.Bool();
    GetAll(r, m.KelvaneLabel);
    GetAll(r, m.TempLabel);
    GetAll(r, m.LedPic);
    GetAll(r, m.FanLed);
    GetAll(r, m.LedFont);
    GetAll(r, m.Image1);
    for (Control* c : {&m.Logo, &m.Picture1, &m.Label1, &m.Label2, &m.Label3}) Get(r, *c);
    GetAll(r, m.Text);
    m.tray_menu_visible = r.Bool();
}

void Put(WireWriter& w, const FanCtrlRecord& f) {
    w.Text(f.Caption);
    PutI16(w, f.Mode);
    for (i16 v : f.S) PutI16(w, v);
    for (i16 v : f.Speed) PutI16(w, v);
    PutI16(w, f.SwFan);
    PutI16(w, f.TmpAlarm);
    w.Text(f.Modulate);
    PutI16(w, f.UserCtl);
}

void Get(WireReader& r, FanCtrlRecord& f) {
    f.Caption = r.Text();
    f.Mode = GetI16(r);
    for (i16& v : f.S) v = GetI16(r);
    for (i16& v : f.Speed) v = GetI16(r);
    f.SwFan = GetI16(r);
    f.TmpAlarm = GetI16(r);
    f.Modulate = r.Text();
    f.UserCtl = GetI16(r);
}

void Put(WireWriter& w, const Settings& s) {
    w.Text(s.g_IniPath);
    PutI16(w, s.g_Address);
    w.Text(s.g_AboutText);
    for (i16 v : {s.g_BeepWaitTimes, s.g_UserScroll, s.g_SoundWarnning, s.g_ExecuteAtStartup,
                  s.g_DisplayOnTop, s.g_DisplayScale})
        PutI16(w, v);
    w.U32(s.g_BackColor);
    const VoltageFactors& x = s.factors;
    for (double v : {x.P5VRa, x.P5VRb, x.P12VRa, x.P12VRb, x.N5VREF, x.N5VRin, x.N5VRf, x.N12VREF,
                     x.N12VRin, x.N12VRf})
        w.F64(v);
    for (const VinRecord& v : s.g_Vin)
        for (i16 n : {v.DefaultTemp, v.Enable, v.Percent}) PutI16(w, n);
    PutAll(w, s.g_DefaultFanCtrl);
    PutAll(w, s.g_FanCtrl);
    w.Text(s.g_ExportTextFile);
    PutI16(w, s.g_ExportEventLog);
    w.Text(s.g_HistoryFolder);
    PutI16(w, s.g_HistoryDays);
}

void Get(WireReader& r, Settings& s) {
    s.g_IniPath = r.Text();
    s.g_Address = GetI16(r);
    s.g_AboutText = r.Text();
    for (i16* v : {&s.g_BeepWaitTimes, &s.g_UserScroll, &s.g_SoundWarnning, &s.g_ExecuteAtStartup,
                   &s.g_DisplayOnTop, &s.g_DisplayScale})
        *v = GetI16(r);
    s.g_BackColor = r.U32();
    VoltageFactors& x = s.factors;
    for (double* v : {&x.P5VRa, &x.P5VRb, &x.P12VRa, &x.P12VRb, &x.N5VREF, &x.N5VRin, &x.N5VRf,
                      &x.N12VREF, &x.N12VRin, &x.N12VRf})
        *v = r.F64();
    for (VinRecord& v : s.g_Vin)
        for (i16* n : {&v.DefaultTemp, &v.Enable, &v.Percent}) *n = GetI16(r);
    GetAll(r, s.g_DefaultFanCtrl);
    GetAll(r, s.g_FanCtrl);
    s.g_ExportTextFile = r.Text();
    s.g_ExportEventLog = GetI16(r);
    s.g_HistoryFolder = r.Text();
    s.g_HistoryDays = GetI16(r);
}

SettingsChange ChangeOf(const Settings& s) {
    SettingsChange c;
    c.fans = s.g_FanCtrl;
    for (std::size_t i = 0; i < s.g_Vin.size(); ++i) {
        c.vin_enable[i] = s.g_Vin[i].Enable;
        c.vin_percent[i] = s.g_Vin[i].Percent;
    }
    c.display_scale = s.g_DisplayScale;
    c.display_on_top = s.g_DisplayOnTop;
    c.sound_warning = s.g_SoundWarnning;
    c.execute_at_startup = s.g_ExecuteAtStartup;
    return c;
}

void ApplyChange(const SettingsChange& c, Settings& s) {
    for (std::size_t j = 0; j < s.g_FanCtrl.size(); ++j) {
        FanCtrlRecord& f = s.g_FanCtrl[j];
        const FanCtrlRecord& n = c.fans[j];
        f.Mode = n.Mode;
        f.S = n.S;
        f.Speed = n.Speed;
        f.SwFan = n.SwFan;
        f.TmpAlarm = n.TmpAlarm;
    }
    for (std::size_t i = 0; i < s.g_Vin.size(); ++i) {
        s.g_Vin[i].Enable = c.vin_enable[i];
        s.g_Vin[i].Percent = c.vin_percent[i];
    }
    s.g_DisplayScale = c.display_scale;
    s.g_DisplayOnTop = c.display_on_top;
    s.g_SoundWarnning = c.sound_warning;
    s.g_ExecuteAtStartup = c.execute_at_startup;
}

void Put(WireWriter& w, const SettingsChange& c) {
    for (const FanCtrlRecord& f : c.fans) {
        PutI16(w, f.Mode);
        for (i16 v : f.S) PutI16(w, v);
        for (i16 v : f.Speed) PutI16(w, v);
        PutI16(w, f.SwFan);
        PutI16(w, f.TmpAlarm);
    }
    for (std::size_t i = 0; i < c.vin_enable.size(); ++i) {
        PutI16(w, c.vin_enable[i]);
        PutI16(w, c.vin_percent[i]);
    }
    for (i16 v : {c.display_scale, c.display_on_top, c.sound_warning, c.execute_at_startup})
        PutI16(w, v);
}

void Get(WireReader& r, SettingsChange& c) {
    for (FanCtrlRecord& f : c.fans) {
        f.Mode = GetI16(r);
        for (i16& v : f.S) v = GetI16(r);
        for (i16& v : f.Speed) v = GetI16(r);
        f.SwFan = GetI16(r);
        f.TmpAlarm = GetI16(r);
    }
    for (std::size_t i = 0; i < c.vin_enable.size(); ++i) {
        c.vin_enable[i] = GetI16(r);
        c.vin_percent[i] = GetI16(r);
    }
    for (i16* v : {&c.display_scale, &c.display_on_top, &c.sound_warning, &c.execute_at_startup})
        *v = GetI16(r);
}

}  // namespace kelvane::link
