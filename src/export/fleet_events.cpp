#include "export/fleet_events.h"

#include <utility>

#include "export/metrics_text.h"
#include "policy/policy_values.h"
#include "setup/setup_problem.h"
#include "state/channels.h"

namespace kelvane {
namespace {

std::string ChipText(const Form1& f) {
    const StartupFindings& s = f.findings;
    if (s.chip_id < 0) return "not identified";
    std::string text = "id " + std::to_string(s.chip_id);
    if (s.chip_revision >= 0) text += " revision " + std::to_string(s.chip_revision);
    return text;
}

std::string StoppedAt(const Form1& f) {
    const StartupFindings& s = f.findings;
    if (s.settings_unreadable) return "its start: the file cannot be read";
    if (s.stopped_key.empty()) return "the port program " + s.stopped_section;
    return "key " + s.stopped_key + " in section [" + s.stopped_section + "]";
}

}  // namespace

std::string ReadingsText(const Form1& f) {
    std::string text;
    for (int n = 0; n < 3; ++n) {
        const auto i = static_cast<std::size_t>(n);
        if (n > 0) text += "; ";
        text += ChannelName(f, n) + " " + std::to_string(f.monitor.temps[i]) + " C, fan " +
                std::to_string(f.monitor.fan_speeds[i]) + " rpm";
    }
    return text;
}

void FleetEvents::Report(const Form1& f, int id, EventKind kind, std::vector<std::string> strings) {
    if (!IsTrue(f.settings.g_ExportEventLog)) return;
    sink_.Report(FleetEvent{id, kind, std::move(strings)});
}

void FleetEvents::AfterLoad(const Form1& f, bool running, const std::string& fatal) {
    if (f.findings.gate_handed_over) {
        Report(f, event_id::kGateHandedOver, EventKind::Warning,
               {f.g_ProgramRoot + kToolFolder + "quick.exe"});
        return;
    }
    if (!fatal.empty()) Report(f, event_id::kStartFailed, EventKind::Error, {fatal});
    if (!running) return;
    if (!f.findings.settings_read_to_end)
        Report(f, event_id::kSettingsStopped, EventKind::Warning, {StoppedAt(f)});
    Report(f, event_id::kStarted, EventKind::Information,
           {kKelvaneVersion, ChipText(f), LayoutName(f), DriverKind(f.sys.driver)});
}

void FleetEvents::AfterTick(const Form1& f) {
    const MonitorState& m = f.monitor;
    if (m.hardware_unreachable != unreachable_) {
        unreachable_ = m.hardware_unreachable;
        if (unreachable_)
            Report(f, event_id::kUnreachable, EventKind::Error, {IncidentFile()});
        else
            Report(f, event_id::kReachedAgain, EventKind::Information, {});
    }
    ReportSetupProblems(f);
    ReportMaintenance(f);
    if (m.alarm_lasting != lasting_) {
        lasting_ = m.alarm_lasting;
        if (lasting_)
            Report(f, event_id::kFaultBegins, EventKind::Warning,
                   {m.g_ErrorMsg, ReadingsText(f), IncidentFile()});
        else
            Report(f, event_id::kBackToNormal, EventKind::Information, {ReadingsText(f)});
    }
}

// A problem that appears is named; 31 once none is left.
void FleetEvents::ReportSetupProblems(const Form1& f) {
    if (setup_problems_.empty()) setup_problems_.assign(kSetupReasons.size(), false);
    bool any_before = false, any_now = false;
    for (std::size_t i = 0; i < kSetupReasons.size(); ++i) {
        const bool now = HasSetupProblem(f, kSetupReasons[i]);
        any_before = any_before || setup_problems_[i];
        any_now = any_now || now;
        if (now && !setup_problems_[i])
            Report(f, event_id::kSetupProblem, EventKind::Warning,
                   {SetupFullText(f, kSetupReasons[i]), SetupReasonName(kSetupReasons[i])});
        setup_problems_[i] = now;
    }
    if (any_before && !any_now) Report(f, event_id::kSetupProblemGone, EventKind::Information, {});
}

void FleetEvents::ReportMaintenance(const Form1& f) {
    const MaintenanceState& m = f.maintenance;
    if (m.started_over != started_over_) {
        started_over_ = m.started_over;
        Report(f, event_id::kBaselineStartedOver, EventKind::Information, {});
    }
    for (std::size_t r = 0; r < notices_.size(); ++r) {
        if (m.notice[r] == notices_[r]) continue;
        notices_[r] = m.notice[r];
        const char* reason = MaintenanceReasonName(kMaintenanceReasons[r]);
        if (notices_[r])
            Report(f, event_id::kMaintenanceNotice, EventKind::Information, {m.text[r], reason});
        else
            Report(f, event_id::kMaintenanceNoticeEnds, EventKind::Information, {reason});
    }
}

std::string FleetEvents::IncidentFile() const {
    const std::string path = incident_file_ ? incident_file_() : std::string();
    return path.empty() ? "none" : path;
}

void FleetEvents::HistoryUnwritable(const Form1& f, const std::string& folder) {
    Report(f, event_id::kHistoryUnwritable, EventKind::Warning, {folder});
}

void FleetEvents::PolicyChanged(const Form1& f, const std::vector<std::size_t>& keys) {
    Report(f, event_id::kPolicyChanged, EventKind::Information, {policy::KeyNames(keys)});
}

void FleetEvents::BeforeUnload(const Form1& f) {
    if (ended_) return;
    ended_ = true;
    Report(f, event_id::kEnded, EventKind::Information, {kKelvaneVersion, HandBackText()});
}

const char* FleetEvents::HandBackText() const {
    if (!handed_back_) return "The fans were not handed back to the chip.";
    switch (*handed_back_) {
        case HandBackOutcome::HandedBack:
            return "The fans were handed back to the chip.";
        case HandBackOutcome::NothingToHandBack:
            return "The hardware monitor was never reached: the fans kept the chip's own settings.";
        case HandBackOutcome::NotReached:
            break;
    }
    return "The chip could not be reached: the fans were not handed back.";
}

void FleetEvents::SettingsRestored(const Form1& f, RestoreReason reason) {
    Report(f, event_id::kFanSettingsRestored, EventKind::Information,
           {reason == RestoreReason::Resume ? "after resume" : "registers changed"});
}

void FleetEvents::SettingsNotKept(const Form1& f) {
    Report(f, event_id::kFanSettingsNotKept, EventKind::Warning, {});
}

}  // namespace kelvane
