// Kelvane: hardware monitor and fan control for point-of-sale terminals.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <ole2.h>

#include <string>

#include "app/about_details.h"
#include "state/open_window.h"
#include "win32/handles.h"
#include "win32/main_window.h"
#include "win32/other_windows.h"
#include "win32/owner_lock.h"
#include "win32/program.h"
#include "win32/view_program.h"
#include "win32/window_basics.h"

namespace {

constexpr const char* kInstanceMutex = "Kelvane.SingleInstance";

int RunKelvane(HINSTANCE instance) {
    // Nothing is ever loaded from the current directory.
    SetDllDirectoryA("");
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);

    kelvane::win32::OwnedHandle mutex(CreateMutexA(nullptr, FALSE, kInstanceMutex));
    const bool previous = GetLastError() == ERROR_ALREADY_EXISTS;

    // Held while this program drives the chip, so that a service started meanwhile waits for it.
    // Where a service is installed, or another process holds the lock, this one is a view.
    kelvane::win32::OwnerLock owner;
    if (!previous && (kelvane::win32::ServiceInstalled() || !owner.Take())) {
        const int code = kelvane::win32::RunView(instance, std::move(mutex));
        OleUninitialize();
        return code;
    }

    kelvane::win32::MainView view(instance, previous);
    kelvane::win32::LateWindows windows;
    kelvane::win32::Program program({view, view, windows});
    kelvane::Form1& form = program.form();
    kelvane::win32::WindowSet others(instance, form);
    others.AttachHistory(program.history(), program.files());
    windows.target = &others;

    view.Create(form);
    view.Watch(program.fan_watch());
    const kelvane::LoadResult loaded = program.Load(view);
    if (!loaded.keep_running) {
        if (!loaded.fatal_message.empty())
            MessageBoxA(nullptr, loaded.fatal_message.c_str(), "Kelvane", MB_OK | MB_ICONERROR);
        DestroyWindow(view.hwnd());
        OleUninitialize();
        return 1;
    }
    if (owner.owned()) program.Publish(kelvane::kThisWindowProgram);
    kelvane::ShowStartupWindow(form);
    view.StartMonitorTimer();
    view.AfterEvent();

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (kelvane::win32::IsUserInput(msg)) kelvane::NoteUserAction(form);
        if (others.PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    OleUninitialize();
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunKelvane(instance); }
