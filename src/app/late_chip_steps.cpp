#include "app/late_chip_steps.h"

#include "app/load_settings.h"
#include "app/startup.h"
#include "base/failure_policy.h"
#include "failsafe/reprogram.h"
#include "monitor/readout.h"
#include "setup/setup_problem.h"
#include "state/channels.h"
#include "state/chip_views.h"

namespace kelvane {

void RunStartupChipSteps(Form1& f) {
    IdentifyChip(f);
    WithholdMisplacedMonitor(f);
    SkipOnError([&] { InitFanDivisors(f); });
    TakeRegisterSnapshot(f);
    StartupFindings& found = f.findings;
    const bool port_program_stopped = HasSetupProblem(f, SetupReason::PortProgramFailed);
    if (port_program_stopped) {
        // The loader runs the port program itself before its first key.
        SkipOnError([&] { LoadSettings(f); });
        WithholdMisplacedMonitor(f);
        ApplyScope scope = StartupApplyScope(found);
        scope.topmost = scope.autostart = false;
        // The expressions it read need their tables, as after start-up's loader.
        SkipOnError([&] { BuildReadingTables(f); });
        ApplySettings(ApplyContextOf(f), kFalse, scope);
        return;
    }
    SkipOnError([&] { ReloadFanRecords(f); });
    SkipOnError([&] { BuildReadingTables(f); });
    ProgramChipFromSettings(f, StartupApplyScope(found));
}

void LateChipSteps::BeforeTick(Form1& f) {
    if (f.findings.chip_identified) return;
    // Until the library answers, identification fails at its first call and the tick shows
    // the monitor as unreachable.
    SkipOnError([&] { RunStartupChipSteps(f); });
}

}  // namespace kelvane
