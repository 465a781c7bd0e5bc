#include "state/chip_views.h"

namespace kelvane {

void IdentifyChip(Form1& f) {
    StartupFindings& found = f.findings;
    found.chip_identified = false;
    found.monitor_base = -1;
    f.KelvaneFanFlag =
        CheckChipRevision(f.chip, f.KelvaneFanSpecialFlag, found.chip_id, found.chip_revision);
    found.chip_identified = true;
    // Only a chip that names itself has the monitor's base where we look; a dead bus or an
    // unknown chip tells nothing about where its monitor is.
    if (ChipNamesItself(found.chip_id)) found.monitor_base = ReadMonitorBase(f.chip);
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
                   f.profile,
                   f.ProgramFile(f.exe_name + ".exe"),
                   &f.last_apply};
    for (size_t i = 0; i < 3; ++i) {
        c.heading_visible[i] = f.window.KelvaneLabel[i].visible;
        c.heading_tags[i] = f.window.KelvaneLabel[i].tag;
        c.fan_selector_tags[i] = f.window.FanLed[i].tag;
    }
    return c;
}

ApplyScope ScopeOfLoadedSettings(const StartupFindings& found) {
    ApplyScope scope{found.fan_ctrl_read, found.display_on_top_read, found.execute_at_startup_read};
    for (size_t n = 0; n < 3; ++n) scope.fans[n] = scope.fans[n] && found.fan_described[n];
    return scope;
}

ApplyScope StartupApplyScope(StartupFindings& found) {
    const ApplyScope scope = ScopeOfLoadedSettings(found);
    for (size_t n = 0; n < 3; ++n) found.fans_left_to_chip[n] = !scope.fans[n];
    return scope;
}

bool FanKeepsChipSettings(const Form1& f, std::size_t n) {
    return f.findings.fans_left_to_chip.at(n) && !f.last_apply.fans.at(n).covered;
}

LedStyle LedStyleOf(const Form1& f) {
    return {f.sys.surfaces, Fahrenheit(f.settings), f.window.visible};
}

}  // namespace kelvane
