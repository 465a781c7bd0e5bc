#pragma once
// The main window's model and the settings image in the wire format: what a view needs to
// draw the owner's window and to fill the options dialog, sent when a view connects and
// whenever they change.
#include <optional>
#include <string>

#include "base/settings.h"
#include "link/wire.h"
#include "options/apply_edit.h"
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
// cannot move the index port, the files or the factors, nor rename a fan.
using SettingsChange = OptionsEdit;
SettingsChange ChangeOf(const Settings& s);
void ApplyChange(const SettingsChange& c, Settings& s);
void Put(WireWriter& w, const SettingsChange& c);
void Get(WireReader& r, SettingsChange& c);

}  // namespace kelvane::link
