#include "setup/setup_problem.h"

#include <cstdio>

#include "chip/chip_identification.h"
#include "state/status_line.h"

namespace kelvane {
namespace {

std::string Hex(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%03X", static_cast<unsigned>(value) & 0xFFFFu);
    return text;
}

int ChipIndexPort(const Form1& f) { return f.findings.monitor_base + kMonitorIndexOffset; }

int AddressPort(const Form1& f) { return static_cast<std::uint16_t>(f.settings.g_Address); }

std::string StopPoint(const Form1& f) {
    return "[" + f.findings.stopped_section + "] " + f.findings.stopped_key;
}

std::string Joined(const std::vector<std::string>& keys) {
    std::string text;
    for (const std::string& key : keys) text += (text.empty() ? "" : ", ") + key;
    return text;
}

std::optional<std::size_t> FirstPartialFan(const Form1& f) {
    for (std::size_t n = 0; n < f.findings.fan_keys_missing.size(); ++n)
        if (!f.findings.fan_keys_missing[n].empty()) return n;
    return std::nullopt;
}

// The keys may come from either of the fan's sections; the full text names both.
std::string PartialFanText(const Form1& f, std::size_t n, bool full) {
    const std::string index = std::to_string(n);
    return f.settings.g_FanCtrl[n].Caption + " (fan " + index +
           (full ? ", [Fan Ctrl Option " + index + "] or [Default Fan Ctrl " + index + "]" : "") +
           ") lacks " + Joined(f.findings.fan_keys_missing[n]);
}

}  // namespace

const char* SetupReasonName(SetupReason reason) {
    switch (reason) {
        case SetupReason::SettingsUnreadable:
            return "settings_unreadable";
        case SetupReason::SettingsStopped:
            return "settings_stopped";
        case SetupReason::PortProgramFailed:
            return "port_program_failed";
        case SetupReason::ChipNotIdentified:
            return "chip_not_identified";
        case SetupReason::MonitorNotAtAddress:
            return "monitor_not_at_address";
        case SetupReason::FanSettingsPartial:
            return "fan_settings_partial";
        case SetupReason::HistoryUnwritable:
            return "history_unwritable";
        case SetupReason::PolicyRejected:
            return "policy_value_rejected";
        case SetupReason::BaselineUnreadable:
            return "maintenance_baseline_unreadable";
    }
    return "unknown";
}

bool MonitorMisplaced(const Form1& f) {
    return f.findings.monitor_base >= 0 && ChipIndexPort(f) != AddressPort(f);
}

bool HasSetupProblem(const Form1& f, SetupReason reason) {
    const StartupFindings& found = f.findings;
    const bool stopped = !found.settings_read_to_end && !found.gate_handed_over;
    switch (reason) {
        case SetupReason::SettingsUnreadable:
            return stopped && found.settings_unreadable;
        case SetupReason::SettingsStopped:
            return stopped && !found.stopped_key.empty();
        case SetupReason::PortProgramFailed:
            return stopped && found.stopped_key.empty() && found.stopped_section == "kelvane.dat";
        case SetupReason::ChipNotIdentified:
            return !found.chip_identified;
        case SetupReason::MonitorNotAtAddress:
            return MonitorMisplaced(f);
        case SetupReason::FanSettingsPartial:
            return FirstPartialFan(f).has_value();
        case SetupReason::HistoryUnwritable:
            return !f.unwritable_data_folder.empty();
        case SetupReason::PolicyRejected:
            return !f.policy.problems().empty();
        case SetupReason::BaselineUnreadable:
            return !f.maintenance.baseline_unreadable.empty();
    }
    return false;
}

std::optional<SetupReason> FirstSetupProblem(const Form1& f) {
    for (const SetupReason r : kSetupReasons)
        if (HasSetupProblem(f, r)) return r;
    return std::nullopt;
}

std::vector<SetupReason> SetupProblems(const Form1& f) {
    std::vector<SetupReason> found;
    for (const SetupReason r : kSetupReasons)
        if (HasSetupProblem(f, r)) found.push_back(r);
    return found;
}

std::string SetupShortText(const Form1& f, SetupReason reason) {
    switch (reason) {
        case SetupReason::SettingsUnreadable:
            return "Check settings: kelvane.ini cannot be read";
        case SetupReason::SettingsStopped:
            return "Check settings: stopped at " + StopPoint(f);
        case SetupReason::PortProgramFailed:
            return "Check kelvane.dat: the port program failed";
        case SetupReason::ChipNotIdentified:
            return "Chip not identified: check brantelvio.dll";
        case SetupReason::MonitorNotAtAddress:
            return "Hardware monitor not at " + Hex(AddressPort(f)) + " (the chip says " +
                   Hex(ChipIndexPort(f)) + ")";
        case SetupReason::FanSettingsPartial:
            return "Check settings: " + PartialFanText(f, FirstPartialFan(f).value_or(0), false);
        case SetupReason::HistoryUnwritable:
            return "Check history folder: " + f.unwritable_data_folder + " cannot be written";
        case SetupReason::PolicyRejected:
            return f.policy.problems().empty() ? std::string() : f.policy.problems().front();
        case SetupReason::BaselineUnreadable:
            return "Check maintenance baseline: " + f.maintenance.baseline_unreadable + " is torn";
    }
    return {};
}

std::string SetupFullText(const Form1& f, SetupReason reason) {
    switch (reason) {
        case SetupReason::SettingsUnreadable:
            return "kelvane.ini is there but cannot be read (a folder of that name, locked by "
                   "another program, or no right to read it). Kelvane runs on its built-in "
                   "settings and leaves the fans as the chip has them. Make kelvane.ini a "
                   "readable file, then restart Kelvane.";
        case SetupReason::SettingsStopped:
            return "the settings loader stopped at " + StopPoint(f) +
                   ": its value does not fit. The keys after it keep their defaults. Correct "
                   "the value, then restart Kelvane.";
        case SetupReason::PortProgramFailed:
            return "the port program kelvane.dat failed, so no key of kelvane.ini was read. "
                   "Check kelvane.dat and brantelvio.dll, then restart Kelvane.";
        case SetupReason::ChipNotIdentified:
            return "the chip was not identified: brantelvio.dll is missing or its calls "
                   "failed, so the fan-control register layout is unknown. Install the "
                   "driver library in Kelvane's folder.";
        case SetupReason::MonitorNotAtAddress: {
            // Removing the key helps only where the chip sits at the default port.
            const int port = ChipIndexPort(f);
            return SetupShortText(f, reason) + ". Kelvane does not read or write there. Set " +
                   "Address=" + std::to_string(port) + " in [Option] of kelvane.ini" +
                   (port == kDefaultAddress ? " (or remove the key)" : "") +
                   ", then restart Kelvane.";
        }
        case SetupReason::FanSettingsPartial: {
            std::string fans;
            for (std::size_t n = 0; n < f.findings.fan_keys_missing.size(); ++n)
                if (!f.findings.fan_keys_missing[n].empty())
                    fans += (fans.empty() ? "" : "; ") + PartialFanText(f, n, true);
            return "kelvane.ini gives a fan only part of its settings for this chip: " + fans +
                   ". Kelvane leaves such a fan on the chip's own settings. Add the missing keys "
                   "(or remove the fan's keys to keep the chip's settings on purpose), then "
                   "restart Kelvane.";
        }
        case SetupReason::HistoryUnwritable:
            return "the history folder " + f.unwritable_data_folder +
                   " cannot be written (the disk is full, or no right to write there). The "
                   "last 24 hours stay in memory, and the day file's rows that waited are "
                   "written once the folder can be written again. Free space on the disk or "
                   "give Kelvane the right to write there, or set Folder in [History] of "
                   "kelvane.ini.";
        case SetupReason::PolicyRejected: {
            std::string rejected;
            for (const std::string& problem : f.policy.problems())
                rejected += (rejected.empty() ? "" : ". ") + problem;
            return rejected +
                   ". Correct the Group Policy object or MDM profile that sets it; the change "
                   "takes effect within seconds, without a restart.";
        }
        case SetupReason::BaselineUnreadable:
            return "the maintenance baseline " + f.maintenance.baseline_unreadable +
                   " is torn or cannot be read, so the maintenance notice compares nothing. "
                   "Kelvane does not learn the terminal's normal again on its own, which on a "
                   "clogged terminal would make the clog its normal. Clean the terminal, then "
                   "delete the file: Kelvane learns again from then on.";
    }
    return {};
}

StatusHolder StatusHolderOf(const Form1& f) {
    const MonitorState& m = f.monitor;
    if (m.g_ErrorCode != 0 || m.alarm_lasting) return StatusHolder::MachineFault;
    if (m.hardware_unreachable) return StatusHolder::Unreachable;
    if (FirstSetupProblem(f)) return StatusHolder::SetupProblem;
    return StatusHolder::Normal;
}

void WithholdMisplacedMonitor(Form1& f) { f.chip.WithholdMonitor(MonitorMisplaced(f)); }

void SetupStatusLine::BeforeTell(Form1& f) {
    // Without a reading the design captions would pass for values.
    if (!HasReading(f))
        for (Control& field : f.window.TempLabel) field.caption = kNoValue;
    if (StatusHolderOf(f) != StatusHolder::SetupProblem) return;
    // A line the cycle left on "Normal..." or never wrote (no tick reached the monitor).
    if (!StatusLineFree(f)) return;
    SetStatusLine(f, StatusLine::SetupProblem, kStatusBlue,
                  SetupShortText(f, *FirstSetupProblem(f)));
}

}  // namespace kelvane
