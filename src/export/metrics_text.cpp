#include "export/metrics_text.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "base/number_text.h"
#include "monitor/monitor_cycle.h"
#include "setup/setup_problem.h"
#include "state/channels.h"

namespace kelvane {
namespace {

// Backslash, quote and line feed escaped as the format asks; anything else outside printable
// ASCII becomes '?' so the file stays ASCII whatever code page a caption came from.
void AppendEscaped(std::string& out, std::string_view value) {
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += u < 0x20 || u > 0x7E ? '?' : c;
        }
    }
}

char* PutText(char* out, const char* text) {
    while (*text != '\0') *out++ = *text++;
    return out;
}

// Three decimals; the format's own words for what is no number.
char* PutThousandths(char* out, double v) {
    if (!(std::fabs(v) < 1e15))
        return PutText(out, std::isnan(v) ? "NaN" : v > 0 ? "+Inf" : "-Inf");
    return PutFixed(out, v, 3);
}

std::string ChipIdText(int id) {
    if (id < 0) return "unknown";
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(id) & 0xFFu);
    return text;
}

// Help and type lines, then samples whose labels are escaped once, here.
class Writer {
  public:
    explicit Writer(std::string& out) : out_(out) {}

    void Family(const char* name, const char* help, const char* type = "gauge") {
        out_ += "# HELP ";
        out_ += name;
        out_ += ' ';
        out_ += help;
        out_ += "\n# TYPE ";
        out_ += name;
        out_ += ' ';
        out_ += type;
        out_ += '\n';
    }
    Writer& Sample(const char* name) {
        out_ += name;
        labels_ = 0;
        return *this;
    }
    Writer& Label(const char* key, std::string_view value) {
        out_ += labels_++ == 0 ? '{' : ',';
        out_ += key;
        out_ += "=\"";
        AppendEscaped(out_, value);
        out_ += '"';
        return *this;
    }
    Writer& Label(const char* key, int value) { return Label(key, std::to_string(value)); }
    void BeforeValue() {
        if (labels_ > 0) out_ += '}';
        out_ += ' ';
    }

  private:
    std::string& out_;
    int labels_ = 0;
};

}  // namespace

std::string EscapeLabelValue(const std::string& value) {
    std::string out;
    AppendEscaped(out, value);
    return out;
}

const char* LayoutName(const Form1& f) {
    if (!f.findings.chip_identified) return "unknown";
    if (!IsTrue(f.KelvaneFanFlag)) return "older";
    return IsTrue(f.KelvaneFanSpecialFlag) ? "newer-delta" : "newer";
}

namespace {

// Headings, tags and input names are a few characters long: a plain loop costs less than the
// library's comparison, and this runs on every tick.
bool Same(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

}  // namespace

bool MetricsFile::SameShape(const Form1& f) const {
    const Shape& s = shape_;
    const MonitorState& m = f.monitor;
    if (!laid_out_ || s.reading != HasReading(f) || s.checked != m.volt_checked ||
        s.chip_id != f.findings.chip_id || s.chip_revision != f.findings.chip_revision ||
        s.chip_identified != f.findings.chip_identified ||
        std::strcmp(s.driver, DriverKind(facts_)) != 0 || s.fan_flag != f.KelvaneFanFlag ||
        s.special_flag != f.KelvaneFanSpecialFlag ||
        s.baseline_ready != f.maintenance.baseline_ready || s.notices != f.maintenance.notice)
        return false;
    for (std::size_t n = 0; n < 3; ++n)
        if (!Same(s.tags[n], f.window.LedPic[n].tag) ||
            !Same(s.headings[n], f.window.KelvaneLabel[n].caption))
            return false;
    for (std::size_t v = 0; v < 9; ++v)
        if (s.shown[v] != f.window.TempLabel[v].visible ||
            !Same(s.input_names[v], f.window.KelvaneLabel[3 + v].caption))
            return false;
    return true;
}

void MetricsFile::TakeShape(const Form1& f) {
    Shape& s = shape_;
    for (std::size_t n = 0; n < 3; ++n) {
        s.tags[n] = f.window.LedPic[n].tag;
        s.headings[n] = f.window.KelvaneLabel[n].caption;
    }
    for (std::size_t v = 0; v < 9; ++v) {
        s.input_names[v] = f.window.KelvaneLabel[3 + v].caption;
        s.shown[v] = f.window.TempLabel[v].visible;
    }
    s.checked = f.monitor.volt_checked;
    s.reading = HasReading(f);
    s.chip_id = f.findings.chip_id;
    s.chip_revision = f.findings.chip_revision;
    s.chip_identified = f.findings.chip_identified;
    s.driver = DriverKind(facts_);
    s.fan_flag = f.KelvaneFanFlag;
    s.special_flag = f.KelvaneFanSpecialFlag;
    s.baseline_ready = f.maintenance.baseline_ready;
    s.notices = f.maintenance.notice;
}

void MetricsFile::Layout(const Form1& f) {
    pieces_.clear();
    std::string text;
    Writer w(text);
    auto number = [&](Slot slot, int index) {
        w.BeforeValue();
        pieces_.push_back({std::move(text), slot, index});
        text.clear();
    };
    const Shape& s = shape_;
    std::array<std::string, 3> names;
    for (int n = 0; n < 3; ++n) names[static_cast<std::size_t>(n)] = ChannelName(f, n);

    // A tick without a reading leaves the reading families empty: the numbers it holds are
    // stale or were never read.
    w.Family("kelvane_temperature_celsius", "Temperature of a channel in degrees Celsius.");
    for (int n = 0; s.reading && n < 3; ++n) {
        w.Sample("kelvane_temperature_celsius")
            .Label("channel", n)
            .Label("name", names[static_cast<std::size_t>(n)]);
        number(Slot::Temperature, n);
    }
    w.Family("kelvane_fan_speed_rpm",
             "Fan speed of a channel as displayed, in revolutions per minute.");
    for (int n = 0; s.reading && n < 3; ++n) {
        w.Sample("kelvane_fan_speed_rpm")
            .Label("channel", n)
            .Label("name", names[static_cast<std::size_t>(n)]);
        number(Slot::FanSpeed, n);
    }
    w.Family("kelvane_temperature_limit_celsius",
             "Limit the monitor compares a channel's temperature with, in degrees Celsius.");
    for (int n = 0; s.reading && n < 2; ++n) {
        w.Sample("kelvane_temperature_limit_celsius")
            .Label("channel", n)
            .Label("name", names[static_cast<std::size_t>(n)]);
        number(Slot::Limit, n);
    }
    w.Family("kelvane_voltage_volts", "Value of a shown voltage input, in volts.");
    for (int v = 0; s.reading && v < 9; ++v) {
        if (!s.shown[static_cast<std::size_t>(v)]) continue;
        w.Sample("kelvane_voltage_volts")
            .Label("input", v)
            .Label("name", s.input_names[static_cast<std::size_t>(v)]);
        number(Slot::Volts, v);
    }
    w.Family("kelvane_voltage_in_tolerance",
             "1 when a voltage input whose alarm applies is within its tolerance, else 0.");
    for (int v = 0; s.reading && v < 9; ++v) {
        if (!s.checked[static_cast<std::size_t>(v)]) continue;
        w.Sample("kelvane_voltage_in_tolerance")
            .Label("input", v)
            .Label("name", s.input_names[static_cast<std::size_t>(v)]);
        number(Slot::InTolerance, v);
    }
    w.Family("kelvane_status_code",
             "0 normal, 1 CPU temperature over, 2 CPU fan out of order, 3 system temperature "
             "over, 4 system fan out of order.");
    w.Sample("kelvane_status_code");
    number(Slot::Status, 0);
    w.Family("kelvane_alarm_lasting", "1 while the status label shows a lasting fault.");
    w.Sample("kelvane_alarm_lasting");
    number(Slot::Lasting, 0);
    w.Family("kelvane_critical",
             "1 while a fault is critical (alarm log present, limit +10 passed).");
    w.Sample("kelvane_critical");
    number(Slot::Critical, 0);
    w.Family("kelvane_hardware_reachable", "1 when the last tick reached the hardware monitor.");
    w.Sample("kelvane_hardware_reachable");
    number(Slot::Reachable, 0);
    w.Family("kelvane_setup_problem",
             "1 while a set-up problem of this reason needs the technician, else 0.");
    for (const SetupReason reason : kSetupReasons) {
        w.Sample("kelvane_setup_problem").Label("reason", SetupReasonName(reason));
        number(Slot::SetupProblem, static_cast<int>(reason));
    }
    // The maintenance notice: never a fault, so kelvane_status_code does not follow it.
    w.Family("kelvane_fan_speed_ratio",
             "Median fan speed of the last window over the terminal's baseline at the fan's "
             "current step; NaN while they cannot be compared.");
    for (int n = 0; s.baseline_ready && n < 2; ++n) {
        w.Sample("kelvane_fan_speed_ratio")
            .Label("channel", n)
            .Label("name", names[static_cast<std::size_t>(n)]);
        number(Slot::FanRatio, n);
    }
    w.Family("kelvane_cpu_rise_excess_celsius",
             "The CPU's rise over the system temperature above its baseline at the same step, "
             "in degrees Celsius; NaN while they cannot be compared.");
    w.Sample("kelvane_cpu_rise_excess_celsius");
    number(Slot::RiseExcess, 0);
    w.Family("kelvane_maintenance",
             "1 while a maintenance notice of this reason holds (clean or replace), else 0.");
    for (const MaintenanceReason reason : kMaintenanceReasons) {
        w.Sample("kelvane_maintenance").Label("reason", MaintenanceReasonName(reason));
        w.BeforeValue();
        text += s.notices[static_cast<std::size_t>(reason)] ? "1\n" : "0\n";
    }
    w.Family("kelvane_baseline_ready",
             "1 once the terminal's own baseline for the maintenance notice is learned.");
    w.Sample("kelvane_baseline_ready");
    w.BeforeValue();
    text += s.baseline_ready ? "1\n" : "0\n";
    w.Family("kelvane_last_tick_timestamp_seconds", "Time of the last tick, seconds since 1970.");
    w.Sample("kelvane_last_tick_timestamp_seconds");
    number(Slot::Timestamp, 0);
    w.Family("kelvane_fan_settings_restored_total",
             "Times the chip was programmed again because it had lost the fan settings.",
             "counter");
    w.Sample("kelvane_fan_settings_restored_total");
    number(Slot::Restored, 0);
    w.Family("kelvane_view_clients_dropped_total",
             "Views the owner disconnected for a malformed or oversized message, or for not "
             "reading.",
             "counter");
    w.Sample("kelvane_view_clients_dropped_total");
    number(Slot::ViewsDropped, 0);
    w.Family("kelvane_policy_values", "Settings keys whose value a policy sets.");
    w.Sample("kelvane_policy_values");
    number(Slot::PolicyValues, 0);
    w.Family("kelvane_info", "Version, chip and fan-control register layout of this terminal.");
    w.Sample("kelvane_info")
        .Label("version", kKelvaneVersion)
        .Label("chip_id", ChipIdText(s.chip_id))
        .Label("revision",
               s.chip_revision < 0 ? std::string("unknown") : std::to_string(s.chip_revision))
        .Label("layout", LayoutName(f))
        .Label("driver", s.driver)
        .Label("owner", owner_);
    w.BeforeValue();
    text += "1\n";
    // Each number's line ends at the start of the text after it.
    after_ = '\n' + text;
    for (std::size_t i = 1; i < pieces_.size(); ++i) pieces_[i].before.insert(0, 1, '\n');
    room_ = after_.size();
    for (const Piece& p : pieces_) room_ += p.before.size() + kNumberTextRoom;
    laid_out_ = true;
}

std::size_t MetricsFile::Fill(const Form1& f, double unix_seconds, std::string& buffer,
                              const MetricsCounts& counts) {
    const MonitorState& m = f.monitor;
    if (buffer.size() < room_) buffer.resize(room_);
    char* const start = buffer.data();
    char* out = start;
    for (const Piece& p : pieces_) {
        std::memcpy(out, p.before.data(), p.before.size());
        out += p.before.size();
        const auto i = static_cast<std::size_t>(p.index);
        switch (p.slot) {
            case Slot::Temperature:
                out = PutInteger(out, m.temps[i]);
                break;
            case Slot::FanSpeed:
                out = PutInteger(out, m.fan_speeds[i]);
                break;
            case Slot::Limit:
                out = PutInteger(out, TemperatureLimit(f, p.index));
                break;
            case Slot::Volts:
                out = PutThousandths(out, m.volts[i]);
                break;
            case Slot::InTolerance:
                *out++ = m.volt_in_tolerance[i] ? '1' : '0';
                break;
            case Slot::Status:
                out = PutInteger(out, m.g_ErrorCode);
                break;
            case Slot::Lasting:
                *out++ = m.alarm_lasting ? '1' : '0';
                break;
            case Slot::Critical:
                out = PutInteger(out, m.g_Critical);
                break;
            case Slot::Reachable:
                *out++ = m.hardware_unreachable ? '0' : '1';
                break;
            case Slot::SetupProblem:
                *out++ = HasSetupProblem(f, static_cast<SetupReason>(p.index)) ? '1' : '0';
                break;
            case Slot::Timestamp:  // whole seconds: plenty for telling a silent terminal
                out = PutInteger(out, static_cast<long long>(std::floor(unix_seconds)));
                break;
            case Slot::Restored:
                out = PutInteger(out, counts.restored);
                break;
            case Slot::ViewsDropped:
                out = PutInteger(out, static_cast<long long>(counts.views_dropped));
                break;
            case Slot::PolicyValues:
                out = PutInteger(out, static_cast<long long>(f.policy.count()));
                break;
            case Slot::FanRatio:
                out = PutThousandths(out, f.maintenance.fan_ratio[i]);
                break;
            case Slot::RiseExcess:
                out = PutThousandths(out, f.maintenance.rise_excess);
                break;
        }
    }
    std::memcpy(out, after_.data(), after_.size());
    out += after_.size();
    return static_cast<std::size_t>(out - start);
}

std::size_t MetricsFile::Build(const Form1& f, double unix_seconds, std::string& buffer,
                               const MetricsCounts& counts) {
    if (&f.sys.driver != driver_) {
        driver_ = &f.sys.driver;
        facts_ = LibraryFactsOf(f.sys.driver);
    }
    if (!SameShape(f)) {
        TakeShape(f);
        Layout(f);
    }
    return Fill(f, unix_seconds, buffer, counts);
}

std::string_view MetricsFile::Text(const Form1& f, double unix_seconds,
                                   const MetricsCounts& counts) {
    const std::size_t size = Build(f, unix_seconds, text_, counts);
    return {text_.data(), size};
}

}  // namespace kelvane
