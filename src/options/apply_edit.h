#pragma once
// The options dialog's Apply, wherever the edit comes from: the dialog's own working copies,
// or a view's settings change that the owner of the chip applies for it.
#include <array>
#include <string>

#include "base/int16.h"
#include "base/settings.h"
#include "state/form1.h"

namespace kelvane {

// What an Apply takes into the settings, and nothing else.
struct OptionsEdit {
    std::array<FanCtrlRecord, 3> fans{};  // Mode, SwFan, TmpAlarm and the layout's set points
    std::array<i16, 9> vin_enable{};
    std::array<i16, 9> vin_percent{};
    i16 display_scale = 0;
    i16 display_on_top = 0;
    i16 sound_warning = 0;
    i16 execute_at_startup = 0;
};

// Takes the edit into the settings (the set points only as far as the chip's register
// layout has them), programs the chip, sets the topmost state and the Run value, saves, and
// tells the tick listeners. Returns what did not take effect, for the user; empty when all did.
std::string ApplyOptionsEdit(Form1& f, const OptionsEdit& edit);

}  // namespace kelvane
