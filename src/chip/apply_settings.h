#pragma once
// Makes the current settings take effect: the settings file (when saving), the fan
// controller for every fan shown on the main window, the topmost state and the autostart
// value. A value that does not fit its register field raises RuntimeError before any register
// of its fan is touched and abandons the rest.
#include <array>
#include <string>

#include "base/int16.h"
#include "base/platform.h"
#include "base/profile.h"
#include "base/settings.h"
#include "chip/chip_access.h"

namespace kelvane {

// What an apply could not do, for the options dialog to tell; start-up passes none. A
// run-time error still propagates: the caller counts it as the chip not programmed.
struct ApplyOutcome {
    bool settings_saved = true;  // every key reached kelvane.ini
    bool run_value_set = true;   // the Run value was set or removed as asked
};

// The main window's topmost band, which an apply sets from DisplayOnTop.
class TopmostWindow {
  public:
    virtual ~TopmostWindow() = default;
    virtual void SetTopmost(bool topmost) = 0;  // SetWindowPos without moving or sizing
};

// What an apply uses of the program: the settings (a fan whose two set points are equal
// gets the upper one raised, kept for the next save), the chip and its layout flags, the
// main window's headings (a shown heading's tag names its fan) and fan selectors (the FanLed
// tags: each fan's automatic selector), and where the results go.
struct ApplyContext {
    Settings& settings;
    ChipAccess& chip;
    i16 newer_layout;  // KelvaneFanFlag
    i16 delta_temp;    // KelvaneFanSpecialFlag
    std::array<bool, 3> heading_visible;
    std::array<std::string, 3> heading_tags;
    std::array<std::string, 3> fan_selector_tags;
    TopmostWindow& window;
    Registry& registry;
    Profile& profile;
    std::string program_path;  // what the Run value starts
};

void ApplySettings(const ApplyContext& c, i16 save, ApplyOutcome* outcome = nullptr);

// What an apply may touch. The start-up apply leaves the board's own registers, the topmost
// state and the Run value alone where the settings loader stopped before their keys: records
// it never read hold start values, not the user's settings.
struct ApplyScope {
    std::array<bool, 3> fans{true, true, true};  // by fan number
    bool topmost = true;
    bool autostart = true;
};
void ApplySettings(const ApplyContext& c, i16 save, const ApplyScope& scope,
                   ApplyOutcome* outcome = nullptr);

// The newer layout's slope code when the chip has no delta-temperature field.
int SlopeCode(int slope);

}  // namespace kelvane
