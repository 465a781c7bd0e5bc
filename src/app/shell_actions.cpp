#include "app/shell_actions.h"

#include "app/startup.h"
#include "app/tray_status.h"
#include "state/open_window.h"

namespace kelvane {
namespace {

void ShowNormal(Form1& f) {
    f.window.visible = true;
    f.window.state = WindowState::Normal;
    f.sys.host.ShowModel();
}

}  // namespace

void HotKeyPressed(Form1& f, std::uint8_t id) {
    ShowNormal(f);
    f.sys.host.DoEvents();  // a monitor tick may run here
    if (!f.window.visible) ShowNormal(f);
    f.sys.host.Activate();
    if (id == kHotKeyShow) {
        f.opened_by_alarm = false;  // the user's Open: the window stays as the user asked
        f.window.visible = true;
        f.sys.host.ShowModel();
    } else if (id == kHotKeyHide) {
        f.sys.windows.LoadAndHideAll();
        f.window.visible = false;
        f.sys.host.ShowModel();
    }
}

void Form1_KelvaneLabel_Click(Form1& f, int index) {
    switch (index) {
        case 12:
            NoteUserAction(f);
            f.sys.windows.ShowAbout();
            break;
        case 13:
            f.window.visible = false;
            f.sys.host.ShowModel();
            f.sys.host.SetTopmost(false);
            break;
        case 14:
            f.window.state = WindowState::Minimized;
            f.sys.host.ShowModel();
            Form1_Form_Resize(f);
            f.sys.host.SetTopmost(false);
            break;
        case 15:
            NoteUserAction(f);
            f.sys.windows.ShowOptions();
            break;
        default:
            break;
    }
}

void Form1_Picture1_MouseMove(Form1& f, AppShell& shell, int /*button*/, int /*shift*/, int x,
                              int /*y*/) {
    if (x == kTrayDoubleClick) {
        // The record stays: deleting it only for KeepTrayIcon to add it again would move
        // the icon to another place among the others, under the user's pointer.
        f.opened_by_alarm = false;
        f.window.state = WindowState::Normal;
        f.window.visible = true;
        f.sys.host.ShowModel();
        f.sys.host.SetTopmost(true);
    } else if (x == kTrayRightButtonUp) {
        f.sys.host.Activate();
        shell.PopupTrayMenu();
    } else if (x == kTrayBalloonClick) {
        Form1_nmOpen_Click(f);
    }
}

void Form1_nmAbout_Click(Form1& f) {
    NoteUserAction(f);
    f.sys.windows.ShowAbout();
}

void Form1_nmHistory_Click(Form1& f) {
    NoteUserAction(f);
    f.sys.windows.ShowHistory();
}

void Form1_nmClos_Click(AppShell& shell) { shell.CloseMainWindow(); }

void KeepTrayIcon(Form1& f, AppShell& shell) {
    if (f.tray_icon_shown) return;
    shell.AddTrayIcon();
    f.tray_icon_shown = true;
}

}  // namespace kelvane
