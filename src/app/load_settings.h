#pragma once
// The settings loader and the start-up's own reads of "kelvane.ini". A value that does not
// fit its field, or one its control refuses, raises RuntimeError at that key; everything read
// before it stays applied and everything after it keeps its previous value.
#include "state/form1.h"

namespace kelvane {

// Runs the port program, then reads every key in file order, applying each layout key to
// its control at once so that later defaults and the heading pairing see it.
void LoadSettings(Form1& f);

// The fan records again, with the keys of the layout identification chose since: for a chip
// reached only after start-up. Only what the loader had reached is read, and the point where
// it stopped stays.
void ReloadFanRecords(Form1& f);

// The keys a policy may set, again, as far as the loader had reached: after the policy values
// in force changed. Nothing is written.
void ReloadPolicyKeys(Form1& f);

// `Address` into g_Address; a value that does not fit leaves the default port in place.
void ReadAddress(Form1& f);

// `BackColor` into g_BackColor and the window's background.
void ReadBackColor(Form1& f);

// The ten voltage factors; the two references are stored in volts.
void ReadVoltageFactors(Form1& f);

}  // namespace kelvane
