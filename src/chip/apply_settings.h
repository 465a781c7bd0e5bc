#pragma once
// Makes the current settings take effect: the settings file (when saving), the fan
// controller for every fan shown on the main window, the topmost state and the autostart
// value. A value that does not fit its register field raises RuntimeError before any register
// of its fan is touched and abandons the rest.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

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

// What applies wrote to one fan's registers, in order, and the settings they wrote them
// from: the program hands the fans back from it and programs the chip again with it. Fixed
// room, so that reading it needs no memory from the heap (a crashing process may hold its lock).
struct FanApplyRecord {
    static constexpr int kRoom = 12;  // a fan's programming writes at most 9 registers
    bool covered = false;             // in an apply's scope, whether or not its writes went through
    FanCtrlRecord settings;           // as the apply found them, before it raised S(2)
    std::array<std::pair<std::uint8_t, std::uint8_t>, kRoom> writes{};  // register, value
    int count = 0;

    void Note(std::uint8_t reg, std::uint8_t value);
    // The value the apply left in reg, if it wrote it.
    std::optional<std::uint8_t> LastWrite(int reg) const;
};
struct ApplyRecord {
    std::array<FanApplyRecord, 3> fans;  // by fan number: the last apply that covered each
    // Every register an apply wrote, with the value the last one left in it: a fan switched
    // to software mode keeps its automatic block as the apply before left it.
    std::array<std::optional<std::uint8_t>, 256> left{};
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
    ApplyRecord* record;       // receives what the fans' programming wrote; may be null
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
