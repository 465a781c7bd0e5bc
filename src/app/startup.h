#pragma once
// The start-up sequence of the main window and the window's own events.
#include <string>

#include "app/app_shell.h"
#include "state/form1.h"

namespace kelvane {

struct LoadResult {
    bool keep_running = true;
    std::string fatal_message;  // non-empty: show it in a message box, then end the process
};

LoadResult Form1_Form_Load(Form1& f, AppShell& shell);

// After a successful load: the start-up window is shown, normal unless it starts minimised.
void ShowStartupWindow(Form1& f);

void CenterFormOnScreen(Form1& f);
void Form1_Form_Resize(Form1& f);
void Form1_Form_Unload(Form1& f, AppShell& shell);

}  // namespace kelvane
