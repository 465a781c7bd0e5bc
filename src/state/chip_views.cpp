#include "state/chip_views.h"

namespace kelvane {

void IdentifyChip(Form1& f) {
    f.KelvaneFanFlag = CheckChipRevision(f.chip, f.KelvaneFanSpecialFlag, f.findings.chip_id,
                                         f.findings.chip_revision);
}

ApplyContext ApplyContextOf(Form1& f) { return ApplyContextOf(f, f.settings); }

ApplyContext ApplyContextOf(Form1& f, Settings& settings) {
    ApplyContext c{settings,
                   f.chip,
                   f.KelvaneFanFlag,
                   f.KelvaneFanSpecialFlag,
                   {},
                   {},
                   {},
                   f.sys.host,
                   f.sys.registry,
                   f.sys.profile,
                   f.program_folder + "\\" + f.exe_name + ".exe",
                   &f.last_apply};
    for (size_t i = 0; i < 3; ++i) {
        c.heading_visible[i] = f.window.KelvaneLabel[i].visible;
        c.heading_tags[i] = f.window.KelvaneLabel[i].tag;
        c.fan_selector_tags[i] = f.window.FanLed[i].tag;
    }
    return c;
}

ApplyScope ScopeOfLoadedSettings(const StartupFindings& found) {
    return {found.fan_ctrl_read, found.display_on_top_read, found.execute_at_startup_read};
}

LedStyle LedStyleOf(const Form1& f) {
    return {f.sys.surfaces, f.settings.g_DisplayScale == 1, f.window.visible};
}

}  // namespace kelvane
