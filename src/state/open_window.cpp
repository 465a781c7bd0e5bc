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
    Open(f);
    f.opened_by_alarm = true;
}

void EndAlarmOpen(Form1& f) {
    if (!f.opened_by_alarm) return;
    f.opened_by_alarm = false;
    f.sys.host.SetTopmost(IsTrue(f.settings.g_DisplayOnTop));
}

}  // namespace kelvane
