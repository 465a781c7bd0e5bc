#pragma once
// The start-up sequence of the main window and the window's own events.
#include <string>

#include "app/app_shell.h"
#include "failsafe/fan_watch.h"
#include "state/form1.h"

namespace kelvane {

struct LoadResult {
    bool keep_running = true;
    std::string fatal_message;  // non-empty: show it in a message box, then end the process
};

// `watch` notes the fan registers before the port program first writes them.
LoadResult Form1_Form_Load(Form1& f, AppShell& shell, FanWatch* watch = nullptr);

// Reads c:\prog.txt into `program_root`, then starts GetUser.exe, or with no `processes`
// only checks that it is there: the two steps without which the installation is broken.
LoadResult CompanionSteps(FileSystem& files, Processes* processes, std::string& program_root);

// The start of a view of another process that drives the chip: the session's part of the
// start-up (the installation's checks, GetUser.exe, the single instance, the set-file gate)
// and the window's shell, but nothing that reads the settings file or reaches the chip.
LoadResult StartView(Form1& f, AppShell& shell);

// After a successful load: the start-up window is shown, normal unless it starts minimised.
void ShowStartupWindow(Form1& f);

void CenterFormOnScreen(Form1& f);
void Form1_Form_Resize(Form1& f);
// Stops the monitor timer and any tune, has `watch` hand the fans back, then tells the
// listeners (the end event), unloads the other windows and lets go of the hot keys.
void Form1_Form_Unload(Form1& f, AppShell& shell, FanWatch* watch = nullptr);

// The ten fan-control registers into g_RegSnapshot and their text boxes.
void TakeRegisterSnapshot(Form1& f);

// Silences the alarm tune if one could be sounding: the speaker must not outlive the program.
void StopAlarmTune(Form1& f);

}  // namespace kelvane
