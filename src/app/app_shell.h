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
    virtual void PopupTrayMenu() = 0;     // TrayPopMen at the mouse position
    virtual void CloseMainWindow() = 0;   // unloads the main window, which ends the program
    virtual void StopMonitorTimer() = 0;  // no tick after this
    // Whether start-up starts GetUser.exe, and quick.exe when the set-file gate fails: only in
    // a user's session. A host in none (the service) only checks that GetUser.exe is there;
    // its views start both (StartView).
    virtual bool StartsCompanions() { return true; }
};

// A shell with nothing to show: the only instance, no hot keys, no tray, no window. A host
// without windows (the service) runs the start-up and the unload through it.
class NoShell : public AppShell {
  public:
    bool PreviousInstanceRunning() override { return false; }
    void ActivatePreviousInstance(const std::string&) override {}
    void PrepareTrayRecord() override {}
    bool RegisterHotKey(int, unsigned, unsigned) override { return false; }
    void UnregisterHotKey(int) override {}
    void SubclassMainWindow() override {}
    void AddTrayIcon() override {}
    void DeleteTrayIcon() override {}
    void PopupTrayMenu() override {}
    void CloseMainWindow() override {}
    void StopMonitorTimer() override {}
};

}  // namespace kelvane
