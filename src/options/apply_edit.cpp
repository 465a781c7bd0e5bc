#include "options/apply_edit.h"

#include <optional>

#include "base/failure_policy.h"
#include "options/apply_failure.h"
#include "state/chip_views.h"

namespace kelvane {

std::string ApplyOptionsEdit(Form1& f, const OptionsEdit& edit) {
    Settings& g = f.settings;
    const bool newer_layout = IsTrue(f.KelvaneFanFlag);
    const bool delta = newer_layout && IsTrue(f.KelvaneFanSpecialFlag);
    for (std::size_t j = 0; j < g.g_FanCtrl.size(); ++j) {
        FanCtrlRecord& to = g.g_FanCtrl[j];
        FanCtrlRecord from = edit.fans[j];
        to.Mode = from.Mode;
        to.SwFan = from.SwFan;
        to.TmpAlarm = from.TmpAlarm;
        for (const FanSetPointKey& k : FanSetPointKeys(newer_layout, delta))
            FanSetPointField(to, k) = FanSetPointField(from, k);
    }
    for (std::size_t i = 0; i < g.g_Vin.size(); ++i) {
        g.g_Vin[i].Enable = edit.vin_enable[i];
        g.g_Vin[i].Percent = edit.vin_percent[i];
    }
    g.g_DisplayScale = edit.display_scale;
    g.g_DisplayOnTop = edit.display_on_top;
    g.g_SoundWarnning = edit.sound_warning;
    g.g_ExecuteAtStartup = edit.execute_at_startup;
    ApplyOutcome outcome;
    std::optional<ErrorKind> chip_error;
    try {
        ApplySettings(ApplyContextOf(f), kTrue, &outcome);
    } catch (const RuntimeError& e) {
        chip_error = e.kind();
    }
    // The settings image changed even when the chip or the file did not follow.
    TellApplied(f);
    return ApplyFailureMessage(outcome, g.g_ExecuteAtStartup, chip_error);
}

}  // namespace kelvane
