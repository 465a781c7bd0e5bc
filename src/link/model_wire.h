#pragma once
// The main window's model and the settings image in the wire format: what a view needs to
// draw the owner's window and to fill the options dialog, sent when a view connects and
// whenever they change.
#include <optional>
#include <string>

#include "base/settings.h"
#include "link/wire.h"
#include "state/controls.h"

namespace kelvane::link {

void Put(WireWriter& w, const Control& c);
void Get(WireReader& r, Control& c);
void Put(WireWriter& w, const MainWindowModel& m);
void Get(WireReader& r, MainWindowModel& m);
void Put(WireWriter& w, const FanCtrlRecord& f);
void Get(WireReader& r, FanCtrlRecord& f);
void Put(WireWriter& w, const Settings& s);
void Get(WireReader& r, Settings& s);

// What the options dialog's Apply changes in the settings image, and nothing else: a view
// cannot move the index port, the files or the factors.
struct SettingsChange {
    std::array<FanCtrlRecord, 3> fans{};  // captions, Modulate and UserCtl are not taken
    std::array<i16, 9> vin_enable{};
    std::array<i16, 9> vin_percent{};
    i16 display_scale = 0;
    i16 display_on_top = 0;
    i16 sound_warning = 0;
    i16 execute_at_startup = 0;
};
SettingsChange ChangeOf(const Settings& s);
void ApplyChange(const SettingsChange& c, Settings& s);
void Put(WireWriter& w, const SettingsChange& c);
void Get(WireReader& r, SettingsChange& c);

}  // namespace kelvane::link
