#include "app/tray_status.h"

#include <optional>

#include "base/runtime_error.h"
#include "chip/led_display.h"
#include "state/channels.h"
#include "state/status_line.h"

namespace kelvane {
namespace {

// ANSI code page 1252: degree sign and middle dot.
constexpr const char* kDegree = "\xB0";
constexpr const char* kSeparator = " \xB7 ";

std::optional<int> VoltageOut(const Form1& f) {
    for (std::size_t v = 0; v < f.monitor.volt_checked.size(); ++v)
        if (f.monitor.volt_checked[v] && !f.monitor.volt_in_tolerance[v])
            return static_cast<int>(v);
    return std::nullopt;
}

// The heading the user sees above channel n's display, as the settings paired them; none
// when the fallback is shown.
const std::string* HeadingCaption(const Form1& f, int n) {
    const std::optional<int> h = ChannelRecord(f, n);
    if (!h) return nullptr;
    const std::string& caption = f.window.KelvaneLabel[static_cast<std::size_t>(*h)].caption;
    return caption.empty() ? nullptr : &caption;
}

std::string Heading(const Form1& f, int n, const char* fallback) {
    const std::string* caption = HeadingCaption(f, n);
    return caption ? *caption : fallback;
}

std::string Reading(const Form1& f, int n, std::int32_t celsius, const char* fallback) {
    std::string value;
    try {
        const bool fahrenheit = Fahrenheit(f.settings);
        const long long shown = fahrenheit ? ToFahrenheit(ToInt16(celsius)) : celsius;
        value = std::to_string(shown) + kDegree + (fahrenheit ? "F" : "C");
    } catch (const RuntimeError&) {
        value = "?";  // a translated reading beyond 16 bits has no unit conversion
    }
    return Heading(f, n, fallback) + " " + value;
}

// The voltage input's caption when the tip names it instead of the status line.
const std::string* VoltageOutCaption(const Form1& f, TrayState state) {
    if (state != TrayState::VoltageOut || !StatusLineFree(f)) return nullptr;
    const int v = VoltageOut(f).value_or(0);
    return &f.window.KelvaneLabel[static_cast<std::size_t>(3 + v)].caption;
}

std::string StatusText(const Form1& f, TrayState state) {
    if (const std::string* voltage = VoltageOutCaption(f, state))
        return *voltage + " out of tolerance";
    return f.window.Label1.caption;
}

// The notice's words while it holds, else nothing.
const std::string& NoticeText(const Form1& f, std::size_t r) {
    static const std::string none;
    return f.maintenance.notice[r] ? f.maintenance.tip[r] : none;
}

void AssignOrReset(std::optional<std::string>& to, const std::string* from) {
    if (!from)
        to.reset();
    else if (to)
        *to = *from;  // into the buffer it has
    else
        to.emplace(*from);
}

}  // namespace

TrayState TrayStateOf(const Form1& f) {
    if (f.monitor.hardware_unreachable) return TrayState::Unreachable;
    if (f.monitor.alarm_lasting) return TrayState::LastingFault;
    if (VoltageOut(f)) return TrayState::VoltageOut;
    return TrayState::Normal;
}

std::string TrayTip(const Form1& f, std::size_t field_size) {
    const TrayState state = TrayStateOf(f);
    std::string tip;
    // Without a reading the numbers are stale or were never read: only the status is told.
    if (HasReading(f))
        tip = Reading(f, 0, f.SystemTemp, "System") + " " + Reading(f, 1, f.CPUTemp, "CPU");
    const std::string status = StatusText(f, state);
    if (!status.empty()) tip += (tip.empty() ? "" : kSeparator) + status;
    if (tip.empty()) tip = "Kelvane";
    // A notice is no fault: it follows the status, never replaces it.
    for (std::size_t r = 0; r < f.maintenance.notice.size(); ++r)
        if (f.maintenance.notice[r]) tip += "\n" + f.maintenance.tip[r];
    const std::size_t room = field_size > 0 ? field_size - 1 : 0;
    if (tip.size() > room) tip = room > 3 ? tip.substr(0, room - 3) + "..." : tip.substr(0, room);
    return tip;
}

bool TrayTipCache::Inputs::Take(const Form1& f, std::size_t field_size) {
    const TrayState now = TrayStateOf(f);
    const bool same = reading == HasReading(f) && system == f.SystemTemp && cpu == f.CPUTemp &&
                      fahrenheit == Fahrenheit(f.settings) && state == now && field == field_size &&
                      Same(heading0, HeadingCaption(f, 0)) &&
                      Same(heading1, HeadingCaption(f, 1)) &&
                      Same(voltage, VoltageOutCaption(f, now)) &&
                      label == f.window.Label1.caption && notices[0] == NoticeText(f, 0) &&
                      notices[1] == NoticeText(f, 1) && notices[2] == NoticeText(f, 2);
    if (same) return false;
    for (std::size_t r = 0; r < notices.size(); ++r) notices[r] = NoticeText(f, r);
    reading = HasReading(f);
    system = f.SystemTemp;
    cpu = f.CPUTemp;
    fahrenheit = Fahrenheit(f.settings);
    state = now;
    field = field_size;
    AssignOrReset(heading0, HeadingCaption(f, 0));
    AssignOrReset(heading1, HeadingCaption(f, 1));
    AssignOrReset(voltage, VoltageOutCaption(f, now));
    label = f.window.Label1.caption;
    return true;
}

bool TrayTipCache::Inputs::Same(const std::optional<std::string>& kept, const std::string* now) {
    return now ? kept && *kept == *now : !kept;
}

const std::string& TrayTipCache::Of(const Form1& f, std::size_t field_size) {
    if (inputs_.Take(f, field_size) || !built_) tip_ = TrayTip(f, field_size);
    built_ = true;
    return tip_;
}

void TrayStatus::AfterTick(const Form1& f) {
    const TrayState state = TrayStateOf(f);
    const std::string tip = TrayTip(f, tip_field_size_);
    if (!shown_once_ || state != shown_state_ || tip != shown_tip_) {
        shell_.ShowTrayState(state, tip);
        shown_once_ = true;
        shown_state_ = state;
        shown_tip_ = tip;
    }
    // One balloon per episode, and only for an episode that began out of sight: a user who
    // watches the window has already seen the label turn red.
    if (balloon_.Begins(f) && balloons_ && !f.window.visible)
        shell_.ShowBalloon(kBalloonTitle, f.monitor.g_ErrorMsg);
}

bool EpisodeBalloon::Begins(const Form1& f) {
    if (!f.monitor.alarm_lasting) {
        seen_ = false;
        return false;
    }
    if (seen_) return false;
    seen_ = true;
    return true;
}

}  // namespace kelvane
