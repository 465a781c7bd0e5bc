#include "options/apply_edit.h"

#include <optional>

#include "base/failure_policy.h"
#include "options/apply_failure.h"
#include "policy/policy_keys.h"
#include "state/chip_views.h"

namespace kelvane {
namespace {

// An edit may come over the pipe from a view, so a fan value the dialog cannot set is refused
// before anything is taken. A value the settings already hold passes: a hand-written file may
// have one that the dialog only shows within its range.
std::string OutOfRange(const Settings& g, const OptionsEdit& edit, bool newer_layout, bool delta) {
    for (std::size_t j = 0; j < g.g_FanCtrl.size(); ++j) {
        FanCtrlRecord now = g.g_FanCtrl[j], wanted = edit.fans[j];
        auto check = [&](const char* key, i16 value, i16 held) -> std::string {
            const policy::PolicyKey& rule = policy::FanKeyRule(key);
            if (value == held || (value >= rule.min && value <= rule.max)) return {};
            return "Fan Ctrl Option " + std::to_string(j) + "\\" + key + "=" +
                   std::to_string(value) + " is outside " + std::to_string(rule.min) + ".." +
                   std::to_string(rule.max) + ": nothing was changed.";
        };
        std::string fault = check("SwFan", wanted.SwFan, now.SwFan);
        if (fault.empty()) fault = check("TmpAlarm", wanted.TmpAlarm, now.TmpAlarm);
        for (const FanSetPointKey& k : FanSetPointKeys(newer_layout, delta))
            if (fault.empty())
                fault = check(k.key, FanSetPointField(wanted, k), FanSetPointField(now, k));
        if (!fault.empty()) return fault;
    }
    return {};
}

}  // namespace

std::string ApplyOptionsEdit(Form1& f, const OptionsEdit& edit) {
    Settings& g = f.settings;
    const bool newer_layout = IsTrue(f.KelvaneFanFlag);
    const bool delta = newer_layout && IsTrue(f.KelvaneFanSpecialFlag);
    if (std::string fault = OutOfRange(g, edit, newer_layout, delta); !fault.empty()) return fault;
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
