// Kelvane as a Windows service: the one owner of the chip on the machine, with nobody logged on.
// It runs the program the window program runs, headless, ticking once a second on the
// service's own thread, and hands the fans back at the first stop, pre-shutdown or shutdown.
#include <windows.h>

#include <string>

#include "app/service_controls.h"
#include "base/failure_policy.h"
#include "monitor/monitor_cycle.h"
#include "win32/handles.h"
#include "win32/headless.h"
#include "win32/owner_lock.h"
#include "win32/program.h"

namespace {

using kelvane::win32::OwnedHandle;

using Controls = kelvane::ServiceControls;
static_assert(Controls::kStop == SERVICE_CONTROL_STOP &&
              Controls::kShutdown == SERVICE_CONTROL_SHUTDOWN &&
              Controls::kPreshutdown == SERVICE_CONTROL_PRESHUTDOWN &&
              Controls::kPowerEvent == SERVICE_CONTROL_POWEREVENT &&
              Controls::kInterrogate == SERVICE_CONTROL_INTERROGATE &&
              Controls::kResumeAutomatic == PBT_APMRESUMEAUTOMATIC &&
              Controls::kResumeSuspend == PBT_APMRESUMESUSPEND);

char kServiceName[] = "Kelvane";
constexpr DWORD kTickMs = 1000;

// What the control handler and the service's thread share: the status handle, what the
// controls asked so far and two events.
struct ServiceRun {
    SERVICE_STATUS_HANDLE handle = nullptr;
    kelvane::ServiceControls controls;
    OwnedHandle stop{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    OwnedHandle resume{CreateEventA(nullptr, FALSE, FALSE, nullptr)};

    void Report(DWORD state, DWORD exit_code = NO_ERROR, DWORD wait_hint_ms = 0) const {
        SERVICE_STATUS s{};
        s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        s.dwCurrentState = state;
        s.dwControlsAccepted = state == SERVICE_RUNNING
                                   ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN |
                                         SERVICE_ACCEPT_PRESHUTDOWN | SERVICE_ACCEPT_POWEREVENT
                                   : 0;
        s.dwWin32ExitCode = exit_code == NO_ERROR ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
        s.dwServiceSpecificExitCode = exit_code;
        s.dwWaitHint = wait_hint_ms;
        SetServiceStatus(handle, &s);
    }
};

DWORD WINAPI OnControl(DWORD control, DWORD event_type, LPVOID, LPVOID context) {
    ServiceRun& run = *static_cast<ServiceRun*>(context);
    switch (run.controls.On(control, event_type)) {
        case kelvane::ServiceAction::BeginStop:
            // The service's thread hands back once, in the unload order.
            run.Report(SERVICE_STOP_PENDING, NO_ERROR, 3000);
            SetEvent(run.stop.get());
            return NO_ERROR;
        case kelvane::ServiceAction::ResumeCheck:
            SetEvent(run.resume.get());
            return NO_ERROR;
        case kelvane::ServiceAction::None:
            return NO_ERROR;
        case kelvane::ServiceAction::NotHandled:
            break;
    }
    return ERROR_CALL_NOT_IMPLEMENTED;
}

// Restart on failure, set by the service itself: the installer has no table for it.
void AskToBeRestartedOnFailure() {
    const kelvane::win32::Owned<SC_HANDLE, CloseServiceHandle> manager(
        OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return;
    const kelvane::win32::Owned<SC_HANDLE, CloseServiceHandle> service(
        OpenServiceA(manager.get(), kServiceName, SERVICE_CHANGE_CONFIG | SERVICE_START));
    if (!service) return;
    SC_ACTION actions[3] = {
        {SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 30000}, {SC_ACTION_RESTART, 60000}};
    SERVICE_FAILURE_ACTIONSA failure{};
    failure.dwResetPeriod = 24 * 60 * 60;
    failure.cActions = 3;
    failure.lpsaActions = actions;
    ChangeServiceConfig2A(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &failure);
}

// Who drives the chip, as a view's About tells it.
std::string RunningSince() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    char text[64];
    wsprintfA(text, "Kelvane service, running since %04u-%02u-%02u %02u:%02u:%02u", t.wYear,
              t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return text;
}

// Ticks once a second until a stop; a resume runs the fan watch's check at once, and the
// views' requests are answered between the ticks.
void Monitor(const ServiceRun& run, kelvane::win32::Program& program) {
    const HANDLE waits[] = {run.stop.get(), run.resume.get()};
    ULONGLONG next = GetTickCount64() + kTickMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD wait = next > now ? static_cast<DWORD>(next - now) : 0;
        const DWORD woke = MsgWaitForMultipleObjects(2, waits, FALSE, wait, QS_ALLPOSTMESSAGE);
        if (woke == WAIT_OBJECT_0) return;
        if (woke == WAIT_OBJECT_0 + 1) {
            kelvane::ContainErrors([&] { program.fan_watch().OnResume(); });
            continue;
        }
        if (woke == WAIT_OBJECT_0 + 2) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            continue;
        }
        kelvane::Form1_Timer1_Timer(program.form());
        // A tick that ran long is not made up for: the next one is a second away.
        next = std::max(next + kTickMs, GetTickCount64() + 1);
    }
}

void WINAPI ServiceMain(DWORD, LPSTR*) {
    ServiceRun run;
    run.handle = RegisterServiceCtrlHandlerExA(kServiceName, &OnControl, &run);
    if (run.handle == nullptr) return;
    // Start-up waits four seconds for the companions before it reaches the chip.
    run.Report(SERVICE_START_PENDING, NO_ERROR, 15000);
    SetDllDirectoryA("");
    AskToBeRestartedOnFailure();

    // A window program that drives the chip now keeps it until it ends.
    kelvane::win32::OwnerLock owner;
    while (!owner.Take()) {
        run.Report(SERVICE_START_PENDING, NO_ERROR, 15000);
        if (WaitForSingleObject(run.stop.get(), kTickMs) == WAIT_OBJECT_0) {
            run.Report(SERVICE_STOPPED);
            return;
        }
    }

    kelvane::win32::Headless headless;
    kelvane::win32::Program program(
        {headless, headless, headless, &headless, "service", "kelvane"});
    const kelvane::LoadResult loaded = program.Load(headless);
    if (!loaded.keep_running) {
        // A broken installation was told in the Event Log; the hand-over to quick.exe is a
        // clean end, so that restart on failure does not loop.
        run.Report(SERVICE_STOPPED, loaded.fatal_message.empty() ? NO_ERROR : 1);
        return;
    }
    program.Publish(RunningSince());
    run.Report(SERVICE_RUNNING);
    Monitor(run, program);
    // In the unload order: the cycle has stopped, the tune stops, the fans go back, event 2.
    kelvane::Form1_Form_Unload(program.form(), headless, &program.fan_watch());
    run.Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
    SERVICE_TABLE_ENTRYA table[] = {{kServiceName, &ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
