#pragma once
// The events the fleet's event log receives: start and end, a settings file that stopped
// at a key, the set-file gate handing over, and the transitions of the machine's state and of
// its set-up problems after a tick. Each transition is reported once, never once per tick.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "export/export_services.h"
#include "failsafe/fan_watch.h"
#include "state/form1.h"

namespace kelvane {

// Fixed ids, the same as the message table compiled into kelvane.exe.
namespace event_id {
inline constexpr int kStarted = 1;
inline constexpr int kEnded = 2;
inline constexpr int kSettingsStopped = 3;
inline constexpr int kGateHandedOver = 4;
inline constexpr int kStartFailed = 5;
inline constexpr int kFaultBegins = 10;
inline constexpr int kBackToNormal = 11;
inline constexpr int kFanSettingsRestored = 12;
inline constexpr int kFanSettingsNotKept = 13;
inline constexpr int kUnreachable = 20;
inline constexpr int kReachedAgain = 21;
inline constexpr int kSetupProblem = 30;
inline constexpr int kSetupProblemGone = 31;
inline constexpr int kHistoryUnwritable = 40;
inline constexpr int kMaintenanceNotice = 50;
inline constexpr int kMaintenanceNoticeEnds = 51;
inline constexpr int kBaselineStartedOver = 52;
inline constexpr int kPolicyChanged = 60;
}  // namespace event_id

// "CPU 45 C, fan 2500 rpm; System ..." for the three channels, by their headings.
std::string ReadingsText(const Form1& f);

class FleetEvents : public TickListener, public FanWatchEvents {
  public:
    explicit FleetEvents(EventSink& sink) : sink_(sink) {}

    // After the start-up sequence: the gate's hand-over when it ended the start, a broken
    // installation (`fatal`, told where no one may see a message box), otherwise a settings
    // file read only in part, then the start itself.
    void AfterLoad(const Form1& f, bool running, const std::string& fatal = {});
    void AfterTick(const Form1& f) override;
    void BeforeUnload(const Form1& f) override;

    void SettingsRestored(const Form1& f, RestoreReason reason) override;
    void SettingsNotKept(const Form1& f) override;
    void HandedBack(const Form1&, HandBackOutcome outcome) override { handed_back_ = outcome; }

    // The incident file of the episode in progress, named by the fault and unreachable
    // events; the history is told the tick before the events are.
    void NameIncidentsWith(std::function<std::string()> incident_file) {
        incident_file_ = std::move(incident_file);
    }
    // The history's data folder cannot be written (told once by the history).
    void HistoryUnwritable(const Form1& f, const std::string& folder);
    // Policy values changed and were put in force (keys of the policy table).
    void PolicyChanged(const Form1& f, const std::vector<std::size_t>& keys);

  private:
    std::string IncidentFile() const;
    const char* HandBackText() const;
    void Report(const Form1& f, int id, EventKind kind, std::vector<std::string> strings);
    void ReportSetupProblems(const Form1& f);
    void ReportMaintenance(const Form1& f);

    EventSink& sink_;
    std::function<std::string()> incident_file_;
    bool lasting_ = false;
    bool unreachable_ = false;
    bool ended_ = false;
    std::vector<bool> setup_problems_;            // by reason, as last reported
    std::optional<HandBackOutcome> handed_back_;  // once told
    std::array<bool, 3> notices_{};               // by maintenance reason, as last reported
    std::uint32_t started_over_ = 0;
};

}  // namespace kelvane
