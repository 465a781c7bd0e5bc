#include "state/open_window.h"

namespace kelvane {
namespace {

void Open(Form1& f) {
    f.window.state = WindowState::Normal;
    f.window.visible = true;
    f.sys.host.ShowModel();
    f.sys.host.SetTopmost(true);
}

}  // namespace

void Form1_nmOpen_Click(Form1& f) {
    f.opened_by_alarm = false;
    Open(f);
}

void OpenForAlarm(Form1& f) {
    if (!f.opened_by_alarm) {
        f.front_before_alarm = f.sys.host.ForeignForegroundWindow();
        f.used_during_alarm = false;
    }
    Open(f);
    f.opened_by_alarm = true;
    // The raise is the alarm's; a dialog the user opened meanwhile stays readable.
    f.sys.windows.RaiseUsersWindows();
}

void EndAlarmOpen(Form1& f) {
    if (!f.opened_by_alarm) return;
    f.opened_by_alarm = false;
    f.sys.host.SetTopmost(IsTrue(f.settings.g_DisplayOnTop));
    f.sys.windows.LowerErrorWindow();
    if (f.front_before_alarm != 0 && !f.used_during_alarm)
        f.sys.host.GiveFrontBack(f.front_before_alarm);
    f.front_before_alarm = 0;
}

void NoteUserAction(Form1& f) {
    if (f.opened_by_alarm) f.used_during_alarm = true;
}

}  // namespace kelvane
