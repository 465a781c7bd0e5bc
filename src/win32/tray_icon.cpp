#include "win32/tray_icon.h"

#include <cstring>

#include "win32/tray_pictures.h"

namespace kelvane::win32 {
namespace {

constexpr UINT kTrayId = 1;

void CopyField(char* field, std::size_t size, const std::string& text) {
    lstrcpynA(field, text.c_str(), static_cast<int>(size));
}

}  // namespace

TrayIcon::TrayIcon(Notify notify) : notify_(std::move(notify)) {
    // The notification area shows small icons; a large small-icon size gets the 32 one.
    const int size = GetSystemMetrics(SM_CXSMICON) > 20 ? 32 : 16;
    for (int s = 0; s < 4; ++s)
        icons_[static_cast<std::size_t>(s)].reset(
            CreateTrayStateIcon(static_cast<TrayState>(s), size));
}

TrayIcon::~TrayIcon() {
    if (added_) Delete();
}

HICON TrayIcon::IconOf(TrayState state) const {
    return icons_[static_cast<std::size_t>(state)].get();
}

void TrayIcon::Prepare(HWND owner) {
    record_ = NOTIFYICONDATAA{};
    record_.cbSize = NOTIFYICONDATAA_V2_SIZE;
    record_.hWnd = owner;
    record_.uID = kTrayId;
    record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record_.uCallbackMessage = WM_MOUSEMOVE;
    record_.hIcon = IconOf(TrayState::Normal);
    CopyField(record_.szTip, sizeof record_.szTip, "Kelvane");
}

void TrayIcon::Add() {
    if (!record_.hWnd) return;
    NOTIFYICONDATAA add = record_;
    add.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    added_ = notify_(NIM_ADD, &add) != FALSE;
    if (!added_) return;
    // The second behaviour tells of a click on the balloon; the double click and the right
    // button still arrive as before, and the new keyboard events are ignored.
    NOTIFYICONDATAA version = record_;
    version.uVersion = NOTIFYICON_VERSION;
    notify_(NIM_SETVERSION, &version);
}

void TrayIcon::Delete() {
    if (!record_.hWnd) return;
    NOTIFYICONDATAA del = record_;
    del.uFlags = 0;
    notify_(NIM_DELETE, &del);
    added_ = false;
}

void TrayIcon::ShowTrayState(TrayState state, const std::string& tip) {
    record_.hIcon = IconOf(state);
    CopyField(record_.szTip, sizeof record_.szTip, tip);
    if (!added_) return;  // the next Add carries it
    NOTIFYICONDATAA modify = record_;
    modify.uFlags = NIF_ICON | NIF_TIP;
    notify_(NIM_MODIFY, &modify);
}

void TrayIcon::ShowBalloon(const std::string& title, const std::string& text) {
    if (!added_) return;
    NOTIFYICONDATAA balloon = record_;
    balloon.uFlags = NIF_INFO;
    CopyField(balloon.szInfo, sizeof balloon.szInfo, text);
    CopyField(balloon.szInfoTitle, sizeof balloon.szInfoTitle, title);
    balloon.uTimeout = 15000;  // the shell keeps it at least this long while the user is away
    balloon.dwInfoFlags = NIIF_WARNING;
    notify_(NIM_MODIFY, &balloon);
}

}  // namespace kelvane::win32
