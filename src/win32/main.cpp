// Kelvane: hardware monitor and fan control for point-of-sale terminals.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <ole2.h>

#include <string>

#include "state/open_window.h"
#include "win32/handles.h"
#include "win32/main_window.h"
#include "win32/other_windows.h"
#include "win32/owner_lock.h"
#include "win32/program.h"
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
    kelvane::win32::OwnerLock owner;
    if (!previous) owner.Take();

    kelvane::win32::MainView view(instance, previous);
    struct LateWindows : kelvane::OtherWindows {
        kelvane::OtherWindows* target = nullptr;
        void ShowErrorWindow() override { target->ShowErrorWindow(); }
        void ShowOptions() override { target->ShowOptions(); }
        void ShowAbout() override { target->ShowAbout(); }
        void ShowHistory() override { target->ShowHistory(); }
        void LoadAndHideAll() override { target->LoadAndHideAll(); }
        void UnloadAll() override { target->UnloadAll(); }
        void RaiseUsersWindows() override { target->RaiseUsersWindows(); }
        void LowerErrorWindow() override { target->LowerErrorWindow(); }
        void PolicyChanged(const std::vector<std::size_t>& keys) override {
            target->PolicyChanged(keys);
        }
    } windows;
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
    if (owner.owned()) program.Publish("this window program");
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
