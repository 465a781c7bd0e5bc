#include "app/chip_steps.h"

#include "app/load_settings.h"
#include "app/startup.h"
#include "base/failure_policy.h"
#include "chip/port_program.h"
#include "monitor/readout.h"
#include "setup/setup_problem.h"
#include "state/channels.h"
#include "state/chip_views.h"

namespace kelvane {

void RunChipSteps(Form1& f, FanWatch* watch, ChipStepsAt at) {
    const bool startup = at == ChipStepsAt::Startup;
    if (startup)
        SkipOnError([&] { IdentifyChip(f); });
    else
        IdentifyChip(f);  // until the library answers, the next tick tries again
    // From here on nothing touches a port the chip says is not its monitor.
    WithholdMisplacedMonitor(f);
    // Start-up took its snapshot before identification.
    if (!startup) TakeRegisterSnapshot(f);
    // The layout decides which registers the monitor will write; the port program may be
    // the first to write them.
    if (watch != nullptr) SkipOnError([&] { watch->NotePowerOnValues(); });
    // The loader runs the port program itself before its first key.
    if (startup || HasSetupProblem(f, SetupReason::PortProgramFailed)) {
        SkipOnError([&] { LoadSettings(f); });
        WithholdMisplacedMonitor(f);
    } else {
        // As at start-up, a port program that fails does not keep the fans from their settings.
        SkipOnError([&] { RunPortProgram(f.sys.files, f.chip, f.ProgramFile("kelvane.dat")); });
        SkipOnError([&] { ReloadFanRecords(f); });
    }
    SkipOnError([&] { InitFanDivisors(f); });
    ApplyScope scope = StartupApplyScope(f.findings);
    if (!startup) scope.topmost = scope.autostart = false;
    SkipOnError([&] { ApplySettings(ApplyContextOf(f), kFalse, scope); });
    // The expressions the loader read need their tables.
    SkipOnError([&] { BuildReadingTables(f); });
}

void LateChipSteps::BeforeTick(Form1& f) {
    if (f.findings.chip_identified) return;
    // Until the library answers, identification fails at its first call and the tick shows
    // the monitor as unreachable.
    SkipOnError([&] { RunChipSteps(f, watch_, ChipStepsAt::FirstReach); });
}

}  // namespace kelvane
