// Kelvane: hardware monitor and fan control for point-of-sale terminals.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <ole2.h>

#include <chrono>
#include <string>

#include "app/chip_steps.h"
#include "app/startup.h"
#include "base/job_thread.h"
#include "export/fleet_events.h"
#include "export/textfile_export.h"
#include "failsafe/fan_watch.h"
#include "history/history.h"
#include "monitor/readout.h"
#include "setup/setup_problem.h"
#include "state/form1.h"
#include "win32/crash_hand_back.h"
#include "win32/driver_library.h"
#include "win32/fleet_services.h"
#include "win32/handles.h"
#include "win32/main_window.h"
#include "win32/other_windows.h"
#include "win32/services.h"

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

    const std::string folder = kelvane::win32::ProgramFolder();
    kelvane::win32::DriverLibrary driver(folder + "\\brantelvio.dll");
    kelvane::win32::PrivateProfile profile(folder + "\\kelvane.ini");
    kelvane::win32::Files files;
    kelvane::win32::ProcessStarter processes;
    kelvane::win32::SystemClock clock;
    kelvane::win32::RunKey registry;
    kelvane::win32::WaveSound sound;
    kelvane::win32::MainView view(instance, previous);
    struct LateWindows : kelvane::OtherWindows {
        kelvane::OtherWindows* target = nullptr;
        void ShowErrorWindow() override { target->ShowErrorWindow(); }
        void ShowOptions() override { target->ShowOptions(); }
        void ShowAbout() override { target->ShowAbout(); }
        void ShowHistory() override { target->ShowHistory(); }
        void LoadAndHideAll() override { target->LoadAndHideAll(); }
        void UnloadAll() override { target->UnloadAll(); }
    } windows;
    kelvane::JobThread tune_thread;  // outlives the window, which stops the tune on unload
    kelvane::Services services{driver, profile, files,   processes, clock,      registry,
                               sound,  view,    windows, view,      tune_thread};
    // The fleet exports follow the ticks; declared before the window so they outlive it. The
    // replacer has no state and lives as long as the process: a write that hangs at the end
    // is left to finish on its own.
    static kelvane::win32::AtomicFileReplacer export_files;
    kelvane::win32::SystemWallClock wall_clock;
    kelvane::win32::EventLogSink event_log;
    kelvane::TextFileExport textfile(export_files, wall_clock);
    kelvane::FleetEvents fleet_events(event_log);
    kelvane::SetupStatusLine setup_status;
    // The history converts voltages with the settings of the moment, which live in the form.
    const kelvane::Settings* settings = nullptr;
    kelvane::history::History history(
        files, clock,
        [&settings](int v, double raw) { return kelvane::VoltsFromRaw(*settings, v, raw); },
        kelvane::win32::DefaultDataFolder());
    kelvane::Form1 form(services, folder, kelvane::win32::ExecutableBaseName());
    settings = &form.settings;
    // First among the listeners: a restore is counted and told before the exports follow.
    kelvane::FanWatch fan_watch(form, [] {
        using namespace std::chrono;
        return static_cast<long long>(
            duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    });
    // Beside the history, whatever folder the settings give it: the values are noted before
    // the settings are read.
    kelvane::win32::SystemBootClock boot_clock;
    kelvane::PowerOnStore power_on(files, export_files, boot_clock,
                                   kelvane::win32::DefaultDataFolder() + "\\power-on.ini");
    fan_watch.KeepPowerOnValuesIn(power_on);
    kelvane::LateChipSteps late_chip_steps(&fan_watch);
    fan_watch.Tell(fleet_events);
    fan_watch.Tell(textfile);
    form.tick_listeners.push_back(&fan_watch);
    form.tick_listeners.push_back(&late_chip_steps);
    form.tick_listeners.push_back(&setup_status);
    form.tick_listeners.push_back(&textfile);
    // Before the events, so that a fault's event can name the incident file just begun.
    form.tick_listeners.push_back(&history);
    form.tick_listeners.push_back(&fleet_events);
    fleet_events.NameIncidentsWith([&history] { return history.incident_path(); });
    history.TellUnwritableTo(
        [&](const std::string& data_folder) { fleet_events.HistoryUnwritable(form, data_folder); });
    kelvane::win32::WindowSet others(instance, form);
    others.AttachHistory(history, files);
    windows.target = &others;

    view.Create(form);
    view.Watch(fan_watch);
    const kelvane::win32::CrashHandBack crash_hand_back(fan_watch);
    const kelvane::LoadResult loaded = kelvane::Form1_Form_Load(form, view, &fan_watch);
    fleet_events.AfterLoad(form, loaded.keep_running);
    if (!loaded.keep_running) {
        if (!loaded.fatal_message.empty())
            MessageBoxA(nullptr, loaded.fatal_message.c_str(), "Kelvane", MB_OK | MB_ICONERROR);
        DestroyWindow(view.hwnd());
        OleUninitialize();
        return 1;
    }
    kelvane::ShowStartupWindow(form);
    view.StartMonitorTimer();
    view.AfterEvent();

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (others.PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    OleUninitialize();
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunKelvane(instance); }
