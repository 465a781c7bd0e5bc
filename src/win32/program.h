#pragma once
// The program as every host assembles it: the services over the operating system, the program
// state, the fan watch and the tick listeners in their order, the fleet exports, the history
// and the crash hand-back. A host (the window program, a service) gives only what it shows the
// program through; nothing of the wiring is written twice, so the hosts cannot drift apart.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "app/chip_steps.h"
#include "app/policy_change.h"
#include "app/startup.h"
#include "base/job_thread.h"
#include "export/fleet_events.h"
#include "export/textfile_export.h"
#include "failsafe/fan_watch.h"
#include "failsafe/power_on_file.h"
#include "history/history.h"
#include "link/client_queue.h"
#include "link/owner_desk.h"
#include "link/state_publisher.h"
#include "link/view_relay.h"
#include "maintenance/maintenance_notice.h"
#include "setup/setup_problem.h"
#include "state/form1.h"
#include "win32/crash_hand_back.h"
#include "win32/driver_library.h"
#include "win32/fleet_services.h"
#include "win32/pipe_server.h"
#include "win32/policy_watch.h"
#include "win32/request_pump.h"
#include "win32/services.h"

namespace kelvane::win32 {

// What a host shows the program through.
struct ProgramHost {
    WindowHost& host;
    Surfaces& surfaces;
    OtherWindows& windows;
    // What plays the alarm's wave file; none: the speakers of the program's own session.
    SoundPlayer* sound = nullptr;
    // Who the host is, for the metrics file's kelvane_info: "service" or "window".
    const char* owner = "window";
    // The window program the Run value starts (without ".exe"): this one, or, for a service,
    // the window program beside it.
    std::string window_program = ExecutableBaseName();
};

class Program {
  public:
    explicit Program(const ProgramHost& host);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The load sequence with its start event; the crash hand-back is in place from the start.
    LoadResult Load(AppShell& shell);

    // For the process that drives the chip, after Load and on the thread that ticks: serves
    // the views on the pipe, each greeted with `owner` as who drives the chip, publishes every
    // tick's state to them, tells them what the program does to its windows and answers their
    // requests on this thread.
    void Publish(const std::string& owner);

    Form1& form() { return form_; }
    FanWatch& fan_watch() { return fan_watch_; }
    history::History& history() { return history_; }
    FileSystem& files() { return files_; }

  private:
    const std::string folder_;
    DriverLibrary driver_;
    PrivateProfile profile_;
    Files files_;
    ProcessStarter processes_;
    SystemClock clock_;
    RunKey registry_;
    WaveSound sound_;
    // Between the program and its host: what it does to its windows goes to the views too.
    link::ViewRelay relay_;
    JobThread tune_thread_;  // outlives the form, which stops the tune on unload
    Services services_;
    SystemWallClock wall_clock_;
    EventLogSink event_log_;
    TextFileExport textfile_;
    FleetEvents fleet_events_;
    SetupStatusLine setup_status_;
    Form1 form_;
    // The history converts voltages with the settings of the moment, which live in the form.
    history::History history_;
    maintenance::MaintenanceNotice maintenance_;
    FanWatch fan_watch_;
    SystemBootClock boot_clock_;
    PowerOnStore power_on_;
    LateChipSteps late_chip_steps_{&fan_watch_};
    CrashHandBack crash_hand_back_{fan_watch_};
    link::DropCounter views_dropped_;
    link::OwnerDesk desk_{form_, history_, files_};
    link::StatePublisher publisher_{[this](std::string_view frame) { pipe_->Publish(frame); },
                                    [this](std::string greeting) { pipe_->Regreet(greeting); }};
    // Outlives the pipe, whose thread hands it the requests.
    std::optional<RequestPump> requests_;
    std::optional<PipeServer> pipe_;
    PolicyInbox policy_inbox_{[this](Form1& f, const std::vector<std::size_t>& keys) {
        fleet_events_.PolicyChanged(f, keys);
        f.sys.windows.PolicyChanged(keys);
    }};
    std::optional<PolicyWatch> policy_watch_;  // stops before the inbox goes
};

}  // namespace kelvane::win32
