#pragma once
// The notification-area record of the main window: one icon per tray state, the tip and the
// balloon. The record has the second layout of NOTIFYICONDATAA (the one with balloons and a
// 128-character tip), which every Windows from 2000 on accepts.
#include <windows.h>

#include <array>
#include <functional>
#include <string>

#include "app/tray_status.h"
#include "win32/handles.h"

namespace kelvane::win32 {

class TrayIcon final : public TrayShell {
  public:
    using Notify = std::function<BOOL(DWORD, NOTIFYICONDATAA*)>;
    static constexpr std::size_t kTipField = sizeof(NOTIFYICONDATAA{}.szTip);

    // `notify` is Shell_NotifyIconA; tests record the calls instead.
    explicit TrayIcon(Notify notify);
    ~TrayIcon() override;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Fills the record for the owner window: id 1, the mouse-move message as callback,
    // the normal icon and the tip "Kelvane".
    void Prepare(HWND owner);
    void Add();  // also after the shell restarted: the record carries the latest state
    void Delete();

    void ShowTrayState(TrayState state, const std::string& tip) override;
    void ShowBalloon(const std::string& title, const std::string& text) override;

  private:
    HICON IconOf(TrayState state) const;

    Notify notify_;
    NOTIFYICONDATAA record_{};
    bool added_ = false;
    std::array<OwnedIcon, 4> icons_;
};

}  // namespace kelvane::win32
