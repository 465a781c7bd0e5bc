#pragma once
// Shell services that only the start-up sequence and the shell actions use: the single
// instance, the hot keys, the window procedure and the notification-area record.
#include <string>

namespace kelvane {

class AppShell {
  public:
    virtual ~AppShell() = default;
    virtual bool PreviousInstanceRunning() = 0;
    virtual void ActivatePreviousInstance(const std::string& title) = 0;
    virtual void PrepareTrayRecord() = 0;
    virtual bool RegisterHotKey(int id, unsigned modifiers, unsigned virtual_key) = 0;
    virtual void UnregisterHotKey(int id) = 0;
    virtual void SubclassMainWindow() = 0;
    virtual void AddTrayIcon() = 0;
    virtual void DeleteTrayIcon() = 0;
    virtual void PopupTrayMenu() = 0;    // TrayPopMen at the mouse position
    virtual void CloseMainWindow() = 0;  // unloads the main window, which ends the program
    virtual void StopMonitorTimer() = 0;  // no tick after this
};

}  // namespace kelvane
