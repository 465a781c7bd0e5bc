#include "failsafe/reprogram.h"

#include "base/failure_policy.h"
#include "base/int16.h"
#include "chip/port_program.h"
#include "state/chip_views.h"

namespace kelvane {
namespace {

// kelvane.dat, then the fan part of an apply: nothing else of it is repeated.
void PortProgramThenFans(Form1& f, Settings& used, ApplyScope scope) {
    // As at start-up, a port program that fails does not keep the fans from their settings.
    SkipOnError([&] { RunPortProgram(f.sys.files, f.chip, f.ProgramFile("kelvane.dat")); });
    scope.topmost = scope.autostart = false;
    ApplySettings(ApplyContextOf(f, used), kFalse, scope);
}

}  // namespace

void ReprogramChip(Form1& f, const std::array<bool, 3>& fans) {
    // The settings of the apply, not what the dialog may have changed since without applying.
    Settings used = f.settings;
    ApplyScope scope;
    for (size_t n = 0; n < 3; ++n) {
        const FanApplyRecord& fan = f.last_apply.fans[n];
        scope.fans[n] = fans[n] && fan.covered;
        if (fan.covered) used.g_FanCtrl[n] = fan.settings;
    }
    PortProgramThenFans(f, used, scope);
}

}  // namespace kelvane
