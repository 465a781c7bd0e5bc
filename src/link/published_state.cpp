#include "link/published_state.h"

#include "app/tray_status.h"
#include "chip/led_display.h"
#include "link/framing.h"
#include "link/messages.h"
#include "link/wire.h"
#include "policy/policy_keys.h"
#include "setup/setup_problem.h"
#include "state/chip_views.h"

namespace kelvane::link {
namespace {

// Into the text the state already holds, whose buffer is reused from tick to tick.
void CutInto(const std::string& from, std::string& to) {
    to.assign(from, 0, std::min(from.size(), kMaxStateText));
}

}  // namespace

void StateInto(const Form1& f, PublishedState& s, TrayTipCache& tips) {
    const MonitorState& m = f.monitor;
    s.has_reading = HasReading(f);
    s.unreachable = m.hardware_unreachable;
    s.alarm_lasting = m.alarm_lasting;
    s.critical = m.g_Critical != 0;
    s.error_code = m.g_ErrorCode;
    s.status_line = m.status_line;
    CutInto(f.window.Label1.caption, s.status_text);
    s.status_color = f.window.Label1.back_color;  // the line's colour is its background
    CutInto(f.window.Label3.caption, s.error_code_text);
    for (std::size_t n = 0; n < s.displays.size(); ++n)
        s.displays[n] = {m.temps[n], m.fan_speeds[n], m.alerts[n]};
    s.temp_limits = m.temp_limits;
    for (std::size_t v = 0; v < s.voltages.size(); ++v) {
        const Control& label = f.window.TempLabel[v];
        VoltageShown& shown = s.voltages[v];
        CutInto(label.caption, shown.text);
        shown.color = label.fore_color;
        shown.visible = label.visible;
        shown.volts = m.volts[v];
        shown.checked = m.volt_checked[v];
        shown.in_tolerance = m.volt_in_tolerance[v];
    }
    // SetupProblems' order, without its list: most ticks have none, and a tick with one
    // keeps the texts' buffers.
    std::size_t problems = 0;
    for (const SetupReason reason : kSetupReasons) {
        if (!HasSetupProblem(f, reason)) continue;
        if (problems == s.setup_problems.size()) s.setup_problems.emplace_back();
        CutInto(SetupShortText(f, reason), s.setup_problems[problems++]);
    }
    s.setup_problems.resize(problems);
    s.tray_state = static_cast<std::uint8_t>(TrayStateOf(f));
    s.tray_tip = tips.Of(f, kTrayTipField);
    s.policy_keys = f.policy.Keys();
}

PublishedState StateOf(const Form1& f) {
    PublishedState s;
    TrayTipCache tips;
    StateInto(f, s, tips);
    return s;
}

void EncodeStateInto(const PublishedState& s, WireWriter& w) {
    // Framed in place: the state is built every tick, so it is not copied into a frame.
    w.Clear();
    w.U32(0);
    w.U16(kProtocolVersion);
    w.U16(static_cast<std::uint16_t>(MessageType::State));
    w.Bool(s.has_reading);
    w.Bool(s.unreachable);
    w.Bool(s.alarm_lasting);
    w.Bool(s.critical);
    w.I32(s.error_code);
    w.U8(static_cast<std::uint8_t>(s.status_line));
    w.Text(s.status_text);
    w.U32(s.status_color);
    w.Text(s.error_code_text);
    for (const DisplayReading& d : s.displays) {
        w.I32(d.temperature);
        w.I32(d.fan_speed);
        w.Bool(d.alert);
    }
    for (std::int32_t t : s.temp_limits) w.I32(t);
    for (const VoltageShown& v : s.voltages) {
        w.Text(v.text);
        w.U32(v.color);
        w.Bool(v.visible);
        w.F64(v.volts);
        w.Bool(v.checked);
        w.Bool(v.in_tolerance);
    }
    w.U8(static_cast<std::uint8_t>(s.setup_problems.size()));
    for (const std::string& p : s.setup_problems) w.Text(p);
    w.U8(s.tray_state);
    w.Text(s.tray_tip);
    // One byte per key: the table has fewer than 256, so the list stays within a few dozen.
    w.U8(static_cast<std::uint8_t>(s.policy_keys.size()));
    for (const std::size_t key : s.policy_keys) w.U8(static_cast<std::uint8_t>(key));
    w.PatchU32(0, static_cast<std::uint32_t>(w.bytes().size() - 4));
}

std::string EncodeState(const PublishedState& s) {
    WireWriter w(1024);
    EncodeStateInto(s, w);
    return w.Take();
}

std::optional<PublishedState> DecodeState(std::string_view payload) {
    WireReader r(payload);
    PublishedState s;
    s.has_reading = r.Bool();
    s.unreachable = r.Bool();
    s.alarm_lasting = r.Bool();
    s.critical = r.Bool();
    s.error_code = r.I32();
    const std::uint8_t line = r.U8();
    if (line > static_cast<std::uint8_t>(StatusLine::SetupProblem)) r.Fail();
    s.status_line = static_cast<StatusLine>(line);
    s.status_text = r.Text();
    s.status_color = r.U32();
    s.error_code_text = r.Text();
    for (DisplayReading& d : s.displays) {
        d.temperature = r.I32();
        d.fan_speed = r.I32();
        d.alert = r.Bool();
    }
    for (std::int32_t& t : s.temp_limits) t = r.I32();
    for (VoltageShown& v : s.voltages) {
        v.text = r.Text();
        v.color = r.U32();
        v.visible = r.Bool();
        v.volts = r.F64();
        v.checked = r.Bool();
        v.in_tolerance = r.Bool();
    }
    const std::uint8_t problems = r.U8();
    if (problems > kSetupReasons.size()) r.Fail();
    for (std::uint8_t i = 0; i < problems && !r.failed(); ++i) s.setup_problems.push_back(r.Text());
    s.tray_state = r.U8();
    if (s.tray_state > static_cast<std::uint8_t>(TrayState::Unreachable)) r.Fail();
    s.tray_tip = r.Text();
    const std::uint8_t keys = r.U8();
    if (keys > policy::PolicyKeys().size()) r.Fail();
    for (std::uint8_t i = 0; i < keys && !r.failed(); ++i) {
        s.policy_keys.push_back(r.U8());
        if (s.policy_keys.back() >= policy::PolicyKeys().size()) r.Fail();
    }
    if (!r.Done()) return std::nullopt;
    return s;
}

void ApplyState(const PublishedState& s, Form1& view) {
    MonitorState& m = view.monitor;
    m.hardware_unreachable = s.unreachable;
    m.alarm_lasting = s.alarm_lasting;
    m.g_Critical = s.critical ? 1 : 0;
    m.g_ErrorCode = s.error_code;
    m.status_line = s.status_line;
    view.window.Label1.caption = s.status_text;
    view.window.Label1.back_color = s.status_color;
    view.window.Label3.caption = s.error_code_text;
    if (view.policy.Keys() != s.policy_keys) {
        policy::InForce next = policy::InForce::OfKeys(s.policy_keys);
        const std::vector<std::size_t> changed = policy::ChangedKeys(view.policy, next);
        view.policy = std::move(next);
        // An open dialog greys what the owner's policy now sets; its values come with the
        // owner's settings image.
        view.sys.windows.PolicyChanged(changed);
    }
    m.temp_limits = s.temp_limits;
    for (std::size_t v = 0; v < s.voltages.size(); ++v) {
        const VoltageShown& shown = s.voltages[v];
        Control& label = view.window.TempLabel[v];
        label.caption = shown.text;
        label.fore_color = shown.color;
        label.visible = shown.visible;
        m.volts[v] = shown.volts;
        m.volt_checked[v] = shown.checked;
        m.volt_in_tolerance[v] = shown.in_tolerance;
    }
    // Without a reading the owner's window keeps the digits it last drew; so does the view.
    if (!s.has_reading) return;
    const LedStyle style = LedStyleOf(view);
    for (std::size_t n = 0; n < s.displays.size(); ++n) {
        const DisplayReading& d = s.displays[n];
        m.temps[n] = d.temperature;
        m.alerts[n] = d.alert;
        const int i = static_cast<int>(n);
        if (view.window.LedPic[n].visible)
            DrawTemperature(style, view.sys.surfaces.LedPic(i), static_cast<i16>(d.temperature),
                            Flag(d.alert));
        m.fan_speeds[n] = DrawFanSpeed(view.sys.surfaces, view.sys.surfaces.FanLed(i), d.fan_speed);
    }
    view.SystemTemp = s.displays[0].temperature;
    view.CPUTemp = s.displays[1].temperature;
}

}  // namespace kelvane::link
