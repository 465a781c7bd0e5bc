#pragma once
// Set-up problems: what the technician must fix, as opposed to a fault of the machine. They
// are told where a technician and the fleet look (status line, tray tip, About, Event Log,
// metrics file) but never as an alarm and never as health.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "state/form1.h"

namespace kelvane {

enum class SetupReason {
    SettingsUnreadable,   // kelvane.ini is there but cannot be read
    SettingsStopped,      // the settings loader stopped at a key
    PortProgramFailed,    // kelvane.dat failed, so the loader read no key
    ChipNotIdentified,    // identification could not run (no library, or its calls failed)
    MonitorNotAtAddress,  // the chip says its hardware monitor is not at Address
    FanSettingsPartial,   // a fan record gives some but not all of what its layout programs
    HistoryUnwritable,    // the history's latest write failed (a full disk, no right to write)
    PolicyRejected,       // a policy value has the wrong type or lies outside its range
    BaselineUnreadable,   // the maintenance baseline is torn or cannot be read
};

inline constexpr std::array<SetupReason, 9> kSetupReasons = {
    SetupReason::SettingsUnreadable,  SetupReason::SettingsStopped,
    SetupReason::PortProgramFailed,   SetupReason::ChipNotIdentified,
    SetupReason::MonitorNotAtAddress, SetupReason::FanSettingsPartial,
    SetupReason::HistoryUnwritable,   SetupReason::PolicyRejected,
    SetupReason::BaselineUnreadable};

// The metrics label value: "settings_unreadable" and so on.
const char* SetupReasonName(SetupReason reason);

bool HasSetupProblem(const Form1& f, SetupReason reason);
std::vector<SetupReason> SetupProblems(const Form1& f);
// The first of them, without building the list: the status line asks on every tick.
std::optional<SetupReason> FirstSetupProblem(const Form1& f);

// One line for the status line and the tray tip, such as "Check settings: kelvane.ini cannot
// be read"; the full text, with what to do, for About and the Event Log.
std::string SetupShortText(const Form1& f, SetupReason reason);
std::string SetupFullText(const Form1& f, SetupReason reason);

// Who words the status line after a tick: a machine fault (codes 1-4, or a fault still on the
// label) first, then a hardware monitor that cannot be reached, then a set-up problem.
enum class StatusHolder { MachineFault, Unreachable, SetupProblem, Normal };
StatusHolder StatusHolderOf(const Form1& f);

// Where the chip has its hardware monitor's index port, when it said so; and whether that
// is not where Address points.
bool MonitorMisplaced(const Form1& f);

// Once the chip has said where its monitor is: no register access at a wrong Address.
void WithholdMisplacedMonitor(Form1& f);

// What a voltage field shows while no reading reaches it: an en dash in the ANSI code page.
inline constexpr const char* kNoValue = "\x96";

// Words the status line in place of "Normal..." while a set-up problem holds it, in the
// line's normal colour; and shows "–" in the voltage fields while no reading reaches them.
class SetupStatusLine final : public TickListener {
  public:
    void BeforeTell(Form1& f) override;
    void AfterTick(const Form1&) override {}
};

}  // namespace kelvane
